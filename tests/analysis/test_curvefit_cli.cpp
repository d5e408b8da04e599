// numbra fit: NIST sets printed to the digits the LRE goals promise, the ASC
// export, and one-line errors with status 2.
#include "ORK_math2.h"
#include "test_support.h"
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

using numbra_test::ReadText;
using numbra_test::TempDir;

namespace {

struct FitRun {
  int status = -1;
  std::map<std::string, double> values;  // "name = value" lines
  std::string err;
};

FitRun Fit(const TempDir& dir, const std::string& args) {
  const std::string out = dir.File("out"), err = dir.File("err");
  const int raw = std::system(
      (std::string(NUMBRA_CLI_PATH) + " fit " + args + " >" + out + " 2>" + err).c_str());
  FitRun r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::istringstream in(ReadText(out));
  std::string name, eq;
  double v = 0;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    if (ls >> name >> eq >> v && eq == "=") r.values[name] = v;
  }
  r.err = ReadText(err);
  return r;
}

std::string Nist(const char* set) {
  return std::string(NUMBRA_SHARED_DATA_DIR) + "/nist/" + set + ".dat --x 2 --y 1";
}

double Lre(double got, double cert) {
  return got == cert ? 15.0 : -std::log10(std::fabs(got - cert) / std::fabs(cert));
}

TEST(NumbraFit, PrintsCertifiedCoefficients) {
  struct Case {
    const char* model;
    const char* set;
    std::map<std::string, double> certified;
    double goal;
  };
  const Case cases[] = {
      {"line",
       "Norris",
       {{"k0", -0.262323073774029}, {"k1", 1.00211681802045}, {"r2", 0.999993745883712}},
       12},
      {"parabola",
       "Pontius",
       {{"k0", 0.673565789473684e-03},
        {"k1", 0.732059160401003e-06},
        {"k2", -0.316081871345029e-14}},
       9},
      {"cpoly:10",
       "Filip",
       {{"k0", -1467.48961422980},
        {"k5", -75.1242017393757},
        {"k10", -0.402962525080404e-04},
        {"r2", 0.996727416185620}},
       7},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const FitRun r = Fit(dir, std::string(c.model) + " " + Nist(c.set));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const auto& [name, cert] : c.certified) {
      ASSERT_TRUE(r.values.count(name)) << c.set << " " << name;
      EXPECT_GE(Lre(r.values.at(name), cert), c.goal) << c.set << " " << name;
    }
  }
}

TEST(NumbraFit, LineShowsRankCorrelationsAndExportReadsBack) {
  TempDir dir;
  const std::string data = dir.File("d.csv"), asc = dir.File("d.asc");
  numbra_test::WriteText(data, "x,y\n1,2\n2,2.5\n3,7\n4,8\n");
  const FitRun r = Fit(dir, "line " + data + " --export " + asc);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.values.count("spearman_rs"));
  EXPECT_DOUBLE_EQ(r.values.at("kendall_tau"), 1.0);
  numbra::TCurveFit f;
  ASSERT_EQ(f.ImportASC(asc), 0);
  ASSERT_EQ(f.NumData(), 4);
  EXPECT_EQ(f.GetDataY(2), 2.5);
}

TEST(NumbraFit, ErrorsAreOneLineWithStatus2) {
  TempDir dir;
  const std::string data = dir.File("d.txt");
  numbra_test::WriteText(data, "1 1\n2 2\n3 3\n");
  for (const std::string& args :
       {"wave " + data, "circle " + data, "poly:99 " + data, "line " + dir.File("none.txt"),
        "line " + data + " --y 5", "log " + data + " --x 2 --y 1 --smooth"}) {
    const FitRun r = Fit(dir, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
  }
  EXPECT_NE(Fit(dir, "circle " + data).err.find("CalcCircleFit: radius is infinite"),
            std::string::npos);
}

}  // namespace
