// Mean distances to the nearest neighbours, nearest-neighbour search,
// k-nearest-neighbour estimates and Gaussian kernels.
//
// The neighbour lists are short sorted arrays (50 or 100 entries) filled by
// sorted insertion; an entry equal to one already listed goes behind it, so
// among equal distances the object met first stays first.
#include "ORK_math2.h"
#include "ORK_univconst.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace numbra {

namespace {
// Ascending list of at most Cap (distance, object) pairs.
class NearList {
 public:
  explicit NearList(std::size_t Cap) : d_(Cap, uc_MaxReal), ix_(Cap, 0) {}
  void Insert(double d, int32_t ix) {
    // Position after every entry <= d; NaN is never listed.
    if (!(d < d_.back())) return;
    const auto it = std::upper_bound(d_.begin(), d_.end(), d);
    const auto k = static_cast<std::size_t>(it - d_.begin());
    for (std::size_t j = d_.size() - 1; j > k; --j) {
      d_[j] = d_[j - 1];
      ix_[j] = ix_[j - 1];
    }
    d_[k] = d;
    ix_[k] = ix;
  }
  [[nodiscard]] double Dist(std::size_t r) const { return d_[r]; }
  [[nodiscard]] int32_t Index(std::size_t r) const { return ix_[r]; }

 private:
  std::vector<double> d_;
  std::vector<int32_t> ix_;
};

// Euclidean distance between Vec and row Row of M over the first Len
// columns (elements beyond either read as 0).
double RowDistance(const TVector& Vec, const TMatrix& M, int32_t Row, int32_t Len) {
  double s = 0.0;
  for (int32_t j = 1; j <= Len; ++j) {
    const double t = Vec.GetVal(j) - M.GetVal(j, Row);
    s += t * t;
  }
  return std::sqrt(s);
}

// The k nearest rows of M (all rows) to Probe, k already clamped to 1..100.
NearList Nearest(const TMatrix& M, const TVector& Probe, int32_t First, int32_t Last,
                 const TCalcDistFunc& CalcDist) {
  NearList list(100);
  for (int32_t i = First; i <= Last; ++i)
    list.Insert(CalcDist ? CalcDist(i) : RowDistance(Probe, M, i, Probe.NrOfElem()), i);
  return list;
}
}  // namespace

void MeanDistanceKNN(const TMatrix& InMat, int32_t k, int32_t LoRow, int32_t HiRow,
                     TVector& MeanDist) {
  const int32_t n = InMat.NrOfRows();
  if (n < 1) return;
  LoRow = std::clamp(LoRow, 1, n);
  HiRow = std::clamp(HiRow, 1, n);
  if (LoRow > HiRow) std::swap(LoRow, HiRow);
  k = std::clamp(k, 1, 50);
  k = std::min(k, n);
  const auto P = static_cast<std::size_t>(InMat.NrOfColumns());
  const auto v = InMat.Values();
  const auto nr = static_cast<std::size_t>(n);
  // Row-major copy of the range, so that each distance reads two
  // contiguous rows.
  const auto m = static_cast<std::size_t>(HiRow - LoRow + 1);
  std::vector<double> x(m * P);
  for (std::size_t c = 0; c < P; ++c)
    for (std::size_t r = 0; r < m; ++r)
      x[r * P + c] = v[c * nr + static_cast<std::size_t>(LoRow - 1) + r];
  for (std::size_t i = 0; i < m; ++i) {
    NearList list(50);
    for (std::size_t j = 0; j < m; ++j) {
      double s = 0.0;
      for (std::size_t c = 0; c < P; ++c) {
        const double t = x[i * P + c] - x[j * P + c];
        s += t * t;
      }
      list.Insert(std::sqrt(s), static_cast<int32_t>(j));
    }
    double sum = 0.0;
    for (std::size_t r = 0; r < static_cast<std::size_t>(k); ++r) sum += list.Dist(r);
    MeanDist.SetVal(LoRow + static_cast<int32_t>(i), sum / k);
  }
}

void FindNearestNeighbors(int32_t k, const TMatrix& DataMat, int32_t FirstObj, int32_t LastObj,
                          const TVector& RefVec, TMatrix& NNMat, const TCalcDistFunc& CalcDist) {
  const int32_t n = DataMat.NrOfRows();
  k = std::min({k, 100, n});
  if (k < 1) return;
  FirstObj = std::clamp(FirstObj, 1, n);
  LastObj = std::clamp(LastObj, 1, n);
  if (FirstObj > LastObj) std::swap(FirstObj, LastObj);
  const NearList list = Nearest(DataMat, RefVec, FirstObj, LastObj, CalcDist);
  for (int32_t r = 1; r <= k; ++r) {
    NNMat.SetVal(1, r, list.Index(static_cast<std::size_t>(r - 1)));
    NNMat.SetVal(2, r, list.Dist(static_cast<std::size_t>(r - 1)));
  }
}

