// Keyboard input: keystroke notifications, the input thread, the key sink and key states.
//
// The keyboard types scan code set 1 bytes (keyboard_typed, keyboard_link.h). They are decoded
// into keystroke notifications and posted to the input thread as kMessageKeystroke with the
// virtual key in wparam and the keystroke parameter in lparam:
//
//   bits 0-15   repeat count (always 1)
//   bits 16-23  scan code
//   bit 24      extended key (E0h prefix)
//   bit 29      an Alt key is held
//   bit 30      the key was down before this keystroke
//   bit 31      the key is being released
//
// lparam holds the parameter sign-extended from 32 bits, so bit 31 also shows as a negative
// value; use keystroke_param() to get the 32 bits back.
//
// Dispatching the notification runs the keyboard hook chain (hook.h); a keystroke that no hook
// takes goes to the key sink that the application installed.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/api.h"
#include "platform/queue.h"

namespace platform {

inline constexpr std::uint32_t kKeyRepeatMask = 0x0000FFFFu;
inline constexpr std::uint32_t kKeyExtended = 1u << 24;
inline constexpr std::uint32_t kKeyAltDown = 1u << 29;
inline constexpr std::uint32_t kKeyWasDown = 1u << 30;
inline constexpr std::uint32_t kKeyRelease = 1u << 31;

// Builds a keystroke parameter (repeat count 1).
constexpr std::uint32_t make_keystroke_param(std::uint8_t scan, std::uint32_t flags) {
  return (static_cast<std::uint32_t>(scan) << 16) | flags | 1u;
}
// The 32-bit parameter of a keystroke message.
constexpr std::uint32_t keystroke_param(std::intptr_t lparam) { return static_cast<std::uint32_t>(lparam); }
constexpr std::uint8_t keystroke_scan(std::uint32_t param) { return static_cast<std::uint8_t>(param >> 16); }
// The message parameter as a message carries it (sign-extended).
constexpr std::intptr_t keystroke_lparam(std::uint32_t param) {
  return static_cast<std::intptr_t>(static_cast<std::int32_t>(param));
}

// Virtual-key codes the system looks at (wparam of keystroke messages and key_state()).
namespace vk {
inline constexpr std::uint8_t kPause = 0x13;
inline constexpr std::uint8_t kShift = 0x10;
inline constexpr std::uint8_t kControl = 0x11;
inline constexpr std::uint8_t kAlt = 0x12;
inline constexpr std::uint8_t kCapsLock = 0x14;
inline constexpr std::uint8_t kNumLock = 0x90;
inline constexpr std::uint8_t kScrollLock = 0x91;
inline constexpr std::uint8_t kLeftShift = 0xA0;
inline constexpr std::uint8_t kRightShift = 0xA1;
inline constexpr std::uint8_t kLeftControl = 0xA2;
inline constexpr std::uint8_t kRightControl = 0xA3;
inline constexpr std::uint8_t kLeftAlt = 0xA4;
inline constexpr std::uint8_t kRightAlt = 0xA5;
}  // namespace vk

// The virtual key of a set-1 scan code (0 when the code has none).
ZPX_PLATFORM_API std::uint8_t virtual_key(std::uint8_t scan, bool extended);

// The input thread receives the keystroke notifications. Unless one declares itself, the first
// thread that installs a keyboard hook or looks at its queue becomes it. Keystrokes typed while
// there is none are kept (up to a limit) and posted when one is known. 0 = none.
ZPX_PLATFORM_API void set_input_thread(ThreadId thread);
ZPX_PLATFORM_API ThreadId input_thread();

// Where keystrokes go that no hook takes; runs on the dispatching thread. nullptr removes it.
using KeySink = std::function<void(std::uint32_t virtual_key, std::uint32_t param)>;
ZPX_PLATFORM_API void set_key_sink(KeySink sink);

// Key state as the keystrokes seen so far left it: bit 15 (0x8000) the key is down, bit 0 the
// toggle of Caps Lock, Num Lock or Scroll Lock is on. Generic and left/right keys both work.
ZPX_PLATFORM_API std::uint16_t key_state(std::uint8_t virtual_key);
// Switches a lock toggle (vk::kCapsLock, vk::kNumLock, vk::kScrollLock); false for other keys.
ZPX_PLATFORM_API bool set_lock_state(std::uint8_t virtual_key, bool on);

// Forgets key states, the decoder's pending prefixes, kept keystrokes and the input thread.
ZPX_PLATFORM_API void reset_keyboard_input();

}  // namespace platform
