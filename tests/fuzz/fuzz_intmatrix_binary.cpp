// Fuzzes the TIntMatrix binary file reader (LoadBinary, ReadBinaryHeader).
// The input is tried as it is and with a valid checksum appended, so that
// the fuzzer also reaches the code behind the checksum test.
#include "ORK_matrix.h"
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  static const std::string file = "/tmp/numbra_fuzz_ibin_" + std::to_string(::getpid()) + ".nbm";
  std::vector<uint8_t> with_crc(data, data + size);
  uint32_t crc = 0xFFFFFFFFU;
  for (const uint8_t b : with_crc) crc = CalcNextCRC32(b, crc);
  crc = ~crc;
  for (int k = 0; k < 4; ++k) with_crc.push_back(static_cast<uint8_t>(crc >> (8 * k)));
  for (const bool append_crc : {true, false}) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (f == nullptr) return 0;
    if (append_crc)
      std::fwrite(with_crc.data(), 1, with_crc.size(), f);
    else
      std::fwrite(data, 1, size, f);
    std::fclose(f);
    TIntMatrix m;
    int32_t nc = 0;
    int32_t nr = 0;
    std::string id;
    (void)m.ReadBinaryHeader(file, nc, nr, id);
    try {
      m.LoadBinary(file);
      (void)m.CRCofData();
    } catch (const EORKMatrixError&) {
    }
  }
  return 0;
}
