// Clustering benchmarks, each against its reference in the same run:
// - one k-means pass of 10^5 objects x 10 variables into 20 clusters
//   against a plain triple-loop Lloyd pass on a row-major copy (same seeds;
//   the assignments are checked to agree before timing);
// - AgglomClustering of 2000 objects x 5 variables for every method (the
//   distance matrix included) against SciPy's pdist + linkage on the same
//   data, timed by bench/clustering_scipy.py in a Python process that this
//   program starts and asks for one run at a time.
// After the Google Benchmark runs the program prints a table: for every
// benchmark the filter selects, the median CPU time of numbra and of the
// reference over interleaved repetitions, and their ratio. Options (before
// the benchmark ones): --table_reps=N (default 5; 0 leaves the table out),
// --python=PATH (default /usr/bin/python3), --scipy_script=PATH (default
// the script in the source tree this program was built from). Without Python or SciPy the reference
// column reads n/a. A quick run of the table alone:
//   clustering_bench --benchmark_filter=Agglom --benchmark_min_time=0.05
#include "ORK_math2.h"
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <regex>
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

TMatrix& AgglomData() {
  static TMatrix m;
  if (m.NrOfRows() != 2000) Fill(m, 2000, 5);
  return m;
}

int32_t RunAgglom(TClusterMethod method) {
  const TDistMode dist =
      method == TClusterMethod::cmWard ? TDistMode::dmEuclidSqr : TDistMode::dmEuclid;
  static TIntMatrix den;
  static TVector md, pos;
  return AgglomClustering(nullptr, AgglomData(), dist, method, 0.25, den, md, pos, nullptr,
                          nullptr);
}

void BM_AgglomClustering(benchmark::State& state) {
  const auto method = static_cast<TClusterMethod>(state.range(0));
  for (auto _ : state) {
    const int32_t rc = RunAgglom(method);
    benchmark::DoNotOptimize(rc);
  }
  state.SetLabel(std::string(ClusterMethodID[method]));
}
BENCHMARK(BM_AgglomClustering)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// SciPy's linkage method of the same rule: cmAvgLink averages the two
// distances (SciPy's "weighted"), cmUpgma weighs them by size ("average").
const char* ScipyMethod(TClusterMethod m) {
  switch (m) {
    case TClusterMethod::cmSingleLink:
      return "single";
    case TClusterMethod::cmCompleteLink:
      return "complete";
    case TClusterMethod::cmWard:
      return "ward";
    case TClusterMethod::cmAvgLink:
      return "weighted";
    case TClusterMethod::cmUpgma:
      return "average";
    case TClusterMethod::cmFlexLink:
      break;
  }
  return nullptr;
}

