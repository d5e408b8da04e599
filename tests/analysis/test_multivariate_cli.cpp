// The numbra tool's pca, regress and pinv commands.
#include "test_support.h"
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#if defined(NUMBRA_CLI_PATH)

using numbra_test::ReadText;
using numbra_test::TempDir;
using numbra_test::WriteText;

namespace {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

CliRun Cli(const TempDir& dir, const std::string& args) {
  const std::string out = dir.File("stdout");
  const std::string err = dir.File("stderr");
  const int raw =
      std::system((std::string(NUMBRA_CLI_PATH) + " " + args + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
}

// The number after Key on its line of Text.
double After(const std::string& Text, const std::string& Key) {
  const auto at = Text.find(Key);
  if (at == std::string::npos) return -1e300;
  std::istringstream in(Text.substr(at + Key.size()));
  double v = 0.0;
  in >> v;
  return v;
}

TEST(MultivariateCli, PcaRegressPinv) {
  TempDir dir;
  // Covariance diag(3, 1, 2) (see the PCA tests): eigenvalues 3, 2, 1.
  const double a = 2.7386127875258306, b = 1.5811388300841898, c = 2.23606797749979;
  std::ostringstream d;
  d.precision(17);
  d << a << ",0,0\n"
    << -a << ",0,0\n0," << b << ",0\n0," << -b << ",0\n0,0," << c << "\n0,0," << -c << "\n";
  WriteText(dir.File("pca.csv"), d.str());
  CliRun r = Cli(dir, "pca " + dir.File("pca.csv") + " --autodetect --components 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NEAR(After(r.out, "\n1 "), 3.0, 1e-13) << r.out;
  EXPECT_NEAR(After(r.out, "\n2 "), 2.0, 1e-13) << r.out;
  EXPECT_NE(r.out.find("scores"), std::string::npos);

  // y = 1 + 2 x1 - x2 exactly, response in column 2.
  WriteText(dir.File("reg.csv"), "0,1,0\n1,2,1\n2,4,1\n3,3,4\n4,10,-1\n5,9,2\n");
  r = Cli(dir, "regress " + dir.File("reg.csv") + " --autodetect --y 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NEAR(After(r.out, "intercept "), 1.0, 1e-13) << r.out;
  EXPECT_NEAR(After(r.out, "column1 "), 2.0, 1e-13) << r.out;
  EXPECT_NEAR(After(r.out, "column3 "), -1.0, 1e-13) << r.out;
  EXPECT_NEAR(After(r.out, "r_squared "), 1.0, 1e-14) << r.out;
  r = Cli(dir, "regress " + dir.File("reg.csv") + " --autodetect --y 2 --ridge 0");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NEAR(After(r.out, "column1 "), 2.0, 1e-13) << r.out;

  // The pseudo-inverse of a full-column-rank 3 x 2 matrix is (A^T A)^-1 A^T.
  WriteText(dir.File("p.csv"), "1,0\n0,1\n1,1\n");
  r = Cli(dir, "pinv " + dir.File("p.csv") + " --autodetect");
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream in(r.out);
  const double want[] = {2.0 / 3, -1.0 / 3, 1.0 / 3, -1.0 / 3, 2.0 / 3, 1.0 / 3};
  for (double w : want) {
    double v = 0.0;
    in >> v;
    EXPECT_NEAR(v, w, 1e-15) << r.out;
  }
}

TEST(MultivariateCli, BadArgumentsGiveOneLineAndStatus2) {
  TempDir dir;
  WriteText(dir.File("m.csv"), "1,2\n3,4\n5,7\n");
  WriteText(dir.File("one.csv"), "1,2\n");
  const std::string m = dir.File("m.csv") + " --autodetect";
  for (const std::string& args :
       {"pca " + m + " --components 3", "pca " + dir.File("one.csv") + " --autodetect",
        "regress " + m, "regress " + m + " --y 5", "regress " + m + " --y 1 --ridge -1",
        "pinv " + m + " --threshold -2", "pinv " + dir.File("missing.csv"),
        "pca " + m + " --bogus"}) {
    const CliRun r = Cli(dir, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_FALSE(r.err.empty()) << args;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args << ": " << r.err;
  }
}

}  // namespace

#endif
