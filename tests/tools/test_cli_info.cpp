// The numbra tool's frame and its info command.
#include "cli_runner.h"

#include <algorithm>
#include <cctype>

#include <gtest/gtest.h>

using numbra_test::RunCli;
using numbra_test::SamplePath;

TEST(CliInfo, ShippedSampleGivesCountLengthAndChecksum) {
  const auto r = RunCli("info " + SamplePath("signal.vec"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("elements: 64\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("length:   3.38"), std::string::npos) << r.out;
  const auto crc = r.out.find("crc:      ");
  ASSERT_NE(crc, std::string::npos);
  const std::string digits = r.out.substr(crc + 10, 65);
  EXPECT_EQ(digits.back(), '\n');
  EXPECT_TRUE(std::all_of(digits.begin(), digits.end() - 1, [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F');
  })) << digits;
}

TEST(CliInfo, AutodetectReadsAPlainColumn) {
  numbra_test::TempDir dir;
  numbra_test::WriteText(dir.File("c.txt"), "3\n4\n");
  const auto r = RunCli("info --autodetect " + dir.File("c.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("elements: 2\n"), std::string::npos);
  EXPECT_NE(r.out.find("length:   5\n"), std::string::npos) << r.out;
}

TEST(CliFrame, FailuresAreOneLineWithStatus2) {
  numbra_test::TempDir dir;
  numbra_test::WriteText(dir.File("bad.txt"), "not a vector\n");
  const std::string cases[] = {
      "",                                     // no command
      "frobnicate",                           // unknown command
      "info",                                 // missing file argument
      "info " + dir.File("missing.txt"),      // missing file
      "info " + dir.Path().string(),          // a directory
      "info " + dir.File("bad.txt"),          // malformed
      "info --bogus " + dir.File("bad.txt"),  // unknown option
  };
  for (const auto& args : cases) {
    const auto r = RunCli(args);
    EXPECT_EQ(r.status, 2) << args;
    if (!args.empty()) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
  }
  EXPECT_EQ(RunCli("help").status, 0);
}
