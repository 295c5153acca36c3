#include "utility/qt/main_window.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QStyle>
#include <QUrl>

#include "platform/clock.h"
#include "platform/text1252.h"

namespace r4t {

QString from1252(const std::string& text) {
  return QString::fromStdString(platform::cp1252_to_utf8(text));
}
std::string to1252(const QString& text) { return platform::utf8_to_cp1252(text.toStdString()); }

// File names are the file system's bytes, not texts of the code page: a name such as
// "/home/jörg/keys.zpf" must reach the libraries as the bytes that open the file.
QString from_file_name(const std::string& name) {
  return QFile::decodeName(QByteArray::fromStdString(name));
}
std::string to_file_name(const QString& name) { return QFile::encodeName(name).toStdString(); }

namespace {

template <typename W>
W* make(QWidget* parent, const char* name, int x, int y, int w, int h) {
  auto* widget = new W(parent);
  widget->setObjectName(name);
  widget->setGeometry(x, y, w, h);
  return widget;
}

QPushButton* push(QWidget* parent, const char* name, const char* caption, int x, int y, int w) {
  auto* b = make<QPushButton>(parent, name, x, y, w, 25);
  b->setText(caption);
  return b;
}

}  // namespace

MainWindow::MainWindow(const std::string& command_line, QWidget* parent) : QWidget(parent) {
  setObjectName("Form1");
  setWindowTitle("R4T Download Utility ");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(330, 185);
  setAcceptDrops(true);

  Label1 = make<QLabel>(this, "Label1", 8, 8, 220, 17);
  Label1->setText("Zelk POS keyboards");
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label2 = make<QLabel>(this, "Label2", 8, 25, 220, 17);
  Label2->setText("Keytable compiler and download");
  Label3 = make<QLabel>(this, "Label3", 8, 42, 220, 17);
  Label3->setText("Service technician's utility");

  Label5 = make<QLabel>(this, "Label5", 8, 72, 68, 22);
  Label5->setText("&Interface:");
  ComboBox1 = make<QComboBox>(this, "ComboBox1", 80, 72, 120, 22);
  ComboBox1->setEditable(true);
  ComboBox1->addItems({"AT / PS2", "USB", "COM1", "COM2", "COM3", "COM4"});
  ComboBox1->setCurrentText("AT / PS2");
  ComboBox1->lineEdit()->setAcceptDrops(false);
  Label5->setBuddy(ComboBox1);

  Label4 = make<QLabel>(this, "Label4", 8, 102, 68, 22);
  Label4->setText("&Filename:");
  Edit1 = make<QLineEdit>(this, "Edit1", 80, 102, 216, 22);
  Edit1->setText("test.zpx");
  Edit1->setAcceptDrops(false);  // a dropped file goes to the window, not into the text
  Label4->setBuddy(Edit1);
  SpeedButton1 = make<QToolButton>(this, "SpeedButton1", 300, 102, 22, 22);
  SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  SpeedButton1->setToolTip("Select File");
  SpeedButton1->setFocusPolicy(Qt::NoFocus);
  Button5 = push(this, "Button5", "...", 300, 102, 22);
  Button5->setVisible(false);

  Button6 = push(this, "Button6", "&About", 247, 8, 75);
  Button1 = push(this, "Button1", "&Compile", 8, 134, 66);
  Button2 = push(this, "Button2", "&Write to Kbd", 78, 134, 84);
  Button3 = push(this, "Button3", "&Read from Kbd", 166, 134, 94);
  Button3->setVisible(false);
  Button4 = push(this, "Button4", "&Exit", 264, 134, 58);

  StatusBar1 = make<QStatusBar>(this, "StatusBar1", 0, 166, 330, 19);
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setStyleSheet("QStatusBar { border-top: 1px solid palette(mid); }");
  ProgressBar1 = make<QProgressBar>(this, "ProgressBar1", 0, 166, 330, 19);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setVisible(false);

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setSingleShot(true);
  Timer1->setInterval(static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(platform::real_duration(1000))
          .count()));

  setTabOrder(ComboBox1, Edit1);
  setTabOrder(Edit1, Button5);
  setTabOrder(Button5, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);
  setTabOrder(Button3, Button4);
  // The progress bar stands between Button4 and Button6 in the tab order but never takes the
  // focus, so the focus goes from Button4 straight to Button6.
  setTabOrder(Button4, Button6);

