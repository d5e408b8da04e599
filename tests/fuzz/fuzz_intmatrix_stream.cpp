// Fuzzes TIntMatrix::LoadFromStream: several blocks in a row, with and
// without resizing.
#include "ORK_matrix.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  for (const bool adjust : {false, true}) {
    TMemoryStream s;
    s.Write(data, static_cast<int64_t>(size));
    s.SetPosition(0);
    TIntMatrix m;
    if (!adjust) m.Resize(16, 16);
    for (int block = 0; block < 4 && m.LoadFromStream(&s, adjust); ++block) (void)m.CRCofData();
  }
  return 0;
}
