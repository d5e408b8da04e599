// Fuzzes the data table's ASC readers: the import of a whole table and the
// placing of a table into another.
#include "ORK_datatable.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  const TClipboardBuffer clip{std::string(reinterpret_cast<const char*>(data), size)};
  TDataTable t;
  if (t.ImportASC(clip) > 0) {
    TDataTable u;
    (void)u.ImportASC(TClipboardBuffer{t.ASCText(0)});
    (void)t.CRCofNamesAndAttributes();
  }
  TDataTable v;
  (void)v.ReadFromASC(clip, 2, 3, size % 2 == 0);
  return 0;
}
