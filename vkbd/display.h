// The keyboard's output peripherals: the customer display, the sounder and the LEDs, with the
// settings the host's peripheral commands leave behind.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/api.h"

namespace vkbd {

// A two-row customer display of up to 50 characters per row. It takes the display byte
// sequences that follow ECh, one byte at a time, up to the closing 00h:
//   01h                 clear (all blanks, cursor to row 1, column 1)
//   C8h c               control: c = 08h + 4 x display on + 2 x cursor + blink
//   C9h a               cursor to a (80h + column: row 1; 40h + column: row 2)
//   C0h, C1h            cursor to the start of row 1, of row 2
// each only as the first byte of a sequence; every other byte is a character written at the
// cursor, which advances. Characters beyond the last column are dropped.
class ZPX_PLATFORM_API Display {
 public:
  static constexpr int kRows = 2;
  static constexpr int kColumns = 50;

  Display() { clear(); }

  // A sequence starts (ECh was received) / one byte of it / it ended (00h).
  void begin();
  void byte(std::uint8_t b);
  void end() { state_ = State::kIdle; }

  std::string row(int r) const;  // the characters of a row (blanks included)
  int cursor_row() const { return row_; }
  int cursor_column() const { return column_; }
  bool on() const { return on_; }
  bool cursor_visible() const { return cursor_; }
  bool blink() const { return blink_; }
  int sequences() const { return sequences_; }

 private:
  enum class State { kIdle, kFirst, kControl, kCursor, kText };
  void clear();
  void put(std::uint8_t c);

  std::array<std::array<char, kColumns>, kRows> grid_{};
  int row_ = 0, column_ = 0;
  bool on_ = true, cursor_ = false, blink_ = false;
  State state_ = State::kIdle;
  int sequences_ = 0;
};

// Settings of the peripheral commands (EF 18 to EF 44) and the plain keyboard LEDs.
struct Peripherals {
  std::uint8_t keyboard_leds = 0;   // last value of a plain LED command (EDh xx)
  int beeps = 0;                    // EF 2B
  int msr_leds = -1;                // EF 42, 43, 44: 0, 1, 2; -1 never set
  int msr_tracks = 7;               // EF 36 value
  bool msr_autoinput = true, fc_autoinput = true, kl_autoinput = true, bar_autoinput = true;
  bool fat_finger = false;
  int kvk_mode = 1;
  std::string barcode_config, barcode_data;  // EF 27 / EF 28 texts
};

}  // namespace vkbd
