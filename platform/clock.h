// The one clock of the system. Every wait, timer period and timeout goes through it, scaled by
// ZPX_TIME_SCALE (default 1; tests run with e.g. 0.01, so a 10-second wait takes 100 ms).
// Nothing else in the system sleeps or reads the time directly.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/api.h"

namespace platform {

// The scale factor, read once from ZPX_TIME_SCALE (values <= 0 or unreadable give 1).
ZPX_PLATFORM_API double time_scale();
// For tests: override the factor (0 or negative restores the environment's value).
ZPX_PLATFORM_API void set_time_scale(double scale);

// A period of the system's time (milliseconds) as real time.
ZPX_PLATFORM_API std::chrono::nanoseconds real_duration(std::int64_t system_ms);

// Sleeps for a period of the system's time.
ZPX_PLATFORM_API void sleep_ms(std::int64_t system_ms);

// Milliseconds of system time since an arbitrary start (real elapsed time divided by the scale),
// for timeouts measured by polling.
ZPX_PLATFORM_API std::int64_t tick_ms();

// A deadline a number of system milliseconds from now.
class ZPX_PLATFORM_API Deadline {
 public:
  explicit Deadline(std::int64_t system_ms);
  bool expired() const;
  // Real time left, zero when expired.
  std::chrono::nanoseconds remaining() const;
  std::chrono::steady_clock::time_point when() const { return when_; }

 private:
  std::chrono::steady_clock::time_point when_;
};

}  // namespace platform
