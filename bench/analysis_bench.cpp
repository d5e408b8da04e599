// Data analysis benchmarks. SvdDecompose of a 500 x 300 matrix in the same
// run as GSL's gsl_linalg_SV_decomp (the same Golub-Reinsch algorithm) and
// LAPACK's dgesvd from OpenBLAS (one thread, U and V wanted), when those
// are installed (see analysis.cmake); compare the times of
//   BM_SvdDecompose/500/300  BM_GslSvDecomp/500/300  BM_LapackDgesvd/500/300
// Also TCurveFit::EnterStatValue throughput (BM_EnterStatValue, points per
// second) and CalcPolyFit of degree 5 on 10^5 points (BM_CalcPolyFit5).
// The processor model is printed in the context lines.
#include "ORK_math2.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#if defined(NUMBRA_BENCH_HAVE_GSL)
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_vector.h>
#endif

#if defined(NUMBRA_BENCH_HAVE_LAPACK)
extern "C" {
void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a,
             const int* lda, double* s, double* u, const int* ldu, double* vt, const int* ldvt,
             double* work, const int* lwork, int* info);
#if defined(NUMBRA_BENCH_OPENBLAS)
void openblas_set_num_threads(int num_threads);
#endif
}
#endif

namespace {

using numbra::TMatrix;
using numbra::TVector;

// The test matrix: uniform in [-1, 1), column-major m x n.
std::vector<double> TestValues(int32_t m, int32_t n) {
  numbra::SetRandSeed(4711);
  TMatrix a;
  a.Resize(n, m);
  a.FillRandomUniform(-1.0, 1.0);
  return {a.Values().begin(), a.Values().end()};
}

void BM_SvdDecompose(benchmark::State& state) {
  const auto m = static_cast<int32_t>(state.range(0));
  const auto n = static_cast<int32_t>(state.range(1));
  const auto vals = TestValues(m, n);
  TMatrix src, a, v;
  TVector w;
  src.Resize(n, m);
  for (int32_t c = 1; c <= n; ++c)
    for (int32_t r = 1; r <= m; ++r)
      src.SetVal(c, r, vals[static_cast<std::size_t>(c - 1) * m + r - 1]);
  for (auto _ : state) {
    state.PauseTiming();
    a.Assign(&src);
    state.ResumeTiming();
    if (!numbra::SvdDecompose(a, v, w)) state.SkipWithError("no convergence");
    benchmark::DoNotOptimize(w.Values().data());
  }
}
BENCHMARK(BM_SvdDecompose)->Args({500, 300})->Args({200, 100})->Unit(benchmark::kMillisecond);

#if defined(NUMBRA_BENCH_HAVE_GSL)
void BM_GslSvDecomp(benchmark::State& state) {
  const auto m = static_cast<int32_t>(state.range(0));
  const auto n = static_cast<int32_t>(state.range(1));
  const auto vals = TestValues(m, n);
  gsl_matrix* a = gsl_matrix_alloc(m, n);
  gsl_matrix* v = gsl_matrix_alloc(n, n);
  gsl_vector* s = gsl_vector_alloc(n);
  gsl_vector* work = gsl_vector_alloc(n);
  for (auto _ : state) {
    state.PauseTiming();
    for (int32_t c = 0; c < n; ++c)
      for (int32_t r = 0; r < m; ++r)
        gsl_matrix_set(a, r, c, vals[static_cast<std::size_t>(c) * m + r]);
    state.ResumeTiming();
    if (gsl_linalg_SV_decomp(a, v, s, work) != 0) state.SkipWithError("gsl failed");
    benchmark::DoNotOptimize(s->data);
  }
  gsl_vector_free(work);
  gsl_vector_free(s);
  gsl_matrix_free(v);
  gsl_matrix_free(a);
}
BENCHMARK(BM_GslSvDecomp)->Args({500, 300})->Args({200, 100})->Unit(benchmark::kMillisecond);
#endif

#if defined(NUMBRA_BENCH_HAVE_LAPACK)
void BM_LapackDgesvd(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  const auto vals = TestValues(m, n);
  std::vector<double> a(vals.size()), s(n), vt(static_cast<std::size_t>(n) * n), u(1);
  int lwork = -1, info = 0;
  double query = 0.0;
  const char jobu = 'O', jobvt = 'A';
  dgesvd_(&jobu, &jobvt, &m, &n, a.data(), &m, s.data(), u.data(), &m, vt.data(), &n, &query,
          &lwork, &info);
  lwork = static_cast<int>(query);
  std::vector<double> work(static_cast<std::size_t>(lwork));
  for (auto _ : state) {
    state.PauseTiming();
    a = vals;
    state.ResumeTiming();
    dgesvd_(&jobu, &jobvt, &m, &n, a.data(), &m, s.data(), u.data(), &m, vt.data(), &n, work.data(),
            &lwork, &info);
    if (info != 0) state.SkipWithError("dgesvd failed");
    benchmark::DoNotOptimize(s.data());
  }
}
BENCHMARK(BM_LapackDgesvd)->Args({500, 300})->Args({200, 100})->Unit(benchmark::kMillisecond);
#endif

void BM_EnterStatValue(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  std::vector<double> x(static_cast<std::size_t>(n)), y(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = 0.5 + 1e-3 * static_cast<double>(i);
    y[i] = 2.0 + std::sin(x[i]);
  }
  for (auto _ : state) {
    numbra::TCurveFit f;
    for (std::size_t i = 0; i < x.size(); ++i) f.EnterStatValue(x[i], y[i]);
    benchmark::DoNotOptimize(f.GetMeanX());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_EnterStatValue)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CalcPolyFit5(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  numbra::TCurveFit f;
  for (int32_t i = 0; i < n; ++i) {
    const double x = -1.0 + 2.0 * i / n;
    f.EnterStatValue(x, 1 + x - 2 * x * x * x + 0.1 * std::cos(40 * x));
  }
  std::vector<double> k(6);
  for (auto _ : state) {
    double q = 0;
    bool ns = false;
    if (!f.CalcPolyFit(5, k, q, ns)) state.SkipWithError("fit failed");
    benchmark::DoNotOptimize(k.data());
  }
}
BENCHMARK(BM_CalcPolyFit5)->Arg(100000)->Unit(benchmark::kMillisecond);

std::string ProcessorName() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("model name", 0) == 0) {
      const auto p = line.find(':');
      return p == std::string::npos ? line : line.substr(p + 2);
    }
  return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
#if defined(NUMBRA_BENCH_OPENBLAS)
  openblas_set_num_threads(1);
#endif
  ::setenv("OPENBLAS_NUM_THREADS", "1", 0);
  benchmark::AddCustomContext("processor", ProcessorName());
  benchmark::AddCustomContext("svd_kernel",
                              "portable C++ on the column-major storage (one kernel)");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
