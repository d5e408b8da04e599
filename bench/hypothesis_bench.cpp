// Hypothesis test benchmarks: Shapiro-Wilk at its largest size, the
// Mann-Whitney U test on 2 x 10^5 values, the adaptive density estimate on
// 10^5 points. Each is run beside a floor in the same binary (sorting the
// same values, or the density's plain double loop over every point), and
// the processor model is printed in the context lines.
#include "ORK_math1.h"
#include "ORK_statis.h"
#include "ORK_vector.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

std::vector<double> Normal(std::size_t n, double mean, uint32_t seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> d(mean, 1.0);
  std::vector<double> x(n);
  for (double& v : x) v = d(gen);
  return x;
}

void Fill(numbra::TVector& v, const std::vector<double>& x) {
  v.Resize(static_cast<int32_t>(x.size()));
  for (std::size_t i = 0; i < x.size(); ++i) v.SetVal(static_cast<int32_t>(i) + 1, x[i]);
}

void BM_ShapiroWilkTest(benchmark::State& state) {
  const auto x = Normal(static_cast<std::size_t>(state.range(0)), 3.0, 1);
  numbra::TVector v;
  Fill(v, x);
  for (auto _ : state) {
    double w = 0, p = 0;
    benchmark::DoNotOptimize(numbra::ShapiroWilkTest(v, 0, w, p));
    benchmark::DoNotOptimize(p);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ShapiroWilkTest)->Arg(5000)->Unit(benchmark::kMicrosecond);

// Floor: sorting a copy of the same values with std::sort.
void BM_StdSortCopy(benchmark::State& state) {
  const auto x = Normal(static_cast<std::size_t>(state.range(0)), 3.0, 1);
  for (auto _ : state) {
    std::vector<double> y(x);
    std::sort(y.begin(), y.end());
    benchmark::DoNotOptimize(y.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StdSortCopy)->Arg(5000)->Arg(200000)->Unit(benchmark::kMicrosecond);

void BM_PerformMannWhitneyUTest(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0)) / 2;
  numbra::TVector a, b;
  Fill(a, Normal(n, 0.0, 2));
  Fill(b, Normal(n, 0.01, 3));
  for (auto _ : state) {
    double u = 0;
    benchmark::DoNotOptimize(numbra::PerformMannWhitneyUTest(a, b, true, u));
    benchmark::DoNotOptimize(u);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PerformMannWhitneyUTest)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_EstimateProbDensity(benchmark::State& state) {
  const auto x = Normal(static_cast<std::size_t>(state.range(0)), 0.0, 4);
  const auto bins = static_cast<int32_t>(state.range(1));
  numbra::TVector v, dens;
  Fill(v, x);
  for (auto _ : state) {
    int32_t mn = 0, mx = 0;
    numbra::EstimateProbDensity(v, dens, -4.0, 4.0, 1.0, 0.02, bins, mn, mx, nullptr);
    benchmark::DoNotOptimize(mx);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EstimateProbDensity)->Args({100000, 200})->Unit(benchmark::kMillisecond);

// Floor of the kernel sums without the window: every point at every bin,
// with the same (constant here) widths.
void BM_DensityAllPointsLoop(benchmark::State& state) {
  auto x = Normal(static_cast<std::size_t>(state.range(0)), 0.0, 4);
  std::sort(x.begin(), x.end());
  const auto bins = static_cast<int32_t>(state.range(1));
  const double w = 8.0 / static_cast<double>(x.size());
  std::vector<double> dens(static_cast<std::size_t>(bins) + 1);
  for (auto _ : state) {
    for (int32_t b = 0; b <= bins; ++b) {
      const double xb = -4.0 + b * 8.0 / bins;
      double s = 0;
      for (const double xi : x) {
        const double z = (xb - xi) / w;
        s += std::exp(-0.5 * z * z) / w;
      }
      dens[static_cast<std::size_t>(b)] = s;
    }
    benchmark::DoNotOptimize(dens.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DensityAllPointsLoop)->Args({100000, 200})->Unit(benchmark::kMillisecond);

std::string ProcessorName() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("model name", 0) == 0) {
      const auto p = line.find(':');
      return p == std::string::npos ? line : line.substr(p + 2);
    }
  return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::AddCustomContext("processor", ProcessorName());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
