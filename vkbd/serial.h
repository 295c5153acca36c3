// The keyboard as a serial device on a pseudo-terminal: the host opens the terminal's other
// end like a COM port and talks to the keyboard's serial side (echo EEh, acknowledge FAh,
// answers as line bytes). The host's line settings are accepted as they come: a
// pseudo-terminal carries no baud rate or parity, so every setting the host tries works.
#pragma once

#include <memory>
#include <string>

#include "platform/api.h"
#include "vkbd/keyboard.h"

namespace vkbd {

class ZPX_PLATFORM_API PtyLine {
 public:
  // Opens a pseudo-terminal; nullptr with the reason in error when that fails.
  static std::unique_ptr<PtyLine> open(std::string* error);
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  // The device path the host opens (e.g. /dev/pts/5).
  const std::string& device() const { return device_; }

  // Serves the keyboard until stop() is called. Returns false when the line failed.
  bool serve(Keyboard& keyboard, std::string* error = nullptr);
  // Ends serve(); safe to call from a signal handler.
  void stop();

 private:
  PtyLine() = default;
  int master_ = -1;
  int slave_ = -1;      // held open so the line survives the host closing and reopening it
  int wake_[2] = {-1, -1};
  std::string device_;
};

}  // namespace vkbd
