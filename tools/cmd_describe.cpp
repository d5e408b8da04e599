// numbra describe FILE [--table]: per column count, mean, standard
// deviation, min, quartiles and max of a matrix file or a CSV table.
#include "ORK_filesys.h"
#include "cli.h"
#include "numbra.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace numbra_cli {

// Defined in cmd_matrix.cpp.
void LoadMatrixFile(const std::string& File, bool AsTable, numbra::TMatrix& M);

namespace {

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// Whether the file starts as one of the library's own matrix forms (binary,
// XML, or the text form with its "LoC LoR HiC HiR" header line).
bool LooksLikeMatrixForm(const std::string& File) {
  std::ifstream in(File, std::ios::binary);
  std::string first;
  char head[8] = {};
  in.read(head, sizeof head);
  if (in.gcount() == 8 && std::memcmp(head, "NUMBRAMX", 8) == 0) return true;
  in.clear();
  in.seekg(0);
  while (std::getline(in, first) && Trim(first).empty()) {
  }
  std::istringstream words(first);
  std::vector<std::string> w;
  for (std::string x; words >> x;) w.push_back(x);
  if (!w.empty() && w.front().front() == '<') return true;
  if (w.size() != 4) return false;
  for (const std::string& x : w)
    if (x.find_first_not_of("0123456789") != std::string::npos) return false;
  return true;
}

}  // namespace

void ReadCsvTable(const std::string& File, numbra::TDataTable& T, bool NumbersOnly) {
  if (!corvel::FileExists(File)) throw CliError("cannot open \"" + File + "\"");
  numbra::TCSVImportOptions o;
  o.ColHeaders = numbra::TCSVHeaderMode::hmDetect;
  o.NumbersOnly = NumbersOnly;
  numbra::TCSVImportReport rep;
  const int32_t rc = T.ImportFromCSV(File, o, &rep);
  if (rc == numbra::csvErrNoData) throw CliError("\"" + File + "\" holds no data");
  if (rc < 0) throw CliError("\"" + File + "\", " + rep.Message);
}

// Reads File as a data table into M (columns the variables, rows the
// objects). The library's own matrix forms are read by the library (unless
// AsTable); anything else is read as a CSV table by TDataTable (delimiter
// detected among ',', ';', tab, ':' and runs of blanks; a first record with
// a text field holds the column names; lines starting with '#' are
// comments). Missing values (empty fields, "NA", "N/A", "?" ...)
// become NaN. Names is filled with the column names ("1", "2", ... without
// a header line). Raises CliError for a ragged table or a field that is
// neither a number nor missing.
void LoadDataTable(const std::string& File, bool AsTable, numbra::TMatrix& M,
                   std::vector<std::string>& Names) {
  if (!corvel::FileExists(File)) throw CliError("cannot open \"" + File + "\"");
  Names.clear();
  if (!AsTable && LooksLikeMatrixForm(File)) {
    LoadMatrixFile(File, false, M);
    for (int32_t c = 1; c <= M.NrOfColumns(); ++c) Names.push_back(std::to_string(c));
    return;
  }
  numbra::TDataTable t;
  ReadCsvTable(File, t, true);
  M.Resize(t.NrOfColumns(), t.NrOfRows());
  for (int32_t c = 1; c <= t.NrOfColumns(); ++c) {
    for (int32_t r = 1; r <= t.NrOfRows(); ++r)
      M.SetVal(c, r,
               t.GetIsNumber(c, r) ? t.GetElem(c, r) : std::numeric_limits<double>::quiet_NaN());
    const std::string name = t.GetColName(c);
    Names.push_back(name == "C-" + std::to_string(c) ? std::to_string(c) : name);
  }
}

}  // namespace numbra_cli

namespace {

using namespace numbra_cli;

int RunDescribe(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {}, {"--table"});
  if (a.positional.size() != 1) throw CliError("usage: numbra describe FILE [--table]");
  numbra::TMatrix m;
  std::vector<std::string> names;
  LoadDataTable(a.positional[0], a.Has("--table"), m, names);

  std::vector<std::vector<std::string>> cells;
  cells.push_back({"column", "count", "mean", "stddev", "min", "q1", "median", "q3", "max"});
  for (int32_t c = 1; c <= m.NrOfColumns(); ++c) {
    // The column's numbers; NaN (a missing value) is left out.
    std::vector<double> x;
    for (int32_t r = 1; r <= m.NrOfRows(); ++r)
      if (!std::isnan(m.GetVal(c, r))) x.push_back(m.GetVal(c, r));
    std::vector<std::string> row = {names[static_cast<std::size_t>(c) - 1],
                                    std::to_string(x.size())};
    if (x.empty()) {
      row.insert(row.end(), 7, "-");
    } else {
      numbra::TMatrix v;
      v.Resize(1, static_cast<int32_t>(x.size()));
      for (std::size_t k = 0; k < x.size(); ++k) v.SetVal(1, static_cast<int32_t>(k) + 1, x[k]);
      double mean = 0, var = 0, mn = 0, mx = 0, q1 = 0, q2 = 0, q3 = 0;
      v.MeanVar(0, 0, 0, 0, mean, var);
      v.MinMax(0, 0, 0, 0, mn, mx);
      v.Quartiles(0, 0, 0, 0, q1, q2, q3);
      // MeanVar reports 1.0 as the variance of fewer than 3 values; a
      // description shows the sample standard deviation itself.
      std::string sd = "-";
      if (x.size() == 2)
        sd = FormatDouble(std::fabs(x[0] - x[1]) / std::sqrt(2.0));
      else if (x.size() >= 3)
        sd = FormatDouble(std::sqrt(var));
      for (const std::string& s : {FormatDouble(mean), sd, FormatDouble(mn), FormatDouble(q1),
                                   FormatDouble(q2), FormatDouble(q3), FormatDouble(mx)})
        row.push_back(s);
    }
    cells.push_back(std::move(row));
  }
  // Columns padded to their widest cell: names left-aligned, numbers right.
  std::vector<std::size_t> width(cells.front().size(), 0);
  for (const auto& row : cells)
    for (std::size_t k = 0; k < row.size(); ++k) width[k] = std::max(width[k], row[k].size());
  for (const auto& row : cells) {
    std::string out;
    for (std::size_t k = 0; k < row.size(); ++k) {
      const std::string pad(width[k] - row[k].size(), ' ');
      if (k == 0)
        out += row[k] + pad;
      else
        out += "  " + pad + row[k];
    }
    std::cout << out << "\n";
  }
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("describe", "describe FILE [--table]",
                   "per column count, mean, standard deviation, min, quartiles and max of a matrix "
                   "file or a CSV table (header line optional; empty fields and NA are missing)",
                   RunDescribe)
