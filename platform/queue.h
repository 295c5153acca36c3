// Message queues of threads.
//
// Every thread that uses one has its own queue, created on first use. Any thread may post a
// message to a thread by its id; only the owning thread takes messages out (peek without
// blocking, get blocking) and dispatches them. Posted messages come before timer messages
// (timer.h); a due timer yields one message, not a backlog.
//
// queue_fd() is readable while the calling thread's queue holds work (a posted message or a due
// timer), so an event loop can watch it and drain the queue with pump_messages().
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/api.h"

namespace platform {

using ThreadId = std::uint32_t;  // 0 = none
using TimerId = std::uint32_t;   // 0 = none

// Message identifiers. Applications may use their own from kMessageUser on.
inline constexpr std::uint32_t kMessageNull = 0;       // does nothing; wakes a waiting thread
inline constexpr std::uint32_t kMessageTimer = 1;      // ThreadMessage::timer names the timer
inline constexpr std::uint32_t kMessageKeystroke = 2;  // wparam virtual key, lparam keystroke parameter (input.h)
inline constexpr std::uint32_t kMessageQuit = 3;       // get_message() returns false for it
inline constexpr std::uint32_t kMessageUser = 0x400;

// (platform::Message is a message box's text: msgbox.h.)
struct ThreadMessage {
  std::uint32_t id = kMessageNull;
  std::uintptr_t wparam = 0;
  std::intptr_t lparam = 0;
  TimerId timer = 0;                                 // kMessageTimer: the timer that fired
  std::function<void(const ThreadMessage&)> target;  // run by dispatch_message, when set
};

// The calling thread's id (creates its queue).
ZPX_PLATFORM_API ThreadId current_thread_id();

// Posts to a thread's queue. False when that thread has no queue.
ZPX_PLATFORM_API bool post_message(ThreadId thread, ThreadMessage message);
// Posts kMessageQuit to the calling thread.
ZPX_PLATFORM_API void post_quit(int exit_code);

// Takes (remove) or looks at (!remove) the next message of the calling thread without waiting.
ZPX_PLATFORM_API bool peek_message(ThreadMessage& out, bool remove = true);
// Waits until the calling thread's queue holds work or the time (system ms) has passed; a
// negative time waits without limit. True when there is work.
ZPX_PLATFORM_API bool wait_message(std::int64_t timeout_ms);
// Waits for the next message and takes it. False for kMessageQuit.
ZPX_PLATFORM_API bool get_message(ThreadMessage& out);

// Delivers a message: its target, the procedure of its timer, or for a keystroke the keyboard
// hook chain and then the key sink (input.h, hook.h).
ZPX_PLATFORM_API void dispatch_message(const ThreadMessage& message);

// Takes and dispatches every message waiting now; returns how many. For event loops.
ZPX_PLATFORM_API std::size_t pump_messages();

// Processes messages until done() holds or the time (system ms, negative = no limit) has
// passed; true when done() held. done() is checked before waiting, after every message and at
// least every few milliseconds, so it may also watch state that other threads change. A quit
// message ends the wait and is posted again for the outer loop.
ZPX_PLATFORM_API bool pump_until(const std::function<bool()>& done, std::int64_t timeout_ms);

// The calling thread's readiness descriptor (see above). Owned by the queue; do not close it.
ZPX_PLATFORM_API int queue_fd();

}  // namespace platform
