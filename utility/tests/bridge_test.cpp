#include <QApplication>
#include <QLineEdit>
#include <QtTest>

#include "platform/input.h"
#include "platform/keyboard_link.h"
#include "utility/qt/platform_bridge.h"

// Keystrokes the keyboard types reach the focused control through Qt's own event loop.
class BridgeTest : public QObject {
  Q_OBJECT
 private slots:
  void typedKeysLandInTheFocusedControl() {
    r4t::PlatformBridge bridge;
    QLineEdit edit;
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    // "V3.1" on the US layout: Shift+v, 3, ., 1 (make and break codes of scan code set 1).
    for (std::uint8_t b : {0x2A, 0x2F, 0xAF, 0xAA, 0x04, 0x84, 0x34, 0xB4, 0x02, 0x82}) platform::keyboard_typed(b);
    QTRY_COMPARE_WITH_TIMEOUT(edit.text(), QString("V3.1"), 5000);
  }
};

QTEST_MAIN(BridgeTest)
#include "bridge_test.moc"
