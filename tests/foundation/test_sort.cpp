// Comb sort, sorted and positional insertion, quickselect and exchange.
#include "ORK_math1.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The comb sort written out element by element, straight from its definition
// (gap / 1.3 in fixed point, exchange only when strictly out of order, stop
// after a clean pass of gap 1; NaN above everything). The library's
// vectorised passes must give the same array bit for bit and the same number
// of passes.
template <class T>
int ReferenceCombSort(std::vector<T>& d, bool ascending) {
  auto less = [](T a, T b) {
    if constexpr (std::is_floating_point_v<T>) {
      return a < b || (std::isnan(b) && !std::isnan(a));
    } else {
      return a < b;
    }
  };
  const auto n = static_cast<int64_t>(d.size());
  if (n < 2) return 0;
  int64_t gap = n;
  int passes = 0;
  for (;;) {
    gap = (gap * 100000000 / 13000) / 10000;
    if (gap == 0) gap = 1;
    bool swapped = false;
    for (int64_t i = 0; i + gap < n; ++i) {
      T& a = d[static_cast<std::size_t>(i)];
      T& b = d[static_cast<std::size_t>(i + gap)];
      if (ascending ? less(b, a) : less(a, b)) {
        std::swap(a, b);
        swapped = true;
      }
    }
    ++passes;
    if (gap == 1 && !swapped) return passes;
  }
}

template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Same elements bit for bit, in any order.
bool SameMultiset(const std::vector<double>& a, const std::vector<double>& b) {
  auto bits = [](const std::vector<double>& v) {
    std::vector<uint64_t> r(v.size());
    std::memcpy(r.data(), v.data(), v.size() * sizeof(double));
    std::sort(r.begin(), r.end());
    return r;
  };
  return bits(a) == bits(b);
}

// Counts the progress steps of one call through MathFeedBackProc.
class ProgressCounter {
 public:
  ProgressCounter() {
    MathFeedBackProc = [this](double value) {
      ++calls_;
      last_ = value;
    };
    start_ = ProcStat.load();
  }
  ~ProgressCounter() { MathFeedBackProc = nullptr; }
  ProgressCounter(const ProgressCounter&) = delete;
  ProgressCounter& operator=(const ProgressCounter&) = delete;
  [[nodiscard]] int Calls() const { return calls_; }
  [[nodiscard]] double Steps() const { return ProcStat.load() - start_; }
  [[nodiscard]] double Last() const { return last_; }

 private:
  int calls_ = 0;
  double start_ = 0;
  double last_ = 0;
};

// Random doubles with many ties, signed zeros and infinities.
std::vector<double> AwkwardDoubles(std::size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_real_distribution<double> u(-100, 100);
  std::vector<double> d(n);
  for (double& v : d) {
    switch (pick(rng)) {
      case 0:
        v = 0.0;
        break;
      case 1:
        v = -0.0;
        break;
      case 2:
        v = kInf;
        break;
      case 3:
        v = -kInf;
        break;
      case 4:
        v = std::round(u(rng) / 20);
        break;
      default:
        v = u(rng);
    }
  }
  return d;
}

}  // namespace

// ---- SortArray ----------------------------------------------------------------

