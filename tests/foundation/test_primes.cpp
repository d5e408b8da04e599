// Primes of ORK_math1: the table of the first 4792 primes, IsPrime and
// FindPrimeFactors, checked against plain trial division and reference
// values from tests/data/foundation_scalar/primes.txt.
#include "ORK_math1.h"
#include "test_support.h"

#include <cstdint>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

// Independent primality check: division by every integer up to sqrt(n).
bool NaivePrime(int64_t n) {
  if (n < 2) return false;
  for (int64_t d = 2; d * d <= n; ++d)
    if (n % d == 0) return false;
  return true;
}

std::map<std::string, int64_t> ReadPrimeRefs() {
  std::map<std::string, int64_t> refs;
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/foundation_scalar/primes.txt");
  std::string key;
  int64_t value = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    ss >> key >> value;
    refs[key] = value;
  }
  return refs;
}

TEST(Math1Primes, TableHoldsExactlyTheFirst4792Primes) {
  const auto refs = ReadPrimeRefs();
  ASSERT_EQ(refs.at("count"), 4792);
  EXPECT_EQ(numbra::ListOfPrimes(1), refs.at("first"));
  EXPECT_EQ(numbra::ListOfPrimes(4792), refs.at("last"));
  EXPECT_EQ(numbra::ListOfPrimes(4792), 46337);
  EXPECT_EQ(numbra::ListOfPrimes(1000), refs.at("p1000"));
  EXPECT_EQ(numbra::ListOfPrimes(2500), refs.at("p2500"));
  int64_t sum = 0;
  int32_t previous = 1;
  for (int32_t i = 1; i <= 4792; ++i) {
    const int32_t p = numbra::ListOfPrimes(i);
    ASSERT_TRUE(NaivePrime(p)) << "entry " << i << " = " << p;
    // Nothing skipped: every number between two entries is composite.
    for (int32_t k = previous + 1; k < p; ++k) ASSERT_FALSE(NaivePrime(k)) << k << " missing";
    previous = p;
    sum += p;
  }
  EXPECT_EQ(sum, refs.at("sum"));
  // 46337 is the largest prime whose square fits 31 bits: the next one,
  // 46349, squared exceeds 2^31.
  EXPECT_LT(int64_t{46337} * 46337, int64_t{1} << 31);
  EXPECT_TRUE(NaivePrime(46349));
  EXPECT_GT(int64_t{46349} * 46349, int64_t{1} << 31);
  for (const int32_t i : {0, -1, 4793, kIntMax, kIntMin}) EXPECT_EQ(numbra::ListOfPrimes(i), 0);
}

TEST(Math1Primes, IsPrimeAgreesWithTrialDivision) {
  // 0, 1 and -1 count as prime (no divisor from 2 up to sqrt(|n|) divides
  // them); negative numbers are judged by their magnitude.
  for (int32_t n = -2000; n <= 20000; ++n) {
    const int64_t m = n < 0 ? -int64_t{n} : n;
    const bool expected = m < 2 || NaivePrime(m);
    ASSERT_EQ(numbra::IsPrime(n), expected) << n;
  }
  struct Case {
    int32_t n;
    bool prime;
  };
  const Case cases[] = {{kIntMax, true},                           // 2^31 - 1, a Mersenne prime
                        {2147483629, true},                        // largest prime below it
                        {-kIntMax, true},       {kIntMin, false},  // -2^31
                        {2147117569, false},                       // 46337^2
                        {46337 * 46327, false},                    // two large table primes
                        {kIntMax - 1, false}};
  for (const Case& c : cases) EXPECT_EQ(numbra::IsPrime(c.n), c.prime) << c.n;
}

TEST(Math1Primes, PrimeFactorsMultiplyBackInAscendingOrder) {
  const std::map<int32_t, std::vector<int32_t>> known = {
      {12, {2, 2, 3}},
      {97, {97}},
      {2, {2}},
      {1024, {2, 2, 2, 2, 2, 2, 2, 2, 2, 2}},
      {kIntMax, {kIntMax}},
      {2147483646, {2, 3, 3, 7, 11, 31, 151, 331}},
      {2147117569, {46337, 46337}},
      {46337 * 46327, {46327, 46337}}};
  for (const auto& [n, factors] : known) EXPECT_EQ(numbra::FindPrimeFactors(n), factors) << n;
  for (const int32_t n : {1, 0, -12, kIntMin}) EXPECT_TRUE(numbra::FindPrimeFactors(n).empty());
  // Identity check over a sweep, including numbers near 2^31.
  std::vector<int32_t> sweep;
  for (int32_t n = 2; n < 5000; ++n) sweep.push_back(n);
  for (int32_t n = kIntMax; n > kIntMax - 2000; --n) sweep.push_back(n);
  for (const int32_t n : sweep) {
    const numbra::TIntArray f = numbra::FindPrimeFactors(n);
    int64_t product = 1;
    for (std::size_t i = 0; i < f.size(); ++i) {
      ASSERT_TRUE(NaivePrime(f[i])) << n;
      if (i > 0) {
        ASSERT_LE(f[i - 1], f[i]) << n;
      }
      product *= f[i];
    }
    ASSERT_EQ(product, n);
  }
}

}  // namespace
