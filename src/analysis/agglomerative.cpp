// Hierarchical agglomerative clustering with the Lance-Williams update.
//
// The merge sequence is that of the full scan -- in each step the active
// pair p < q with the smallest distance, the first in row-then-column order
// on ties -- but the scan is replaced by a cache: for every active slot r
// the first active partner s > r at the smallest distance. The smallest of
// these cached minima, taken in ascending r with strict comparison, is the
// pair the full scan would find. A merge changes only the distances to
// slot q, so afterwards only slot q and the slots whose cached partner was
// p or q may need a new scan; every other slot r merely compares its new
// distance D(r, q) with its cached one.
#include "ORK_math2.h"
#include "ORK_univconst.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace numbra {

namespace {
// Restores the OnCalcDistance handler of the data matrix, whatever happens.
class HandlerGuard {
 public:
  HandlerGuard(TMatrix& M, const TOnCalcDistanceEvent& Temp) : m_(M), saved_(M.OnCalcDistance) {
    m_.OnCalcDistance = Temp;
  }
  ~HandlerGuard() { m_.OnCalcDistance = saved_; }
  HandlerGuard(const HandlerGuard&) = delete;
  HandlerGuard& operator=(const HandlerGuard&) = delete;

 private:
  TMatrix& m_;
  TOnCalcDistanceEvent saved_;
};

// Each merge writes one element into every row of the distance matrix, a
// stride of a whole row apart: with 4 KiB pages nearly every one of those
// writes misses the TLB. Asking for huge pages before the storage is first
// touched removes most of that cost where the kernel offers them on
// request; elsewhere nothing happens.
void AdviseHugePages(void* p, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
  const auto a = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t lo = (a + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t hi = (a + bytes) & ~(kHuge - 1);
  if (hi > lo) (void)madvise(reinterpret_cast<void*>(lo), hi - lo, MADV_HUGEPAGE);
#else
  (void)p;
  (void)bytes;
#endif
}

double LanceWilliams(TClusterMethod M, double FlexParam, double dpr, double dqr, double dpq,
                     double mp, double mq, double mr) {
  switch (M) {
    case TClusterMethod::cmSingleLink:
      return std::min(dpr, dqr);
    case TClusterMethod::cmCompleteLink:
      return std::max(dpr, dqr);
    case TClusterMethod::cmWard:
      return ((mr + mp) * dpr + (mr + mq) * dqr - mr * dpq) / (mr + mp + mq);
    case TClusterMethod::cmAvgLink:
      return (dpr + dqr) / 2;
    case TClusterMethod::cmFlexLink:
      return FlexParam * (dpr + dqr) + (1 - 2 * FlexParam) * dpq;
    case TClusterMethod::cmUpgma:
      return (mp * dpr + mq * dqr) / (mp + mq);
  }
  return 0.0;
}
}  // namespace

int32_t AgglomClustering(TObject* Sender, TMatrix& DataMat, TDistMode DistMode,
                         TClusterMethod ClusterMethod, double FlexParam, TIntMatrix& Dendrogram,
                         TVector& MergeDist, TVector& ObjPos, const TClusterFeedback& Feedback,
                         const TOnCalcDistanceEvent& OnCalcDist) {
  if (Feedback) Feedback(Sender, ProcStat.load(), 0.0);
  const int32_t n = DataMat.NrOfRows();
  if (n < 1) return -2;
  const auto N = static_cast<std::size_t>(n);
  std::vector<double> D;
  {
    TMatrix dm;
    dm.Resize(n, n);
    {
      HandlerGuard guard(DataMat, OnCalcDist);
      DataMat.CalcDistMat(DistMode, &dm);
    }
    const auto v = dm.Values();
    D.reserve(v.size());
    AdviseHugePages(D.data(), v.size() * sizeof(double));
    D.assign(v.begin(), v.end());  // symmetric: row-major and column-major agree
  }
  if (n > 1 && MergeDist.NrOfElem() != n - 1) MergeDist.Resize(n - 1);
  if (ObjPos.NrOfElem() != 2 * n - 1) ObjPos.Resize(2 * n - 1);
  if (Dendrogram.NrOfColumns() != 3 || Dendrogram.NrOfRows() != n - 1) Dendrogram.Resize(3, n - 1);

  std::vector<int32_t> id(N);
  std::vector<double> m(N, 1.0);
  for (std::size_t i = 0; i < N; ++i) id[i] = static_cast<int32_t>(i) + 1;
  // Cached nearest partner (slot index, N for none) and distance of each slot.
  std::vector<std::size_t> nn(N, N);
  std::vector<double> nd(N, uc_MaxReal);
  const auto rescan = [&](std::size_t r) {
    std::size_t best = N;
    double bd = uc_MaxReal;
    const double* row = &D[r * N];
    for (std::size_t s = r + 1; s < N; ++s)
      if (id[s] > 0 && row[s] < bd) {
        bd = row[s];
        best = s;
      }
    nn[r] = best;
    nd[r] = bd;
  };
  for (std::size_t r = 0; r < N; ++r) rescan(r);

  AbortMathProc = false;
  bool aborted = false;
  std::vector<int32_t> dendro(3 * (N > 0 ? N - 1 : 0));
  std::vector<double> heights(N > 0 ? N - 1 : 0);
  for (int32_t s = 1; s <= n - 1; ++s) {
    if (AbortMathProc) {
      aborted = true;
      break;
    }
    StepProcStat();
    if (Feedback) Feedback(Sender, ProcStat.load(), static_cast<double>(s) / n * 100.0);
    std::size_t p = N;
    double best = uc_MaxReal;
    for (std::size_t r = 0; r < N; ++r)
      if (id[r] > 0 && nn[r] < N && nd[r] < best) {
        best = nd[r];
        p = r;
      }
    if (p == N) {
      // No pair below uc_MaxReal is left (infinite or NaN distances): the
      // remaining slots are joined in slot order at the distance found.
      for (std::size_t r = 0; r < N && p == N; ++r)
        if (id[r] > 0) p = r;
      for (std::size_t r = p + 1; r < N; ++r)
        if (id[r] > 0) {
          nn[p] = r;
          break;
        }
      best = D[p * N + nn[p]];
    }
    const std::size_t q = nn[p];
    const double dpq = best;
    const double mp = m[p];
    const double mq = m[q];
    for (std::size_t r = 0; r < N; ++r) {
      if (id[r] <= 0 || r == p || r == q) continue;
      const double dn =
          LanceWilliams(ClusterMethod, FlexParam, D[p * N + r], D[q * N + r], dpq, mp, mq, m[r]);
      D[r * N + q] = dn;
      D[q * N + r] = dn;
    }
    const auto row = static_cast<std::size_t>(s - 1);
    dendro[3 * row] = id[p];
    dendro[3 * row + 1] = id[q];
    dendro[3 * row + 2] = n + s;
    heights[row] = dpq;
    id[q] = n + s;
    m[q] = mq + mp;
    id[p] = 0;
    m[p] = 0;
    // Refresh the cache. Only distances to q changed (and p is gone), so a
    // slot r < q keeps its partner unless that partner was p or q: when it
    // was q, a distance that did not grow leaves q the first minimum; when
    // it was p, a strictly smaller distance to q makes q the partner. Only
    // the remaining cases need a new scan of the row.
    rescan(q);
    for (std::size_t r = 0; r < q; ++r) {
      if (id[r] <= 0) continue;
      const double dn = D[q * N + r];  // row q: contiguous
      if (nn[r] == q) {
        if (dn <= nd[r])
          nd[r] = dn;
        else
          rescan(r);
      } else if (nn[r] == p) {
        if (dn < nd[r]) {
          nd[r] = dn;
          nn[r] = q;
        } else {
          rescan(r);
        }
      } else if (dn < nd[r] || (dn == nd[r] && q < nn[r])) {
        nd[r] = dn;
        nn[r] = q;
      }
    }
  }

  if (aborted) {
    ObjPos.Clear();
    if (n > 1) MergeDist.Clear();
    Dendrogram.Fill(0);
    return -1;
  }
  for (int32_t s = 1; s <= n - 1; ++s) {
    const auto row = static_cast<std::size_t>(s - 1);
    for (int32_t c = 0; c < 3; ++c)
      Dendrogram.SetVal(c + 1, s, dendro[3 * row + static_cast<std::size_t>(c)]);
    MergeDist.SetVal(s, heights[row]);
  }

  // Leaf order: the last merge lists its first member, then its second;
  // every cluster met below it is replaced by its second member, then its
  // first. A stack gives that order without repeated passes.
  std::vector<double> pos(2 * N, 0.0);
  if (n == 1) {
    pos[1] = 1.0;
  } else {
    std::vector<int32_t> stack;
    const auto last = 3 * static_cast<std::size_t>(n - 2);
    stack.push_back(dendro[last + 1]);
    stack.push_back(dendro[last]);
    int32_t next = 1;
    while (!stack.empty()) {
      const int32_t e = stack.back();
      stack.pop_back();
      if (e <= n) {
        pos[static_cast<std::size_t>(e)] = next++;
      } else {
        const auto r = 3 * static_cast<std::size_t>(e - n - 1);
        stack.push_back(dendro[r]);      // first member goes right
        stack.push_back(dendro[r + 1]);  // second member goes left
      }
    }
    for (int32_t s = 1; s <= n - 1; ++s) {
      const auto r = 3 * static_cast<std::size_t>(s - 1);
      pos[static_cast<std::size_t>(n + s)] = (pos[static_cast<std::size_t>(dendro[r])] +
                                              pos[static_cast<std::size_t>(dendro[r + 1])]) /
                                             2;
    }
  }
  for (int32_t i = 1; i <= 2 * n - 1; ++i) ObjPos.SetVal(i, pos[static_cast<std::size_t>(i)]);
  return 0;
}

}  // namespace numbra