TEST(SortArray, SmallCasesAndProgress) {
  {
    ProgressCounter pc;
    std::vector<double> one{5.0};
    SortArray(std::span<double>(one), true);
    std::vector<double> none;
    SortArray(std::span<double>(none), true);
    EXPECT_EQ(one, std::vector<double>{5.0});
    EXPECT_EQ(pc.Calls(), 0);
    EXPECT_EQ(pc.Steps(), 0.0);
  }
  {
    ProgressCounter pc;
    std::vector<double> two{2.0, 1.0};
    SortArray(std::span<double>(two), true);
    EXPECT_EQ(two, (std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(pc.Calls(), 2);  // an exchange at gap 1, then a clean pass
  }
  {
    std::vector<double> d{1, 3, 2};
    SortArray(std::span<double>(d), false);
    EXPECT_EQ(d, (std::vector<double>{3, 2, 1}));
  }
  {
    // 10 sorted elements: gaps 7, 5, 3, 2, 1 and the gap-1 pass is clean.
    ProgressCounter pc;
    std::vector<int32_t> d{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    SortArray(std::span<int32_t>(d), true);
    EXPECT_EQ(pc.Calls(), 5);
    EXPECT_EQ(pc.Steps(), 5.0);
    EXPECT_EQ(pc.Last(), ProcStat.load());
  }
}

// The vectorised passes must reproduce the element-by-element algorithm
// exactly: same final array bit for bit (equal values such as +0.0 and -0.0
// keep the places the plain algorithm gives them) and one progress step per
// pass. Sizes around the vector widths and gap boundaries, both directions.
TEST(SortArray, MatchesElementwiseCombSortBitForBit) {
  std::vector<std::size_t> sizes;
  for (std::size_t n = 0; n <= 70; ++n) sizes.push_back(n);
  for (std::size_t n : {127U, 128U, 129U, 1000U, 4099U, 65537U}) sizes.push_back(n);
  uint32_t seed = 1;
  for (const std::size_t n : sizes) {
    for (const bool asc : {true, false}) {
      const std::vector<double> input = AwkwardDoubles(n, seed++);
      std::vector<double> want = input;
      const int passes = ReferenceCombSort(want, asc);
      std::vector<double> got = input;
      ProgressCounter pc;
      SortArray(std::span<double>(got), asc);
      ASSERT_TRUE(SameBits(got, want)) << "double n=" << n << " asc=" << asc;
      ASSERT_EQ(pc.Calls(), passes) << n;

      std::vector<float> fin(input.begin(), input.end());
      std::vector<float> fwant = fin;
      ReferenceCombSort(fwant, asc);
      SortArray(std::span<float>(fin), asc);
      ASSERT_TRUE(SameBits(fin, fwant)) << "float n=" << n << " asc=" << asc;

      std::vector<int32_t> iin(n);
      std::mt19937 rng(seed);
      for (int32_t& v : iin) v = static_cast<int32_t>(rng());  // full range, signs mixed
      if (n > 3) iin[1] = iin[n - 2];                          // a tie
      std::vector<int32_t> iwant = iin;
      ReferenceCombSort(iwant, asc);
      SortArray(std::span<int32_t>(iin), asc);
      ASSERT_EQ(iin, iwant) << "int n=" << n << " asc=" << asc;
    }
  }
}

TEST(SortArray, NaNsGoLastAscendingAndFirstDescending) {
  std::vector<double> input = AwkwardDoubles(1001, 77);
  for (std::size_t i = 0; i < input.size(); i += 7) input[i] = kNaN;
  const auto nans = static_cast<std::size_t>(
      std::count_if(input.begin(), input.end(), [](double v) { return std::isnan(v); }));
  for (const bool asc : {true, false}) {
    std::vector<double> d = input;
    SortArray(std::span<double>(d), asc);
    std::vector<double> want = input;
    ReferenceCombSort(want, asc);
    EXPECT_TRUE(SameBits(d, want));
    const std::size_t first_num = asc ? 0 : nans;
    for (std::size_t i = 0; i < d.size(); ++i) {
      const bool in_nan_block = asc ? i >= d.size() - nans : i < nans;
      ASSERT_EQ(std::isnan(d[i]), in_nan_block) << i;
    }
    const auto b = d.begin() + static_cast<std::ptrdiff_t>(first_num);
    const auto e = b + static_cast<std::ptrdiff_t>(d.size() - nans);
    if (asc) {
      EXPECT_TRUE(std::is_sorted(b, e));
    } else {
      EXPECT_TRUE(std::is_sorted(b, e, std::greater<>()));
    }
  }
  std::vector<float> f{std::nanf(""), 1.0f, -std::numeric_limits<float>::infinity(), std::nanf("")};
  SortArray(std::span<float>(f), true);
  EXPECT_EQ(f[0], -std::numeric_limits<float>::infinity());
  EXPECT_EQ(f[1], 1.0f);
  EXPECT_TRUE(std::isnan(f[2]) && std::isnan(f[3]));
}

TEST(SortArray, GenericOverloadByKind) {
  std::vector<double> d{3, -1, 2};
  std::vector<float> f{3, -1, 2};
  std::vector<int32_t> i{3, -1, 2};
  SortArray(d.data(), 3, TVarKind::vkDouble, true);
  EXPECT_EQ(d, (std::vector<double>{-1, 2, 3}));
  SortArray(d.data(), 3, static_cast<TVarKind>(1), false);
  EXPECT_EQ(d, (std::vector<double>{3, 2, -1}));
  SortArray(f.data(), 3, TVarKind::vkSingle, true);
  EXPECT_EQ(f, (std::vector<float>{-1, 2, 3}));
  SortArray(i.data(), 3, static_cast<TVarKind>(3), true);
  EXPECT_EQ(i, (std::vector<int32_t>{-1, 2, 3}));
  SortArray(i.data(), 3, static_cast<TVarKind>(4), false);
  EXPECT_EQ(i, (std::vector<int32_t>{3, 2, -1}));
  // Only the first N elements; unhandled kinds, N < 2 and null do nothing.
  std::vector<int32_t> j{5, 4, 3, 2, 1};
  SortArray(j.data(), 3, TVarKind::vkInteger, true);
  EXPECT_EQ(j, (std::vector<int32_t>{3, 4, 5, 2, 1}));
  for (const int kind : {5, 6, 7, 200}) {
    std::vector<int32_t> k{2, 1};
    SortArray(k.data(), 2, static_cast<TVarKind>(kind), true);
    EXPECT_EQ(k, (std::vector<int32_t>{2, 1})) << kind;
  }
  SortArray(nullptr, 10, TVarKind::vkDouble, true);
  SortArray(j.data(), -4, TVarKind::vkInteger, true);
}

TEST(SortArray, GenericOverloadOnMisalignedData) {
  // Doubles stored at an odd address: same result as the typed sort.
  const std::vector<double> input = AwkwardDoubles(300, 5);
  std::vector<unsigned char> buf(input.size() * sizeof(double) + 1);
  std::memcpy(buf.data() + 1, input.data(), input.size() * sizeof(double));
  SortArray(buf.data() + 1, static_cast<int32_t>(input.size()), TVarKind::vkDouble, false);
  std::vector<double> got(input.size());
  std::memcpy(got.data(), buf.data() + 1, got.size() * sizeof(double));
  std::vector<double> want = input;
  ReferenceCombSort(want, false);
  EXPECT_TRUE(SameBits(got, want));
}

// ---- SortIntoArray / InsertIntoArray ----------------------------------------------

TEST(SortIntoArray, TypedAndGenericPositions) {
  struct Case {
    std::vector<double> data;
    double value;
    bool asc;
    bool dups;
    int32_t want_pos;  // 0-based, -1 none
    std::vector<double> want;
  };
  const std::vector<Case> cases = {
      {{1, 4, 7, 9}, 5, true, true, 2, {1, 4, 5, 7}},
      {{1, 4, 7, 9}, 10, true, true, -1, {1, 4, 7, 9}},
      {{1, 4, 7, 9}, 4, true, false, -1, {1, 4, 7, 9}},
      {{1, 4, 7, 9}, 4, true, true, 1, {1, 4, 4, 7}},
      {{1, 4, 7, 9}, 0, true, true, 0, {0, 1, 4, 7}},
      {{1, 4, 7, 9}, 9, true, true, 3, {1, 4, 7, 9}},
      {{9, 7, 4, 1}, 5, false, true, 2, {9, 7, 5, 4}},
      {{9, 7, 4, 1}, 0, false, true, -1, {9, 7, 4, 1}},
      {{9, 7, 4, 1}, 7, false, false, -1, {9, 7, 4, 1}},
      {{1, 2, kNaN}, kNaN, true, false, -1, {1, 2, kNaN}},  // NaN equals NaN
      {{1, 2, kNaN}, 1.5, true, true, 1, {1, 1.5, 2}},
      {{1, 2, 3}, kNaN, true, true, -1, {1, 2, 3}},  // NaN lies beyond 3
      {{-0.0, 1}, 0.0, true, false, -1, {-0.0, 1}},  // -0 equals +0
  };
  for (const Case& c : cases) {
    std::vector<double> typed = c.data;
    EXPECT_EQ(SortIntoArray(std::span<double>(typed), c.value, c.asc, c.dups), c.want_pos);
    std::vector<double> generic = c.data;
    EXPECT_EQ(SortIntoArray(generic.data(), static_cast<int32_t>(generic.size()),
                            TVarKind::vkDouble, &c.value, c.asc, c.dups),
              c.want_pos + 1);
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      if (std::isnan(c.want[i])) {
        EXPECT_TRUE(std::isnan(typed[i]) && std::isnan(generic[i]));
      } else {
        EXPECT_EQ(typed[i], c.want[i]) << c.value;
        EXPECT_EQ(generic[i], c.want[i]) << c.value;
      }
    }
  }
  std::vector<int32_t> iv{1, 4, 7, 9};
  EXPECT_EQ(SortIntoArray(std::span<int32_t>(iv), 5, true, false), 2);
  EXPECT_EQ(iv, (std::vector<int32_t>{1, 4, 5, 7}));
  std::vector<float> fv{1, 4, 7, 9};
  const float five = 5;
  EXPECT_EQ(SortIntoArray(fv.data(), 4, TVarKind::vkSingle, &five, true, false), 3);
  EXPECT_EQ(fv, (std::vector<float>{1, 4, 5, 7}));
  std::vector<double> empty;
  EXPECT_EQ(SortIntoArray(std::span<double>(empty), 1.0, true, true), -1);
  EXPECT_EQ(SortIntoArray(iv.data(), 4, static_cast<TVarKind>(7), &five, true, true), 0);
  EXPECT_EQ(SortIntoArray(iv.data(), 4, TVarKind::vkInteger, nullptr, true, true), 0);
  EXPECT_EQ(SortIntoArray(nullptr, 4, TVarKind::vkInteger, &five, true, true), 0);
  EXPECT_EQ(iv, (std::vector<int32_t>{1, 4, 5, 7}));
}

TEST(InsertIntoArray, ShiftsUpDropsLastIgnoresOutside) {
  std::vector<double> d{1, 2, 3, 4};
  InsertIntoArray(std::span<double>(d), 9, 1);
  EXPECT_EQ(d, (std::vector<double>{1, 9, 2, 3}));
  InsertIntoArray(std::span<double>(d), 8, 3);  // last position: overwritten
  EXPECT_EQ(d, (std::vector<double>{1, 9, 2, 8}));
  for (const int32_t pos : {-1, 4, std::numeric_limits<int32_t>::min()}) {
    InsertIntoArray(std::span<double>(d), 7, pos);
  }
  EXPECT_EQ(d, (std::vector<double>{1, 9, 2, 8}));
  std::vector<int32_t> i{1, 2, 3};
  const int32_t v = 5;
  InsertIntoArray(i.data(), 3, TVarKind::vkLongint, &v, 1);  // 1-based
  EXPECT_EQ(i, (std::vector<int32_t>{5, 1, 2}));
  InsertIntoArray(i.data(), 3, TVarKind::vkLongint, &v, 0);
  InsertIntoArray(i.data(), 3, TVarKind::vkLongint, &v, 4);
  InsertIntoArray(i.data(), 3, static_cast<TVarKind>(7), &v, 2);
  EXPECT_EQ(i, (std::vector<int32_t>{5, 1, 2}));
  std::vector<float> f{1, 2};
  InsertIntoArray(std::span<float>(f), 3, 0);
  EXPECT_EQ(f, (std::vector<float>{3, 1}));
  std::vector<double> empty;
  InsertIntoArray(std::span<double>(empty), 1, 0);
}

// ---- QuickSelect ----------------------------------------------------------------

TEST(QuickSelect, SmallCasesAndBounds) {
  std::vector<double> d{5, 9, 1};
  EXPECT_EQ(QuickSelect(d, 2, 0, 2), 9);
  d = {5, 9, 1};
  EXPECT_EQ(QuickSelect(d, 0, 0, 2), 1);
  d = {5, 9, 1};
  EXPECT_EQ(QuickSelect(d, 1, 0, 2), 5);
  d = {5, 9, 1};
  EXPECT_EQ(QuickSelect(d, 1, 2, 0), 0);  // Hi < Lo
  EXPECT_EQ(QuickSelect(d, 7, 1, 2), 9);  // k outside: Data[Lo] unsearched
  EXPECT_EQ(d, (std::vector<double>{5, 9, 1}));
  // Bounds are clipped to the array; a range wholly outside gives 0.
  EXPECT_EQ(QuickSelect(d, 2, -5, 99), 9);
  EXPECT_EQ(QuickSelect(d, 10, 5, 20), 0);
  EXPECT_EQ(QuickSelect(d, -3, -9, -2), 0);
  std::vector<double> empty;
  EXPECT_EQ(QuickSelect(empty, 0, 0, 0), 0);
  std::vector<double> same(50, 4.5);
  EXPECT_EQ(QuickSelect(same, 17, 0, 49), 4.5);
}

TEST(QuickSelect, AgreesWithSortedOrderOnAwkwardData) {
  struct Data {
    const char* name;
    std::vector<double> values;
  };
  std::mt19937 rng(11);
  std::vector<Data> sets;
  sets.push_back({"awkward", AwkwardDoubles(2001, 3)});
  std::vector<double> bin(100000);
  for (double& v : bin) v = static_cast<double>(rng() & 1U);  // two values only
  sets.push_back({"binary", bin});
  std::vector<double> asc(50000);
  for (std::size_t i = 0; i < asc.size(); ++i) asc[i] = static_cast<double>(i);
  sets.push_back({"ascending", asc});
  sets.push_back({"descending", std::vector<double>(asc.rbegin(), asc.rend())});
  std::vector<double> pipe(asc);
  for (std::size_t i = pipe.size() / 2; i < pipe.size(); ++i)
    pipe[i] = static_cast<double>(pipe.size() - i);
  sets.push_back({"organ pipe", pipe});
  std::vector<double> nan = AwkwardDoubles(999, 8);
  for (std::size_t i = 0; i < nan.size(); i += 5) nan[i] = kNaN;
  sets.push_back({"nan", nan});
  for (const Data& s : sets) {
    std::vector<double> sorted = s.values;
    ReferenceCombSort(sorted, true);
    const auto n = static_cast<int32_t>(s.values.size());
    for (const int32_t k : {0, 1, n / 3, n / 2, n - 2, n - 1}) {
      std::vector<double> d = s.values;
      const double got = QuickSelect(d, k, 0, n - 1);
      const double want = sorted[static_cast<std::size_t>(k)];
      if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got)) << s.name << " k=" << k;
      } else {
        EXPECT_EQ(got, want) << s.name << " k=" << k;
      }
      EXPECT_TRUE(SameMultiset(d, s.values)) << s.name;  // reordered, nothing lost
    }
  }
  // A sub-range: only Data[Lo..Hi] is looked at and reordered.
  std::vector<double> d{100, 7, 3, 5, 1, -100};
  EXPECT_EQ(QuickSelect(d, 2, 1, 4), 3);
  EXPECT_EQ(d.front(), 100);
  EXPECT_EQ(d.back(), -100);
}

