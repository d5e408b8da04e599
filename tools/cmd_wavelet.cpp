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
using numbra_cli::ReadSamples;

constexpr const char* kUsage =
    "usage: numbra wavelet FILE --order 1|2|3 --levels L [--mode wrap|zeropad|symmetric]";

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
