// Named objects in POSIX shared memory.
//
// Every namespace has a hub segment with one robust process-shared mutex, which guards the state
// of all events and the bookkeeping of who holds which object, and one futex word that is bumped
// whenever an event changes. Waiters sleep on that word, so a wait for several events (named or
// not) is one sleep. A futex rather than a process-shared condition variable: a waiter that dies
// inside a condition variable wait can leave it blocking the next signaller for good.
#include "platform/named.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <vector>

namespace platform {

namespace {

constexpr std::uint32_t kHubMagic = 0x5A505848;     // "ZPXH"
constexpr std::uint32_t kEventMagic = 0x5A505845;   // "ZPXE"
constexpr std::uint32_t kMemoryMagic = 0x5A50584D;  // "ZPXM"
constexpr std::size_t kHolderSlots = 64;
constexpr std::size_t kMaxName = 200;

bool alive(std::int32_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

// Who holds an object: processes and how many times each opened it.
struct Holders {
  struct Slot {
    std::int32_t pid;
    std::uint32_t count;
  } slot[kHolderSlots];

  void clear() { std::memset(slot, 0, sizeof slot); }
  void prune() {
    for (Slot& s : slot)
      if (s.pid && !alive(s.pid)) s = Slot{0, 0};
  }
  bool add(std::int32_t pid) {
    for (Slot& s : slot)
      if (s.pid == pid) return ++s.count, true;
    prune();
    for (Slot& s : slot)
      if (!s.pid) return s = Slot{pid, 1}, true;
    return false;
  }
  void remove(std::int32_t pid) {
    for (Slot& s : slot)
      if (s.pid == pid && --s.count == 0) s = Slot{0, 0};
  }
  bool any() {
    prune();
    for (Slot& s : slot)
      if (s.pid) return true;
    return false;
  }
};

struct Hub {
  std::atomic<std::uint32_t> magic;
  std::uint32_t retired;
  pthread_mutex_t mutex;
  std::atomic<std::uint32_t> seq;
  Holders holders;
};

void init_robust(pthread_mutex_t* m) {
  pthread_mutexattr_t a;
  pthread_mutexattr_init(&a);
  pthread_mutexattr_setpshared(&a, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&a, PTHREAD_MUTEX_ROBUST);
  pthread_mutex_init(m, &a);
  pthread_mutexattr_destroy(&a);
}

// Locks a robust mutex; false when its previous holder died holding it (it is held now).
bool lock_robust(pthread_mutex_t* m) {
  int r = pthread_mutex_lock(m);
  if (r == EOWNERDEAD) {
    pthread_mutex_consistent(m);
    return false;
  }
  return true;
}

std::string sanitize(const std::string& s) {
  std::string out;
  for (char c : s) out += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_') ? c : '_';
  return out;
}

std::string object_name(const std::string& space, const char* kind, const std::string& name) {
  return "/zpx." + space + "." + kind + "." + sanitize(name);
}

long futex(std::atomic<std::uint32_t>* word, int op, std::uint32_t value, const timespec* timeout) {
  return syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(word), op, value, timeout, nullptr, 0);
}

void* map_fd(int fd, std::size_t size) {
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return p == MAP_FAILED ? nullptr : p;
}

// The hub of each namespace this process uses.
struct HubRef {
  Hub* hub = nullptr;
  int users = 0;
};
std::mutex g_local;
std::map<std::string, HubRef>& hubs() {
  static auto* m = new std::map<std::string, HubRef>;
  return *m;
}

// Maps the namespace's hub (creating it) and counts this process as its user; null on failure.
Hub* acquire_hub(const std::string& space) {
  std::lock_guard<std::mutex> lock(g_local);
  HubRef& ref = hubs()[space];
  if (ref.hub) {
    ++ref.users;
    return ref.hub;
  }
  const std::string name = object_name(space, "hub", "");
  for (int attempt = 0; attempt < 1000; ++attempt) {
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    Hub* hub = nullptr;
    if (fd >= 0) {
      if (ftruncate(fd, sizeof(Hub)) == 0) hub = static_cast<Hub*>(map_fd(fd, sizeof(Hub)));
      close(fd);
      if (!hub) {
        shm_unlink(name.c_str());
        return nullptr;
      }
      hub->retired = 0;
      hub->seq.store(0);
      hub->holders.clear();
      init_robust(&hub->mutex);
      hub->magic.store(kHubMagic, std::memory_order_release);
    } else {
      if (errno != EEXIST) return nullptr;
      fd = shm_open(name.c_str(), O_RDWR, 0600);
      if (fd < 0) continue;  // removed meanwhile: create it
      // Wait for its creator to finish setting it up; one that never does died doing it.
      Deadline limit(10000);
      struct stat st{};
      while (fstat(fd, &st) == 0 && static_cast<std::size_t>(st.st_size) < sizeof(Hub) && !limit.expired()) sleep_ms(1);
      if (static_cast<std::size_t>(st.st_size) >= sizeof(Hub)) hub = static_cast<Hub*>(map_fd(fd, sizeof(Hub)));
      close(fd);
      while (hub && hub->magic.load(std::memory_order_acquire) != kHubMagic && !limit.expired()) sleep_ms(1);
      if (!hub || hub->magic.load(std::memory_order_acquire) != kHubMagic) {
        if (hub) munmap(hub, sizeof(Hub));
        shm_unlink(name.c_str());
        continue;
      }
    }
    lock_robust(&hub->mutex);
    if (hub->retired) {  // its last user removed it after we mapped it
      pthread_mutex_unlock(&hub->mutex);
      munmap(hub, sizeof(Hub));
      continue;
    }
    hub->holders.add(getpid());
    pthread_mutex_unlock(&hub->mutex);
    ref.hub = hub;
    ref.users = 1;
    return hub;
  }
  return nullptr;
}

void release_hub(const std::string& space) {
  std::lock_guard<std::mutex> lock(g_local);
  auto it = hubs().find(space);
  if (it == hubs().end() || !it->second.hub || --it->second.users > 0) return;
  Hub* hub = it->second.hub;
  lock_robust(&hub->mutex);
  hub->holders.remove(getpid());
  if (!hub->holders.any()) {
    hub->retired = 1;
    shm_unlink(object_name(space, "hub", "").c_str());
  }
  pthread_mutex_unlock(&hub->mutex);
  munmap(hub, sizeof(Hub));
  hubs().erase(it);
}

// Runs with the hub's mutex held.
struct HubLock {
  explicit HubLock(Hub* h) : hub(h) { lock_robust(&hub->mutex); }
  ~HubLock() { pthread_mutex_unlock(&hub->mutex); }
  HubLock(const HubLock&) = delete;
  HubLock& operator=(const HubLock&) = delete;
  Hub* hub;
};

Hub* hub_of(const std::string& space) {
  std::lock_guard<std::mutex> lock(g_local);
  auto it = hubs().find(space);
  return it == hubs().end() ? nullptr : it->second.hub;
}

// Opens (and with `create` makes) a segment of at least `size` bytes; with the hub locked.
// Returns the mapping and its size, or null.
void* open_segment(const std::string& object, std::size_t size, bool create, std::size_t* mapped) {
  int fd = shm_open(object.c_str(), O_RDWR | (create ? O_CREAT : 0), 0600);
  if (fd < 0) return nullptr;
  struct stat st{};
  void* p = nullptr;
  if (fstat(fd, &st) == 0) {
    std::size_t have = static_cast<std::size_t>(st.st_size);
    if (have < size && create && ftruncate(fd, static_cast<off_t>(size)) == 0) have = size;
    if (have >= size) {
      p = map_fd(fd, have);
      if (p) *mapped = have;
    }
  }
  close(fd);
  return p;
}

bool valid_name(const std::string& name) { return !name.empty() && name.size() <= kMaxName; }

}  // namespace

std::string named_object_namespace() {
  const char* s = std::getenv("ZPX_NAMESPACE");
  if (s && *s) return sanitize(s).substr(0, 40);
  return "u" + std::to_string(getuid());
}

// ---- Events ----

struct EventShared {
  std::uint32_t magic;
  std::uint32_t manual;
  std::uint32_t signaled;
  std::uint32_t pulses;        // bumped by every pulse
  std::uint32_t pulse_tokens;  // an auto-reset pulse's one release
  std::uint32_t waiters;
  Holders holders;
};

struct EventAccess {
  static EventShared* shared(Event& e) { return e.shared_; }
  static const std::string& space(Event& e) { return e.space_; }
};

namespace {

void init_event(EventShared* s, bool manual, bool set) {
  s->manual = manual;
  s->signaled = set;
  s->pulses = 0;
  s->pulse_tokens = 0;
  s->waiters = 0;
  s->holders.clear();
  s->magic = kEventMagic;
}

void wake_all(Hub* hub) {
  hub->seq.fetch_add(1);
  futex(&hub->seq, FUTEX_WAKE, INT_MAX, nullptr);
}

}  // namespace

std::unique_ptr<Event> Event::create(const std::string& name, bool manual_reset, bool initially_set, bool* existed,
                                     NamedError* error) {
  auto fail = [&](NamedError e) {
    if (error) *error = e;
    return std::unique_ptr<Event>();
  };
  if (existed) *existed = false;
  if (name.size() > kMaxName) return fail(NamedError::InvalidName);
  std::unique_ptr<Event> ev(new Event);
  ev->name_ = name;
  ev->space_ = named_object_namespace();
  Hub* hub = acquire_hub(ev->space_);
  if (!hub) return fail(NamedError::System);
  ev->held_ = true;
  if (name.empty()) {
    ev->shared_ = new EventShared;
    init_event(ev->shared_, manual_reset, initially_set);
  } else {
    ev->object_ = object_name(ev->space_, "event", name);
    HubLock lock(hub);
    std::size_t mapped = 0;
    auto* s = static_cast<EventShared*>(open_segment(ev->object_, sizeof(EventShared), true, &mapped));
    if (!s) {
      ev->object_.clear();
      return fail(NamedError::System);  // the destructor releases the hub
    }
    if (s->magic == kEventMagic && s->holders.any()) {
      if (existed) *existed = true;
    } else {
      init_event(s, manual_reset, initially_set);
    }
    s->holders.add(getpid());
    ev->shared_ = s;
  }
  if (error) *error = NamedError::None;
  return ev;
}

std::unique_ptr<Event> Event::open(const std::string& name, NamedError* error) {
  auto fail = [&](NamedError e) {
    if (error) *error = e;
    return std::unique_ptr<Event>();
  };
  if (!valid_name(name)) return fail(NamedError::InvalidName);
  std::unique_ptr<Event> ev(new Event);
  ev->name_ = name;
  ev->space_ = named_object_namespace();
  Hub* hub = acquire_hub(ev->space_);
  if (!hub) return fail(NamedError::System);
  ev->held_ = true;
  std::string object = object_name(ev->space_, "event", name);
  HubLock lock(hub);
  std::size_t mapped = 0;
  auto* s = static_cast<EventShared*>(open_segment(object, sizeof(EventShared), false, &mapped));
  if (!s) return fail(NamedError::NotFound);
  if (s->magic != kEventMagic || !s->holders.any()) {  // left behind by ended processes
    munmap(s, mapped);
    shm_unlink(object.c_str());
    return fail(NamedError::NotFound);
  }
  s->holders.add(getpid());
  ev->shared_ = s;
  ev->object_ = object;
  if (error) *error = NamedError::None;
  return ev;
}

Event::~Event() {
  Hub* hub = held_ ? hub_of(space_) : nullptr;
  if (shared_ && object_.empty()) {
    delete shared_;  // unnamed
  } else if (shared_ && hub) {
    HubLock lock(hub);
    shared_->holders.remove(getpid());
    if (!shared_->holders.any()) shm_unlink(object_.c_str());
    munmap(shared_, sizeof(EventShared));
  }
  if (hub) release_hub(space_);
}

void Event::set() {
  Hub* hub = hub_of(space_);
  HubLock lock(hub);
  shared_->signaled = 1;
  wake_all(hub);
}

void Event::reset() {
  Hub* hub = hub_of(space_);
  HubLock lock(hub);
  shared_->signaled = 0;
}

void Event::pulse() {
  Hub* hub = hub_of(space_);
  HubLock lock(hub);
  shared_->signaled = 0;
  if (shared_->waiters == 0) return;
  shared_->pulses++;
  shared_->pulse_tokens = shared_->manual ? 0 : 1;
  wake_all(hub);
}

bool Event::wait(std::int64_t timeout_ms) {
  Event* one = this;
  return wait_any(&one, 1, timeout_ms) == 0;
}

int Event::wait_any(Event* const* events, std::size_t count, std::int64_t timeout_ms) {
  if (!events || count == 0) return kWaitFailed;
  // All events of one wait share the hub of the namespace the first was made in.
  Hub* hub = hub_of(EventAccess::space(*events[0]));
  for (std::size_t i = 0; i < count; ++i)
    if (!events[i] || hub_of(EventAccess::space(*events[i])) != hub) return kWaitFailed;
  Deadline deadline(timeout_ms < 0 ? 0 : timeout_ms);
  std::vector<std::uint32_t> seen(count);
  lock_robust(&hub->mutex);
  for (std::size_t i = 0; i < count; ++i) {
    EventShared* s = EventAccess::shared(*events[i]);
    seen[i] = s->pulses;
    s->waiters++;
  }
  int result = kWaitTimeout;
  for (;;) {
    for (std::size_t i = 0; i < count && result == kWaitTimeout; ++i) {
      EventShared* s = EventAccess::shared(*events[i]);
      if (s->signaled) {
        if (!s->manual) s->signaled = 0;
        result = static_cast<int>(i);
      } else if (s->pulses != seen[i]) {
        seen[i] = s->pulses;
        if (s->manual) {
          result = static_cast<int>(i);
        } else if (s->pulse_tokens) {
          s->pulse_tokens = 0;
          result = static_cast<int>(i);
        }
      }
    }
    if (result != kWaitTimeout || (timeout_ms >= 0 && deadline.expired())) break;
    std::uint32_t seq = hub->seq.load();
    pthread_mutex_unlock(&hub->mutex);
    timespec ts{};
    if (timeout_ms >= 0) {
      auto ns = deadline.remaining().count();
      ts.tv_sec = static_cast<time_t>(ns / 1000000000);
      ts.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    futex(&hub->seq, FUTEX_WAIT, seq, timeout_ms >= 0 ? &ts : nullptr);
    lock_robust(&hub->mutex);
  }
  for (std::size_t i = 0; i < count; ++i) EventAccess::shared(*events[i])->waiters--;
  pthread_mutex_unlock(&hub->mutex);
  return result;
}

// ---- Shared memory ----

struct MemoryHeader {
  std::uint32_t magic;
  std::uint32_t reserved;
  std::uint64_t size;
  pthread_mutex_t mutex;
  Holders holders;
};

namespace {
constexpr std::size_t kDataOffset = (sizeof(MemoryHeader) + 63) / 64 * 64;
}

std::unique_ptr<SharedMemory> SharedMemory::create(const std::string& name, std::size_t size, bool* existed,
                                                   NamedError* error) {
  auto fail = [&](NamedError e) {
    if (error) *error = e;
    return std::unique_ptr<SharedMemory>();
  };
  if (existed) *existed = false;
  if (!valid_name(name) || size == 0 || size > (std::size_t{1} << 30)) return fail(NamedError::InvalidName);
  std::unique_ptr<SharedMemory> mem(new SharedMemory);
  mem->space_ = named_object_namespace();
  Hub* hub = acquire_hub(mem->space_);
  if (!hub) return fail(NamedError::System);
  mem->held_ = true;
  std::string object = object_name(mem->space_, "memory", name);
  HubLock lock(hub);
  std::size_t mapped = 0;
  auto* h = static_cast<MemoryHeader*>(open_segment(object, kDataOffset + size, true, &mapped));
  if (!h) return fail(NamedError::System);
  if (h->magic == kMemoryMagic && h->holders.any() && kDataOffset + h->size <= mapped) {
    if (existed) *existed = true;
  } else {
    std::memset(h, 0, mapped);  // made anew (or left behind by ended processes): all zero
    h->size = size;
    init_robust(&h->mutex);
    h->magic = kMemoryMagic;
  }
  h->holders.add(getpid());
  mem->header_ = h;
  mem->mapped_ = mapped;
  mem->data_ = reinterpret_cast<std::uint8_t*>(h) + kDataOffset;
  mem->size_ = h->size;
  mem->object_ = object;
  if (error) *error = NamedError::None;
  return mem;
}

std::unique_ptr<SharedMemory> SharedMemory::open(const std::string& name, NamedError* error) {
  auto fail = [&](NamedError e) {
    if (error) *error = e;
    return std::unique_ptr<SharedMemory>();
  };
  if (!valid_name(name)) return fail(NamedError::InvalidName);
  std::unique_ptr<SharedMemory> mem(new SharedMemory);
  mem->space_ = named_object_namespace();
  Hub* hub = acquire_hub(mem->space_);
  if (!hub) return fail(NamedError::System);
  mem->held_ = true;
  std::string object = object_name(mem->space_, "memory", name);
  HubLock lock(hub);
  std::size_t mapped = 0;
  auto* h = static_cast<MemoryHeader*>(open_segment(object, kDataOffset, false, &mapped));
  if (!h) return fail(NamedError::NotFound);
  if (h->magic != kMemoryMagic || !h->holders.any() || kDataOffset + h->size > mapped) {
    munmap(h, mapped);
    shm_unlink(object.c_str());
    return fail(NamedError::NotFound);
  }
  h->holders.add(getpid());
  mem->header_ = h;
  mem->mapped_ = mapped;
  mem->data_ = reinterpret_cast<std::uint8_t*>(h) + kDataOffset;
  mem->size_ = h->size;
  mem->object_ = object;
  if (error) *error = NamedError::None;
  return mem;
}

SharedMemory::~SharedMemory() {
  Hub* hub = held_ ? hub_of(space_) : nullptr;
  if (header_ && hub) {
    HubLock lock(hub);
    header_->holders.remove(getpid());
    if (!header_->holders.any()) shm_unlink(object_.c_str());
    munmap(header_, mapped_);
  }
  if (hub) release_hub(space_);
}

bool SharedMemory::lock() { return lock_robust(&header_->mutex); }

void SharedMemory::unlock() { pthread_mutex_unlock(&header_->mutex); }

}  // namespace platform
