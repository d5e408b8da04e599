// numbra som FILE --size X,Y [--cyclic] [--steps N] [--save FILE.xml]: trains a
// self-organising map on the rows of a table (columns standardised) and prints
// each row's winning neuron, its distance and the quantisation error.
#include "cli.h"
#include "numbra.h"

#include <cmath>
#include <iostream>

namespace numbra_cli {
// Defined in cmd_matrix.cpp.
void LoadMatrixFile(const std::string& File, bool AsTable, numbra::TMatrix& M);
}  // namespace numbra_cli

namespace {

// "X,Y" with both at least 1.
std::pair<int, int> ParseSize(const std::string& Text) {
  const auto comma = Text.find(',');
  if (comma == std::string::npos)
    throw numbra_cli::CliError("--size wants X,Y, not \"" + Text + "\"");
  const int x = numbra_cli::ToInt(Text.substr(0, comma), "--size");
  const int y = numbra_cli::ToInt(Text.substr(comma + 1), "--size");
  if (x < 1 || y < 1 || static_cast<double>(x) * y > 1e6)
    throw numbra_cli::CliError("--size " + Text + ": each side at least 1, at most 10^6 neurons");
  return {x, y};
}

int RunSom(const std::vector<std::string>& Words) {
  using namespace numbra_cli;
  const Args a = ParseArgs(Words, {"--size", "--steps", "--save", "--seed", "--alpha", "--radius"},
                           {"--cyclic"});
  if (a.positional.size() != 1 || !a.Has("--size"))
    throw CliError(
        "usage: numbra som FILE --size X,Y [--cyclic] [--steps N] [--radius R] [--alpha A] "
        "[--seed S] [--save FILE.xml]");
  const auto [sx, sy] = ParseSize(a.Get("--size"));
  const int steps = a.GetInt("--steps", 200);
  if (steps < 1) throw CliError("--steps must be at least 1");
  const int radius = a.GetInt("--radius", 2);
  if (radius < 0) throw CliError("--radius must not be negative");
  const double alpha = a.GetDouble("--alpha", 1.0);
  if (!std::isfinite(alpha) || alpha <= 0) throw CliError("--alpha must be a positive number");
  numbra::TMatrix data;
  LoadMatrixFile(a.positional[0], true, data);
  for (const double v : data.Values())
    if (!std::isfinite(v))
      throw CliError("\"" + a.positional[0] + "\" holds a value that is not finite");
  numbra::SetRandSeed(static_cast<uint64_t>(a.GetInt("--seed", 1)));
  numbra::TKohonen map;
  map.SetDataMat(&data);
  map.SetSizeX(sx);
  map.SetSizeY(sy);
  map.SetCyclic(a.Has("--cyclic"));
  map.SetNrOfTrnSteps(steps);
  map.SetInitialNeighbors(radius);
  map.SetInitialAlpha(alpha);
  map.StandardizeData();
  // Training reports whole percentages; each new one is a progress step, and
  // a Ctrl-C stops the training after the step in progress.
  LongTask task("som");
  task.Phase("training", 100);
  int shown = 0;
  map.OnFeedback = [&](numbra::TObject*, int32_t Percent) {
    if (task.WasInterrupted()) {
      map.AbortTraining();
      return;
    }
    for (; shown < Percent; ++shown) corvel::StepProcStat();
  };
  map.Trainit();
  task.Check();
  std::cout << "row x y distance\n";
  numbra::TVector in;
  in.SetVecSize(data.NrOfColumns());
  double total = 0.0;
  for (int32_t r = 1; r <= data.NrOfRows(); ++r) {
    data.CopyRowToVec(&in, r, 1, data.NrOfColumns());
    int32_t bx = 0;
    int32_t by = 0;
    double d2 = 0.0;
    map.ApplyIt(&in, bx, by, d2);
    const double d = std::sqrt(d2);
    total += d;
    std::cout << r << " " << bx << " " << by << " " << FormatDouble(d) << "\n";
  }
  std::cout << "quantisation error: " << FormatDouble(total / data.NrOfRows()) << "\n";
  if (a.Has("--save"))
    WriteOutputFile(a.Get("--save"), [&](const std::string& Tmp) { map.SaveAsXMLFile(Tmp, ""); });
  return 0;
}

}  // namespace

NUMBRA_CLI_COMMAND("som",
                   "som FILE --size X,Y [--cyclic] [--steps N] [--radius R] [--alpha A] [--seed S] "
                   "[--save FILE.xml]",
                   "trains a self-organising map on the rows of a table (standardised columns) "
                   "and prints each row's neuron, its distance and the quantisation error",
                   RunSom)
