// TVector storage benchmarks: checksum throughput and element access cost.
#include "ORK_vector.h"

#include <numeric>

#include <benchmark/benchmark.h>

namespace {

void BM_TVectorCRCofData(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  numbra::TVector v;
  v.Resize(n);
  for (int32_t i = 1; i <= n; ++i) v.SetVal(i, i * 0.37);
  for (auto _ : state) {
    std::string crc = v.CRCofData();
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{n} * 8);
}
BENCHMARK(BM_TVectorCRCofData)->Arg(1 << 10)->Arg(1 << 20);

void SetGetLoop(benchmark::State& state, bool with_handler) {
  const auto n = static_cast<int32_t>(state.range(0));
  numbra::TVector v;
  v.Resize(n);
  int64_t calls = 0;
  if (with_handler) v.OnChange = [&calls](corvel::TObject*) { ++calls; };
  for (auto _ : state) {
    for (int32_t i = 1; i <= n; ++i) v.SetVal(i, v.GetVal(i) + 1.0);
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(calls);
  state.SetItemsProcessed(state.iterations() * int64_t{n});
}

void BM_TVectorSetValGetVal(benchmark::State& state) { SetGetLoop(state, false); }
void BM_TVectorSetValGetValWithHandler(benchmark::State& state) { SetGetLoop(state, true); }
BENCHMARK(BM_TVectorSetValGetVal)->Arg(1 << 16);
BENCHMARK(BM_TVectorSetValGetValWithHandler)->Arg(1 << 16);

// The same loop over a plain std::vector, as the floor.
void BM_StdVectorLoop(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<double> v(n);
  for (auto _ : state) {
    for (std::size_t i = 0; i < n; ++i) v[i] = v[i] + 1.0;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
}
BENCHMARK(BM_StdVectorLoop)->Arg(1 << 16);

// ---- statistics against a plain std::accumulate over the same array --------

numbra::TVector& Filled(int32_t n) {
  static numbra::TVector v;
  if (v.NrOfElem() != n) {
    v.Resize(n);
    corvel::SetRandSeed(42);
    v.FillRandomUniform(1e6, 1e6 + 1);
  }
  return v;
}

void SetBytes(benchmark::State& state, int64_t n) {
  state.SetBytesProcessed(state.iterations() * n * 8);
}

void BM_StdAccumulate(benchmark::State& state) {
  const auto& v = Filled(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    double s = std::accumulate(v.Values().begin(), v.Values().end(), 0.0);
    benchmark::DoNotOptimize(s);
  }
  SetBytes(state, state.range(0));
}

void BM_TVectorSum(benchmark::State& state) {
  const auto& v = Filled(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    double s = v.Sum(0, 0);
    benchmark::DoNotOptimize(s);
  }
  SetBytes(state, state.range(0));
}

void BM_TVectorMeanVar(benchmark::State& state) {
  const auto& v = Filled(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    double mean = 0, var = 0;
    v.MeanVar(0, 0, mean, var);
    benchmark::DoNotOptimize(mean);
    benchmark::DoNotOptimize(var);
  }
  SetBytes(state, state.range(0));
}

void BM_TVectorMinMax(benchmark::State& state) {
  const auto& v = Filled(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    double mn = 0, mx = 0;
    v.MinMax(0, 0, mn, mx);
    benchmark::DoNotOptimize(mn);
    benchmark::DoNotOptimize(mx);
  }
  SetBytes(state, state.range(0));
}

void BM_TVectorQuartiles(benchmark::State& state) {
  const auto& v = Filled(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    double q1 = 0, q2 = 0, q3 = 0;
    v.Quartiles(0, 0, q1, q2, q3);
    benchmark::DoNotOptimize(q2);
  }
  SetBytes(state, state.range(0));
}

void BM_StdInnerProduct(benchmark::State& state) {
  const auto& v = Filled(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    double s = std::inner_product(v.Values().begin(), v.Values().end(), v.Values().begin(), 0.0);
    benchmark::DoNotOptimize(s);
  }
  SetBytes(state, 2 * state.range(0));
}

void BM_TVectorDotProduct(benchmark::State& state) {
  const auto& v = Filled(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    double s = v.DotProduct(&v);
    benchmark::DoNotOptimize(s);
  }
  SetBytes(state, 2 * state.range(0));
}

#define NUMBRA_STAT_SIZES ->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_StdAccumulate) NUMBRA_STAT_SIZES;
BENCHMARK(BM_TVectorSum) NUMBRA_STAT_SIZES;
BENCHMARK(BM_TVectorMeanVar) NUMBRA_STAT_SIZES;
BENCHMARK(BM_TVectorMinMax) NUMBRA_STAT_SIZES;
BENCHMARK(BM_StdInnerProduct) NUMBRA_STAT_SIZES;
BENCHMARK(BM_TVectorDotProduct) NUMBRA_STAT_SIZES;
BENCHMARK(BM_TVectorQuartiles)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
