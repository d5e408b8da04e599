// Windowed-sinc kernels, the moving kernel filter and the Chebyshev design
// and zero-phase filter, against SciPy references (firwin, cheby1/butter,
// lfilter) and the coefficient sets of the classic design tables.
#include "ORK_math2.h"
#include "test_support.h"

#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

// A vector holding the given values (default: the single element 0).
struct V : TVector {
  V() = default;
  explicit V(const std::vector<double>& v) {
    if (v.empty()) return;
    Resize(static_cast<int32_t>(v.size()));
    for (std::size_t i = 0; i < v.size(); ++i) SetVal(static_cast<int32_t>(i + 1), v[i]);
  }
};

std::vector<std::vector<double>> ReadRows(const std::string& name) {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/smoothing/" + name);
  EXPECT_TRUE(in) << name;
  std::vector<std::vector<double>> rows;
  std::string line, w;
  while (std::getline(in, line)) {
    std::istringstream ss(line);
    rows.emplace_back();
    while (ss >> w) {
      if (w == "lp" || w == "hp" || w == "bs" || w == "bp" || w == "kernel")
        rows.back().push_back(w == "lp" ? 0 : w == "hp" ? 1 : w == "bs" ? 2 : w == "bp" ? 3 : 4);
      else if (w == "average" || w == "median" || w == "weighted" || w == "sg" || w == "d1" ||
               w == "d2")
        rows.back().push_back(-1);
      else
        rows.back().push_back(std::stod(w));
    }
  }
  return rows;
}

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EORKMath2Error& e) {
    return e.what();
  }
  return "(no exception)";
}

double MaxAbs(const std::vector<double>& v) {
  double m = 0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

}  // namespace

// Every kernel in both overloads against firwin-based references. Elements
// near a zero of the sinc have no relative accuracy to speak of (the
// argument 2 pi f k carries an absolute rounding of eps |2 pi f k|), so the
// comparison is relative to the kernel's largest element: 1e-13.
TEST(SincKernels, MatchFirwinReferences) {
  int sets = 0;
  for (const auto& row : ReadRows("sinc.txt")) {
    const int type = static_cast<int>(row[0]), window = static_cast<int>(row[1]);
    const int32_t L = static_cast<int32_t>(row[2]);
    const double f1 = row[3], f2 = row[4];
    const std::vector<double> ref(row.begin() + 5, row.end());
    ASSERT_EQ(ref.size(), static_cast<std::size_t>(L));
    TDoubleArray arr;
    TVector vec;
    switch (type) {
      case 0:
        CalcSincLPKernel(L, f1, window, arr);
        CalcSincLPKernel(L, f1, window, &vec);
        break;
      case 1:
        CalcSincHPKernel(L, f1, window, arr);
        CalcSincHPKernel(L, f1, window, &vec);
        break;
      case 2:
        CalcSincBSKernel(L, f1, f2, window, arr);
        CalcSincBSKernel(L, f1, f2, window, &vec);
        break;
      default:
        CalcSincBPKernel(L, f2, f1, window, arr);  // order of the cut-offs does not matter
        CalcSincBPKernel(L, f1, f2, window, &vec);
    }
    ASSERT_EQ(arr.size(), ref.size());
    ASSERT_EQ(vec.NrOfElem(), L);
    const double scale = MaxAbs(ref);
    for (int32_t i = 0; i < L; ++i) {
      EXPECT_NEAR(arr[static_cast<std::size_t>(i)], ref[static_cast<std::size_t>(i)], 1e-13 * scale)
          << type << " L=" << L << " i=" << i;
      EXPECT_EQ(vec.GetVal(i + 1), arr[static_cast<std::size_t>(i)]);
    }
    ++sets;
  }
  EXPECT_EQ(sets, 24);
}

