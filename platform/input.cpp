#include "platform/input.h"

#include <array>
#include <bitset>
#include <deque>
#include <mutex>

#include "platform/hook.h"
#include "platform/input_detail.h"
#include "platform/keyboard_link.h"

namespace platform {

namespace {

// Keystrokes kept while no input thread is known.
constexpr std::size_t kKeptKeystrokes = 4096;

struct InputState {
  std::mutex m;
  ThreadId input_thread = 0;
  bool declared = false;  // set_input_thread chose it
  std::deque<ThreadMessage> kept;
  KeySink sink;
  // Decoder.
  bool e0 = false;
  int e1 = 0;  // bytes of the pause sequence still to come
  std::bitset<512> scan_down;  // index: scan code + 256 for extended keys
  std::bitset<256> vk_down;
  bool caps = false, num = false, scroll = false;
};

InputState& state() {
  static InputState* s = new InputState;  // lives on past static destruction: threads may still type
  return *s;
}

// Plain keys of scan code set 1 (US layout); keypad keys as with Num Lock on.
constexpr std::array<std::uint8_t, 0x59> kPlain = {
    0x00, 0x1B, '1',  '2',  '3',  '4',  '5',  '6',  '7',  '8',  '9',  '0',  0xBD, 0xBB, 0x08, 0x09,  // 00
    'Q',  'W',  'E',  'R',  'T',  'Y',  'U',  'I',  'O',  'P',  0xDB, 0xDD, 0x0D, 0x11, 'A',  'S',   // 10
    'D',  'F',  'G',  'H',  'J',  'K',  'L',  0xBA, 0xDE, 0xC0, 0x10, 0xDC, 'Z',  'X',  'C',  'V',   // 20
    'B',  'N',  'M',  0xBC, 0xBE, 0xBF, 0x10, 0x6A, 0x12, 0x20, 0x14, 0x70, 0x71, 0x72, 0x73, 0x74,  // 30
    0x75, 0x76, 0x77, 0x78, 0x79, 0x90, 0x91, 0x67, 0x68, 0x69, 0x6D, 0x64, 0x65, 0x66, 0x6B, 0x61,  // 40
    0x62, 0x63, 0x60, 0x6E, 0x00, 0x00, 0xE2, 0x7A, 0x7B};                                           // 50
// Keypad keys as with Num Lock off.
constexpr std::array<std::uint8_t, 13> kKeypadNav = {0x24, 0x26, 0x21, 0x6D, 0x25, 0x0C, 0x27,
                                                     0x6B, 0x23, 0x28, 0x22, 0x2D, 0x2E};  // 47..53

std::uint8_t extended_key(std::uint8_t scan) {
  switch (scan) {
    case 0x1C: return 0x0D;
    case 0x1D: return vk::kControl;
    case 0x2A: case 0x36: return vk::kShift;  // the keyboard's extended Shift
    case 0x35: return 0x6F;
    case 0x37: return 0x2C;
    case 0x38: return vk::kAlt;
    case 0x46: return 0x03;  // Ctrl+Break
    case 0x47: return 0x24;
    case 0x48: return 0x26;
    case 0x49: return 0x21;
    case 0x4B: return 0x25;
    case 0x4D: return 0x27;
    case 0x4F: return 0x23;
    case 0x50: return 0x28;
    case 0x51: return 0x22;
    case 0x52: return 0x2D;
    case 0x53: return 0x2E;
    case 0x5B: return 0x5B;
    case 0x5C: return 0x5C;
    case 0x5D: return 0x5D;
    default: return 0;
  }
}

std::uint8_t key_for(std::uint8_t scan, bool extended, bool num_lock) {
  if (extended) return extended_key(scan);
  if (scan >= 0x47 && scan <= 0x53 && !num_lock) return kKeypadNav[scan - 0x47];
  return scan < kPlain.size() ? kPlain[scan] : 0;
}

// The left/right key that stands behind a generic modifier.
std::uint8_t sided_key(std::uint8_t scan, bool extended) {
  switch (scan) {
    case 0x2A: return extended ? 0 : vk::kLeftShift;
    case 0x36: return extended ? 0 : vk::kRightShift;
    case 0x1D: return extended ? vk::kRightControl : vk::kLeftControl;
    case 0x38: return extended ? vk::kRightAlt : vk::kLeftAlt;
    default: return 0;
  }
}

// With s.m held: whether any key of the generic modifier's pair is down.
void update_generic(InputState& s) {
  s.vk_down[vk::kShift] = s.vk_down[vk::kLeftShift] || s.vk_down[vk::kRightShift];
  s.vk_down[vk::kControl] = s.vk_down[vk::kLeftControl] || s.vk_down[vk::kRightControl];
  s.vk_down[vk::kAlt] = s.vk_down[vk::kLeftAlt] || s.vk_down[vk::kRightAlt];
}

// With s.m held: delivers (or keeps) one keystroke.
void deliver(InputState& s, std::uint8_t key, std::uint32_t param) {
  ThreadMessage m;
  m.id = kMessageKeystroke;
  m.wparam = key;
  m.lparam = keystroke_lparam(param);
  if (s.input_thread && post_message(s.input_thread, m)) return;
  if (s.input_thread && !s.declared) s.input_thread = 0;
  if (s.kept.size() < kKeptKeystrokes) s.kept.push_back(std::move(m));
}

void keystroke(InputState& s, std::uint8_t scan, bool extended, bool release, std::uint8_t key) {
  std::size_t index = scan + (extended ? 256u : 0u);
  bool was_down = s.scan_down[index];
  s.scan_down[index] = !release;
  bool fake_shift = extended && (scan == 0x2A || scan == 0x36);
  if (!release && !was_down && !extended) {
    if (scan == 0x3A) s.caps = !s.caps;
    if (scan == 0x45 && key == vk::kNumLock) s.num = !s.num;
    if (scan == 0x46) s.scroll = !s.scroll;
  }
  if (key && !fake_shift) {
    s.vk_down[key] = !release;
    if (std::uint8_t sided = sided_key(scan, extended)) s.vk_down[sided] = !release;
    update_generic(s);
  }
  std::uint32_t flags = 0;
  if (extended) flags |= kKeyExtended;
  if (s.vk_down[vk::kAlt]) flags |= kKeyAltDown;
  if (was_down) flags |= kKeyWasDown;
  if (release) flags |= kKeyRelease;
  deliver(s, key, make_keystroke_param(scan, flags));
}

void flush_kept(InputState& s) {
  while (s.input_thread && !s.kept.empty()) {
    if (!post_message(s.input_thread, s.kept.front())) {
      if (!s.declared) s.input_thread = 0;
      return;
    }
    s.kept.pop_front();
  }
}

}  // namespace

std::uint8_t virtual_key(std::uint8_t scan, bool extended) {
  InputState& s = state();
  std::lock_guard<std::mutex> lock(s.m);
  return key_for(scan, extended, s.num);
}

void set_input_thread(ThreadId thread) {
  InputState& s = state();
  std::lock_guard<std::mutex> lock(s.m);
  s.input_thread = thread;
  s.declared = thread != 0;
  flush_kept(s);
}

ThreadId input_thread() {
  InputState& s = state();
  std::lock_guard<std::mutex> lock(s.m);
  return s.input_thread;
}

void set_key_sink(KeySink sink) {
  InputState& s = state();
  std::lock_guard<std::mutex> lock(s.m);
  s.sink = std::move(sink);
}

std::uint16_t key_state(std::uint8_t virtual_key) {
  InputState& s = state();
  std::lock_guard<std::mutex> lock(s.m);
  std::uint16_t r = s.vk_down[virtual_key] ? 0x8000 : 0;
  if ((virtual_key == vk::kCapsLock && s.caps) || (virtual_key == vk::kNumLock && s.num) ||
      (virtual_key == vk::kScrollLock && s.scroll))
    r |= 1;
  return r;
}

bool set_lock_state(std::uint8_t virtual_key, bool on) {
  InputState& s = state();
  std::lock_guard<std::mutex> lock(s.m);
  switch (virtual_key) {
    case vk::kCapsLock: s.caps = on; return true;
    case vk::kNumLock: s.num = on; return true;
    case vk::kScrollLock: s.scroll = on; return true;
    default: return false;
  }
}

void reset_keyboard_input() {
  InputState& s = state();
  std::lock_guard<std::mutex> lock(s.m);
  s.input_thread = 0;
  s.declared = false;
  s.kept.clear();
  s.e0 = false;
  s.e1 = 0;
  s.scan_down.reset();
  s.vk_down.reset();
  s.caps = s.num = s.scroll = false;
}

namespace detail {

void dispatch_keystroke(const ThreadMessage& message) {
  if (run_keyboard_hooks(message.wparam, message.lparam)) return;
  KeySink sink;
  {
    InputState& s = state();
    std::lock_guard<std::mutex> lock(s.m);
    sink = s.sink;
  }
  if (sink) sink(static_cast<std::uint32_t>(message.wparam), keystroke_param(message.lparam));
}

void note_input_candidate(ThreadId thread) {
  InputState& s = state();
  std::lock_guard<std::mutex> lock(s.m);
  if (s.input_thread) return;
  s.input_thread = thread;
  flush_kept(s);
}

void forget_thread(ThreadId thread) {
  InputState& s = state();
  std::lock_guard<std::mutex> lock(s.m);
  if (s.input_thread == thread) {
    s.input_thread = 0;
    s.declared = false;
  }
}

void input_typed(std::uint8_t byte) {
  InputState& s = state();
  std::lock_guard<std::mutex> lock(s.m);
  if (byte == 0xE0) {
    s.e0 = true;
    return;
  }
  if (byte == 0xE1) {
    s.e0 = false;
    s.e1 = 2;
    return;
  }
  if (s.e1 == 2) {  // 1Dh or 9Dh of the pause sequence
    s.e1 = 1;
    return;
  }
  bool release = (byte & 0x80) != 0;
  std::uint8_t scan = byte & 0x7F;
  if (s.e1 == 1) {  // 45h or C5h: the Pause key
    s.e1 = 0;
    keystroke(s, scan, false, release, vk::kPause);
    return;
  }
  bool extended = s.e0;
  s.e0 = false;
  if (byte == 0x00 || byte == 0xFF) return;  // overrun and error codes are no keystrokes
  keystroke(s, scan, extended, release, key_for(scan, extended, s.num));
}

}  // namespace detail

}  // namespace platform
