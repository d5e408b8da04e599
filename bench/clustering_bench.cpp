// Clustering benchmarks, each against its reference in the same run:
// - one k-means pass of 10^5 objects x 10 variables into 20 clusters
//   against a plain triple-loop Lloyd pass on a row-major copy (same seeds;
//   the assignments are checked to agree before timing);
// - AgglomClustering of 2000 objects x 5 variables for every method (the
//   distance matrix included). bench/clustering_scipy.py times SciPy's
//   pdist + linkage on the same data for comparison.
#include "ORK_math2.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

using namespace numbra;

namespace {

// The data of both programs: frac(sin(12.9898 i + 78.233 j) * 43758.5453),
// rows i and columns j from 0.
void Fill(TMatrix& m, int32_t n, int32_t p) {
  m.Resize(p, n);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t j = 0; j < p; ++j) {
      const double s = std::sin(12.9898 * i + 78.233 * j) * 43758.5453;
      m.SetVal(j + 1, i + 1, s - std::floor(s));
    }
}

constexpr int32_t kN = 100000, kP = 10, kK = 20;

// Textbook Lloyd pass: for each object, for each centre, for each variable.
void PlainPass(const std::vector<double>& x, std::vector<double>& c, std::vector<int32_t>& cls,
               int32_t n, int32_t p, int32_t k) {
  for (int32_t i = 0; i < n; ++i) {
    double best = std::numeric_limits<double>::infinity();
    int32_t bc = 0;
    for (int32_t q = 0; q < k; ++q) {
      double d = 0;
      for (int32_t j = 0; j < p; ++j) {
        const double t =
            x[static_cast<std::size_t>(i) * p + j] - c[static_cast<std::size_t>(q) * p + j];
        d += t * t;
      }
      if (d < best) {
        best = d;
        bc = q;
      }
    }
    cls[static_cast<std::size_t>(i)] = bc + 1;
  }
  std::vector<double> sum(c.size(), 0.0);
  std::vector<int32_t> cnt(static_cast<std::size_t>(k), 0);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t q = cls[static_cast<std::size_t>(i)] - 1;
    ++cnt[static_cast<std::size_t>(q)];
    for (int32_t j = 0; j < p; ++j)
      sum[static_cast<std::size_t>(q) * p + j] += x[static_cast<std::size_t>(i) * p + j];
  }
  for (int32_t q = 0; q < k; ++q)
    for (int32_t j = 0; j < p; ++j)
      c[static_cast<std::size_t>(q) * p + j] =
          cnt[static_cast<std::size_t>(q)] > 0
              ? sum[static_cast<std::size_t>(q) * p + j] / cnt[static_cast<std::size_t>(q)]
              : 0.0;
}

struct KData {
  TMatrix m;
  std::vector<double> x;
  KData() {
    Fill(m, kN, kP);
    x.resize(static_cast<std::size_t>(kN) * kP);
    for (int32_t i = 0; i < kN; ++i)
      for (int32_t j = 0; j < kP; ++j)
        x[static_cast<std::size_t>(i) * kP + j] = m.GetVal(j + 1, i + 1);
  }
};
KData& Data() {
  static KData d;
  return d;
}

// One pass of kMeansClustering (assignment and centre update, plus the
// routine's copy of the data): the abort flag is raised in the feedback of
// the first pass, so the routine leaves after it (storing nothing).
void OnePass(TMatrix& centers, TIntVector& cls, TIntVector& size) {
  MathFeedBackProc = [](double) { AbortMathProc = true; };
  (void)kMeansClustering(Data().m, 0, 0, kK, 0, centers, cls, size);
  MathFeedBackProc = nullptr;
  AbortMathProc = false;
}

void BM_kMeansPass(benchmark::State& state) {
  TMatrix centers;
  TIntVector cls, size;
  for (auto _ : state) {
    cls.Fill(0);
    OnePass(centers, cls, size);
    benchmark::DoNotOptimize(cls.Values().data());
  }
}
BENCHMARK(BM_kMeansPass)->Unit(benchmark::kMillisecond);

void BM_kMeansPlainPass(benchmark::State& state) {
  const auto& x = Data().x;
  std::vector<int32_t> cls(kN);
  std::vector<double> c;
  for (auto _ : state) {
    c.assign(x.begin(), x.begin() + kK * kP);  // seeds: the first k objects
    PlainPass(x, c, cls, kN, kP, kK);
    benchmark::DoNotOptimize(c.data());
  }
}
BENCHMARK(BM_kMeansPlainPass)->Unit(benchmark::kMillisecond);

// The routine and plain Lloyd passes repeated to convergence (10^4 of the
// objects) must end in the same partition; checked once before timing.
void CheckSameAssignments() {
  constexpr int32_t n = 10000;
  TMatrix sub;
  sub.Resize(kP, n);
  sub.CopyFrom(&Data().m, 1, 1, kP, n, 1, 1);
  TMatrix centers;
  TIntVector cls, size;
  (void)kMeansClustering(sub, 0, 0, kK, 0, centers, cls, size);
  const std::vector<double> x(Data().x.begin(), Data().x.begin() + n * kP);
  std::vector<int32_t> ref(n, 0), prev(n, -1);
  std::vector<double> c(x.begin(), x.begin() + kK * kP);
  for (int pass = 0; pass < 1001 && ref != prev; ++pass) {
    prev = ref;
    PlainPass(x, c, ref, n, kP, kK);
  }
  // kMeansClustering numbers the clusters by size: compare the partitions.
  std::vector<int32_t> map(kK + 1, 0);
  for (int32_t i = 0; i < n; ++i) {
    int32_t& m = map[static_cast<std::size_t>(cls.GetVal(i + 1))];
    if (m == 0) m = ref[static_cast<std::size_t>(i)];
    if (m != ref[static_cast<std::size_t>(i)]) {
      std::fprintf(stderr, "k-means differs from the plain passes at object %d\n", i + 1);
      std::exit(1);
    }
  }
}

void BM_AgglomClustering(benchmark::State& state) {
  static TMatrix m;
  if (m.NrOfRows() != 2000) Fill(m, 2000, 5);
  const auto method = static_cast<TClusterMethod>(state.range(0));
  const TDistMode dist =
      method == TClusterMethod::cmWard ? TDistMode::dmEuclidSqr : TDistMode::dmEuclid;
  TIntMatrix den;
  TVector md, pos;
  for (auto _ : state) {
    const int32_t rc =
        AgglomClustering(nullptr, m, dist, method, 0.25, den, md, pos, nullptr, nullptr);
    benchmark::DoNotOptimize(rc);
  }
  state.SetLabel(std::string(ClusterMethodID[method]));
}
BENCHMARK(BM_AgglomClustering)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

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
  benchmark::AddCustomContext("processor", ProcessorName());
#if defined(__x86_64__) && defined(__GNUC__)
  const bool avx2 = __builtin_cpu_supports("avx2");
#else
  const bool avx2 = false;
#endif
  benchmark::AddCustomContext("kmeans_kernel", avx2
                                                   ? "block kernel, AVX2 clone (chosen at run time)"
                                                   : "block kernel, portable clone");
  CheckSameAssignments();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
