// Clustering against independent references (tests/data/clustering,
// make_refs.py): SciPy's linkage on data without ties, a literal full-scan
// agglomeration on data with ties, and NumPy Lloyd iterations.
#include "ORK_math2.h"

#include <cmath>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {
struct Merge {
  int32_t a, b, c;
  double h;
};

struct LinkRef {
  TMatrix data;
  std::vector<Merge> merges;
};

std::string DataPath(const std::string& name) {
  return std::string(NUMBRA_TEST_DATA_DIR) + "/clustering/" + name;
}

void ReadData(std::ifstream& in, int32_t n, int32_t p, TMatrix& m) {
  m.Resize(p, n);
  for (int32_t r = 1; r <= n; ++r)
    for (int32_t c = 1; c <= p; ++c) {
      double v = 0;
      in >> v;
      m.SetVal(c, r, v);
    }
}

void ReadLinkage(const std::string& name, LinkRef& ref) {
  std::ifstream in(DataPath(name));
  int32_t n = 0, p = 0;
  in >> n >> p;
  ReadData(in, n, p, ref.data);
  for (int32_t s = 1; s < n; ++s) {
    Merge m{};
    in >> m.a >> m.b >> m.c >> m.h;
    ref.merges.push_back(m);
  }
  EXPECT_TRUE(in) << name;
}

struct LinkCase {
  const char* file;
  TDistMode dist;
  TClusterMethod method;
  double rel_tol;  // 0: bit for bit
};

class ClusteringReference : public ::testing::TestWithParam<LinkCase> {};

TEST_P(ClusteringReference, MergeSequenceAndHeights) {
  const LinkCase& tc = GetParam();
  LinkRef ref;
  ReadLinkage(tc.file, ref);
  TIntMatrix dendro;
  TVector md, pos;
  ASSERT_EQ(AgglomClustering(nullptr, ref.data, tc.dist, tc.method, 0.25, dendro, md, pos, nullptr,
                             nullptr),
            0);
  ASSERT_EQ(dendro.NrOfRows(), static_cast<int32_t>(ref.merges.size()));
  for (int32_t s = 1; s <= dendro.NrOfRows(); ++s) {
    const Merge& m = ref.merges[static_cast<std::size_t>(s - 1)];
    EXPECT_EQ(dendro.GetVal(1, s), m.a) << tc.file << " step " << s;
    EXPECT_EQ(dendro.GetVal(2, s), m.b) << tc.file << " step " << s;
    EXPECT_EQ(dendro.GetVal(3, s), m.c) << tc.file << " step " << s;
    if (tc.rel_tol == 0)
      EXPECT_EQ(md.GetVal(s), m.h) << tc.file << " step " << s;
    else
      EXPECT_NEAR(md.GetVal(s), m.h, tc.rel_tol * m.h) << tc.file << " step " << s;
  }
}

using TD = TDistMode;
using TC = TClusterMethod;
INSTANTIATE_TEST_SUITE_P(
    Linkage, ClusteringReference,
    ::testing::Values(LinkCase{"linkage_single.txt", TD::dmEuclid, TC::cmSingleLink, 0},
                      LinkCase{"linkage_complete.txt", TD::dmEuclid, TC::cmCompleteLink, 0},
                      LinkCase{"linkage_average.txt", TD::dmEuclid, TC::cmUpgma, 1e-14},
                      LinkCase{"linkage_weighted.txt", TD::dmEuclid, TC::cmAvgLink, 1e-14},
                      LinkCase{"linkage_ward.txt", TD::dmEuclidSqr, TC::cmWard, 1e-13},
                      LinkCase{"ties_single.txt", TD::dmEuclid, TC::cmSingleLink, 0},
                      LinkCase{"ties_complete.txt", TD::dmEuclid, TC::cmCompleteLink, 0},
                      LinkCase{"ties_avglink.txt", TD::dmEuclid, TC::cmAvgLink, 0},
                      LinkCase{"ties_flexible.txt", TD::dmEuclid, TC::cmFlexLink, 0},
                      LinkCase{"ties_upgma.txt", TD::dmEuclid, TC::cmUpgma, 0},
                      LinkCase{"ties_ward.txt", TD::dmEuclidSqr, TC::cmWard, 0}));

// Labels renamed in order of first appearance: equal partitions compare equal.
std::vector<int32_t> Canonical(const std::vector<int32_t>& lab) {
  std::map<int32_t, int32_t> name;
  std::vector<int32_t> out;
  for (const int32_t l : lab) {
    if (!name.count(l)) name[l] = static_cast<int32_t>(name.size()) + 1;
    out.push_back(name[l]);
  }
  return out;
}

class KMeansReference : public ::testing::TestWithParam<const char*> {};

TEST_P(KMeansReference, LloydFromTheFirstObjects) {
  std::ifstream in(DataPath(GetParam()));
  int32_t n = 0, p = 0, k = 0;
  in >> n >> p >> k;
  TMatrix data;
  ReadData(in, n, p, data);
  double sse = 0;
  in >> sse;
  std::vector<int32_t> lab(static_cast<std::size_t>(n));
  for (auto& l : lab) in >> l;
  ASSERT_TRUE(in);
  TMatrix centers;
  TIntVector cls, size;
  const double res = kMeansClustering(data, 0, 0, k, 0, centers, cls, size);
  EXPECT_NEAR(res, sse, 1e-12 * sse);
  std::vector<int32_t> got(cls.Values().begin(), cls.Values().end());
  EXPECT_EQ(Canonical(got), Canonical(lab));
  for (int32_t c = 2; c <= k; ++c) EXPECT_GE(size.GetVal(c - 1), size.GetVal(c));
  // Centre c is the mean of the objects of cluster c.
  for (int32_t c = 1; c <= k; ++c)
    for (int32_t j = 1; j <= p; ++j) {
      double s = 0;
      int32_t m = 0;
      for (int32_t i = 1; i <= n; ++i)
        if (cls.GetVal(i) == c) {
          s += data.GetVal(j, i);
          ++m;
        }
      EXPECT_EQ(m, size.GetVal(c));
      EXPECT_NEAR(centers.GetVal(j, c), s / m, 1e-13);
    }
}

INSTANTIATE_TEST_SUITE_P(Blobs, KMeansReference,
                         ::testing::Values("kmeans_blobs4.txt", "kmeans_blobs6.txt"));
}  // namespace
