// numbra invert FILE [--out FILE] [--autodetect]: the inverse of a matrix
// file, printed as a table or written in the matrix text form.
#include "cli.h"
#include "numbra.h"

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
  LongTask task("invert");
  task.Phase("reading");
  numbra::TMatrix m;
  LoadMatrixFile(a.positional[0], a.Has("--autodetect"), m);
  task.Check();
  if (m.NrOfColumns() != m.NrOfRows() || m.NrOfColumns() == 0)
    throw CliError("the matrix is not square (" + std::to_string(m.NrOfColumns()) + " columns, " +
                   std::to_string(m.NrOfRows()) + " rows)");
  // Invert reports 2n progress steps and stops (false) after Ctrl-C.
  task.Phase("inverting", 2.0 * m.NrOfColumns());
  const bool inverted = m.Invert();
  task.Check();
  if (!inverted) throw CliError("the matrix is singular (or not finite): no inverse");
  if (a.Has("--out")) {
    WriteOutputFile(a.Get("--out"), [&](const std::string& tmp) { StoreMatrixText(m, tmp, task); });
    return 0;
  }
  PrintMatrix(m, task);
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("invert", "invert FILE [--out FILE] [--autodetect]",
                   "inverse of a square matrix file: printed as a table, or written in the "
                   "matrix text form (full precision) with --out",
                   RunInvert)
