#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>

#include "platform/clock.h"

using namespace platform;

namespace {

// Restores the environment's scale after a test that overrides it.
struct ClockTest : testing::Test {
  void TearDown() override { set_time_scale(0); }
};

}  // namespace

TEST_F(ClockTest, ScaleAppliesToEveryPeriod) {
  set_time_scale(0.5);
  EXPECT_EQ(time_scale(), 0.5);
  EXPECT_EQ(real_duration(1000), std::chrono::milliseconds(500));
  EXPECT_EQ(real_duration(0), std::chrono::nanoseconds(0));
  EXPECT_EQ(real_duration(-5), std::chrono::nanoseconds(0));
  set_time_scale(0.01);
  EXPECT_EQ(real_duration(10000), std::chrono::milliseconds(100));

  Deadline d(10);
  while (!d.expired()) std::this_thread::yield();
  EXPECT_EQ(d.remaining(), std::chrono::nanoseconds(0));
  Deadline past(-1);
  EXPECT_TRUE(past.expired());

  set_time_scale(1);
  Deadline far(3600 * 1000);  // an hour does not pass during this test
  EXPECT_FALSE(far.expired());
  EXPECT_GT(far.remaining(), std::chrono::nanoseconds(0));
  EXPECT_LE(far.remaining(), real_duration(3600 * 1000));
}

TEST_F(ClockTest, UnusableScalesRestoreTheEnvironment) {
  set_time_scale(0);
  const double from_environment = time_scale();
  EXPECT_GT(from_environment, 0);
  for (double bad : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    set_time_scale(2);
    set_time_scale(bad);
    EXPECT_EQ(time_scale(), from_environment) << bad;
  }
}

TEST_F(ClockTest, LongestPeriodsDoNotOverflow) {
  for (double scale : {1.0, 1000.0}) {
    set_time_scale(scale);
    const auto longest = real_duration(std::numeric_limits<std::int64_t>::max());
    EXPECT_GT(longest, std::chrono::hours(24 * 365)) << scale;
    Deadline never(std::numeric_limits<std::int64_t>::max());
    EXPECT_FALSE(never.expired()) << scale;
    EXPECT_GT(never.remaining(), std::chrono::hours(24 * 365)) << scale;
  }
}

TEST_F(ClockTest, TickAdvancesInSystemTime) {
  set_time_scale(0.001);  // one real millisecond is a second of system time
  const std::int64_t start = tick_ms();
  sleep_ms(50);
  // At least the slept period has passed in system time (never less, however slow the machine).
  EXPECT_GE(tick_ms() - start, 50);
}
