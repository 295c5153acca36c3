#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/input.h"
#include "platform/keyboard_link.h"
#include "platform/queue.h"

using namespace platform;

namespace {

struct Seen {
  std::uint32_t key;
  std::uint32_t param;
  bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Seen& s) {
  return os << std::hex << "{vk " << s.key << ", param " << s.param << "}";
}

class Input : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_keyboard_input();
    set_input_thread(current_thread_id());
    set_key_sink([this](std::uint32_t key, std::uint32_t param) { seen.push_back({key, param}); });
  }
  void TearDown() override { set_key_sink(nullptr); }

  std::vector<Seen> type(const std::vector<std::uint8_t>& bytes) {
    seen.clear();
    for (auto b : bytes) keyboard_typed(b);
    pump_messages();
    return seen;
  }

  std::vector<Seen> seen;
};

constexpr std::uint32_t kDownAgain = kKeyWasDown;
constexpr std::uint32_t kUp = kKeyRelease | kKeyWasDown;

}  // namespace

TEST_F(Input, TypedBytesBecomeKeystrokes) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::vector<Seen> expected;
  };
  const Case cases[] = {
      {"press and release", {0x1E, 0x9E}, {{'A', 0x001E0001}, {'A', 0xC01E0001}}},
      {"repeat has the previous state", {0x02, 0x02, 0x82},
       {{'1', 0x00020001}, {'1', 0x00020001 | kDownAgain}, {'1', 0x00020001 | kUp}}},
      {"E0 marks extended keys", {0xE0, 0x48, 0xE0, 0xC8}, {{0x26, 0x01480001}, {0x26, 0xC1480001}}},
      {"E0 applies to one byte only", {0xE0, 0x1D, 0x1D}, {{vk::kControl, 0x011D0001}, {vk::kControl, 0x001D0001}}},
      {"Alt held", {0x38, 0x1E, 0x9E, 0xB8},
       {{vk::kAlt, 0x20380001}, {'A', 0x201E0001}, {'A', 0xE01E0001}, {vk::kAlt, 0xC0380001}}},
      {"right Alt counts as Alt", {0xE0, 0x38, 0x10}, {{vk::kAlt, 0x21380001}, {'Q', 0x20100001}}},
      {"pause sequence is one key", {0xE1, 0x1D, 0x45, 0xE1, 0x9D, 0xC5},
       {{vk::kPause, 0x00450001}, {vk::kPause, 0xC0450001}}},
      {"release never seen pressed", {0x9E}, {{'A', 0x801E0001}}},
      {"overrun and error codes", {0x00, 0xFF, 0x1E}, {{'A', 0x001E0001}}},
      {"marker scan codes pass as they are", {0x63, 0xE3}, {{0, 0x00630001}, {0, 0xC0630001}}},
  };
  for (const Case& c : cases) {
    reset_keyboard_input();
    set_input_thread(current_thread_id());
    EXPECT_EQ(type(c.bytes), c.expected) << c.what;
  }
}

TEST_F(Input, KeyStatesFollowTheKeystrokes) {
  type({0x2A, 0x1D});
  EXPECT_EQ(key_state(vk::kLeftShift) & 0x8000, 0x8000);
  EXPECT_EQ(key_state(vk::kShift) & 0x8000, 0x8000);
  EXPECT_EQ(key_state(vk::kLeftControl) & 0x8000, 0x8000);
  EXPECT_EQ(key_state(vk::kAlt), 0);
  type({0xAA, 0x9D, 0xE0, 0x1D});
  EXPECT_EQ(key_state(vk::kLeftShift), 0);
  EXPECT_EQ(key_state(vk::kShift), 0);
  EXPECT_EQ(key_state(vk::kLeftControl), 0);  // right Ctrl is not the left one
  EXPECT_EQ(key_state(vk::kControl) & 0x8000, 0x8000);
  // The keyboard's extended Shift (E0 2A) is not a Shift key.
  type({0xE0, 0x9D, 0xE0, 0x2A});
  EXPECT_EQ(key_state(vk::kShift), 0);
}

TEST_F(Input, LockKeysToggleOnPressOnly) {
  type({0x3A, 0x3A, 0xBA});  // the repeat does not toggle again
  EXPECT_EQ(key_state(vk::kCapsLock) & 1, 1);
  type({0x3A, 0xBA, 0x45, 0xC5, 0x46, 0xC6});
  EXPECT_EQ(key_state(vk::kCapsLock) & 1, 0);
  EXPECT_EQ(key_state(vk::kNumLock) & 1, 1);
  EXPECT_EQ(key_state(vk::kScrollLock) & 1, 1);
  type({0xE1, 0x1D, 0x45, 0xE1, 0x9D, 0xC5});  // Pause is not Num Lock
  EXPECT_EQ(key_state(vk::kNumLock) & 1, 1);

  EXPECT_TRUE(set_lock_state(vk::kNumLock, false));
  EXPECT_TRUE(set_lock_state(vk::kCapsLock, true));
  EXPECT_EQ(key_state(vk::kNumLock) & 1, 0);
  EXPECT_EQ(key_state(vk::kCapsLock) & 1, 1);
  EXPECT_FALSE(set_lock_state(vk::kShift, true));
}

TEST_F(Input, KeypadKeysFollowNumLock) {
  EXPECT_EQ(virtual_key(0x4B, false), 0x25);  // Left
  set_lock_state(vk::kNumLock, true);
  EXPECT_EQ(virtual_key(0x4B, false), 0x64);  // keypad 4
  EXPECT_EQ(virtual_key(0x4B, true), 0x25);   // the separate arrow key
}

TEST_F(Input, KeystrokesFromOtherThreadsReachTheInputThread) {
  std::thread([] {
    keyboard_typed(0x1E);
    keyboard_typed(0x9E);
  }).join();
  pump_messages();
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(Input, KeystrokesWaitForAnInputThread) {
  reset_keyboard_input();
  keyboard_typed(0x1E);
  std::vector<Seen> got;
  std::thread([&] {
    set_key_sink([&](std::uint32_t key, std::uint32_t param) { got.push_back({key, param}); });
    pump_messages();  // the first thread to look at its queue becomes the input thread
  }).join();
  EXPECT_EQ(got, (std::vector<Seen>{{'A', 0x001E0001}}));
  EXPECT_EQ(input_thread(), 0u);  // that thread has ended
}
