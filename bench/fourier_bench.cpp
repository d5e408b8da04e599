// TFastFourier::Transform against FFTW's FFTW_ESTIMATE plan, in the same
// run: time per transform, the time ratio measured in one loop, and the
// relative RMS error against FFTW (and against a long double DFT at 2^10);
// the round trip at 2^1..2^22 against FFTW_MEASURE plans, printed as a table
// of medians at the end (filter: RoundTrip). The processor and
// the butterfly kernel in use are printed in the context lines.
#include "ORK_fourier.h"
#include "fourier/fft_detail.h"
#include "paired_timing.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#if defined(NUMBRA_HAVE_FFTW)
#include <fftw3.h>
#endif

namespace {

std::vector<double> RandomInterleaved(std::size_t n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> v(2 * n);
  for (double& x : v) x = u(gen);
  return v;
}

// Repeated unscaled transforms grow the values by about sqrt(N) each time;
// the input is restored every kReload transforms (outside the timing) so
// that it stays far from overflow.
constexpr int kReload = 16;

void BM_TFastFourierTransform(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  const auto input = RandomInterleaved(static_cast<std::size_t>(n), 1);
  numbra::TFastFourier f;
  f.SetNumData(n);
  auto load = [&] { std::memcpy(f.Data().data(), input.data(), input.size() * sizeof(double)); };
  load();
  f.Transform();  // builds the twiddle tables, as FFTW's planner does
  load();
  int count = 0;
  for (auto _ : state) {
    f.Transform();
    if (++count % kReload == 0) {
      state.PauseTiming();
      load();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["MFLOP/s"] =
      benchmark::Counter(5.0 * n * std::log2(n) * static_cast<double>(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TFastFourierTransform)
    ->Arg(1 << 10)
    ->Arg(1 << 16)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);

#if defined(NUMBRA_HAVE_FFTW)
struct FftwPlan {
  explicit FftwPlan(int n) : size(n), data(fftw_alloc_complex(static_cast<std::size_t>(n))) {
    // FFTW_BACKWARD has the same positive exponent as TFastFourier::Transform.
    plan = fftw_plan_dft_1d(n, data, data, FFTW_BACKWARD, FFTW_ESTIMATE);
  }
  ~FftwPlan() {
    fftw_destroy_plan(plan);
    fftw_free(data);
  }
  FftwPlan(const FftwPlan&) = delete;
  FftwPlan& operator=(const FftwPlan&) = delete;
  void Load(const std::vector<double>& v) {
    std::memcpy(reinterpret_cast<double*>(data), v.data(), v.size() * sizeof(double));
  }
  int size;
  fftw_complex* data;
  fftw_plan plan;
};

void BM_FFTWEstimateExecute(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  const auto input = RandomInterleaved(static_cast<std::size_t>(n), 1);
  FftwPlan p(n);
  p.Load(input);
  int count = 0;
  for (auto _ : state) {
    fftw_execute(p.plan);
    if (++count % kReload == 0) {
      state.PauseTiming();
      p.Load(input);
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["MFLOP/s"] =
      benchmark::Counter(5.0 * n * std::log2(n) * static_cast<double>(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FFTWEstimateExecute)
    ->Arg(1 << 10)
    ->Arg(1 << 16)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);

// Both transforms timed alternately in one loop; counter "ratio" is
// time(Transform) / time(FFTW execute), the speed goal being below 2.
void BM_TFastFourierOverFFTW(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  const auto input = RandomInterleaved(static_cast<std::size_t>(n), 2);
  numbra::TFastFourier f;
  f.SetNumData(n);
  FftwPlan p(n);
  auto load = [&] {
    std::memcpy(f.Data().data(), input.data(), input.size() * sizeof(double));
    p.Load(input);
  };
  load();
  f.Transform();
  load();
  // Thread CPU time, so that other load on the machine does not tilt the
  // ratio.
  auto now = [] {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
  };
  double ours = 0.0;
  double theirs = 0.0;
  int count = 0;
  for (auto _ : state) {
    const double t0 = now();
    f.Transform();
    const double t1 = now();
    fftw_execute(p.plan);
    const double t2 = now();
    ours += t1 - t0;
    theirs += t2 - t1;
    if (++count % kReload == 0) load();
  }
  state.counters["ratio"] = ours / theirs;
}
BENCHMARK(BM_TFastFourierOverFFTW)
    ->Arg(1 << 10)
    ->Arg(1 << 16)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);

// Transform + InverseTransform against FFTW's forward + backward plans made
// with FFTW_MEASURE and FFTW's 1/N scaling of the round trip, at every size
// 2^1..2^22. The two sides are timed in alternating pairs of batches
// (paired_timing.h; about 2^14 points per batch, so that the clock's own
// cost does not count) with the thread's CPU time; each benchmark
// iteration yields one ratio, and the table printed at the end gives the
// medians per size over all repetitions. Counters: ns per round trip of each (medians),
// "ratio" = numbra / FFTW.
std::string RoundTripKey(int32_t n) { return "RoundTrip/" + std::to_string(n); }

void BM_RoundTripOverFFTWMeasure(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  const auto input = RandomInterleaved(static_cast<std::size_t>(n), 4);
  numbra::TFastFourier f;
  f.SetNumData(n);
  std::memcpy(f.Data().data(), input.data(), input.size() * sizeof(double));
  fftw_complex* data = fftw_alloc_complex(static_cast<std::size_t>(n));
  // FFTW_MEASURE overwrites the array while planning: load it afterwards.
  // FFTW_BACKWARD has the positive exponent of TFastFourier::Transform.
  fftw_plan fwd = fftw_plan_dft_1d(n, data, data, FFTW_BACKWARD, FFTW_MEASURE);
  fftw_plan bwd = fftw_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_MEASURE);
  std::memcpy(reinterpret_cast<double*>(data), input.data(), input.size() * sizeof(double));
  auto* flat = reinterpret_cast<double*>(data);
  const double scale = 1.0 / n;
  f.Transform();  // builds the twiddle tables, as FFTW's planner does
  f.InverseTransform();
  const int batch = std::max(1, (1 << 14) / n);
  const numbra_bench::PairedRow row = numbra_bench::TimePaired(
      state, RoundTripKey(n), batch,
      [&] {
        f.Transform();
        f.InverseTransform();
      },
      [&] {
        fftw_execute(fwd);
        fftw_execute(bwd);
        for (int32_t i = 0; i < 2 * n; ++i) flat[i] *= scale;
      });
  state.counters["ns_numbra"] = 1e9 * row.ours;
  state.counters["ns_fftw"] = 1e9 * row.ref;
  state.counters["ratio"] = row.ratio;
  fftw_destroy_plan(fwd);
  fftw_destroy_plan(bwd);
  fftw_free(data);
}
BENCHMARK(BM_RoundTripOverFFTWMeasure)
    ->RangeMultiplier(2)
    ->Range(2, 1 << 22)
    ->Unit(benchmark::kMicrosecond);
#endif

// Recursive radix-2 FFT in long double, every twiddle from its own sine and
// cosine: the reference for the error of both double transforms.
void LongDoubleFftRec(std::vector<std::complex<long double>>& a) {
  const std::size_t n = a.size();
  if (n == 1) return;
  std::vector<std::complex<long double>> even(n / 2), odd(n / 2);
  for (std::size_t j = 0; j < n / 2; ++j) {
    even[j] = a[2 * j];
    odd[j] = a[2 * j + 1];
  }
  LongDoubleFftRec(even);
  LongDoubleFftRec(odd);
  constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
  for (std::size_t k = 0; k < n / 2; ++k) {
    const long double ang = kTwoPi * static_cast<long double>(k) / static_cast<long double>(n);
    const auto t = std::complex<long double>(std::cos(ang), std::sin(ang)) * odd[k];
    a[k] = even[k] + t;
    a[k + n / 2] = even[k] - t;
  }
}

std::vector<std::complex<long double>> LongDoubleDft(const std::vector<double>& interleaved) {
  std::vector<std::complex<long double>> a(interleaved.size() / 2);
  for (std::size_t j = 0; j < a.size(); ++j) a[j] = {interleaved[2 * j], interleaved[2 * j + 1]};
  LongDoubleFftRec(a);
  return a;
}

// Relative RMS error of Transform on random input against a long double FFT
// and against FFTW (whose own error against the long double FFT is given as
// "fftw_err"). Counter "goal" is 1e-15 log2 N.
void BM_TFastFourierAccuracy(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  const auto input = RandomInterleaved(static_cast<std::size_t>(n), 3);
  numbra::TFastFourier f;
  f.SetNumData(n);
  for (auto _ : state) {
    std::memcpy(f.Data().data(), input.data(), input.size() * sizeof(double));
    f.Transform();
  }
  const auto ours = f.Data();
  auto rel_rms = [&](auto&& reference) {
    long double err = 0, norm = 0;
    for (int32_t k = 0; k < n; ++k) {
      const std::complex<long double> want = reference(k);
      const std::complex<long double> got(ours[2 * k], ours[2 * k + 1]);
      err += std::norm(got - want);
      norm += std::norm(want);
    }
    return static_cast<double>(std::sqrt(err / norm));
  };
  const auto ref = LongDoubleDft(input);
  state.counters["err_vs_long_double"] =
      rel_rms([&](int32_t k) { return ref[static_cast<std::size_t>(k)]; });
#if defined(NUMBRA_HAVE_FFTW)
  {
    FftwPlan p(n);
    p.Load(input);
    fftw_execute(p.plan);
    state.counters["err_vs_fftw"] =
        rel_rms([&](int32_t k) { return std::complex<long double>(p.data[k][0], p.data[k][1]); });
    long double err = 0, norm = 0;
    for (int32_t k = 0; k < n; ++k) {
      const auto& want = ref[static_cast<std::size_t>(k)];
      err += std::norm(std::complex<long double>(p.data[k][0], p.data[k][1]) - want);
      norm += std::norm(want);
    }
    state.counters["fftw_err"] = static_cast<double>(std::sqrt(err / norm));
  }
#endif
  state.counters["goal"] = 1e-15 * std::log2(n);
}
BENCHMARK(BM_TFastFourierAccuracy)
    ->Arg(1 << 10)
    ->Arg(1 << 16)
    ->Arg(1 << 20)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("processor", numbra_bench::ProcessorName());
  benchmark::AddCustomContext("fft kernel", numbra::detail::fft::KernelName());
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
#if defined(NUMBRA_HAVE_FFTW)
  if (!numbra_bench::PairedRecord().empty()) {
    std::printf("\nTransform + InverseTransform against FFTW_MEASURE forward + backward + 1/N\n");
    std::printf("processor: %s, fft kernel: %s (medians of thread CPU time)\n",
                numbra_bench::ProcessorName().c_str(), numbra::detail::fft::KernelName());
    std::printf("%8s %14s %14s %8s\n", "N", "numbra ns", "FFTW ns", "ratio");
    for (int32_t n = 2; n <= (1 << 22); n *= 2) {
      const numbra_bench::PairedRow row = numbra_bench::Recorded(RoundTripKey(n));
      if (row.ours <= 0.0) continue;
      std::printf("2^%-6d %14.1f %14.1f %8.2f\n", std::countr_zero(static_cast<uint32_t>(n)),
                  1e9 * row.ours, 1e9 * row.ref, row.ratio);
    }
  }
#endif
  benchmark::Shutdown();
  return 0;
}
