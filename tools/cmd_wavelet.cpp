// numbra wavelet FILE --order K --levels L [--mode wrap|zeropad|symmetric]:
// Daubechies wavelet coefficients of a column of samples (or a vector text
// file), zero-padded to the next power of two.
#include "ORK_filesys.h"
#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

using numbra_cli::CliError;

constexpr const char* kUsage =
    "usage: numbra wavelet FILE --order 1|2|3 --levels L [--mode wrap|zeropad|symmetric]";

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

// The samples of FILE; every failure is a CliError naming the file.
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

int RunWavelet(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--order", "--levels", "--mode"}, {});
  if (a.positional.size() != 1 || !a.Has("--order") || !a.Has("--levels")) throw CliError(kUsage);
  const int order = a.GetInt("--order", 2);
  if (order < 1 || order > 3) throw CliError("--order must be 1, 2 or 3, not " + a.Get("--order"));
  const int levels = a.GetInt("--levels", 1);
  if (levels < 1) throw CliError("--levels must be at least 1, not " + a.Get("--levels"));
  const std::string mode = a.Get("--mode", "wrap");
  numbra::TWLSigExtMode m = numbra::TWLSigExtMode::wseWrap;
  if (mode == "zeropad")
    m = numbra::TWLSigExtMode::wseZeroPad;
  else if (mode == "symmetric")
    m = numbra::TWLSigExtMode::wseSymmetric;
  else if (mode != "wrap")
    throw CliError("unknown mode \"" + mode + "\" (wrap, zeropad, symmetric)");
  const std::vector<double> x = ReadSamples(a.positional[0]);
  constexpr std::size_t kMax = std::size_t{1} << 23;
  if (x.size() > kMax)
    throw CliError(std::to_string(x.size()) + " samples: at most " + std::to_string(kMax));
  int32_t n = 1;
  int max_levels = 0;
  while (static_cast<std::size_t>(n) < x.size()) {
    n *= 2;
    ++max_levels;
  }

  numbra::TWavelet1D w;
  w.SetNumData(n);
  w.SetOrder(order);
  w.SetSigExtMode(m);
  for (std::size_t i = 0; i < x.size(); ++i) w.SetDataVal(static_cast<int32_t>(i) + 1, x[i]);
  w.Transform(levels);

  std::ostringstream out;
  out << "# " << x.size() << " samples, zero-padded to " << n << ", order " << order << ", "
      << std::min(levels, max_levels) << " levels, mode " << mode << "\n";
  for (const double v : w.Values()) out << FormatDouble(v) << "\n";
  std::cout << out.str();
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("wavelet",
                   "wavelet FILE --order 1|2|3 --levels L [--mode wrap|zeropad|symmetric]",
                   "Daubechies wavelet coefficients of a column of samples (zero-padded to a power "
                   "of two), one per line: approximations first, then the details",
                   RunWavelet)
