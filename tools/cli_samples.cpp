// Sample loading shared by the signal commands (fft, wavelet).
#include "ORK_filesys.h"
#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <fstream>
#include <sstream>

namespace numbra_cli {

namespace {

// True when the first non-blank line of the file holds exactly two integers:
// the header "First Last" of the vector text form. Anything else is read as a
// plain column.
bool HasVectorHeader(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ss(line);
    std::string a, b, extra;
    if (!(ss >> a)) continue;
    if (!(ss >> b) || (ss >> extra)) return false;
    auto is_int = [](const std::string& s) {
      std::size_t i = (s[0] == '+' || s[0] == '-') ? 1 : 0;
      if (i == s.size()) return false;
      for (; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
      return true;
    };
    return is_int(a) && is_int(b);
  }
  return false;
}

bool HasDigit(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  char c = 0;
  while (in.get(c))
    if (c >= '0' && c <= '9') return true;
  return false;
}

}  // namespace

std::vector<double> ReadSamples(const std::string& file) {
  if (!corvel::FileExists(file)) throw CliError("cannot open \"" + file + "\"");
  if (!HasDigit(file)) throw CliError("\"" + file + "\" holds no samples");
  numbra::TVector v;
  const bool ok =
      HasVectorHeader(file) ? v.LoadFromFile(file, true) : v.LoadFromFile(file, true, true);
  if (!ok) throw CliError("\"" + file + "\" is neither a column of numbers nor a vector text file");
  std::vector<double> x(v.Values().begin(), v.Values().end());
  for (std::size_t i = 0; i < x.size(); ++i)
    if (!std::isfinite(x[i]))
      throw CliError("sample " + std::to_string(i + 1) + " of \"" + file +
                     "\" is not a finite number");
  return x;
}

}  // namespace numbra_cli
