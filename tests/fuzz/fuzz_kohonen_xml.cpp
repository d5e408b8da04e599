// Fuzzes the TKohonen XML readers: from a file and from an open text file
// (one block after another), from a memory stream, by any identifier.
#include "ORK_kohonen.h"
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  static const std::string file =
      "/tmp/numbra_fuzz_kohonenx_" + std::to_string(::getpid()) + ".xml";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  TKohonen m;
  for (const char* id : {"", "a"}) {
    TMemoryStream s;
    s.Write(data, static_cast<int64_t>(size));
    s.SetPosition(0);
    for (int block = 0; block < 4 && m.ReadFromXMLStream(&s, id); ++block) {
    }
  }
  (void)m.LoadFromXMLFile(file, "");
  (void)m.LoadFromXMLFile(file, "a");
  TTextReader in(file);
  for (int block = 0; block < 4 && m.ReadFromOpenXMLFile(in, ""); ++block) {
  }
  return 0;
}
