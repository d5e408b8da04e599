// The numbra block4d command: info, cut and the streamed per-pixel mean.
#include "ORK_matrix.h"
#include "test_support.h"
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#if defined(NUMBRA_CLI_PATH)

namespace {
struct CliRun {
  int status = -1;
  std::string out;
};

CliRun Block4D(const numbra_test::TempDir& dir, const std::string& args) {
  const std::string out = dir.File("stdout");
  const int raw = std::system(
      (std::string(NUMBRA_CLI_PATH) + " block4d " + args + " >" + out + " 2>&1").c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, numbra_test::ReadText(out)};
}
}  // namespace

TEST(TMat4DCli, InfoCutAndMean) {
  numbra_test::TempDir dir;
  numbra::TMat4D m;
  m.Resize(3, 2, 2, 3);
  for (int x = 1; x <= 3; ++x)
    for (int y = 1; y <= 2; ++y)
      for (int z = 1; z <= 2; ++z)
        for (int t = 1; t <= 3; ++t) m.SetVal(x, y, z, t, 10.0 * x + y + 0.5 * z + 100.0 * t);
  m.SetDataID("scan");
  const std::string f = dir.File("a.blk");
  m.SaveBinary(f, 0, 0);

  CliRun r = Block4D(dir, "info " + f);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("time slots: 3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("data id:    scan"), std::string::npos);

  // Mean over layers 1..2 and time slots 2..3 of pixel (x, y): 10 x + y +
  // 0.75 + 250.
  r = Block4D(dir, "mean " + f + " --t 2,3");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "261.75 271.75 281.75\n262.75 272.75 282.75\n");

  r = Block4D(dir, "cut " + f + " " + dir.File("c.blk") + " --x 2,3 --z 2,2 --t 3,3");
  ASSERT_EQ(r.status, 0) << r.out;
  numbra::TMat4D c;
  c.LoadBinary(dir.File("c.blk"), 0, 0);
  EXPECT_EQ(c.NrOfColumns() * 1000 + c.NrOfRows() * 100 + c.NrOfLayers() * 10 + c.NrOfTimeSlots(),
            2211);
  EXPECT_DOUBLE_EQ(c.GetVal(2, 2, 1, 1), 30 + 2 + 1 + 300);

  numbra_test::WriteText(dir.File("bad.blk"), "not a block file");
  r = Block4D(dir, "info " + dir.File("bad.blk"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("damaged"), std::string::npos) << r.out;
  EXPECT_EQ(Block4D(dir, "mean " + f + " --t 3,2").status, 2);
  EXPECT_EQ(Block4D(dir, "frobnicate " + f).status, 2);
}

#endif
