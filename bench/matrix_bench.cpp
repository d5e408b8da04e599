// TMatrix products, timed in the same run as OpenBLAS dgemm (one thread)
// when it is installed (see matrix.cmake; the inverse and the determinant
// are timed by lu_bench). Compare the GFLOPS counters of
//   BM_TMatrixMultiply/m/k/n             with BM_BlasDgemmNN/m/k/n
//   BM_TMatrixMultiplyTransposed/m/k/n   with BM_BlasDgemmNT/m/k/n
//   BM_TMatrixTransposeAndMultiply/m/k/n with BM_BlasDgemmTN/m/k/n
// (the flop counts are the nominal 2mnk of both). The processor
// and the product kernel in use are printed in the context lines. On a
// loaded machine compare the CPU-time medians of a few repetitions:
//   --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
#include "ORK_matrix.h"
#include "matrix/gemm_detail.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#if defined(NUMBRA_BENCH_HAVE_BLAS) || defined(NUMBRA_BENCH_HAVE_LAPACK)
extern "C" {
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
            const double* alpha, const double* a, const int* lda, const double* b, const int* ldb,
            const double* beta, double* c, const int* ldc);
#if defined(NUMBRA_BENCH_OPENBLAS)
void openblas_set_num_threads(int num_threads);
#endif
}
#endif

namespace {

using numbra::TMatrix;

void SetFlops(benchmark::State& state, double flops_per_iter) {
  state.counters["GFLOPS"] = benchmark::Counter(
      flops_per_iter * static_cast<double>(state.iterations()) * 1e-9, benchmark::Counter::kIsRate);
}

// Product shapes {m, k, n}: C (m x n) := op(A) (m x k) * op(B) (k x n).
// Square sizes and the rectangular shapes of the outer products and of the
// thin inner products.
void ProductShapes(benchmark::internal::Benchmark* b) {
  for (const int64_t n : {64, 128, 256, 512, 1024}) b->Args({n, n, n});
  b->Args({1000, 50, 1000});
  b->Args({50, 1000, 50});
  b->Args({10000, 8, 10000});
  b->Unit(benchmark::kMillisecond);
}

// A rows x cols matrix of uniform values in [-1, 1].
void FillShape(TMatrix& m, int64_t rows, int64_t cols, uint64_t seed) {
  numbra::SetRandSeed(seed);
  m.Resize(static_cast<int32_t>(cols), static_cast<int32_t>(rows));
  m.FillRandomUniform(-1.0, 1.0);
}

// Form 0: A * B, 1: A * transpose(B), 2: transpose(A) * B. The operands are
// stored as the form reads them; the result matrix is kept between calls,
// as a caller repeating a product of one shape keeps it.
template <int Form>
void ProductBench(benchmark::State& state) {
  const int64_t m = state.range(0);
  const int64_t k = state.range(1);
  const int64_t n = state.range(2);
  TMatrix a;
  TMatrix b;
  TMatrix c;
  if (Form == 2)
    FillShape(a, k, m, 1);
  else
    FillShape(a, m, k, 1);
  if (Form == 1)
    FillShape(b, n, k, 2);
  else
    FillShape(b, k, n, 2);
  for (auto _ : state) {
    const bool ok = Form == 0   ? a.Multiply(&b, &c)
                    : Form == 1 ? a.MultiplyTransposed(&b, &c)
                                : a.TransposeAndMultiply(&b, &c);
    if (!ok) state.SkipWithError("shape");
    benchmark::DoNotOptimize(c.Values().data());
  }
  SetFlops(state, 2.0 * static_cast<double>(m) * static_cast<double>(n) * static_cast<double>(k));
}

void BM_TMatrixMultiply(benchmark::State& state) { ProductBench<0>(state); }
void BM_TMatrixMultiplyTransposed(benchmark::State& state) { ProductBench<1>(state); }
void BM_TMatrixTransposeAndMultiply(benchmark::State& state) { ProductBench<2>(state); }
BENCHMARK(BM_TMatrixMultiply)->Apply(ProductShapes);
BENCHMARK(BM_TMatrixMultiplyTransposed)->Apply(ProductShapes);
BENCHMARK(BM_TMatrixTransposeAndMultiply)->Apply(ProductShapes);

#if defined(NUMBRA_BENCH_HAVE_BLAS)
// dgemm on the same operands, with the transposition flags of each form and
// beta = 0 into a result array kept between calls.
template <int Form>
void DgemmBench(benchmark::State& state) {
  const int64_t m = state.range(0);
  const int64_t k = state.range(1);
  const int64_t n = state.range(2);
  TMatrix a;
  TMatrix b;
  if (Form == 2)
    FillShape(a, k, m, 1);
  else
    FillShape(a, m, k, 1);
  if (Form == 1)
    FillShape(b, n, k, 2);
  else
    FillShape(b, k, n, 2);
  std::vector<double> c(static_cast<std::size_t>(m * n));
  const int mi = static_cast<int>(m);
  const int ni = static_cast<int>(n);
  const int ki = static_cast<int>(k);
  const int lda = a.NrOfRows();
  const int ldb = b.NrOfRows();
  const double one = 1.0;
  const double zero = 0.0;
  const char* ta = Form == 2 ? "T" : "N";
  const char* tb = Form == 1 ? "T" : "N";
  for (auto _ : state) {
    dgemm_(ta, tb, &mi, &ni, &ki, &one, a.Values().data(), &lda, b.Values().data(), &ldb, &zero,
           c.data(), &mi);
    benchmark::DoNotOptimize(c.data());
  }
  SetFlops(state, 2.0 * static_cast<double>(m) * static_cast<double>(n) * static_cast<double>(k));
}
void BM_BlasDgemmNN(benchmark::State& state) { DgemmBench<0>(state); }
void BM_BlasDgemmNT(benchmark::State& state) { DgemmBench<1>(state); }
void BM_BlasDgemmTN(benchmark::State& state) { DgemmBench<2>(state); }
BENCHMARK(BM_BlasDgemmNN)->Apply(ProductShapes);
BENCHMARK(BM_BlasDgemmNT)->Apply(ProductShapes);
BENCHMARK(BM_BlasDgemmTN)->Apply(ProductShapes);
#endif

std::string ProcessorName() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
#if defined(NUMBRA_BENCH_OPENBLAS)
  openblas_set_num_threads(1);
#endif
  ::setenv("OPENBLAS_NUM_THREADS", "1", 0);
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("processor", ProcessorName());
  benchmark::AddCustomContext("product kernel", numbra::detail::KernelName());
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
