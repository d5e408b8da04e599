// numbra hull, numbra area and numbra random.
#include "test_support.h"
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#ifdef NUMBRA_CLI_PATH
namespace {

using numbra_test::ReadText;
using numbra_test::TempDir;
using numbra_test::WriteText;

struct CliRun {
  int status;
  std::string out, err;
};

CliRun Cli(const TempDir& dir, const std::string& args) {
  const std::string out = dir.File("out"), err = dir.File("err");
  const int raw =
      std::system((std::string(NUMBRA_CLI_PATH) + " " + args + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
}

TEST(GeometryCli, HullAreaRandom) {
  TempDir dir;
  const std::string pts = dir.File("pts.txt");
  WriteText(pts, "# unit square and its centre\n0 0\n1,0\n1\t1\n\n0 1\n0.5 0.5\n");
  WriteText(dir.File("square.txt"), "0 0\n0 1\n1 1\n1 0\n");
  WriteText(dir.File("bad.txt"), "0 0\n1 x\n");
  WriteText(dir.File("table.txt"), "0\n0\n0\n0\n0\n1\n0\n0\n0\n0\n");
  struct Case {
    std::string args;
    int status;
    std::string out;  // expected stdout, or the start of stderr when status is 2
  };
  const Case cases[] = {
      {"hull " + pts, 0, "1 0\n1 1\n0 1\n0 0\n"},
      {"area " + dir.File("square.txt"), 0, "-1\n"},
      {"hull " + dir.File("bad.txt"), 2, "numbra hull: \"" + dir.File("bad.txt") + "\" line 2"},
      {"area " + dir.File("none.txt"), 2, "numbra area: cannot open"},
      {"random --preset uniform --count 0", 2, "numbra random: --count must be at least 1"},
      {"random --preset cauchy --count 3", 2, "numbra random: unknown preset \"cauchy\""},
      {"random --count 3", 2, "numbra random: usage"},
  };
  for (const Case& c : cases) {
    const CliRun r = Cli(dir, c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    if (c.status == 0)
      EXPECT_EQ(r.out, c.out) << c.args;
    else
      EXPECT_EQ(r.err.rfind(c.out, 0), 0U) << c.args << ": " << r.err;
  }
  // A fixed seed repeats the sequence; every value lies in the interval.
  const CliRun a = Cli(dir, "random --preset normal --mean 10 --sd 2 --count 200 --seed 7");
  const CliRun b = Cli(dir, "random --preset normal --mean 10 --sd 2 --count 200 --seed 7");
  EXPECT_EQ(a.status, 0) << a.err;
  EXPECT_EQ(a.out, b.out);
  std::istringstream in(a.out);
  int n = 0;
  for (double v = 0; in >> v; ++n) EXPECT_TRUE(v >= -2 && v < 22) << v;
  EXPECT_EQ(n, 200);
  // The table's only mass is entry 6 of [0, 10); interpolation spreads it
  // over classes 5 (rising) and 6 (falling): values in [4, 6).
  const CliRun t = Cli(
      dir, "random --table " + dir.File("table.txt") + " --low 0 --high 10 --count 50 --seed 3");
  EXPECT_EQ(t.status, 0) << t.err;
  std::istringstream tin(t.out);
  for (double v = 0; tin >> v;) EXPECT_TRUE(v >= 4 && v < 6) << v;
}

}  // namespace
#endif
