// numbra fit MODEL FILE [--x COL] [--y COL] [--at X,...] [--smooth S]
// [--export FILE.asc]: least-squares fit of a model to the points of a
// two-column file (CSV or blank separated, '#' comments, optional header).
#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace numbra_cli {
// Defined in cmd_describe.cpp.
void LoadDataTable(const std::string& File, bool AsTable, numbra::TMatrix& M,
                   std::vector<std::string>& Names);
}  // namespace numbra_cli

namespace {

using namespace numbra_cli;
using numbra::TCurveFit;

constexpr const char* kUsage =
    "usage: numbra fit line|parabola|poly:N|cpoly:N|circle|exp|power|log|gauss|spline FILE "
    "[--x COL] [--y COL] [--at X,X,...] [--smooth S] [--export FILE.asc]";

void Print(const std::string& name, double v) {
  std::cout << name << " = " << FormatDouble(v) << "\n";
}

// "k3" and the like (built in place: GCC 12 warns falsely on a short
// literal plus std::to_string).
std::string Indexed(char Letter, int j) {
  std::string s(1, Letter);
  s += std::to_string(j);
  return s;
}

// Coefficients of sum c_j (x - s)^j in powers of x, summed in long double.
std::vector<double> Uncentre(const std::vector<double>& c, double s) {
  std::vector<long double> r(c.size(), 0.0L);
  for (std::size_t j = 0; j < c.size(); ++j) {
    long double binom = 1.0L;
    for (std::size_t i = 0; i <= j; ++i) {
      r[i] += static_cast<long double>(c[j]) * binom *
              std::pow(-static_cast<long double>(s), static_cast<long double>(j - i));
      binom = binom * static_cast<long double>(j - i) / static_cast<long double>(i + 1);
    }
  }
  return {r.begin(), r.end()};
}

int PolyOrder(const std::string& model, std::size_t prefix) {
  const int n = ToInt(model.substr(prefix), "polynomial degree");
  if (n < 0 || n > 30)
    throw CliError("polynomial degree must be 0..30 (is " + std::to_string(n) + ")");
  return n;
}

std::vector<double> Points(const std::string& list) {
  std::vector<double> v;
  std::stringstream ss(list);
  std::string item;
  while (std::getline(ss, item, ',')) v.push_back(ToDouble(item, "--at value"));
  return v;
}

void RankCorrelations(TCurveFit& f) {
  double p = 0;
  const double tau = f.KendallsTau(p);
  Print("pearson_r", f.CorrCoeff());
  Print("spearman_rs", f.GetSpearman());
  Print("kendall_tau", tau);
  Print("kendall_p", p);
  Print("kruskal_gamma", f.GetKruskalGamma());
}

int RunFit(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {"--x", "--y", "--at", "--smooth", "--export"}, {});
  if (a.positional.size() != 2) throw CliError(kUsage);
  const std::string model = a.positional[0];
  numbra::TMatrix m;
  std::vector<std::string> names;
  LoadDataTable(a.positional[1], true, m, names);
  const int cx = a.GetInt("--x", 1), cy = a.GetInt("--y", 2);
  if (cx < 1 || cy < 1 || cx > m.NrOfColumns() || cy > m.NrOfColumns())
    throw CliError("\"" + a.positional[1] + "\" has " + std::to_string(m.NrOfColumns()) +
                   " columns; --x and --y must name two of them");
  LongTask task("fit");
  TCurveFit f;
  for (int32_t r = 1; r <= m.NrOfRows(); ++r) {
    const double x = m.GetVal(cx, r), y = m.GetVal(cy, r);
    if (!std::isfinite(x) || !std::isfinite(y))
      throw CliError("\"" + a.positional[1] + "\", data row " + std::to_string(r) +
                     ": missing or non-finite value");
    f.EnterStatValue(x, y);
  }
  std::cout << "points = " << f.NumData() << "\n";
  try {
    double k0 = 0, k1 = 0, k2 = 0, q = 0;
    if (model == "line") {
      f.CalcLinFit(k1, k0, q);
      std::cout << "model: y = k0 + k1 x\n";
      Print("k0", k0);
      Print("k1", k1);
      Print("r2", q);
      task.Phase("rank correlations");
      RankCorrelations(f);
    } else if (model == "parabola") {
      f.CalcParabolFit(k0, k1, k2, q);
      std::cout << "model: y = k0 + k1 x + k2 x^2\n";
      Print("k0", k0);
      Print("k1", k1);
      Print("k2", k2);
      Print("r2", q);
    } else if (model.rfind("poly:", 0) == 0 || model.rfind("cpoly:", 0) == 0) {
      const bool centred = model[0] == 'c';
      const int n = PolyOrder(model, centred ? 6 : 5);
      std::vector<double> k(static_cast<std::size_t>(n) + 1);
      bool ns = false;
      double shift = 0;
      task.Phase("decomposition", n + 1);
      const bool ok = centred ? f.CalcCenteredPolyFit(static_cast<uint8_t>(n), k, shift, q, ns)
                              : f.CalcPolyFit(static_cast<uint8_t>(n), k, q, ns);
      task.Check();
      if (!ok) throw CliError("the polynomial fit failed (no convergence or no points)");
      std::cout << "model: y = sum k_j x^j, j = 0.." << n << "\n";
      const std::vector<double> raw = centred ? Uncentre(k, shift) : k;
      for (int j = 0; j <= n; ++j) Print(Indexed('k', j), raw[static_cast<std::size_t>(j)]);
      if (centred) {
        Print("xshift", shift);
        for (int j = 0; j <= n; ++j) Print(Indexed('c', j), k[static_cast<std::size_t>(j)]);
      }
      Print("r2", q);
      std::cout << "near_singular = " << (ns ? "yes" : "no") << "\n";
    } else if (model == "circle") {
      double r = 0, dx = 0, dy = 0;
      f.CalcCircleFit(r, dx, dy);
      std::cout << "model: (x - dx)^2 + (y - dy)^2 = r^2\n";
      Print("r", r);
      Print("dx", dx);
      Print("dy", dy);
    } else if (model == "exp" || model == "power" || model == "log") {
      if (model == "exp") {
        f.CalcExponentialFit(k0, k1, q);
        std::cout << "model: y = k0 exp(k1 x)\n";
      } else if (model == "power") {
        f.CalcPowerFit(k0, k1, q);
        std::cout << "model: y = k0 x^k1\n";
      } else {
        f.CalcLogFit(k0, k1, q);
        std::cout << "model: y = k0 + k1 ln x\n";
      }
      Print("k0", k0);
      Print("k1", k1);
      Print("r2_transformed", q);
    } else if (model == "gauss") {
      f.CalcGaussFit(k0, k1, k2, q);
      std::cout << "model: y = k0 exp(-(x - k1)^2 / (2 k2^2))\n";
      Print("k0", k0);
      Print("k1", k1);
      Print("k2", k2);
      Print("r2_transformed", q);
    } else if (model == "spline") {
      std::vector<double> at = a.Has("--at") ? Points(a.Get("--at")) : std::vector<double>{};
      if (at.empty())
        for (int i = 0; i <= 10; ++i) at.push_back(f.MinX() + (f.MaxX() - f.MinX()) * i / 10.0);
      const bool smooth = a.Has("--smooth");
      if (smooth) {
        const double s = a.GetDouble("--smooth", 0.5);
        if (!(s >= 0) || !std::isfinite(s)) throw CliError("--smooth must be 0 or more");
        f.SetSplineSmoothing(s);
        std::cout << "model: penalised cubic smoothing spline, smoothing factor " << FormatDouble(s)
                  << "\n";
      } else {
        std::cout << "model: natural interpolating cubic spline\n";
      }
      bool valid = true;
      for (double x : at) {
        double y = 0;
        if (smooth)
          y = f.SmoothedSpline(x, q, valid);
        else
          y = f.CubicSpline(x);
        if (!valid) throw CliError("the smoothing spline needs 3 or more distinct x");
        std::cout << FormatDouble(x) << " " << FormatDouble(y) << "\n";
      }
      if (smooth) Print("r2", q);
    } else {
      throw CliError("unknown model \"" + model + "\"; " + kUsage);
    }
  } catch (const numbra::EORKMath2Error& e) {
    throw CliError(e.what());
  }
  if (a.Has("--export")) {
    const std::string msg =
        f.ExportAsASC(a.Get("--export"), "numbra fit " + model + " " + a.positional[1], -1);
    if (!msg.empty()) throw CliError(msg);
  }
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND(
    "fit",
    "fit line|parabola|poly:N|cpoly:N|circle|exp|power|log|gauss|spline FILE [--x COL] "
    "[--y COL] [--at X,X,...] [--smooth S] [--export FILE.asc]",
    "least-squares fit of a model to the (x, y) columns of a file (columns 1 and 2 "
    "unless --x/--y say otherwise): coefficients, fit quality, rank correlations "
    "for line; --export writes the points in the ASC form",
    RunFit)
