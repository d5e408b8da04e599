// numbra ttest FILE1 FILE2 [--paired|--welch] [--one-sided]: two-sample
// Student t-test (pooled variance unless --paired or --welch).
#include "cli.h"
#include "numbra.h"

#include <iostream>

namespace {

using namespace numbra_cli;

void ToVector(const std::vector<double>& x, numbra::TVector& v) {
  v.Resize(static_cast<int32_t>(x.size()));
  for (std::size_t i = 0; i < x.size(); ++i) v.SetVal(static_cast<int32_t>(i) + 1, x[i]);
}

int RunTTest(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {}, {"--paired", "--welch", "--one-sided"});
  if (a.positional.size() != 2 || (a.Has("--paired") && a.Has("--welch")))
    throw CliError("usage: numbra ttest FILE1 FILE2 [--paired|--welch] [--one-sided]");
  numbra::TVector v1;
  numbra::TVector v2;
  ToVector(ReadSamples(a.positional[0]), v1);
  ToVector(ReadSamples(a.positional[1]), v2);
  const auto ver = a.Has("--paired")  ? numbra::TtTestVersion::ttPaired
                   : a.Has("--welch") ? numbra::TtTestVersion::ttHeteroScedastic
                                      : numbra::TtTestVersion::ttHomoScedastic;
  double m1 = 0, m2 = 0, var1 = 0, var2 = 0, se = 0, t = 0, df = 0;
  int32_t nd = 0;
  const double p = numbra::Perform2SampleTTest(v1, v2, ver, !a.Has("--one-sided"), m1, m2, var1,
                                               var2, se, t, df, nd);
  if (p == -1.0) throw CliError("each sample needs at least 2 values");
  if (p == -2.0) throw CliError("--paired needs samples of equal size");
  if (p == -3.0) throw CliError("both samples are constant and equal: t is undefined");
  const char* name = a.Has("--paired") ? "paired" : a.Has("--welch") ? "welch" : "pooled";
  std::cout << "test      " << name
            << (a.Has("--one-sided") ? " one-sided (mean1 > mean2)\n" : " two-sided\n")
            << "mean1     " << FormatDouble(m1) << "\n"
            << "mean2     " << FormatDouble(m2) << "\n"
            << "var1      " << FormatDouble(var1) << "\n"
            << "var2      " << FormatDouble(var2) << "\n"
            << "stderr    " << FormatDouble(se) << "\n"
            << "t         " << FormatDouble(t) << "\n"
            << "df        " << FormatDouble(df) << "\n"
            << "p         " << FormatDouble(p) << "\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("ttest", "ttest FILE1 FILE2 [--paired|--welch] [--one-sided]",
                   "two-sample Student t-test (pooled, Welch or paired)", RunTTest)
