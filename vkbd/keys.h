// The keys the virtual keyboard presses on its own: scan code set 1 make codes of the hexadecimal
// keys its block-read answers are typed with, the US layout for texts it types (version text,
// peripheral data) and the marker keys that frame peripheral data.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/api.h"

namespace vkbd {

inline constexpr std::uint8_t kBreakBit = 0x80;      // set 1: a release is the make code | 80h
inline constexpr std::uint8_t kLeftShift = 0x2A;

// Marker keys that open and close a block of peripheral data.
enum class Marker : std::uint8_t {
  kTrack1 = 0x62,
  kTrack2 = 0x63,
  kTrack3 = 0x64,
  kBarcode = 0x65,
  kKeylock = 0x66,
  kFunctionCard = 0x67,
};

// Make code of the key that types a hexadecimal digit '0'-'9', 'A'-'F' (upper case only).
ZPX_PLATFORM_API std::optional<std::uint8_t> hex_key(char digit);
// The digit a hexadecimal key types, or nullopt for any other scan code.
ZPX_PLATFORM_API std::optional<char> hex_key_digit(std::uint8_t make);

// A character typed on the US layout: make code and whether Shift is held.
struct UsKey {
  std::uint8_t make;
  bool shift;
};
ZPX_PLATFORM_API std::optional<UsKey> us_key(char c);

// Scan codes that type a text on the US layout (press and release of each key, Shift around
// shifted characters). Characters the layout has no key for are left out.
ZPX_PLATFORM_API std::vector<std::uint8_t> type_text(std::string_view text);

// Press and release of one key.
inline void press_release(std::vector<std::uint8_t>& out, std::uint8_t make) {
  out.push_back(make);
  out.push_back(static_cast<std::uint8_t>(make | kBreakBit));
}

}  // namespace vkbd
