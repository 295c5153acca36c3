// Fuzz target: reading a ZPX keytable (as zpxdump does) from arbitrary bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "compiler/render.h"
#include "compiler/zpxreader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file(data, data + size);
  compiler::ZpxImage image;
  std::string error;
  if (compiler::read_zpx(file, image, error)) {
    for (const auto& list : image.keys)
      for (const auto& r : list) compiler::render_codes(r.codes.data(), r.codes.size(), r.value & 0x0F, r.mode & 7, r.mode & 8);
  }
  return 0;
}
