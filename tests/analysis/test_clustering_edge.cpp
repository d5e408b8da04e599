// Clustering and nearest neighbours: the small worked cases, bad input,
// handler restoring, abort, and the k-NN weightings against hand-computed
// or exact polynomial values.
#include "ORK_math2.h"
#include "ORK_univconst.h"

#include <cmath>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {
std::unique_ptr<TMatrix> Column(const std::vector<double>& v) {
  auto mp = std::make_unique<TMatrix>();
  TMatrix& m = *mp;
  m.Resize(1, static_cast<int32_t>(v.size()));
  for (std::size_t i = 0; i < v.size(); ++i) m.SetVal(1, static_cast<int32_t>(i) + 1, v[i]);
  return mp;
}

std::unique_ptr<TMatrix> Rows(const std::vector<std::vector<double>>& rows) {
  auto mp = std::make_unique<TMatrix>();
  TMatrix& m = *mp;
  m.Resize(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows[r].size(); ++c)
      m.SetVal(static_cast<int32_t>(c) + 1, static_cast<int32_t>(r) + 1, rows[r][c]);
  return mp;
}

std::unique_ptr<TVector> Vec(const std::vector<double>& v) {
  auto tp = std::make_unique<TVector>();
  TVector& t = *tp;
  t.Resize(static_cast<int32_t>(v.size()));
  for (std::size_t i = 0; i < v.size(); ++i) t.SetVal(static_cast<int32_t>(i) + 1, v[i]);
  return tp;
}
}  // namespace

TEST(KMeans, SixObjectsAndBadInput) {
  auto x_p = Column({0, 1, 2, 3, 10, 30});
  TMatrix& x = *x_p;
  TMatrix centers;
  TIntVector cls, size;
  const double before = ProcStat.load();
  EXPECT_NEAR(kMeansClustering(x, 0, 0, 2, 0, centers, cls, size), 62.8, 1e-12);
  EXPECT_EQ(ProcStat.load() - before, 4.0);  // four passes
  const std::vector<int32_t> want{1, 1, 1, 1, 1, 2};
  EXPECT_EQ(std::vector<int32_t>(cls.Values().begin(), cls.Values().end()), want);
  EXPECT_NEAR(centers.GetVal(1, 1), 3.2, 1e-12);
  EXPECT_EQ(centers.GetVal(1, 2), 30.0);
  EXPECT_EQ(size.GetVal(1), 5);
  EXPECT_EQ(size.GetVal(2), 1);

  // k = n: every object alone, result 0; the short form too.
  EXPECT_EQ(kMeansClustering(x, 0, 0, 6, centers, cls), 0.0);
  for (int32_t i = 1; i <= 6; ++i) EXPECT_EQ(centers.GetVal(1, cls.GetVal(i)), x.GetVal(1, i));

  // Seeded draws are repeatable.
  TIntVector c2, s2;
  const double r1 = kMeansClustering(x, 0, 0, 3, 17, centers, cls, size);
  const double r2 = kMeansClustering(x, 0, 0, 3, 17, centers, c2, s2);
  EXPECT_EQ(r1, r2);
  EXPECT_EQ(cls.CRCofData(), c2.CRCofData());

  const std::vector<std::pair<int32_t, const char*>> bad = {
      {7, "kMeansClustering: number of clusters is greater than number of objects"},
      {0, "kMeansClustering: number of clusters must be at least 1"},
      {-3, "kMeansClustering: number of clusters must be at least 1"}};
  for (const auto& [k, msg] : bad) {
    try {
      (void)kMeansClustering(x, 0, 0, k, 0, centers, cls, size);
      ADD_FAILURE() << k;
    } catch (const EORKMath2Error& e) {
      EXPECT_STREQ(e.what(), msg);
    }
  }
  EXPECT_EQ(kMeansEstimatedSteps(100, 5, 3), 20);
  EXPECT_EQ(kMeansEstimatedSteps(1000000, 1000, 10), 4204);  // 4203.67 rounded
}

