// TMatrix products, timed in the same run as OpenBLAS dgemm (one thread)
// when it is installed (see matrix.cmake; the inverse, the determinant and
// the LU factorisation are timed by lu_bench). For every product shape each
// form is timed call against call, in alternating pairs (paired_timing.h),
// with dgemm under the matching transposition flags:
//   BM_Multiply/m/k/n              against dgemm N, N
//   BM_MultiplyTransposed/m/k/n    against dgemm N, T
//   BM_TransposeAndMultiply/m/k/n  against dgemm T, N
// (by default five short repetitions of each). Counters: ms per call of
// each side and numbra's share of dgemm's speed (dgemm time / numbra time,
// the median of the pairs; 100% is parity). At the end a table gives the
// medians over all repetitions; the processor and the product kernel in
// use are printed in the context lines and above the table. Products only,
// quickly:
//   matrix_bench --benchmark_filter=Multiply
#include "ORK_matrix.h"
#include "matrix/gemm_detail.h"
#include "paired_timing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
using numbra_bench::PairedRow;

// Product shapes {m, k, n}: C (m x n) := op(A) (m x k) * op(B) (k x n).
// Square sizes, an outer product of thin factors, an inner product of long
// ones and an outer product whose result (800 MB) is far larger than the
// caches.
constexpr int64_t kProductShapes[][3] = {{64, 64, 64},     {128, 128, 128},    {256, 256, 256},
                                         {512, 512, 512},  {1024, 1024, 1024}, {2048, 2048, 2048},
                                         {1000, 50, 1000}, {50, 1000, 50},     {10000, 8, 10000}};

// A rows x cols matrix of uniform values in [-1, 1].
void FillShape(TMatrix& m, int64_t rows, int64_t cols, uint64_t seed) {
  numbra::SetRandSeed(seed);
  m.Resize(static_cast<int32_t>(cols), static_cast<int32_t>(rows));
  m.FillRandomUniform(-1.0, 1.0);
}

constexpr const char* kFormNames[3] = {"Multiply", "MultiplyTransposed", "TransposeAndMultiply"};

std::string Key(int form, const int64_t* shape) {
  return std::string(kFormNames[form]) + "/" + std::to_string(shape[0]) + "/" +
         std::to_string(shape[1]) + "/" + std::to_string(shape[2]);
}

// Form 0: A * B, 1: A * transpose(B), 2: transpose(A) * B. The operands are
// stored as the form reads them; the result matrix (and dgemm's result
// array, beta = 0) is kept between calls, as a caller repeating a product
// of one shape keeps it.
void ProductBench(benchmark::State& state, int form) {
  const int64_t shape[3] = {state.range(0), state.range(1), state.range(2)};
  const int64_t m = shape[0];
  const int64_t k = shape[1];
  const int64_t n = shape[2];
  TMatrix a;
  TMatrix b;
  TMatrix c;
  if (form == 2)
    FillShape(a, k, m, 1);
  else
    FillShape(a, m, k, 1);
  if (form == 1)
    FillShape(b, n, k, 2);
  else
    FillShape(b, k, n, 2);
  bool ok = true;
  auto product = [&] {
    ok = (form == 0   ? a.Multiply(&b, &c)
          : form == 1 ? a.MultiplyTransposed(&b, &c)
                      : a.TransposeAndMultiply(&b, &c)) &&
         ok;
    benchmark::DoNotOptimize(c.Values().data());
  };
  // One call of each side before the timing gives the results their size
  // (allocated and touched once), so that a shape timed in a single
  // iteration measures the product and not the first allocation.
  product();
  const double flops =
      2.0 * static_cast<double>(m) * static_cast<double>(n) * static_cast<double>(k);
  // Batches of about 2^22 flops, so that the clock's own cost does not count.
  const int batch = std::max(1, static_cast<int>((1 << 22) / flops));
#if defined(NUMBRA_BENCH_HAVE_BLAS)
  std::vector<double> r(static_cast<std::size_t>(m * n));
  const int mi = static_cast<int>(m);
  const int ni = static_cast<int>(n);
  const int ki = static_cast<int>(k);
  const int lda = a.NrOfRows();
  const int ldb = b.NrOfRows();
  const char* ta = form == 2 ? "T" : "N";
  const char* tb = form == 1 ? "T" : "N";
  auto dgemm = [&] {
    const double one = 1.0;
    const double zero = 0.0;
    dgemm_(ta, tb, &mi, &ni, &ki, &one, a.Values().data(), &lda, b.Values().data(), &ldb, &zero,
           r.data(), &mi);
    benchmark::DoNotOptimize(r.data());
  };
  dgemm();
  const PairedRow row = numbra_bench::TimePaired(state, Key(form, shape), batch, product, dgemm);
#else
  const PairedRow row = numbra_bench::TimePaired(state, Key(form, shape), batch, product, nullptr);
#endif
  if (!ok) state.SkipWithError("shape");
  state.counters["ms_numbra"] = 1e3 * row.ours;
  state.counters["GFLOPS_numbra"] = row.ours > 0.0 ? 1e-9 * flops / row.ours : 0.0;
  if (row.ref > 0.0) {
    state.counters["ms_dgemm"] = 1e3 * row.ref;
    state.counters["share"] = row.ratio > 0.0 ? 1.0 / row.ratio : 0.0;
  }
}

