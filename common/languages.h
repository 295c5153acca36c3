// The eight keyboard languages. The index is what header byte 4 carries in its upper four bits.
#pragma once

#include <cstdint>
#include <string_view>

namespace zpx {

enum Language : int { kUS = 0, kGR = 1, kFR = 2, kUK = 3, kSG = 4, kSF = 5, kIT = 6, kSP = 7 };
inline constexpr int kLanguageCount = 8;

struct LanguageRow {
  int index;
  std::string_view name;
  std::uint8_t code;  // bits 3-7 of header byte 4 as the LANG directive sets them
};

// GR sets bit 3 (shift-lock mode) by default; all others leave it clear.
inline constexpr LanguageRow kLanguages[kLanguageCount] = {
    {kUS, "US", 0x00}, {kGR, "GR", 0x18}, {kFR, "FR", 0x28}, {kUK, "UK", 0x30},
    {kSG, "SG", 0x40}, {kSF, "SF", 0x50}, {kIT, "IT", 0x60}, {kSP, "SP", 0x70},
};

// Name for a language index taken from the upper four bits of header byte 4; empty for 8-15.
constexpr std::string_view language_name(int index) {
  return index >= 0 && index < kLanguageCount ? kLanguages[index].name : std::string_view{};
}

}  // namespace zpx
