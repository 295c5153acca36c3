// Layout of a ZPX keytable: an image of the keyboard's keytable memory in which the byte at
// file offset N belongs at keyboard address N. All numbers are big-endian, all offsets absolute.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zpx {

// Keyboard memory: addresses 0000h to 1FFFh.
inline constexpr std::size_t kMemorySize = 8192;

// "Zelk" at offset 0 of every ZPX and ZPS file.
inline constexpr std::uint8_t kMagic[4] = {0x5A, 0x65, 0x6C, 0x6B};

// Header fields.
inline constexpr std::size_t kOffInterface = 4;    // bits 0-2 interface, bit 3 lock, bits 4-7 language
inline constexpr std::size_t kOffSerial = 5;       // serial line settings
inline constexpr std::size_t kOffLength = 6;       // total length L, 2 bytes
inline constexpr std::size_t kOffKeyTable = 8;     // 142 entries of 2 bytes
inline constexpr std::size_t kKeyTableEntries = 142;
inline constexpr std::size_t kOffSndkVolume = 292;
inline constexpr std::size_t kOffSndkDuration = 293;
inline constexpr std::size_t kOffSndaVolume = 294;
inline constexpr std::size_t kOffSndaDuration = 295;
inline constexpr std::size_t kOffHotkey0 = 296;    // value, mask, code
inline constexpr std::size_t kOffHotkey1 = 299;
inline constexpr std::size_t kOffFirstBlock = 302; // offset of the first parameter block
inline constexpr std::size_t kHeaderSize = 302;    // also the smallest downloadable file

// Extended layout (models with the extended key range): the header is 96 bytes longer.
inline constexpr std::size_t kOffExtKeyTable = 304;  // entry of key k (158-189) at 2k - 12
inline constexpr std::size_t kOffExtMarker = 398;    // 01h 2Eh
inline constexpr std::size_t kExtHeaderSize = 398;
inline constexpr int kFirstExtKey = 142;
inline constexpr int kLastExtKey = 189;

// The link that ends the parameter block chain: the offset of the first-block field.
inline constexpr std::uint16_t kEndLink = 0x012E;

// Parameter block ids.
enum BlockId : std::uint8_t {
  kBlockModel = 1,       // model index, option bytes X, Y, Z
  kBlockTypematic = 2,   // typematic byte
  kBlockPortText = 3,    // port settings text
  kBlockPortInit = 4,    // port initialisation bytes
  kBlockMsrText = 5,     // MSR text and a zero byte
  kBlockConversion = 6,  // conversion entries
  kBlockParameters = 8,  // parameter records of 8 bytes
  kBlockCharTable = 9,   // custom character table, 256 two-byte entries
};

// Capacities (largest ZPX size).
inline constexpr int kDefaultCapacity = 8000;
inline constexpr int kSmallCapacity = 6400;

// Serial-number file (ZPS): bytes from offset 4 belong at keyboard addresses 1F00h onwards.
inline constexpr std::uint16_t kSerialNumberAddress = 0x1F00;
inline constexpr std::size_t kSerialNumberMaxSize = 256;

// Byte of the key table entry of key k.
constexpr std::size_t key_entry_offset(int key) {
  return key < kFirstExtKey ? kOffKeyTable + 2 * static_cast<std::size_t>(key)
                            : 2 * static_cast<std::size_t>(key) - 12;
}

constexpr std::uint16_t get_be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
constexpr void put_be16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v & 0xFF);
}

// True when the bytes begin with the magic "Zelk".
bool has_magic(std::span<const std::uint8_t> bytes);

// The keytable checksum: the 16-bit sum of all bytes from offset 4 to the end.
std::uint16_t checksum(std::span<const std::uint8_t> image);

}  // namespace zpx
