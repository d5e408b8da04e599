// numbra fft: reading a column or the vector text form, zero padding,
// windows, sample time, and one-line failures with status 2.
#if defined(NUMBRA_CLI_PATH)
#include "cli_runner.h"

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using numbra_test::RunCli;
using numbra_test::TempDir;
using numbra_test::WriteText;

namespace {
struct Row {
  double freq, mag, power, phase;
};

std::vector<Row> Rows(const std::string& out) {
  std::vector<Row> rows;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    Row r{};
    ss >> r.freq >> r.mag >> r.power >> r.phase;
    rows.push_back(r);
  }
  return rows;
}
}  // namespace

TEST(CliFft, ColumnIsZeroPaddedAndGivesFrequencyMagnitudePowerPhase) {
  TempDir dir;
  // cos(2 pi 2 j / 8) with its last sample (0) left to the padding.
  WriteText(dir.File("s.txt"), "1\n0\n-1\n0\n1\n0\n-1\n");
  const auto r = RunCli("fft " + dir.File("s.txt") + " --sample-time 0.5");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("# 7 samples, zero-padded to 8"), std::string::npos) << r.out;
  const auto rows = Rows(r.out);
  ASSERT_EQ(rows.size(), 5U);  // lines 0..N/2
  for (std::size_t k = 0; k < rows.size(); ++k) {
    EXPECT_DOUBLE_EQ(rows[k].freq, k / 0.5 / 8) << k;
    EXPECT_NEAR(rows[k].mag, k == 2 ? 1.0 : 0.0, 1e-15) << k;
    EXPECT_NEAR(rows[k].power, k == 2 ? 4.0 : 0.0, 1e-14) << k;
  }
}

TEST(CliFft, VectorTextFormAndWindowsAreAccepted) {
  TempDir dir;
  WriteText(dir.File("v.vec"), "1 4\r\n1\r\n1\r\n1\r\n1\r\n");
  for (const char* w : {"rectangle", "triangle", "cos2", "gauss", "hamming", "blackman",
                        "blackman-harris", "blackman-nuttall"}) {
    const auto r = RunCli("fft " + dir.File("v.vec") + " --window " + w);
    ASSERT_EQ(r.status, 0) << w << ": " << r.err;
    const auto rows = Rows(r.out);
    ASSERT_EQ(rows.size(), 3U) << w;
    if (std::string(w) == "rectangle") {
      EXPECT_DOUBLE_EQ(rows[0].mag, 1.0);
    } else if (std::string(w) == "triangle") {
      EXPECT_DOUBLE_EQ(rows[0].mag, (0.5 + 1 + 1 + 0.5) / 4);
    }
  }
}

TEST(CliFft, FailuresAreOneLineWithStatus2) {
  TempDir dir;
  WriteText(dir.File("ok.txt"), "1\n2\n");
  WriteText(dir.File("empty.txt"), "\n\n");
  WriteText(dir.File("nan.txt"), "1\n1e999\n3\n");
  const std::string cases[] = {
      "fft",
      "fft " + dir.File("missing.txt"),
      "fft " + dir.File("empty.txt"),
      "fft " + dir.File("nan.txt"),
      "fft " + dir.File("ok.txt") + " --window square",
      "fft " + dir.File("ok.txt") + " --sample-time 0",
      "fft " + dir.File("ok.txt") + " --sample-time -1",
      "fft " + dir.File("ok.txt") + " --sample-time abc",
      "fft " + dir.File("ok.txt") + " --bogus",
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
