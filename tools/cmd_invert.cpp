// numbra invert FILE [--out FILE] [--autodetect]: the inverse of a matrix
// file, printed as a table or written in the matrix text form.
#include "cli.h"
#include "numbra.h"

#include <iostream>

namespace numbra_cli {
// Defined in cmd_matrix.cpp.
void LoadMatrixFile(const std::string& File, bool AsTable, numbra::TMatrix& M);
}  // namespace numbra_cli

namespace {

int RunInvert(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--out"}, {"--autodetect"});
  if (a.positional.size() != 1)
    throw CliError("usage: numbra invert FILE [--out FILE] [--autodetect]");
  numbra::TMatrix m;
  LoadMatrixFile(a.positional[0], a.Has("--autodetect"), m);
  if (m.NrOfColumns() != m.NrOfRows() || m.NrOfColumns() == 0)
    throw CliError("the matrix is not square (" + std::to_string(m.NrOfColumns()) + " columns, " +
                   std::to_string(m.NrOfRows()) + " rows)");
  if (!m.Invert()) throw CliError("the matrix is singular (or not finite): no inverse");
  if (a.Has("--out")) {
    m.SetFPrecis(1, 0);  // every double exactly
    m.SetFPrecis(2, -1);
    if (!m.StoreOnFile(0, 0, 0, 0, a.Get("--out")))
      throw CliError("cannot write \"" + a.Get("--out") + "\"");
    return 0;
  }
  for (int32_t r = 1; r <= m.NrOfRows(); ++r) {
    for (int32_t c = 1; c <= m.NrOfColumns(); ++c)
      std::cout << (c > 1 ? " " : "") << FormatDouble(m.GetVal(c, r));
    std::cout << "\n";
  }
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("invert", "invert FILE [--out FILE] [--autodetect]",
                   "inverse of a square matrix file: printed as a table, or written in the "
                   "matrix text form (full precision) with --out",
                   RunInvert)
