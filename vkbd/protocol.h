// The keyboard's side of the command protocol: the prefixes EFh (command) and ECh (display),
// the identity query, reset, hex and packed block writes, the checksum update, the block read,
// the version request, the peripheral commands and the display sequences. Bytes arrive one at
// a time, either as they were sent or decoded from the LED-nibble form, in which the marker of
// each byte tells whether it belongs to an EFh command or an ECh display sequence (the prefixes
// themselves do not travel in that form).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/api.h"
#include "vkbd/config.h"
#include "vkbd/display.h"
#include "vkbd/memory.h"
#include "vkbd/transcript.h"

namespace vkbd {

enum class Context {
  kRaw,       // the byte as the host sent it
  kNibbleEF,  // decoded from the LED-nibble form with marker 20h: part of an EFh command
  kNibbleEC,  // decoded with marker 30h: part of an ECh display sequence
};

class ZPX_PLATFORM_API Engine {
 public:
  struct Hooks {
    // An answer to send back: the answer's characters (the identity character, the block
    // answer byte, the hexadecimal text of a block read, the version text...).
    std::function<void(AnswerKind, std::string)> answer;
    // The memory took a completed block write or checksum update.
    std::function<void()> memory_changed;
  };

  Engine(const Config& config, Memory& memory, Display& display, Peripherals& peripherals,
         Transcript& transcript, Hooks hooks);

  void byte(std::uint8_t b, Context context);
  // Reset: drop any command in progress.
  void reset();
  // Whether the command in progress came as plain bytes and so takes every byte as it is (an
  // EDh in its data is data, not an LED command).
  bool takes_raw_bytes() const { return state_ != State::kIdle && !nibbles_; }
  bool idle() const { return state_ == State::kIdle; }
  // Whether any byte value could be data of the command in progress (texts, display
  // sequences, a value byte).
  bool takes_any_byte() const {
    return state_ == State::kText || state_ == State::kDisplay || state_ == State::kValue;
  }
  // Drops the command in progress, noting why.
  void abandon(const char* why);

 private:
  enum class State {
    kIdle,
    kCommand,      // after EFh
    kFrameStart,   // after EF 0F / EF 55: the first byte tells a hex from a packed frame
    kHexFrame,
    kPackedFrame,
    kReadRequest,  // after EF 0E
    kText,         // EF 27 / EF 28: text up to 00h
    kValue,        // EF 36: one value byte
    kDisplay,      // after ECh, up to 00h
  };

  void command(std::uint8_t cmd);
  void hex_digit(std::uint8_t b);
  void packed_byte(std::uint8_t b);
  void read_digit(std::uint8_t b);
  void finish_hex_frame();
  void finish_packed_frame();
  void finish_read_request();
  void answer(AnswerKind kind, std::string text);

  const Config& config_;
  Memory& memory_;
  Display& display_;
  Peripherals& peripherals_;
  Transcript& transcript_;
  Hooks hooks_;

  State state_ = State::kIdle;
  bool nibbles_ = false;            // the command in progress came in the LED-nibble form
  std::uint8_t command_ = 0;
  std::vector<std::uint8_t> collected_;  // digits, frame bytes or text of the command
};

// The hexadecimal digit of a value 0-15 and back (upper case; nullopt for anything else).
ZPX_PLATFORM_API char hex_digit_char(unsigned value);
ZPX_PLATFORM_API int hex_digit_value(std::uint8_t c);

}  // namespace vkbd
