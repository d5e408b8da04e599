// numbra kmeans FILE -k K [--seed S] [--table]: k-means clustering of the
// rows of a matrix file or a CSV table.
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
// Defined in cmd_cluster.cpp.
std::vector<std::string> ShortOptions(const std::vector<std::string>& Words);
void RequireFinite(const numbra::TMatrix& M);
}  // namespace numbra_cli

namespace {

using namespace numbra_cli;

int RunKMeans(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(ShortOptions(Words), {"--k", "--seed"}, {"--table"});
  if (a.positional.size() != 1 || !a.Has("--k"))
    throw CliError("usage: numbra kmeans FILE -k K [--seed S] [--table]");
  const int k = a.GetInt("--k", 0);
  const int seed = a.GetInt("--seed", 0);
  LongTask task("kmeans");
  task.Phase("reading");
  numbra::TMatrix m;
  std::vector<std::string> names;
  LoadDataTable(a.positional[0], a.Has("--table"), m, names);
  RequireFinite(m);
  if (k < 1 || k > m.NrOfRows())
    throw CliError("-k: " + std::to_string(k) + " outside 1.." + std::to_string(m.NrOfRows()) +
                   " (the number of objects)");
  task.Phase("iterating");
  numbra::TMatrix centers;
  numbra::TIntVector cls, size;
  double wss = 0.0;
  try {
    wss = numbra::kMeansClustering(m, 0, 0, k, seed, centers, cls, size);
  } catch (const numbra::EORKMath2Error& e) {
    task.Check();
    throw CliError(e.what());
  }
  task.Check();
  task.ShowProgress(false);
  std::cout << "sizes:";
  for (int32_t c = 1; c <= k; ++c) std::cout << ' ' << size.GetVal(c);
  std::cout << "\nwithin-cluster sum of squares: " << FormatDouble(wss) << '\n';
  for (int32_t c = 1; c <= k; ++c) {
    std::cout << "centre " << c << ':';
    for (int32_t j = 1; j <= centers.NrOfColumns(); ++j)
      std::cout << ' ' << FormatDouble(centers.GetVal(j, c));
    std::cout << '\n';
  }
  std::cout << "assignment:\n";
  for (int32_t i = 1; i <= cls.NrOfElem(); ++i) std::cout << i << ' ' << cls.GetVal(i) << '\n';
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("kmeans", "kmeans FILE -k K [--seed S] [--table]",
                   "k-means clustering of the rows: cluster sizes (largest first), centres and "
                   "the cluster of each row; seeds are the first K rows, or K rows drawn with "
                   "seed S",
                   RunKMeans)
