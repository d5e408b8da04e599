// The numbra dist command.
#include "cli_runner.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

using numbra_test::RunCli;

namespace {
double Value(const numbra_test::CliResult& r) { return std::strtod(r.out.c_str(), nullptr); }
}  // namespace

TEST(CliDist, EvaluatesTheNamedFunction) {
  struct Case {
    std::string args;
    double expected, tol;
  };
  // Reference values: closed forms and standard tables.
  const Case cases[] = {
      {"dist normal quantile 0.975", 1.959963984540054, 1e-7},
      {"dist normal cdf -1.5", 0.066807201268858057, 1e-9},
      {"dist t cdf 2.1 2", 0.5 + 2.1 / (2 * std::sqrt(2 + 2.1 * 2.1)), 1e-14},
      {"dist t quantile 0.975 1", 12.706204736174698, 1e-12},  // tan(0.475 pi)
      {"dist chi2 cdf 3 2", 0.77686983985157021, 1e-14},       // 1 - e^-1.5
      {"dist chi2 quantile 0.95 1", 3.8414588206941236, 1e-12},
      {"dist f cdf 3 2 2", 0.75, 1e-14},                 // x / (1 + x)
      {"dist u cdf 1 3 4", 0.05714285714285714, 1e-15},  // 2/35
      {"dist weibull pdf 1 1 1", 0.36787944117144233, 1e-15},
      {"dist ks pvalue 0.55 1", 0.9, 1e-12},
      {"dist shapiro pvalue 0.8 3", 0.1144982940974004, 1e-12},
  };
  for (const Case& c : cases) {
    const auto r = RunCli(c.args);
    ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
    EXPECT_NEAR(Value(r), c.expected, c.tol * std::max(1.0, std::fabs(c.expected))) << c.args;
  }
}

TEST(CliDist, HelpAndFailures) {
  const auto h = RunCli("dist --help");
  ASSERT_EQ(h.status, 0);
  EXPECT_NE(h.out.find("numbra dist f quantile X DF1 DF2"), std::string::npos) << h.out;
  for (const char* bad :
       {"dist", "dist gamma cdf 1", "dist t median 1 3", "dist t cdf 1", "dist t cdf 1 2 3",
        "dist t cdf x 3", "dist t cdf 1 2.5", "dist t cdf 1 0", "dist normal quantile 1",
        "dist ks quantile 0.3 10", "dist lilliefors pvalue 0.2 4"}) {
    const auto r = RunCli(bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_TRUE(r.out.empty()) << bad;
    ASSERT_FALSE(r.err.empty()) << bad;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << bad << ": " << r.err;  // one line
  }
}
