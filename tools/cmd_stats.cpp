// numbra stats FILE [--autodetect]: descriptive statistics of a vector file.
// numbra histogram FILE --first F --last L --width W [--autodetect]: bins as
// text bars.
#include "ORK_filesys.h"
#include "cli.h"
#include "numbra.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <sstream>

namespace {

using namespace numbra_cli;

// Loads a vector text file ("First Last" header) or, with --autodetect, a
// plain column of numbers.
void LoadVector(const Args& a, numbra::TVector& v) {
  const std::string& file = a.positional[0];
  if (!corvel::FileExists(file)) throw CliError("cannot open \"" + file + "\"");
  if (!v.LoadFromFile(file, true, a.Has("--autodetect")))
    throw CliError("\"" + file + "\" is not a vector text file" +
                   (a.Has("--autodetect") ? "" : " (try --autodetect for a plain column)"));
}

int RunStats(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {}, {"--autodetect"});
  if (a.positional.size() != 1) throw CliError("usage: numbra stats FILE [--autodetect]");
  numbra::TVector v;
  LoadVector(a, v);
  double mean = 0, var = 0, skew = 0, kurt = 0, mn = 0, mx = 0, q1 = 0, q2 = 0, q3 = 0;
  v.MeanVar(0, 0, mean, var);
  v.SkewKurt(0, 0, skew, kurt);
  v.MinMax(0, 0, mn, mx);
  v.Quartiles(0, 0, q1, q2, q3);
  const auto line = [](const char* name, double value) {
    std::cout << std::left << std::setw(10) << name << FormatDouble(value) << "\n";
  };
  std::cout << std::left << std::setw(10) << "count" << v.NrOfElem() << "\n";
  line("sum", v.Sum(0, 0));
  line("mean", mean);
  line("variance", var);
  line("stddev", std::sqrt(var));
  line("skewness", skew);
  line("kurtosis", kurt);
  line("min", mn);
  line("q1", q1);
  line("median", q2);
  line("q3", q3);
  line("max", mx);
  line("mode", v.Mode(0, 0));
  return 0;
}

int RunHistogram(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {"--first", "--last", "--width"}, {"--autodetect"});
  if (a.positional.size() != 1 || !a.Has("--first") || !a.Has("--last") || !a.Has("--width"))
    throw CliError("usage: numbra histogram FILE --first F --last L --width W [--autodetect]");
  numbra::TVector v;
  LoadVector(a, v);
  const double first = a.GetDouble("--first", 0);
  const double last = a.GetDouble("--last", 0);
  const double width = a.GetDouble("--width", 1);
  numbra::TIntVector h;
  int32_t under = 0, over = 0, maxcnt = 0;
  if (!v.Histogram(1, v.NrOfElem(), first, last, width, &h, under, over, maxcnt))
    throw CliError("invalid bins: |last - first| / width must give 1 to 500 bins");
  constexpr int kBarWidth = 50;
  std::cout << "underflow " << under << "\n";
  for (int32_t b = 1; b <= h.NrOfElem(); ++b) {
    const int32_t c = h.GetVal(b);
    const int len = maxcnt > 0 ? static_cast<int>(std::lround(50.0 * c / maxcnt)) : 0;
    std::ostringstream lo;
    lo << FormatDouble(first + (b - 1) * width);
    std::cout << std::right << std::setw(14) << lo.str() << " " << std::setw(8) << c << " "
              << std::string(static_cast<std::size_t>(std::clamp(len, 0, kBarWidth)), '#') << "\n";
  }
  std::cout << "overflow  " << over << "\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("stats", "stats FILE [--autodetect]",
                   "count, sum, mean, variance, standard deviation, skewness, kurtosis, min, "
                   "quartiles, max and mode of a vector file",
                   RunStats)
NUMBRA_CLI_COMMAND("histogram", "histogram FILE --first F --last L --width W [--autodetect]",
                   "histogram of a vector file as text bars", RunHistogram)