TEST(FindCenters, MergesClosestPairsInMemory) {
  auto x_p = Column({0, 1, 10, 11, 12, 40});
  TMatrix& x = *x_p;
  const std::string crc = x.CRCofData();
  TMatrix centers;
  centers.Resize(1, 3);
  double md = 0;
  FindCenters(x, 1, 6, 3, centers, md);
  // Merges: (0,1) -> 0.5 (w 2) and 40 moves to row 2; then (10,11) -> 10.5
  // (w 2), 12 moves to row 4... the centres are 0.5, 40 and the weighted mean
  // of 10, 11, 12.
  std::vector<double> got{centers.GetVal(1, 1), centers.GetVal(1, 2), centers.GetVal(1, 3)};
  std::sort(got.begin(), got.end());
  EXPECT_DOUBLE_EQ(got[0], 0.5);
  EXPECT_DOUBLE_EQ(got[1], 11.0);
  EXPECT_DOUBLE_EQ(got[2], 40.0);
  EXPECT_DOUBLE_EQ(md, (10.5 + 10.5 + 29.0) / 3);
  EXPECT_EQ(x.CRCofData(), crc);
  EXPECT_FALSE(std::filesystem::exists("MAT.$$$"));
  FindCenters(x, 2, 2, 1, centers, md);
  EXPECT_DOUBLE_EQ(md, 1e5);
}

TEST(AgglomClustering, ThreeObjectsHandlerAndAbort) {
  auto x_p = Column({0, 1, 5});
  TMatrix& x = *x_p;
  int calls = 0;
  x.OnCalcDistance = [&](TObject*, int32_t, int32_t, double& d) {
    ++calls;
    d = 0;
  };
  TIntMatrix den;
  TVector md, pos;
  std::vector<double> pct;
  const auto fb = [&](TObject*, double, double p) { pct.push_back(p); };
  ASSERT_EQ(AgglomClustering(nullptr, x, TDistMode::dmEuclid, TClusterMethod::cmSingleLink, 0, den,
                             md, pos, fb, nullptr),
            0);
  const int32_t want[2][3] = {{1, 2, 4}, {4, 3, 5}};
  for (int32_t s = 1; s <= 2; ++s)
    for (int32_t c = 1; c <= 3; ++c) EXPECT_EQ(den.GetVal(c, s), want[s - 1][c - 1]);
  EXPECT_EQ(md.GetVal(1), 1.0);
  EXPECT_EQ(md.GetVal(2), 4.0);
  const std::vector<double> wpos{2, 1, 3, 1.5, 2.25};
  EXPECT_EQ(std::vector<double>(pos.Values().begin(), pos.Values().end()), wpos);
  ASSERT_EQ(pct.size(), 3U);
  EXPECT_EQ(pct[0], 0.0);
  EXPECT_DOUBLE_EQ(pct[1], 100.0 / 3);
  EXPECT_DOUBLE_EQ(pct[2], 200.0 / 3);
  EXPECT_EQ(calls, 0);  // Euclidean distances do not call the handler

  // The user-defined distance goes through OnCalcDist; the matrix's own
  // handler is back afterwards, also when OnCalcDist throws.
  calls = 0;
  const auto user = [](TObject*, int32_t a, int32_t b, double& d) { d = std::abs(a - b); };
  ASSERT_EQ(AgglomClustering(nullptr, x, TDistMode::dmUserDef, TClusterMethod::cmCompleteLink, 0,
                             den, md, pos, nullptr, user),
            0);
  EXPECT_EQ(md.GetVal(2), 2.0);
  const auto thrower = [](TObject*, int32_t, int32_t, double&) { throw std::runtime_error("x"); };
  EXPECT_THROW(AgglomClustering(nullptr, x, TDistMode::dmUserDef, TClusterMethod::cmWard, 0, den,
                                md, pos, nullptr, thrower),
               std::runtime_error);
  double d = 1;
  x.OnCalcDistance(nullptr, 1, 2, d);
  EXPECT_EQ(calls, 1);

  // Abort from the feedback: -1, outputs cleared.
  const auto stop = [](TObject*, double, double p) {
    if (p > 0) AbortMathProc = true;
  };
  EXPECT_EQ(AgglomClustering(nullptr, x, TDistMode::dmEuclid, TClusterMethod::cmUpgma, 0, den, md,
                             pos, stop, nullptr),
            -1);
  AbortMathProc = false;
  EXPECT_EQ(den.Sum(0, 0, 0, 0), 0);
  EXPECT_EQ(pos.GetVal(1), 0.0);

  auto one_p = Column({7});
  TMatrix& one = *one_p;
  EXPECT_EQ(AgglomClustering(nullptr, one, TDistMode::dmEuclid, TClusterMethod::cmSingleLink, 0,
                             den, md, pos, nullptr, nullptr),
            0);
  EXPECT_EQ(den.NrOfRows(), 0);
  EXPECT_EQ(pos.GetVal(1), 1.0);
  TMatrix empty;
  empty.Resize(1, 0);
  EXPECT_EQ(AgglomClustering(nullptr, empty, TDistMode::dmEuclid, TClusterMethod::cmSingleLink, 0,
                             den, md, pos, nullptr, nullptr),
            -2);
  // NaN values: every pair is at no comparable distance; the slots are
  // still joined, in slot order, and the leaf order stays a permutation.
  auto nan_p = Column({1, std::nan(""), 3});
  ASSERT_EQ(AgglomClustering(nullptr, *nan_p, TDistMode::dmEuclid, TClusterMethod::cmSingleLink, 0,
                             den, md, pos, nullptr, nullptr),
            0);
  EXPECT_EQ(den.GetVal(3, 2), 5);
  EXPECT_EQ(pos.GetVal(1) + pos.GetVal(2) + pos.GetVal(3), 6.0);
  EXPECT_EQ(ClusterMethodID[TClusterMethod::cmWard], "Ward's method");
  EXPECT_EQ(ClusterMethodID[TClusterMethod::cmUpgma], "unweighted pair group");
}

