// Turning code-string text into code bytes: scancode mode (make and break codes of scan code
// set 1, with the modifiers each character needs) and character mode (the characters themselves).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace compiler {

// Longest code string; longer results are refused ("string too long").
inline constexpr std::size_t kMaxCodeString = 240;

// What a conversion needs to know of the compile.
struct ConvertSettings {
  int language = 0;             // 0-7: US, GR, FR, UK, SG, SF, IT, SP
  bool shift_lock = false;      // the Caps Lock key acts as shift lock
  bool char_mode_option = false;// MOD +GCA: try character mode first
  // Custom character table (KEYTABLE) and its seven dead-key entries; used instead of the
  // language's tables when custom_table_used is set.
  bool custom_table_used = false;
  std::array<std::uint16_t, 256> custom_table{};
  std::array<std::vector<std::uint8_t>, 8> custom_deadkeys{};  // index 1-7; [0] unused
};

enum class ConvertStatus {
  Ok,
  AsciiFailed,     // "string conversion (ASCII)"
  ScancodeFailed,  // "string conversion (scancode)"
  TooLong,         // "string too long"
};

// Converts one piece of pending text of a definition and appends it to the code string built so
// far (out). value, mask and mode are the definition's bytes; mode may gain bit 6 when the text
// was converted in character mode. On failure out is unchanged.
ConvertStatus convert_pending(const ConvertSettings& settings, std::uint8_t value,
                              std::uint8_t mask, std::uint8_t& mode, std::string_view text,
                              std::vector<std::uint8_t>& out);

// Scancode mode with an initial modifier state and the make-only flag. False on failure.
bool convert_scancodes(const ConvertSettings& settings, std::string_view text,
                       std::uint8_t initial_modifiers, bool make_only,
                       std::vector<std::uint8_t>& out);

// Character mode. False on failure.
bool convert_characters(std::string_view text, std::vector<std::uint8_t>& out);

// The character value (scancode, shift code, dead-key index) of a code page 850 character in a
// language's table, or in the custom table when one is in use.
std::uint16_t character_value(const ConvertSettings& settings, std::uint8_t ch);

}  // namespace compiler
