// numbra regress FILE --y COL [--ridge LAMBDA] [--autodetect]: linear
// regression of one column of a data file on all the others.
#include "cli.h"
#include "numbra.h"

#include <iostream>

namespace numbra_cli {
// Defined in cmd_matrix.cpp.
void LoadMatrixFile(const std::string& File, bool AsTable, numbra::TMatrix& M);
}  // namespace numbra_cli

namespace {

int RunRegress(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--y", "--ridge"}, {"--autodetect"});
  if (a.positional.size() != 1 || !a.Has("--y"))
    throw CliError("usage: numbra regress FILE --y COL [--ridge LAMBDA] [--autodetect]");
  LongTask task("regress");
  task.Phase("reading");
  numbra::TMatrix data;
  LoadMatrixFile(a.positional[0], a.Has("--autodetect"), data);
  task.Check();
  const int32_t cols = data.NrOfColumns();
  const int32_t m = data.NrOfRows();
  const int ycol = a.GetInt("--y", 0);
  if (cols < 2) throw CliError("regress needs a response column and at least one predictor");
  if (ycol < 1 || ycol > cols)
    throw CliError("--y must name a column between 1 and " + std::to_string(cols));
  const bool ridge = a.Has("--ridge");
  const double lambda = a.GetDouble("--ridge", 0.0);
  if (ridge && !(lambda >= 0.0)) throw CliError("--ridge must be 0 or more");
  // Predictors: every column but the response, in their order.
  numbra::TMatrix x;
  x.Resize(cols - 1, m);
  numbra::TVector y;
  y.SetVecSize(m);
  std::vector<int32_t> source;
  for (int32_t c = 1; c <= cols; ++c)
    if (c != ycol) source.push_back(c);
  for (int32_t r = 1; r <= m; ++r) {
    y.SetVal(r, data.GetVal(ycol, r));
    for (std::size_t j = 0; j < source.size(); ++j)
      x.SetVal(static_cast<int32_t>(j) + 1, r, data.GetVal(source[j], r));
  }
  task.Phase("fitting");
  numbra::TVector coef;
  numbra::TVector second;
  numbra::TVector means;
  numbra::TVector sds;
  bool near = false;
  numbra::TRegressionStats st;
  const bool ok = ridge ? numbra::RidgeRegStd(x, y, lambda, coef, second, means, sds, near, &st)
                        : numbra::MultiLinReg(x, y, coef, second, near, &st);
  task.Check();
  if (!ok)
    throw CliError(ridge ? "no fit: the data hold a value that is not finite, or fewer than two "
                           "rows"
                         : "no fit: the data hold a value that is not finite, or there are "
                           "fewer than predictors + 2 rows");
  std::cout << (ridge
                    ? "ridge regression on standardised predictors, lambda " + FormatDouble(lambda)
                    : std::string("least squares"))
            << ": column " << ycol << " on " << cols - 1 << " predictors, " << m
            << " observations\n";
  std::cout << (ridge ? "term coefficient standardised\n" : "term coefficient std_error\n");
  std::cout << "intercept " << FormatDouble(coef.GetVal(1)) << (ridge ? "" : " ")
            << (ridge ? "" : FormatDouble(second.GetVal(1))) << "\n";
  for (std::size_t j = 0; j < source.size(); ++j) {
    const auto e = static_cast<int32_t>(j) + 1;
    std::cout << "column" << source[j] << " " << FormatDouble(coef.GetVal(e + 1)) << " "
              << FormatDouble(ridge ? second.GetVal(e) : second.GetVal(e + 1)) << "\n";
  }
  std::cout << "r_squared " << FormatDouble(st.RSquared) << "\n";
  std::cout << "residual_sd " << FormatDouble(st.ResidualSD) << " (" << st.DegreesOfFreedom
            << " degrees of freedom)\n";
  if (near) std::cout << "warning: the predictors are collinear (near-singular problem)\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("regress", "regress FILE --y COL [--ridge LAMBDA] [--autodetect]",
                   "linear regression with intercept of column COL on the other columns: "
                   "coefficients with standard errors and R^2 (least squares), or ridge "
                   "regression on standardised predictors with --ridge",
                   RunRegress)