TEST(NearestNeighbours, ListsAndKernels) {
  auto x_p = Column({5, 1, 4, 1, 9});
  TMatrix& x = *x_p;
  auto ref_p = Vec({3.5});
  TVector& ref = *ref_p;
  TMatrix nn;
  nn.Resize(2, 150);
  FindNearestNeighbors(150, x, 1, 5, ref, nn, nullptr);
  const double want[5][2] = {{3, 0.5}, {1, 1.5}, {2, 2.5}, {4, 2.5}, {5, 5.5}};
  for (int32_t r = 1; r <= 5; ++r) {
    EXPECT_EQ(nn.GetVal(1, r), want[r - 1][0]) << r;
    EXPECT_EQ(nn.GetVal(2, r), want[r - 1][1]) << r;
  }
  nn.Fill(-1);
  FindNearestNeighbors(2, x, 2, 4, ref, nn, [](int32_t i) { return -i; });
  EXPECT_EQ(nn.GetVal(1, 1), 4.0);
  EXPECT_EQ(nn.GetVal(1, 2), 3.0);
  EXPECT_EQ(nn.GetVal(1, 3), -1.0);

  TVector md;
  md.Resize(5);
  MeanDistanceKNN(x, 1, 0, 99, md);
  for (int32_t i = 1; i <= 5; ++i) EXPECT_EQ(md.GetVal(i), 0.0);
  MeanDistanceKNN(x, 2, 1, 5, md);
  EXPECT_EQ(md.GetVal(1), 0.5);  // 5: itself and 4
  EXPECT_EQ(md.GetVal(2), 0.0);  // 1: itself and the other 1
  EXPECT_EQ(md.GetVal(5), 2.0);  // 9: itself and 5

  auto a_p = Vec({1, 2});
  auto b_p = Vec({1, 2});
  auto far_p = Vec({100, 2});
  const TVector &a = *a_p, &b = *b_p, &far = *far_p;
  EXPECT_EQ(CalcGaussKernel(a, b, 1.0), 1.0);
  EXPECT_EQ(CalcGaussKernel(a, far, 1.0), std::exp(-20.0));
  EXPECT_DOUBLE_EQ(CalcGaussKernel(a, *Vec({2, 2}), 2.0), std::exp(-0.25));
  auto m_p = Rows({{1, 2}, {3, 2}});
  TMatrix& m = *m_p;
  EXPECT_DOUBLE_EQ(CalcGaussKernelMat(a, m, 2, 2.0), std::exp(-1.0));
}

