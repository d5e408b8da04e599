// numbra cluster FILE --method M [--dist D] [--flex F] [--out FILE]
// [--table]: hierarchical clustering of the rows, printed as dendrogram
// rows and a text dendrogram.
#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

namespace numbra_cli {
// Defined in cmd_describe.cpp.
void LoadDataTable(const std::string& File, bool AsTable, numbra::TMatrix& M,
                   std::vector<std::string>& Names);

/// "-k" is accepted as "--k" (the clustering commands' short option).
std::vector<std::string> ShortOptions(const std::vector<std::string>& Words) {
  std::vector<std::string> out;
  for (const auto& w : Words) out.push_back(w == "-k" ? "--k" : w);
  return out;
}

/// Raises CliError naming the first row and column holding NaN or infinity.
void RequireFinite(const numbra::TMatrix& M) {
  for (int32_t r = 1; r <= M.NrOfRows(); ++r)
    for (int32_t c = 1; c <= M.NrOfColumns(); ++c)
      if (!std::isfinite(M.GetVal(c, r)))
        throw CliError("row " + std::to_string(r) + ", column " + std::to_string(c) +
                       ": value is not a finite number");
  if (M.NrOfRows() < 1 || M.NrOfColumns() < 1) throw CliError("no data");
}
}  // namespace numbra_cli

namespace {

using namespace numbra_cli;
using numbra::TClusterMethod;
using numbra::TDistMode;

// The distance matrix of more rows would take more than 3.2 GB.
constexpr int32_t kMaxRows = 20000;

TClusterMethod MethodOf(const std::string& name) {
  if (name == "single") return TClusterMethod::cmSingleLink;
  if (name == "complete") return TClusterMethod::cmCompleteLink;
  if (name == "ward") return TClusterMethod::cmWard;
  if (name == "average") return TClusterMethod::cmAvgLink;
  if (name == "flexible") return TClusterMethod::cmFlexLink;
  if (name == "upgma") return TClusterMethod::cmUpgma;
  throw CliError("--method: unknown method \"" + name +
                 "\" (single, complete, ward, average, flexible or upgma)");
}

TDistMode DistOf(const std::string& name) {
  if (name == "euclid") return TDistMode::dmEuclid;
  if (name == "sqeuclid") return TDistMode::dmEuclidSqr;
  if (name == "manhattan") return TDistMode::dmManhattan;
  throw CliError("--dist: unknown distance \"" + name + "\" (euclid, sqeuclid or manhattan)");
}

// Text dendrogram: each merge node as "+ <id>  <height>", its two members
// indented below it, left (smaller drawing position) first; leaves as
// "- <row>".
void PrintTree(const numbra::TIntMatrix& D, const numbra::TVector& H, const numbra::TVector& Pos,
               int32_t n) {
  struct Item {
    int32_t id, depth;
  };
  std::vector<Item> stack{{n > 1 ? 2 * n - 1 : 1, 0}};
  while (!stack.empty()) {
    const Item it = stack.back();
    stack.pop_back();
    const std::string indent(static_cast<std::size_t>(2 * it.depth), ' ');
    if (it.id <= n) {
      std::cout << indent << "- " << it.id << '\n';
      continue;
    }
    const int32_t s = it.id - n;
    std::cout << indent << "+ " << it.id << "  " << FormatDouble(H.GetVal(s)) << '\n';
    int32_t l = D.GetVal(1, s), r = D.GetVal(2, s);
    if (Pos.GetVal(l) > Pos.GetVal(r)) std::swap(l, r);
    stack.push_back({r, it.depth + 1});
    stack.push_back({l, it.depth + 1});
  }
}

int RunCluster(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {"--method", "--dist", "--flex", "--out"}, {"--table"});
  if (a.positional.size() != 1 || !a.Has("--method"))
    throw CliError(
        "usage: numbra cluster FILE --method single|complete|ward|average|flexible|upgma "
        "[--dist euclid|sqeuclid|manhattan] [--flex F] [--out FILE] [--table]");
  const TClusterMethod method = MethodOf(a.Get("--method"));
  // Ward's update is exact for squared Euclidean distances: its default.
  const TDistMode dist =
      DistOf(a.Get("--dist", method == TClusterMethod::cmWard ? "sqeuclid" : "euclid"));
  const double flex = a.GetDouble("--flex", 0.25);
  LongTask task("cluster");
  task.Phase("reading");
  numbra::TMatrix m;
  std::vector<std::string> names;
  LoadDataTable(a.positional[0], a.Has("--table"), m, names);
  RequireFinite(m);
  const int32_t n = m.NrOfRows();
  if (n > kMaxRows)
    throw CliError("too many rows for hierarchical clustering (" + std::to_string(n) +
                   "; at most " + std::to_string(kMaxRows) + ")");
  task.Phase("merging", n - 1);
  numbra::TIntMatrix den;
  numbra::TVector h, pos;
  const int32_t rc =
      numbra::AgglomClustering(nullptr, m, dist, method, flex, den, h, pos, nullptr, nullptr);
  task.Check();
  if (rc != 0) throw CliError("clustering failed");
  if (a.Has("--out")) {
    WriteOutputFile(a.Get("--out"), [&](const std::string& tmp) {
      if (!den.StoreOnFile(0, 0, 0, 0, tmp))
        throw CliError("cannot write \"" + a.Get("--out") + "\"");
    });
  }
  task.ShowProgress(false);
  std::cout << "# " << numbra::ClusterMethodID[method] << ", " << numbra::DistModeId[dist]
            << " distance, " << n << " objects\n# step cluster1 cluster2 new height\n";
  for (int32_t s = 1; s <= n - 1; ++s)
    std::cout << s << ' ' << den.GetVal(1, s) << ' ' << den.GetVal(2, s) << ' ' << den.GetVal(3, s)
              << ' ' << FormatDouble(h.GetVal(s)) << '\n';
  std::cout << "# dendrogram\n";
  PrintTree(den, h, pos, n);
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("cluster",
                   "cluster FILE --method single|complete|ward|average|flexible|upgma "
                   "[--dist euclid|sqeuclid|manhattan] [--flex F] [--out FILE] [--table]",
                   "hierarchical clustering of the rows: one line per merge (clusters 1..n are "
                   "the rows, the cluster of step s is n+s) and a text dendrogram; --out writes "
                   "the merge rows in the integer matrix text form; ward uses squared Euclidean "
                   "distances by default",
                   RunCluster)
