// TMatrix Invert, Determinant and LUdecomposition timed in the same run as
// LAPACK (OpenBLAS, one thread; see matrix.cmake):
//   BM_Invert/n           against BM_LapackInvert/n (copy, dgetrf, dgetri)
//   BM_Determinant/n      against BM_LapackDgetrf/n (copy, dgetrf)
//   BM_LUdecomposition/n  against BM_LapackDgetrf/n
// on a matrix with a heavy diagonal (no row exchanges), and
//   BM_InvertPivoting/n, BM_DeterminantPivoting/n  against their references
// on one without (a row exchange in nearly every column).
// Each numbra benchmark is registered next to its reference, size by size,
// so that both see the same load. At the end the program prints a table of
// the CPU times (the medians when run with repetitions) and the ratios,
// with the processor and the matrix kernel set in use. On a loaded machine:
//   --benchmark_repetitions=5 --benchmark_min_time=0.1
#include "ORK_matrix.h"
#include "matrix/gemm_detail.h"
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#if defined(NUMBRA_BENCH_HAVE_LAPACK)
extern "C" {
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetri_(const int* n, double* a, const int* lda, const int* ipiv, double* work,
             const int* lwork, int* info);
#if defined(NUMBRA_BENCH_OPENBLAS)
void openblas_set_num_threads(int num_threads);
#endif
}
#endif

