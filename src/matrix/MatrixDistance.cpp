// TMatrix distances between rows (objects) and the distance matrix.
//
// Each distance is a plain sum over the columns in ascending order, exactly
// as written in the header. Where a plain sum could leave the double range
// -- squares of values beyond 2^511 overflow, squares of values below
// 2^-538 vanish -- the pair is computed again from rows scaled by a power of
// two (exact), which changes neither a ratio (Jaccard, Dice) nor, after
// scaling back, the Euclidean length (vector_detail.h, EuclidOf).
//
// CalcDistMat computes two rows i, i + 1 against all rows j > i at once, in
// tiles of 8 partners whose 16 running sums stay in registers while k runs
// over the columns: each step loads the contiguous run x(k, j..j+7) of
// column k once for both rows and combines it two lanes at a time. The
// columns stay in cache between rows. Only the upper triangle is computed,
// straight into DMat's columns (rows j contiguous); every 8 finished columns
// are mirrored into the lower triangle while they are still in cache. The
// sums run over k in the same ascending order as in DistanceOfObjects, with
// the same operations, so both give the same values.
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"
#include "matrix/matrix_stats_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Pairs of doubles as one vector value (GCC and clang vector extension;
// SSE2 on x86-64, plain scalar code elsewhere). Loads and stores go through
// memcpy, so no alignment is assumed.
typedef double V2 __attribute__((vector_size(16)));
typedef int64_t V2i __attribute__((vector_size(16)));

