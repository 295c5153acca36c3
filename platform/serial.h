// Serial ports, opened by their Windows name ("COM1") or a device path.
//
// "COMn" maps to a device path through the registry key HARDWARE\DEVICEMAP\SERIALCOMM below
// HKEY_LOCAL_MACHINE, whose values name a device path and hold "COMn" as data; without such a
// value it is /dev/ttyS<n-1>. A name with a "/" is used as the path itself.
//
// Reads and writes follow the port's timeouts: a read ends when the requested count has
// arrived, when the total timeout (per-byte time x count + constant) has passed, or when more
// than the interval timeout passes between two bytes after the first; all zero means no limit.
// A read interval of kReadReturnAtOnce with zero totals returns what has arrived without waiting.
// Timeouts are system milliseconds on the platform clock.
//
// Pseudo-terminals work as ports: they keep the baud rate but always read back 8 data bits
// without parity, so the settings a port reports are those last set, not read back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/api.h"

namespace platform {

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };
enum class DtrControl { Disable, Enable, Handshake };
enum class RtsControl { Disable, Enable, Handshake, Toggle };

struct LineSettings {
  std::uint32_t baud = 9600;
  Parity parity = Parity::None;
  std::uint8_t data_bits = 8;  // 5 to 8
  StopBits stop_bits = StopBits::One;
  bool binary = true;
  bool parity_check = false;
  bool cts_flow = false;       // output waits for CTS
  bool dsr_flow = false;       // output waits for DSR (not available on this system: accepted, no effect)
  bool dsr_sensitivity = false;
  DtrControl dtr = DtrControl::Disable;
  RtsControl rts = RtsControl::Disable;
  bool xon_xoff_out = false;   // output stops at XOFF
  bool xon_xoff_in = false;    // input sends XOFF when full
  bool error_char = false;     // replace bytes with parity errors (accepted, no effect)
  bool discard_null = false;   // drop null bytes (accepted, no effect)
  bool abort_on_error = false; // (accepted, no effect)
};

inline constexpr std::uint32_t kReadReturnAtOnce = 0xFFFFFFFFu;

struct Timeouts {
  std::uint32_t read_interval = 0;
  std::uint32_t read_total_multiplier = 0;
  std::uint32_t read_total_constant = 0;
  std::uint32_t write_total_multiplier = 0;
  std::uint32_t write_total_constant = 0;
};

enum class SerialError {
  None,
  NotFound,          // no such port
  AccessDenied,      // in use, or not permitted
  InvalidParameter,  // a setting the port cannot take
  Io,                // the system reported a failure
  Closed,            // the port is not open
};

class ZPX_PLATFORM_API SerialPort {
 public:
  // Opens a port for reading and writing, exclusively; nullptr on failure with the reason in
  // error and the system's text in error_text (when given).
  static std::unique_ptr<SerialPort> open(const std::string& name, SerialError* error = nullptr,
                                          std::string* error_text = nullptr);
  // The device path a port name stands for.
  static std::string device_path(const std::string& name);

  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  bool get_settings(LineSettings& out);
  bool set_settings(const LineSettings& settings);
  // Sizes of the receive and transmit queues; the system keeps its own, so only checked.
  bool set_buffer_sizes(std::size_t in, std::size_t out);
  bool get_timeouts(Timeouts& out);
  bool set_timeouts(const Timeouts& timeouts);
  // Empties the receive queue and/or the transmit queue. Bytes already written are sent before
  // the transmit queue is emptied (for at most as long as sending them takes at the baud rate).
  bool purge(bool receive, bool transmit);

  // True unless the system reported a failure; `done` is the count moved (fewer on timeout).
  bool read(void* buffer, std::size_t size, std::size_t& done);
  bool write(const void* buffer, std::size_t size, std::size_t& done);

  // Closes the port; false when that fails or it was closed already.
  bool close();

  SerialError error() const { return error_; }
  const std::string& error_text() const { return error_text_; }
  const std::string& path() const { return path_; }

 private:
  SerialPort(int fd, std::string path);
  bool fail(SerialError e, int os_error);

  int fd_ = -1;
  std::string path_;
  LineSettings settings_;
  Timeouts timeouts_;
  SerialError error_ = SerialError::None;
  std::string error_text_;
};

}  // namespace platform
