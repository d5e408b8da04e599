// numbra info FILE [--autodetect]: element count, length and checksum of a
// vector text file.
#include "ORK_filesys.h"
#include "cli.h"
#include "numbra.h"

#include <iostream>

namespace {

int RunInfo(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {}, {"--autodetect"});
  if (a.positional.size() != 1) throw CliError("usage: numbra info FILE [--autodetect]");
  const std::string& file = a.positional[0];
  if (!corvel::FileExists(file)) throw CliError("cannot open \"" + file + "\"");
  numbra::TVector v;
  if (!v.LoadFromFile(file, true, a.Has("--autodetect")))
    throw CliError("\"" + file + "\" is not a vector text file" +
                   (a.Has("--autodetect") ? "" : " (try --autodetect for a plain column)"));
  std::cout << "elements: " << v.NrOfElem() << "\n"
            << "length:   " << FormatDouble(v.CalcVecLeng()) << "\n"
            << "crc:      " << v.CRCofData() << "\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("info", "info FILE [--autodetect]",
                   "element count, vector length and CRCofData checksum of a vector text file",
                   RunInfo)
