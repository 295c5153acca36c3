#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include "utility/qt/main_window.h"

class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  void controlsAsSpecified() {
    r4t::MainWindow w("");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.size(), QSize(330, 185));
    QCOMPARE(w.windowTitle(), QString("R4T Download Utility "));
    QCOMPARE(w.findChild<QComboBox*>("ComboBox1")->currentText(), QString("AT / PS2"));
    QCOMPARE(w.findChild<QComboBox*>("ComboBox1")->count(), 6);
    QCOMPARE(w.findChild<QLineEdit*>("Edit1")->text(), QString("test.zpx"));
    struct {
      const char* name;
      const char* caption;
      bool visible;
    } buttons[] = {{"Button1", "&Compile", true},    {"Button2", "&Write to Kbd", true},
                   {"Button3", "&Read from Kbd", false}, {"Button4", "&Exit", true},
                   {"Button5", "...", false},         {"Button6", "&About", true}};
    for (const auto& b : buttons) {
      auto* button = w.findChild<QPushButton*>(b.name);
      QVERIFY2(button, b.name);
      QCOMPARE(button->text(), QString(b.caption));
      QCOMPARE(button->isVisible(), b.visible);
    }
    QCOMPARE(w.findChild<QLabel*>("Label5")->text(), QString("&Interface:"));
    QCOMPARE(w.findChild<QLabel*>("Label4")->text(), QString("&Filename:"));
    QVERIFY(!w.findChild<QProgressBar*>("ProgressBar1")->isVisible());
    QVERIFY(w.findChild<QStatusBar*>("StatusBar1")->isVisible());
    QVERIFY(!w.findChild<QPushButton*>("Button1")->isEnabled());
    QVERIFY(w.findChild<QPushButton*>("Button2")->isEnabled());
  }

  void typingANameEnablesButtons() {
    r4t::MainWindow w("");
    w.show();
    auto* edit = w.findChild<QLineEdit*>("Edit1");
    edit->clear();
    QTest::keyClicks(edit, "keys.zpf");
    QVERIFY(w.findChild<QPushButton*>("Button1")->isEnabled());
    QVERIFY(!w.findChild<QPushButton*>("Button2")->isEnabled());
  }

  void statusShowsWindows1252Texts() {
    r4t::MainWindow w("");
    w.set_status(" Error: Can\xB4t load ZPXC32.DLL !");
    QCOMPARE(w.findChild<QStatusBar*>("StatusBar1")->currentMessage(),
             QString::fromUtf8(" Error: Can\xC2\xB4t load ZPXC32.DLL !"));
    QCOMPARE(w.status(), std::string(" Error: Can\xB4t load ZPXC32.DLL !"));
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
    QCOMPARE(w.findChild<QLineEdit*>("Edit1")->text(), QString("/tmp/first.zpf"));
    QVERIFY(w.findChild<QPushButton*>("Button1")->isEnabled());
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
