// Fuzzes the block file header reader: the input is record 0 (padded or cut
// as it comes), optionally followed by data; the header must be read or
// refused without a crash or an allocation the file does not justify.
#include "ORK_matrix.h"
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string file = "/tmp/numbra_fuzz_m4h_" + std::to_string(::getpid()) + ".blk";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  numbra::TMat4D m;
  int32_t x = 0, y = 0, z = 0, t = 0;
  std::string id;
  try {
    (void)m.ReadBinaryHeader(file, x, y, z, t, id);
  } catch (const numbra::Exception&) {
  }
  return 0;
}
