// Fuzzes TVector::LoadFromStream with arbitrary bytes, with and without
// resizing, into a small and a large vector.
#include "ORK_vector.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  for (const bool adjust : {false, true}) {
    TMemoryStream s;
    s.Write(data, static_cast<int64_t>(size));
    s.SetPosition(0);
    TVector v;
    if (!adjust) v.Resize(64);
    v.LoadFromStream(&s, adjust);
    (void)v.CRCofData();
  }
  return 0;
}