TEST(SincKernels, ClampingZeroCutOffAndBadLength) {
  TDoubleArray a, b;
  CalcSincLPKernel(21, 0.7, 1, a);
  CalcSincLPKernel(21, 0.5, 1, b);
  EXPECT_EQ(a, b);
  CalcSincLPKernel(21, -1, 2, a);  // no pass band: zeros, not normalised
  EXPECT_EQ(a, TDoubleArray(21, 0.0));
  CalcSincHPKernel(21, -1, 2, a);  // ... and its inversion is the unit impulse
  TDoubleArray delta(21, 0.0);
  delta[10] = 1;
  EXPECT_EQ(a, delta);
  CalcSincLPKernel(1, 0.2, 1, a);
  EXPECT_EQ(a, TDoubleArray{1.0});
  CalcSincHPKernel(4, 0.2, 0, a);  // even length: inversion at element L div 2
  CalcSincLPKernel(4, 0.2, 0, b);
  EXPECT_DOUBLE_EQ(a[2], 1 - b[2]);

  V v(std::vector<double>{7, 8});
  a = {5.0};
  for (int32_t len : {0, -3}) {
    EXPECT_EQ(MessageOf([&] { CalcSincLPKernel(len, 0.1, 1, a); }),
              "CalcSincLPKernel: kernel length must be at least 1");
    EXPECT_EQ(MessageOf([&] { CalcSincHPKernel(len, 0.1, 1, &v); }),
              "CalcSincHPKernel: kernel length must be at least 1");
    EXPECT_EQ(MessageOf([&] { CalcSincBPKernel(len, 0.1, 0.2, 1, a); }),
              "CalcSincBPKernel: kernel length must be at least 1");
    EXPECT_EQ(MessageOf([&] { CalcSincBSKernel(len, 0.1, 0.2, 1, &v); }),
              "CalcSincBSKernel: kernel length must be at least 1");
  }
  EXPECT_EQ(MessageOf([&] { CalcSincLPKernel(5, 0.1, 1, static_cast<TVector*>(nullptr)); }),
            "CalcSincLPKernel: Kernel is undefined");
  EXPECT_EQ(a, TDoubleArray{5.0});
  EXPECT_EQ(v.GetVal(1), 7);
  EXPECT_EQ(v.NrOfElem(), 2);
}

TEST(MovingKernelFilter, MatchesEdgePaddedCorrelation) {
  const auto rows = ReadRows("windows.txt");
  std::size_t r = 0;
  while (rows[r][0] != 4) r += 3;
  const int32_t n = static_cast<int32_t>(rows[r][2]);
  V kernel(rows[r + 1]), x(rows[r + 2]);
  const std::vector<double>& ref = rows[r + 3];
  TVector d;  // resized to the source length
  int events = 0;
  d.OnChange = [&](TObject*) { ++events; };
  MovingKernelFilter(&x, 0, n + 5, &d, &kernel);
  ASSERT_EQ(d.NrOfElem(), n);
  EXPECT_EQ(events, 1 + n + 1);  // resize, each element, the end
  for (int32_t i = 0; i < n; ++i)
    EXPECT_NEAR(d.GetVal(i + 1), ref[static_cast<std::size_t>(i)], 1e-14 * MaxAbs(ref)) << i;
  // In place, and with the kernel as destination, the same numbers.
  TVector y;
  y.Clone(&x);
  MovingKernelFilter(&y, 1, n, &y, &kernel);
  for (int32_t i = 1; i <= n; ++i) EXPECT_EQ(y.GetVal(i), d.GetVal(i));
}

