#include "platform/hook.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/input_detail.h"

namespace platform {

namespace {

struct HookEntry {
  HookId id;
  KeyboardHookProc proc;
};

using Chain = std::vector<std::shared_ptr<const HookEntry>>;

std::mutex g_mutex;
Chain g_chain;  // newest first
std::atomic<HookId> g_next{1};

// The chain as it was when the keystroke now being run started, so that hooks that install or
// remove hooks while they run do not change who sees this keystroke.
thread_local const Chain* t_running = nullptr;

Chain snapshot() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_chain;
}

std::intptr_t call_from(const Chain& chain, std::size_t index, int code, std::uintptr_t vk, std::intptr_t param) {
  if (index >= chain.size()) return 0;
  const Chain* outer = t_running;
  t_running = &chain;
  std::intptr_t r = chain[index]->proc(code, vk, param);
  t_running = outer;
  return r;
}

}  // namespace

HookId install_keyboard_hook(KeyboardHookProc proc) {
  if (!proc) return 0;
  auto entry = std::make_shared<HookEntry>(HookEntry{g_next++, std::move(proc)});
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_chain.insert(g_chain.begin(), entry);
  }
  detail::note_input_candidate(current_thread_id());
  return entry->id;
}

bool remove_keyboard_hook(HookId hook) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = std::find_if(g_chain.begin(), g_chain.end(), [hook](const auto& e) { return e->id == hook; });
  if (it == g_chain.end()) return false;
  g_chain.erase(it);
  return true;
}

std::intptr_t call_next_hook(HookId current, int code, std::uintptr_t virtual_key, std::intptr_t param) {
  Chain live;
  const Chain* chain = t_running;
  if (!chain) {
    live = snapshot();
    chain = &live;
  }
  auto it = std::find_if(chain->begin(), chain->end(), [current](const auto& e) { return e->id == current; });
  if (it == chain->end()) return 0;
  return call_from(*chain, static_cast<std::size_t>(it - chain->begin()) + 1, code, virtual_key, param);
}

bool run_keyboard_hooks(std::uintptr_t virtual_key, std::intptr_t param) {
  Chain chain = snapshot();
  return call_from(chain, 0, kHookAction, virtual_key, param) != 0;
}

}  // namespace platform
