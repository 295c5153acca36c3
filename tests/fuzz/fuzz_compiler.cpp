// Fuzz target: the keytable compiler over arbitrary source bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "compiler/compile.h"

namespace {

const std::string& folder() {
  static const std::string dir = [] {
    std::string d = std::filesystem::temp_directory_path() / ("zpx-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string source = folder() + "/in.zpf";
  if (std::FILE* f = std::fopen(source.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const std::string target = folder() + "/out.zpx";
  const std::string listing = folder() + "/out.lst";
  compiler::compile_entry(source.c_str(), target.c_str(), listing.c_str(), nullptr);
  return 0;
}
