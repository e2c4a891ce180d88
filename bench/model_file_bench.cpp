// Opening and saving a model of 1000 blocks with stored data, as the batch runner
// does it (File Open with its drawing, File Save Model with its atomic write).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include <unistd.h>

#include "cli/batch.h"
#include "model/atomic_file.h"
#include "model/model_file.h"
#include "models.h"

namespace trevolan::bench {
namespace {

// The model's file in a folder of the benchmark's own, removed at the end.
struct ModelFolder {
  ModelFolder() : dir(std::filesystem::temp_directory_path() / ("trevolan_bench_" + std::to_string(getpid()))) {
    std::filesystem::create_directories(dir);
    WriteFileAtomically(file(), ModelFileText(*FullTableWithStoredData(), "now"));
  }
  ~ModelFolder() { std::filesystem::remove_all(dir); }
  std::string file() const { return (dir / "full_table.txt").string(); }
  std::filesystem::path dir;
};

std::string ModelFile() {
  static const ModelFolder folder;
  return folder.file();
}

void BM_OpenModel1000Blocks(benchmark::State& state) {
  std::ostringstream out;
  cli::Batch batch(out);
  const std::string file = ModelFile();
  for (auto _ : state) batch.Execute({"open", file});
  if (batch.had_error() || batch.sim().HighestBlock != kMaxBlockID) state.SkipWithError(out.str().c_str());
}
BENCHMARK(BM_OpenModel1000Blocks)->Unit(benchmark::kMillisecond);

void BM_SaveModel1000Blocks(benchmark::State& state) {
  std::ostringstream out;
  cli::Batch batch(out);
  batch.Execute({"open", ModelFile()});
  const std::string copy = ModelFile() + ".saved";
  for (auto _ : state) batch.Execute({"save", copy});
  if (batch.had_error()) state.SkipWithError(out.str().c_str());
}
BENCHMARK(BM_SaveModel1000Blocks)->Unit(benchmark::kMillisecond);

// The text alone, without the file.
void BM_ModelFileText1000Blocks(benchmark::State& state) {
  auto s = FullTableWithStoredData();
  for (auto _ : state) benchmark::DoNotOptimize(ModelFileText(*s, "now"));
}
BENCHMARK(BM_ModelFileText1000Blocks)->Unit(benchmark::kMillisecond);

void BM_ReadModelText1000Blocks(benchmark::State& state) {
  const std::string text = ModelFileText(*FullTableWithStoredData(), "now");
  auto s = std::make_unique<Sim>();
  for (auto _ : state) ReadModelText(*s, text);
}
BENCHMARK(BM_ReadModelText1000Blocks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trevolan::bench
