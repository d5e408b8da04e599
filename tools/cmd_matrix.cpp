// numbra matrix FILE [--autodetect]: size, determinant, trace, the four
// norms of a matrix file and whether the matrix can be inverted.
#include "ORK_filesys.h"
#include "cli.h"
#include "numbra.h"

#include <cstdio>
#include <cstring>
#include <iostream>

namespace numbra_cli {

// Loads a matrix file of any of the library's forms: the binary file (by
// its signature), the XML form (first non-blank character '<'), the text
// form with its "LoC LoR HiC HiR" header, or else a plain table of numbers
// (AsTable forces the table). Shared with the invert command.
void LoadMatrixFile(const std::string& File, bool AsTable, numbra::TMatrix& M) {
  if (!corvel::FileExists(File)) throw CliError("cannot open \"" + File + "\"");
  char head[8] = {};
  std::size_t got = 0;
  if (std::FILE* f = std::fopen(File.c_str(), "rb")) {
    got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
  }
  if (!AsTable && got == 8 && std::memcmp(head, "NUMBRAMX", 8) == 0) {
    M.LoadBinary(File);  // raises with the reason
    return;
  }
  std::size_t first = 0;
  while (first < got && std::strchr(" \t\r\n", head[first]) != nullptr) ++first;
  if (!AsTable && first < got && head[first] == '<') {
    if (!M.LoadFromXMLFile(File, "")) throw CliError("\"" + File + "\" holds no readable matrix");
    return;
  }
  if (!AsTable && M.LoadFromFile(File, true)) return;
  if (!M.LoadFromFile(File, true, true))
    throw CliError("\"" + File + "\" is not a matrix file (neither the text form nor a table)");
}

}  // namespace numbra_cli

namespace {

int RunMatrix(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  using numbra::TNormType;
  const Args a = ParseArgs(Words, {}, {"--autodetect"});
  if (a.positional.size() != 1) throw CliError("usage: numbra matrix FILE [--autodetect]");
  LongTask task("matrix");
  task.Phase("reading");
  numbra::TMatrix m;
  LoadMatrixFile(a.positional[0], a.Has("--autodetect"), m);
  task.Check();
  const bool square = m.NrOfColumns() == m.NrOfRows();
  const std::string na = "n/a (not square)";
  std::string spectral = na;
  if (square) {
    task.Phase("spectral norm");
    try {
      spectral = FormatDouble(m.Norm(TNormType::ntSpectral));
    } catch (const numbra::EORKMatrixError&) {
      task.Check();  // an aborted iteration raises the same error
      spectral = "n/a (eigenvalue iteration did not converge)";
    }
    task.Check();
  }
  numbra::TMatrix inverse;
  inverse.Assign(&m);
  task.Phase("inverting", 2.0 * m.NrOfColumns());
  const bool invertible = square && m.NrOfColumns() > 0 && inverse.Invert();
  task.Check();
  std::cout << "size:             " << m.NrOfColumns() << " columns x " << m.NrOfRows() << " rows\n"
            << "determinant:      " << (square ? FormatDouble(m.Determinant()) : na) << "\n"
            << "trace:            " << (square ? FormatDouble(m.Trace()) : na) << "\n"
            << "norm (columns):   " << FormatDouble(m.Norm(TNormType::ntColwise)) << "\n"
            << "norm (rows):      " << FormatDouble(m.Norm(TNormType::ntRowwise)) << "\n"
            << "norm (spectral):  " << spectral << "\n"
            << "norm (Frobenius): " << FormatDouble(m.Norm(TNormType::ntFrobenius)) << "\n"
            << "invertible:       " << (invertible ? "yes" : "no") << "\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("matrix", "matrix FILE [--autodetect]",
                   "size, determinant, trace, norms and invertibility of a matrix file "
                   "(text, table, binary or XML form)",
                   RunMatrix)
