#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "utility/qt/main_window.h"

// The main window in a folder of its own, so that no r4t.ini or registry of the machine counts.
class WindowTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir dir_;
  QString old_;

  template <typename T>
  static T* child(const QWidget& w, const char* name) {
    auto* c = w.findChild<T*>(name);
    if (!c) qFatal("no control %s", name);
    return c;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    old_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    qputenv("ZPX_REGISTRY", QFile::encodeName(dir_.filePath("none.reg")));
  }
  void cleanupTestCase() { QDir::setCurrent(old_); }
  void cleanup() { QFile::remove(dir_.filePath("r4t.ini")); }

  void controlsAsSpecified() {
    r4t::MainWindow w("");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.size(), QSize(330, 185));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.windowTitle(), QString("R4T Download Utility "));
    auto* combo = child<QComboBox>(w, "ComboBox1");
    QVERIFY(combo->isEditable());
    QCOMPARE(combo->currentText(), QString("AT / PS2"));
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    QCOMPARE(items, QStringList({"AT / PS2", "USB", "COM1", "COM2", "COM3", "COM4"}));
    QCOMPARE(child<QLineEdit>(w, "Edit1")->text(), QString("test.zpx"));
    struct {
      const char* name;
      const char* caption;
      bool visible, enabled;
    } buttons[] = {{"Button1", "&Compile", true, false},
                   {"Button2", "&Write to Kbd", true, true},
                   {"Button3", "&Read from Kbd", false, true},
                   {"Button4", "&Exit", true, true},
                   {"Button5", "...", false, true},
                   {"Button6", "&About", true, true}};
    for (const auto& b : buttons) {
      auto* button = child<QPushButton>(w, b.name);
      QCOMPARE(button->text(), QString(b.caption));
      QVERIFY2(button->isVisible() == b.visible, b.name);
      QVERIFY2(button->isEnabled() == b.enabled, b.name);
    }
    QVERIFY(child<QWidget>(w, "SpeedButton1")->isVisible());
    QCOMPARE(child<QLabel>(w, "Label5")->text(), QString("&Interface:"));
    QCOMPARE(child<QLabel>(w, "Label5")->buddy(), combo);
    QCOMPARE(child<QLabel>(w, "Label4")->text(), QString("&Filename:"));
    QCOMPARE(child<QLabel>(w, "Label4")->buddy(), child<QWidget>(w, "Edit1"));
    for (const char* label : {"Label1", "Label2", "Label3"})
      QVERIFY(!child<QLabel>(w, label)->text().isEmpty());
    auto* progress = child<QProgressBar>(w, "ProgressBar1");
    auto* status = child<QStatusBar>(w, "StatusBar1");
    QVERIFY(!progress->isVisible());
    QVERIFY(status->isVisible());
    QCOMPARE(progress->geometry(), status->geometry());
    QCOMPARE(status->geometry().bottom(), w.rect().bottom());
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 100);
  }

  void tabOrder() {
    r4t::MainWindow w("");
    const QStringList order = {"ComboBox1", "Edit1",   "Button5", "Button1",
                               "Button2",   "Button3", "Button4", "Button6"};
    // The named controls in the order of the focus chain, from ComboBox1 once round.
    QStringList chain;
    QWidget* first = child<QWidget>(w, "ComboBox1");
    QWidget* at = first;
    do {
      if (order.contains(at->objectName()) && !chain.contains(at->objectName()))
        chain << at->objectName();
      at = at->nextInFocusChain();
    } while (at != first);
    QCOMPARE(chain, order);
  }

  void readButtonShownByIniFile() {
    QFile ini(dir_.filePath("r4t.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[R4T]\nUPLOAD=1\nFile=keys.ZPF\nInterface=COM3\n");
    ini.close();
    r4t::MainWindow w("");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(child<QPushButton>(w, "Button3")->isVisible());
    QCOMPARE(child<QComboBox>(w, "ComboBox1")->currentText(), QString("COM3"));
    QVERIFY(child<QPushButton>(w, "Button1")->isEnabled());
    QVERIFY(!child<QPushButton>(w, "Button3")->isEnabled());
  }

  void typingANameEnablesButtons() {
    r4t::MainWindow w("");
    w.show();
    auto* edit = child<QLineEdit>(w, "Edit1");
    edit->clear();
    QTest::keyClicks(edit, "keys.zpf");
    QVERIFY(child<QPushButton>(w, "Button1")->isEnabled());
    QVERIFY(!child<QPushButton>(w, "Button2")->isEnabled());
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, "s");
    QVERIFY(!child<QPushButton>(w, "Button1")->isEnabled());
    QVERIFY(child<QPushButton>(w, "Button2")->isEnabled());
  }

  void busyIndication() {
    r4t::MainWindow w("");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.set_busy(true);
    w.set_progress(40);
    QVERIFY(child<QProgressBar>(w, "ProgressBar1")->isVisible());
    QVERIFY(!child<QStatusBar>(w, "StatusBar1")->isVisible());
    QCOMPARE(child<QProgressBar>(w, "ProgressBar1")->value(), 40);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    w.set_busy(false);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!child<QProgressBar>(w, "ProgressBar1")->isVisible());
    QVERIFY(child<QStatusBar>(w, "StatusBar1")->isVisible());
  }

  void statusShowsWindows1252Texts() {
    r4t::MainWindow w("");
    struct {
      const char* bytes;
      const char* shown;
    } cases[] = {{" Error: Can\xB4t load ZPXC32.DLL !", " Error: Can\xC2\xB4t load ZPXC32.DLL !"},
                 {" \x80 \x93x\x94 \xFC", " \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xC3\xBC"}};
    for (const auto& k : cases) {
      w.set_status(k.bytes);
      QCOMPARE(child<QStatusBar>(w, "StatusBar1")->currentMessage(), QString::fromUtf8(k.shown));
      QCOMPARE(w.status(), std::string(k.bytes));
    }
  }

  void dropTakesTheFirstFile() {
    r4t::MainWindow w("");
    w.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/first.zpf"), QUrl::fromLocalFile("/tmp/second.zpx")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    QCOMPARE(child<QLineEdit>(w, "Edit1")->text(), QString("/tmp/first.zpf"));
    QVERIFY(child<QPushButton>(w, "Button1")->isEnabled());
    // A name with letters beyond ASCII reaches the controller as the file system's bytes.
    data.setUrls({QUrl::fromLocalFile(QString::fromUtf8("/tmp/j\xC3\xB6rg/\xE2\x82\xAC.zpx"))});
    QDragEnterEvent enter_utf8(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                               Qt::NoModifier);
    QApplication::sendEvent(&w, &enter_utf8);
    QDropEvent drop_utf8(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop_utf8);
    QCOMPARE(w.file_name(), std::string("/tmp/j\xC3\xB6rg/\xE2\x82\xAC.zpx"));
    // The text fields leave dropped files to the window.
    QVERIFY(!child<QLineEdit>(w, "Edit1")->acceptDrops());
    // Text without files is no drop of a file.
    QMimeData text;
    text.setText("hello");
    QDragEnterEvent enter_text(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton,
                               Qt::NoModifier);
    QApplication::sendEvent(&w, &enter_text);
    QVERIFY(!enter_text.isAccepted());
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