  controller_ = std::make_unique<Controller>(*this);
  controller_->set_command_line(command_line);

  connect(Edit1, &QLineEdit::textChanged, this, [this] { controller_->update_buttons(); });
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { controller_->file_dialog(); });
  connect(Button5, &QPushButton::clicked, this, [this] { controller_->file_dialog(); });
  connect(Button1, &QPushButton::clicked, this, [this] { controller_->compile(); });
  connect(Button2, &QPushButton::clicked, this, [this] { controller_->write(); });
  connect(Button3, &QPushButton::clicked, this, [this] { controller_->read(); });
  connect(Button4, &QPushButton::clicked, this, [this] { controller_->exit_clicked(); });
  connect(Timer1, &QTimer::timeout, this, [this] {
    controller_->timer();
    if (unattended_ && !quitting_) quit(1);
  });
  // The information window comes with a later version; until then the button says so.
  connect(Button6, &QPushButton::clicked, this, [this] {
    QMessageBox::information(this, "R4T Info", "The information window is not built yet.");
  });
  Button4->installEventFilter(this);
  controller_->update_buttons();
}

MainWindow::~MainWindow() = default;

void MainWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!shown_once_) {
    shown_once_ = true;
    controller_->form_show();
    controller_->update_buttons();
    if (unattended_ && !Timer1->isActive()) QTimer::singleShot(0, this, [this] { quit(1); });
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
  if (watched == Button4 && e->type() == QEvent::FocusOut)
    controller_->release_library();  // Button4Exit
  return QWidget::eventFilter(watched, e);
}

bool MainWindow::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) controller_->update_buttons();
  return QWidget::event(e);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
  std::vector<std::string> paths;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(to_file_name(url.toLocalFile()));
  controller_->drop_files(paths);
  e->acceptProposedAction();
}

QPushButton* MainWindow::button(Button b) const {
  switch (b) {
    case Button::Compile:
      return Button1;
    case Button::Write:
      return Button2;
    case Button::Read:
      return Button3;
  }
  return Button1;
}

void MainWindow::set_status(const std::string& text) { StatusBar1->showMessage(from1252(text)); }
std::string MainWindow::status() const { return to1252(StatusBar1->currentMessage()); }
std::string MainWindow::file_name() const { return to_file_name(Edit1->text()); }
void MainWindow::set_file_name(const std::string& text) {
  Edit1->setText(from_file_name(text));
  controller_->update_buttons();
}
std::string MainWindow::interface_text() const { return to1252(ComboBox1->currentText()); }
void MainWindow::set_interface_text(const std::string& text) {
  ComboBox1->setCurrentText(from1252(text));
}
void MainWindow::set_enabled(Button b, bool enabled) { button(b)->setEnabled(enabled); }
void MainWindow::set_visible(Button b, bool visible) { button(b)->setVisible(visible); }

void MainWindow::set_busy(bool busy) {
  if (busy) {
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(true);
    StatusBar1->setVisible(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
    ProgressBar1->setVisible(false);
    StatusBar1->setVisible(true);
  }
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::set_progress(int percent) {
  ProgressBar1->setValue(percent);
  ProgressBar1->repaint();
}

void MainWindow::set_title(const std::string& title) {
  // The application title is what a task bar shows for the program, not the window caption:
  // here the icon name of the main window.
  title_ = title;
  setWindowIconText(from1252(title));
}

void MainWindow::start_timer() { Timer1->start(); }
void MainWindow::stop_timer() { Timer1->stop(); }

bool MainWindow::choose_file(const std::string& folder, const std::string& name,
                             std::string& chosen) {
  QFileDialog dialog(this, "Select File", from_file_name(folder));
  // Each filter is its description followed by its patterns; the dialog shows the descriptions.
  dialog.setNameFilters({"Zelk Files (*.zpf)(*.zpx) (*.zpx *.zpf)", "ZPX File (*.zpx) (*.zpx)",
                         "ZPF File (*.zpf) (*.zpf)", "All Files (*.*) (*)"});
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.selectFile(from_file_name(name));
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  chosen = to_file_name(dialog.selectedFiles().front());
  return true;
}

void MainWindow::repaint() { QWidget::repaint(); }

void MainWindow::quit(int code) {
  exit_code_ = code;
  quitting_ = true;
  emit finished(code);
  QApplication::exit(code);
}

}  // namespace r4t
