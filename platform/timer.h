// Thread timers.
//
// A timer belongs to the thread that set it and fires as a message of that thread's queue
// (kMessageTimer); dispatching the message runs the timer's procedure. A timer keeps firing every
// period until it is killed; while its message waits undispatched no second one is produced.
// Periods are system milliseconds and go through the clock, so ZPX_TIME_SCALE scales them; a
// period below 10 ms counts as 10 ms.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/api.h"
#include "platform/queue.h"

namespace platform {

using TimerProc = std::function<void(TimerId)>;

inline constexpr std::int64_t kTimerMinimumMs = 10;

// Starts a timer on the calling thread; returns its identifier (never 0). Without a procedure
// the timer message is only delivered (get_message), dispatching it does nothing.
ZPX_PLATFORM_API TimerId set_timer(std::int64_t period_ms, TimerProc proc);
// Restarts a running timer of the calling thread with a new period (counted from now) and, when
// given, a new procedure. False when the calling thread has no such timer.
ZPX_PLATFORM_API bool reset_timer(TimerId id, std::int64_t period_ms, TimerProc proc = nullptr);
// Stops a timer (of any thread); a message of it that is still waiting is not run. False when no
// such timer runs.
ZPX_PLATFORM_API bool kill_timer(TimerId id);

}  // namespace platform
