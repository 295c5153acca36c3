// The keyboard at the far end of the keyboard port, as the platform's keyboard devices see it.
//
// The host sends bytes one at a time (commands, frame bytes, LED commands) and gets the
// keyboard's reply byte on the data port for each: FAh (acknowledged), FEh (send again) or
// nothing. Everything else the keyboard says it types: it calls keyboard_typed() with scan code
// set 1 bytes (E0h prefixes, makes and breaks), which reach the input thread as keystroke
// notifications (or the answer queue of a device that captures them).
//
// The virtual keyboard is the default link; tests and other backends install their own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/api.h"

namespace platform {

class KeyboardLink {
 public:
  virtual ~KeyboardLink() = default;
  // One byte from the host. Returns the reply byte on the data port, or nullopt when the keyboard
  // does not answer at all (no keyboard, or a keyboard that fell silent).
  virtual std::optional<std::uint8_t> host_byte(std::uint8_t byte) = 0;
};

// Installs the link for the whole process; nullptr restores the default.
ZPX_PLATFORM_API void set_keyboard_link(std::shared_ptr<KeyboardLink> link);
// The active link; creates the default (the in-process virtual keyboard) on first use.
ZPX_PLATFORM_API std::shared_ptr<KeyboardLink> keyboard_link();

// A scan code byte typed by the keyboard (set 1). May be called from any thread.
ZPX_PLATFORM_API void keyboard_typed(std::uint8_t scancode);

}  // namespace platform
