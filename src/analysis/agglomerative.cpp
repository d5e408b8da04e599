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
//
// Single linkage takes a shorter way when it can. Its Lance-Williams rule
// keeps every cluster distance equal to the smallest distance between the
// members, and a merged cluster sits in the slot of its highest-numbered
// object. Step s of the scan therefore joins the two clusters connected by
// the s-th shortest edge of a minimum spanning tree -- provided the tree's
// edge weights are distinct: then exactly one pair of clusters lies at the
// smallest distance in each step, and the row-then-column order never
// comes into play. The tree is grown by Prim's method on the distance
// matrix (one contiguous row per object). When two tree edges are equal,
// or a distance is NaN or not below uc_MaxReal, the cached scan runs
// instead.
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

// A merge of the slots p < q (0-based) at distance d.
struct SlotMerge {
  std::size_t p, q;
  double d;
};

// The single-linkage merge sequence from a minimum spanning tree of the
// symmetric N x N matrix D (N >= 2), or false when the tree has two equal
// edges or some distance is NaN or not below uc_MaxReal.
bool SingleLinkByTree(const double* D, std::size_t N, std::vector<SlotMerge>& out) {
  // Prim's method over the objects not yet in the tree, kept compact:
  // vid[k] an object, key[k] its distance to the tree, via[k] the tree
  // object at that distance. Each pair is read once, when the first of
  // the two joins the tree.
  std::vector<std::size_t> vid(N - 1), via(N - 1, 0);
  std::vector<double> key(N - 1, std::numeric_limits<double>::infinity());
  for (std::size_t k = 0; k + 1 < N; ++k) vid[k] = k + 1;
  std::vector<SlotMerge> edge;
  edge.reserve(N - 1);
  std::size_t u = 0;
  for (std::size_t m = N - 1; m > 0; --m) {
    const double* row = D + u * N;
    bool bad = false;
    double best = std::numeric_limits<double>::infinity();
    std::size_t bk = 0;
    for (std::size_t k = 0; k < m; ++k) {
      const double d = row[vid[k]];
      bad |= !(d < uc_MaxReal);
      if (d < key[k]) {
        key[k] = d;
        via[k] = u;
      }
      if (key[k] < best) {
        best = key[k];
        bk = k;
      }
    }
    if (bad) return false;
    edge.push_back({via[bk], vid[bk], key[bk]});
    u = vid[bk];
    vid[bk] = vid[m - 1];
    via[bk] = via[m - 1];
    key[bk] = key[m - 1];
  }
  std::sort(edge.begin(), edge.end(),
            [](const SlotMerge& a, const SlotMerge& b) { return a.d < b.d; });
  for (std::size_t e = 1; e < edge.size(); ++e)
    if (!(edge[e - 1].d < edge[e].d)) return false;
  // Kruskal's joins in that order; a cluster's slot is its largest object.
  std::vector<std::size_t> up(N), slot(N);
  for (std::size_t i = 0; i < N; ++i) up[i] = slot[i] = i;
  const auto root = [&](std::size_t i) {
    while (up[i] != i) i = up[i] = up[up[i]];
    return i;
  };
  out.clear();
  out.reserve(N - 1);
  for (const SlotMerge& e : edge) {
    const std::size_t a = root(e.p);
    const std::size_t b = root(e.q);
    const std::size_t p = std::min(slot[a], slot[b]);
    const std::size_t q = std::max(slot[a], slot[b]);
    out.push_back({p, q, e.d});
    up[a] = b;
    slot[b] = q;
  }
  return true;
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
  std::vector<SlotMerge> tree;  // the whole merge sequence, when known in advance
  bool by_tree = false;
  {
    TMatrix dm;
    dm.Resize(n, n);
    {
      HandlerGuard guard(DataMat, OnCalcDist);
      DataMat.CalcDistMat(DistMode, &dm);
    }
    // Symmetric: row-major and column-major agree.
    const auto v = dm.Values();
    if (ClusterMethod == TClusterMethod::cmSingleLink && n > 2)
      by_tree = SingleLinkByTree(v.data(), N, tree);
    if (!by_tree) {
      D.reserve(v.size());
      AdviseHugePages(D.data(), v.size() * sizeof(double));
      D.assign(v.begin(), v.end());
    }
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
  if (!by_tree)
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
    const auto row = static_cast<std::size_t>(s - 1);
    if (by_tree) {
      const SlotMerge& t = tree[row];
      dendro[3 * row] = id[t.p];
      dendro[3 * row + 1] = id[t.q];
      dendro[3 * row + 2] = n + s;
      heights[row] = t.d;
      id[t.q] = n + s;
      id[t.p] = 0;
      continue;
    }
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
