// Fuzzes the block file loaders: LoadBinary in several selections,
// ReadBinary with a handler and both ReadLayer forms. Failures must be the
// documented exceptions.
#include "ORK_matrix.h"
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string file = "/tmp/numbra_fuzz_m4l_" + std::to_string(::getpid()) + ".blk";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  using numbra::Exception;
  numbra::TMat4D m;
  for (const auto& sel : {std::pair{0, 0}, std::pair{2, 3}, std::pair{1, 1}}) {
    try {
      m.LoadBinary(file, sel.first, sel.second);
      (void)m.Sum(0, 0, 0, 0, 0, 0, 0, 0);
    } catch (const Exception&) {
    }
  }
  double sum = 0;
  m.OnReadElement = [&](numbra::TObject*, int32_t, int32_t, int32_t, int32_t, double v) {
    sum += v;
  };
  try {
    m.ReadBinary(file, 0, 0);
  } catch (const Exception&) {
  }
  try {
    m.ReadLayer(file, 1, 1);
  } catch (const Exception&) {
  }
  try {
    numbra::TDouble2DArray d;
    m.ReadLayer(file, 1, 1, d);
  } catch (const Exception&) {
  }
  return 0;
}
