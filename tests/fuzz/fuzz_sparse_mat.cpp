// Fuzzes the sparse triple reader of TIntMatrix; a matrix that loads must
// hold sorted, distinct triples inside its size and read back the same
// values through the binary search.
#include "ORK_matrix.h"
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  static const std::string file = "/tmp/numbra_fuzz_sparse_" + std::to_string(::getpid()) + ".txt";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::unique_ptr<TIntMatrix> m(TIntMatrix::CreateSparse(nullptr, 3));
  if (!m->LoadSparseMat(file)) return 0;
  const auto t = m->Triples();
  for (std::size_t k = 0; k < t.size(); ++k) {
    if (k > 0 && !(t[k - 1].colidx < t[k].colidx ||
                   (t[k - 1].colidx == t[k].colidx && t[k - 1].rowidx < t[k].rowidx)))
      std::abort();
    if (t[k].colidx > m->NrOfColumns() || t[k].rowidx > m->NrOfRows()) std::abort();
    if (m->GetVal(t[k].colidx, t[k].rowidx) != t[k].value) std::abort();
  }
  int32_t lo = 0, hi = 0;
  m->MinMax(0, 0, 0, 0, lo, hi);
  (void)m->Sum(0, 0, 0, 0);
  m->Transpose();
  return 0;
}
