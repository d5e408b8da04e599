// numbra random: random numbers from a TRandGen preset or from a table of
// relative probabilities, one per line, for example
//   numbra random --preset normal --count 5 --seed 42
//   numbra random --preset chi2 --df 3 --count 1000
//   numbra random --table probs.txt --low 0 --high 10 --count 100
#include "cli.h"
#include "numbra.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>

namespace {

using namespace numbra_cli;

constexpr const char* kUsage =
    "usage: numbra random (--preset NAME | --table FILE) --count N [--seed S] [--low L --high H] "
    "[--resolution R] [--mean M --sd S | --df D | --df1 D1 --df2 D2 | --beta B --eta E]";

int32_t PositiveInt(const Args& a, const std::string& name, int Default) {
  const int v = a.GetInt(name, Default);
  if (v < 1) throw CliError(name + " must be at least 1, got " + std::to_string(v));
  return v;
}

double Positive(const Args& a, const std::string& name, double Default) {
  const double v = a.GetDouble(name, Default);
  if (!(v > 0) || !std::isfinite(v)) throw CliError(name + " must be a positive number");
  return v;
}

// Fills Gen from the preset and returns its default interval.
void ApplyPreset(const Args& a, numbra::TRandGen& Gen, double& Low, double& High) {
  const std::string name = a.Get("--preset");
  if (name == "normal") {
    const double m = a.GetDouble("--mean", 0.0), s = Positive(a, "--sd", 1.0);
    if (!std::isfinite(m)) throw CliError("--mean must be a finite number");
    Low = m - 6 * s;
    High = m + 6 * s;
  } else if (name == "t") {
    const int32_t df = PositiveInt(a, "--df", 10);
    High = numbra::tDistriQuantile(1 - 1e-5, df);
    Low = -High;
  } else if (name == "chi2") {
    Low = 0;
    High = numbra::chi2DistriQuantile(1 - 1e-6, PositiveInt(a, "--df", 4));
  } else if (name == "f") {
    Low = 0;
    High =
        numbra::FDistriQuantile(1 - 1e-4, PositiveInt(a, "--df1", 5), PositiveInt(a, "--df2", 10));
  } else if (name == "weibull") {
    const double beta = Positive(a, "--beta", 2.0), eta = Positive(a, "--eta", 1.0);
    Low = 0;
    High = eta * std::pow(std::log(1e6), 1.0 / beta);
  } else if (name == "uniform") {
    Low = 0;
    High = 1;
  } else {
    throw CliError("unknown preset \"" + name + "\" (normal, t, chi2, f, weibull, uniform)");
  }
  Low = a.GetDouble("--low", Low);
  High = a.GetDouble("--high", High);
  if (!std::isfinite(Low) || !std::isfinite(High) || !(Low < High))
    throw CliError("the interval needs finite --low < --high");
  Gen.SetLowBorder(Low);
  Gen.SetHighBorder(High);
  if (name == "normal") Gen.NormalDistri(a.GetDouble("--mean", 0.0), a.GetDouble("--sd", 1.0));
  if (name == "t") Gen.tDistri(a.GetInt("--df", 10));
  if (name == "chi2") Gen.Chi2Distri(a.GetInt("--df", 4));
  if (name == "f") Gen.FDistri(a.GetInt("--df1", 5), a.GetInt("--df2", 10));
  if (name == "weibull") Gen.WeibullDistri(a.GetDouble("--beta", 2.0), a.GetDouble("--eta", 1.0));
  if (name == "uniform") Gen.UniformDistri();
}

// A column of relative probabilities, one per class, scaled to a peak of 1.
void ApplyTable(const Args& a, numbra::TRandGen& Gen) {
  const std::string file = a.Get("--table");
  const std::vector<double> p = ReadSamples(file);
  if (p.size() < 10 || p.size() > 4000)
    throw CliError("\"" + file + "\" must hold 10 to 4000 probabilities, not " +
                   std::to_string(p.size()));
  const double mx = *std::max_element(p.begin(), p.end());
  if (*std::min_element(p.begin(), p.end()) < 0 || !(mx > 0))
    throw CliError("\"" + file + "\": probabilities must be >= 0 and not all 0");
  const double low = a.GetDouble("--low", 0.0), high = a.GetDouble("--high", 1.0);
  if (!std::isfinite(low) || !std::isfinite(high) || !(low < high))
    throw CliError("the interval needs finite --low < --high");
  Gen.SetLowBorder(low);
  Gen.SetHighBorder(high);
  Gen.SetResolution(static_cast<int32_t>(p.size()));
  for (std::size_t i = 0; i < p.size(); ++i)
    Gen.SetProbability(static_cast<int32_t>(i) + 1, p[i] / mx);
}

int RunRandom(const std::vector<std::string>& Words) {
  const Args a =
      ParseArgs(Words,
                {"--preset", "--table", "--count", "--seed", "--low", "--high", "--resolution",
                 "--mean", "--sd", "--df", "--df1", "--df2", "--beta", "--eta"},
                {});
  if (!a.positional.empty() || a.Has("--preset") == a.Has("--table") || !a.Has("--count"))
    throw CliError(kUsage);
  const int count = PositiveInt(a, "--count", 1);
  numbra::TRandGen gen;
  if (a.Has("--preset")) {
    if (a.Has("--resolution")) gen.SetResolution(a.GetInt("--resolution", 500));
    double low = 0, high = 0;
    ApplyPreset(a, gen, low, high);
    if (!gen.Standardize())
      throw CliError("the distribution is 0 everywhere on [" + FormatDouble(low) + ", " +
                     FormatDouble(high) + "]");
  } else {
    if (a.Has("--resolution")) throw CliError("--resolution is the number of values of --table");
    ApplyTable(a, gen);
  }
  if (a.Has("--seed")) {
    const std::string s = a.Get("--seed");
    if (s.empty() || s.size() > 20 || s.find_first_not_of("0123456789") != std::string::npos)
      throw CliError("--seed must be a whole number 0..2^64-1, got \"" + s + "\"");
    try {
      numbra::SetRandSeed(std::stoull(s));
    } catch (const std::exception&) {
      throw CliError("--seed must be a whole number 0..2^64-1, got \"" + s + "\"");
    }
  } else {
    numbra::Randomize();
  }
  // Long runs show progress and stop on Ctrl-C, one step per 10^4 draws.
  constexpr int kStep = 10000;
  LongTask task("random");
  task.Phase("drawing", count / kStep);
  for (int i = 0; i < count; ++i) {
    std::cout << FormatDouble(gen.GetRandNum()) << "\n";
    if ((i + 1) % kStep == 0) task.Step();
  }
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("random", "random (--preset NAME | --table FILE) --count N [--seed S]",
                   "random numbers from a distribution preset or a probability table", RunRandom);
