#include "platform/clock.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace platform {

namespace {

// The longest real period we hand out: long enough to mean "never", short enough that adding it
// to the clock's current value cannot overflow.
constexpr double kMaxRealNs = 1e18;  // about 31 years

bool usable_scale(double v) { return std::isfinite(v) && v > 0; }

double scale_from_environment() {
  const char* s = std::getenv("ZPX_TIME_SCALE");
  if (!s || !*s) return 1.0;
  char* end = nullptr;
  double v = std::strtod(s, &end);
  return (end && *end == '\0' && usable_scale(v)) ? v : 1.0;
}

std::atomic<double> g_override{0.0};

const std::chrono::steady_clock::time_point g_start = std::chrono::steady_clock::now();

}  // namespace

double time_scale() {
  double o = g_override.load();
  if (o > 0) return o;
  static const double env = scale_from_environment();
  return env;
}

void set_time_scale(double scale) { g_override.store(usable_scale(scale) ? scale : 0.0); }

std::chrono::nanoseconds real_duration(std::int64_t system_ms) {
  if (system_ms <= 0) return std::chrono::nanoseconds{0};
  double ns = static_cast<double>(system_ms) * 1e6 * time_scale();
  if (ns > kMaxRealNs) ns = kMaxRealNs;
  return std::chrono::nanoseconds{static_cast<std::int64_t>(ns)};
}

void sleep_ms(std::int64_t system_ms) {
  auto d = real_duration(system_ms);
  if (d > std::chrono::nanoseconds{0}) std::this_thread::sleep_for(d);
}

std::int64_t tick_ms() {
  auto real = std::chrono::steady_clock::now() - g_start;
  double ms = std::chrono::duration<double, std::milli>(real).count() / time_scale();
  if (ms > 9e18) return static_cast<std::int64_t>(9e18);
  return static_cast<std::int64_t>(ms);
}

Deadline::Deadline(std::int64_t system_ms) : when_(std::chrono::steady_clock::now() + real_duration(system_ms)) {}

bool Deadline::expired() const { return std::chrono::steady_clock::now() >= when_; }

std::chrono::nanoseconds Deadline::remaining() const {
  auto left = when_ - std::chrono::steady_clock::now();
  return left > std::chrono::nanoseconds{0} ? std::chrono::duration_cast<std::chrono::nanoseconds>(left)
                                            : std::chrono::nanoseconds{0};
}

}  // namespace platform
