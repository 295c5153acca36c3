#include "vkbd/port.h"

#include <cstdio>

namespace vkbd {

namespace {

constexpr std::uint8_t kLedCommand = 0xED;

std::string hex2(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v & 0xFFu);
  return buf;
}

}  // namespace

std::optional<PortDecoder::Decoded> PortDecoder::feed(std::uint8_t b, bool raw_expected, std::string& meaning) {
  if (!led_pending_) {
    if (b == kLedCommand && !raw_expected) {
      led_pending_ = true;
      meaning = "LED command";
      return std::nullopt;
    }
    meaning.clear();
    return Decoded{b, Context::kRaw};
  }

  // The argument of an LED command.
  led_pending_ = false;
  switch (b & 0xF0) {
    case 0x00:
      leds_ = static_cast<std::uint8_t>(b & 0x07);
      low_.reset();
      meaning = "LEDs " + hex2(b);
      return std::nullopt;
    case 0x10:
      low_ = static_cast<std::uint8_t>(b & 0x0F);
      meaning = "low nibble " + hex2(b & 0x0F).substr(1);
      return std::nullopt;
    case 0x20:
    case 0x30: {
      if (!low_) {
        meaning = "high nibble without a low nibble, ignored";
        return std::nullopt;
      }
      std::uint8_t value = static_cast<std::uint8_t>((b & 0x0F) << 4 | *low_);
      low_.reset();
      bool display = (b & 0xF0) == 0x30;
      meaning = "high nibble: byte " + hex2(value) + (display ? " (EC)" : " (EF)");
      return Decoded{value, display ? Context::kNibbleEC : Context::kNibbleEF};
    }
    default:
      if (b == kLedCommand) {
        led_pending_ = true;  // a new LED command in place of the argument
        meaning = "LED command";
      } else {
        meaning = "LED argument " + hex2(b) + " ignored";
      }
      return std::nullopt;
  }
}

}  // namespace vkbd
