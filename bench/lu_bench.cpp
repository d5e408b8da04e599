// TMatrix Invert, Determinant and LUdecomposition timed in the same run as
// LAPACK (OpenBLAS, one thread; see matrix.cmake), call against call in
// alternating pairs (paired_timing.h):
//   BM_Invert/n           against copy, dgetrf, dgetri
//   BM_Determinant/n      against copy, dgetrf
//   BM_LUdecomposition/n  against copy, dgetrf
// on a matrix with a heavy diagonal (no row exchanges), and
//   BM_InvertPivoting/n, BM_DeterminantPivoting/n  against the same
// on one without (a row exchange in nearly every column). Counters: us per
// call of each side and the ratio numbra / LAPACK (medians of the pairs).
// At the end the program prints a table of the medians over all
// repetitions, with the processor and the matrix kernel set in use. On a
// loaded machine: --benchmark_repetitions=5
#include "ORK_matrix.h"
#include "matrix/gemm_detail.h"
#include "paired_timing.h"
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
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
using numbra_bench::PairedRow;

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

enum class LuOp { kInvert, kDeterminant, kLUdecomposition };

#if defined(NUMBRA_BENCH_HAVE_LAPACK)
// LAPACK's side: the matrix copied into a work array, then dgetrf (and
// dgetri for the inverse), with the work arrays kept between calls.
class LapackLu {
 public:
  explicit LapackLu(int n)
      : n_(n),
        w_(static_cast<std::size_t>(n) * static_cast<std::size_t>(n)),
        ipiv_(static_cast<std::size_t>(n)) {
    int info = 0;
    int query_size = -1;
    double query = 0.0;
    dgetri_(&n_, w_.data(), &n_, ipiv_.data(), &query, &query_size, &info);
    lwork_ = static_cast<int>(query);
    work_.resize(static_cast<std::size_t>(std::max(lwork_, 1)));
  }

  void Run(const TMatrix& a, bool invert) {
    std::copy(a.Values().begin(), a.Values().end(), w_.begin());
    int info = 0;
    dgetrf_(&n_, &n_, w_.data(), &n_, ipiv_.data(), &info);
    if (invert && info == 0)
      dgetri_(&n_, w_.data(), &n_, ipiv_.data(), work_.data(), &lwork_, &info);
    ok_ = ok_ && info == 0;
    benchmark::DoNotOptimize(w_.data());
  }

  [[nodiscard]] bool ok() const { return ok_; }

 private:
  int n_;
  int lwork_ = 1;
  bool ok_ = true;
  std::vector<double> w_;
  std::vector<int> ipiv_;
  std::vector<double> work_;
};
#endif

std::string Key(const char* name, int n) { return std::string(name) + "/" + std::to_string(n); }

template <LuOp Op, bool Pivoting>
void BM_Lu(benchmark::State& state, const char* name) {
  const auto n = static_cast<int32_t>(state.range(0));
  TMatrix a;
  FillTest(a, n, Op == LuOp::kInvert ? 3 : 4, Pivoting);
  TMatrix w;
  TMatrix l;
  TMatrix u;
  bool ok = true;
  auto ours = [&] {
    if constexpr (Op == LuOp::kInvert) {
      w.Assign(&a);  // the copy LAPACK's side makes too
      ok = w.Invert() && ok;
      benchmark::DoNotOptimize(w.Values().data());
    } else if constexpr (Op == LuOp::kDeterminant) {
      benchmark::DoNotOptimize(a.Determinant());
    } else {
      ok = a.LUdecomposition(&l, &u) && ok;
      benchmark::DoNotOptimize(u.Values().data());
    }
  };
  // Batches of about 2^21 multiply-adds, so that the clock's own cost
  // does not count at n = 64.
  const int batch = std::max(1, (1 << 21) / (n * n * n));
#if defined(NUMBRA_BENCH_HAVE_LAPACK)
  LapackLu lapack(n);
  const PairedRow row = numbra_bench::TimePaired(state, Key(name, n), batch, ours,
                                                 [&] { lapack.Run(a, Op == LuOp::kInvert); });
  ok = ok && lapack.ok();
#else
  const PairedRow row = numbra_bench::TimePaired(state, Key(name, n), batch, ours, nullptr);
#endif
  if (!ok) state.SkipWithError("singular");
  state.counters["us_numbra"] = 1e6 * row.ours;
  if (row.ref > 0.0) {
    state.counters["us_lapack"] = 1e6 * row.ref;
    state.counters["ratio"] = row.ratio;
  }
}

constexpr const char* kForms[] = {"BM_Invert", "BM_Determinant", "BM_LUdecomposition",
                                  "BM_InvertPivoting", "BM_DeterminantPivoting"};

void Register() {
  using Fn = void (*)(benchmark::State&, const char*);
  constexpr Fn fns[] = {&BM_Lu<LuOp::kInvert, false>, &BM_Lu<LuOp::kDeterminant, false>,
                        &BM_Lu<LuOp::kLUdecomposition, false>, &BM_Lu<LuOp::kInvert, true>,
                        &BM_Lu<LuOp::kDeterminant, true>};
  for (const int n : kSizes)
    for (std::size_t f = 0; f < std::size(kForms); ++f)
      benchmark::RegisterBenchmark(kForms[f], fns[f], kForms[f])
          ->Arg(n)
          ->Unit(benchmark::kMicrosecond);
}

void PrintTable() {
  std::printf(
      "\nCPU time per call (medians of alternating pairs), numbra against LAPACK, one thread\n");
  std::printf("processor: %s, matrix kernel: %s\n", numbra_bench::ProcessorName().c_str(),
              numbra::detail::KernelName());
  std::printf("%-20s %6s %12s %12s %8s\n", "operation", "n", "numbra [us]", "LAPACK [us]", "ratio");
  for (const char* form : kForms)
    for (const int n : kSizes) {
      const PairedRow row = numbra_bench::Recorded(Key(form, n));
      if (row.ours <= 0.0) continue;
      if (row.ref > 0.0)
        std::printf("%-20s %6d %12.1f %12.1f %8.3f\n", form + 3, n, row.ours * 1e6, row.ref * 1e6,
                    row.ratio);
      else
        std::printf("%-20s %6d %12.1f %12s %8s\n", form + 3, n, row.ours * 1e6, "-", "-");
    }
}

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
  benchmark::AddCustomContext("processor", numbra_bench::ProcessorName());
  benchmark::AddCustomContext("matrix kernel", numbra::detail::KernelName());
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  PrintTable();
  benchmark::Shutdown();
  return 0;
}
