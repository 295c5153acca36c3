// The keyboard's memory: 8192 bytes, addresses 0000h-1FFFh. Bytes 0-1 hold the firmware
// identification, 2-3 the keytable checksum, 4-5 language and options, 6-7 the keytable length.
// The memory outlives the process in a state file, as a real keyboard's memory outlives a
// power cycle.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/api.h"

namespace vkbd {

inline constexpr std::size_t kMemorySize = 8192;

class ZPX_PLATFORM_API Memory {
 public:
  Memory() { bytes_.fill(0); }

  std::uint8_t at(std::size_t address) const { return address < kMemorySize ? bytes_[address] : 0; }
  // Stores the bytes that fall inside memory; returns how many did.
  std::size_t write(std::size_t address, std::span<const std::uint8_t> data);
  std::span<const std::uint8_t, kMemorySize> bytes() const { return bytes_; }

  void set_firmware_id(std::uint16_t id);
  std::uint16_t firmware_id() const { return static_cast<std::uint16_t>(bytes_[0] << 8 | bytes_[1]); }
  std::uint16_t checksum() const { return static_cast<std::uint16_t>(bytes_[2] << 8 | bytes_[3]); }
  // Keytable length from bytes 6-7 (high byte first).
  std::uint16_t length() const { return static_cast<std::uint16_t>(bytes_[6] << 8 | bytes_[7]); }

  // The checksum update: the 16-bit sum of bytes 4 to L - 1 (L = keytable length, at most the
  // memory size) into bytes 2 (high) and 3 (low). Returns the sum.
  std::uint16_t update_checksum();

  // Reads a state file. A missing file, or one that is not exactly the memory's size, leaves
  // the memory as it was and returns false.
  bool load(const std::string& path);
  // Writes the state file atomically (a temporary file in the same folder, then renamed over
  // the old one), creating the folder when needed. On failure returns false with the reason.
  bool save(const std::string& path, std::string* error = nullptr) const;

 private:
  std::array<std::uint8_t, kMemorySize> bytes_;
};

}  // namespace vkbd
