// Point files of the geometry commands (numbra hull, numbra area): one
// point "x y" per line, the two numbers separated by blanks, tabs, a comma
// or a semicolon; "#" starts a comment; blank lines are skipped.
#pragma once

#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

namespace numbra_cli {

/// The points of File; raises CliError naming the file and the line when a
/// line does not hold exactly two finite numbers, or when there is no point.
inline numbra::TPDblArray ReadPoints(const std::string& File) {
  std::ifstream in(File, std::ios::binary);
  if (!in) throw CliError("cannot open \"" + File + "\"");
  numbra::TPDblArray pts;
  std::string line;
  for (long lineno = 1; std::getline(in, line); ++lineno) {
    if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    for (char& c : line)
      if (c == ',' || c == ';' || c == '\t' || c == '\r') c = ' ';
    double v[2] = {0, 0};
    int got = 0;
    const char* p = line.c_str();
    for (;;) {
      while (*p == ' ') ++p;
      if (*p == '\0') break;
      char* end = nullptr;
      const double x = std::strtod(p, &end);
      if (end == p || (*end != ' ' && *end != '\0') || !std::isfinite(x) || got == 2)
        throw CliError("\"" + File + "\" line " + std::to_string(lineno) +
                       ": expected two finite numbers \"x y\"");
      v[got++] = x;
      p = end;
    }
    if (got == 0) continue;
    if (got != 2)
      throw CliError("\"" + File + "\" line " + std::to_string(lineno) +
                     ": expected two finite numbers \"x y\"");
    pts.push_back({v[0], v[1]});
  }
  if (pts.empty()) throw CliError("\"" + File + "\" holds no points");
  return pts;
}

}  // namespace numbra_cli
