#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/clock.h"
#include "platform/named.h"

using namespace platform;

namespace {

// Every test process gets a namespace of its own, so parallel runs never meet.
class Named : public ::testing::Test {
 protected:
  void SetUp() override { setenv("ZPX_NAMESPACE", ("test-" + std::to_string(getpid())).c_str(), 1); }
  void TearDown() override { unsetenv("ZPX_NAMESPACE"); }

  // Runs body in a child process; returns its exit status (body's result, 99 on a crash).
  template <typename Body>
  static int in_child(Body body, bool wait = true, pid_t* out_pid = nullptr) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    if (out_pid) *out_pid = pid;
    if (!wait) return 0;
    return finish(pid);
  }
  static int finish(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
  }
};

}  // namespace

TEST_F(Named, EventSetInOneProcessWakesTheOther) {
  auto ready = Event::create("ready", false, false);
  auto go = Event::create("go", false, false);
  ASSERT_TRUE(ready && go);
  pid_t child;
  in_child(
      [] {
        auto r = Event::open("ready");
        auto g = Event::open("go");
        if (!r || !g) return 1;
        r->set();
        return g->wait(100000) ? 0 : 2;
      },
      false, &child);
  EXPECT_TRUE(ready->wait(100000));
  go->set();
  EXPECT_EQ(finish(child), 0);
}

TEST_F(Named, WaitForSeveralGivesTheLowestSetAndResetsAutoEvents) {
  auto a = Event::create("a", false, false);
  auto b = Event::create("b", false, false);
  auto local = Event::create("", true, false);  // unnamed events mix with named ones
  ASSERT_TRUE(a && b && local);
  Event* set[] = {a.get(), b.get(), local.get()};

  EXPECT_EQ(in_child([] {
              auto other = Event::open("b");
              if (!other) return 1;
              other->set();
              return 0;
            }),
            0);
  EXPECT_EQ(Event::wait_any(set, 3, 100000), 1);
  EXPECT_EQ(Event::wait_any(set, 3, 10), kWaitTimeout);  // auto-reset: taken

  local->set();
  b->set();
  EXPECT_EQ(Event::wait_any(set, 3, 0), 1);
  EXPECT_EQ(Event::wait_any(set, 3, 0), 2);
  EXPECT_EQ(Event::wait_any(set, 3, 0), 2);  // manual-reset: stays set
  local->reset();
  EXPECT_EQ(Event::wait_any(set, 3, 0), kWaitTimeout);
  EXPECT_EQ(Event::wait_any(set, 0, 0), kWaitFailed);
}

TEST_F(Named, PulseReleasesOnlyThoseWaitingAndLeavesTheEventReset) {
  for (bool manual : {true, false}) {
    auto ev = Event::create("", manual, false);
    ev->pulse();  // nobody waits: nothing is kept for a later wait
    EXPECT_FALSE(ev->wait(0)) << manual;
    ev->set();
    ev->pulse();
    EXPECT_FALSE(ev->wait(0)) << manual;

    std::atomic<int> released{0};
    std::thread waiters[2];
    for (auto& w : waiters) w = std::thread([&] { released += ev->wait(1000000) ? 1 : 0; });
    Deadline limit(100000);
    while (released < 2 && !limit.expired()) {
      ev->pulse();
      sleep_ms(1);
    }
    for (auto& w : waiters) w.join();
    EXPECT_EQ(released.load(), 2) << manual;
    EXPECT_FALSE(ev->wait(0)) << manual;
  }
}

