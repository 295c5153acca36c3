// Named events and named shared memory, shared between processes; unnamed events for the
// threads of one process; a one-shot timer to poll.
//
// Named objects live in POSIX shared memory under a namespace (ZPX_NAMESPACE, default: one per
// user), so separate runs that use the same names never meet. An object lives while a process
// holds it: the last holder to close it removes it, and an object whose holders have all ended
// without closing it (a crash) counts as gone: opening fails and creating makes it anew.
//
// Events are manual-reset (stay set until reset) or auto-reset (one waiter takes the signal and
// resets it). A pulse releases the waiters waiting at that moment (all of them for a
// manual-reset event, one for an auto-reset event) and leaves the event reset. Waits may mix
// named and unnamed events. Timeouts are system milliseconds on the platform clock.
//
// State shared between processes is guarded by robust process-shared mutexes: a process that
// dies holding one does not lock the others out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/api.h"
#include "platform/clock.h"

namespace platform {

enum class NamedError {
  None,
  NotFound,          // no object of that name
  InvalidName,       // empty or too long
  System,            // the system refused (shared memory, mapping)
};

inline constexpr std::int64_t kWaitForever = -1;
inline constexpr int kWaitTimeout = -1;
inline constexpr int kWaitFailed = -2;

struct EventShared;

class ZPX_PLATFORM_API Event {
 public:
  // Creates a named event, or opens it when it exists (then manual_reset and initially_set do
  // not apply; existed tells). An empty name makes an unnamed event.
  static std::unique_ptr<Event> create(const std::string& name, bool manual_reset, bool initially_set,
                                       bool* existed = nullptr, NamedError* error = nullptr);
  // Opens an existing named event.
  static std::unique_ptr<Event> open(const std::string& name, NamedError* error = nullptr);

  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();
  void pulse();
  // Waits until the event is set: true, or false on timeout.
  bool wait(std::int64_t timeout_ms);
  // Waits until one of the events is set and returns the lowest index of those set (an
  // auto-reset event that is returned is reset), kWaitTimeout, or kWaitFailed for no events.
  static int wait_any(Event* const* events, std::size_t count, std::int64_t timeout_ms);

  const std::string& name() const { return name_; }

 private:
  Event() = default;
  EventShared* shared_ = nullptr;
  std::string name_;
  std::string object_;  // shared memory name; empty for an unnamed event
  std::string space_;   // the namespace it was opened in
  bool held_ = false;   // counts as a user of the namespace's hub
  friend struct EventAccess;
};

struct MemoryHeader;

class ZPX_PLATFORM_API SharedMemory {
 public:
  // Creates named shared memory of `size` bytes, all zero, or opens it when it exists (existed
  // tells; it keeps the size it was created with).
  static std::unique_ptr<SharedMemory> create(const std::string& name, std::size_t size, bool* existed = nullptr,
                                              NamedError* error = nullptr);
  static std::unique_ptr<SharedMemory> open(const std::string& name, NamedError* error = nullptr);

  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  void* data() const { return data_; }
  std::size_t size() const { return size_; }

  // A lock the users of this memory share, across processes. lock() returns false when the
  // previous holder died holding it (the lock is then held and the contents may be half
  // written), true otherwise.
  bool lock();
  void unlock();

 private:
  SharedMemory() = default;
  MemoryHeader* header_ = nullptr;
  std::size_t mapped_ = 0;
  void* data_ = nullptr;
  std::size_t size_ = 0;
  std::string object_;
  std::string space_;
  bool held_ = false;
};

// A one-shot timer of the calling process, polled with expired() (with a zero wait).
class ZPX_PLATFORM_API WaitableTimer {
 public:
  // Arms it to expire after due_ms system milliseconds (again from now when already armed).
  void set(std::int64_t due_ms) { deadline_ = Deadline(due_ms); armed_ = true; }
  void cancel() { armed_ = false; }
  // True once the due time has passed; stays so until set again (manual reset).
  bool expired() const { return armed_ && deadline_.expired(); }

 private:
  Deadline deadline_{0};
  bool armed_ = false;
};

// The namespace prefix named objects carry now (from ZPX_NAMESPACE).
ZPX_PLATFORM_API std::string named_object_namespace();

}  // namespace platform
