// TVector storage benchmarks: checksum throughput and element access cost.
#include "ORK_vector.h"

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

}  // namespace

BENCHMARK_MAIN();
