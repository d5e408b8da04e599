// Range-window smoothing and Savitzky-Golay derivatives: argument checks in
// their order, range and edge rules, events, in-place use, the integer
// Savitzky-Golay tables, and agreement with SciPy / pandas references.
#include "ORK_math2.h"
#include "test_support.h"

#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

using WindowFn = void (*)(const TVector*, int32_t, int32_t, TVector*, int32_t);

// A vector holding the given values (default: the single element 0).
struct V : TVector {
  V() = default;
  explicit V(const std::vector<double>& v) {
    if (v.empty()) return;
    Resize(static_cast<int32_t>(v.size()));
    for (std::size_t i = 0; i < v.size(); ++i) SetVal(static_cast<int32_t>(i + 1), v[i]);
  }
};

std::vector<double> Vals(const TVector& v) { return {v.Values().begin(), v.Values().end()}; }

std::vector<std::vector<std::string>> ReadLines(const std::string& name) {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/smoothing/" + name);
  EXPECT_TRUE(in) << name;
  std::vector<std::vector<std::string>> rows;
  std::string line, w;
  while (std::getline(in, line)) {
    std::istringstream ss(line);
    rows.emplace_back();
    while (ss >> w) rows.back().push_back(w);
  }
  return rows;
}

std::vector<double> Nums(const std::vector<std::string>& w, std::size_t from = 0) {
  std::vector<double> r;
  for (std::size_t i = from; i < w.size(); ++i) r.push_back(w[i] == "nan" ? NAN : std::stod(w[i]));
  return r;
}

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EORKMath2Error& e) {
    return e.what();
  }
  return "(no exception)";
}

}  // namespace

TEST(Smoothing, AverageOfSevenAndReversedClampedRange) {
  V x(std::vector<double>{1, 2, 3, 4, 5, 6, 7});
  TVector d;
  d.Resize(7);
  MovingAverageSmooth(&x, 1, 7, &d, 3);
  EXPECT_EQ(Vals(d), (std::vector<double>{2, 2, 3, 4, 5, 6, 6}));

  // 9..2 on five elements is 2..5: results at positions 1..4, position 5 kept.
  V y(std::vector<double>{10, 1, 2, 3, 4});
  V e(std::vector<double>{0, 0, 0, 0, -1});
  MovingAverageSmooth(&y, 9, 2, &e, 3);
  EXPECT_EQ(Vals(e), (std::vector<double>{2, 2, 3, 3, -1}));
}

// Every routine: its four messages in the order of checking, the range
// boundary (LastIx - FirstIx = WinLength is accepted, one less refused), the
// window limits, and DestVec untouched on failure.
TEST(Smoothing, MessagesInOrderOfChecking) {
  struct Case {
    const char* name;
    WindowFn fn;
    const char* range;
    const char* what;
    int32_t lo, hi;
  };
  const char* sw =
      "specified range for smoothing is smaller than the length of the smoothing windows";
  const char* sp = "specified range for smoothing is smaller than the length of the polynomial";
  const char* cp = "specified range for calculation is smaller than the length of the polynomial";
  const Case cases[] = {
      {"MovingAverageSmooth", MovingAverageSmooth, sw, "smoothing window", 3, 99},
      {"MovingMedianSmooth", MovingMedianSmooth, sw, "smoothing window", 3, 99},
      {"WeightedAverageSmooth", WeightedAverageSmooth, sw, "smoothing window", 3, 99},
      {"PolynomialSmooth", PolynomialSmooth, sp, "polynomial", 5, 25},
      {"SecondDeriv", SecondDeriv, sp, "polynomial", 5, 25},
      {"FirstDeriv", FirstDeriv, cp, "polynomial", 5, 25},
  };
  std::vector<double> ramp(40);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<double>(i * i % 7);
  V x(ramp);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string p = std::string(c.name) + ": ";
    V d(std::vector<double>(40, -5));
    int events = 0;
    d.OnChange = [&](TObject*) { ++events; };
    EXPECT_EQ(MessageOf([&] { c.fn(nullptr, 1, 40, &d, 5); }),
              p + "either SourceVec or DestVec is undefined");
    EXPECT_EQ(MessageOf([&] { c.fn(&x, 1, 40, nullptr, 5); }),
              p + "either SourceVec or DestVec is undefined");
    EXPECT_EQ(MessageOf([&] { c.fn(&x, 3, 7, &d, 5); }), p + c.range);  // 4 differences
    EXPECT_EQ(MessageOf([&] { c.fn(&x, 0, 0, &d, 5); }), p + c.range);  // no (0, 0) rule
    EXPECT_EQ(MessageOf([&] { c.fn(&x, 1, 40, &d, c.lo - 1); }),        // range before length
              p + "length of " + c.what + " is out of range");
    EXPECT_EQ(MessageOf([&] { c.fn(&x, 1, 40, &d, c.lo + 1); }),
              p + "length of " + c.what + " must be odd");
    if (c.hi == 25) {
      EXPECT_EQ(MessageOf([&] { c.fn(&x, 1, 40, &d, 27); }),
                p + "length of polynomial is out of range");
      EXPECT_EQ(MessageOf([&] { c.fn(&x, 1, 40, &d, 26); }),  // out of range before even
                p + "length of polynomial is out of range");
      EXPECT_EQ(MessageOf([&] { c.fn(&x, 1, 40, &d, 4); }),
                p + "length of polynomial is out of range");
      EXPECT_EQ(MessageOf([&] { c.fn(&x, 1, 40, &d, 6); }), p + "length of polynomial must be odd");
    }
    EXPECT_EQ(events, 0);
    EXPECT_EQ(Vals(d), std::vector<double>(40, -5));
    EXPECT_NO_THROW(c.fn(&x, 3, 8, &d, 5));  // exactly WinLength differences
    EXPECT_EQ(events, 6 + 1);                // one per element, one at the end
    EXPECT_EQ(d.GetVal(7), -5);
  }
}

