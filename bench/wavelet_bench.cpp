// TWavelet1D full analysis and synthesis of 2^20 samples against a
// straightforward implementation of the same definition, in the same run.
#include "ORK_wavelet.h"

#include <cmath>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

constexpr int32_t kN = 1 << 20;

std::vector<double> RandomSignal(std::size_t n) {
  std::mt19937_64 gen(4);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> x(n);
  for (double& v : x) v = u(gen);
  return x;
}

// The plain transcription: a fresh work array per step, every source index
// through the periodic extension (s AND (L - 1)), taps in a runtime loop.
void StraightStep(std::vector<double>& x, std::size_t len, const std::vector<double>& h,
                  const std::vector<double>& g, bool inverse) {
  const std::size_t half = len / 2;
  const auto k = static_cast<std::ptrdiff_t>(h.size() / 2);
  std::vector<double> w(len, 0.0);
  for (std::size_t i = 1; i <= half; ++i)
    for (std::size_t m = 0; m < h.size(); ++m) {
      const std::ptrdiff_t s =
          2 * (static_cast<std::ptrdiff_t>(i) - k) + static_cast<std::ptrdiff_t>(m);
      const auto p = static_cast<std::size_t>(s) & (len - 1);
      if (!inverse) {
        w[i - 1] += h[m] * x[p];
        w[half + i - 1] += g[m] * x[p];
      } else {
        w[p] += h[m] * x[i - 1] + g[m] * x[half + i - 1];
      }
    }
  std::copy(w.begin(), w.end(), x.begin());
}

void BM_TWavelet1DRoundTrip(benchmark::State& state) {
  const auto order = static_cast<int32_t>(state.range(0));
  const auto x = RandomSignal(kN);
  numbra::TWavelet1D w;
  w.SetNumData(kN);
  w.SetOrder(order);
  for (int32_t i = 0; i < kN; ++i) w.SetDataVal(i + 1, x[static_cast<std::size_t>(i)]);
  for (auto _ : state) {
    w.Transform(30);
    w.InverseTransform(30);
    benchmark::ClobberMemory();
  }
  double err = 0.0;
  for (int32_t i = 0; i < kN; ++i)
    err = std::max(err, std::fabs(w.GetDataVal(i + 1) - x[static_cast<std::size_t>(i)]));
  state.counters["max_roundtrip_err"] = err;
  state.SetItemsProcessed(state.iterations() * kN);
}
BENCHMARK(BM_TWavelet1DRoundTrip)->DenseRange(1, 3)->Unit(benchmark::kMillisecond);

void BM_StraightWaveletRoundTrip(benchmark::State& state) {
  const auto order = static_cast<int32_t>(state.range(0));
  numbra::TWavelet1D filters;  // only for its filter coefficients
  filters.SetOrder(order);
  const std::vector<double> h(filters.CoeffsLP().begin(), filters.CoeffsLP().end());
  const std::vector<double> g(filters.CoeffsHP().begin(), filters.CoeffsHP().end());
  auto x = RandomSignal(kN);
  for (auto _ : state) {
    for (std::size_t len = kN; len >= 2; len /= 2) StraightStep(x, len, h, g, false);
    for (std::size_t len = 2; len <= kN; len *= 2) StraightStep(x, len, h, g, true);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kN);
}
BENCHMARK(BM_StraightWaveletRoundTrip)->DenseRange(1, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
