// The host's side of the exchanges, written from the frame layouts, to drive the virtual
// keyboard in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vkbd/keyboard.h"
#include "vkbd/keys.h"

namespace vkbd::test {

using Bytes = std::vector<std::uint8_t>;

inline void hex_digits(Bytes& out, unsigned value, int digits, unsigned* nibble_sum = nullptr) {
  for (int i = digits - 1; i >= 0; --i) {
    unsigned v = (value >> (4 * i)) & 0x0F;
    out.push_back(static_cast<std::uint8_t>("0123456789ABCDEF"[v]));
    if (nibble_sum) *nibble_sum += v;
  }
}

// EF cmd, address, length and header sum as hexadecimal digits, then for a block write the data
// digits and their sum.
inline Bytes hex_frame(std::uint8_t cmd, unsigned address, const Bytes& data) {
  Bytes out{0xEF, cmd};
  unsigned header = 0, sum = 0;
  hex_digits(out, address, 4, &header);
  hex_digits(out, static_cast<unsigned>(data.size()), 2, &header);
  hex_digits(out, header & 0xFF, 2);
  for (std::uint8_t b : data) hex_digits(out, b, 2, &sum);
  hex_digits(out, sum & 0xFF, 2);
  return out;
}

inline Bytes read_request(unsigned address, unsigned length) {
  Bytes out{0xEF, 0x0E};
  unsigned header = 0;
  hex_digits(out, address, 4, &header);
  hex_digits(out, length, 2, &header);
  hex_digits(out, header & 0xFF, 2);
  return out;
}

// EF cmd and the sixteen bytes of a packed frame of eight data bytes.
inline Bytes packed_frame(std::uint8_t cmd, unsigned address, const Bytes& d, unsigned sequence) {
  static constexpr std::uint8_t kTags[3] = {0x80, 0x40, 0x00};
  Bytes body{static_cast<std::uint8_t>(0x80 | ((address >> 10) & 0x3F)),
             static_cast<std::uint8_t>(0x40 | ((address >> 4) & 0x3F)),
             static_cast<std::uint8_t>(((sequence & 3) << 4) | (address & 0x0F))};
  Bytes nine(d.begin(), d.begin() + 8);
  std::uint8_t x = 0;
  for (std::uint8_t b : nine) x ^= b;
  nine.push_back(x);
  for (int g = 0; g < 12; ++g) {
    unsigned v = 0;
    for (int k = 0; k < 6; ++k) {
      int bit = g * 6 + k;
      v = v << 1 | ((nine[static_cast<std::size_t>(bit / 8)] >> (7 - bit % 8)) & 1u);
    }
    body.push_back(static_cast<std::uint8_t>(kTags[(3 + g) % 3] | v));
  }
  std::uint8_t check = 0;
  for (std::uint8_t b : body) check ^= b;
  body.push_back(check & 0x3F);
  Bytes out{0xEF, cmd};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// Protocol bytes in the LED-nibble form: EF and EC only choose the marker.
inline Bytes led_nibbles(const Bytes& protocol) {
  Bytes out;
  std::uint8_t marker = 0x20;
  for (std::uint8_t b : protocol) {
    if (b == 0xEC) {
      marker = 0x30;
      continue;
    }
    if (b == 0xEF) {
      marker = 0x20;
      continue;
    }
    out.insert(out.end(), {0xED, static_cast<std::uint8_t>(0x10 | (b & 0x0F)), 0xED,
                           static_cast<std::uint8_t>(marker | (b >> 4))});
    if (b == 0) marker = 0x20;
  }
  return out;
}

// The characters typed by hexadecimal keys (releases skipped).
inline std::string typed_hex(const Bytes& typed) {
  std::string s;
  for (std::uint8_t c : typed) {
    if (c & kBreakBit) continue;
    if (auto d = hex_key_digit(c)) s += *d; else s += '?';
  }
  return s;
}

// Decodes a block-read answer: the data, or nothing when the check digits do not match.
inline std::optional<Bytes> decode_read(const std::string& text) {
  if (text.size() < 2 || text.size() % 2) return std::nullopt;
  Bytes data;
  unsigned sum = 0;
  auto value = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
  for (std::size_t i = 0; i + 2 < text.size(); i += 2) {
    unsigned hi = static_cast<unsigned>(value(text[i])), lo = static_cast<unsigned>(value(text[i + 1]));
    sum += hi + lo;
    data.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
  }
  unsigned sent = static_cast<unsigned>(value(text[text.size() - 2]) << 4 | value(text.back()));
  if ((sum & 0xFF) != sent) return std::nullopt;
  return data;
}

// A keyboard whose typed scan codes are collected, its memory kept nowhere unless a path is given.
struct Rig {
  explicit Rig(Config config = {}, std::string state = "")
      : keyboard(std::move(config), std::move(state), [this](std::uint8_t c) { typed.push_back(c); }) {}

  // Sends bytes on the keyboard port; the replies in order (0 for no reply).
  Bytes port(const Bytes& bytes) {
    Bytes replies;
    for (std::uint8_t b : bytes) replies.push_back(keyboard.host_byte(b).value_or(0));
    return replies;
  }
  Bytes line(const Bytes& bytes) {
    Bytes out;
    for (std::uint8_t b : bytes) {
      Bytes r = keyboard.line_bytes(b);
      out.insert(out.end(), r.begin(), r.end());
    }
    return out;
  }
  Bytes take_typed() { return std::exchange(typed, {}); }

  Bytes typed;
  Keyboard keyboard;
};

}  // namespace vkbd::test