TEST(Smoothing, PolynomialsAreReproducedAwayFromTheEdges) {
  std::vector<double> quad(60), lin(60), sq(60), cub(60);
  for (int i = 0; i < 60; ++i) {
    quad[i] = 0.5 * i * i - 3.0 * i + 7;
    lin[i] = i;
    sq[i] = double(i) * i;
    cub[i] = 0.01 * i * i * i - i;
  }
  V q(quad), l(lin), s(sq), c(cub);
  for (int32_t w = 5; w <= 25; w += 2) {
    SCOPED_TRACE(w);
    const int h = w / 2;
    TVector d1, d2, d3, d4;
    for (TVector* d : {&d1, &d2, &d3, &d4}) d->Resize(60);
    PolynomialSmooth(&q, 1, 60, &d1, w);
    PolynomialSmooth(&c, 1, 60, &d4, w);  // quadratic/cubic weights: cubics too
    FirstDeriv(&l, 1, 60, &d2, w);
    SecondDeriv(&s, 1, 60, &d3, w);
    for (int i = 0; i < 60; ++i) {
      // Integer weights, sums below 2^53 * eps-scale: a few ulps of the values.
      EXPECT_TRUE(numbra_test::RelNear(d1.GetVal(i + 1), quad[std::clamp(i, h, 59 - h)], 64)) << i;
      EXPECT_NEAR(d4.GetVal(i + 1), cub[std::clamp(i, h, 59 - h)], 1e-11) << i;
      EXPECT_DOUBLE_EQ(d2.GetVal(i + 1), 1.0) << i;
      EXPECT_NEAR(d3.GetVal(i + 1), 2.0, 1e-12) << i;
    }
  }
}

TEST(Smoothing, InPlaceShortDestinationAndNaN) {
  std::vector<double> v{3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8};
  for (WindowFn fn : {MovingAverageSmooth, MovingMedianSmooth, WeightedAverageSmooth,
                      PolynomialSmooth, FirstDeriv, SecondDeriv}) {
    V a(v), b(v), out;
    out.Resize(12);
    fn(&a, 1, 12, &out, 5);
    fn(&b, 1, 12, &b, 5);  // in place: the same result
    EXPECT_EQ(Vals(b), Vals(out));
    // A destination shorter than the range gets the leading part, edges too.
    TVector shortd;
    shortd.Resize(2);
    fn(&a, 1, 12, &shortd, 5);
    EXPECT_EQ(shortd.GetVal(1), out.GetVal(3));
    EXPECT_EQ(shortd.GetVal(2), out.GetVal(3));
  }
  // NaN spoils exactly the windows that hold it, the median included.
  v[6] = NAN;
  for (WindowFn fn : {MovingAverageSmooth, MovingMedianSmooth, WeightedAverageSmooth}) {
    V a(v), out;
    out.Resize(12);
    fn(&a, 1, 12, &out, 3);
    for (int32_t i = 1; i <= 12; ++i) EXPECT_EQ(std::isnan(out.GetVal(i)), i >= 6 && i <= 8) << i;
  }
}