void EstimateByKNN(const TMatrix& DataMat, const TVector& TargetVec, int32_t k, TKnnWMode WMode,
                   double Param, const TVector& ProbeVec, double& Estimate, double& MeanDist) {
  Estimate = 0.0;
  MeanDist = 0.0;
  const int32_t n = DataMat.NrOfRows();
  if (n < 1) return;
  k = std::clamp(k, 1, std::min(n, 100));
  const NearList list = Nearest(DataMat, ProbeVec, 1, n, nullptr);
  // Objects whose distance is NaN are never listed: take only listed ones.
  std::vector<double> d, y;
  std::vector<int32_t> obj;
  for (std::size_t r = 0; r < static_cast<std::size_t>(k); ++r) {
    if (list.Index(r) == 0) break;
    d.push_back(list.Dist(r));
    y.push_back(TargetVec.GetVal(list.Index(r)));
    obj.push_back(list.Index(r));
  }
  if (d.empty()) return;
  const auto kk = static_cast<double>(d.size());
  double sd = 0.0;
  for (const double v : d) sd += v;
  MeanDist = sd / kk;
  const double md = MeanDist == 0.0 ? 0.001 : MeanDist;
  switch (WMode) {
    case TKnnWMode::kwmGauss: {
      double sw = 0.0, swy = 0.0;
      for (std::size_t r = 0; r < d.size(); ++r) {
        const double t = Param * d[r] / md;
        const double w = std::exp(-(t * t));
        sw += w;
        swy += w * y[r];
      }
      Estimate = sw > 0 ? swy / sw : 0.0;
      break;
    }
    case TKnnWMode::kwmAverage: {
      double s = 0.0;
      for (const double v : y) s += v;
      Estimate = s / kk;
      break;
    }
    case TKnnWMode::kwmMedian: {
      TVector t;
      t.Resize(static_cast<int32_t>(y.size()));
      for (std::size_t r = 0; r < y.size(); ++r) t.SetVal(static_cast<int32_t>(r) + 1, y[r]);
      double q1 = 0, q2 = 0, q3 = 0;
      t.Quartiles(0, 0, q1, q2, q3);
      Estimate = q2;
      break;
    }
    case TKnnWMode::kwmLinear: {
      double sw = 0.0, swy = 0.0;
      for (std::size_t r = 0; r < d.size(); ++r) {
        const double w = 1.0 - d[r] / md / Param;
        if (w > 0) {
          sw += w;
          swy += w * y[r];
        }
      }
      Estimate = sw > 0 ? swy / sw : 0.0;
      break;
    }
    case TKnnWMode::kwmBiQuad: {
      const int32_t p = DataMat.NrOfColumns();
      const int32_t nt = 1 + 2 * p + p * (p - 1) / 2;
      // Terms of the full quadratic: 1, x_i, x_i^2, x_i x_j (i < j).
      const auto terms = [&](const auto& value, std::vector<double>& t) {
        t.clear();
        t.push_back(1.0);
        for (int32_t i = 1; i <= p; ++i) t.push_back(value(i));
        for (int32_t i = 1; i <= p; ++i) t.push_back(value(i) * value(i));
        for (int32_t i = 1; i <= p; ++i)
          for (int32_t j = i + 1; j <= p; ++j) t.push_back(value(i) * value(j));
      };
      TMatrix A;
      A.Resize(nt, static_cast<int32_t>(d.size()));
      TVector b;
      b.Resize(static_cast<int32_t>(d.size()));
      std::vector<double> t;
      for (std::size_t r = 0; r < d.size(); ++r) {
        const int32_t o = obj[r];
        terms([&](int32_t i) { return DataMat.GetVal(i, o); }, t);
        for (int32_t c = 1; c <= nt; ++c)
          A.SetVal(c, static_cast<int32_t>(r) + 1, t[static_cast<std::size_t>(c - 1)]);
        b.SetVal(static_cast<int32_t>(r) + 1, y[r]);
      }
      TVector x;
      bool near_singular = false;
      if (!SvdLeastSquares(A, b, x, nullptr, near_singular)) break;
      terms([&](int32_t i) { return ProbeVec.GetVal(i); }, t);
      double e = 0.0;
      for (int32_t c = 1; c <= nt; ++c) e += x.GetVal(c) * t[static_cast<std::size_t>(c - 1)];
      Estimate = e;
      break;
    }
  }
}

double CalcGaussKernel(const TVector& Vec1, const TVector& Vec2, double Width) {
  double s = 0.0;
  for (int32_t i = 1; i <= Vec2.NrOfElem(); ++i) {
    const double t = Vec1.GetVal(i) - Vec2.GetVal(i);
    s += t * t;
  }
  return std::exp(-std::min(20.0, s / (Width * Width)));
}

double CalcGaussKernelMat(const TVector& Vec, const TMatrix& Mat, int32_t Row, double Width) {
  double s = 0.0;
  for (int32_t j = 1; j <= Mat.NrOfColumns(); ++j) {
    const double t = Vec.GetVal(j) - Mat.GetVal(j, Row);
    s += t * t;
  }
  return std::exp(-std::min(20.0, s / (Width * Width)));
}

}  // namespace numbra