inline V2 Load2(const double* p) {
  V2 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void Store2(double* p, V2 v) { std::memcpy(p, &v, sizeof v); }

// The element-wise terms of the sums, for a scalar and for two lanes (the
// same operations in both, so lanes and scalars give the same bits).
struct AbsDiff {
  static double Term(double x, double y) { return std::fabs(x - y); }
  static V2 Term(V2 x, V2 y) {
    const V2 d = x - y;
    const V2i magnitude = {INT64_MAX, INT64_MAX};  // clears the sign bit, as fabs
    return (V2)((V2i)d & magnitude);
  }
};
struct SqrDiff {
  static double Term(double x, double y) {
    const double d = x - y;
    return d * d;
  }
  static V2 Term(V2 x, V2 y) {
    const V2 d = x - y;
    return d * d;
  }
};
struct Product {
  static double Term(double x, double y) { return x * y; }
  static V2 Term(V2 x, V2 y) { return x * y; }
};

// The sums over k of Op(x(k, i), x(k, j)) and Op(x(k, i + 1), x(k, j)) for
// all j > i, into a0[j] and a1[j] (a1[i + 1] receives the sum of row i + 1
// with itself). Src holds NC columns of NN rows. Tiles of 2 rows by 8
// partners keep their 16 sums in registers over all k, so each value of a
// partner row is loaded once per two rows and the partners are processed
// two at a time. Each sum runs over k ascending, as in PairDistance, so the
// results are the same bits.
template <class Op>
void PairSums(const double* src, std::size_t nn, std::size_t nc, std::size_t i, double* a0,
              double* a1) {
  std::size_t j = i + 1;
  for (; j + 8 <= nn; j += 8) {
    V2 s0[4] = {};
    V2 s1[4] = {};
    for (std::size_t k = 0; k < nc; ++k) {
      const double* c = src + k * nn;
      const V2 x0 = {c[i], c[i]};
      const V2 x1 = {c[i + 1], c[i + 1]};
      for (int t = 0; t < 4; ++t) {
        const V2 y = Load2(c + j + 2 * t);
        s0[t] += Op::Term(x0, y);
        s1[t] += Op::Term(x1, y);
      }
    }
    for (int t = 0; t < 4; ++t) {
      Store2(a0 + j + 2 * t, s0[t]);
      Store2(a1 + j + 2 * t, s1[t]);
    }
  }
  for (; j < nn; ++j) {
    double s0 = 0.0;
    double s1 = 0.0;
    for (std::size_t k = 0; k < nc; ++k) {
      const double* c = src + k * nn;
      s0 += Op::Term(c[i], c[j]);
      s1 += Op::Term(c[i + 1], c[j]);
    }
    a0[j] = s0;
    a1[j] = s1;
  }
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
  const auto row = [&](std::size_t r, std::vector<double>& dst) {
    for (std::size_t k = 0; k < nc; ++k) dst[k] = col(k)[r];
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
  std::vector<double> acc1;
  std::vector<double> norm2;   // sum of squares of each row (Jaccard, Dice)
  std::vector<double> maxabs;  // largest magnitude of each row (Jaccard, Dice)
  std::vector<double> xi;
  std::vector<double> xj;
  const bool products = Mode == TDistMode::dmJaccard || Mode == TDistMode::dmDice;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    if (ordered) {
      acc.resize(nn);
      acc1.resize(nn);
    }
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
  // Pairs that need the careful form are computed again from the gathered
  // rows; the others are finished from their sums.
  const auto finish = [&](std::size_t i, double* a) {
    bool have_xi = false;
    const auto careful = [&](std::size_t j) {
      if (!have_xi) {
        row(i, xi);
        have_xi = true;
      }
      row(j, xj);
    };
    if (Mode == TDistMode::dmEuclid) {
      const auto in_range = [](double v) {
        return v >= std::numeric_limits<double>::min() && v <= std::numeric_limits<double>::max();
      };
      const auto one = [&](std::size_t j) {
        if (in_range(a[j])) return std::sqrt(a[j]);
        careful(j);
        return detail::EuclidOf(std::span<const double>(xi), std::span<const double>(xj));
      };
      std::size_t j = i + 1;
#if defined(__SSE2__)
      // Two square roots at a time where no pair needs the careful form
      // (sqrtpd rounds exactly as sqrtsd: both are correctly rounded).
      for (; j + 2 <= nn; j += 2) {
        if (in_range(a[j]) && in_range(a[j + 1])) {
          _mm_storeu_pd(a + j, _mm_sqrt_pd(_mm_loadu_pd(a + j)));
        } else {
          a[j] = one(j);
          a[j + 1] = one(j + 1);
        }
      }
#endif
      for (; j < nn; ++j) a[j] = one(j);
    } else if (Mode == TDistMode::dmJaccard || Mode == TDistMode::dmDice) {
      for (std::size_t j = i + 1; j < nn; ++j) {
        if (NeedsScaling(std::max(maxabs[i], maxabs[j]))) {
          careful(j);
          a[j] = PairDistance(Mode, xi, xj);
        } else {
          a[j] = Similarity(Mode, a[j], norm2[i], norm2[j]);
        }
      }
    }
  };
  const auto emit = [&](std::size_t i, const double* a) {
    const auto ci = static_cast<int32_t>(i) + 1;
    DMat->SetVal(ci, ci, 0.0);
    for (std::size_t j = i + 1; j < nn; ++j) {
      DMat->SetVal(ci, static_cast<int32_t>(j) + 1, a[j]);
      DMat->SetVal(static_cast<int32_t>(j) + 1, ci, a[j]);
    }
  };
  // The lower triangle: element (j, r) := (r, j) for j > r, for the
  // columns r = R0..R1-1 once they are finished. Done every 8 columns, while
  // they are still in cache: the reads run down 8 columns at once and each
  // write fills 8 neighbouring elements of one column.
  std::size_t mirrored = 0;
  const auto mirror = [&](std::size_t r0, std::size_t r1) {
    for (std::size_t j = r0 + 1; j < nn; ++j) {
      double* dst = out + j * nn;
      const std::size_t rend = std::min(r1, j);
      for (std::size_t r = r0; r < rend; ++r) dst[r] = out[r * nn + j];
    }
    mirrored = r1;
  };
  // Two rows i, i + 1 at a time against all rows j > i: the sums of each
  // pair go to a0[j] and a1[j] -- the columns i and i + 1 of DMat (rows j
  // contiguous) when it is written directly, else two scratch rows.
  for (std::size_t i = 0; i + 1 < nn; i += 2) {
    double* a0 = ordered ? acc.data() : out + i * nn;
    double* a1 = ordered ? acc1.data() : out + (i + 1) * nn;
    switch (Mode) {
      case TDistMode::dmManhattan:
        PairSums<AbsDiff>(src, nn, nc, i, a0, a1);
        break;
      case TDistMode::dmEuclid:
      case TDistMode::dmEuclidSqr:
        PairSums<SqrDiff>(src, nn, nc, i, a0, a1);
        break;
      default:  // Jaccard, Dice
        PairSums<Product>(src, nn, nc, i, a0, a1);
        break;
    }
    const bool second = i + 2 < nn;  // row i + 1 has partners
    finish(i, a0);
    if (second) finish(i + 1, a1);
    if (ordered) {
      emit(i, a0);
      if (second) emit(i + 1, a1);
    } else {
      a0[i] = 0.0;  // the diagonal
      a1[i + 1] = 0.0;
      if (i + 2 - mirrored >= 8) mirror(mirrored, i + 2);
    }
  }
  if (ordered) {
    DMat->SetVal(n, n, 0.0);
    return 0;
  }
  out[nn * nn - 1] = 0.0;
  mirror(mirrored, nn);
  return 0;
}

}  // namespace numbra
