// numbra smooth, deriv and filter: results of known columns, and one-line
// failures with status 2.
#if defined(NUMBRA_CLI_PATH)
#include "test_support.h"
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

struct CliRun {
  int status;
  std::string out, err;
};

CliRun Cli(const numbra_test::TempDir& dir, const std::string& args) {
  const std::string out = dir.File("out"), err = dir.File("err");
  const int raw =
      std::system((std::string(NUMBRA_CLI_PATH) + " " + args + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, numbra_test::ReadText(out),
          numbra_test::ReadText(err)};
}

}  // namespace

TEST(CliSmoothing, KnownColumnsAndFailures) {
  numbra_test::TempDir dir;
  const std::string ramp = dir.File("ramp.txt"), sq = dir.File("sq.txt");
  numbra_test::WriteText(ramp, "1\n2\n3\n4\n5\n6\n7\n");
  std::string squares;
  for (int i = 0; i < 9; ++i) squares += std::to_string(i * i) + "\n";
  numbra_test::WriteText(sq, squares);
  struct Case {
    std::string args;
    int status;
    std::string expect;  // whole stdout, or the start of stderr
  };
  const Case cases[] = {
      {"smooth " + ramp + " --method average --window 3", 0, "2\n2\n3\n4\n5\n6\n6\n"},
      {"smooth " + ramp + " --window 3", 0, "2\n2\n3\n4\n5\n6\n6\n"},
      {"smooth " + ramp + " --method median --window 5", 0, "3\n3\n3\n4\n5\n5\n5\n"},
      {"smooth " + ramp + " --method sg --window 5", 0, "3\n3\n3\n4\n5\n5\n5\n"},
      {"deriv " + ramp + " --order 1 --window 5", 0, "1\n1\n1\n1\n1\n1\n1\n"},
      {"deriv " + sq + " --order 2 --window 5", 0, "2\n2\n2\n2\n2\n2\n2\n2\n2\n"},
      {"smooth " + ramp + " --method mean --window 3", 2, "numbra smooth: unknown method"},
      {"smooth " + ramp + " --method median --window 7", 2,
       "numbra smooth: MovingMedianSmooth: specified range for smoothing is smaller"},
      {"smooth " + ramp + " --method weighted --window 4", 2,
       "numbra smooth: WeightedAverageSmooth: length of smoothing window must be odd"},
      {"smooth " + ramp + " --method average", 2, "numbra smooth: usage"},
      {"deriv " + sq + " --order 3 --window 5", 2, "numbra deriv: --order must be 1 or 2"},
      {"deriv " + sq + " --window x", 2, "numbra deriv: "},
      {"filter " + ramp + " --lowpass 0.1 --highpass 0.2", 2, "numbra filter: usage"},
      {"filter " + ramp + " --lowpass 0.6", 2,
       "numbra filter: CalcChebFilterCoeffs: invalid cutoff frequency"},
      {"filter " + ramp + " --highpass 0.1 --poles 5", 2,
       "numbra filter: CalcChebFilterCoeffs: NPoles must be even"},
      {"filter " + dir.File("missing.txt") + " --lowpass 0.1", 2, "numbra filter: cannot open"},
  };
  for (const Case& c : cases) {
    const CliRun r = Cli(dir, c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    if (c.status == 0) {
      EXPECT_EQ(r.out, c.expect) << c.args;
    } else {
      EXPECT_EQ(r.err.rfind(c.expect, 0), 0u) << c.args << "\n" << r.err;
    }
  }
}

// A constant column passes a unit-gain low pass unchanged (away from the
// ends, where the zero samples beyond the column take part), and a high
// pass removes it.
TEST(CliSmoothing, FilterKeepsOrRemovesAConstant) {
  numbra_test::TempDir dir;
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "2.5\n";
  numbra_test::WriteText(dir.File("c.txt"), text);
  for (const bool high : {false, true}) {
    const CliRun r = Cli(dir, std::string(high ? "filter --highpass" : "filter --lowpass") +
                                  " 0.2 --poles 6 --ripple 1 " + dir.File("c.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    double v = 0;
    int n = 0;
    while (in >> v) {
      if (++n > 300 && n <= 700) {
        EXPECT_NEAR(v, high ? 0.0 : 2.5, 1e-9) << n;
      }
    }
    EXPECT_EQ(n, 1000);
  }
}
#endif
