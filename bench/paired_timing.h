// Paired timing for the benchmarks that compare numbra with a reference
// library in one run (lu_bench, matrix_bench, fourier_bench).
//
// Within every iteration of a benchmark loop both sides run, one batch of
// calls each, and each batch is timed on the thread's CPU clock; the order
// is swapped from one iteration to the next, so that neither side always
// runs on the caches the other left behind. Each iteration yields one ratio
// (numbra / reference), and the tables report medians of these ratios. On a
// shared machine whose speed drifts (other guests loading the host's memory
// and last-level cache), the two halves of a pair see nearly the same
// conditions, where two benchmarks run seconds apart may not.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include <benchmark/benchmark.h>

namespace numbra_bench {

inline double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// The median (the mean of the two middle values for an even count); 0 for
// no values.
inline double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 != 0 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

// Medians of paired samples: seconds per call of each side and the ratio
// ours / ref. ref and ratio are 0 when no reference was timed; ours is 0
// when nothing was recorded.
struct PairedRow {
  double ours = 0.0;
  double ref = 0.0;
  double ratio = 0.0;
};

struct PairedSamples {
  std::vector<double> ours, ref, ratio;
};

// Every sample of the run by key (for example "Invert/64"), over all
// repetitions of the benchmark.
inline std::map<std::string, PairedSamples>& PairedRecord() {
  static std::map<std::string, PairedSamples> record;
  return record;
}

inline PairedRow MediansOf(const PairedSamples& s) {
  return {Median(s.ours), Median(s.ref), Median(s.ratio)};
}

// The medians of everything recorded under key in this run.
inline PairedRow Recorded(const std::string& key) {
  const auto it = PairedRecord().find(key);
  return it == PairedRecord().end() ? PairedRow{} : MediansOf(it->second);
}

// Runs the loop of state. Each iteration times batch calls of ours and
// batch calls of ref (ref = nullptr: no reference, ours alone), in
// alternating order. The per-call times are appended to the record under
// key; the return value holds the medians of this repetition's samples.
// The benchmark's own time columns show both sides together.
template <class Ours, class Ref>
PairedRow TimePaired(benchmark::State& state, const std::string& key, int batch, Ours&& ours,
                     Ref&& ref) {
  constexpr bool kHaveRef = !std::is_same_v<std::decay_t<Ref>, std::nullptr_t>;
  PairedSamples now;
  const auto timed = [batch](auto& fn) {
    const double t0 = ThreadSeconds();
    for (int r = 0; r < batch; ++r) fn();
    return (ThreadSeconds() - t0) / batch;
  };
  bool ours_first = true;
  for (auto _ : state) {
    double t_ours = 0.0;
    double t_ref = 0.0;
    if constexpr (kHaveRef) {
      if (ours_first) {
        t_ours = timed(ours);
        t_ref = timed(ref);
      } else {
        t_ref = timed(ref);
        t_ours = timed(ours);
      }
      now.ref.push_back(t_ref);
      if (t_ref > 0.0) now.ratio.push_back(t_ours / t_ref);
    } else {
      t_ours = timed(ours);
    }
    now.ours.push_back(t_ours);
    ours_first = !ours_first;
  }
  PairedSamples& all = PairedRecord()[key];
  all.ours.insert(all.ours.end(), now.ours.begin(), now.ours.end());
  all.ref.insert(all.ref.end(), now.ref.begin(), now.ref.end());
  all.ratio.insert(all.ratio.end(), now.ratio.begin(), now.ratio.end());
  return MediansOf(now);
}

// The model name with family and model numbers and the vector extensions
// that decide the kernels, from /proc/cpuinfo.
inline std::string ProcessorName() {
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

}  // namespace numbra_bench
