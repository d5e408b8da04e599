// numbra pinv FILE [--threshold T] [--out FILE] [--autodetect]: the
// Moore-Penrose pseudo-inverse of a matrix file.
#include "cli.h"
#include "numbra.h"

namespace numbra_cli {
// Defined in cmd_matrix.cpp.
void LoadMatrixFile(const std::string& File, bool AsTable, numbra::TMatrix& M);
}  // namespace numbra_cli

namespace {

int RunPinv(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--out", "--threshold"}, {"--autodetect"});
  if (a.positional.size() != 1)
    throw CliError("usage: numbra pinv FILE [--threshold T] [--out FILE] [--autodetect]");
  const double threshold = a.GetDouble("--threshold", 0.0);
  if (!(threshold >= 0.0)) throw CliError("--threshold must be 0 or more");
  LongTask task("pinv");
  task.Phase("reading");
  numbra::TMatrix m;
  LoadMatrixFile(a.positional[0], a.Has("--autodetect"), m);
  task.Check();
  if (m.NrOfColumns() == 0 || m.NrOfRows() == 0) throw CliError("the matrix is empty");
  task.Phase("decomposing", m.NrOfColumns());
  numbra::TMatrix p;
  const bool ok = numbra::PseudoInverse(m, p, threshold);
  task.Check();
  if (!ok)
    throw CliError(
        "no pseudo-inverse: the matrix holds a value that is not finite, or the "
        "decomposition did not converge");
  if (a.Has("--out")) {
    WriteOutputFile(a.Get("--out"), [&](const std::string& tmp) { StoreMatrixText(p, tmp, task); });
    return 0;
  }
  PrintMatrix(p, task);
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("pinv", "pinv FILE [--threshold T] [--out FILE] [--autodetect]",
                   "Moore-Penrose pseudo-inverse of a matrix file (singular values up to T, by "
                   "default max(m, n) * largest * 1.2e-16, count as zero): printed as a table, "
                   "or written in the matrix text form with --out",
                   RunPinv)
