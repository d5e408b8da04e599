// TMatrix distances between rows (objects) and the distance matrix.
//
// Each distance is a plain sum over the columns in ascending order, exactly
// as written in the header. Where a plain sum could leave the double range
// -- squares of values beyond 2^511 overflow, squares of values below
// 2^-538 vanish -- the pair is computed again from rows scaled by a power of
// two (exact), which changes neither a ratio (Jaccard, Dice) nor, after
// scaling back, the Euclidean length (vector_detail.h, EuclidOf).
//
// CalcDistMat computes row i against all rows j > i at once: for each column
// k the value x(k, i) is combined with the contiguous run x(k, i+1..n) of
// column k, accumulating into one running sum per j. The inner loop is a
// unit-stride loop over j that the compiler vectorises, the columns stay in
// cache between rows, and only the upper triangle is computed: the sums run
// over k in the same ascending order as in DistanceOfObjects, so both give
// the same values. The lower triangle is then filled by a blocked transpose.
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"
#include "matrix/matrix_stats_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";

// Rows whose largest magnitude lies in [2^-450, 2^450] (or is 0) give
// products and squares far inside the double range (sums of up to 2^31 of
// them included), so no scaling is needed for them.
constexpr double kSafeHi = 0x1p450;
constexpr double kSafeLo = 0x1p-450;

bool NeedsScaling(double max_abs) noexcept {
  return max_abs > 0 && max_abs <= std::numeric_limits<double>::max() &&
         (max_abs > kSafeHi || max_abs < kSafeLo);
}

// Largest magnitude of a sequence; NaN is passed over (it makes the sums NaN
// anyway).
double MaxAbs(std::span<const double> x) noexcept {
  double m = 0.0;
  for (const double v : x) {
    const double a = std::fabs(v);
    m = a > m ? a : m;
  }
  return m;
}

double Similarity(TDistMode Mode, double sxy, double sxx, double syy) noexcept {
  if (Mode == TDistMode::dmJaccard) return sxy / (sxx + syy - sxy);
  return 2.0 * sxy / (sxx + syy);
}

// The sqrt of a plain sum of squares s, or the scaled computation when s may
// have overflowed or lost digits to underflow (or is 0 or NaN: the scaled
// form decides those too, cheaply).
double EuclidFinish(double s, std::span<const double> x, std::span<const double> y) {
  if (s >= std::numeric_limits<double>::min() && s <= std::numeric_limits<double>::max())
    return std::sqrt(s);
  return detail::EuclidOf(x, y);
}

// The distance of two rows given as contiguous arrays (not dmUserDef).
double PairDistance(TDistMode Mode, std::span<const double> x, std::span<const double> y) {
  const std::size_t n = x.size();
  switch (Mode) {
    case TDistMode::dmManhattan: {
      double s = 0.0;
      for (std::size_t k = 0; k < n; ++k) s += std::fabs(x[k] - y[k]);
      return s;
    }
    case TDistMode::dmEuclid:
    case TDistMode::dmEuclidSqr: {
      double s = 0.0;
      for (std::size_t k = 0; k < n; ++k) {
        const double d = x[k] - y[k];
        s += d * d;
      }
      return Mode == TDistMode::dmEuclidSqr ? s : EuclidFinish(s, x, y);
    }
    case TDistMode::dmJaccard:
    case TDistMode::dmDice: {
      const double m = std::max(MaxAbs(x), MaxAbs(y));
      const int e = NeedsScaling(m) ? std::ilogb(m) : 0;
      double sxy = 0.0;
      double sxx = 0.0;
      double syy = 0.0;
      for (std::size_t k = 0; k < n; ++k) {
        const double a = e != 0 ? std::ldexp(x[k], -e) : x[k];
        const double b = e != 0 ? std::ldexp(y[k], -e) : y[k];
        sxy += a * b;
        sxx += a * a;
        syy += b * b;
      }
      return Similarity(Mode, sxy, sxx, syy);
    }
    case TDistMode::dmUserDef:
      break;
  }
  return 0.0;
}
}  // namespace

double TMatrix::DistanceOfObjects(TDistMode Mode, int32_t obj1, int32_t obj2) const {
  if (Mode == TDistMode::dmUserDef) {
    double distance = 0.0;
    // The handler receives the matrix as sender; it may read it, not change it.
    if (OnCalcDistance) OnCalcDistance(const_cast<TMatrix*>(this), obj1, obj2, distance);
    return distance;
  }
  std::vector<double> x;
  std::vector<double> y;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    x.resize(static_cast<std::size_t>(std::max(FNCol, 0)));
    y.resize(x.size());
  });
  // Rows outside the matrix read as zeros, as through GetVal.
  for (int32_t k = 1; k <= FNCol; ++k) {
    x[static_cast<std::size_t>(k) - 1] = GetVal(k, obj1);
    y[static_cast<std::size_t>(k) - 1] = GetVal(k, obj2);
  }
  return PairDistance(Mode, x, y);
}

