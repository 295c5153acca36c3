// Internal links between the queue, the keyboard input and the keyboard devices.
#pragma once

#include <cstdint>

#include "platform/queue.h"

namespace platform::detail {

// Dispatch of a keystroke message: hook chain, then key sink.
void dispatch_keystroke(const ThreadMessage& message);
// A thread looked at its queue or installed a hook: it becomes the input thread if none is set.
void note_input_candidate(ThreadId thread);
// A thread's queue is gone.
void forget_thread(ThreadId thread);
// Decodes one typed byte into keystroke notifications.
void input_typed(std::uint8_t scancode);
// The keyboard device takes typed bytes while it captures; true when it took this one.
bool capture_typed(std::uint8_t scancode);

}  // namespace platform::detail
