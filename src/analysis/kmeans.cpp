// k-means clustering, its pass estimate and the centre search by pairwise
// merging.
//
// The k-means pass works on the column-major storage of the data as it
// is: a block of objects is taken at a time, and for each centre and each
// variable the block's squared differences are added into the block's
// distances. The inner loop then runs over contiguous objects and
// vectorises, while each distance is still the sum of (x_j - c_j)^2 over
// j = 1..p in ascending order -- the rounding of a plain loop over the
// variables of one centre -- so the assignments are those of the textbook
// pass. On processors with AVX2 a clone of the kernel for it is chosen at
// run time (AVX2 brings no fused multiply-add, so the rounding stays). The
// sums for the next centres are taken block by block right after the
// assignment, while the block is in cache, in ascending object order as a
// plain loop takes them; they are used only when the pass changed a class.
// (Fused multiply-adds standing in for the subtractions were tried and
// lost: on the processors measured they take a register read port from the
// adders.)
#include "ORK_math2.h"
#include "foundation/frame_detail.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace numbra {

namespace {
// Row-major copy of all rows and columns of M.
std::vector<double> RowMajor(const TMatrix& M) {
  const auto nc = static_cast<std::size_t>(M.NrOfColumns());
  const auto nr = static_cast<std::size_t>(M.NrOfRows());
  std::vector<double> x(nc * nr);
  const auto v = M.Values();
  for (std::size_t c = 0; c < nc; ++c)
    for (std::size_t r = 0; r < nr; ++r) x[r * nc + c] = v[c * nr + r];
  return x;
}

constexpr std::size_t kBlock = 128;

// Four doubles, and their comparison masks, in the compiler's vector form:
// the AVX2 clone keeps them in one register, the portable one in two.
using V4 = double __attribute__((vector_size(32)));
using M4 = int64_t __attribute__((vector_size(32)));

// Adds the values of object i (column-major x, N rows) to the sums of its
// cluster c (0-based; sum[c * P + j]) and counts it. Called in ascending
// object order, this gives the order and rounding of a plain loop over the
// objects. Two variables go in one vector operation, which halves the
// stores into the sums.
inline __attribute__((always_inline)) void AddObject(const double* x, std::size_t N, std::size_t P,
                                                     std::size_t i, std::size_t c, double* sum,
                                                     int32_t* size) {
  using V2 = double __attribute__((vector_size(16)));
  ++size[c];
  double* cc = sum + c * P;
  const double* xi = x + i;
  std::size_t j = 0;
  for (; j + 1 < P; j += 2) {
    const V2 v = {xi[j * N], xi[(j + 1) * N]};
    V2 acc;
    std::memcpy(&acc, cc + j, sizeof acc);
    acc += v;
    std::memcpy(cc + j, &acc, sizeof acc);
  }
  if (j < P) cc[j] += xi[j * N];
}

// Nearest centre (1-based, lowest on ties) of the objects i0..i0+nb-1 of
// the column-major data x (n rows) for the centres ct (centre c, variable
// j at ct[c * P + j]). Sixteen objects at a time: their distances to one
// centre are summed over the variables in registers and compared with the
// best so far (strictly, so the lower centre wins ties and NaN never
// wins); a tail of fewer than sixteen goes one object at a time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
__attribute__((target_clones("avx2", "default")))
#endif
void AssignBlock(const double* x, std::size_t n, std::size_t i0, std::size_t nb, const double* ct,
                 std::size_t K, std::size_t P, int32_t* best) {
  constexpr std::size_t L = 4;  // vectors of four objects in flight
  constexpr std::size_t W = 4 * L;
  const std::size_t nw = P > 0 ? nb - nb % W : 0;
  const double inf = std::numeric_limits<double>::infinity();
  for (std::size_t b0 = 0; b0 < nw; b0 += W) {
    V4 m[L], ci[L];
    for (std::size_t l = 0; l < L; ++l) {
      m[l] = V4{inf, inf, inf, inf};
      ci[l] = V4{1, 1, 1, 1};
    }
    const double* xb = x + i0 + b0;
    for (std::size_t c = 0; c < K; ++c) {
      const double* cc = ct + c * P;
      V4 a[L];
      // 0 + t * t is t * t (a square is never -0): the sum starts there.
      for (std::size_t l = 0; l < L; ++l) {
        V4 xv;
        std::memcpy(&xv, xb + 4 * l, sizeof xv);
        const V4 t = xv - cc[0];
        a[l] = t * t;
      }
      for (std::size_t j = 1; j < P; ++j) {
        const double* xj = xb + j * n;
        for (std::size_t l = 0; l < L; ++l) {
          V4 xv;
          std::memcpy(&xv, xj + 4 * l, sizeof xv);
          const V4 t = xv - cc[j];
          a[l] += t * t;
        }
      }
      const double id = static_cast<double>(c + 1);
      const V4 cid = {id, id, id, id};
      // Bitwise selection (a vector cast reinterprets the bits).
      for (std::size_t l = 0; l < L; ++l) {
        const M4 k = a[l] < m[l];
        m[l] = (V4)(((M4)a[l] & k) | ((M4)m[l] & ~k));
        ci[l] = (V4)(((M4)cid & k) | ((M4)ci[l] & ~k));
      }
    }
    for (std::size_t l = 0; l < L; ++l)
      for (std::size_t u = 0; u < 4; ++u) best[b0 + 4 * l + u] = static_cast<int32_t>(ci[l][u]);
  }
  for (std::size_t b = nw; b < nb; ++b) {
    double dmin = std::numeric_limits<double>::infinity();
    int32_t bc = 1;
    for (std::size_t c = 0; c < K; ++c) {
      double acc = 0.0;
      for (std::size_t j = 0; j < P; ++j) {
        const double t = x[j * n + i0 + b] - ct[c * P + j];
        acc += t * t;
      }
      if (acc < dmin) {
        dmin = acc;
        bc = static_cast<int32_t>(c) + 1;
      }
    }
    best[b] = bc;
  }
}

// The sums of the objects i0..i0+nb-1 with the clusters cl[0..nb-1]
// (1-based), taken right after their assignment while they are in cache.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
__attribute__((target_clones("avx2", "default")))
#endif
void AccumulateBlock(const double* x, std::size_t N, std::size_t P, std::size_t i0,
                     std::size_t nb, const int32_t* cl, double* sum, int32_t* size) {
  for (std::size_t b = 0; b < nb; ++b)
    AddObject(x, N, P, i0 + b, static_cast<std::size_t>(cl[b] - 1), sum, size);
}
}  // namespace

