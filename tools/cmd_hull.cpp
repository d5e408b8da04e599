// numbra hull FILE: the convex hull of the points of FILE, one corner "x y"
// per line, counter-clockwise from the direction straight below the
// centroid.
#include "cli.h"
#include "cli_points.h"
#include "numbra.h"

#include <iostream>

namespace {

using namespace numbra_cli;

int RunHull(const std::vector<std::string>& Words) {
  const Args a = ParseArgs(Words, {}, {});
  if (a.positional.size() != 1) throw CliError("usage: numbra hull FILE");
  const numbra::TPDblArray hull = numbra::Convex2DHull(ReadPoints(a.positional[0]));
  for (const auto& p : hull) std::cout << FormatDouble(p.x) << " " << FormatDouble(p.y) << "\n";
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("hull", "hull FILE", "convex hull of the points \"x y\" of FILE", RunHull);
