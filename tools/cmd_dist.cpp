// numbra dist NAME FUNCTION X [PARAMS]: densities, distribution functions,
// quantiles and p-values of the ORK_statis distributions, for example
//   numbra dist t cdf 2.1 10
//   numbra dist normal quantile 0.975
#include "cli.h"
#include "numbra.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace numbra_cli;

// One function of one distribution: the parameter names (after X) and the
// evaluation.
struct TDistFn {
  std::string dist;
  std::string fn;
  std::vector<std::string> params;
  std::string what;
  std::function<double(double x, const std::vector<double>& p)> eval;
};

int32_t Int(double v, const std::string& name) {
  if (!(v == std::floor(v)) || std::fabs(v) > 2147483647.0)
    throw CliError(name + " must be a whole number, got " + FormatDouble(v));
  return static_cast<int32_t>(v);
}

numbra::TSignifLevel Level(double alpha) {
  const double levels[] = {0.20, 0.15, 0.10, 0.05, 0.01};
  for (int i = 0; i < 5; ++i)
    if (alpha == levels[i]) return static_cast<numbra::TSignifLevel>(i);
  throw CliError("level must be one of 0.2, 0.15, 0.1, 0.05, 0.01, got " + FormatDouble(alpha));
}

const std::vector<TDistFn>& Table() {
  using P = const std::vector<double>&;
  static const std::vector<TDistFn> table = {
      {"normal",
       "pdf",
       {},
       "standard normal density",
       [](double x, P) { return numbra::nDistriDensity(x); }},
      {"normal", "cdf", {}, "P(Z <= X)", [](double x, P) { return numbra::nDistriIntegral(x); }},
      {"normal",
       "quantile",
       {},
       "z with P(Z <= z) = X",
       [](double x, P) {
         if (!(x > 0 && x < 1)) throw CliError("probability must lie strictly between 0 and 1");
         return numbra::nDistriQuantile(x);
       }},
      {"t",
       "pdf",
       {"DF"},
       "Student t density",
       [](double x, P p) { return numbra::tDistriDensity(x, Int(p[0], "DF")); }},
      {"t",
       "cdf",
       {"DF"},
       "P(T <= X)",
       [](double x, P p) { return numbra::tDistriIntegral(x, Int(p[0], "DF")); }},
      {"t",
       "quantile",
       {"DF"},
       "t with P(T <= t) = X",
       [](double x, P p) { return numbra::tDistriQuantile(x, Int(p[0], "DF")); }},
      {"chi2",
       "pdf",
       {"DF"},
       "chi-squared density",
       [](double x, P p) { return numbra::Chi2DistriDensity(x, Int(p[0], "DF")); }},
      {"chi2",
       "cdf",
       {"DF"},
       "P(X2 <= X)",
       [](double x, P p) { return numbra::chi2DistriIntegral(x, Int(p[0], "DF")); }},
      {"chi2",
       "quantile",
       {"DF"},
       "x with P(X2 <= x) = X",
       [](double x, P p) { return numbra::chi2DistriQuantile(x, Int(p[0], "DF")); }},
      {"f",
       "pdf",
       {"DF1", "DF2"},
       "F density",
       [](double x, P p) { return numbra::FDistriDensity(x, Int(p[0], "DF1"), Int(p[1], "DF2")); }},
      {"f",
       "cdf",
       {"DF1", "DF2"},
       "P(F <= X)",
       [](double x, P p) {
         return numbra::FDistriIntegral(x, Int(p[0], "DF1"), Int(p[1], "DF2"));
       }},
      {"f",
       "quantile",
       {"DF1", "DF2"},
       "x with P(F <= x) = X",
       [](double x, P p) {
         return numbra::FDistriQuantile(x, Int(p[0], "DF1"), Int(p[1], "DF2"));
       }},
      {"u",
       "pdf",
       {"N1", "N2"},
       "Mann-Whitney P(U = X)",
       [](double x, P p) {
         return numbra::UDistriDensity(Int(p[0], "N1"), Int(p[1], "N2"), Int(x, "U"));
       }},
      {"u",
       "cdf",
       {"N1", "N2"},
       "Mann-Whitney P(U <= X)",
       [](double x, P p) {
         return numbra::UDistriIntegral(Int(p[0], "N1"), Int(p[1], "N2"), Int(x, "U"));
       }},
      {"u",
       "quantile",
       {"N1", "N2"},
       "smallest u with P(U <= u) >= X",
       [](double x, P p) { return numbra::UDistriQuantile(Int(p[0], "N1"), Int(p[1], "N2"), x); }},
      {"weibull",
       "pdf",
       {"SHAPE", "SCALE"},
       "Weibull density",
       [](double x, P p) { return numbra::WeibullDensity(x, p[0], p[1]); }},
      {"ks",
       "pvalue",
       {"N"},
       "P(D_N >= X), one-sample Kolmogorov-Smirnov",
       [](double x, P p) { return numbra::KSPValue(Int(p[0], "N"), x); }},
      {"ks",
       "quantile",
       {"N"},
       "D at level X (0.2, 0.15, 0.1, 0.05 or 0.01)",
       [](double x, P p) { return numbra::KSQuantile(Int(p[0], "N"), Level(x)); }},
      {"lilliefors",
       "pvalue",
       {"N"},
       "p-value of the Lilliefors statistic X",
       [](double x, P p) {
         const double r = numbra::LillieforsPValue(Int(p[0], "N"), x);
         if (r == -1.0) throw CliError("the Lilliefors p-value needs N > 5");
         return r;
       }},
      {"lilliefors",
       "quantile",
       {"N"},
       "critical value at level X",
       [](double x, P p) { return numbra::LillieforsQuantile(Int(p[0], "N"), x); }},
      {"shapiro",
       "pvalue",
       {"N", "[N1]"},
       "p-value of W = X (N1 uncensored values)",
       [](double x, P p) {
         const int32_t n = Int(p[0], "N");
         return numbra::ShapiroWilkIntegral(x, n, p.size() > 1 ? Int(p[1], "N1") : n);
       }},
  };
  return table;
}

