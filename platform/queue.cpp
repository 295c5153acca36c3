// Message queues of threads and their timers.
//
// Each queue owns an epoll descriptor that watches an eventfd (posted messages) and a timerfd
// armed for the earliest due timer, so one descriptor tells an outside event loop that there is
// work, and blocking waits sleep until a post or a timer without polling.
#include "platform/queue.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/clock.h"
#include "platform/input_detail.h"
#include "platform/timer.h"

namespace platform {

namespace {

using TimePoint = std::chrono::steady_clock::time_point;

TimePoint now() { return Deadline(0).when(); }

struct Timer {
  std::int64_t period_ms = kTimerMinimumMs;
  TimerProc proc;
  TimePoint due;
  std::uint64_t serial = 0;  // changes on every restart, so an older message of it is not run
};

struct ThreadQueue {
  ThreadId id = 0;
  std::mutex m;
  std::deque<ThreadMessage> posted;
  std::map<TimerId, Timer> timers;
  int epoll_fd = -1;
  int event_fd = -1;
  int timer_fd = -1;

  ThreadQueue() {
    epoll_fd = epoll_create1(EPOLL_CLOEXEC);
    event_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    timer_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    if (epoll_fd >= 0 && event_fd >= 0) {
      ev.data.fd = event_fd;
      epoll_ctl(epoll_fd, EPOLL_CTL_ADD, event_fd, &ev);
    }
    if (epoll_fd >= 0 && timer_fd >= 0) {
      ev.data.fd = timer_fd;
      epoll_ctl(epoll_fd, EPOLL_CTL_ADD, timer_fd, &ev);
    }
  }
  ~ThreadQueue() {
    for (int fd : {epoll_fd, event_fd, timer_fd})
      if (fd >= 0) close(fd);
  }
  ThreadQueue(const ThreadQueue&) = delete;
  ThreadQueue& operator=(const ThreadQueue&) = delete;

  // With m held.
  void signal() {
    std::uint64_t one = 1;
    if (event_fd >= 0) (void)!write(event_fd, &one, sizeof one);
  }
  void clear_signals() {
    std::uint64_t v;
    if (event_fd >= 0) (void)!read(event_fd, &v, sizeof v);
    if (timer_fd >= 0) (void)!read(timer_fd, &v, sizeof v);
  }
  // Arms the timerfd for the earliest timer (or disarms it); resets its expiry count.
  void rearm() {
    if (timer_fd < 0) return;
    itimerspec due{};
    if (!timers.empty()) {
      TimePoint first = TimePoint::max();
      for (auto& [id, t] : timers) first = std::min(first, t.due);
      auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(first.time_since_epoch()).count();
      if (ns <= 0) ns = 1;  // a zero value would disarm it
      due.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
      due.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    timerfd_settime(timer_fd, TFD_TIMER_ABSTIME, &due, nullptr);
  }
  // The due timer that fires first, or timers.end().
  std::map<TimerId, Timer>::iterator due_timer(TimePoint at) {
    auto best = timers.end();
    for (auto it = timers.begin(); it != timers.end(); ++it)
      if (it->second.due <= at && (best == timers.end() || it->second.due < best->second.due)) best = it;
    return best;
  }
};

std::mutex g_registry_mutex;
std::unordered_map<ThreadId, std::shared_ptr<ThreadQueue>> g_queues;
std::unordered_map<TimerId, ThreadId> g_timer_owner;
std::atomic<ThreadId> g_next_thread{1};
std::atomic<TimerId> g_next_timer{1};

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (!queue) return;
    {
      std::lock_guard<std::mutex> lock(g_registry_mutex);
      g_queues.erase(queue->id);
      std::lock_guard<std::mutex> qlock(queue->m);
      for (auto& [id, t] : queue->timers) g_timer_owner.erase(id);
    }
    detail::forget_thread(queue->id);
  }
};

thread_local QueueHolder t_holder;

ThreadQueue& own_queue() {
  if (!t_holder.queue) {
    auto q = std::make_shared<ThreadQueue>();
    q->id = g_next_thread++;
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    g_queues[q->id] = q;
    t_holder.queue = std::move(q);
  }
  return *t_holder.queue;
}

std::shared_ptr<ThreadQueue> find_queue(ThreadId id) {
  std::lock_guard<std::mutex> lock(g_registry_mutex);
  auto it = g_queues.find(id);
  return it == g_queues.end() ? nullptr : it->second;
}

std::int64_t clamp_period(std::int64_t period_ms) { return std::max(period_ms, kTimerMinimumMs); }

// Waits on the queue's descriptor for at most `real` (negative: no limit).
bool wait_fd(int fd, std::chrono::nanoseconds real, bool forever) {
  pollfd p{fd, POLLIN, 0};
  timespec ts{};
  if (!forever) {
    auto ns = std::max<std::int64_t>(real.count(), 0);
    ts.tv_sec = static_cast<time_t>(ns / 1000000000);
    ts.tv_nsec = static_cast<long>(ns % 1000000000);
  }
  int r = ppoll(&p, 1, forever ? nullptr : &ts, nullptr);
  return r > 0;
}

}  // namespace

ThreadId current_thread_id() { return own_queue().id; }

bool post_message(ThreadId thread, ThreadMessage message) {
  auto q = find_queue(thread);
  if (!q) return false;
  std::lock_guard<std::mutex> lock(q->m);
  q->posted.push_back(std::move(message));
  q->signal();
  return true;
}