TEST(MovingKernelFilter, SubRangeAndMessages) {
  V x(std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8}), k(std::vector<double>{1, 0, 0}),
      d(std::vector<double>{9, 9});
  MovingKernelFilter(&x, 6, 3, &d, &k);  // range 3..6, kernel picks x[i - 1] clamped
  EXPECT_EQ(d.NrOfElem(), 8);
  const double want[] = {3, 3, 4, 5, 0, 0, 0, 0};
  for (int32_t i = 1; i <= 8; ++i) EXPECT_EQ(d.GetVal(i), want[i - 1]) << i;
  V dk(std::vector<double>{0, 1, 0});
  MovingKernelFilter(&x, 1, 8, &dk, &dk);  // kernel read before the resize
  EXPECT_EQ(dk.GetVal(8), 8);

  V e(std::vector<double>{5});
  const std::string undef =
      "MovingKernelfilter: SourceVec, DestVec and/or FilterKernel is undefined";
  EXPECT_EQ(MessageOf([&] { MovingKernelFilter(nullptr, 1, 8, &e, &k); }), undef);
  EXPECT_EQ(MessageOf([&] { MovingKernelFilter(&x, 1, 8, nullptr, &k); }), undef);
  EXPECT_EQ(MessageOf([&] { MovingKernelFilter(&x, 1, 8, &e, nullptr); }), undef);
  EXPECT_EQ(MessageOf([&] { MovingKernelFilter(&x, 4, 6, &e, &k); }),
            "MovingKernelfilter: specified range for smoothing is smaller than the length of the "
            "kernel");
  EXPECT_NO_THROW(MovingKernelFilter(&x, 4, 7, &e, &k));
  EXPECT_EQ(e.NrOfElem(), 8);
}

// The design against cheby1 / butter (multiplied out in 50 digits, scaled
// to unit gain). The recursion coefficients b_k agree to 1e-12 relative in
// every set (NPoles 2..20, cut-offs 0.02..0.45, ripple 0..29 %). The a_k
// carry the unit-gain scaling, whose condition is kappa = (1 + sum |b|) /
// |1 - sum b| (sum at z = 1, or z = -1 for a high pass): a change of the b_k
// by their rounding moves the gain by up to kappa * eps. CalcChebFilterCoeffs
// scales to the gain of its own rounded b_k, the reference to the exact
// design, so the a_k agree to max(1e-12, 4 kappa eps).
TEST(ChebyshevDesign, MatchesCheby1) {
  const double eps = std::numeric_limits<double>::epsilon();
  int sets = 0;
  for (const auto& row : ReadRows("cheby.txt")) {
    const bool hp = row[0] != 0;
    const auto np = static_cast<int32_t>(row[1]);
    double a0 = 0;
    TMatrix c;
    CalcChebFilterCoeffs(np, hp, row[2], row[3], a0, &c);
    ASSERT_EQ(c.NrOfColumns(), 2);
    ASSERT_EQ(c.NrOfRows(), np);
    double abs_b = 1, den = 1;
    for (int32_t k = 1; k <= np; ++k) {
      abs_b += std::fabs(row[4 + np + k]);
      den -= ((hp && k % 2 == 1) ? -1 : 1) * row[4 + np + k];
    }
    const double tol_a = std::max(1e-12, 4 * abs_b / std::fabs(den) * eps) / eps;
    EXPECT_TRUE(numbra_test::RelNear(a0, row[4], tol_a)) << np << " " << row[2];
    double suma = a0, sumb = 0;
    for (int32_t k = 1; k <= np; ++k) {
      const double s = (hp && k % 2 == 1) ? -1 : 1;
      suma += s * c.GetVal(1, k);
      sumb += s * c.GetVal(2, k);
      EXPECT_TRUE(numbra_test::RelNear(c.GetVal(1, k), row[4 + k], tol_a)) << np << " a" << k;
      EXPECT_TRUE(numbra_test::RelNear(c.GetVal(2, k), row[4 + np + k], 1e-12 / eps))
          << np << " b" << k;
    }
    EXPECT_NEAR(suma, 1 - sumb, 1e-12 * abs_b);  // unit pass-band gain
    ++sets;
  }
  EXPECT_EQ(sets, 15);
}

