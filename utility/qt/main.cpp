// r4t: the download utility.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/msgbox.h"
#include "platform/text1252.h"
#include "utility/qt/main_window.h"
#include "utility/qt/platform_bridge.h"

namespace {

bool has_display() {
  const char* d = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (d && *d) || (w && *w);
}

platform::MsgAnswer show_box(const platform::MsgBox& m) {
  using platform::MsgAnswer;
  using platform::MsgButtons;
  QMessageBox box;
  box.setWindowTitle(r4t::from1252(m.caption));
  box.setText(r4t::from1252(m.text));
  switch (m.icon) {
    case platform::MsgIcon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case platform::MsgIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case platform::MsgIcon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case platform::MsgIcon::Error:
      box.setIcon(QMessageBox::Critical);
      break;
    case platform::MsgIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
  }
  QMessageBox::StandardButtons buttons;
  switch (m.buttons) {
    case MsgButtons::Ok:
      buttons = QMessageBox::Ok;
      break;
    case MsgButtons::OkCancel:
      buttons = QMessageBox::Ok | QMessageBox::Cancel;
      break;
    case MsgButtons::YesNo:
      buttons = QMessageBox::Yes | QMessageBox::No;
      break;
    case MsgButtons::YesNoCancel:
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      break;
    case MsgButtons::RetryCancel:
      buttons = QMessageBox::Retry | QMessageBox::Cancel;
      break;
  }
  box.setStandardButtons(buttons);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return MsgAnswer::Yes;
    case QMessageBox::No:
      return MsgAnswer::No;
    case QMessageBox::Cancel:
      return MsgAnswer::Cancel;
    case QMessageBox::Retry:
      return MsgAnswer::Retry;
    default:
      return MsgAnswer::Ok;
  }
}

// An exception that escapes an event handler is shown and the program goes on.
class Application : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      platform::message_box(e.what(), "R4T Download Utility", platform::MsgButtons::Ok,
                            platform::MsgIcon::Error);
    } catch (...) {
      platform::message_box("Unknown error", "R4T Download Utility", platform::MsgButtons::Ok,
                            platform::MsgIcon::Error);
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::string tail = r4t::Controller::tail_from_arguments(args);
  const bool automatic = r4t::automatic_requested(tail);
  bool interactive = true;
  if (!has_display() && !std::getenv("QT_QPA_PLATFORM")) {
    if (!automatic) {
      std::fputs("r4t: no display: set DISPLAY, or run unattended with the switch /A\n", stderr);
      return 2;
    }
    // Unattended over a terminal: no window to show and nobody to answer a question.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    interactive = false;
  }
  if (std::getenv("QT_QPA_PLATFORM") &&
      std::strcmp(std::getenv("QT_QPA_PLATFORM"), "offscreen") == 0)
    interactive = false;
  Application app(argc, argv);
  QApplication::setApplicationName("R4T Download Utility");
  r4t::PlatformBridge bridge;  // hooks, timers and typed keys of the platform while idle
  if (interactive) platform::set_message_presenter(show_box);
  r4t::MainWindow window(tail);
  window.set_title("R4T Download Utility");
  window.set_unattended(!interactive);
  window.show();
  const int code = app.exec();
  if (!interactive) {
    // Nobody saw the window: say how the run ended.
    std::fprintf(stderr, "r4t: %s\n", platform::cp1252_to_utf8(window.status()).c_str());
  }
  return code;
}