int32_t TMatrix::CalcDistMat(TDistMode Mode, TMatrix* DMat) const {
  if (DMat == nullptr)
    throw EORKMatrixError(detail::ComponentMsg(*this, "CalcDistMat: no distance matrix"));
  // The size test comes after the squareness test and overrides it.
  if (DMat->FNCol != FNRow) return -2;
  if (DMat->FNCol != DMat->FNRow) return -1;
  const int32_t n = FNRow;
  const auto nn = static_cast<std::size_t>(n);
  const auto nc = static_cast<std::size_t>(std::max(FNCol, 0));

  // DMat may be this matrix: read from a copy then.
  std::vector<double> copy;
  if (DMat == this)
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { copy.assign(Mat.begin(), Mat.end()); });
  const double* src = DMat == this ? copy.data() : Mat.data();
  const auto col = [&](std::size_t k) { return src + k * nn; };  // column k+1 (n > 0 here)
  const auto row = [&](std::size_t r, std::vector<double>& out) {
    for (std::size_t k = 0; k < nc; ++k) out[k] = col(k)[r];
  };

  // Elements go through SetVal in the documented order when someone may
  // watch (DMat's OnChange, or the user's distance handler, which may look
  // at DMat); otherwise straight into the storage.
  const bool sequential = Mode == TDistMode::dmUserDef ||
                          static_cast<uint8_t>(Mode) > static_cast<uint8_t>(TDistMode::dmUserDef);
  const bool ordered = static_cast<bool>(DMat->OnChange) || sequential;
  if (sequential) {  // the user's handler (or an unknown mode, distance 0.0)
    for (int32_t i = 1; i < n; ++i) {
      DMat->SetVal(i, i, 0.0);
      for (int32_t j = i + 1; j <= n; ++j) {
        const double d = DistanceOfObjects(Mode, i, j);
        DMat->SetVal(i, j, d);
        DMat->SetVal(j, i, d);
      }
    }
    DMat->SetVal(n, n, 0.0);
    return 0;
  }
  if (n == 0) return 0;

  std::vector<double> acc;
  std::vector<double> norm2;   // sum of squares of each row (Jaccard, Dice)
  std::vector<double> maxabs;  // largest magnitude of each row (Jaccard, Dice)
  std::vector<double> xi;
  std::vector<double> xj;
  const bool products = Mode == TDistMode::dmJaccard || Mode == TDistMode::dmDice;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    acc.resize(nn);
    xi.resize(nc);
    xj.resize(nc);
    if (products) {
      norm2.assign(nn, 0.0);
      maxabs.assign(nn, 0.0);
    }
  });
  if (products) {
    for (std::size_t k = 0; k < nc; ++k) {
      const double* __restrict c = col(k);
      for (std::size_t r = 0; r < nn; ++r) {
        norm2[r] += c[r] * c[r];
        const double a = std::fabs(c[r]);
        maxabs[r] = a > maxabs[r] ? a : maxabs[r];
      }
    }
  }

  double* out = DMat->Mat.data();
  for (std::size_t i = 0; i + 1 < nn; ++i) {
    // acc[j] for j > i: the running sums of row i against row j.
    double* __restrict a = acc.data();
    std::fill(a + i + 1, a + nn, 0.0);
    for (std::size_t k = 0; k < nc; ++k) {
      const double* __restrict c = col(k);
      const double x = c[i];
      switch (Mode) {
        case TDistMode::dmManhattan:
          for (std::size_t j = i + 1; j < nn; ++j) a[j] += std::fabs(x - c[j]);
          break;
        case TDistMode::dmEuclid:
        case TDistMode::dmEuclidSqr:
          for (std::size_t j = i + 1; j < nn; ++j) {
            const double d = x - c[j];
            a[j] += d * d;
          }
          break;
        default:  // Jaccard, Dice
          for (std::size_t j = i + 1; j < nn; ++j) a[j] += x * c[j];
          break;
      }
    }
    // Finish the distances of row i; pairs that need the careful form are
    // computed again from the gathered rows.
    bool have_xi = false;
    const auto careful = [&](std::size_t j) {
      if (!have_xi) {
        row(i, xi);
        have_xi = true;
      }
      row(j, xj);
    };
    for (std::size_t j = i + 1; j < nn; ++j) {
      switch (Mode) {
        case TDistMode::dmEuclid:
          if (!(a[j] >= std::numeric_limits<double>::min() &&
                a[j] <= std::numeric_limits<double>::max())) {
            careful(j);
            a[j] = detail::EuclidOf(std::span<const double>(xi), std::span<const double>(xj));
          } else {
            a[j] = std::sqrt(a[j]);
          }
          break;
        case TDistMode::dmJaccard:
        case TDistMode::dmDice:
          if (NeedsScaling(std::max(maxabs[i], maxabs[j]))) {
            careful(j);
            a[j] = PairDistance(Mode, xi, xj);
          } else {
            a[j] = Similarity(Mode, a[j], norm2[i], norm2[j]);
          }
          break;
        default:
          break;
      }
    }
    if (ordered) {
      const auto ci = static_cast<int32_t>(i) + 1;
      DMat->SetVal(ci, ci, 0.0);
      for (std::size_t j = i + 1; j < nn; ++j) {
        DMat->SetVal(ci, static_cast<int32_t>(j) + 1, a[j]);
        DMat->SetVal(static_cast<int32_t>(j) + 1, ci, a[j]);
      }
    } else {
      // Column i + 1 of DMat, rows i + 1..n: a contiguous run.
      double* d = out + i * nn;
      d[i] = 0.0;
      std::copy(a + i + 1, a + nn, d + i + 1);
    }
  }
  if (ordered) {
    DMat->SetVal(n, n, 0.0);
    return 0;
  }
  out[nn * nn - 1] = 0.0;
  // Mirror: element (j, i) := (i, j) for j > i, in tiles that fit in cache.
  constexpr std::size_t kTile = 32;
  for (std::size_t i0 = 0; i0 < nn; i0 += kTile) {
    for (std::size_t j0 = i0; j0 < nn; j0 += kTile) {
      const std::size_t i1 = std::min(nn, i0 + kTile);
      const std::size_t j1 = std::min(nn, j0 + kTile);
      for (std::size_t j = j0; j < j1; ++j)
        for (std::size_t i = i0; i < std::min(i1, j); ++i) out[j * nn + i] = out[i * nn + j];
    }
  }
  return 0;
}

}  // namespace numbra
