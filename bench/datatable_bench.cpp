// TDataTable: CSV import and export, SortRows and CalcCovar. Compare
//   BM_TDataTableImportFromCSV  with BM_GetlineStrtodLoop (the same 10^5 x 20
//                               numeric CSV file, MB/s of file, same run)
//   BM_TDataTableExportAsCSV    MB/s written, shortest round-trip numbers,
//                               next to BM_PrintfExportLoop ("%.17g")
//   BM_TDataTableSortRows       10^5 rows x 20 columns with names and
//                               attributes moving along
//   BM_TDataTableCalcCovar/m    10^5 rows x 50 columns, modes 1 and 2, all
//                               cells valid, and /1/1 with 1% empty cells
#include "ORK_datatable.h"
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

using numbra::TCSVDelimiters;
using numbra::TDataTable;

constexpr int32_t kRows = 100000;
constexpr int32_t kCols = 20;

void FillGauss(TDataTable& t, int32_t cols, int32_t rows, uint64_t seed) {
  numbra::SetRandSeed(seed);
  t.Resize(cols, rows);
  t.NumericData->FillRandomGauss(0.0, 1.0);
}

const std::string& CsvFile() {
  static const std::string file = [] {
    const std::string f = "/tmp/numbra_bench_table_" + std::to_string(::getpid()) + ".csv";
    TDataTable t;
    FillGauss(t, kCols, kRows, 7);
    if (!t.ExportAsCSV(f, 0, TCSVDelimiters::csvComma, true, false).empty()) std::abort();
    return f;
  }();
  return file;
}

int64_t FileBytes(const std::string& f) {
  std::ifstream in(f, std::ios::binary | std::ios::ate);
  return static_cast<int64_t>(in.tellg());
}

void BM_TDataTableImportFromCSV(benchmark::State& state) {
  const std::string& f = CsvFile();
  TDataTable t;
  for (auto _ : state) {
    if (t.ImportFromCSV(f, TCSVDelimiters::csvComma, true, false) != kRows)
      state.SkipWithError("import failed");
    benchmark::DoNotOptimize(t.NumericData->Values().data());
  }
  state.SetBytesProcessed(state.iterations() * FileBytes(f));
}
BENCHMARK(BM_TDataTableImportFromCSV)->Unit(benchmark::kMillisecond);

// The plain loop a host would write: getline, split at commas, strtod.
void BM_GetlineStrtodLoop(benchmark::State& state) {
  const std::string& f = CsvFile();
  std::vector<double> values;
  for (auto _ : state) {
    values.clear();
    std::ifstream in(f);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
      const char* p = line.c_str();
      for (;;) {
        char* end = nullptr;
        values.push_back(std::strtod(p, &end));
        if (*end != ',') break;
        p = end + 1;
      }
    }
    benchmark::DoNotOptimize(values.data());
  }
  state.SetBytesProcessed(state.iterations() * FileBytes(f));
}
BENCHMARK(BM_GetlineStrtodLoop)->Unit(benchmark::kMillisecond);

void BM_TDataTableExportAsCSV(benchmark::State& state) {
  TDataTable t;
  FillGauss(t, kCols, kRows, 7);
  const std::string f = "/tmp/numbra_bench_out_" + std::to_string(::getpid()) + ".csv";
  for (auto _ : state)
    if (!t.ExportAsCSV(f, 0, TCSVDelimiters::csvComma, true, false).empty())
      state.SkipWithError("export failed");
  state.SetBytesProcessed(state.iterations() * FileBytes(f));
  std::remove(f.c_str());
}
BENCHMARK(BM_TDataTableExportAsCSV)->Unit(benchmark::kMillisecond);

void BM_PrintfExportLoop(benchmark::State& state) {
  TDataTable t;
  FillGauss(t, kCols, kRows, 7);
  const std::string f = "/tmp/numbra_bench_printf_" + std::to_string(::getpid()) + ".csv";
  for (auto _ : state) {
    std::FILE* out = std::fopen(f.c_str(), "w");
    for (int32_t r = 1; r <= kRows; ++r)
      for (int32_t c = 1; c <= kCols; ++c)
        std::fprintf(out, c < kCols ? "%.17g," : "%.17g\n", t.NumericData->GetVal(c, r));
    std::fclose(out);
  }
  state.SetBytesProcessed(state.iterations() * FileBytes(f));
  std::remove(f.c_str());
}
BENCHMARK(BM_PrintfExportLoop)->Unit(benchmark::kMillisecond);

void BM_TDataTableSortRows(benchmark::State& state) {
  TDataTable base;
  FillGauss(base, kCols, kRows, 3);
  for (int32_t r = 1; r <= kRows; ++r) {
    base.SetRowName(r, "object " + std::to_string(r));
    base.SetRowAttrib(r, r % 7);
  }
  TDataTable t;
  for (auto _ : state) {
    state.PauseTiming();
    t.CopyContentsFrom(&base);
    state.ResumeTiming();
    t.SortRows(1, true, 0, 0, 0, 0, true);
    benchmark::DoNotOptimize(t.NumericData->Values().data());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_TDataTableSortRows)->Unit(benchmark::kMillisecond);

void BM_TDataTableCalcCovar(benchmark::State& state) {
  TDataTable t;
  FillGauss(t, 50, kRows, 5);
  if (state.range(1) != 0)
    for (int32_t r = 1; r <= kRows; r += 100) t.SetCellState(1 + r % 50, r, 2);
  numbra::TMatrix cov;
  cov.Resize(50, 50);
  for (auto _ : state) {
    if (!t.CalcCovar(&cov, 0, 0, 0, 0, static_cast<int32_t>(state.range(0))))
      state.SkipWithError("aborted");
    benchmark::DoNotOptimize(cov.Values().data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kRows} * 50 * 51 / 2);
}
BENCHMARK(BM_TDataTableCalcCovar)
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

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
  benchmark::AddCustomContext("kernel", "portable C++ (from_chars / to_chars, scalar loops)");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  std::remove(CsvFile().c_str());
  benchmark::Shutdown();
  return 0;
}
