// The process-wide keyboard hook chain.
//
// Hooks see every keystroke notification when the input thread dispatches it, newest hook first.
// A hook returns nonzero to take the keystroke (it goes no further: neither to older hooks nor to
// the key sink) or hands it on with call_next_hook(). A hook called with a code below 0 must hand
// it on and return what the next one returns.
//
// The chain is one per process, whichever library installs a hook: a hook installed by one
// library sees the keystrokes that another library's message loop dispatches.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/api.h"

namespace platform {

using HookId = std::uint32_t;

inline constexpr int kHookAction = 0;

// code, virtual key, keystroke parameter (lparam of the message) -> nonzero = taken.
using KeyboardHookProc = std::function<std::intptr_t(int code, std::uintptr_t virtual_key, std::intptr_t param)>;

// Installs a hook at the head of the chain; returns its identifier (0 when proc is empty).
ZPX_PLATFORM_API HookId install_keyboard_hook(KeyboardHookProc proc);
// Removes a hook; false when it is not installed.
ZPX_PLATFORM_API bool remove_keyboard_hook(HookId hook);
// Calls the hook after `current` in the chain; 0 when there is none.
ZPX_PLATFORM_API std::intptr_t call_next_hook(HookId current, int code, std::uintptr_t virtual_key,
                                              std::intptr_t param);
// Runs the chain for one keystroke (what dispatching a keystroke message does before the key
// sink); true when a hook took it.
ZPX_PLATFORM_API bool run_keyboard_hooks(std::uintptr_t virtual_key, std::intptr_t param);

}  // namespace platform