TEST_F(Named, OpeningMissingOrAbandonedObjectsFails) {
  NamedError error = NamedError::None;
  EXPECT_FALSE(Event::open("missing", &error));
  EXPECT_EQ(error, NamedError::NotFound);
  EXPECT_FALSE(Event::open("", &error));
  EXPECT_EQ(error, NamedError::InvalidName);

  // A process that ends without closing leaves nothing that counts.
  EXPECT_EQ(in_child([] {
              auto ev = Event::create("abandoned", true, true);
              auto mem = SharedMemory::create("abandoned", 64);
              if (!ev || !mem) return 1;
              static_cast<char*>(mem->data())[0] = 'x';
              _exit(0);  // no destructors
            }),
            0);
  EXPECT_FALSE(Event::open("abandoned", &error));
  EXPECT_EQ(error, NamedError::NotFound);
  bool existed = true;
  auto ev = Event::create("abandoned", false, false, &existed);
  ASSERT_TRUE(ev);
  EXPECT_FALSE(existed);
  EXPECT_FALSE(ev->wait(0));
  auto mem = SharedMemory::create("abandoned", 64, &existed);
  ASSERT_TRUE(mem);
  EXPECT_FALSE(existed);
  EXPECT_EQ(static_cast<char*>(mem->data())[0], 0);
}

TEST_F(Named, CreatingAnExistingEventOpensIt) {
  auto first = Event::create("shared", true, true);
  bool existed = false;
  auto second = Event::create("shared", false, false, &existed);
  ASSERT_TRUE(first && second);
  EXPECT_TRUE(existed);
  EXPECT_TRUE(second->wait(0));  // keeps the first one's state and kind
  EXPECT_TRUE(second->wait(0));
  first.reset();
  second.reset();
  EXPECT_FALSE(Event::open("shared"));  // the last holder closed it
}

TEST_F(Named, SharedMemoryWrittenInOneProcessIsReadInTheOther) {
  auto mem = SharedMemory::create("OposSharedMemory", 1408);
  ASSERT_TRUE(mem);
  EXPECT_EQ(mem->size(), 1408u);
  EXPECT_EQ(in_child([] {
              bool existed = false;
              auto m = SharedMemory::create("OposSharedMemory", 1408, &existed);
              if (!m || !existed || m->size() != 1408) return 1;
              std::memcpy(static_cast<char*>(m->data()) + 1140, "TCO", 4);
              static_cast<unsigned char*>(m->data())[1407] = 0xA5;
              return 0;
            }),
            0);
  EXPECT_STREQ(static_cast<char*>(mem->data()) + 1140, "TCO");
  EXPECT_EQ(static_cast<unsigned char*>(mem->data())[1407], 0xA5);
}

TEST_F(Named, AChildDyingWithTheLockDoesNotBlockTheParent) {
  auto mem = SharedMemory::create("locked", 16);
  ASSERT_TRUE(mem);
  EXPECT_EQ(in_child([] {
              auto m = SharedMemory::open("locked");
              if (!m) return 1;
              m->lock();
              static_cast<char*>(m->data())[0] = 1;
              _exit(0);  // dies holding it
            }),
            0);
  EXPECT_FALSE(mem->lock());  // taken over from the dead holder
  mem->unlock();
  EXPECT_TRUE(mem->lock());
  mem->unlock();
  // Events still work after the child's death.
  auto ev = Event::create("after", false, false);
  ev->set();
  EXPECT_TRUE(ev->wait(0));
}

TEST_F(Named, NamespacesKeepObjectsApart) {
  auto ev = Event::create("apart", true, true);
  ASSERT_TRUE(ev);
  EXPECT_EQ(in_child([] {
              setenv("ZPX_NAMESPACE", ("other-" + std::to_string(getpid())).c_str(), 1);
              return Event::open("apart") ? 1 : 0;
            }),
            0);
  EXPECT_TRUE(Event::open("apart"));
}

TEST(WaitableTimer, ExpiresAfterItsDueTimeAndStaysExpired) {
  WaitableTimer t;
  EXPECT_FALSE(t.expired());
  std::int64_t start = tick_ms();
  t.set(200);
  while (!t.expired()) sleep_ms(1);
  EXPECT_GE(tick_ms() - start, 199);
  EXPECT_TRUE(t.expired());
  t.cancel();
  EXPECT_FALSE(t.expired());
}
