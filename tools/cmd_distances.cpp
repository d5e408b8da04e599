// numbra distances FILE [--mode MODE] [--out FILE] [--table]: the matrix of
// distances between the rows of a matrix file or a CSV table.
#include "cli.h"
#include "numbra.h"

#include <iostream>
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
  numbra::TMatrix m;
  std::vector<std::string> names;
  LoadDataTable(a.positional[0], a.Has("--table"), m, names);
  if (m.NrOfRows() > kMaxRows)
    throw CliError("too many rows for a distance matrix (" + std::to_string(m.NrOfRows()) +
                   "; at most " + std::to_string(kMaxRows) + ")");
  numbra::TMatrix d;
  d.Resize(m.NrOfRows(), m.NrOfRows());
  if (m.CalcDistMat(mode, &d) != 0) throw CliError("internal error: distance matrix size");
  if (a.Has("--out")) {
    d.SetFPrecis(1, 0);  // every double exactly
    d.SetFPrecis(2, -1);
    if (!d.StoreOnFile(0, 0, 0, 0, a.Get("--out")))
      throw CliError("cannot write \"" + a.Get("--out") + "\"");
    return 0;
  }
  for (int32_t r = 1; r <= d.NrOfRows(); ++r) {
    std::string line;
    for (int32_t c = 1; c <= d.NrOfColumns(); ++c) {
      if (c > 1) line += ' ';
      line += FormatDouble(d.GetVal(c, r));
    }
    std::cout << line << "\n";
  }
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
