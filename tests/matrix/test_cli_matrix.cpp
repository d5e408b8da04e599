// The numbra tool's matrix and invert commands.
#include "ORK_matrix.h"
#include "matrix_test_util.h"
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
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
}  // namespace

TEST(CliMatrix, ReportsSizeDeterminantTraceNormsAndInvertibility) {
  TempDir dir;
  WriteText(dir.File("m.csv"), "4, 1\n2, 3\n");
  const CliRun r = Cli(dir, "matrix " + dir.File("m.csv"));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string spectral_tag = "norm (spectral):  ";
  const auto at = r.out.find(spectral_tag);
  ASSERT_NE(at, std::string::npos) << r.out;
  const std::string spectral =
      r.out.substr(at + spectral_tag.size(), r.out.find('\n', at) - at - spectral_tag.size());
  EXPECT_EQ(r.out.substr(0, at),
            "size:             2 columns x 2 rows\n"
            "determinant:      10\n"
            "trace:            7\n"
            "norm (columns):   6\n"
            "norm (rows):      5\n")
      << r.out;
  // Of [[4, 2], [2, 3]] (the lower triangle taken as symmetric): (7 + sqrt(17)) / 2.
  EXPECT_NEAR(std::stod(spectral), (7.0 + std::sqrt(17.0)) / 2.0, 1e-14);
  EXPECT_NE(r.out.find("norm (Frobenius): 5.47722557505166"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("invertible:       yes\n"), std::string::npos);
}

TEST(CliMatrix, ReadsEveryFileFormAndReportsNonSquare) {
  TempDir dir;
  numbra::TMatrix m;
  matrix_test::SetRows(m, {{1, 2, 3}, {4, 5, 6}});
  m.SaveBinary(dir.File("m.nbm"));
  m.SaveAsXMLFile(dir.File("m.xml"), "x");
  ASSERT_TRUE(m.StoreOnFile(0, 0, 0, 0, dir.File("m.txt")));
  for (const char* f : {"m.nbm", "m.xml", "m.txt"}) {
    const CliRun r = Cli(dir, std::string("matrix ") + dir.File(f));
    ASSERT_EQ(r.status, 0) << f << ": " << r.err;
    EXPECT_NE(r.out.find("size:             3 columns x 2 rows\n"), std::string::npos) << f;
    EXPECT_NE(r.out.find("determinant:      n/a (not square)\n"), std::string::npos) << f;
    EXPECT_NE(r.out.find("invertible:       no\n"), std::string::npos) << f;
  }
  WriteText(dir.File("bad.txt"), "hello\n");
  const CliRun bad = Cli(dir, "matrix " + dir.File("bad.txt"));
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("is not a matrix file"), std::string::npos) << bad.err;
  EXPECT_EQ(Cli(dir, "matrix " + dir.File("none.txt")).status, 2);
}

TEST(CliInvert, PrintsOrWritesTheInverse) {
  TempDir dir;
  WriteText(dir.File("m.txt"), "2 0\n0 4\n");
  CliRun r = Cli(dir, "invert " + dir.File("m.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "0.5 0\n0 0.25\n");
  r = Cli(dir, "invert " + dir.File("m.txt") + " --out " + dir.File("inv.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  numbra::TMatrix back;
  ASSERT_TRUE(back.LoadFromFile(dir.File("inv.txt"), true));
  EXPECT_EQ(back.GetVal(2, 2), 0.25);
  WriteText(dir.File("s.txt"), "1 2\n2 4\n");
  r = Cli(dir, "invert " + dir.File("s.txt"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("singular"), std::string::npos) << r.err;
  WriteText(dir.File("r.txt"), "1 2 3\n");
  r = Cli(dir, "invert " + dir.File("r.txt"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("not square (3 columns, 1 rows)"), std::string::npos) << r.err;
}

#endif
