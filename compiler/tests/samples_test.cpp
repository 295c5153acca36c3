// Every sample compiles cleanly, and chosen sources compile to exactly their golden keytables.
// After a deliberate change, rewrite the golden files with ZPX_UPDATE_GOLDEN=1 and check the
// difference by hand before committing it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "compiler/compile.h"

namespace fs = std::filesystem;

namespace {

std::string read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

fs::path work_dir() {
  fs::path d = fs::temp_directory_path() / ("zpx-samples-" + std::to_string(getpid()));
  fs::create_directories(d);
  return d;
}

}  // namespace

TEST(Samples, EveryOneCompiles) {
  const fs::path work = work_dir();
  int count = 0;
  for (const auto& e : fs::directory_iterator(ZPX_SAMPLES_DIR)) {
    if (e.path().extension() != ".zpf") continue;
    const fs::path target = work / (e.path().stem().string() + ".zpx");
    const fs::path listing = work / "listing.out";
    EXPECT_EQ(compiler::compile_entry(e.path().c_str(), target.c_str(), listing.c_str(), nullptr), 0)
        << e.path() << "\n" << read_all(listing);
    EXPECT_EQ(read_all(listing), "OK\n") << e.path();
    ++count;
  }
  EXPECT_GT(count, 0);
  fs::remove_all(work);
}

TEST(Samples, GoldenKeytables) {
  const fs::path work = work_dir();
  const bool update = std::getenv("ZPX_UPDATE_GOLDEN") != nullptr;
  for (const char* name : {"demo", "builtins", "layers", "peripherals", "model11-extended", "custom-keytable", "lang-gr"}) {
    const fs::path source = fs::path(ZPX_SAMPLES_DIR) / (std::string(name) + ".zpf");
    const fs::path target = work / (std::string(name) + ".zpx");
    const fs::path listing = work / "listing.out";
    ASSERT_EQ(compiler::compile_entry(source.c_str(), target.c_str(), listing.c_str(), nullptr), 0) << name;
    const fs::path golden = fs::path(ZPX_GOLDEN_DIR) / (std::string(name) + ".zpx");
    if (update) fs::copy_file(target, golden, fs::copy_options::overwrite_existing);
    EXPECT_EQ(read_all(target), read_all(golden)) << name;
  }
  fs::remove_all(work);
}
