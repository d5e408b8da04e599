// AgglomClustering at a few hundred objects against a literal transcription
// of the procedure run here: a full scan for the first minimum in
// row-then-column order in every step and the Lance-Williams update of the
// whole matrix. The data sets drive the different paths: distinct spanning
// tree edges with many equal distances elsewhere (single linkage from the
// tree), heavy ties and duplicate objects (the cached scan), and plain
// random data.
#include "ORK_math2.h"
#include "ORK_univconst.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {
using Rows = std::vector<std::vector<double>>;

// 1-D points whose neighbour gaps are 1..n-1 in shuffled order, objects
// shuffled too: the tree edges are the gaps, all distinct, while sums of
// gaps equal other gaps all over the matrix.
Rows Chain(int n, std::mt19937& g) {
  std::vector<double> gap(static_cast<std::size_t>(n - 1));
  for (int i = 0; i < n - 1; ++i) gap[static_cast<std::size_t>(i)] = i + 1;
  std::shuffle(gap.begin(), gap.end(), g);
  Rows r{{0.0}};
  for (const double d : gap) r.push_back({r.back()[0] + d});
  std::shuffle(r.begin(), r.end(), g);
  return r;
}

// Points on a 12 x 12 integer grid, duplicates included.
Rows Grid(int n, std::mt19937& g) {
  Rows r;
  for (int i = 0; i < n; ++i) r.push_back({double(g() % 12), double(g() % 12)});
  return r;
}

// Uniform in the unit cube (53 random bits per value).
Rows Uniform(int n, std::mt19937& g) {
  Rows r;
  for (int i = 0; i < n; ++i) {
    std::vector<double> v;
    for (int j = 0; j < 3; ++j) {
      const uint64_t b = (uint64_t{g()} << 21) ^ g();
      v.push_back(static_cast<double>(b & ((uint64_t{1} << 53) - 1)) * 0x1p-53);
    }
    r.push_back(v);
  }
  return r;
}

struct Step {
  int32_t a, b, c;
  double h;
};

std::vector<Step> LiteralScan(const Rows& x, bool squared, TClusterMethod method, double flex) {
  const std::size_t n = x.size();
  std::vector<std::vector<double>> D(n, std::vector<double>(n, 0.0));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) {
      double s = 0;
      for (std::size_t k = 0; k < x[i].size(); ++k) s += (x[i][k] - x[j][k]) * (x[i][k] - x[j][k]);
      D[i][j] = squared ? s : std::sqrt(s);
    }
  std::vector<int32_t> id(n);
  std::vector<double> m(n, 1.0);
  for (std::size_t i = 0; i < n; ++i) id[i] = static_cast<int32_t>(i) + 1;
  std::vector<Step> out;
  for (std::size_t s = 1; s < n; ++s) {
    double best = uc_MaxReal;
    std::size_t p = 0, q = 0;
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = i + 1; j < n; ++j)
        if (id[i] > 0 && id[j] > 0 && D[i][j] < best) {
          best = D[i][j];
          p = i;
          q = j;
        }
    const double mp = m[p], mq = m[q], dpq = D[p][q];
    for (std::size_t r = 0; r < n; ++r) {
      if (id[r] <= 0 || r == p || r == q) continue;
      const double dpr = D[p][r], dqr = D[q][r], mr = m[r];
      double d = 0;
      switch (method) {
        case TClusterMethod::cmSingleLink:
          d = std::min(dpr, dqr);
          break;
        case TClusterMethod::cmCompleteLink:
          d = std::max(dpr, dqr);
          break;
        case TClusterMethod::cmWard:
          d = ((mr + mp) * dpr + (mr + mq) * dqr - mr * dpq) / (mr + mp + mq);
          break;
        case TClusterMethod::cmAvgLink:
          d = (dpr + dqr) / 2;
          break;
        case TClusterMethod::cmFlexLink:
          d = flex * (dpr + dqr) + (1 - 2 * flex) * dpq;
          break;
        case TClusterMethod::cmUpgma:
          d = (mp * dpr + mq * dqr) / (mp + mq);
          break;
      }
      D[r][q] = D[q][r] = d;
    }
    const auto nn = static_cast<int32_t>(n);
    out.push_back({id[p], id[q], nn + static_cast<int32_t>(s), dpq});
    id[q] = nn + static_cast<int32_t>(s);
    m[q] = mq + mp;
    id[p] = 0;
    m[p] = 0;
  }
  return out;
}

struct ScanCase {
  const char* name;
  Rows (*make)(int, std::mt19937&);
  int n;
  TClusterMethod method;
};

class ClusteringLiteralScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ClusteringLiteralScan, SameMergesAndHeights) {
  const ScanCase& tc = GetParam();
  std::mt19937 g(20261208);
  const Rows x = tc.make(tc.n, g);
  const bool ward = tc.method == TClusterMethod::cmWard;
  TMatrix data;
  data.Resize(static_cast<int32_t>(x[0].size()), tc.n);
  for (int32_t i = 1; i <= tc.n; ++i)
    for (int32_t j = 1; j <= data.NrOfColumns(); ++j)
      data.SetVal(j, i, x[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)]);
  TIntMatrix den;
  TVector md, pos;
  ASSERT_EQ(AgglomClustering(nullptr, data, ward ? TDistMode::dmEuclidSqr : TDistMode::dmEuclid,
                             tc.method, 0.25, den, md, pos, nullptr, nullptr),
            0);
  const std::vector<Step> want = LiteralScan(x, ward, tc.method, 0.25);
  ASSERT_EQ(den.NrOfRows(), tc.n - 1);
  for (int32_t s = 1; s < tc.n; ++s) {
    const Step& w = want[static_cast<std::size_t>(s - 1)];
    ASSERT_EQ(den.GetVal(1, s), w.a) << tc.name << " step " << s;
    ASSERT_EQ(den.GetVal(2, s), w.b) << tc.name << " step " << s;
    ASSERT_EQ(md.GetVal(s), w.h) << tc.name << " step " << s;
  }
}

