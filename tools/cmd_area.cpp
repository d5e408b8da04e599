// numbra area FILE: the signed area of the polygon whose vertices "x y" are
// the lines of FILE (positive when counter-clockwise).
#include "cli.h"
#include "cli_points.h"
#include "numbra.h"

#include <iostream>

namespace {

using namespace numbra_cli;

int RunArea(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {}, {});
  if (a.positional.size() != 1) throw CliError("usage: numbra area FILE");
  std::cout << FormatDouble(numbra::PolygonArea(ReadPoints(a.positional[0]))) << "\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("area", "area FILE",
                   "signed area of the polygon \"x y\" of FILE (positive counter-clockwise)",
                   RunArea);
