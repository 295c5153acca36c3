#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/queue.h"
#include "platform/timer.h"

using namespace platform;

namespace {

bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

ThreadMessage user(std::uint32_t n) {
  ThreadMessage m;
  m.id = kMessageUser;
  m.wparam = n;
  return m;
}

}  // namespace

TEST(Queue, PostedMessagesComeInOrderAndPeekCanLeaveThem) {
  ThreadId me = current_thread_id();
  std::thread([me] {
    for (std::uint32_t i = 1; i <= 3; ++i) ASSERT_TRUE(post_message(me, user(i)));
  }).join();

  ThreadMessage m;
  ASSERT_TRUE(peek_message(m, false));
  EXPECT_EQ(m.wparam, 1u);
  std::vector<std::uintptr_t> got;
  while (peek_message(m, true)) got.push_back(m.wparam);
  EXPECT_EQ(got, (std::vector<std::uintptr_t>{1, 2, 3}));
  EXPECT_FALSE(peek_message(m, true));
}

TEST(Queue, PostingToAThreadWithoutQueueFails) {
  ThreadId gone = 0;
  std::thread([&] { gone = current_thread_id(); }).join();
  EXPECT_FALSE(post_message(gone, user(1)));
  EXPECT_FALSE(post_message(0, user(1)));
  EXPECT_FALSE(post_message(0xFFFFFFF0u, user(1)));
}

TEST(Queue, GetBlocksUntilAPostAndStopsAtQuit) {
  ThreadId me = current_thread_id();
  std::thread poster([me] {
    sleep_ms(20);
    post_message(me, user(7));
    ThreadMessage q;
    q.id = kMessageQuit;
    q.wparam = 3;
    post_message(me, q);
  });
  ThreadMessage m;
  EXPECT_TRUE(get_message(m));
  EXPECT_EQ(m.wparam, 7u);
  EXPECT_FALSE(get_message(m));
  EXPECT_EQ(m.id, kMessageQuit);
  EXPECT_EQ(m.wparam, 3u);
  poster.join();
}

TEST(Queue, DispatchRunsTheTarget) {
  int seen = 0;
  ThreadMessage m = user(5);
  m.target = [&](const ThreadMessage& msg) { seen = static_cast<int>(msg.wparam); };
  post_message(current_thread_id(), m);
  EXPECT_EQ(pump_messages(), 1u);
  EXPECT_EQ(seen, 5);
}

// The descriptor is what an outside event loop watches: it must be readable exactly while there
// is work, or the loop either misses messages or spins.
TEST(Queue, DescriptorIsReadableWhileThereIsWork) {
  int fd = queue_fd();
  pump_messages();
  EXPECT_FALSE(readable(fd));

  post_message(current_thread_id(), user(1));
  EXPECT_TRUE(readable(fd));
  pump_messages();
  EXPECT_FALSE(readable(fd));

  int fired = 0;
  TimerId t = set_timer(20000, [&](TimerId) { ++fired; });
  EXPECT_FALSE(readable(fd));
  pollfd p{fd, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 10000), 1);  // becomes readable when the timer is due, without a pump
  pump_messages();
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(readable(fd));
  kill_timer(t);
}

TEST(Queue, PumpUntilEndsWithThePredicateOrTheTimeout) {
  ThreadId me = current_thread_id();
  bool flag = false;
  std::thread poster([me, &flag] {
    ThreadMessage m;
    m.id = kMessageUser;
    m.target = [&flag](const ThreadMessage&) { flag = true; };
    post_message(me, m);
  });
  EXPECT_TRUE(pump_until([&] { return flag; }, 10000));
  poster.join();

  std::int64_t start = tick_ms();
  EXPECT_FALSE(pump_until([] { return false; }, 200));
  EXPECT_GE(tick_ms() - start, 199);

  // A flag that another thread sets without a message still ends the wait.
  std::atomic<bool> other{false};
  std::thread setter([&] {
    sleep_ms(20);
    other = true;
  });
  EXPECT_TRUE(pump_until([&] { return other.load(); }, 100000));
  setter.join();
}

TEST(Queue, PumpUntilLeavesAQuitForTheOuterLoop) {
  post_quit(4);
  EXPECT_FALSE(pump_until([] { return false; }, 100000));
  ThreadMessage m;
  EXPECT_FALSE(get_message(m));
  EXPECT_EQ(m.wparam, 4u);
}