// The Python process that times SciPy: one line with a method name in, one
// line with the CPU milliseconds of that run out.
class ScipyTimer {
 public:
  ScipyTimer(const std::string& python, const std::string& script) {
    int to[2], from[2];
    if (pipe(to) != 0) return;
    if (pipe(from) != 0) {
      close(to[0]);
      close(to[1]);
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(to[0], 0);
      dup2(from[1], 1);
      close(to[0]);
      close(to[1]);
      close(from[0]);
      close(from[1]);
      execl(python.c_str(), python.c_str(), script.c_str(), "--serve", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(to[0]);
    close(from[1]);
    if (pid_ < 0) {
      close(to[1]);
      close(from[0]);
      return;
    }
    in_ = fdopen(to[1], "w");
    out_ = fdopen(from[0], "r");
    char line[64];
    ok_ = in_ != nullptr && out_ != nullptr && std::fgets(line, sizeof line, out_) != nullptr &&
          std::string(line).rfind("ready", 0) == 0;
  }
  ~ScipyTimer() {
    if (in_ != nullptr) std::fclose(in_);
    if (out_ != nullptr) std::fclose(out_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  ScipyTimer(const ScipyTimer&) = delete;
  ScipyTimer& operator=(const ScipyTimer&) = delete;
  bool ok() const { return ok_; }
  // CPU milliseconds of one pdist + linkage run, NaN when the process failed.
  double Once(const char* method) {
    char line[64];
    if (!ok_ || std::fprintf(in_, "%s\n", method) < 0 || std::fflush(in_) != 0 ||
        std::fgets(line, sizeof line, out_) == nullptr) {
      ok_ = false;
      return std::nan("");
    }
    return std::strtod(line, nullptr);
  }

 private:
  pid_t pid_ = -1;
  FILE* in_ = nullptr;
  FILE* out_ = nullptr;
  bool ok_ = false;
};

double CpuMs(const std::function<void()>& f) {
  timespec a{}, b{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
  f();
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
  return (b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) * 1e-6;
}

double Median(std::vector<double> v) {
  if (v.empty()) return std::nan("");
  std::sort(v.begin(), v.end());
  const std::size_t h = v.size() / 2;
  return v.size() % 2 ? v[h] : (v[h - 1] + v[h]) / 2;
}

struct TableOptions {
  int reps = 5;
  std::string python = "/usr/bin/python3";
  std::string script;
  std::string filter = ".";
};

// Google Benchmark's filter: a regular expression, or one prefixed by '-'
// that excludes.
bool Selected(const std::string& filter, const std::string& name) {
  if (filter.empty() || filter == "all") return true;
  if (filter[0] == '-') return !std::regex_search(name, std::regex(filter.substr(1)));
  return std::regex_search(name, std::regex(filter));
}

void PrintTable(const TableOptions& o, const std::string& cpu, const std::string& kernel) {
  std::printf("\nmedian CPU time of %d interleaved runs, processor %s\n", o.reps, cpu.c_str());
  std::printf("%-24s %-22s %11s %-26s %11s %7s\n", "benchmark", "numbra", "ms", "reference", "ms",
              "ratio");
  if (Selected(o.filter, "BM_kMeansPass")) {
    TMatrix centers;
    TIntVector cls, size;
    const auto& x = Data().x;
    std::vector<int32_t> pcls(kN);
    std::vector<double> c;
    std::vector<double> tn, tr;
    for (int r = 0; r < 3 * o.reps; ++r) {
      tn.push_back(CpuMs([&] {
        cls.Fill(0);
        OnePass(centers, cls, size);
      }));
      tr.push_back(CpuMs([&] {
        c.assign(x.begin(), x.begin() + kK * kP);
        PlainPass(x, c, pcls, kN, kP, kK);
      }));
    }
    const double a = Median(tn), b = Median(tr);
    std::printf("%-24s %-22s %11.3f %-26s %11.3f %7.2f  (%s; plain/numbra %.2f)\n", "BM_kMeansPass",
                "kMeansClustering pass", a, "plain triple-loop pass", b, a / b, kernel.c_str(),
                b / a);
  }
  ScipyTimer* scipy = nullptr;
  std::unique_ptr<ScipyTimer> holder;
  for (int m = 0; m <= 5; ++m) {
    const auto method = static_cast<TClusterMethod>(m);
    const std::string name = "BM_AgglomClustering/" + std::to_string(m);
    if (!Selected(o.filter, name)) continue;
    const char* ref = ScipyMethod(method);
    if (ref != nullptr && holder == nullptr) {
      holder = std::make_unique<ScipyTimer>(o.python, o.script);
      scipy = holder.get();
    }
    std::vector<double> tn, tr;
    for (int r = 0; r < o.reps; ++r) {
      tn.push_back(CpuMs([&] { benchmark::DoNotOptimize(RunAgglom(method)); }));
      if (ref != nullptr && scipy->ok()) tr.push_back(scipy->Once(ref));
    }
    const double a = Median(tn), b = Median(tr);
    const std::string rname = ref != nullptr ? std::string("scipy linkage ") + ref : "(none)";
    if (std::isnan(b))
      std::printf("%-24s %-22s %11.3f %-26s %11s %7s\n", name.c_str(),
                  std::string(ClusterMethodID[method]).c_str(), a, rname.c_str(), "n/a", "n/a");
    else
      std::printf("%-24s %-22s %11.3f %-26s %11.3f %7.2f\n", name.c_str(),
                  std::string(ClusterMethodID[method]).c_str(), a, rname.c_str(), b, a / b);
  }
  std::printf("ratio: numbra time / reference time (below 1: numbra faster)\n");
}

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
  TableOptions opt;
#ifdef NUMBRA_CLUSTERING_SCIPY
  opt.script = NUMBRA_CLUSTERING_SCIPY;
#else
  opt.script = "bench/clustering_scipy.py";
#endif
  // Take out this program's own options; Google Benchmark sees the rest.
  int keep = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto value = [&](const char* key) -> const char* {
      const std::string k = key;
      return a.rfind(k, 0) == 0 ? argv[i] + k.size() : nullptr;
    };
    if (const char* v = value("--table_reps=")) {
      opt.reps = std::max(0, std::atoi(v));
    } else if (const char* v2 = value("--python=")) {
      opt.python = v2;
    } else if (const char* v3 = value("--scipy_script=")) {
      opt.script = v3;
    } else {
      if (const char* f = value("--benchmark_filter=")) opt.filter = f;
      argv[keep++] = argv[i];
    }
  }
  argc = keep;

  const std::string cpu = ProcessorName();
  benchmark::AddCustomContext("processor", cpu);
#if defined(__x86_64__) && defined(__GNUC__)
  const bool avx2 = __builtin_cpu_supports("avx2");
#else
  const bool avx2 = false;
#endif
  const std::string kernel =
      avx2 ? "block kernel, AVX2 clone (chosen at run time)" : "block kernel, portable clone";
  benchmark::AddCustomContext("kmeans_kernel", kernel);
  benchmark::AddCustomContext(
      "single_linkage", "minimum spanning tree when its edges are distinct, else cached scan");
  CheckSameAssignments();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (opt.reps > 0) PrintTable(opt, cpu, kernel);
  return 0;
}