TEST(ChebyshevDesign, PrintedSetsAndChecks) {
  struct Case {
    int32_t np;
    double fc, pr;
    std::vector<double> a, b;  // A0, a_1.. and b_1..
  };
  const Case cases[] = {
      {2, 0.1, 0, {0.0674553, 0.134911, 0.0674553}, {1.14298, -0.412802}},
      {4,
       0.1,
       0.5,
       {0.00278076, 0.011123, 0.0166845, 0.011123, 0.00278076},
       {2.76403, -3.12285, 1.66455, -0.350223}},
  };
  for (const Case& c : cases) {
    double a0 = 0;
    TMatrix m;
    CalcChebFilterCoeffs(c.np, false, c.fc, c.pr, a0, &m);
    EXPECT_NEAR(a0, c.a[0], 5e-6 * c.a[0]);  // six printed digits
    for (int32_t k = 1; k <= c.np; ++k) {
      EXPECT_NEAR(m.GetVal(1, k), c.a[k], 5e-6 * std::fabs(c.a[k])) << k;
      EXPECT_NEAR(m.GetVal(2, k), c.b[k - 1], 5e-6 * std::fabs(c.b[k - 1])) << k;
    }
  }
  double a0 = -7;
  TMatrix m;
  EXPECT_NO_THROW(CalcChebFilterCoeffs(4, false, 0.1, 29, a0, &m));
  EXPECT_NO_THROW(CalcChebFilterCoeffs(4, false, 0.5, 1, a0, &m));
  EXPECT_NO_THROW(CalcChebFilterCoeffs(4, true, 0.0, 1, a0, &m));
  EXPECT_NO_THROW(CalcChebFilterCoeffs(20, true, 0.25, 1, a0, &m));
  a0 = -7;
  m.Resize(3, 3);
  const std::string p = "CalcChebFilterCoeffs: ";
  struct Bad {
    int32_t np;
    bool hp;
    double fc, pr;
    const char* msg;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Bad bad[] = {
      {3, false, 0.7, 40, "NPoles must be even"},  // parity first
      {-1, false, 0.1, 1, "NPoles must be even"},
      {4, false, 0.7, 29.5, "invalid Ripple value"},  // ripple before cut-off
      {4, false, 0.1, -0.1, "invalid Ripple value"},
      {4, false, 0.1, nan, "invalid Ripple value"},
      {22, false, 0.6, 1, "invalid cutoff frequency"},  // cut-off before pole count
      {4, false, -0.01, 1, "invalid cutoff frequency"},
      {4, false, nan, 1, "invalid cutoff frequency"},
      {4, false, 0.0, 1, "invalid cutoff frequency"},      // low pass without pass band
      {4, true, 0.5, 1, "invalid cutoff frequency"},       // high pass without pass band
      {20, false, 1e-300, 1, "invalid cutoff frequency"},  // the gain underflows
      {22, false, 0.1, 1, "NPoles must be between 2 and 20"},
      {0, false, 0.1, 1, "NPoles must be between 2 and 20"},
      {-2, false, 0.1, 1, "NPoles must be between 2 and 20"},
  };
  for (const Bad& b : bad) {
    EXPECT_EQ(MessageOf([&] { CalcChebFilterCoeffs(b.np, b.hp, b.fc, b.pr, a0, &m); }), p + b.msg)
        << b.np << " " << b.fc << " " << b.pr;
  }
  EXPECT_EQ(MessageOf([&] { CalcChebFilterCoeffs(4, false, 0.1, 1, a0, nullptr); }),
            p + "Coeffs is undefined");
  EXPECT_EQ(a0, -7);
  EXPECT_EQ(m.NrOfColumns(), 3);
}

// Forward-backward filtering against the same recursion with the same
// coefficients evaluated in 50 digits over the same working samples (zeros
// outside the vector, P = NP + 1 samples of margin; lfilter agrees with it).
// Rounding in the recursion is amplified as the coefficient rounding of the
// design is, by up to kappa = (1 + sum |b|) / |1 - sum b|: max(1e-12, 4 kappa
// eps) of the largest output (1e-12 for two of the three sets).
TEST(ChebychevFilter, MatchesTwoLfilterPasses) {
  const auto rows = ReadRows("chebfilter.txt");
  ASSERT_EQ(rows.size(), 9u);
  for (std::size_t r = 0; r < rows.size(); r += 3) {
    const auto np = static_cast<int32_t>(rows[r][1]);
    const auto first = static_cast<int32_t>(rows[r][4]), last = static_cast<int32_t>(rows[r][5]);
    V x(rows[r + 1]);
    const std::vector<double>& ref = rows[r + 2];
    const double a0 = rows[r][7];
    TMatrix c;
    c.Resize(2, np);
    for (int32_t k = 1; k <= np; ++k) {
      c.SetVal(1, k, rows[r][7 + static_cast<std::size_t>(k)]);
      c.SetVal(2, k, rows[r][7 + static_cast<std::size_t>(np + k)]);
    }
    double abs_b = 1, den = 1;
    for (int32_t k = 1; k <= np; ++k) {
      abs_b += std::fabs(c.GetVal(2, k));
      den -= ((rows[r][0] != 0 && k % 2 == 1) ? -1 : 1) * c.GetVal(2, k);
    }
    const double tol =
        std::max(1e-12, 4 * abs_b / std::fabs(den) * std::numeric_limits<double>::epsilon()) *
        MaxAbs(ref);
    V d(std::vector<double>(static_cast<std::size_t>(x.NrOfElem()), -3.0));
    int events = 0;
    d.OnChange = [&](TObject*) { ++events; };
    ChebychevFilter(&x, last, first, &d, a0, &c);  // reversed bounds are ordered
    EXPECT_EQ(events, last - first + 2);
    for (int32_t j = 1; j <= x.NrOfElem(); ++j) {
      if (j < first || j > last) {
        EXPECT_EQ(d.GetVal(j), -3.0) << j;
        continue;
      }
      EXPECT_NEAR(d.GetVal(j), ref[static_cast<std::size_t>(j - first)], tol) << np << " j=" << j;
    }
    // In place gives the same numbers.
    TVector y;
    y.Clone(&x);
    ChebychevFilter(&y, first, last, &y, a0, &c);
    for (int32_t j = first; j <= last; ++j) EXPECT_EQ(y.GetVal(j), d.GetVal(j)) << j;
  }
}

TEST(ChebychevFilter, EdgeCases) {
  V x(std::vector<double>{1, 2, 3, 4, 5, 6}), d;
  TMatrix none;  // 1 x 1 holding 0: a_1 = 0, b_1 absent -> 0
  d.Resize(6);
  ChebychevFilter(&x, 1, 6, &d, 2.0, &none);  // A0 applied twice
  for (int32_t j = 1; j <= 6; ++j) EXPECT_EQ(d.GetVal(j), 4.0 * j);
  ChebychevFilter(&x, -5, 99, &d, 1.0, &none);  // bounds clamped into 1..n
  EXPECT_EQ(d.GetVal(6), 6.0);
  TMatrix empty;  // no rows at all: the recursion is y = A0 x
  empty.Resize(2, 0);
  ChebychevFilter(&x, 1, 6, &d, -1.5, &empty);
  for (int32_t j = 1; j <= 6; ++j) EXPECT_EQ(d.GetVal(j), 2.25 * j);
  // A NaN sample spreads over the whole range, both directions.
  double a0 = 0;
  TMatrix c;
  CalcChebFilterCoeffs(4, false, 0.2, 0.5, a0, &c);
  x.SetVal(3, NAN);
  ChebychevFilter(&x, 1, 6, &d, a0, &c);
  for (int32_t j = 1; j <= 6; ++j) EXPECT_TRUE(std::isnan(d.GetVal(j))) << j;
  const std::string undef = "ChebychevFilter: SourceVec, DestVec and/or Coeffs is undefined";
  EXPECT_EQ(MessageOf([&] { ChebychevFilter(nullptr, 1, 6, &d, a0, &c); }), undef);
  EXPECT_EQ(MessageOf([&] { ChebychevFilter(&x, 1, 6, nullptr, a0, &c); }), undef);
  EXPECT_EQ(MessageOf([&] { ChebychevFilter(&x, 1, 6, &d, a0, nullptr); }), undef);
}
