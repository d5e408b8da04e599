// The numbra tool's describe and distances commands.
#include "ORK_matrix.h"
#include "test_matrix_stats_refs.h"
#include "test_support.h"
#include <sys/wait.h>

#include <cmath>
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

// The lines of a text, each split into blank-separated words.
std::vector<std::vector<std::string>> Words(const std::string& text) {
  std::vector<std::vector<std::string>> out;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream ws(line);
    std::vector<std::string> w;
    std::string x;
    while (ws >> x) w.push_back(x);
    out.push_back(w);
  }
  return out;
}
}  // namespace

TEST(CliDescribe, CsvWithHeaderAndMissingValues) {
  TempDir dir;
  // Column "b" misses one value; "c" has only two values, whose sample
  // standard deviation is |6 - 2| / sqrt(2).
  WriteText(dir.File("t.csv"),
            "a,b,\"c\"\n"
            "1,10,2\n"
            "2,,NA\n"
            "3,30,6\n"
            "4,40,\n");
  const CliOut r = Cli(dir, "describe " + dir.File("t.csv"));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto w = Words(r.out);
  ASSERT_EQ(w.size(), 4u) << r.out;
  const std::vector<std::string> head = {"column", "count",  "mean", "stddev", "min",
                                         "q1",     "median", "q3",   "max"};
  EXPECT_EQ(w[0], head);
  // a: 1..4, mean 2.5, sd sqrt(5/3), quartiles 1.25 2.5 3.75.
  EXPECT_EQ(w[1][0], "a");
  EXPECT_EQ(w[1][1], "4");
  EXPECT_EQ(w[1][2], "2.5");
  EXPECT_NEAR(std::stod(w[1][3]), std::sqrt(5.0 / 3.0), 1e-15);
  EXPECT_EQ((std::vector<std::string>(w[1].begin() + 4, w[1].end())),
            (std::vector<std::string>{"1", "1.25", "2.5", "3.75", "4"}));
  // b: 10, 30, 40: mean 80/3, sd sqrt(233.33...), quartiles by (n + 1) p.
  EXPECT_EQ(w[2][1], "3");
  EXPECT_NEAR(std::stod(w[2][2]), 80.0 / 3.0, 1e-13);
  EXPECT_NEAR(std::stod(w[2][3]), std::sqrt(700.0 / 3.0), 1e-13);
  EXPECT_EQ((std::vector<std::string>(w[2].begin() + 4, w[2].end())),
            (std::vector<std::string>{"10", "10", "30", "40", "40"}));
  EXPECT_EQ(w[3][0], "c");
  EXPECT_EQ(w[3][1], "2");
  EXPECT_EQ(w[3][2], "4");
  EXPECT_NEAR(std::stod(w[3][3]), 4.0 / std::sqrt(2.0), 1e-15);
}

TEST(CliDescribe, MatrixTextFormAndErrors) {
  TempDir dir;
  numbra::TMatrix m;
  matrix_stats_test::SetRows(m, {{1, 5}, {2, 5}, {3, 5}});
  ASSERT_TRUE(m.StoreOnFile(0, 0, 0, 0, dir.File("m.txt")));
  const CliOut r = Cli(dir, "describe " + dir.File("m.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto w = Words(r.out);
  ASSERT_EQ(w.size(), 3u) << r.out;
  EXPECT_EQ((std::vector<std::string>{"1", "3", "2", "1", "1", "1", "2", "3", "3"}), w[1]);
  EXPECT_EQ((std::vector<std::string>{"2", "3", "5", "0", "5", "5", "5", "5", "5"}), w[2]);
  WriteText(dir.File("ragged.csv"), "1,2\n3\n");
  CliOut bad = Cli(dir, "describe " + dir.File("ragged.csv"));
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("line 2: 1 fields, expected 2"), std::string::npos) << bad.err;
  WriteText(dir.File("word.csv"), "x,y\n1,2\n3,abc\n");
  bad = Cli(dir, "describe " + dir.File("word.csv"));
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("line 3, field 2: not a number: \"abc\""), std::string::npos) << bad.err;
  EXPECT_EQ(Cli(dir, "describe " + dir.File("none.csv")).status, 2);
  EXPECT_EQ(Cli(dir, "describe").status, 2);
}

TEST(CliDistances, PrintsAndWritesTheDistanceMatrix) {
  TempDir dir;
  WriteText(dir.File("p.csv"), "x;y\n0;0\n3;4\n6;8\n");
  CliOut r = Cli(dir, "distances " + dir.File("p.csv"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "0 5 10\n5 0 5\n10 5 0\n");
  r = Cli(dir, "distances " + dir.File("p.csv") + " --mode manhattan");
  EXPECT_EQ(r.out, "0 7 14\n7 0 7\n14 7 0\n");
  r = Cli(dir, "distances " + dir.File("p.csv") + " --mode sqeuclid");
  EXPECT_EQ(r.out, "0 25 100\n25 0 25\n100 25 0\n");
  // Row 2 and row 3 point the same way: Dice 2 * 50 / (25 + 100) = 0.8.
  r = Cli(dir, "distances " + dir.File("p.csv") + " --mode=dice");
  EXPECT_EQ(Words(r.out)[1][2], "0.8");
  r = Cli(dir, "distances " + dir.File("p.csv") + " --mode jaccard");
  EXPECT_EQ(Words(r.out)[0][1], "0");                   // against the zero row: 0 / 25
  EXPECT_EQ(Words(r.out)[1][2], "0.6666666666666666");  // 50 / (25 + 100 - 50)
  r = Cli(dir, "distances " + dir.File("p.csv") + " --out " + dir.File("d.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  numbra::TMatrix d;
  ASSERT_TRUE(d.LoadFromFile(dir.File("d.txt"), true));
  EXPECT_EQ(d.NrOfColumns(), 3);
  EXPECT_EQ(d.GetVal(3, 1), 10.0);
  r = Cli(dir, "distances " + dir.File("p.csv") + " --mode cosine");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown distance \"cosine\""), std::string::npos) << r.err;
}

#endif  // NUMBRA_CLI_PATH
