// numbra outliers FILE --test dixon|grubbs [--alpha A]: one outlier test of
// a column of numbers (or a vector text file).
#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <iostream>

namespace {

using namespace numbra_cli;

int RunOutliers(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {"--test", "--alpha"}, {});
  const std::string usage = "usage: numbra outliers FILE --test dixon|grubbs [--alpha A]";
  if (a.positional.size() != 1 || !a.Has("--test")) throw CliError(usage);
  const std::string test = a.Get("--test");
  if (test != "dixon" && test != "grubbs")
    throw CliError("--test must be dixon or grubbs, not \"" + test + "\"");
  const double alpha = a.GetDouble("--alpha", 0.05);
  const std::vector<double> x = ReadSamples(a.positional[0]);
  numbra::TVector v;
  v.Resize(static_cast<int32_t>(x.size()));
  for (std::size_t i = 0; i < x.size(); ++i) v.SetVal(static_cast<int32_t>(i) + 1, x[i]);
  const auto n = static_cast<int32_t>(x.size());

  double stat = 0.0;
  double crit = 0.0;
  int32_t idx = 0;
  if (test == "dixon") {
    int level = -1;
    for (int l = 0; l < 9; ++l)
      if (numbra::NumericSigLevel[static_cast<std::size_t>(l)] == alpha) level = l;
    if (level < 0)
      throw CliError("--alpha " + FormatDouble(alpha) +
                     " is not a Dixon level (0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, "
                     "0.5)");
    const auto lv = static_cast<numbra::TSignifLevelEx>(level);
    idx = numbra::DeanDixonTest(v, lv, stat);
    crit = numbra::DeanDixonCriticalValues(n, lv);
  } else {
    idx = numbra::GrubbsTest(v, alpha, stat);
    crit = numbra::GrubbsCriticalValues(n, alpha, true);
  }
  std::cout << "test      " << test << "\n"
            << "count     " << n << "\n"
            << "alpha     " << FormatDouble(alpha) << "\n"
            << "statistic " << FormatDouble(stat) << "\n"
            << "critical  " << FormatDouble(crit) << "\n";
  if (idx > 0)
    std::cout << "outlier   " << idx << " " << FormatDouble(x[static_cast<std::size_t>(idx) - 1])
              << "\n";
  else
    std::cout << "outlier   none\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("outliers", "outliers FILE --test dixon|grubbs [--alpha A]",
                   "Dean-Dixon or Grubbs test for one outlier (1-based index of the outlier)",
                   RunOutliers)
