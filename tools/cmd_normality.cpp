// numbra normality FILE: Shapiro-Wilk and Lilliefors tests of normality of
// a column of numbers (or a vector text file).
#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <iostream>

namespace {

using namespace numbra_cli;

int RunNormality(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {}, {});
  if (a.positional.size() != 1) throw CliError("usage: numbra normality FILE");
  const std::vector<double> x = ReadSamples(a.positional[0]);
  if (x.size() < 3) throw CliError("at least 3 values are needed");
  numbra::TVector v;
  v.Resize(static_cast<int32_t>(x.size()));
  for (std::size_t i = 0; i < x.size(); ++i) v.SetVal(static_cast<int32_t>(i) + 1, x[i]);
  const auto n = static_cast<int32_t>(x.size());
  double w = 0.0;
  double pw = 0.0;
  const int32_t code = numbra::ShapiroWilkTest(v, 0, w, pw);
  if (code == 6) throw CliError("all values are equal");
  const double d = numbra::PerformLillieforsTest(v, false);  // sorts and standardizes v
  std::cout << "count          " << n << "\n"
            << "shapiro_w      " << FormatDouble(w) << "\n"
            << "shapiro_p      " << (code == 2 ? "n/a (more than 5000 values)" : FormatDouble(pw))
            << "\n"
            << "lilliefors_d   " << FormatDouble(d) << "\n";
  const double pl = numbra::LillieforsPValue(n, d);
  std::cout << "lilliefors_p   "
            << (pl < 0 ? std::string("n/a (6 or more values needed)") : FormatDouble(pl)) << "\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("normality", "normality FILE",
                   "Shapiro-Wilk W and Lilliefors D with their p-values", RunNormality)
