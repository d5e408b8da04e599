// numbra pca FILE [--correlation] [--components K] [--autodetect]:
// principal component analysis of a data file whose columns are variables
// and whose rows are observations.
#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <cstdio>
#include <iostream>

namespace numbra_cli {
// Defined in cmd_matrix.cpp.
void LoadMatrixFile(const std::string& File, bool AsTable, numbra::TMatrix& M);
}  // namespace numbra_cli

namespace {

int RunPca(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--components"}, {"--correlation", "--autodetect"});
  if (a.positional.size() != 1)
    throw CliError("usage: numbra pca FILE [--correlation] [--components K] [--autodetect]");
  LongTask task("pca");
  task.Phase("reading");
  numbra::TMatrix x;
  LoadMatrixFile(a.positional[0], a.Has("--autodetect"), x);
  task.Check();
  const int32_t n = x.NrOfColumns();
  const int32_t m = x.NrOfRows();
  if (n < 1 || m < 2) throw CliError("pca needs at least one column and two rows");
  if (n > numbra::kMaxEigenOrder)
    throw CliError("pca handles at most " + std::to_string(numbra::kMaxEigenOrder) + " columns");
  const int k = a.GetInt("--components", n);
  if (k < 1 || k > n) throw CliError("--components must be between 1 and " + std::to_string(n));
  const bool corr = a.Has("--correlation");
  task.Phase("decomposing");
  const bool ok = numbra::CalcPrincComp(x, 1, n, 0, 0, corr ? 2 : 1, false);
  task.Check();
  if (!ok)
    throw CliError(
        "no decomposition: the data hold a value that is not finite, or the "
        "iteration did not converge");
  double total = 0.0;
  for (int32_t c = 1; c <= n; ++c) total += std::fabs(numbra::GetEigenResult(c, 0));
  std::cout << (corr ? "correlation" : "covariance") << " matrix of " << n << " variables, " << m
            << " observations\n";
  std::cout << "component eigenvalue explained cumulative\n";
  double cum = 0.0;
  for (int c = 1; c <= k; ++c) {
    const double l = numbra::GetEigenResult(c, 0);
    const double f = total > 0.0 ? l / total : 0.0;
    cum += f;
    std::cout << c << " " << FormatDouble(l) << " " << FormatDouble(f) << " " << FormatDouble(cum)
              << "\n";
  }
  std::cout << "loadings (one row per variable, one column per component)\n";
  for (int32_t r = 1; r <= n; ++r) {
    for (int c = 1; c <= k; ++c)
      std::cout << (c > 1 ? " " : "") << FormatDouble(numbra::GetEigenResult(c, r));
    std::cout << "\n";
  }
  // Scores: the centred (correlation: also scaled) rows times the loadings.
  std::vector<double> mean(static_cast<std::size_t>(n));
  std::vector<double> scale(static_cast<std::size_t>(n), 1.0);
  for (int32_t c = 1; c <= n; ++c) {
    double mu = 0.0;
    double var = 0.0;
    x.MeanVar(c, 1, c, m, mu, var);
    mean[static_cast<std::size_t>(c - 1)] = mu;
    if (corr && var > 0.0) scale[static_cast<std::size_t>(c - 1)] = std::sqrt(var);
  }
  std::cout << "scores (one row per observation, one column per component)\n";
  task.Phase("scores", m);
  for (int32_t r = 1; r <= m; ++r) {
    for (int c = 1; c <= k; ++c) {
      double s = 0.0;
      for (int32_t v = 1; v <= n; ++v)
        s += (x.GetVal(v, r) - mean[static_cast<std::size_t>(v - 1)]) /
             scale[static_cast<std::size_t>(v - 1)] * numbra::GetEigenResult(c, v);
      std::cout << (c > 1 ? " " : "") << FormatDouble(s);
    }
    std::cout << "\n";
    task.Step();
  }
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("pca", "pca FILE [--correlation] [--components K] [--autodetect]",
                   "principal components of the columns of a data file (covariance, or "
                   "correlation): eigenvalues with explained fractions, loadings and scores of "
                   "the first K components",
                   RunPca)