TEST(EstimateByKNN, Weightings) {
  auto x_p = Column({0, 1, 2, 4});
  TMatrix& x = *x_p;
  auto y_p = Vec({10, 20, 30, 50});
  TVector& y = *y_p;
  double est = 0, md = 0;
  EstimateByKNN(x, y, 10, TKnnWMode::kwmAverage, 0, *Vec({1.2}), est, md);
  EXPECT_DOUBLE_EQ(est, 27.5);  // k beyond the objects: all targets
  EXPECT_DOUBLE_EQ(md, (1.2 + 0.2 + 0.8 + 2.8) / 4);
  EstimateByKNN(x, y, 3, TKnnWMode::kwmMedian, 0, *Vec({1.2}), est, md);
  EXPECT_DOUBLE_EQ(est, 20.0);
  // Gauss: d = 0.2, 0.8, 1.2 with mean 2.2 / 3; w = exp(-(d / md)^2).
  EstimateByKNN(x, y, 3, TKnnWMode::kwmGauss, 1.0, *Vec({1.2}), est, md);
  {
    const double m = 2.2 / 3, w1 = std::exp(-std::pow(0.2 / m, 2)),
                 w2 = std::exp(-std::pow(0.8 / m, 2)), w3 = std::exp(-std::pow(1.2 / m, 2));
    EXPECT_NEAR(est, (20 * w1 + 30 * w2 + 10 * w3) / (w1 + w2 + w3), 1e-12);
  }
  // Linear with Param 1: w = 1 - d / md, only the nearest weighs; with
  // Param 2 all three do.
  EstimateByKNN(x, y, 3, TKnnWMode::kwmLinear, 1.0, *Vec({1.2}), est, md);
  EXPECT_DOUBLE_EQ(est, 20.0);
  EstimateByKNN(x, y, 3, TKnnWMode::kwmLinear, 2.0, *Vec({1.2}), est, md);
  {
    const double m = 2.2 / 3, w1 = 1 - 0.2 / m / 2, w2 = 1 - 0.8 / m / 2, w3 = 1 - 1.2 / m / 2;
    EXPECT_NEAR(est, (20 * w1 + 30 * w2 + 10 * w3) / (w1 + w2 + w3), 1e-12);
  }
  // The probe on an object: mean distance 0 is replaced by 0.001.
  EstimateByKNN(x, y, 1, TKnnWMode::kwmLinear, 1.0, *Vec({2}), est, md);
  EXPECT_EQ(md, 0.0);
  EXPECT_EQ(est, 30.0);

  // BiQuad reproduces an exact quadratic in two variables.
  std::vector<std::vector<double>> pts;
  TVector t;
  t.Resize(16);
  const auto f = [](double u, double v) {
    return 1 + 2 * u - v + 0.5 * u * u + 0.25 * v * v + u * v;
  };
  for (int i = 0; i < 16; ++i) {
    const double u = i % 4, v = (i / 4) * 0.7 + 0.1 * (i % 3);
    pts.push_back({u, v});
    t.SetVal(i + 1, f(u, v));
  }
  auto q_p = Rows(pts);
  TMatrix& q = *q_p;
  EstimateByKNN(q, t, 12, TKnnWMode::kwmBiQuad, 0, *Vec({1.5, 1.0}), est, md);
  EXPECT_NEAR(est, f(1.5, 1.0), 1e-10);
  TMatrix none;
  none.Resize(1, 0);
  EstimateByKNN(none, t, 3, TKnnWMode::kwmAverage, 0, *Vec({1}), est, md);
  EXPECT_EQ(est, 0.0);
}
