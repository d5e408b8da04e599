// The numbra tool's table and covar commands.
#include "test_support.h"
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(NUMBRA_CLI_PATH)

using numbra_test::ReadText;
using numbra_test::TempDir;
using numbra_test::WriteText;

namespace {
struct CliOut {
  int status = -1;
  std::string out;
  std::string err;
};

CliOut Cli(const TempDir& dir, const std::string& args) {
  const std::string out = dir.File("stdout");
  const std::string err = dir.File("stderr");
  const int raw =
      std::system((std::string(NUMBRA_CLI_PATH) + " " + args + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
}

std::vector<std::vector<std::string>> Words(const std::string& text) {
  std::vector<std::vector<std::string>> out;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream ws(line);
    std::vector<std::string> w;
    for (std::string x; ws >> x;) w.push_back(x);
    out.push_back(w);
  }
  return out;
}
}  // namespace

TEST(CliTable, SizeTypesAndStatistics) {
  TempDir dir;
  WriteText(dir.File("t.csv"), "x;kind;y\n1;red;2\n2;blue;\n3;red;4\n4;;6\n");
  const CliOut r = Cli(dir, "table " + dir.File("t.csv"));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto w = Words(r.out);
  ASSERT_EQ(w.size(), 5u) << r.out;
  EXPECT_EQ(w[0], (std::vector<std::string>{"table:", "3", "columns", "x", "4", "rows"}));
  // x: 1..4, mean 2.5, sd sqrt(5/3) = 1.2909944487358056.
  EXPECT_EQ(w[2], (std::vector<std::string>{"x", "Interval", "4", "0", "2.5", "1.2909944487358056",
                                            "1", "4", "-"}));
  EXPECT_EQ(w[3], (std::vector<std::string>{"kind", "Nominal", "3", "1", "-", "-", "-", "-", "2"}));
  EXPECT_EQ(w[4][2], "3");
  EXPECT_EQ(w[4][4], "4");
  WriteText(dir.File("bad.csv"), "a,b\n1,\"2\n");
  const CliOut bad = Cli(dir, "table " + dir.File("bad.csv"));
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("line 2: unbalanced quotes"), std::string::npos) << bad.err;
  EXPECT_EQ(Cli(dir, "table").status, 2);
}

TEST(CliCovar, ModesOverPairwiseValidRows) {
  TempDir dir;
  // Covariance of x and y over rows 1 and 3 with the means of all their
  // own cells (2 and 5.5): ((1 - 2)(2 - 5.5) + (3 - 2)(6.5 - 5.5)) / 1.
  WriteText(dir.File("t.csv"), "x,y,kind\n1,2,a\n2,,b\n3,6.5,a\nNA,8,c\n");
  CliOut r = Cli(dir, "covar " + dir.File("t.csv"));
  ASSERT_EQ(r.status, 0) << r.err;
  auto w = Words(r.out);
  ASSERT_EQ(w.size(), 3u) << r.out;
  EXPECT_EQ(w[0], (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(w[1], (std::vector<std::string>{"x", "1", "4.5"}));
  EXPECT_EQ(w[2], (std::vector<std::string>{"y", "4.5", "9.75"}));
  r = Cli(dir, "covar " + dir.File("t.csv") + " --mode 2");
  w = Words(r.out);
  EXPECT_EQ(w[1], (std::vector<std::string>{"x", "1", "0"}));  // 2 common rows: r = 0
  r = Cli(dir, "covar " + dir.File("t.csv") + " --mode 5");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--mode: 5 is none of"), std::string::npos) << r.err;
}

#endif  // NUMBRA_CLI_PATH
