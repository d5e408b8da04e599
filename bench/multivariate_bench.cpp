// Multivariate routines, timed in the same run as their references:
//   BM_CalcCovar/100000/50        against BM_CentreDsyrk/100000/50
//     (centring into a copy plus OpenBLAS dsyrk, one thread);
//   BM_CalcEigVec/200             against BM_GslSymmv/200
//     (gsl_eigen_symmv, tridiagonal QR with eigenvectors);
//   BM_MultiLinReg/100000/20      (ordinary least squares with intercept).
// The processor and the product kernel set are printed in the context.
#include "ORK_math2.h"
#include "matrix/gemm_detail.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#if defined(NUMBRA_BENCH_HAVE_OPENBLAS)
extern "C" {
void dsyrk_(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* beta, double* c, const int* ldc);
void openblas_set_num_threads(int num_threads);
}
#endif
#if defined(NUMBRA_BENCH_HAVE_GSL)
#include <gsl/gsl_eigen.h>
#endif

namespace {

using numbra::TMatrix;

void RandomData(TMatrix& m, int32_t cols, int32_t rows, uint64_t seed) {
  numbra::SetRandSeed(seed);
  m.Resize(cols, rows);
  m.FillRandomGauss(100.0, 3.0);
}

void RandomSymmetric(TMatrix& m, int32_t n, uint64_t seed) {
  numbra::SetRandSeed(seed);
  TMatrix r;
  r.Resize(n, n);
  r.FillRandomUniform(-1.0, 1.0);
  m.Resize(n, n);
  for (int32_t c = 1; c <= n; ++c)
    for (int32_t k = 1; k <= c; ++k) {
      const double v = r.GetVal(c, k) + r.GetVal(k, c);
      m.SetVal(c, k, v);
      m.SetVal(k, c, v);
    }
}

void BM_CalcCovar(benchmark::State& state) {
  const auto m = static_cast<int32_t>(state.range(0));
  const auto n = static_cast<int32_t>(state.range(1));
  TMatrix x;
  RandomData(x, n, m, 1);
  TMatrix c;
  c.Resize(n, n);
  for (auto _ : state) {
    benchmark::DoNotOptimize(numbra::CalcCovar(x, c, 0, 0, 0, 0, 1));
  }
}
BENCHMARK(BM_CalcCovar)->Args({100000, 50})->Unit(benchmark::kMillisecond);

#if defined(NUMBRA_BENCH_HAVE_OPENBLAS)
void BM_CentreDsyrk(benchmark::State& state) {
  openblas_set_num_threads(1);
  const auto m = static_cast<int32_t>(state.range(0));
  const auto n = static_cast<int32_t>(state.range(1));
  TMatrix x;
  RandomData(x, n, m, 1);
  const auto v = x.Values();
  std::vector<double> xc(v.size());
  std::vector<double> c(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
  const double alpha = 1.0 / (m - 1);
  const double beta = 0.0;
  for (auto _ : state) {
    // Means (one plain pass), centred copy, then the lower triangle.
    for (int32_t j = 0; j < n; ++j) {
      const double* col = v.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(m);
      double s = 0.0;
      for (int32_t i = 0; i < m; ++i) s += col[i];
      const double mean = s / m;
      double* dst = xc.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(m);
      for (int32_t i = 0; i < m; ++i) dst[i] = col[i] - mean;
    }
    dsyrk_("L", "T", &n, &m, &alpha, xc.data(), &m, &beta, c.data(), &n);
    benchmark::DoNotOptimize(c.data());
  }
}
BENCHMARK(BM_CentreDsyrk)->Args({100000, 50})->Unit(benchmark::kMillisecond);
#endif

void BM_CalcEigVec(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  TMatrix a;
  RandomSymmetric(a, n, 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(numbra::CalcEigVec(a));
  }
}
BENCHMARK(BM_CalcEigVec)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

#if defined(NUMBRA_BENCH_HAVE_GSL)
void BM_GslSymmv(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  TMatrix a;
  RandomSymmetric(a, n, 2);
  const auto un = static_cast<std::size_t>(n);
  gsl_matrix* m = gsl_matrix_alloc(un, un);
  gsl_matrix* evec = gsl_matrix_alloc(un, un);
  gsl_vector* eval = gsl_vector_alloc(un);
  gsl_eigen_symmv_workspace* w = gsl_eigen_symmv_alloc(un);
  for (auto _ : state) {
    // The copy is part of the work: symmv destroys its input, as the
    // Jacobi routine copies it.
    for (std::size_t i = 0; i < un; ++i)
      for (std::size_t j = 0; j < un; ++j)
        gsl_matrix_set(m, i, j, a.GetVal(static_cast<int32_t>(j) + 1, static_cast<int32_t>(i) + 1));
    gsl_eigen_symmv(m, eval, evec, w);
    benchmark::DoNotOptimize(eval->data);
  }
  gsl_eigen_symmv_free(w);
  gsl_vector_free(eval);
  gsl_matrix_free(evec);
  gsl_matrix_free(m);
}
BENCHMARK(BM_GslSymmv)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);
#endif

void BM_MultiLinReg(benchmark::State& state) {
  const auto m = static_cast<int32_t>(state.range(0));
  const auto n = static_cast<int32_t>(state.range(1));
  TMatrix x;
  RandomData(x, n, m, 3);
  numbra::TVector y;
  y.SetVecSize(m);
  for (int32_t i = 1; i <= m; ++i) {
    double s = numbra::Random() - 0.5;
    for (int32_t j = 1; j <= n; ++j) s += 0.1 * j * x.GetVal(j, i);
    y.SetVal(i, s);
  }
  numbra::TVector coef;
  numbra::TVector se;
  bool near = false;
  for (auto _ : state) {
    benchmark::DoNotOptimize(numbra::MultiLinReg(x, y, coef, se, near));
  }
}
BENCHMARK(BM_MultiLinReg)->Args({100000, 20})->Unit(benchmark::kMillisecond);

std::string ProcessorName() {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::AddCustomContext("processor", ProcessorName());
  benchmark::AddCustomContext("product kernel", numbra::detail::KernelName());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
