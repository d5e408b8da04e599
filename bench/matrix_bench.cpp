// TMatrix products, inversion and determinant, timed in the same run as
// OpenBLAS dgemm (one thread) and LAPACK dgetrf + dgetri when those are
// installed (see matrix.cmake). Compare the GFLOPS counters of
//   BM_TMatrixMultiply/n   with BM_BlasDgemm/n
//   BM_TMatrixInvert/n     with BM_LapackInvert/n
// (the flop counts are the nominal 2n^3 of both).
#include "ORK_matrix.h"

#include <cstdlib>
#include <vector>

#include <benchmark/benchmark.h>

#if defined(NUMBRA_BENCH_HAVE_BLAS) || defined(NUMBRA_BENCH_HAVE_LAPACK)
extern "C" {
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
            const double* alpha, const double* a, const int* lda, const double* b, const int* ldb,
            const double* beta, double* c, const int* ldc);
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

// A random matrix with a heavy diagonal: well conditioned, so that every
// inversion does the same work.
void FillTest(TMatrix& m, int32_t n, uint64_t seed) {
  numbra::SetRandSeed(seed);
  m.Resize(n, n);
  m.FillRandomUniform(-1.0, 1.0);
  for (int32_t i = 1; i <= n; ++i) m.SetVal(i, i, m.GetVal(i, i) + n);
}

void SetFlops(benchmark::State& state, double flops_per_iter) {
  state.counters["GFLOPS"] = benchmark::Counter(
      flops_per_iter * static_cast<double>(state.iterations()) * 1e-9, benchmark::Counter::kIsRate);
}

template <bool (TMatrix::*Op)(const TMatrix*, TMatrix*)>
void ProductBench(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  TMatrix a;
  TMatrix b;
  TMatrix c;
  FillTest(a, n, 1);
  FillTest(b, n, 2);
  for (auto _ : state) {
    (a.*Op)(&b, &c);
    benchmark::DoNotOptimize(c.Values().data());
  }
  SetFlops(state, 2.0 * n * n * n);
}

void BM_TMatrixMultiply(benchmark::State& state) { ProductBench<&TMatrix::Multiply>(state); }
void BM_TMatrixMultiplyTransposed(benchmark::State& state) {
  ProductBench<&TMatrix::MultiplyTransposed>(state);
}
void BM_TMatrixTransposeAndMultiply(benchmark::State& state) {
  ProductBench<&TMatrix::TransposeAndMultiply>(state);
}
BENCHMARK(BM_TMatrixMultiply)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TMatrixMultiplyTransposed)
    ->Arg(256)
    ->Arg(512)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TMatrixTransposeAndMultiply)
    ->Arg(256)
    ->Arg(512)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);

void BM_TMatrixInvert(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  TMatrix a;
  FillTest(a, n, 3);
  TMatrix w;
  for (auto _ : state) {
    w.Assign(&a);  // O(n^2), negligible beside the inversion
    if (!w.Invert()) state.SkipWithError("singular");
    benchmark::DoNotOptimize(w.Values().data());
  }
  SetFlops(state, 2.0 * n * n * n);
}
BENCHMARK(BM_TMatrixInvert)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_TMatrixDeterminant(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  TMatrix a;
  FillTest(a, n, 4);
  for (auto _ : state) benchmark::DoNotOptimize(a.Determinant());
  SetFlops(state, 2.0 / 3.0 * n * n * n);
}
BENCHMARK(BM_TMatrixDeterminant)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

#if defined(NUMBRA_BENCH_HAVE_BLAS)
void BM_BlasDgemm(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  TMatrix a;
  TMatrix b;
  FillTest(a, n, 1);
  FillTest(b, n, 2);
  std::vector<double> c(static_cast<std::size_t>(n) * n);
  const double one = 1.0;
  const double zero = 0.0;
  for (auto _ : state) {
    dgemm_("N", "N", &n, &n, &n, &one, a.Values().data(), &n, b.Values().data(), &n, &zero,
           c.data(), &n);
    benchmark::DoNotOptimize(c.data());
  }
  SetFlops(state, 2.0 * n * n * n);
}
BENCHMARK(BM_BlasDgemm)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);
#endif

#if defined(NUMBRA_BENCH_HAVE_LAPACK)
void BM_LapackInvert(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  TMatrix a;
  FillTest(a, n, 3);
  std::vector<double> w(static_cast<std::size_t>(n) * n);
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
  SetFlops(state, 2.0 * n * n * n);
}
BENCHMARK(BM_LapackInvert)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
#if defined(NUMBRA_BENCH_OPENBLAS)
  openblas_set_num_threads(1);
#endif
  ::setenv("OPENBLAS_NUM_THREADS", "1", 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
