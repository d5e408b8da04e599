// TMatrix products, timed in the same run as OpenBLAS dgemm (one thread)
// when it is installed (see matrix.cmake; the inverse, the determinant and
// the LU factorisation are timed by lu_bench). For every product shape the three forms
// run next to dgemm with the matching transposition flags:
//   BM_TMatrixMultiply/m/k/n             beside BM_BlasDgemmNN/m/k/n
//   BM_TMatrixMultiplyTransposed/m/k/n   beside BM_BlasDgemmNT/m/k/n
//   BM_TMatrixTransposeAndMultiply/m/k/n beside BM_BlasDgemmTN/m/k/n
// (by default five short repetitions of each); at the end a table gives, per shape and
// form, the median CPU times and numbra's share of dgemm's speed (dgemm
// time / numbra time; 100% is parity). The processor and the product kernel in use are printed in
// the context lines and above the table. Products only, quickly:
//   matrix_bench --benchmark_filter='Multiply|Dgemm'
#include "ORK_matrix.h"
#include "matrix/gemm_detail.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
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

std::string ProcessorName();

void SetFlops(benchmark::State& state, double flops_per_iter) {
  state.counters["GFLOPS"] = benchmark::Counter(
      flops_per_iter * static_cast<double>(state.iterations()) * 1e-9, benchmark::Counter::kIsRate);
}

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
  auto product = [&] {
    return Form == 0   ? a.Multiply(&b, &c)
           : Form == 1 ? a.MultiplyTransposed(&b, &c)
                       : a.TransposeAndMultiply(&b, &c);
  };
  // One call before the timing gives c its size (allocated and touched
  // once, as dgemm's result array below), so that a shape timed in a
  // single iteration measures the product and not the first allocation.
  if (!product()) state.SkipWithError("shape");
  for (auto _ : state) {
    if (!product()) state.SkipWithError("shape");
    benchmark::DoNotOptimize(c.Values().data());
  }
  SetFlops(state, 2.0 * static_cast<double>(m) * static_cast<double>(n) * static_cast<double>(k));
}

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
  dgemm_(ta, tb, &mi, &ni, &ki, &one, a.Values().data(), &lda, b.Values().data(), &ldb, &zero,
         c.data(), &mi);
  for (auto _ : state) {
    dgemm_(ta, tb, &mi, &ni, &ki, &one, a.Values().data(), &lda, b.Values().data(), &ldb, &zero,
           c.data(), &mi);
    benchmark::DoNotOptimize(c.data());
  }
  SetFlops(state, 2.0 * static_cast<double>(m) * static_cast<double>(n) * static_cast<double>(k));
}
#endif

constexpr const char* kFormNames[3] = {"Multiply", "MultiplyTransposed", "TransposeAndMultiply"};
constexpr const char* kDgemmNames[3] = {"DgemmNN", "DgemmNT", "DgemmTN"};

// Registers, shape by shape and form by form, the numbra product and then
// dgemm on the same shape, so that the two run close together in time.
void RegisterProducts() {
  using Fn = void (*)(benchmark::State&);
  const Fn numbra_fns[3] = {&ProductBench<0>, &ProductBench<1>, &ProductBench<2>};
#if defined(NUMBRA_BENCH_HAVE_BLAS)
  const Fn dgemm_fns[3] = {&DgemmBench<0>, &DgemmBench<1>, &DgemmBench<2>};
#endif
  for (const auto& shape : kProductShapes)
    for (int form = 0; form < 3; ++form) {
      auto add = [&](benchmark::internal::Benchmark* b) {
        b->Args({shape[0], shape[1], shape[2]})->Unit(benchmark::kMillisecond);
      };
      add(benchmark::RegisterBenchmark((std::string("BM_TMatrix") + kFormNames[form]).c_str(),
                                       numbra_fns[form]));
#if defined(NUMBRA_BENCH_HAVE_BLAS)
      add(benchmark::RegisterBenchmark((std::string("BM_Blas") + kDgemmNames[form]).c_str(),
                                       dgemm_fns[form]));
#endif
    }
}

// The console output, plus the median CPU time of every product benchmark
// for the closing table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      const std::string name = r.run_name.function_name + "/" + r.run_name.args;
      if (r.run_type == Run::RT_Aggregate) {
        if (r.aggregate_name == "median") medians_[name] = r.GetAdjustedCPUTime();
      } else {
        samples_[name].push_back(r.GetAdjustedCPUTime());
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Median CPU time (ms) of a benchmark, or a negative value if it did not run.
  double Median(const std::string& name) const {
    if (const auto it = medians_.find(name); it != medians_.end()) return it->second;
    const auto it = samples_.find(name);
    if (it == samples_.end() || it->second.empty()) return -1.0;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }

 private:
  std::map<std::string, double> medians_;
  std::map<std::string, std::vector<double>> samples_;
};

// Per shape and form: numbra's and dgemm's median CPU times and numbra's
// share of dgemm's speed.
void PrintProductTable(const TableReporter& rep) {
  std::printf("\nProducts, median CPU time per call; share = dgemm time / numbra time\n");
  const numbra::detail::GemmBlocks blk = numbra::detail::KernelBlocks();
  std::printf("processor: %s, product kernel: %s (blocks kc %td, mc %td, nc %td)\n",
              ProcessorName().c_str(), numbra::detail::KernelName(), blk.kc, blk.mc, blk.nc);
  std::printf("%-22s %-20s %12s %12s %8s\n", "shape m/k/n", "form", "numbra ms", "dgemm ms",
              "share");
  for (const auto& shape : kProductShapes)
    for (int form = 0; form < 3; ++form) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "/%lld/%lld/%lld", static_cast<long long>(shape[0]),
                    static_cast<long long>(shape[1]), static_cast<long long>(shape[2]));
      const std::string args = buf;
      const double ours = rep.Median(std::string("BM_TMatrix") + kFormNames[form] + args);
      const double ref = rep.Median(std::string("BM_Blas") + kDgemmNames[form] + args);
      if (ours < 0.0) continue;
      if (ref > 0.0)
        std::printf("%-22s %-20s %12.4f %12.4f %7.1f%%\n", args.substr(1).c_str(), kFormNames[form],
                    ours, ref, 100.0 * ref / ours);
      else
        std::printf("%-22s %-20s %12.4f %12s %8s\n", args.substr(1).c_str(), kFormNames[form], ours,
                    "-", "-");
    }
}

// The model name with family and model numbers and the vector extensions
// that decide the kernel, from /proc/cpuinfo.
std::string ProcessorName() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  std::string name = "unknown";
  std::string family;
  std::string model;
  std::string flags;
  auto value = [&] { return line.substr(line.find(':') + 2); };
  while (std::getline(in, line) && flags.empty()) {
    if (line.rfind("model name", 0) == 0)
      name = value();
    else if (line.rfind("cpu family", 0) == 0)
      family = value();
    else if (line.rfind("model", 0) == 0 && model.empty())
      model = value();
    else if (line.rfind("flags", 0) == 0)
      flags = value();
  }
  std::ostringstream out;
  out << name << " (family " << family << " model " << model << ";";
  std::istringstream words(flags);
  std::string w;
  while (words >> w)
    if (w == "avx2" || w == "fma" || w == "avx512f") out << ' ' << w;
  out << ')';
  return out.str();
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
  benchmark::AddCustomContext("processor", ProcessorName());
  benchmark::AddCustomContext("product kernel", numbra::detail::KernelName());
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RegisterProducts();
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintProductTable(reporter);
  benchmark::Shutdown();
  return 0;
}
