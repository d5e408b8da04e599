// numbra smooth FILE --method average|median|weighted|sg --window W: a
// column of samples (or a vector text file) smoothed by a moving window,
// written as one value per line.
#include "cli.h"
#include "numbra.h"

#include <cstdint>
#include <iostream>
#include <sstream>

namespace {

using numbra_cli::CliError;

constexpr const char* kUsage =
    "usage: numbra smooth FILE --method average|median|weighted|sg --window W";

int RunSmooth(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--method", "--window"}, {});
  if (a.positional.size() != 1 || !a.Has("--window")) throw CliError(kUsage);
  const std::string method = a.Get("--method", "average");
  void (*fn)(const numbra::TVector*, int32_t, int32_t, numbra::TVector*, int32_t) = nullptr;
  if (method == "average")
    fn = numbra::MovingAverageSmooth;
  else if (method == "median")
    fn = numbra::MovingMedianSmooth;
  else if (method == "weighted")
    fn = numbra::WeightedAverageSmooth;
  else if (method == "sg")
    fn = numbra::PolynomialSmooth;
  else
    throw CliError("unknown method \"" + method + "\" (average, median, weighted, sg)");
  const int window = a.GetInt("--window", 0);
  LongTask task("smooth");
  task.Phase("reading");
  const std::vector<double> x = ReadSamples(a.positional[0]);
  task.Check();
  task.Phase("smoothing");
  numbra::TVector src, dest;
  src.Resize(static_cast<int32_t>(x.size()));
  dest.Resize(static_cast<int32_t>(x.size()));
  for (std::size_t i = 0; i < x.size(); ++i) src.SetVal(static_cast<int32_t>(i + 1), x[i]);
  fn(&src, 1, src.NrOfElem(), &dest, window);
  task.Check();
  std::ostringstream out;
  for (const double v : dest.Values()) out << FormatDouble(v) << "\n";
  std::cout << out.str();
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("smooth", "smooth FILE --method average|median|weighted|sg --window W",
                   "moving average, median, triangular average or Savitzky-Golay smoothing of a "
                   "column of samples; the edges repeat the nearest full window",
                   RunSmooth)
