// The 3-D/4-D arrays and the self-organising map. Compare, in the same run:
//   BM_TMat4DSaveBinary  with BM_PlainFwrite   (512 x 512 x 16 x 8, 256 MiB)
//   BM_TMat4DLoadBinary  with BM_PlainFread    (the same file)
//   BM_TMat4DReadBinary  streaming every value to a handler
//   BM_TMat4DResample, BM_TMat4D{Mean,StdDev,Maximum}OfLayers on that array
//   BM_TKohonenTrainit   with BM_PlainKohonen  (20 x 20 map, 10^4 objects of
//                        10 inputs, 50 steps: the same schedule written
//                        straightforwardly with GetVal/SetVal)
// The file lives in the system's temporary directory (page cache, so the
// figures are the cost of the code, not of the disk).
#include "ORK_kohonen.h"
#include "ORK_matrix.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

using numbra::TMat4D;

constexpr int32_t kX = 512, kY = 512, kZ = 16, kT = 8;
constexpr int64_t kValues = int64_t{kX} * kY * kZ * kT;
constexpr int64_t kBytes = 4096 + 8 * kValues;

std::string FileName(const char* tag) {
  return (std::filesystem::temp_directory_path() / (std::string("numbra_bench_") + tag + ".blk"))
      .string();
}

TMat4D& Source() {
  static TMat4D m;
  static const bool filled = [] {
    numbra::SetRandSeed(1);
    m.Resize(kX, kY, kZ, kT);
    m.FillRandomUniform(0.0, 1000.0);
    return true;
  }();
  (void)filled;
  return m;
}

