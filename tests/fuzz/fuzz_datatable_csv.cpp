// Fuzzes the data table's CSV importer with every delimiter setting and
// header mode, then writes the table back and reads that once more.
#include "ORK_datatable.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TCSVDelimiters delims[] = {TCSVDelimiters::csvUnknown, TCSVDelimiters::csvComma,
                                   TCSVDelimiters::csvSemicolon, TCSVDelimiters::csvTab};
  for (const auto d : delims) {
    TCSVImportOptions o;
    o.Delimiter = d;
    o.ColHeaders = size % 3 == 0 ? TCSVHeaderMode::hmDetect : TCSVHeaderMode::hmHeader;
    o.RowHeaders = size % 2 == 0;
    TDataTable t;
    TCSVImportReport rep;
    if (t.ImportFromCSVText(text, o, &rep) > 0) {
      const std::string back = t.CSVText(0, d, true, o.RowHeaders, true, true);
      TDataTable u;
      o.ColHeaders = TCSVHeaderMode::hmHeader;
      (void)u.ImportFromCSVText(back, o, &rep);
      (void)t.CRCofCellStates();
    }
  }
  return 0;
}
