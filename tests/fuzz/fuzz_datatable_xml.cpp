// Fuzzes the data table's XML readers: from a string (one table after
// another, by any identifier and by "a") and from a stream.
#include "ORK_datatable.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* id : {"", "a"}) {
    TDataTable t;
    int64_t at = 0;
    for (int block = 0; block < 4 && t.ReadFromXMLString(text, at, id); ++block)
      (void)t.CRCofCellStates();
  }
  TMemoryStream s;
  s.Write(data, static_cast<int64_t>(size));
  s.SetPosition(0);
  TDataTable t;
  (void)t.ReadFromXMLStream(&s, "");
  return 0;
}
