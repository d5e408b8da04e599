// numbra table FILE.csv: size, column scale types and per-column statistics
// of the valid cells of a CSV table read by TDataTable.
#include "cli.h"
#include "numbra.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

namespace numbra_cli {
// Defined in cmd_describe.cpp.
void ReadCsvTable(const std::string& File, numbra::TDataTable& T, bool NumbersOnly);

/// Prints rows of cells as columns padded to their widest cell: the first
/// column left-aligned, the others right-aligned.
void PrintAligned(const std::vector<std::vector<std::string>>& Cells) {
  std::vector<std::size_t> width;
  for (const auto& row : Cells) {
    if (width.size() < row.size()) width.resize(row.size(), 0);
    for (std::size_t k = 0; k < row.size(); ++k) width[k] = std::max(width[k], row[k].size());
  }
  for (const auto& row : Cells) {
    std::string out;
    for (std::size_t k = 0; k < row.size(); ++k) {
      const std::string pad(width[k] - row[k].size(), ' ');
      out += k == 0 ? row[k] + pad : "  " + pad + row[k];
    }
    std::cout << out << "\n";
  }
}
}  // namespace numbra_cli

namespace {

using namespace numbra_cli;
using numbra::TMScaleType;

int RunTable(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {}, {});
  if (a.positional.size() != 1) throw CliError("usage: numbra table FILE.csv");
  LongTask task("table");
  task.Phase("reading");
  numbra::TDataTable t;
  ReadCsvTable(a.positional[0], t, false);
  task.Check();
  task.ShowProgress(false);
  std::cout << "table: " << t.NrOfColumns() << " columns x " << t.NrOfRows() << " rows\n";
  std::vector<std::vector<std::string>> cells;
  cells.push_back({"column", "type", "valid", "empty", "mean", "stddev", "min", "max", "levels"});
  for (int32_t c = 1; c <= t.NrOfColumns(); ++c) {
    const TMScaleType type = t.GetMScaleType(c);
    std::vector<std::string> row = {
        t.GetColName(c), std::string(numbra::MScaleTypeNames[static_cast<std::size_t>(type)]),
        std::to_string(t.CountValidCells(c, 0, c, 0)),
        std::to_string(t.CountEmptyCells(c, 0, c, 0))};
    double mean = 0, var = 0, lo = 0, hi = 0;
    const int32_t n = t.MeanVarOfNumCells(c, 0, c, 0, mean, var);
    if (n == 0) {
      row.insert(row.end(), 4, "-");
    } else {
      t.MinMaxOfNumCells(c, 0, c, 0, lo, hi);
      // MeanVarOfNumCells reports 1.0 as the variance of fewer than 3
      // values; the table shows the sample standard deviation itself.
      const std::string sd = n == 1   ? "-"
                             : n == 2 ? FormatDouble((hi - lo) / std::sqrt(2.0))
                                      : FormatDouble(std::sqrt(var));
      row.insert(row.end(), {FormatDouble(mean), sd, FormatDouble(lo), FormatDouble(hi)});
    }
    if (type == TMScaleType::stNominal || type == TMScaleType::stOrdinal) {
      int32_t levels = 0;
      for (int32_t k = 1; k <= numbra::kMaxNominalIDs; ++k)
        levels += t.GetNominalID(c, k).empty() ? 0 : 1;
      row.push_back(std::to_string(levels));
    } else {
      row.push_back("-");
    }
    cells.push_back(std::move(row));
  }
  PrintAligned(cells);
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("table", "table FILE.csv",
                   "size, scale types and per-column count, mean, standard deviation, min and max "
                   "of the valid cells of a CSV table (text columns are nominal)",
                   RunTable)
