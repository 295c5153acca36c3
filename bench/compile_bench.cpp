// Compiling a source that fills the keyboard's 8000-byte keytable memory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "compiler/compile.h"

namespace {

// 128 keys with a definition under each of three conditions, long texts: about 8000 bytes.
std::string full_source() {
  std::string s = "TYPE ZK01\nLANG GR\nMOD +T1,+T2,+T3\n";
  for (char row = 'A'; row <= 'H'; ++row) {
    for (int col = 1; col <= 16; ++col) {
      char key[8];
      std::snprintf(key, sizeof key, "%c%02d", row, col);
      s += std::string(key) + " \"Ab\"\n";
      s += std::string(key) + " +S\"{F1}\"\n";
      s += std::string(key) + " +C\"xY\"\n";
      s += std::string(key) + " +A\"{F2}q\"\n";
      s += std::string(key) + " -K\"z\"\n";
    }
  }
  return s;
}

void BM_CompileFullKeytable(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / ("zpx-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string source = (dir / "full.zpf").string();
  std::FILE* f = std::fopen(source.c_str(), "wb");
  const std::string text = full_source();
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  const std::string target = (dir / "full.zpx").string();
  const std::string listing = (dir / "full.lst").string();
  for (auto _ : state) {
    int r = compiler::compile_entry(source.c_str(), target.c_str(), listing.c_str(), nullptr);
    if (r != 0) state.SkipWithError("compile failed");
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(target));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CompileFullKeytable)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
