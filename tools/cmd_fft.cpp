// numbra fft FILE [--window NAME] [--sample-time T]: spectrum of a column of
// real samples (or a vector text file), zero-padded to the next power of two.
#include "ORK_filesys.h"
#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <utility>

namespace {

using numbra_cli::CliError;
using numbra_cli::ReadSamples;

constexpr const char* kUsage =
    "usage: numbra fft FILE [--window rectangle|triangle|cos2|gauss|hamming|blackman|"
    "blackman-harris|blackman-nuttall] [--sample-time T]";

numbra::TFastFourierWgtWin ParseWindow(const std::string& name) {
  using W = numbra::TFastFourierWgtWin;
  static const std::pair<const char*, W> kNames[] = {{"rectangle", W::fwRectangle},
                                                     {"triangle", W::fwTriangle},
                                                     {"cos2", W::fwCos2},
                                                     {"gauss", W::fwGauss},
                                                     {"hamming", W::fwHamming},
                                                     {"blackman", W::fwBlackman},
                                                     {"blackman-harris", W::fwBlkmHarris},
                                                     {"blackman-nuttall", W::fwBlkmNuttall}};
  for (const auto& [n, w] : kNames)
    if (name == n) return w;
  throw CliError("unknown window \"" + name +
                 "\" (rectangle, triangle, cos2, gauss, hamming, blackman, blackman-harris, "
                 "blackman-nuttall)");
}

int RunFft(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--window", "--sample-time"}, {});
  if (a.positional.size() != 1) throw CliError(kUsage);
  const std::string window = a.Get("--window", "rectangle");
  const numbra::TFastFourierWgtWin w = ParseWindow(window);
  const double dt = a.GetDouble("--sample-time", 1.0);
  if (!(dt > 0.0) || !std::isfinite(dt))
    throw CliError("--sample-time must be a positive number, not \"" + a.Get("--sample-time") +
                   "\"");
  const std::vector<double> x = ReadSamples(a.positional[0]);
  constexpr std::size_t kMax = std::size_t{1} << 23;
  if (x.size() > kMax)
    throw CliError(std::to_string(x.size()) + " samples: at most " + std::to_string(kMax));
  int32_t n = 1;
  while (static_cast<std::size_t>(n) < x.size()) n *= 2;

  numbra::TFastFourier f;
  f.SetNumData(n);
  auto d = f.Data();
  for (std::size_t i = 0; i < x.size(); ++i) d[2 * i] = x[i];
  f.SetWgtWin(w);
  f.Transform();

  std::ostringstream out;
  out << "# " << x.size() << " samples, zero-padded to " << n << ", window " << window
      << ", sample time " << FormatDouble(dt) << "\n"
      << "# frequency magnitude power phase\n";
  for (int32_t k = 0; k <= n / 2; ++k)
    out << FormatDouble(f.FreqOfLine(k, dt)) << " " << FormatDouble(f.GetMagnitude(k)) << " "
        << FormatDouble(f.GetPowerSpec(k)) << " " << FormatDouble(f.GetPhase(k)) << "\n";
  std::cout << out.str();
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("fft",
                   "fft FILE [--window rectangle|triangle|cos2|gauss|hamming|blackman|"
                   "blackman-harris|blackman-nuttall] [--sample-time T]",
                   "spectrum of a column of samples (zero-padded to a power of two): frequency, "
                   "magnitude, power and phase of each line",
                   RunFft)