namespace {

using numbra::TMatrix;

constexpr int kSizes[] = {64, 128, 256, 512, 1024};

// A random matrix with a heavy diagonal: well conditioned, so that every
// factorisation does the same work and none is singular; no row is ever
// exchanged. Without the heavy diagonal (Pivoting) nearly every column
// exchanges two rows, as in general use.
void FillTest(TMatrix& m, int32_t n, uint64_t seed, bool pivoting = false) {
  numbra::SetRandSeed(seed);
  m.Resize(n, n);
  m.FillRandomUniform(-1.0, 1.0);
  if (!pivoting)
    for (int32_t i = 1; i <= n; ++i) m.SetVal(i, i, m.GetVal(i, i) + n);
}

void SetFlops(benchmark::State& state, double flops_per_iter) {
  state.counters["GFLOPS"] = benchmark::Counter(
      flops_per_iter * static_cast<double>(state.iterations()) * 1e-9, benchmark::Counter::kIsRate);
}

double Cube(benchmark::State& state) {
  const auto n = static_cast<double>(state.range(0));
  return n * n * n;
}

template <bool Pivoting>
void BM_Invert(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  TMatrix a;
  FillTest(a, n, 3, Pivoting);
  TMatrix w;
  for (auto _ : state) {
    w.Assign(&a);  // the copy LAPACK's side makes too
    if (!w.Invert()) state.SkipWithError("singular");
    benchmark::DoNotOptimize(w.Values().data());
  }
  SetFlops(state, 2.0 * Cube(state));
}

template <bool Pivoting>
void BM_Determinant(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  TMatrix a;
  FillTest(a, n, 4, Pivoting);
  for (auto _ : state) benchmark::DoNotOptimize(a.Determinant());
  SetFlops(state, 2.0 / 3.0 * Cube(state));
}

void BM_LUdecomposition(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  TMatrix a;
  FillTest(a, n, 4);
  TMatrix l;
  TMatrix u;
  for (auto _ : state) {
    if (!a.LUdecomposition(&l, &u)) state.SkipWithError("singular");
    benchmark::DoNotOptimize(u.Values().data());
  }
  SetFlops(state, 2.0 / 3.0 * Cube(state));
}

#if defined(NUMBRA_BENCH_HAVE_LAPACK)
template <bool Pivoting>
void BM_LapackInvert(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  TMatrix a;
  FillTest(a, n, 3, Pivoting);
  std::vector<double> w(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
  std::vector<int> ipiv(static_cast<std::size_t>(n));
  int info = 0;
  int lwork = -1;
  double query = 0.0;
  dgetri_(&n, w.data(), &n, ipiv.data(), &query, &lwork, &info);
  lwork = static_cast<int>(query);
  std::vector<double> work(static_cast<std::size_t>(lwork));
  for (auto _ : state) {
    std::copy(a.Values().begin(), a.Values().end(), w.begin());
    dgetrf_(&n, &n, w.data(), &n, ipiv.data(), &info);
    dgetri_(&n, w.data(), &n, ipiv.data(), work.data(), &lwork, &info);
    if (info != 0) state.SkipWithError("singular");
    benchmark::DoNotOptimize(w.data());
  }
  SetFlops(state, 2.0 * Cube(state));
}

template <bool Pivoting>
void BM_LapackDgetrf(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  TMatrix a;
  FillTest(a, n, 4, Pivoting);
  std::vector<double> w(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
  std::vector<int> ipiv(static_cast<std::size_t>(n));
  int info = 0;
  for (auto _ : state) {
    std::copy(a.Values().begin(), a.Values().end(), w.begin());
    dgetrf_(&n, &n, w.data(), &n, ipiv.data(), &info);
    if (info != 0) state.SkipWithError("singular");
    benchmark::DoNotOptimize(w.data());
  }
  SetFlops(state, 2.0 / 3.0 * Cube(state));
}
#endif

void Register() {
  const auto add = [](const char* name, void (*fn)(benchmark::State&), int n) {
    benchmark::RegisterBenchmark(name, fn)->Arg(n)->Unit(benchmark::kMicrosecond);
  };
  for (const int n : kSizes) {
    add("BM_Invert", BM_Invert<false>, n);
#if defined(NUMBRA_BENCH_HAVE_LAPACK)
    add("BM_LapackInvert", BM_LapackInvert<false>, n);
#endif
    add("BM_Determinant", BM_Determinant<false>, n);
    add("BM_LUdecomposition", BM_LUdecomposition, n);
#if defined(NUMBRA_BENCH_HAVE_LAPACK)
    add("BM_LapackDgetrf", BM_LapackDgetrf<false>, n);
#endif
    add("BM_InvertPivoting", BM_Invert<true>, n);
#if defined(NUMBRA_BENCH_HAVE_LAPACK)
    add("BM_LapackInvertPivoting", BM_LapackInvert<true>, n);
#endif
    add("BM_DeterminantPivoting", BM_Determinant<true>, n);
#if defined(NUMBRA_BENCH_HAVE_LAPACK)
    add("BM_LapackDgetrfPivoting", BM_LapackDgetrf<true>, n);
#endif
  }
}

std::string ProcessorName() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

// The console output as usual, and the CPU time of every benchmark
// collected for the closing table: the median aggregate when there is one,
// otherwise the median of the single runs.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& r : reports) {
      if (r.error_occurred) continue;
      const std::string key = r.run_name.function_name + "/" + r.run_name.args;
      const double seconds = r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
      if (r.run_type == Run::RT_Aggregate) {
        if (r.aggregate_name == "median") medians_[key] = seconds;
      } else {
        runs_[key].push_back(seconds);
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nCPU time per call (median), numbra against LAPACK, one thread\n");
    std::printf("processor: %s, matrix kernel: %s\n", ProcessorName().c_str(),
                numbra::detail::KernelName());
    std::printf("%-20s %6s %12s %12s %8s\n", "operation", "n", "numbra [us]", "LAPACK [us]",
                "ratio");
    const std::pair<const char*, const char*> forms[] = {
        {"BM_Invert", "BM_LapackInvert"},
        {"BM_Determinant", "BM_LapackDgetrf"},
        {"BM_LUdecomposition", "BM_LapackDgetrf"},
        {"BM_InvertPivoting", "BM_LapackInvertPivoting"},
        {"BM_DeterminantPivoting", "BM_LapackDgetrfPivoting"}};
    for (const auto& [ours, ref] : forms)
      for (const int n : kSizes) {
        const double t = Time(ours, n);
        const double r = Time(ref, n);
        if (t <= 0.0) continue;
        if (r > 0.0)
          std::printf("%-20s %6d %12.1f %12.1f %8.3f\n", ours + 3, n, t * 1e6, r * 1e6, t / r);
        else
          std::printf("%-20s %6d %12.1f %12s %8s\n", ours + 3, n, t * 1e6, "-", "-");
      }
  }

 private:
  double Time(const std::string& name, int n) {
    const std::string key = name + "/" + std::to_string(n);
    if (const auto it = medians_.find(key); it != medians_.end()) return it->second;
    const auto it = runs_.find(key);
    if (it == runs_.end() || it->second.empty()) return 0.0;
    std::vector<double> v = it->second;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
  }

  std::map<std::string, double> medians_;
  std::map<std::string, std::vector<double>> runs_;
};

}  // namespace

int main(int argc, char** argv) {
  // OpenBLAS reads its thread count when it is loaded: without the variable
  // its idle worker threads would spin beside the benchmarks. Run again
  // with it set.
  if (std::getenv("OPENBLAS_NUM_THREADS") == nullptr) {
    ::setenv("OPENBLAS_NUM_THREADS", "1", 1);
    ::execv("/proc/self/exe", argv);  // returns only when it failed
  }
#if defined(NUMBRA_BENCH_OPENBLAS)
  openblas_set_num_threads(1);
#endif
  Register();
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("processor", ProcessorName());
  benchmark::AddCustomContext("matrix kernel", numbra::detail::KernelName());
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
