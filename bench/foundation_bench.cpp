// Sorting and selection against the standard library, on the same data in
// the same run. The *Vs* benchmarks time both routines on identical copies
// in every iteration and report the ratio numbra / std as a counter.
#include "ORK_math1.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

std::vector<double> RandomDoubles(std::size_t n) {
  std::mt19937_64 rng(20240715);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> v(n);
  for (double& x : v) x = u(rng);
  return v;
}

const std::vector<double>& Data(std::size_t n) {
  static std::vector<double> cache;
  if (cache.size() != n) cache = RandomDoubles(n);
  return cache;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void BM_SortArray(benchmark::State& state) {
  const auto& src = Data(static_cast<std::size_t>(state.range(0)));
  std::vector<double> d(src.size());
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(src.begin(), src.end(), d.begin());
    state.ResumeTiming();
    numbra::SortArray(std::span<double>(d), true);
    benchmark::DoNotOptimize(d.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_StdSort(benchmark::State& state) {
  const auto& src = Data(static_cast<std::size_t>(state.range(0)));
  std::vector<double> d(src.size());
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(src.begin(), src.end(), d.begin());
    state.ResumeTiming();
    std::sort(d.begin(), d.end());
    benchmark::DoNotOptimize(d.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Manual time is SortArray's; "ratio" is SortArray time / std::sort time.
void BM_SortArrayVsStdSort(benchmark::State& state) {
  const auto& src = Data(static_cast<std::size_t>(state.range(0)));
  std::vector<double> a(src.size());
  std::vector<double> b(src.size());
  double ours = 0;
  double theirs = 0;
  for (auto _ : state) {
    std::copy(src.begin(), src.end(), a.begin());
    std::copy(src.begin(), src.end(), b.begin());
    const auto t0 = std::chrono::steady_clock::now();
    numbra::SortArray(std::span<double>(a), true);
    const auto t1 = std::chrono::steady_clock::now();
    std::sort(b.begin(), b.end());
    const auto t2 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(a.data());
    benchmark::DoNotOptimize(b.data());
    ours += Seconds(t0, t1);
    theirs += Seconds(t1, t2);
    state.SetIterationTime(Seconds(t0, t1));
  }
  state.counters["ratio"] = ours / theirs;
  state.counters["std_ms"] =
      benchmark::Counter(1e3 * theirs / static_cast<double>(state.iterations()));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The median of the whole array; "ratio" is QuickSelect / std::nth_element.
void BM_QuickSelectVsNthElement(benchmark::State& state) {
  const auto& src = Data(static_cast<std::size_t>(state.range(0)));
  const auto n = static_cast<int32_t>(src.size());
  std::vector<double> a(src.size());
  std::vector<double> b(src.size());
  double ours = 0;
  double theirs = 0;
  for (auto _ : state) {
    std::copy(src.begin(), src.end(), a.begin());
    std::copy(src.begin(), src.end(), b.begin());
    const auto t0 = std::chrono::steady_clock::now();
    const double m1 = numbra::QuickSelect(a, n / 2, 0, n - 1);
    const auto t1 = std::chrono::steady_clock::now();
    std::nth_element(b.begin(), b.begin() + n / 2, b.end());
    const auto t2 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(m1);
    benchmark::DoNotOptimize(b[static_cast<std::size_t>(n / 2)]);
    ours += Seconds(t0, t1);
    theirs += Seconds(t1, t2);
    state.SetIterationTime(Seconds(t0, t1));
  }
  state.counters["ratio"] = ours / theirs;
  state.counters["std_ms"] =
      benchmark::Counter(1e3 * theirs / static_cast<double>(state.iterations()));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_SortArray)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSort)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortArrayVsStdSort)
    ->Arg(1000000)
    ->Arg(10000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickSelectVsNthElement)
    ->Arg(1000000)
    ->Arg(10000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
