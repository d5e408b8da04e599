// TMatrix distances, sorting and standardisation. Compare
//   BM_TMatrixCalcDistMat        with BM_GetValDistanceLoop (2000 rows x 20
//                                columns, Euclidean; the same run)
//   BM_TMatrixSortRows/0 and /1  10^5 rows x 10 columns, without and with an
//                                OnSortExchange handler
//   BM_TMatrixStandardizeColumns 10^6 rows x 10 columns
#include "ORK_matrix.h"

#include <cmath>
#include <cstdint>

#include <benchmark/benchmark.h>

namespace {

using numbra::TDistMode;
using numbra::TMatrix;

void FillRandom(TMatrix& m, int32_t cols, int32_t rows, uint64_t seed) {
  numbra::SetRandSeed(seed);
  m.Resize(cols, rows);
  m.FillRandomGauss(0.0, 1.0);
}

constexpr int32_t kDistRows = 2000;
constexpr int32_t kDistCols = 20;

void BM_TMatrixCalcDistMat(benchmark::State& state) {
  TMatrix m;
  TMatrix d;
  FillRandom(m, kDistCols, kDistRows, 1);
  d.Resize(kDistRows, kDistRows);
  for (auto _ : state) {
    benchmark::DoNotOptimize(m.CalcDistMat(TDistMode::dmEuclid, &d));
    benchmark::DoNotOptimize(d.Values().data());
  }
  state.SetItemsProcessed(state.iterations() * kDistRows * (kDistRows - 1) / 2);
}
BENCHMARK(BM_TMatrixCalcDistMat)->Unit(benchmark::kMillisecond);

// The straightforward way a host would write it: every pair, every element
// through GetVal, both triangles through SetVal.
void BM_GetValDistanceLoop(benchmark::State& state) {
  TMatrix m;
  TMatrix d;
  FillRandom(m, kDistCols, kDistRows, 1);
  d.Resize(kDistRows, kDistRows);
  for (auto _ : state) {
    for (int32_t i = 1; i <= kDistRows; ++i) {
      d.SetVal(i, i, 0.0);
      for (int32_t j = i + 1; j <= kDistRows; ++j) {
        double s = 0.0;
        for (int32_t k = 1; k <= kDistCols; ++k) {
          const double x = m.GetVal(k, i) - m.GetVal(k, j);
          s += x * x;
        }
        d.SetVal(i, j, std::sqrt(s));
        d.SetVal(j, i, std::sqrt(s));
      }
    }
    benchmark::DoNotOptimize(d.Values().data());
  }
  state.SetItemsProcessed(state.iterations() * kDistRows * (kDistRows - 1) / 2);
}
BENCHMARK(BM_GetValDistanceLoop)->Unit(benchmark::kMillisecond);

void BM_TMatrixSortRows(benchmark::State& state) {
  constexpr int32_t kRows = 100000;
  constexpr int32_t kCols = 10;
  TMatrix input;
  FillRandom(input, kCols, kRows, 2);
  TMatrix m;
  int64_t exchanges = 0;
  for (auto _ : state) {
    state.PauseTiming();
    m.Assign(&input);
    if (state.range(0) != 0)
      m.OnSortExchange = [&exchanges](numbra::TObject*, uint8_t, int32_t, int32_t, int32_t,
                                      int32_t) { ++exchanges; };
    state.ResumeTiming();
    m.SortRows(3, true, 0, 0, 0, 0);
    benchmark::DoNotOptimize(m.Values().data());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  if (state.range(0) != 0)
    state.counters["exchanges"] =
        static_cast<double>(exchanges) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TMatrixSortRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_TMatrixStandardizeColumns(benchmark::State& state) {
  constexpr int32_t kRows = 1000000;
  constexpr int32_t kCols = 10;
  TMatrix m;
  FillRandom(m, kCols, kRows, 3);
  m.SAdd(1e6);  // a large offset, as measured data often have
  for (auto _ : state) {
    m.StandardizeColumns(nullptr, nullptr);
    benchmark::DoNotOptimize(m.Values().data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kRows} * kCols);
  state.SetBytesProcessed(state.iterations() * int64_t{kRows} * kCols * 8);
}
BENCHMARK(BM_TMatrixStandardizeColumns)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
