// numbra deriv FILE --order 1|2 --window W: Savitzky-Golay first or second
// derivative (per sample step) of a column of samples, one value per line.
#include "cli.h"
#include "numbra.h"

#include <cstdint>
#include <iostream>
#include <sstream>

namespace {

using numbra_cli::CliError;

constexpr const char* kUsage = "usage: numbra deriv FILE --order 1|2 --window W";

int RunDeriv(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--order", "--window"}, {});
  if (a.positional.size() != 1 || !a.Has("--window")) throw CliError(kUsage);
  const int order = a.GetInt("--order", 1);
  if (order != 1 && order != 2) throw CliError("--order must be 1 or 2, not " + a.Get("--order"));
  const int window = a.GetInt("--window", 0);
  LongTask task("deriv");
  task.Phase("reading");
  const std::vector<double> x = ReadSamples(a.positional[0]);
  task.Check();
  task.Phase("differentiating");
  numbra::TVector src, dest;
  src.Resize(static_cast<int32_t>(x.size()));
  dest.Resize(static_cast<int32_t>(x.size()));
  for (std::size_t i = 0; i < x.size(); ++i) src.SetVal(static_cast<int32_t>(i + 1), x[i]);
  if (order == 1)
    numbra::FirstDeriv(&src, 1, src.NrOfElem(), &dest, window);
  else
    numbra::SecondDeriv(&src, 1, src.NrOfElem(), &dest, window);
  task.Check();
  std::ostringstream out;
  for (const double v : dest.Values()) out << FormatDouble(v) << "\n";
  std::cout << out.str();
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("deriv", "deriv FILE --order 1|2 --window W",
                   "Savitzky-Golay first or second derivative (per sample step, window 5..25) of a "
                   "column of samples",
                   RunDeriv)
