// Fuzzes the TIntMatrix XML readers: from a stream (one matrix after
// another, by any identifier and by "a"), from a file, and from an open text
// file.
#include "ORK_matrix.h"
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  for (const char* id : {"", "a"}) {
    TMemoryStream s;
    s.Write(data, static_cast<int64_t>(size));
    s.SetPosition(0);
    TIntMatrix m;
    for (int block = 0; block < 4 && m.ReadFromXMLStream(&s, id); ++block) (void)m.CRCofData();
  }
  static const std::string file = "/tmp/numbra_fuzz_ixml_" + std::to_string(::getpid()) + ".xml";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  TIntMatrix m;
  (void)m.LoadFromXMLFile(file, "");
  TTextReader in(file);
  for (int block = 0; block < 4 && m.ReadFromOpenXMLFile(in, ""); ++block) (void)m.CRCofData();
  return 0;
}
