// Fuzzes LoadPLSModelComment with arbitrary bytes: any input either yields
// a comment within the format's limits or raises EORKStatisError.
#include "ORK_statis.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  TMemoryStream s;
  s.Write(data, static_cast<int64_t>(size));
  s.SetPosition(0);
  std::string comment = "unchanged";
  try {
    LoadPLSModelComment(s, comment);
    // 1000 lines of at most 1024 bytes, joined by LF.
    if (comment.size() > 1000 * 1025) std::abort();
  } catch (const EORKStatisError&) {
    if (comment != "unchanged") std::abort();
  }
  return 0;
}
