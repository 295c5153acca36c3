// Reading a ZPX keytable back into its parts, for tools that show or check keytables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/context.h"

namespace compiler {

struct ZpxImage {
  std::vector<std::uint8_t> bytes;  // the whole file
  bool extended = false;            // extended layout (first block at 400)
  std::array<Block, 11> blocks{};
  std::array<std::uint16_t, 256> char_table{};
  bool has_char_table = false;
  std::vector<std::vector<Record>> keys = std::vector<std::vector<Record>>(kKeyCount);
  std::vector<bool> direct = std::vector<bool>(kKeyCount, false);  // key stored as a direct entry
};

// Parses a ZPX file. On failure returns false with a one-line reason in error.
bool read_zpx(const std::vector<std::uint8_t>& file, ZpxImage& out, std::string& error);

}  // namespace compiler