std::string ParamList(const TDistFn& f) {
  std::string s;
  for (const std::string& p : f.params) s += " " + p;
  return s;
}

std::string Usage() {
  std::string s = "usage: numbra dist NAME FUNCTION X [PARAMS]\n";
  for (const TDistFn& f : Table()) {
    std::string line = "  numbra dist " + f.dist + " " + f.fn + " X" + ParamList(f);
    line.resize(std::max<std::size_t>(line.size() + 1, 44), ' ');
    s += line + f.what + "\n";
  }
  return s;
}

int RunDist(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {}, {"--help"});
  if (a.Has("--help")) {
    std::cout << Usage();
    return 0;
  }
  if (a.positional.size() < 3)
    throw CliError("usage: numbra dist NAME FUNCTION X [PARAMS] (numbra dist --help lists them)");
  const std::string& name = a.positional[0];
  const std::string& fn = a.positional[1];
  const TDistFn* found = nullptr;
  bool known_name = false;
  for (const TDistFn& f : Table()) {
    if (f.dist == name) known_name = true;
    if (f.dist == name && f.fn == fn) found = &f;
  }
  if (!known_name)
    throw CliError("unknown distribution \"" + name + "\" (numbra dist --help lists them)");
  if (found == nullptr)
    throw CliError("distribution \"" + name + "\" has no function \"" + fn +
                   "\" (numbra dist --help lists them)");
  std::size_t required = 0;
  for (const std::string& p : found->params)
    if (p.front() != '[') ++required;
  const std::size_t given = a.positional.size() - 3;
  if (given < required || given > found->params.size())
    throw CliError("numbra dist " + name + " " + fn + " takes X" + ParamList(*found));
  const double x = ToDouble(a.positional[2], "X");
  std::vector<double> params;
  for (std::size_t i = 0; i < given; ++i)
    params.push_back(ToDouble(a.positional[3 + i], found->params[i]));
  double r = 0.0;
  try {
    r = found->eval(x, params);
  } catch (const numbra::EORKStatisError& e) {
    throw CliError(e.Message());
  }
  if (std::isnan(r)) throw CliError("arguments outside the domain of " + name + " " + fn);
  std::cout << FormatDouble(r) << "\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("dist", "dist NAME FUNCTION X [PARAMS]",
                   "density, distribution function, quantile or p-value of a distribution "
                   "(normal, t, chi2, f, u, weibull, ks, lilliefors, shapiro; --help lists them)",
                   RunDist)