using TC = TClusterMethod;
INSTANTIATE_TEST_SUITE_P(
    AtScale, ClusteringLiteralScan,
    ::testing::Values(ScanCase{"chain_single", Chain, 200, TC::cmSingleLink},
                      ScanCase{"grid_single", Grid, 200, TC::cmSingleLink},
                      ScanCase{"uniform_single", Uniform, 300, TC::cmSingleLink},
                      ScanCase{"grid_complete", Grid, 150, TC::cmCompleteLink},
                      ScanCase{"grid_ward", Grid, 150, TC::cmWard},
                      ScanCase{"grid_avglink", Grid, 150, TC::cmAvgLink},
                      ScanCase{"grid_flexible", Grid, 150, TC::cmFlexLink},
                      ScanCase{"grid_upgma", Grid, 150, TC::cmUpgma}),
    [](const ::testing::TestParamInfo<ScanCase>& i) { return std::string(i.param.name); });

// k-means on the vector path (blocks of 16 objects and a tail) against
// Lloyd passes written out here: equal distances to two centres are common
// on the integer data, where the lower centre must win.
struct KCase {
  const char* name;
  int n, p, k;
  bool integers;
};

class KMeansLiteral : public ::testing::TestWithParam<KCase> {};

TEST_P(KMeansLiteral, SamePartitionCentresAndResult) {
  const KCase& tc = GetParam();
  const auto n = static_cast<std::size_t>(tc.n), p = static_cast<std::size_t>(tc.p),
             k = static_cast<std::size_t>(tc.k);
  std::mt19937 g(7);
  std::vector<double> x(n * p);  // x[i * p + j]
  for (double& v : x) v = tc.integers ? double(g() % 5) : double(g()) * 0x1p-32;
  TMatrix data;
  data.Resize(tc.p, tc.n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < p; ++j)
      data.SetVal(static_cast<int32_t>(j) + 1, static_cast<int32_t>(i) + 1, x[i * p + j]);

  std::vector<double> c(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(k * p));
  std::vector<int32_t> cls(n, 0);
  for (int pass = 0; pass < 1000; ++pass) {
    bool changed = false;
    for (std::size_t i = 0; i < n; ++i) {
      double best = std::numeric_limits<double>::infinity();
      int32_t bc = 1;
      for (std::size_t q = 0; q < k; ++q) {
        double d = 0;
        for (std::size_t j = 0; j < p; ++j) {
          const double t = x[i * p + j] - c[q * p + j];
          d += t * t;
        }
        if (d < best) {
          best = d;
          bc = static_cast<int32_t>(q) + 1;
        }
      }
      changed |= cls[i] != bc;
      cls[i] = bc;
    }
    if (!changed) break;
    std::vector<double> sum(k * p, 0.0);
    std::vector<int32_t> cnt(k, 0);
    for (std::size_t i = 0; i < n; ++i) {
      const auto q = static_cast<std::size_t>(cls[i] - 1);
      ++cnt[q];
      for (std::size_t j = 0; j < p; ++j) sum[q * p + j] += x[i * p + j];
    }
    for (std::size_t q = 0; q < k; ++q)
      for (std::size_t j = 0; j < p; ++j) c[q * p + j] = cnt[q] > 0 ? sum[q * p + j] / cnt[q] : 0;
  }
  double total = 0;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < p; ++j) {
      const double t = x[i * p + j] - c[static_cast<std::size_t>(cls[i] - 1) * p + j];
      total += t * t;
    }

  TMatrix centers;
  TIntVector got, size;
  EXPECT_EQ(kMeansClustering(data, 0, 0, tc.k, 0, centers, got, size), total) << tc.name;
  // The routine numbers the clusters by size: map its numbers onto ours.
  std::vector<int32_t> map(k + 1, 0);
  for (std::size_t i = 0; i < n; ++i) {
    int32_t& m = map[static_cast<std::size_t>(got.GetVal(static_cast<int32_t>(i) + 1))];
    if (m == 0) m = cls[i];
    ASSERT_EQ(m, cls[i]) << tc.name << " object " << i + 1;
  }
  for (std::size_t r = 1; r <= k; ++r) {
    if (map[r] == 0) continue;
    for (std::size_t j = 0; j < p; ++j)
      EXPECT_EQ(centers.GetVal(static_cast<int32_t>(j) + 1, static_cast<int32_t>(r)),
                c[static_cast<std::size_t>(map[r] - 1) * p + j])
          << tc.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    AtScale, KMeansLiteral,
    ::testing::Values(KCase{"ties_p1", 301, 1, 4, true}, KCase{"ties_p3", 250, 3, 7, true},
                      KCase{"real_p10", 333, 10, 20, false}, KCase{"real_p5", 1000, 5, 9, false}),
    [](const ::testing::TestParamInfo<KCase>& i) { return std::string(i.param.name); });
}  // namespace
