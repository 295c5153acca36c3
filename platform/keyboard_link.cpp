#include "platform/keyboard_link.h"

#include <mutex>

#include "platform/input_detail.h"

// The in-process virtual keyboard, when it is part of the library.
std::shared_ptr<platform::KeyboardLink> vkbd_default_link() __attribute__((weak));

namespace platform {

namespace {

std::mutex g_mutex;
std::shared_ptr<KeyboardLink> g_installed;
std::shared_ptr<KeyboardLink> g_default;

}  // namespace

void set_keyboard_link(std::shared_ptr<KeyboardLink> link) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_installed = std::move(link);
}

std::shared_ptr<KeyboardLink> keyboard_link() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_installed) return g_installed;
    if (g_default) return g_default;
  }
  if (!vkbd_default_link) return nullptr;
  // Created outside the lock: the virtual keyboard may type while it starts.
  auto created = vkbd_default_link();
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_installed) return g_installed;
  if (!g_default) g_default = std::move(created);
  return g_default;
}

void keyboard_typed(std::uint8_t scancode) {
  if (detail::capture_typed(scancode)) return;
  detail::input_typed(scancode);
}

}  // namespace platform
