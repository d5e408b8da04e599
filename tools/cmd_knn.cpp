// numbra knn FILE --probe x1,x2,... -k K [--table]: the K rows nearest to a
// probe point.
#include "cli.h"
#include "numbra.h"

#include <iostream>
#include <sstream>
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

int RunKnn(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(ShortOptions(Words), {"--probe", "--k"}, {"--table"});
  if (a.positional.size() != 1 || !a.Has("--probe") || !a.Has("--k"))
    throw CliError("usage: numbra knn FILE --probe x1,x2,... -k K [--table]");
  std::vector<double> probe;
  {
    std::stringstream ss(a.Get("--probe"));
    std::string item;
    while (std::getline(ss, item, ',')) probe.push_back(ToDouble(item, "--probe"));
  }
  const int k = a.GetInt("--k", 0);
  LongTask task("knn");
  task.Phase("reading");
  numbra::TMatrix m;
  std::vector<std::string> names;
  LoadDataTable(a.positional[0], a.Has("--table"), m, names);
  RequireFinite(m);
  if (static_cast<int32_t>(probe.size()) != m.NrOfColumns())
    throw CliError("--probe: " + std::to_string(probe.size()) + " values for " +
                   std::to_string(m.NrOfColumns()) + " columns");
  if (k < 1 || k > 100) throw CliError("-k: " + std::to_string(k) + " outside 1..100");
  numbra::TVector ref;
  ref.Resize(static_cast<int32_t>(probe.size()));
  for (std::size_t i = 0; i < probe.size(); ++i) ref.SetVal(static_cast<int32_t>(i) + 1, probe[i]);
  const int32_t kk = std::min<int32_t>(k, m.NrOfRows());
  numbra::TMatrix nn;
  nn.Resize(2, kk);
  numbra::FindNearestNeighbors(kk, m, 1, m.NrOfRows(), ref, nn, nullptr);
  task.Check();
  task.ShowProgress(false);
  std::cout << "# rank row distance\n";
  for (int32_t r = 1; r <= kk; ++r)
    std::cout << r << ' ' << static_cast<int32_t>(nn.GetVal(1, r)) << ' '
              << FormatDouble(nn.GetVal(2, r)) << '\n';
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("knn", "knn FILE --probe x1,x2,... -k K [--table]",
                   "the K (at most 100) rows nearest to the probe point (Euclidean), nearest "
                   "first, with their distances",
                   RunKnn)