// The integer tables reproduce the printed rows and SciPy's least-squares
// weights (savgol_coeffs). The table entries are exact; savgol_coeffs solves
// the least-squares problem in floating point with the Vandermonde matrix
// of the window (condition about 1e4 at L = 25, cubic), so 1e-14 absolute
// (about 50 eps of the largest weight).
TEST(Smoothing, GolayTablesMatchSavgolCoeffs) {
  const int32_t poly5[] = {35, 17, 12, -3};
  const int32_t deriv5[] = {7, -2, -1, 2};
  const int32_t poly25[] = {5175, 467, 462, 447, 422, 387, 342, 287, 222, 147, 62, -33, -138, -253};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(GolayPoly[1][k], poly5[k]);
    EXPECT_EQ(Golay2ndDeriv[1][k], deriv5[k]);
  }
  for (int k = 0; k < 14; ++k) EXPECT_EQ(GolayPoly[11][k], poly25[k]);
  int checked = 0;
  for (const auto& row : ReadLines("savgol.txt")) {
    const std::string kind = row[0];
    const int32_t L = std::stoi(row[1]), h = L / 2;
    const std::vector<double> w = Nums(row, 2);
    ASSERT_EQ(w.size(), static_cast<std::size_t>(L));
    if (kind == "d1") {  // j / (h (h + 1) (2h + 1) / 3)
      for (int j = -h; j <= h; ++j)
        EXPECT_NEAR(j / (h * (h + 1.0) * (2 * h + 1) / 3), w[j + h], 1e-14) << L << " " << j;
      ++checked;
      continue;
    }
    const TGolayTable& t = kind == "d2" ? Golay2ndDeriv : GolayPoly;
    const auto r = t[(L - 3) / 2];
    for (int j = 0; j <= 12; ++j) {
      if (j > h) {
        EXPECT_EQ(r[j + 1], 0);
        continue;
      }
      const double mine = static_cast<double>(r[j + 1]) / r[0];
      EXPECT_NEAR(mine, w[h + j], 1e-14) << kind << " L=" << L << " j=" << j;
      EXPECT_NEAR(mine, w[h - j], 1e-14) << kind << " L=" << L << " j=" << -j;
    }
    ++checked;
  }
  EXPECT_EQ(checked, 44);
}

// Agreement with independent implementations on a noisy signal: pandas
// rolling mean / median, numpy.convolve with triangular weights and
// scipy.signal.savgol_filter. Interior points to 1e-13 relative (sums of at
// most 25 terms); the edges repeat the first and last interior value.
TEST(Smoothing, RangeWindowsMatchReferences) {
  const auto rows = ReadLines("windows.txt");
  int sets = 0;
  for (std::size_t r = 0; r + 2 < rows.size(); r += 3) {
    const std::string kind = rows[r][0];
    if (kind == "kernel") break;
    const int32_t W = std::stoi(rows[r][1]), n = std::stoi(rows[r][2]), h = W / 2;
    const std::vector<double> x = Nums(rows[r + 1]), ref = Nums(rows[r + 2]);
    WindowFn fn = kind == "average"    ? MovingAverageSmooth
                  : kind == "median"   ? MovingMedianSmooth
                  : kind == "weighted" ? WeightedAverageSmooth
                  : kind == "sg"       ? PolynomialSmooth
                  : kind == "d1"       ? FirstDeriv
                                       : SecondDeriv;
    V src(x), d;
    d.Resize(n);
    fn(&src, 1, n, &d, W);
    double scale = 0;
    for (double v : ref)
      if (!std::isnan(v)) scale = std::max(scale, std::fabs(v));
    for (int32_t i = 0; i < n; ++i) {
      const double want = ref[static_cast<std::size_t>(std::clamp(i, h, n - 1 - h))];
      EXPECT_NEAR(d.GetVal(i + 1), want, 1e-13 * scale) << kind << " W=" << W << " i=" << i;
    }
    ++sets;
  }
  EXPECT_EQ(sets, 18);
}

// Extreme bounds and window lengths: clamped or refused, never an overflow
// or a read outside the source.
TEST(Smoothing, ExtremeArguments) {
  V x(std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  V d(std::vector<double>(10, 0.0));
  for (WindowFn fn : {MovingAverageSmooth, MovingMedianSmooth, WeightedAverageSmooth,
                      PolynomialSmooth, FirstDeriv, SecondDeriv}) {
    EXPECT_THROW(fn(&x, INT32_MIN, INT32_MAX, &d, INT32_MAX), EORKMath2Error);
    EXPECT_THROW(fn(&x, INT32_MIN, INT32_MAX, &d, INT32_MIN), EORKMath2Error);
    EXPECT_THROW(fn(&x, INT32_MAX, INT32_MIN, &d, -7), EORKMath2Error);
    EXPECT_NO_THROW(fn(&x, INT32_MAX, INT32_MIN, &d, 5));  // the whole vector
  }
  EXPECT_NEAR(d.GetVal(10), 0.0, 1e-15);  // the last call: SecondDeriv of a straight line
  V k(std::vector<double>{0.25, 0.5, 0.25});
  MovingKernelFilter(&x, INT32_MIN, INT32_MAX, &d, &k);
  EXPECT_DOUBLE_EQ(d.GetVal(1), 1.25);
  EXPECT_DOUBLE_EQ(d.GetVal(10), 9.75);
  TDoubleArray nan_kernel;
  CalcSincLPKernel(9, std::nan(""), 1, nan_kernel);  // NaN cut-off: no pass band
  EXPECT_EQ(nan_kernel, TDoubleArray(9, 0.0));
}
