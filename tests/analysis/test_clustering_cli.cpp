// numbra kmeans, cluster and knn: the worked cases, the text dendrogram,
// the output file and one-line errors with status 2.
#include "test_support.h"
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using numbra_test::ReadText;
using numbra_test::TempDir;
using numbra_test::WriteText;

namespace {
struct CliRun {
  int status = -1;
  std::string out, err;
};

CliRun Cli(const TempDir& dir, const std::string& args) {
  const std::string out = dir.File("out"), err = dir.File("err");
  const int raw =
      std::system((std::string(NUMBRA_CLI_PATH) + " " + args + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
}

TEST(ClusteringCli, CommandsAndErrors) {
  TempDir dir;
  const std::string three = dir.File("three.txt"), six = dir.File("six.txt"),
                    bad = dir.File("nan.txt");
  WriteText(three, "0\n1\n5\n");
  WriteText(six, "0\n1\n2\n3\n10\n30\n");
  WriteText(bad, "1 2\n3 nan\n");

  CliRun r = Cli(dir, "cluster " + three + " --method single");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("1 1 2 4 1\n2 4 3 5 4\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("+ 5  4\n  + 4  1\n    - 2\n    - 1\n  - 3\n"), std::string::npos) << r.out;

  const std::string den = dir.File("den.txt");
  r = Cli(dir, "cluster " + three + " --method ward --out " + den);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(ReadText(den).find("1 2 4\r\n4 3 5"), std::string::npos);

  r = Cli(dir, "kmeans " + six + " -k 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("sizes: 5 1\nwithin-cluster sum of squares: 62.8"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("centre 2: 30\n"), std::string::npos) << r.out;

  r = Cli(dir, "knn " + six + " --probe 2.5 -k 3");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("1 3 0.5\n2 4 0.5\n3 2 1.5\n"), std::string::npos) << r.out;

  const std::vector<std::pair<std::string, std::string>> errors = {
      {"kmeans " + six + " -k 7", "-k: 7 outside 1..6"},
      {"kmeans " + bad + " -k 1", "not a finite number"},
      {"cluster " + three + " --method median", "unknown method"},
      {"knn " + six + " --probe 1,2 -k 1", "2 values for 1 columns"},
      {"kmeans " + dir.File("missing.txt") + " -k 1", "cannot open"}};
  for (const auto& [args, msg] : errors) {
    r = Cli(dir, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find(msg), std::string::npos) << args << ": " << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args;
  }
}
}  // namespace