void post_quit(int exit_code) {
  ThreadMessage m;
  m.id = kMessageQuit;
  m.wparam = static_cast<std::uintptr_t>(exit_code);
  post_message(current_thread_id(), std::move(m));
}

bool peek_message(ThreadMessage& out, bool remove) {
  ThreadQueue& q = own_queue();
  detail::note_input_candidate(q.id);
  std::lock_guard<std::mutex> lock(q.m);
  if (!q.posted.empty()) {
    if (remove) {
      out = std::move(q.posted.front());
      q.posted.pop_front();
    } else {
      out = q.posted.front();
    }
    return true;
  }
  TimePoint at = now();
  auto it = q.due_timer(at);
  if (it != q.timers.end()) {
    ThreadMessage m;
    m.id = kMessageTimer;
    m.wparam = it->first;
    m.lparam = static_cast<std::intptr_t>(it->second.serial);
    m.timer = it->first;
    if (remove) {
      // The next message of this timer comes a full period after this one was taken.
      it->second.due = at + real_duration(it->second.period_ms);
      q.rearm();
    }
    out = std::move(m);
    return true;
  }
  q.clear_signals();
  q.rearm();
  return false;
}

bool wait_message(std::int64_t timeout_ms) {
  ThreadQueue& q = own_queue();
  Deadline deadline(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(q.m);
      if (!q.posted.empty() || q.due_timer(now()) != q.timers.end()) return true;
      q.clear_signals();
      q.rearm();
    }
    if (timeout_ms >= 0 && deadline.expired()) return false;
    wait_fd(q.epoll_fd, deadline.remaining(), timeout_ms < 0);
  }
}

bool get_message(ThreadMessage& out) {
  while (!peek_message(out, true)) wait_message(-1);
  return out.id != kMessageQuit;
}

void dispatch_message(const ThreadMessage& message) {
  if (message.target) {
    message.target(message);
    return;
  }
  if (message.id == kMessageTimer) {
    ThreadQueue& q = own_queue();
    TimerProc proc;
    {
      std::lock_guard<std::mutex> lock(q.m);
      auto it = q.timers.find(message.timer);
      if (it == q.timers.end() || static_cast<std::intptr_t>(it->second.serial) != message.lparam) return;
      proc = it->second.proc;
    }
    if (proc) proc(message.timer);
    return;
  }
  if (message.id == kMessageKeystroke) detail::dispatch_keystroke(message);
}

std::size_t pump_messages() {
  std::size_t n = 0;
  ThreadMessage m;
  while (peek_message(m, true)) {
    dispatch_message(m);
    ++n;
  }
  return n;
}

bool pump_until(const std::function<bool()>& done, std::int64_t timeout_ms) {
  // Longest sleep between two looks at done(), in real time.
  constexpr auto kSlice = std::chrono::milliseconds(5);
  ThreadQueue& q = own_queue();
  Deadline deadline(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    if (done()) return true;
    ThreadMessage m;
    bool any = false;
    while (peek_message(m, true)) {
      any = true;
      if (m.id == kMessageQuit) {
        post_message(q.id, m);
        return done();
      }
      dispatch_message(m);
      if (done()) return true;
    }
    if (timeout_ms >= 0 && deadline.expired()) return done();
    if (any) continue;
    std::chrono::nanoseconds wait = kSlice;
    if (timeout_ms >= 0) wait = std::min<std::chrono::nanoseconds>(wait, deadline.remaining());
    wait_fd(q.epoll_fd, wait, false);
  }
}

int queue_fd() { return own_queue().epoll_fd; }

TimerId set_timer(std::int64_t period_ms, TimerProc proc) {
  ThreadQueue& q = own_queue();
  TimerId id = g_next_timer++;
  if (id == 0) id = g_next_timer++;
  {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    g_timer_owner[id] = q.id;
  }
  static std::atomic<std::uint64_t> serials{1};
  std::lock_guard<std::mutex> lock(q.m);
  Timer& t = q.timers[id];
  t.period_ms = clamp_period(period_ms);
  t.proc = std::move(proc);
  t.due = now() + real_duration(t.period_ms);
  t.serial = serials++;
  q.rearm();
  return id;
}

bool reset_timer(TimerId id, std::int64_t period_ms, TimerProc proc) {
  ThreadQueue& q = own_queue();
  std::lock_guard<std::mutex> lock(q.m);
  auto it = q.timers.find(id);
  if (it == q.timers.end()) return false;
  it->second.period_ms = clamp_period(period_ms);
  if (proc) it->second.proc = std::move(proc);
  it->second.due = now() + real_duration(it->second.period_ms);
  ++it->second.serial;  // a message of the previous run is not run
  q.rearm();
  return true;
}

bool kill_timer(TimerId id) {
  std::shared_ptr<ThreadQueue> q;
  {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    auto it = g_timer_owner.find(id);
    if (it == g_timer_owner.end()) return false;
    auto qi = g_queues.find(it->second);
    g_timer_owner.erase(it);
    if (qi == g_queues.end()) return false;
    q = qi->second;
  }
  std::lock_guard<std::mutex> lock(q->m);
  bool found = q->timers.erase(id) > 0;
  q->rearm();
  return found;
}

}  // namespace platform
