// numbra distances FILE [--mode MODE] [--out FILE] [--table]: the matrix of
// distances between the rows of a matrix file or a CSV table.
#include "cli.h"
#include "numbra.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace numbra_cli {
// Defined in cmd_describe.cpp.
void LoadDataTable(const std::string& File, bool AsTable, numbra::TMatrix& M,
                   std::vector<std::string>& Names);
}  // namespace numbra_cli

namespace {

using namespace numbra_cli;
using numbra::TDistMode;

// A distance matrix of more rows would take more than 3.2 GB.
constexpr int32_t kMaxRows = 20000;
// From this many columns on, the distance kernel is watched for progress.
constexpr int32_t kWatchColumns = 16;

TDistMode ModeOf(const std::string& name) {
  if (name == "euclid") return TDistMode::dmEuclid;
  if (name == "manhattan") return TDistMode::dmManhattan;
  if (name == "sqeuclid") return TDistMode::dmEuclidSqr;
  if (name == "jaccard") return TDistMode::dmJaccard;
  if (name == "dice") return TDistMode::dmDice;
  throw CliError("--mode: unknown distance \"" + name +
                 "\" (euclid, manhattan, sqeuclid, jaccard or dice)");
}

int RunDistances(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {"--mode", "--out"}, {"--table"});
  if (a.positional.size() != 1)
    throw CliError(
        "usage: numbra distances FILE [--mode euclid|manhattan|sqeuclid|jaccard|dice] "
        "[--out FILE] [--table]");
  const TDistMode mode = ModeOf(a.Get("--mode", "euclid"));
  LongTask task("distances");
  task.Phase("reading");
  numbra::TMatrix m;
  std::vector<std::string> names;
  LoadDataTable(a.positional[0], a.Has("--table"), m, names);
  task.Check();
  const int32_t n = m.NrOfRows();
  if (n > kMaxRows)
    throw CliError("too many rows for a distance matrix (" + std::to_string(n) + "; at most " +
                   std::to_string(kMaxRows) + ")");
  numbra::TMatrix d;
  d.Resize(n, n);
  // The distance kernel reports no progress of its own. Watching the
  // elements it writes (each once, n^2 in all) gives one step per n of them
  // and a point to stop at after Ctrl-C (Step throws Interrupted), at a cost
  // of a few nanoseconds per element: worth it only where the sums over the
  // columns dominate. With fewer columns even 20000 rows take seconds.
  task.Phase("computing", n);
  std::size_t written = 0;
  const auto stride = static_cast<std::size_t>(std::max<int32_t>(n, 1));
  if (m.NrOfColumns() >= kWatchColumns)
    d.OnChange = [&](corvel::TObject*) {
      if (++written == stride) {
        written = 0;
        task.Step();
      }
    };
  const int32_t rc = m.CalcDistMat(mode, &d);
  d.OnChange = nullptr;
  task.Check();
  if (rc != 0) throw CliError("internal error: distance matrix size");
  if (a.Has("--out")) {
    WriteOutputFile(a.Get("--out"), [&](const std::string& tmp) { StoreMatrixText(d, tmp, task); });
    return 0;
  }
  PrintMatrix(d, task);
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("distances",
                   "distances FILE [--mode euclid|manhattan|sqeuclid|jaccard|dice] [--out FILE] "
                   "[--table]",
                   "distances (Jaccard and Dice: similarities) between the rows of a matrix file "
                   "or a CSV table, printed as a table or written in the matrix text form; "
                   "euclid by default",
                   RunDistances)
