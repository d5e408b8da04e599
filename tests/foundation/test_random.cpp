// Random numbers of ORK_math1: LongRand against reference sequences from
// tests/data/foundation_scalar/longrand.txt (an independent Python
// transcription of the generator), its start-up seeding from the runtime
// generator, and the distributions of GRandom, BRandom and CRandom.
#include "ORK_math1.h"
#include "test_support.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Every call of LongRand in this file goes through this wrapper, so that the
// start-up test can tell whether the generator is still in its initial state.
bool g_long_rand_used = false;
double LongRand(int32_t seed) {
  g_long_rand_used = true;
  return numbra::LongRand(seed);
}

struct LongRandRef {
  std::string kind;
  std::vector<int64_t> ints;  // seed, or the three start-up seeds
  std::vector<double> values;
};

std::vector<LongRandRef> ReadLongRandRefs() {
  std::vector<LongRandRef> refs;
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/foundation_scalar/longrand.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    LongRandRef r;
    ss >> r.kind;
    const int n_ints = r.kind == "seed" ? 1 : 3;
    for (int i = 0; i < n_ints; ++i) {
      int64_t v = 0;
      ss >> v;
      r.ints.push_back(v);
    }
    std::string v;
    while (ss >> v) r.values.push_back(std::strtod(v.c_str(), nullptr));
    refs.push_back(std::move(r));
  }
  return refs;
}

// The reference sums the three fractions exactly; the C++ code adds three
// rounded quotients below 1 and rounds twice more: a few ulp of 2.
constexpr double kLongRandTol = 2e-15;

// Must stay the first test of this file that touches LongRand.
TEST(Math1LongRand, StartsFromSeedsDrawnFromTheRuntimeGenerator) {
  if (g_long_rand_used)
    GTEST_SKIP() << "LongRand already used in this process (run the test on its own)";
  // When the library is loaded the runtime generator is in its initial
  // state 0; each seed is Random() * 990000, rounded.
  for (const LongRandRef& r : ReadLongRandRefs()) {
    if (r.kind != "startup") continue;
    ASSERT_EQ(r.values.size(), 10U);
    for (const double want : r.values) EXPECT_NEAR(LongRand(0), want, kLongRandTol);
    return;
  }
  FAIL() << "no start-up line in longrand.txt";
}

TEST(Math1LongRand, ReseedingReproducesTheReferenceSequences) {
  int lines = 0;
  for (const LongRandRef& r : ReadLongRandRefs()) {
    if (r.kind != "seed") continue;
    ++lines;
    const auto seed = static_cast<int32_t>(r.ints[0]);
    SCOPED_TRACE(seed);
    ASSERT_EQ(r.values.size(), 10U);
    EXPECT_NEAR(LongRand(seed), r.values[0], kLongRandTol);
    for (std::size_t i = 1; i < r.values.size(); ++i)
      EXPECT_NEAR(LongRand(0), r.values[i], kLongRandTol) << i;
  }
  EXPECT_GE(lines, 9);
}

TEST(Math1LongRand, SeedsThatReduceToZeroDoNotStick) {
  // 990923 is the modulus the seed is reduced by: all derived seeds would be
  // 0 and every value 0.
  LongRand(990923);
  double sum = 0;
  for (int i = 0; i < 1000; ++i) sum += LongRand(0);
  EXPECT_NEAR(sum / 1000, 0.5, 0.05);
}

TEST(Math1LongRand, UniformOnTheUnitInterval) {
  // 200000 values: the mean is within 5 standard errors (sqrt(1/12/n) =
  // 0.00065) of 1/2 and each tenth of [0, 1) holds its share within 5 sigma.
  LongRand(4711);
  constexpr int kN = 200000;
  std::vector<int> bins(10, 0);
  double sum = 0;
  for (int i = 0; i < kN; ++i) {
    const double u = LongRand(0);
    ASSERT_TRUE(u >= 0.0 && u < 1.0) << u;
    sum += u;
    ++bins[static_cast<std::size_t>(u * 10)];
  }
  EXPECT_NEAR(sum / kN, 0.5, 5 * 0.00065);
  const double sigma = std::sqrt(kN * 0.1 * 0.9);
  for (const int b : bins) EXPECT_NEAR(b, kN / 10, 5 * sigma);
}

