// Fuzzes the ASC readers: the corvel header and body reader on the bytes
// themselves, and TCurveFit::ImportASC on them as a file.
#include "ORK_math2.h"
#include "ORK_stringl.h"
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace numbra;
  const std::string text(reinterpret_cast<const char*>(data), size);
  corvel::TAscReader r(text);
  if (r.Status() == corvel::kAscOk) {
    corvel::TQuotedStrState st = corvel::TQuotedStrState::qsStart;
    std::string name;
    double v = 0;
    for (int i = 0; i < 64 && !r.AtEnd(); ++i)
      if (i % 3 == 0)
        r.ReadName('"', st, name);
      else
        r.ReadNumber(v);
  }
  // A memory file system when there is one: the import reads a real file.
  static const std::string file =
      std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/numbra_fuzz_asc_" +
      std::to_string(::getpid()) + ".asc";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  TCurveFit fit;
  try {
    if (fit.ImportASC(file) == 0 && fit.NumData() > 0) {
      double k = 0, d = 0, q = 0;
      if (fit.NumData() >= 2) fit.CalcLinFit(k, d, q);
      (void)fit.GetSpearman();
    }
  } catch (const EORKMath2Error&) {
    // the column-count error
  }
  return 0;
}
