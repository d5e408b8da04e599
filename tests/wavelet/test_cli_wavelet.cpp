// numbra wavelet: coefficients of a column, options and failures.
#if defined(NUMBRA_CLI_PATH)
#include "cli_runner.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using numbra_test::RunCli;
using numbra_test::TempDir;
using numbra_test::WriteText;

namespace {
std::vector<double> Values(const std::string& out) {
  std::vector<double> v;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') v.push_back(std::stod(line));
  return v;
}
}  // namespace

TEST(CliWavelet, HaarLevelsOnAColumn) {
  TempDir dir;
  WriteText(dir.File("s.txt"), "1\n2\n3\n4\n");
  const double h = 0.7071067811865476;
  const auto one = RunCli("wavelet " + dir.File("s.txt") + " --order 1 --levels 1");
  ASSERT_EQ(one.status, 0) << one.err;
  const auto v1 = Values(one.out);
  const std::vector<double> want1 = {3 * h, 7 * h, -h, -h};
  ASSERT_EQ(v1.size(), 4U);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(v1[i], want1[i], 1e-15) << i;
  // All levels (more than log2 N are not possible): approximation sum/2.
  const auto all = RunCli("wavelet " + dir.File("s.txt") + " --order 1 --levels 9 --mode zeropad");
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_NE(all.out.find("2 levels, mode zeropad"), std::string::npos) << all.out;
  EXPECT_NEAR(Values(all.out)[0], 10.0 / 2, 1e-14);
}

TEST(CliWavelet, PadsToAPowerOfTwo) {
  TempDir dir;
  WriteText(dir.File("s.txt"), "1\n2\n3\n");
  const auto r = RunCli("wavelet " + dir.File("s.txt") + " --order 3 --levels 1 --mode symmetric");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("# 3 samples, zero-padded to 4"), std::string::npos) << r.out;
  EXPECT_EQ(Values(r.out).size(), 4U);
}

TEST(CliWavelet, FailuresAreOneLineWithStatus2) {
  TempDir dir;
  WriteText(dir.File("ok.txt"), "1\n2\n");
  const std::string f = dir.File("ok.txt");
  const std::string cases[] = {
      "wavelet " + f,
      "wavelet " + f + " --order 2",
      "wavelet " + f + " --levels 2",
      "wavelet " + f + " --order 4 --levels 1",
      "wavelet " + f + " --order 0 --levels 1",
      "wavelet " + f + " --order 2 --levels 0",
      "wavelet " + f + " --order x --levels 1",
      "wavelet " + f + " --order 2 --levels 1 --mode mirror",
      "wavelet " + dir.File("missing.txt") + " --order 2 --levels 1",
  };
  for (const auto& args : cases) {
    const auto r = RunCli(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(r.out.empty()) << args;
    ASSERT_FALSE(r.err.empty()) << args;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args << ": " << r.err;
  }
}
#endif
