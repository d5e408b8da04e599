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

// Fields of a table line: separated by commas, semicolons or tabs when the
// line has any, otherwise by runs of blanks. Blanks around fields and one
// pair of double quotes around a field are removed.
std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> out;
  if (line.find_first_of(",;\t") != std::string::npos) {
    std::string field;
    for (const char ch : line) {
      if (ch == ',' || ch == ';' || ch == '\t') {
        out.push_back(Trim(field));
        field.clear();
      } else {
        field += ch;
      }
    }
    out.push_back(Trim(field));
  } else {
    std::string word;
    for (const char ch : line) {
      if (ch == ' ' || ch == '\r' || ch == '\n') {
        if (!word.empty()) out.push_back(word);
        word.clear();
      } else {
        word += ch;
      }
    }
    if (!word.empty()) out.push_back(word);
  }
  for (std::string& f : out)
    if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
  return out;
}

bool IsMissing(const std::string& f) { return f.empty() || f == "NA" || f == "N/A" || f == "?"; }

bool ParseNumber(const std::string& f, double& v) {
  if (f.empty()) return false;
  char* end = nullptr;
  v = std::strtod(f.c_str(), &end);
  return end == f.c_str() + f.size();
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
  first = Trim(first);
  if (!first.empty() && first.front() == '<') return true;
  const std::vector<std::string> f = SplitFields(first);
  if (f.size() != 4) return false;
  for (const std::string& w : f)
    if (w.empty() || w.find_first_not_of("0123456789") != std::string::npos) return false;
  return true;
}

}  // namespace

// Reads File as a data table into M (columns the variables, rows the
// objects). The library's own matrix forms are read by the library (unless
// AsTable); anything else is read as a table of numbers separated by
// commas, semicolons, tabs or blanks, whose first line may hold column names
// (when a field of it is not a number). Lines that are empty or start with
// '#' are skipped. Empty fields, "NA", "N/A" and "?" are missing values
// and become NaN. Names is filled with the column names ("1", "2", ...
// without a header line). Raises CliError for a ragged table or a field
// that is neither a number nor missing.
void LoadDataTable(const std::string& File, bool AsTable, numbra::TMatrix& M,
                   std::vector<std::string>& Names) {
  if (!corvel::FileExists(File)) throw CliError("cannot open \"" + File + "\"");
  Names.clear();
  if (!AsTable && LooksLikeMatrixForm(File)) {
    LoadMatrixFile(File, false, M);
    for (int32_t c = 1; c <= M.NrOfColumns(); ++c) Names.push_back(std::to_string(c));
    return;
  }
  std::ifstream in(File, std::ios::binary);
  std::string line;
  std::vector<double> values;  // row by row
  std::size_t ncols = 0;
  std::size_t nrows = 0;
  int line_no = 0;
  while (std::getline(in, line)) {
    ++line_no;
    const std::string t = Trim(line);
    if (t.empty() || t.front() == '#') continue;
    const std::vector<std::string> fields = SplitFields(t);
    if (ncols == 0 && Names.empty()) {
      bool header = false;
      double v = 0;
      for (const std::string& f : fields) header = header || (!IsMissing(f) && !ParseNumber(f, v));
      if (header) {
        Names = fields;
        ncols = fields.size();
        continue;
      }
    }
    if (ncols == 0) ncols = fields.size();
    if (fields.size() != ncols)
      throw CliError("\"" + File + "\", line " + std::to_string(line_no) + ": " +
                     std::to_string(fields.size()) + " fields, expected " + std::to_string(ncols));
    for (std::size_t k = 0; k < fields.size(); ++k) {
      double v = std::numeric_limits<double>::quiet_NaN();
      if (!IsMissing(fields[k]) && !ParseNumber(fields[k], v))
        throw CliError("\"" + File + "\", line " + std::to_string(line_no) + ", field " +
                       std::to_string(k + 1) + ": not a number: \"" + fields[k] + "\"");
      values.push_back(v);
    }
    ++nrows;
  }
  if (ncols == 0 || nrows == 0) throw CliError("\"" + File + "\" holds no data");
  if (ncols > 0x7fffffff || nrows > 0x7fffffff) throw CliError("\"" + File + "\" is too large");
  M.Resize(static_cast<int32_t>(ncols), static_cast<int32_t>(nrows));
  for (std::size_t r = 0; r < nrows; ++r)
    for (std::size_t c = 0; c < ncols; ++c)
      M.SetVal(static_cast<int32_t>(c) + 1, static_cast<int32_t>(r) + 1, values[r * ncols + c]);
  if (Names.empty())
    for (std::size_t c = 1; c <= ncols; ++c) Names.push_back(std::to_string(c));
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
