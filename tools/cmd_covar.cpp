// numbra covar FILE.csv [--mode 0..4]: the covariance-type matrix of the
// columns of a CSV table over the rows where both cells are valid.
#include "cli.h"
#include "numbra.h"

#include <iostream>
#include <string>
#include <vector>

namespace numbra_cli {
void ReadCsvTable(const std::string& File, numbra::TDataTable& T, bool NumbersOnly);
void PrintAligned(const std::vector<std::vector<std::string>>& Cells);
}  // namespace numbra_cli

namespace {

using namespace numbra_cli;

// A matrix of more columns would take more than 3.2 GB.
constexpr int32_t kMaxColumns = 20000;

int RunCovar(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {"--mode"}, {});
  if (a.positional.size() != 1) throw CliError("usage: numbra covar FILE.csv [--mode 0..4]");
  const int mode = a.GetInt("--mode", 1);
  if (mode < 0 || mode > 4)
    throw CliError("--mode: " + std::to_string(mode) +
                   " is none of 0 (sum of products), 1 (covariance), 2 (correlation), 3 "
                   "(squared correlation), 4 (mean squared difference)");
  LongTask task("covar");
  task.Phase("reading");
  numbra::TDataTable all;
  ReadCsvTable(a.positional[0], all, false);
  task.Check();
  // The numeric columns only: codes of nominal columns are no measurements.
  std::vector<int32_t> numeric;
  for (int32_t c = 1; c <= all.NrOfColumns(); ++c)
    if (all.GetMScaleType(c) == numbra::TMScaleType::stInterval ||
        all.GetMScaleType(c) == numbra::TMScaleType::stRatio)
      numeric.push_back(c);
  if (numeric.empty()) throw CliError("\"" + a.positional[0] + "\" has no numeric column");
  numbra::TDataTable t;
  t.Resize(static_cast<int32_t>(numeric.size()), all.NrOfRows());
  for (std::size_t k = 0; k < numeric.size(); ++k) {
    const auto c = static_cast<int32_t>(k) + 1;
    t.CopyFrom(&all, numeric[k], 1, numeric[k], all.NrOfRows(), c, 1);
    t.SetColName(c, all.GetColName(numeric[k]));
  }
  if (t.NrOfColumns() > kMaxColumns)
    throw CliError("too many columns (" + std::to_string(t.NrOfColumns()) + "; at most " +
                   std::to_string(kMaxColumns) + ")");
  numbra::TMatrix m;
  m.Resize(t.NrOfColumns(), t.NrOfColumns());
  // CalcCovar steps once per column mean (modes > 0) and once per column.
  task.Phase("computing", (mode > 0 ? 2.0 : 1.0) * t.NrOfColumns());
  const bool done = t.CalcCovar(&m, 0, 0, 0, 0, mode);
  task.Check();  // an abort is the interrupt, not a failure of the data
  if (!done) throw CliError("internal error: covariance matrix size");
  task.ShowProgress(false);
  std::vector<std::vector<std::string>> cells(1, std::vector<std::string>{""});
  for (int32_t c = 1; c <= t.NrOfColumns(); ++c) cells[0].push_back(t.GetColName(c));
  for (int32_t i = 1; i <= t.NrOfColumns(); ++i) {
    std::vector<std::string> row = {t.GetColName(i)};
    for (int32_t j = 1; j <= t.NrOfColumns(); ++j) row.push_back(FormatDouble(m.GetVal(j, i)));
    cells.push_back(std::move(row));
  }
  PrintAligned(cells);
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("covar", "covar FILE.csv [--mode 0..4]",
                   "covariance (mode 1, the default), correlation (2), squared correlation (3), "
                   "sum of products (0) or mean squared difference (4) of the columns of a CSV "
                   "table's numeric columns, each pair over the rows where both cells are valid",
                   RunCovar)
