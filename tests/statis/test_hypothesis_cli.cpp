// The numbra outliers, normality, ttest, mannwhitney and anova commands.
#include "cli_runner.h"
#include "hypothesis_data.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

using hypothesis_test::Samples;
using numbra_test::RunCli;

namespace {

// A temporary file with the values of a sample, one per line.
std::string SampleFile(const std::string& name) {
  static numbra_test::TempDir dir;
  const std::string path = dir.File(name + ".txt");
  std::string text;
  char buf[40];
  for (const double v : Samples().at(name)) {
    std::snprintf(buf, sizeof buf, "%.17g\n", v);
    text += buf;
  }
  numbra_test::WriteText(path, text);
  return path;
}

// The number after "key" at the start of a line of the output.
double Field(const std::string& out, const std::string& key) {
  const auto at = out.find("\n" + key + " ") != std::string::npos ? out.find("\n" + key + " ") + 1
                  : out.rfind(key + " ", 0) == 0                  ? 0
                                                                  : std::string::npos;
  if (at == std::string::npos) return NAN;
  return std::strtod(out.c_str() + at + key.size(), nullptr);
}

}  // namespace

TEST(HypothesisCli, CommandsReportTheirStatistics) {
  const std::string nist = std::string(NUMBRA_SHARED_DATA_DIR) + "/nist/";
  struct Case {
    std::string args, key;
    double expected, tol;
  };
  // References: NIST certified values, SciPy (scipy_two_sample.txt), the
  // Dixon table.
  const Case cases[] = {
      {"anova " + nist + "SmLs01.dat", "F", 21.0, 1e-13},
      {"anova " + nist + "SmLs07.dat", "between", 8.0, 0.0},  // df column
      {"anova " + nist + "AtmWtAg.dat", "F", 15.946733566676926, 1e-13},
      {"ttest " + SampleFile("a12") + " " + SampleFile("c12") + " --welch", "t",
       -1.6848593136783727, 1e-12},
      {"ttest " + SampleFile("a5") + " " + SampleFile("b5"), "p", 0.072861150882673656, 1e-12},
      {"ttest " + SampleFile("a5") + " " + SampleFile("b5") + " --paired", "df", 4.0, 0.0},
      {"mannwhitney " + SampleFile("a12") + " " + SampleFile("b12"), "U", 66.0, 0.0},
      {"mannwhitney " + SampleFile("a12") + " " + SampleFile("b12"), "p", 0.75528482824215759,
       1e-12},
      {"normality " + SampleFile("sw50"), "shapiro_w", 0.97104061857211965, 1e-12},
      {"outliers " + SampleFile("a40") + " --test dixon --alpha 0.05", "critical", 0.337, 0.0},
  };
  for (const Case& c : cases) {
    const auto r = RunCli(c.args);
    ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
    EXPECT_NEAR(Field(r.out, c.key), c.expected, c.tol * std::fabs(c.expected)) << c.args << "\n"
                                                                                << r.out;
  }
}

TEST(HypothesisCli, FailuresAreOneLineWithStatus2) {
  static numbra_test::TempDir dir;
  const std::string two = dir.File("two.txt"), flat = dir.File("flat.txt"),
                    bad = dir.File("bad.txt"), one = dir.File("one.txt");
  numbra_test::WriteText(two, "1\n2\n");
  numbra_test::WriteText(flat, "1 5\n2 5\n1 5\n2 5\n");
  numbra_test::WriteText(bad, "1 2\n1 x\n");
  numbra_test::WriteText(one, "1 1\n1 2\n1 3\n");
  const std::string a = SampleFile("a5");
  for (const std::string& args :
       {"outliers " + two + " --test dixon --alpha 0.05",
        "outliers " + a + " --test dixon --alpha 0.3",
        "outliers " + a + " --test grubbs --alpha 1.5", "outliers " + a + " --test median",
        "outliers " + a, "normality " + two, std::string("normality /nonexistent/file"),
        "ttest " + two + " " + a + " --paired", "ttest " + a + " --welch",
        "ttest " + a + " " + a + " --paired --welch", "mannwhitney " + a, "anova " + flat,
        "anova " + bad, "anova " + one, "anova " + two + " --rows"}) {
    const auto r = RunCli(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(r.out.empty()) << args;
    ASSERT_FALSE(r.err.empty()) << args;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args << ": " << r.err;
  }
}
