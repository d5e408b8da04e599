// numbra anova FILE [--columns]: one-way analysis of variance. The file holds
// rows "group value" (an integer label and a number; NIST's ANOVA files
// read as they are) or one column per group (lines of numbers, a shorter
// line leaving its last columns empty). '#' starts a comment line. The
// layout is detected: rows when every line has two words of which the first
// is an integer; --columns forces the column layout.
#include "ORK_filesys.h"
#include "cli.h"
#include "numbra.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

using namespace numbra_cli;

bool IsInt32(const std::string& w, int32_t& value) {
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(w.c_str(), &end, 10);
  if (errno != 0 || end == w.c_str() || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
    return false;
  value = static_cast<int32_t>(v);
  return true;
}

struct Table {
  std::vector<std::vector<std::string>> lines;  // words of each data line
  std::vector<int> line_no;
};

Table ReadWords(const std::string& file) {
  std::ifstream in(file);
  if (!in) throw CliError("cannot open \"" + file + "\"");
  Table t;
  std::string line;
  int no = 0;
  while (std::getline(in, line)) {
    ++no;
    std::istringstream ss(line);
    std::vector<std::string> words;
    for (std::string w; ss >> w;) {
      if (w[0] == '#') break;
      words.push_back(w);
    }
    if (words.empty()) continue;
    t.lines.push_back(std::move(words));
    t.line_no.push_back(no);
  }
  if (t.lines.empty()) throw CliError("\"" + file + "\" holds no data");
  return t;
}

int RunAnova(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {}, {"--columns"});
  if (a.positional.size() != 1) throw CliError("usage: numbra anova FILE [--columns]");
  const std::string& file = a.positional[0];
  const Table t = ReadWords(file);
  bool rows = !a.Has("--columns");
  int32_t label = 0;
  for (const auto& w : t.lines)
    if (w.size() != 2 || !IsInt32(w[0], label)) rows = false;

  std::vector<double> values;
  std::vector<int32_t> groups;
  for (std::size_t l = 0; l < t.lines.size(); ++l) {
    const auto& w = t.lines[l];
    const auto number = [&](const std::string& s) {
      const double v = ToDouble(s, "line " + std::to_string(t.line_no[l]));
      if (!std::isfinite(v))
        throw CliError("line " + std::to_string(t.line_no[l]) + ": not a finite number");
      return v;
    };
    if (rows) {
      (void)IsInt32(w[0], label);
      groups.push_back(label);
      values.push_back(number(w[1]));
    } else {
      for (std::size_t c = 0; c < w.size(); ++c) {
        groups.push_back(static_cast<int32_t>(c) + 1);
        values.push_back(number(w[c]));
      }
    }
    if (values.size() > static_cast<std::size_t>(INT32_MAX - 1))
      throw CliError("\"" + file + "\" holds too many values");
  }
  numbra::TVector v;
  numbra::TIntVector g;
  v.Resize(static_cast<int32_t>(values.size()));
  g.Resize(static_cast<int32_t>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    v.SetVal(static_cast<int32_t>(i) + 1, values[i]);
    g.SetVal(static_cast<int32_t>(i) + 1, groups[i]);
  }
  double ssb = 0, ssw = 0, sst = 0, f = 0;
  int32_t dfb = 0, dfw = 0, dft = 0;
  const double p = numbra::Anova1F(v, g, ssb, ssw, sst, dfb, dfw, dft, f);
  if (p == -1.0) throw CliError("at least two groups are needed");
  if (p == -2.0) throw CliError("there must be more values than groups");
  if (p == -3.0) throw CliError("all values are equal: F is undefined");
  std::cout << "layout     " << (rows ? "group value rows" : "one column per group") << "\n"
            << "groups     " << dfb + 1 << "\n"
            << "count      " << dft + 1 << "\n"
            << "source     df  sum of squares  mean square\n"
            << "between    " << dfb << "  " << FormatDouble(ssb) << "  " << FormatDouble(ssb / dfb)
            << "\n"
            << "within     " << dfw << "  " << FormatDouble(ssw) << "  " << FormatDouble(ssw / dfw)
            << "\n"
            << "total      " << dft << "  " << FormatDouble(sst) << "\n"
            << "F          " << FormatDouble(f) << "\n"
            << "p          " << FormatDouble(p) << "\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("anova", "anova FILE [--columns]",
                   "one-way analysis of variance of \"group value\" rows or one column per group",
                   RunAnova)
