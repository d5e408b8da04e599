// numbra stats and numbra histogram.
#include "cli_runner.h"

#include <gtest/gtest.h>

using numbra_test::RunCli;
using numbra_test::SamplePath;

TEST(CliStats, ShippedSample) {
  const auto r = RunCli("stats " + SamplePath("signal.vec"));
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* key : {"count     64\n", "mean", "variance", "stddev", "skewness", "kurtosis",
                          "min", "q1", "median", "q3", "max", "mode"})
    EXPECT_NE(r.out.find(key), std::string::npos) << key;
}

TEST(CliStats, KnownColumn) {
  numbra_test::TempDir dir;
  numbra_test::WriteText(dir.File("c.txt"), "1\n2\n3\n4\n");
  const auto r = RunCli("stats --autodetect " + dir.File("c.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("mean      2.5\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("median    2.5\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("q1        1.25\n"), std::string::npos) << r.out;
}

TEST(CliHistogram, BarsAndBadBins) {
  numbra_test::TempDir dir;
  numbra_test::WriteText(dir.File("c.txt"), "1\n2\n2\n3\n9\n-4\n");
  const auto r =
      RunCli("histogram --autodetect " + dir.File("c.txt") + " --first 0 --last 4 --width 1");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("underflow 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("overflow  1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2        2 " + std::string(50, '#') + "\n"), std::string::npos) << r.out;
  EXPECT_EQ(RunCli("histogram --autodetect " + dir.File("c.txt") + " --first 0 --last 4 --width 0")
                .status,
            2);
  EXPECT_EQ(RunCli("histogram " + dir.File("c.txt")).status, 2);
  EXPECT_EQ(RunCli("histogram --autodetect " + dir.File("c.txt") + " --first x --last 4 --width 1")
                .status,
            2);
}