TEST(Math1GRandom, StandardNormalMoments) {
  numbra::SetRandSeed(20240601);
  constexpr int kN = 200000;
  double sum = 0, sum2 = 0;
  int within1 = 0;
  for (int i = 0; i < kN; ++i) {
    const double g = numbra::GRandom();
    sum += g;
    sum2 += g * g;
    within1 += std::fabs(g) < 1.0 ? 1 : 0;
  }
  const double mean = sum / kN;
  const double var = sum2 / kN - mean * mean;
  // 5 standard errors: sqrt(1/n) = 0.0022 for the mean, sqrt(2/n) = 0.0032
  // for the variance, sqrt(p(1-p)/n) = 0.00104 for P(|g| < 1) = 0.682689.
  EXPECT_NEAR(mean, 0.0, 5 * 0.0022);
  EXPECT_NEAR(var, 1.0, 5 * 0.0032);
  EXPECT_NEAR(static_cast<double>(within1) / kN, 0.682689, 5 * 0.00104);
}

TEST(Math1GRandom, PolarMethodReturnsBothValuesOfAPair) {
  // Drain a value that an earlier test may have left pending: if the call
  // drew no uniform numbers it returned the pending value, otherwise it left
  // a new one pending that the second call takes.
  const uint64_t before = numbra::RandSeed();
  (void)numbra::GRandom();
  if (numbra::RandSeed() != before) (void)numbra::GRandom();

  constexpr uint64_t kSeed = 987654321;
  numbra::SetRandSeed(kSeed);
  // The pair by hand from the same uniform stream.
  double a = 0, b = 0, s = 0;
  do {
    a = 2 * numbra::Random() - 1;
    b = 2 * numbra::Random() - 1;
    s = a * a + b * b;
  } while (!(s < 1 && s > 0));
  const double f = std::sqrt(-2 * std::log(s) / s);
  const uint64_t after_pair = numbra::RandSeed();

  numbra::SetRandSeed(kSeed);
  EXPECT_EQ(numbra::GRandom(), b * f);
  EXPECT_EQ(numbra::RandSeed(), after_pair);
  EXPECT_EQ(numbra::GRandom(), a * f);  // the saved value, no new draws
  EXPECT_EQ(numbra::RandSeed(), after_pair);
}

TEST(Math1BRandom, ProbabilityOfTrue) {
  const uint64_t before = numbra::RandSeed();
  EXPECT_TRUE(numbra::BRandom(1.0));
  EXPECT_TRUE(numbra::BRandom(7.0));
  EXPECT_EQ(numbra::RandSeed(), before);  // p >= 1 draws nothing
  numbra::SetRandSeed(42);
  constexpr int kN = 100000;
  int hits = 0, zero_hits = 0, nan_hits = 0;
  for (int i = 0; i < kN; ++i) {
    hits += numbra::BRandom(0.3) ? 1 : 0;
    zero_hits += numbra::BRandom(0.0) ? 1 : 0;
    nan_hits += numbra::BRandom(std::nan("")) ? 1 : 0;
  }
  // 5 sigma with sigma = sqrt(0.3 * 0.7 / n) = 0.00145.
  EXPECT_NEAR(static_cast<double>(hits) / kN, 0.3, 5 * 0.00145);
  EXPECT_EQ(zero_hits, 0);
  EXPECT_EQ(nan_hits, 0);
}

TEST(Math1CRandom, QuartilesOfTheCauchyDistribution) {
  // Location a, scale b: the median is a and the quartiles are a -+ b.
  numbra::SetRandSeed(7);
  constexpr int kN = 100000;
  constexpr double kA = 3.0, kB = 0.5;
  int below_median = 0, inside_quartiles = 0;
  for (int i = 0; i < kN; ++i) {
    const double c = numbra::CRandom(kA, kB);
    ASSERT_TRUE(std::isfinite(c));
    below_median += c < kA ? 1 : 0;
    inside_quartiles += std::fabs(c - kA) < kB ? 1 : 0;
  }
  // 5 sigma with sigma = sqrt(0.25 / n) = 0.00158.
  EXPECT_NEAR(static_cast<double>(below_median) / kN, 0.5, 5 * 0.00158);
  EXPECT_NEAR(static_cast<double>(inside_quartiles) / kN, 0.5, 5 * 0.00158);
}

}  // namespace
