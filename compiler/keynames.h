// The names usable in braces of a code string.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace compiler {

struct KeyName {
  std::string_view name;
  std::vector<std::uint8_t> codes;
  int mode;  // shift code applied before the codes; 0 = none
};

// The key-name table in its search order (row 157 is EMPTY).
const std::vector<KeyName>& key_names();

inline constexpr int kRowNormal = 30;
inline constexpr int kRowE0Shift = 9;
inline constexpr int kRowEmpty = 157;

// Row of a name (exact, upper case), or -1.
int find_key_name(std::string_view upper_name);

}  // namespace compiler
