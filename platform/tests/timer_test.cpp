#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/queue.h"
#include "platform/timer.h"

using namespace platform;

TEST(Timer, FirstFiringsComeInOrderOfPeriods) {
  std::vector<int> order;
  std::vector<TimerId> ids;
  for (int period : {300, 100, 200}) {
    ids.push_back(set_timer(period, [&order, period](TimerId id) {
      order.push_back(period);
      kill_timer(id);
    }));
  }
  ASSERT_TRUE(pump_until([&] { return order.size() == 3; }, 100000));
  EXPECT_EQ(order, (std::vector<int>{100, 200, 300}));
  for (TimerId id : ids) EXPECT_FALSE(kill_timer(id));
}

// Periods are system milliseconds: a timer never fires before its period has passed on the
// system's clock, and a faster timer fires no more often than its own period allows.
TEST(Timer, PeriodsRunOnTheScaledClock) {
  int fast = 0;
  bool slow_fired = false;
  std::int64_t start = tick_ms();
  std::int64_t slow_at = 0;
  TimerId f = set_timer(10, [&](TimerId) { ++fast; });
  TimerId s = set_timer(400, [&](TimerId id) {
    slow_fired = true;
    slow_at = tick_ms();
    kill_timer(id);
  });
  ASSERT_TRUE(pump_until([&] { return slow_fired; }, 100000));
  kill_timer(f);
  EXPECT_GE(slow_at - start, 399);
  EXPECT_GE(fast, 1);
  EXPECT_LE(fast, 40);
  EXPECT_FALSE(kill_timer(s));
}

TEST(Timer, FiresOnTheThreadThatSetItOnly) {
  std::thread::id ran_on;
  std::thread other([&] {
    bool fired = false;
    set_timer(10, [&](TimerId id) {
      ran_on = std::this_thread::get_id();
      fired = true;
      kill_timer(id);
    });
    pump_until([&] { return fired; }, 100000);
  });
  other.join();
  EXPECT_NE(ran_on, std::thread::id());
  EXPECT_NE(ran_on, std::this_thread::get_id());
  ThreadMessage m;
  EXPECT_FALSE(peek_message(m, true));
}

TEST(Timer, OneMessagePerTimerWhileNobodyPumps) {
  int fired = 0;
  TimerId t = set_timer(5000, [&](TimerId) { ++fired; });
  sleep_ms(30000);  // six periods pass undispatched
  pump_messages();
  EXPECT_EQ(fired, 1);
  kill_timer(t);
}

TEST(Timer, KilledTimerDoesNotRunItsWaitingMessage) {
  int fired = 0;
  TimerId t = set_timer(10, [&](TimerId) { ++fired; });
  sleep_ms(30);
  ThreadMessage m;
  ASSERT_TRUE(peek_message(m, true));
  EXPECT_EQ(m.id, kMessageTimer);
  EXPECT_EQ(m.timer, t);
  // Killed from another thread between taking and dispatching the message.
  std::thread([t] { EXPECT_TRUE(kill_timer(t)); }).join();
  dispatch_message(m);
  EXPECT_EQ(fired, 0);
  EXPECT_FALSE(kill_timer(t));
}

TEST(Timer, ResetRestartsWithTheNewPeriod) {
  int fired = 0;
  TimerId t = set_timer(1000000, [&](TimerId) { ++fired; });
  EXPECT_FALSE(pump_until([&] { return fired > 0; }, 50));
  ASSERT_TRUE(reset_timer(t, 10));
  EXPECT_TRUE(pump_until([&] { return fired > 0; }, 100000));
  kill_timer(t);
  EXPECT_FALSE(reset_timer(t, 10));

  // Only the owner restarts its timers.
  TimerId mine = set_timer(1000000, nullptr);
  bool restarted = true;
  std::thread([&] { restarted = reset_timer(mine, 10); }).join();
  EXPECT_FALSE(restarted);
  kill_timer(mine);
}

TEST(Timer, TimerWithoutProcedureIsDeliveredAsAMessage) {
  TimerId t = set_timer(10, nullptr);
  ThreadMessage m;
  ASSERT_TRUE(get_message(m));
  EXPECT_EQ(m.id, kMessageTimer);
  EXPECT_EQ(m.wparam, t);
  dispatch_message(m);
  kill_timer(t);
}
