// What arrives on the keyboard port, byte by byte, before the protocol sees it: plain LED
// commands (EDh xx) and the LED-nibble form in which a host without a byte channel of its own
// carries protocol bytes: EDh (10h | low nibble), EDh (marker | high nibble), the marker 20h for
// the bytes of an EFh command and 30h for those of an ECh display sequence.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/api.h"
#include "vkbd/protocol.h"

namespace vkbd {

class ZPX_PLATFORM_API PortDecoder {
 public:
  struct Decoded {
    std::uint8_t byte;
    Context context;
  };

  // One byte from the host. raw_expected: the protocol is inside a command that came as plain
  // bytes, so the byte is data whatever it is. Returns the protocol byte it completes, if any;
  // meaning receives what the byte was.
  std::optional<Decoded> feed(std::uint8_t b, bool raw_expected, std::string& meaning);

  // The value of the last plain LED command (bits 0-2: Scroll, Num, Caps Lock).
  std::uint8_t leds() const { return leds_; }
  void reset() {
    led_pending_ = false;
    low_.reset();
  }

 private:
  bool led_pending_ = false;
  std::optional<std::uint8_t> low_;
  std::uint8_t leds_ = 0;
};

// A host in secure mode sends every byte three times in a row. The keyboard takes the first of
// each run of three equal bytes and lets the two repetitions pass without effect.
class RepeatFilter {
 public:
  // Whether the byte is new (to be handled) rather than a repetition.
  bool take(std::uint8_t b) {
    if (run_ > 0 && b == last_ && run_ < 3) {
      ++run_;
      return false;
    }
    last_ = b;
    run_ = 1;
    return true;
  }

 private:
  std::uint8_t last_ = 0;
  int run_ = 0;
};

}  // namespace vkbd
