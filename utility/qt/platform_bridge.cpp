#include "utility/qt/platform_bridge.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "platform/input.h"
#include "platform/queue.h"

namespace r4t {

namespace {

// Shift and Caps Lock as the keystrokes that reach the sink left them, in their order (the
// platform's key state already reflects keystrokes still waiting in the queue).
bool g_shift = false;
bool g_caps = false;
bool shifted() { return g_shift; }
bool caps() { return g_caps; }

}  // namespace

QString PlatformBridge::text_of(std::uint32_t vk, std::uint32_t param) {
  const bool release = param & 0x80000000u;
  if (vk == platform::vk::kShift || vk == platform::vk::kLeftShift || vk == platform::vk::kRightShift) {
    g_shift = !release;
    return {};
  }
  if (vk == platform::vk::kCapsLock) {
    if (!release && !(param & 0x40000000u)) g_caps = !g_caps;
    return {};
  }
  if (release) return {};  // a release types nothing
  const bool shift = shifted();
  if (vk >= 'A' && vk <= 'Z') {
    const bool upper = shift != caps();
    return QString(QChar(upper ? static_cast<char>(vk) : static_cast<char>(vk + 32)));
  }
  if (vk >= '0' && vk <= '9') {
    static const char kShiftedDigits[] = ")!@#$%^&*(";
    return QString(QChar(shift ? kShiftedDigits[vk - '0'] : static_cast<char>(vk)));
  }
  switch (vk) {
    case 0x20: return " ";
    case 0x0D: return "\n";
    case 0xBC: return shift ? "<" : ",";
    case 0xBD: return shift ? "_" : "-";
    case 0xBE: return shift ? ">" : ".";
    case 0xBF: return shift ? "?" : "/";
    case 0xBA: return shift ? ":" : ";";
    case 0xBB: return shift ? "+" : "=";
  }
  return {};
}

PlatformBridge::PlatformBridge(QObject* parent) : QObject(parent) {
  g_caps = platform::key_state(platform::vk::kCapsLock) & 0x0001;
  platform::set_input_thread(platform::current_thread_id());
  platform::set_key_sink([](std::uint32_t vk, std::uint32_t param) {
    const QString text = text_of(vk, param);
    QWidget* target = QApplication::focusWidget();
    if (text.isEmpty() || !target) return;
    const int key = text == "\n" ? static_cast<int>(Qt::Key_Return) : static_cast<int>(text.at(0).toUpper().unicode());
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text == "\n" ? QString("\r") : text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text == "\n" ? QString("\r") : text);
    QApplication::sendEvent(target, &release);
  });
  notifier_ = new QSocketNotifier(platform::queue_fd(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [] { platform::pump_messages(); });
}

PlatformBridge::~PlatformBridge() { platform::set_key_sink(nullptr); }

}  // namespace r4t
