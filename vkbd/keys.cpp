#include "vkbd/keys.h"

#include <array>

namespace vkbd {

namespace {

// The hexadecimal keys: digits 0-9 and letters A-F.
constexpr std::array<std::uint8_t, 16> kHexKeys = {0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                                   0x09, 0x0A, 0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21};

// US layout, scan codes 01h-39h: unshifted and shifted character of each key (0 = none).
constexpr char kPlain[] =
    "\0\x1b"
    "1234567890-=\b\t"
    "qwertyuiop[]\r\0"
    "asdfghjkl;'`\0\\"
    "zxcvbnm,./\0*\0 ";
constexpr char kShifted[] =
    "\0\x1b"
    "!@#$%^&*()_+\b\t"
    "QWERTYUIOP{}\r\0"
    "ASDFGHJKL:\"~\0|"
    "ZXCVBNM<>?\0*\0 ";
static_assert(sizeof(kPlain) == 0x3A + 1 && sizeof(kShifted) == 0x3A + 1);

}  // namespace

std::optional<std::uint8_t> hex_key(char digit) {
  if (digit >= '0' && digit <= '9') return kHexKeys[static_cast<std::size_t>(digit - '0')];
  if (digit >= 'A' && digit <= 'F') return kHexKeys[static_cast<std::size_t>(digit - 'A' + 10)];
  return std::nullopt;
}

std::optional<char> hex_key_digit(std::uint8_t make) {
  for (std::size_t i = 0; i < kHexKeys.size(); ++i)
    if (kHexKeys[i] == make) return "0123456789ABCDEF"[i];
  return std::nullopt;
}

std::optional<UsKey> us_key(char c) {
  if (c == '\0') return std::nullopt;
  if (c == '\n') return UsKey{0x1C, false};
  for (std::uint8_t sc = 1; sc <= 0x39; ++sc) {
    if (kPlain[sc] == c) return UsKey{sc, false};
    if (kShifted[sc] == c) return UsKey{sc, true};
  }
  return std::nullopt;
}

std::vector<std::uint8_t> type_text(std::string_view text) {
  std::vector<std::uint8_t> out;
  for (char c : text) {
    auto key = us_key(c);
    if (!key) continue;
    if (key->shift) out.push_back(kLeftShift);
    press_release(out, key->make);
    if (key->shift) out.push_back(static_cast<std::uint8_t>(kLeftShift | kBreakBit));
  }
  return out;
}

}  // namespace vkbd
