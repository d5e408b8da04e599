// Fuzzes the dense text reader of TIntMatrix, into a small matrix and
// resizing.
#include "ORK_matrix.h"
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  static const std::string file = "/tmp/numbra_fuzz_imtext_" + std::to_string(::getpid()) + ".txt";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  for (const bool adjust : {false, true}) {
    TIntMatrix m;
    if (!adjust) m.Resize(8, 8);
    m.LoadFromFile(file, adjust);
    (void)m.CRCofData();
  }
  return 0;
}
