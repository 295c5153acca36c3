// A library that installs a keyboard hook and takes the A key (scan code 1Eh).
#include "platform/hook.h"
#include "platform/input.h"

namespace {
platform::HookId g_hook = 0;
int g_taken = 0;
}  // namespace

extern "C" __attribute__((visibility("default"))) int catcher_install() {
  g_hook = platform::install_keyboard_hook([](int code, std::uintptr_t key, std::intptr_t param) -> std::intptr_t {
    if (code >= 0 && platform::keystroke_scan(platform::keystroke_param(param)) == 0x1E) {
      ++g_taken;
      return 1;
    }
    return platform::call_next_hook(g_hook, code, key, param);
  });
  return g_hook != 0;
}

extern "C" __attribute__((visibility("default"))) int catcher_remove() {
  return platform::remove_keyboard_hook(g_hook);
}

extern "C" __attribute__((visibility("default"))) int catcher_taken() { return g_taken; }
