// Smoothing and filter benchmarks on 10^6 samples: the moving average (a
// plain sum per window, O(W) per point), the moving median through the
// quartile routine (W = 25), and the zero-phase Chebyshev filter of 8 poles
// (two recursion passes). bench/smoothing_lfilter.py times
// scipy.signal.lfilter on the same samples with the same design and runs
// this program, so both figures come from one run.
#include "ORK_math2.h"

#include <cmath>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

namespace {

constexpr int32_t kSamples = 1000000;

// x_i = sin(0.01 i) + 0.3 sin(1.3 i), i = 1..n: the signal of the script.
void FillSignal(numbra::TVector& v, int32_t n) {
  v.Resize(n);
  for (int32_t i = 1; i <= n; ++i) v.SetVal(i, std::sin(0.01 * i) + 0.3 * std::sin(1.3 * i));
}

void BM_MovingAverageSmooth(benchmark::State& state) {
  numbra::TVector x, d;
  FillSignal(x, kSamples);
  d.Resize(kSamples);
  const auto w = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    numbra::MovingAverageSmooth(&x, 1, kSamples, &d, w);
    benchmark::DoNotOptimize(d.Values().data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSamples});
}
BENCHMARK(BM_MovingAverageSmooth)->Arg(5)->Arg(25)->Arg(101)->Unit(benchmark::kMillisecond);

void BM_MovingMedianSmooth(benchmark::State& state) {
  numbra::TVector x, d;
  FillSignal(x, kSamples);
  d.Resize(kSamples);
  const auto w = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    numbra::MovingMedianSmooth(&x, 1, kSamples, &d, w);
    benchmark::DoNotOptimize(d.Values().data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSamples});
}
BENCHMARK(BM_MovingMedianSmooth)->Arg(25)->Unit(benchmark::kMillisecond);

void BM_PolynomialSmooth(benchmark::State& state) {
  numbra::TVector x, d;
  FillSignal(x, kSamples);
  d.Resize(kSamples);
  for (auto _ : state) {
    numbra::PolynomialSmooth(&x, 1, kSamples, &d, 25);
    benchmark::DoNotOptimize(d.Values().data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSamples});
}
BENCHMARK(BM_PolynomialSmooth)->Unit(benchmark::kMillisecond);

// Low pass, cut-off 0.1, ripple 0.5 %: the design the script also uses.
void BM_ChebychevFilter(benchmark::State& state) {
  numbra::TVector x, d;
  FillSignal(x, kSamples);
  d.Resize(kSamples);
  double a0 = 0;
  numbra::TMatrix c;
  numbra::CalcChebFilterCoeffs(static_cast<int32_t>(state.range(0)), false, 0.1, 0.5, a0, &c);
  for (auto _ : state) {
    numbra::ChebychevFilter(&x, 1, kSamples, &d, a0, &c);
    benchmark::DoNotOptimize(d.Values().data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSamples});
}
BENCHMARK(BM_ChebychevFilter)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

std::string Processor() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::AddCustomContext("processor", Processor());
  benchmark::AddCustomContext("kernel", "scalar recursion, summation order: feedback last");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