// ---- ExChange ----------------------------------------------------------------------

TEST(ExChange, EveryOverload) {
  auto check = [](auto a, auto b) {
    auto x = a;
    auto y = b;
    ExChange(x, y);
    EXPECT_EQ(x, b);
    EXPECT_EQ(y, a);
  };
  check(int32_t{1}, int32_t{-2});
  check(uint8_t{1}, uint8_t{255});
  check(1.5f, -2.5f);
  check(1.5, -2.5);
  check(1.5L, -2.5L);
  check(std::string("first"), std::string(100, 'x'));
  check(true, false);
  check(L'a', L'\x263A');
  check(uint16_t{1}, uint16_t{65535});
  check(int8_t{-128}, int8_t{127});
  check(uint32_t{1}, uint32_t{4000000000U});
  check(int64_t{1}, int64_t{-9000000000000LL});

  std::string s1 = "a long string that does not fit in the small buffer";
  const char* before = s1.data();
  std::string s2 = "b";
  ExChange(s1, s2);
  EXPECT_EQ(s2.data(), before);  // the reference moved, the characters did not

  unsigned char buf[6] = {1, 2, 3, 4, 5, 6};
  ExChange(buf, buf + 3, 3);
  EXPECT_EQ(std::vector<int>(buf, buf + 6), (std::vector<int>{4, 5, 6, 1, 2, 3}));
  ExChange(buf, buf + 3, 0);
  ExChange(nullptr, buf, 3);
  EXPECT_EQ(buf[0], 4);
  // Overlapping blocks: byte by byte from the start.
  unsigned char ov[3] = {1, 2, 3};
  ExChange(ov, ov + 1, 2);  // swap(0,1) -> 2 1 3, swap(1,2) -> 2 3 1
  EXPECT_EQ(std::vector<int>(ov, ov + 3), (std::vector<int>{2, 3, 1}));
}
