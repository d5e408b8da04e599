// numbra mannwhitney FILE1 FILE2 [--one-sided]: Mann-Whitney U test.
#include "cli.h"
#include "numbra.h"

#include <iostream>

namespace {

using namespace numbra_cli;

void ToVector(const std::vector<double>& x, numbra::TVector& v) {
  v.Resize(static_cast<int32_t>(x.size()));
  for (std::size_t i = 0; i < x.size(); ++i) v.SetVal(static_cast<int32_t>(i) + 1, x[i]);
}

int RunMannWhitney(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {}, {"--one-sided"});
  if (a.positional.size() != 2)
    throw CliError("usage: numbra mannwhitney FILE1 FILE2 [--one-sided]");
  numbra::TVector v1;
  numbra::TVector v2;
  ToVector(ReadSamples(a.positional[0]), v1);
  ToVector(ReadSamples(a.positional[1]), v2);
  double u = 0;
  const double p = numbra::PerformMannWhitneyUTest(v1, v2, !a.Has("--one-sided"), u);
  std::cout << "test      "
            << (a.Has("--one-sided") ? "one-sided (sample 1 larger)\n" : "two-sided\n")
            << "n1        " << v1.NrOfElem() << "\n"
            << "n2        " << v2.NrOfElem() << "\n"
            << "U         " << FormatDouble(u) << "\n"
            << "p         " << FormatDouble(p) << "\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("mannwhitney", "mannwhitney FILE1 FILE2 [--one-sided]",
                   "Mann-Whitney U rank-sum test (exact for small samples without ties)",
                   RunMannWhitney)
