// Plane geometry and TRandGen: PointIsInsidePolygon on a 10^4-vertex
// polygon, Convex2DHull of 10^6 points against a plain monotone chain in the
// same binary, and TRandGen draws per second for the presets.
#include "ORK_math2.h"
#include "ORK_statis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

using numbra::TPDblArray;
using numbra::TPointDouble;

// A star-shaped polygon of n vertices with a ragged radius.
TPDblArray Star(int n) {
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> r(0.5, 1.0);
  TPDblArray p(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double t = 2 * std::numbers::pi * i / n, rad = r(rng);
    p[static_cast<std::size_t>(i)] = {rad * std::cos(t), rad * std::sin(t)};
  }
  return p;
}

TPDblArray Cloud(std::size_t n) {
  std::mt19937_64 rng(2);
  std::normal_distribution<double> g;
  TPDblArray p(n);
  for (auto& q : p) q = {g(rng), g(rng)};
  return p;
}

void BM_PointIsInsidePolygon(benchmark::State& state) {
  const TPDblArray poly = Star(static_cast<int>(state.range(0)));
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<TPointDouble> q(1024);
  for (auto& p : q) p = {u(rng), u(rng)};
  std::size_t i = 0;
  for (auto _ : state) {
    const TPointDouble& p = q[i++ & 1023];
    benchmark::DoNotOptimize(numbra::PointIsInsidePolygon(p.x, p.y, poly));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));  // edges tested
}
BENCHMARK(BM_PointIsInsidePolygon)->Arg(10000);

void BM_Convex2DHull(benchmark::State& state) {
  const TPDblArray pts = Cloud(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(numbra::Convex2DHull(pts));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Convex2DHull)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Reference: the textbook monotone chain on a copy of the points.
double Cross(const TPointDouble& o, const TPointDouble& a, const TPointDouble& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}
TPDblArray MonotoneChain(TPDblArray p) {
  std::sort(p.begin(), p.end(), [](const TPointDouble& a, const TPointDouble& b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
  });
  TPDblArray h(2 * p.size());
  std::size_t k = 0;
  for (const auto& q : p) {
    while (k >= 2 && Cross(h[k - 2], h[k - 1], q) <= 0) --k;
    h[k++] = q;
  }
  for (std::size_t i = p.size() - 1, t = k + 1; i-- > 0;) {
    while (k >= t && Cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
    h[k++] = p[i];
  }
  h.resize(k - 1);
  return h;
}
void BM_MonotoneChainReference(benchmark::State& state) {
  const TPDblArray pts = Cloud(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(MonotoneChain(pts));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MonotoneChainReference)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Draws of each preset, standardised to a peak of 1 (arg: preset index).
void BM_TRandGenGetRandNum(benchmark::State& state) {
  numbra::TRandGen g;
  const char* names[] = {"normal", "t5", "chi2_4", "F5_10", "weibull", "uniform"};
  switch (state.range(0)) {
    case 0:
      g.SetLowBorder(-5), g.SetHighBorder(5), g.NormalDistri(0, 1);
      break;
    case 1:
      g.SetLowBorder(-8), g.SetHighBorder(8), g.tDistri(5);
      break;
    case 2:
      g.SetLowBorder(0), g.SetHighBorder(30), g.Chi2Distri(4);
      break;
    case 3:
      g.SetLowBorder(0), g.SetHighBorder(10), g.FDistri(5, 10);
      break;
    case 4:
      g.SetLowBorder(0), g.SetHighBorder(6), g.WeibullDistri(2, 1.5);
      break;
    default:
      g.SetLowBorder(0), g.SetHighBorder(1), g.UniformDistri();
      break;
  }
  g.Standardize();
  numbra::SetRandSeed(42);
  for (auto _ : state) benchmark::DoNotOptimize(g.GetRandNum());
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(names[state.range(0)]);
}
BENCHMARK(BM_TRandGenGetRandNum)->DenseRange(0, 5);

std::string Processor() {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("processor: %s\n", Processor().c_str());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
