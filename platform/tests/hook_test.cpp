#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/hook.h"
#include "platform/input.h"
#include "platform/keyboard_link.h"
#include "platform/library.h"
#include "platform/queue.h"

using namespace platform;

namespace {

class Hook : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_keyboard_input();
    set_input_thread(current_thread_id());
    set_key_sink([this](std::uint32_t, std::uint32_t param) { sink.push_back(keystroke_scan(param)); });
  }
  void TearDown() override {
    for (HookId h : hooks) remove_keyboard_hook(h);
    set_key_sink(nullptr);
  }

  // A hook that logs its name and takes the keys in `takes`.
  HookId add(const std::string& name, std::vector<std::uint8_t> takes = {}) {
    auto id = std::make_shared<HookId>(0);
    *id = install_keyboard_hook([this, name, takes, id](int code, std::uintptr_t key, std::intptr_t param) -> std::intptr_t {
      std::uint8_t scan = keystroke_scan(keystroke_param(param));
      log.push_back(name + ":" + std::to_string(scan));
      if (code >= 0)
        for (auto t : takes)
          if (t == scan) return 1;
      return call_next_hook(*id, code, key, param);
    });
    hooks.push_back(*id);
    return *id;
  }

  void press(std::uint8_t scan) {
    keyboard_typed(scan);
    pump_messages();
  }

  std::vector<std::string> log;
  std::vector<std::uint8_t> sink;
  std::vector<HookId> hooks;
};

}  // namespace

TEST_F(Hook, NewestHookRunsFirstAndHandsOn) {
  add("old");
  add("new");
  press(0x10);
  EXPECT_EQ(log, (std::vector<std::string>{"new:16", "old:16"}));
  EXPECT_EQ(sink, (std::vector<std::uint8_t>{0x10}));
}

TEST_F(Hook, TakenKeystrokeGoesNoFurther) {
  add("old");
  add("new", {0x1E});
  press(0x1E);
  press(0x10);
  EXPECT_EQ(log, (std::vector<std::string>{"new:30", "new:16", "old:16"}));
  EXPECT_EQ(sink, (std::vector<std::uint8_t>{0x10}));
}

TEST_F(Hook, RemovedHookSeesNothing) {
  HookId a = add("a", {0x1E});
  add("b");
  EXPECT_TRUE(remove_keyboard_hook(a));
  EXPECT_FALSE(remove_keyboard_hook(a));
  press(0x1E);
  EXPECT_EQ(log, (std::vector<std::string>{"b:30"}));
  EXPECT_EQ(sink, (std::vector<std::uint8_t>{0x1E}));
}

TEST_F(Hook, HookRemovingItselfStillHandsOn) {
  add("old");
  auto self = std::make_shared<HookId>(0);
  *self = install_keyboard_hook([self](int code, std::uintptr_t key, std::intptr_t param) {
    remove_keyboard_hook(*self);
    return call_next_hook(*self, code, key, param);
  });
  press(0x10);
  press(0x11);
  EXPECT_EQ(log, (std::vector<std::string>{"old:16", "old:17"}));
  EXPECT_EQ(sink.size(), 2u);
}

TEST_F(Hook, CallNextAtTheEndOfTheChainGivesZero) {
  HookId only = add("only");
  EXPECT_EQ(call_next_hook(only, kHookAction, 0, 0), 0);
  EXPECT_EQ(call_next_hook(12345, kHookAction, 0, 0), 0);
  EXPECT_EQ(install_keyboard_hook(nullptr), 0u);
}

// The hook chain is one per process: a hook that one library installed sees the keystrokes that
// another library's message loop dispatches.
TEST_F(Hook, HookOfOneLibrarySeesKeystrokesPumpedByAnother) {
  Library catcher = Library::load("zpxhookcatcher");
  Library pumper = Library::load("zpxhookpumper");
  ASSERT_TRUE(catcher.loaded()) << catcher.error();
  ASSERT_TRUE(pumper.loaded()) << pumper.error();
  auto install = catcher.bind<int (*)()>("catcher_install");
  auto remove = catcher.bind<int (*)()>("catcher_remove");
  auto taken = catcher.bind<int (*)()>("catcher_taken");
  auto pump = pumper.bind<int (*)()>("pumper_pump");
  ASSERT_TRUE(install && remove && taken && pump);

  ASSERT_EQ(install(), 1);
  keyboard_typed(0x1E);
  keyboard_typed(0x10);
  EXPECT_EQ(pump(), 2);
  EXPECT_EQ(taken(), 1);
  EXPECT_EQ(sink, (std::vector<std::uint8_t>{0x10}));
  EXPECT_EQ(remove(), 1);
}