void BM_TMat4DSaveBinary(benchmark::State& state) {
  TMat4D& m = Source();
  const std::string f = FileName("save");
  for (auto _ : state) m.SaveBinary(f, 0, 0);
  state.SetBytesProcessed(state.iterations() * kBytes);
  std::filesystem::remove(f);
}
BENCHMARK(BM_TMat4DSaveBinary)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainFwrite(benchmark::State& state) {
  const TMat4D& m = Source();
  const std::string f = FileName("fwrite");
  std::vector<char> header(4096, 0);
  for (auto _ : state) {
    std::FILE* out = std::fopen(f.c_str(), "wb");
    std::fwrite(header.data(), 1, header.size(), out);
    std::fwrite(m.Values().data(), 8, m.Values().size(), out);
    std::fclose(out);
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
  std::filesystem::remove(f);
}
BENCHMARK(BM_PlainFwrite)->Unit(benchmark::kMillisecond)->UseRealTime();

const std::string& SavedFile() {
  static const std::string f = [] {
    const std::string name = FileName("load");
    Source().SaveBinary(name, 0, 0);
    return name;
  }();
  return f;
}

void BM_TMat4DLoadBinary(benchmark::State& state) {
  const std::string& f = SavedFile();
  for (auto _ : state) {
    TMat4D m;
    m.LoadBinary(f, 0, 0);
    benchmark::DoNotOptimize(m.Values().data());
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_TMat4DLoadBinary)->Unit(benchmark::kMillisecond)->UseRealTime();

// Header and values into newly allocated memory, as a loader must.
void BM_PlainFread(benchmark::State& state) {
  const std::string& f = SavedFile();
  std::vector<char> header(4096);
  for (auto _ : state) {
    std::unique_ptr<double[]> values(new double[kValues]);
    std::FILE* in = std::fopen(f.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(header.data(), 1, header.size(), in));
    benchmark::DoNotOptimize(std::fread(values.get(), 8, kValues, in));
    std::fclose(in);
    benchmark::DoNotOptimize(values.get());
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_PlainFread)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TMat4DReadBinary(benchmark::State& state) {
  const std::string& f = SavedFile();
  TMat4D m;
  double sum = 0;
  m.OnReadElement = [&sum](numbra::TObject*, int32_t, int32_t, int32_t, int32_t, double v) {
    sum += v;
  };
  for (auto _ : state) {
    m.ReadBinary(f, 0, 0);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_TMat4DReadBinary)->Unit(benchmark::kMillisecond)->UseRealTime();

// Resample(2, 0, 2, 0, 2, 0, 1, 0, Average): each iteration on a fresh copy
// (the copy is not timed).
void BM_TMat4DResample(benchmark::State& state) {
  TMat4D m;
  for (auto _ : state) {
    state.PauseTiming();
    m.Assign(&Source());
    state.ResumeTiming();
    m.Resample(2, 0, 2, 0, 2, 0, 1, 0, state.range(0) != 0);
    benchmark::DoNotOptimize(m.Values().data());
  }
  state.SetBytesProcessed(state.iterations() * 8 * kValues);
}
BENCHMARK(BM_TMat4DResample)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

template <int Which>
void BM_TMat4DReduce(benchmark::State& state) {
  const TMat4D& m = Source();
  numbra::TMatrix d;
  for (auto _ : state) {
    if (Which == 0) m.MeanOfLayersToMatrix(&d, 0, 0, 0, 0, 0, 0, 0, 0);
    if (Which == 1) m.StdDevOfLayersToMatrix(&d, 0, 0, 0, 0, 0, 0, 0, 0);
    if (Which == 2) m.MaximumOfLayersToMatrix(&d, 0, 0, 0, 0, 0, 0, 0, 0);
    benchmark::DoNotOptimize(d.Values().data());
  }
  state.SetBytesProcessed(state.iterations() * 8 * kValues);
}
void BM_TMat4DMeanOfLayers(benchmark::State& s) { BM_TMat4DReduce<0>(s); }
void BM_TMat4DStdDevOfLayers(benchmark::State& s) { BM_TMat4DReduce<1>(s); }
void BM_TMat4DMaximumOfLayers(benchmark::State& s) { BM_TMat4DReduce<2>(s); }
BENCHMARK(BM_TMat4DMeanOfLayers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TMat4DStdDevOfLayers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TMat4DMaximumOfLayers)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- self-organising map ---------------------------------------------------------

constexpr int32_t kMapX = 20, kMapY = 20, kInputs = 10, kObjects = 10000, kSteps = 50;

const numbra::TMatrix& MapData() {
  static numbra::TMatrix d;
  static const bool filled = [] {
    numbra::SetRandSeed(2);
    d.Resize(kInputs, kObjects);
    d.FillRandomGauss(0.0, 1.0);
    return true;
  }();
  (void)filled;
  return d;
}

void BM_TKohonenTrainit(benchmark::State& state) {
  numbra::TKohonen map;
  map.SetDataMat(&MapData());
  map.SetSizeX(kMapX);
  map.SetSizeY(kMapY);
  map.SetNrOfTrnSteps(kSteps);
  for (auto _ : state) {
    numbra::SetRandSeed(3);
    map.Trainit();
    benchmark::DoNotOptimize(map.KohMat().Values().data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSteps - 1} * kObjects);
}
BENCHMARK(BM_TKohonenTrainit)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same schedule, element by element through GetVal/SetVal of the
// weight array and the data matrix.
void BM_PlainKohonen(benchmark::State& state) {
  const numbra::TMatrix& data = MapData();
  numbra::TMat3D w;
  for (auto _ : state) {
    numbra::SetRandSeed(3);
    w.Resize(kMapX, kMapY, kInputs);
    for (int x = 1; x <= kMapX; ++x)
      for (int y = 1; y <= kMapY; ++y)
        for (int k = 1; k <= kInputs; ++k) w.SetVal(x, y, k, (numbra::Random() - 0.5) * 0.2);
    for (int step = 1; step < kSteps; ++step) {
      const double f = static_cast<double>(kSteps - step) / kSteps;
      const int radius = static_cast<int>(std::nearbyint((2 - 1) * f * f + 1));
      const double alpha = 1.0 * f * f;
      for (int o = 1; o <= kObjects; ++o) {
        double emin = numbra::uc_MaxDouble;
        int bx = 0, by = 0;
        for (int x = 1; x <= kMapX; ++x)
          for (int y = 1; y <= kMapY; ++y) {
            double e = 0;
            for (int k = 1; k <= kInputs; ++k) {
              const double d = w.GetVal(x, y, k) - data.GetVal(k, o);
              e += d * d;
            }
            if (e < emin) {
              emin = e;
              bx = x;
              by = y;
            }
          }
        for (int x = std::max(1, bx - radius); x <= std::min(kMapX, bx + radius); ++x)
          for (int y = std::max(1, by - radius); y <= std::min(kMapY, by + radius); ++y) {
            double e = 0;
            for (int k = 1; k <= kInputs; ++k) {
              const double d = w.GetVal(x, y, k) - data.GetVal(k, o);
              e += d * d;
            }
            const double h = alpha / (std::sqrt(e - emin) + 1);
            for (int k = 1; k <= kInputs; ++k)
              w.SetVal(x, y, k, w.GetVal(x, y, k) + h * (data.GetVal(k, o) - w.GetVal(x, y, k)));
          }
      }
    }
    benchmark::DoNotOptimize(w.Values().data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSteps - 1} * kObjects);
}
BENCHMARK(BM_PlainKohonen)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string ProcessorName() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::AddCustomContext("processor", ProcessorName());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(SavedFile());
  return 0;
}