double kMeansClustering(const TMatrix& InMat, int32_t a, int32_t b, int32_t NumClust,
                        int32_t RandSeed, TMatrix& Centers, TIntVector& ClassAssign,
                        TIntVector& ClustSize) {
  (void)a;
  (void)b;
  const int32_t n = InMat.NrOfRows();
  const int32_t p = InMat.NrOfColumns();
  const int32_t k = NumClust;
  if (k > n)
    throw EORKMath2Error("kMeansClustering: number of clusters is greater than number of objects");
  if (k < 1) throw EORKMath2Error("kMeansClustering: number of clusters must be at least 1");
  if (Centers.NrOfColumns() != p || Centers.NrOfRows() != k) Centers.Resize(p, k);
  if (ClassAssign.NrOfElem() != n) ClassAssign.Resize(n);
  ClustSize.Resize(k);

  const auto P = static_cast<std::size_t>(p);
  const auto K = static_cast<std::size_t>(k);
  const auto N = static_cast<std::size_t>(n);
  const double* x = InMat.Values().data();  // x[j * N + i]: variable j of object i
  std::vector<double> ct(K * P);            // ct[c * P + j]: variable j of centre c
  std::vector<int32_t> seed(K);
  if (RandSeed < 1) {
    for (std::size_t c = 0; c < K; ++c) seed[c] = static_cast<int32_t>(c);
  } else {
    corvel::SetRandSeed(static_cast<uint64_t>(RandSeed));
    for (std::size_t c = 0; c < K; ++c) seed[c] = corvel::Random(n);
  }
  for (std::size_t c = 0; c < K; ++c)
    for (std::size_t j = 0; j < P; ++j)
      ct[c * P + j] = x[j * N + static_cast<std::size_t>(seed[c])];

  std::vector<int32_t> cls(ClassAssign.Values().begin(), ClassAssign.Values().end());
  std::vector<int32_t> size(K, 0);
  std::vector<int32_t> best(kBlock);
  std::vector<double> sum(K * P);
  int32_t count = 0;
  bool changed = true;
  while (changed && count < 1001 && !AbortMathProc) {
    ++count;
    StepProcStat();
    changed = false;
    // The sums for the new centres are taken along with the assignment
    // and used only when something changed.
    std::fill(size.begin(), size.end(), 0);
    std::fill(sum.begin(), sum.end(), 0.0);
    for (std::size_t i0 = 0; i0 < N; i0 += kBlock) {
      const std::size_t nb = std::min(kBlock, N - i0);
      AssignBlock(x, N, i0, nb, ct.data(), K, P, best.data());
      AccumulateBlock(x, N, P, i0, nb, best.data(), sum.data(), size.data());
      for (std::size_t b = 0; b < nb; ++b)
        if (cls[i0 + b] != best[b]) {
          cls[i0 + b] = best[b];
          changed = true;
        }
    }
    if (changed) {
      // An empty cluster's centre is 0.
      for (std::size_t c = 0; c < K; ++c)
        for (std::size_t j = 0; j < P; ++j)
          ct[c * P + j] = size[c] > 0 ? sum[c * P + j] / size[c] : 0.0;
    }
  }
  if (AbortMathProc) return 0.0;

  double total = 0.0;
  for (std::size_t i = 0; i < N; ++i) {
    const auto c = static_cast<std::size_t>(cls[i] - 1);
    for (std::size_t j = 0; j < P; ++j) {
      const double t = x[j * N + i] - ct[c * P + j];
      total += t * t;
    }
  }
  // When the very first pass changed nothing the counts were never taken.
  std::fill(size.begin(), size.end(), 0);
  for (std::size_t i = 0; i < N; ++i) ++size[static_cast<std::size_t>(cls[i] - 1)];

  // Renumbering by size: (cluster, size) pairs sorted on the size,
  // descending, with the integer matrix row sort.
  TIntMatrix order;
  order.Resize(2, k);
  for (int32_t c = 1; c <= k; ++c) {
    order.SetVal(1, c, c);
    order.SetVal(2, c, size[static_cast<std::size_t>(c - 1)]);
  }
  order.SortRows(2, false, 0, 0, 0, 0);
  std::vector<int32_t> newid(K);
  for (int32_t r = 1; r <= k; ++r) newid[static_cast<std::size_t>(order.GetVal(1, r) - 1)] = r;
  for (int32_t r = 1; r <= k; ++r) {
    const auto old = static_cast<std::size_t>(order.GetVal(1, r) - 1);
    ClustSize.SetVal(r, size[old]);
    for (std::size_t j = 0; j < P; ++j)
      Centers.SetVal(static_cast<int32_t>(j) + 1, r, ct[old * P + j]);
  }
  for (std::size_t i = 0; i < N; ++i)
    ClassAssign.SetVal(static_cast<int32_t>(i) + 1, newid[static_cast<std::size_t>(cls[i] - 1)]);
  if (count >= 1001) throw EORKMath2Error("kMeansClustering: max. number of iterations exceeded");
  return total;
}

