// TForm1: the download utility's main window. It holds no logic: every event goes to the
// controller, which changes the window through the View interface.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <memory>

#include "utility/controller.h"

namespace r4t {

QString from1252(const std::string& text);
std::string to1252(const QString& text);

class MainWindow : public QWidget, public View {
  Q_OBJECT
 public:
  explicit MainWindow(const std::string& command_line, QWidget* parent = nullptr);
  ~MainWindow() override;

  Controller& controller() { return *controller_; }
  int exit_code() const { return exit_code_; }
  const std::string& title() const { return title_; }
  // Without anybody to look at the window, a run that the automatic mode does not end is ended
  // with exit code 1 instead of waiting for ever.
  void set_unattended(bool unattended) { unattended_ = unattended; }

  // View
  void set_status(const std::string& text) override;
  std::string status() const override;
  std::string file_name() const override;
  void set_file_name(const std::string& text) override;
  std::string interface_text() const override;
  void set_interface_text(const std::string& text) override;
  void set_enabled(Button b, bool enabled) override;
  void set_visible(Button b, bool visible) override;
  void set_busy(bool busy) override;
  void set_progress(int percent) override;
  void set_title(const std::string& title) override;
  void start_timer() override;
  void stop_timer() override;
  bool choose_file(const std::string& folder, const std::string& name,
                   std::string& chosen) override;
  void repaint() override;
  void quit(int code) override;

 signals:
  void finished(int code);

 protected:
  void showEvent(QShowEvent* e) override;
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  QPushButton* button(Button b) const;

  QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
  QComboBox* ComboBox1;
  QLineEdit* Edit1;
  QToolButton* SpeedButton1;
  QPushButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6;
  QStatusBar* StatusBar1;
  QProgressBar* ProgressBar1;
  QTimer* Timer1;
  std::unique_ptr<Controller> controller_;
  std::string title_;
  bool shown_once_ = false;
  bool unattended_ = false;
  bool quitting_ = false;
  int exit_code_ = 0;
};

}  // namespace r4t
