// The keyboard port as the three Windows generations reach it.
//
//  - The keyboard controller's ports (Windows 95/98/ME): data port 60h and status/command port
//    64h, read and written a byte at a time with port_read()/port_write().
//  - The NT 4.0 keyboard device "\\.\KEYBOARD": opened, one control call, closed.
//  - The Windows 2000/XP driver "\\.\ZelkZpxDrv": opened, one control call per byte, closed.
//
// All three reach the keyboard through keyboard_link(): a byte written to the keyboard goes to
// KeyboardLink::host_byte, and its reply (FAh, FEh) appears where that path reads replies: in the
// controller's output buffer, in the NT 4.0 device's answer queue (while it captures) or in the
// driver call's output byte. Bytes the keyboard types go to the input thread, except while the
// NT 4.0 device captures: then they wait in its answer queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/api.h"

namespace platform {

// ---- Keyboard controller ports ----

inline constexpr std::uint16_t kKbcDataPort = 0x60;
inline constexpr std::uint16_t kKbcStatusPort = 0x64;  // read: status; write: controller command

// Status bits.
inline constexpr std::uint8_t kKbcOutputFull = 0x01;  // a byte waits at the data port
inline constexpr std::uint8_t kKbcInputFull = 0x02;   // the controller has not taken the last byte
inline constexpr std::uint8_t kKbcSystemFlag = 0x04;
inline constexpr std::uint8_t kKbcCommandLast = 0x08;  // the last byte written went to port 64h
inline constexpr std::uint8_t kKbcAuxiliary = 0x20;   // the waiting byte is not the keyboard's
inline constexpr std::uint8_t kKbcTimeout = 0x40;     // the keyboard did not answer the last byte

// Controller commands (written to port 64h).
inline constexpr std::uint8_t kKbcReadCommandByte = 0x20;   // the command byte appears at port 60h
inline constexpr std::uint8_t kKbcWriteCommandByte = 0x60;  // the next byte at port 60h is the command byte

// Command byte bits the controller keeps.
inline constexpr std::uint8_t kKbcKeyboardInterrupt = 0x01;
inline constexpr std::uint8_t kKbcTranslate = 0x40;

ZPX_PLATFORM_API std::uint8_t port_read(std::uint16_t port);
ZPX_PLATFORM_API void port_write(std::uint16_t port, std::uint8_t value);
// The controller's command byte as last written (starts as 41h).
ZPX_PLATFORM_API std::uint8_t kbc_command_byte();

// ---- Devices opened by name ----

inline constexpr char kKeyboardDeviceName[] = "\\\\.\\KEYBOARD";
inline constexpr char kKeyboardDriverName[] = "\\\\.\\ZelkZpxDrv";

// Control codes of the NT 4.0 keyboard device.
inline constexpr std::uint32_t kKbdTranslateOn = 0xB1000;   // out: 1 byte
inline constexpr std::uint32_t kKbdTranslateOff = 0xB2000;  // out: 1 byte
inline constexpr std::uint32_t kKbdCapture = 0xB400C;       // out: 1 byte
inline constexpr std::uint32_t kKbdRelease = 0xB4010;       // out: 1 byte
inline constexpr std::uint32_t kKbdClear = 0xB4014;         // out: 1 byte
inline constexpr std::uint32_t kKbdAnswerAvailable = 0xB0400;  // out: 4 bytes, answers waiting
inline constexpr std::uint32_t kKbdAnswerGet = 0xB0800;     // out: 1 byte, the next answer
inline constexpr std::uint32_t kKbdSendByte = 0xB4000;      // in: 1 byte; out: 1 byte, the reply

// Control code of the 2000/XP driver: in 4 bytes (request 00EFh, data; 16-bit little-endian
// each), out 1 byte (the keyboard's reply when it gave one; untouched otherwise).
inline constexpr std::uint32_t kDrvSendByte = 0xB0008;
inline constexpr std::uint16_t kDrvRequestSend = 0x00EF;

enum class DeviceError {
  None,
  NotFound,          // no such device, or no keyboard behind it
  SharingViolation,  // the device is open already
  InvalidFunction,   // unknown control code or request
  InvalidParameter,  // a buffer too small for the call
  IoError,           // the keyboard did not answer
  InvalidHandle,     // the device is closed
};

class ZPX_PLATFORM_API KeyboardDevice {
 public:
  // Opens a device by its name (kKeyboardDeviceName, kKeyboardDriverName); nullptr on failure,
  // with the reason in error (when given). Each device can be open once at a time.
  static std::unique_ptr<KeyboardDevice> open(const std::string& name, DeviceError* error = nullptr);

  ~KeyboardDevice();
  KeyboardDevice(const KeyboardDevice&) = delete;
  KeyboardDevice& operator=(const KeyboardDevice&) = delete;

  // One control call. True on success with the count of output bytes in returned.
  bool control(std::uint32_t code, const void* in, std::size_t in_size, void* out, std::size_t out_size,
               std::size_t* returned = nullptr);
  // Closes the device; false when it was closed already.
  bool close();

  DeviceError error() const { return error_; }

 private:
  enum class Kind { Keyboard, Driver };
  explicit KeyboardDevice(Kind kind) : kind_(kind) {}
  Kind kind_;
  bool open_ = true;
  DeviceError error_ = DeviceError::None;
};

// Resets the controller and the NT 4.0 device to their start (tests).
ZPX_PLATFORM_API void reset_keyboard_devices();

}  // namespace platform
