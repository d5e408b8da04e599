// numbra filter FILE --lowpass|--highpass FC [--poles P] [--ripple R]:
// zero-phase Chebyshev (ripple 0: Butterworth) filtering of a column of
// samples, one value per line.
#include "cli.h"
#include "numbra.h"

#include <cstdint>
#include <iostream>
#include <sstream>

namespace {

using numbra_cli::CliError;

constexpr const char* kUsage =
    "usage: numbra filter FILE --lowpass|--highpass FC [--poles P] [--ripple R]";

int RunFilter(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--lowpass", "--highpass", "--poles", "--ripple"}, {});
  if (a.positional.size() != 1 || a.Has("--lowpass") == a.Has("--highpass")) throw CliError(kUsage);
  const bool high = a.Has("--highpass");
  const double fc = a.GetDouble(high ? "--highpass" : "--lowpass", 0.0);
  const int poles = a.GetInt("--poles", 4);
  const double ripple = a.GetDouble("--ripple", 0.5);
  // The design is checked before the file is read.
  double a0 = 0;
  numbra::TMatrix coeffs;
  numbra::CalcChebFilterCoeffs(poles, high, fc, ripple, a0, &coeffs);
  LongTask task("filter");
  task.Phase("reading");
  const std::vector<double> x = ReadSamples(a.positional[0]);
  task.Check();
  task.Phase("filtering");
  numbra::TVector src, dest;
  src.Resize(static_cast<int32_t>(x.size()));
  dest.Resize(static_cast<int32_t>(x.size()));
  for (std::size_t i = 0; i < x.size(); ++i) src.SetVal(static_cast<int32_t>(i + 1), x[i]);
  numbra::ChebychevFilter(&src, 1, src.NrOfElem(), &dest, a0, &coeffs);
  task.Check();
  std::ostringstream out;
  for (const double v : dest.Values()) out << FormatDouble(v) << "\n";
  std::cout << out.str();
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("filter", "filter FILE --lowpass|--highpass FC [--poles P] [--ripple R]",
                   "zero-phase Chebyshev filtering of a column of samples: cut-off FC (-3 dB, "
                   "fraction of the sampling rate), P poles (even, 2..20, default 4), pass-band "
                   "ripple R percent (0..29, 0 = Butterworth, default 0.5)",
                   RunFilter)