double kMeansClustering(const TMatrix& InMat, int32_t a, int32_t b, int32_t NumClust,
                        TMatrix& Centers, TIntVector& ClassAssign) {
  TIntVector sizes;
  return kMeansClustering(InMat, a, b, NumClust, 0, Centers, ClassAssign, sizes);
}

int32_t kMeansEstimatedSteps(int32_t a, int32_t b, int32_t c) {
  const double A = a;
  const double B = b;
  const double C = c;
  const double v = 0.18232 * std::sqrt(A * B) - 0.00092427 * A - 0.00017557 * A * C +
                   0.38775 * std::sqrt(A * C) - 108.0;
  if (!(v >= 20.0)) return 20;  // NaN for negative products as well
  if (v > 2147483647.0) return 2147483647;
  return static_cast<int32_t>(std::nearbyint(v));
}

void FindCenters(const TMatrix& InMat, int32_t LoRow, int32_t HiRow, int32_t NumCenters,
                 TMatrix& Centers, double& MeanDist) {
  MeanDist = 0.0;
  const int32_t n = InMat.NrOfRows();
  const int32_t p = InMat.NrOfColumns();
  if (n < 1 || NumCenters < 1 || Centers.NrOfRows() < NumCenters) return;
  LoRow = std::clamp(LoRow, 1, n);
  HiRow = std::clamp(HiRow, 1, n);
  if (LoRow > HiRow) std::swap(LoRow, HiRow);
  const auto P = static_cast<std::size_t>(p);
  // The working copy replaces the temporary file: InMat itself is never
  // written, so it needs no restoring and nothing lands on disk.
  std::vector<double> x = RowMajor(InMat);
  const auto row = [&](int32_t r) { return &x[static_cast<std::size_t>(r - 1) * P]; };
  std::vector<double> w(static_cast<std::size_t>(n) + 1, 1.0);
  int32_t hi = HiRow;
  while (hi - LoRow + 1 > NumCenters) {
    StepProcStat();
    double best = 1e10;
    int32_t ba = 0, bb = 0;
    for (int32_t i = LoRow; i < hi; ++i)
      for (int32_t j = i + 1; j <= hi; ++j) {
        const double* xi = row(i);
        const double* xj = row(j);
        double s = 0.0;
        for (std::size_t c = 0; c < P; ++c) {
          const double t = xi[c] - xj[c];
          s += t * t;
        }
        if (s < best) {
          best = s;
          ba = i;
          bb = j;
        }
      }
    if (ba == 0) break;  // every remaining pair is too far apart to merge
    double* xa = row(ba);
    const double* xb = row(bb);
    const double wa = w[static_cast<std::size_t>(ba)];
    const double wb = w[static_cast<std::size_t>(bb)];
    for (std::size_t c = 0; c < P; ++c) xa[c] = (xa[c] * wa + xb[c] * wb) / (wa + wb);
    w[static_cast<std::size_t>(ba)] = wa + wb;
    std::copy_n(row(hi), P, row(bb));
    w[static_cast<std::size_t>(bb)] = w[static_cast<std::size_t>(hi)];
    --hi;
  }
  const int32_t nc = Centers.NrOfColumns();
  for (int32_t r = 0; r < NumCenters; ++r)
    for (int32_t c = 1; c <= nc; ++c) {
      const int32_t src = LoRow + r;
      Centers.SetVal(c, r + 1, (src <= n && c <= p) ? row(src)[c - 1] : 0.0);
    }
  double sum = 0.0;
  for (int32_t i = 1; i <= NumCenters; ++i) {
    double dmin = 1e10;
    for (int32_t j = 1; j <= NumCenters; ++j) {
      if (j == i) continue;
      double s = 0.0;
      for (int32_t c = 1; c <= nc; ++c) {
        const double t = Centers.GetVal(c, i) - Centers.GetVal(c, j);
        s += t * t;
      }
      dmin = std::min(dmin, s);
    }
    sum += std::sqrt(dmin);
  }
  MeanDist = sum / NumCenters;
}

}  // namespace numbra
