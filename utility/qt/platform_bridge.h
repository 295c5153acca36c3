// Joins the platform's message queue to Qt's event loop: while r4t is idle, a socket notifier
// on the queue's descriptor drains it, so keyboard hooks and thread timers keep working, and
// keystrokes no hook takes are typed into the focused control (as the keyboard types its
// version text into the information window).
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>

class QWidget;

namespace r4t {

class PlatformBridge : public QObject {
  Q_OBJECT
 public:
  explicit PlatformBridge(QObject* parent = nullptr);
  ~PlatformBridge() override;

  // The text a keystroke types (virtual key and keystroke parameter), empty for none.
  static QString text_of(std::uint32_t virtual_key, std::uint32_t param);

 private:
  QSocketNotifier* notifier_;
};

}  // namespace r4t
