// Bytes of the keyboard command protocol.
#pragma once

#include <cstdint>

namespace zpx::cmd {

inline constexpr std::uint8_t kPrefix = 0xEF;          // every programming command starts with it
inline constexpr std::uint8_t kIdentity = 0x00;        // EF 00: identity query
inline constexpr std::uint8_t kReset = 0x88;           // EF 88: reset
inline constexpr std::uint8_t kBlockWrite = 0x0F;      // EF 0F: block write
inline constexpr std::uint8_t kSerialBlockWrite = 0x55;// EF 55: block write of a serial-number file
inline constexpr std::uint8_t kChecksumUpdate = 0x12;  // EF 12: checksum update
inline constexpr std::uint8_t kBlockRead = 0x0E;       // EF 0E: block read
inline constexpr std::uint8_t kVersion = 0x10;         // EF 10: version text
inline constexpr std::uint8_t kSecureStart = 0x57;     // EF 57: secure download over USB HID

inline constexpr std::uint8_t kEnable = 0xF4;          // plain keyboard enable
inline constexpr std::uint8_t kEcho = 0xEE;            // serial line echo
inline constexpr std::uint8_t kAck = 0xFA;             // acknowledged
inline constexpr std::uint8_t kResend = 0xFE;          // send again
inline constexpr std::uint8_t kLedCommand = 0xED;      // carrier of the LED-nibble encoding
inline constexpr std::uint8_t kNibbleMarkerHigh = 0xEC;// selects the 30h nibble marker

// Identity answers typed after EF 00.
inline constexpr char kAnswerOld = '0';
inline constexpr char kAnswerNew = '1';
inline constexpr char kAnswerNewUsb = '2';
inline constexpr char kAnswerUsbChannel = ',';

// Answers to block writes and the checksum update on new keyboards.
inline constexpr std::uint8_t kBlockAnswerBase = 0x20;  // 0x20 + (sequence & 3)
inline constexpr std::uint8_t kBlockAnswerBad = 0x10;
inline constexpr std::uint8_t kChecksumAnswer = 0x02;

}  // namespace zpx::cmd