// Registers, shape by shape, the three forms.
void RegisterProducts() {
  for (const auto& shape : kProductShapes)
    for (int form = 0; form < 3; ++form)
      benchmark::RegisterBenchmark((std::string("BM_") + kFormNames[form]).c_str(), ProductBench,
                                   form)
          ->Args({shape[0], shape[1], shape[2]})
          ->Unit(benchmark::kMillisecond);
}

// Per shape and form: numbra's and dgemm's median CPU times and numbra's
// share of dgemm's speed (the reciprocal of the median ratio of the pairs).
void PrintProductTable() {
  std::printf(
      "\nProducts, CPU time per call (medians of alternating pairs); share = dgemm time / numbra "
      "time\n");
  const numbra::detail::GemmBlocks blk = numbra::detail::KernelBlocks();
  std::printf("processor: %s, product kernel: %s (blocks kc %td, mc %td, nc %td)\n",
              numbra_bench::ProcessorName().c_str(), numbra::detail::KernelName(), blk.kc, blk.mc,
              blk.nc);
  std::printf("%-22s %-20s %12s %12s %8s\n", "shape m/k/n", "form", "numbra ms", "dgemm ms",
              "share");
  for (const auto& shape : kProductShapes)
    for (int form = 0; form < 3; ++form) {
      const PairedRow row = numbra_bench::Recorded(Key(form, shape));
      if (row.ours <= 0.0) continue;
      const std::string dims = std::to_string(shape[0]) + "/" + std::to_string(shape[1]) + "/" +
                               std::to_string(shape[2]);
      if (row.ref > 0.0 && row.ratio > 0.0)
        std::printf("%-22s %-20s %12.4f %12.4f %7.1f%%\n", dims.c_str(), kFormNames[form],
                    1e3 * row.ours, 1e3 * row.ref, 100.0 / row.ratio);
      else
        std::printf("%-22s %-20s %12.4f %12s %8s\n", dims.c_str(), kFormNames[form], 1e3 * row.ours,
                    "-", "-");
    }
}

}  // namespace

int main(int argc, char** argv) {
#if defined(NUMBRA_BENCH_OPENBLAS)
  openblas_set_num_threads(1);
#endif
  ::setenv("OPENBLAS_NUM_THREADS", "1", 0);
  // Short runs and medians of five repetitions unless asked otherwise: the
  // machine may be shared, and the medians are what the table compares.
  std::vector<char*> args(argv, argv + argc);
  const auto given = [&](const char* flag) {
    return std::any_of(args.begin(), args.end(), [&](const char* a) {
      return std::strncmp(a, flag, std::strlen(flag)) == 0;
    });
  };
  std::string min_time = "--benchmark_min_time=0.05";
  std::string reps = "--benchmark_repetitions=5";
  std::string aggr = "--benchmark_report_aggregates_only=true";
  if (!given("--benchmark_min_time")) args.push_back(min_time.data());
  if (!given("--benchmark_repetitions")) args.push_back(reps.data());
  if (!given("--benchmark_report_aggregates_only") && !given("--benchmark_display_aggregates_only"))
    args.push_back(aggr.data());
  int nargs = static_cast<int>(args.size());
  args.push_back(nullptr);
  argc = nargs;
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("processor", numbra_bench::ProcessorName());
  benchmark::AddCustomContext("product kernel", numbra::detail::KernelName());
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RegisterProducts();
  benchmark::RunSpecifiedBenchmarks();
  PrintProductTable();
  benchmark::Shutdown();
  return 0;
}
