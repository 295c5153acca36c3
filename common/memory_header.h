// The keyboard memory header: the 8 bytes at keyboard addresses 0 to 7.
#pragma once

#include <array>
#include <cstdint>

namespace zpx {

struct MemoryHeader {
  std::array<std::uint8_t, 8> bytes{};

  // Bytes 0 and 1: firmware identification.
  std::uint16_t firmware_id() const { return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]); }
  // Bytes 2 and 3, high byte first: sum of memory bytes from address 4 to the end.
  std::uint16_t checksum() const { return static_cast<std::uint16_t>(bytes[2] << 8 | bytes[3]); }
  // Bytes 4 and 5: language and options; the language index is the upper four bits of byte 4.
  std::uint8_t language_index() const { return static_cast<std::uint8_t>(bytes[4] >> 4); }
  std::uint16_t language_options() const { return static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]); }
  // Bytes 6 and 7, high byte first: keytable length.
  std::uint16_t length() const { return static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]); }
};

}  // namespace zpx
