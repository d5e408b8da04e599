// numbra block4d info|cut|mean FILE ...: the 4-D block file of TMat4D -- its
// header, a cut-out written to a new block file, and the per-pixel mean over
// layers and time slots computed while streaming (the file is never loaded
// whole).
#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <iostream>
#include <vector>

namespace {

using numbra_cli::CliError;

// "LO,HI" (1-based, inclusive); absent: 0, 0 (the whole extent).
std::pair<int, int> ParseRange(const numbra_cli::Args& a, const std::string& Name) {
  if (!a.Has(Name)) return {0, 0};
  const std::string t = a.Get(Name);
  const auto comma = t.find(',');
  if (comma == std::string::npos) throw CliError(Name + " wants LO,HI, not \"" + t + "\"");
  const int lo = numbra_cli::ToInt(t.substr(0, comma), Name);
  const int hi = numbra_cli::ToInt(t.substr(comma + 1), Name);
  if (lo < 1 || hi < lo) throw CliError(Name + " " + t + ": wants 1 <= LO <= HI");
  return {lo, hi};
}

int Info(const std::string& File) {
  numbra::TMat4D m;
  int32_t x = 0, y = 0, z = 0, t = 0;
  std::string id;
  const bool ok = m.ReadBinaryHeader(File, x, y, z, t, id);
  std::cout << "columns:    " << x << "\nrows:       " << y << "\nlayers:     " << z
            << "\ntime slots: " << t << "\ndata id:    " << id << "\n";
  if (!ok) throw CliError("\"" + File + "\": the header does not describe the file");
  std::cout << "values:     " << static_cast<double>(x) * y * z * t << " ("
            << numbra_cli::FormatDouble(static_cast<double>(x) / 1048576.0 * y * z * t * 8)
            << " MiB)\n";
  return 0;
}

int Cut(const numbra_cli::Args& a) {
  if (a.positional.size() != 3)
    throw CliError("usage: numbra block4d cut FILE OUT [--x LO,HI] ...");
  const auto [x0, x1] = ParseRange(a, "--x");
  const auto [y0, y1] = ParseRange(a, "--y");
  const auto [z0, z1] = ParseRange(a, "--z");
  const auto [t0, t1] = ParseRange(a, "--t");
  numbra::TMat4D m;
  m.LoadBinary(a.positional[1], t0, t1);  // only the selected time slots
  m.Cut(x0, x1, y0, y1, z0, z1, 0, 0);
  m.SaveBinary(a.positional[2], 0, 0);
  std::cout << m.NrOfColumns() << " x " << m.NrOfRows() << " x " << m.NrOfLayers() << " x "
            << m.NrOfTimeSlots() << " written to " << a.positional[2] << "\n";
  return 0;
}

int Mean(const numbra_cli::Args& a) {
  if (a.positional.size() != 2) throw CliError("usage: numbra block4d mean FILE [--t LO,HI]");
  const std::string& file = a.positional[1];
  const auto [t0, t1] = ParseRange(a, "--t");
  numbra::TMat4D m;
  int32_t nx = 0, ny = 0, nz = 0, nt = 0;
  std::string id;
  if (!m.ReadBinaryHeader(file, nx, ny, nz, nt, id))
    throw CliError("\"" + file + "\": the header does not describe the file");
  if (static_cast<double>(nx) * ny > 1e8) throw CliError("more than 10^8 pixels");
  // Per-pixel compensated sums (Neumaier), so the mean keeps its digits
  // over many layers and time slots.
  const auto pixels = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
  std::vector<double> sum(pixels, 0.0), comp(pixels, 0.0);
  std::vector<int64_t> count(pixels, 0);
  m.OnReadElement = [&](numbra::TObject*, int32_t x, int32_t y, int32_t, int32_t, double v) {
    const std::size_t p = static_cast<std::size_t>(y - 1) * static_cast<std::size_t>(nx) +
                          static_cast<std::size_t>(x - 1);
    const double s = sum[p];
    const double t = s + v;
    comp[p] += std::fabs(s) >= std::fabs(v) ? (s - t) + v : (v - t) + s;
    sum[p] = t;
    ++count[p];
  };
  m.ReadBinary(file, t0, t1);
  for (int32_t y = 1; y <= ny; ++y) {
    for (int32_t x = 1; x <= nx; ++x) {
      const std::size_t p = static_cast<std::size_t>(y - 1) * static_cast<std::size_t>(nx) +
                            static_cast<std::size_t>(x - 1);
      const double total = std::isfinite(sum[p]) ? sum[p] + comp[p] : sum[p];
      std::cout << (x > 1 ? " " : "")
                << numbra_cli::FormatDouble(total / static_cast<double>(count[p]));
    }
    std::cout << "\n";
  }
  return 0;
}

int RunBlock4D(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--x", "--y", "--z", "--t"}, {});
  const std::string usage =
      "usage: numbra block4d info FILE | cut FILE OUT [--x LO,HI] [--y LO,HI] [--z LO,HI] "
      "[--t LO,HI] | mean FILE [--t LO,HI]";
  if (a.positional.empty()) throw CliError(usage);
  const std::string& what = a.positional[0];
  if (what == "info" && a.positional.size() == 2) return Info(a.positional[1]);
  if (what == "cut") return Cut(a);
  if (what == "mean") return Mean(a);
  throw CliError(usage);
}

}  // namespace

NUMBRA_CLI_COMMAND("block4d",
                   "block4d info FILE | cut FILE OUT [--x LO,HI] [--y LO,HI] [--z LO,HI] "
                   "[--t LO,HI] | mean FILE [--t LO,HI]",
                   "4-D block files: the header, a cut-out into a new file, the per-pixel mean "
                   "over layers and time slots (streamed, as a table of rows)",
                   RunBlock4D)
