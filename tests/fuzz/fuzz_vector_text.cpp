// Fuzzes the vector text file reader (header form and headerless form).
#include "ORK_vector.h"
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  static const std::string file = "/tmp/numbra_fuzz_text_" + std::to_string(::getpid()) + ".txt";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  for (const bool adjust : {false, true}) {
    for (const bool autodetect : {false, true}) {
      TVector v;
      if (!adjust) v.Resize(32);
      v.LoadFromFile(file, adjust, autodetect);
      (void)v.CalcVecLeng();
    }
  }
  return 0;
}
