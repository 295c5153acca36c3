// The compile context: all state of one compile, created afresh at every call.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/zpx_format.h"

namespace compiler {

// One definition of a key: its condition, its modes and its code string.
struct Record {
  std::uint8_t value = 0;
  std::uint8_t mask = 0;
  std::uint8_t mode = 0;
  std::vector<std::uint8_t> codes;
};

// Data of one parameter block; written only when present.
struct Block {
  bool present = false;
  std::vector<std::uint8_t> data;
};

inline constexpr int kKeyCount = 190;  // key numbers 0-189

struct Context {
  Context();

  // Diagnostics.
  std::FILE* listing = nullptr;
  int line_counter = 0;
  int total_lines = 0;
  int error_count = 0;
  std::string raw_line;  // the line last read, as read

  // The image under construction: header bytes live in place.
  std::array<std::uint8_t, zpx::kMemorySize> image{};
  std::array<Block, 11> blocks{};  // by block id 1-10

  // Settings of the directives.
  int capacity = zpx::kDefaultCapacity;
  bool hex_base = false;
  int language = 0;
  bool shift_lock = false;
  int definition_set = 1;
  bool char_mode_option = false;  // GCA
  bool opos = false;

  // Key definitions.
  std::uint8_t def_value = 0x00, def_mask = 0x80, def_mode = 0x00;  // default state (DEF)
  int current_layer = -1;                                            // -1: none
  bool extended_layout = false;
  std::uint8_t last_mode = 0;  // mode byte of the most recent key or hotkey definition
  std::array<std::uint16_t, 256> custom_table{};
  int custom_count = 0;
  std::array<std::array<std::uint8_t, 2>, 7> custom_deadkeys{};
  std::vector<std::vector<Record>> keys;

  std::uint8_t& model_index() { return blocks[zpx::kBlockModel].data[0]; }

  // The error reporter: echo of the line, the error line, one more error.
  void error(const std::string& message);
  // Writes text to the listing unchanged.
  void print(const std::string& text);
};

}  // namespace compiler
