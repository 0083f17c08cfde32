// The Qt station against the in-process simulated unit over loopback TCP:
// one click on CONNECT reaches the address remembered last; typing the unit's
// address and clicking CONNECT shows "Connected - Idle" in
// dark green with the identity fields filled, the software-trigger button
// follows an arm made by the unit itself through the status timer, and
// clicking again disconnects.
#include "ui/callbacks.h"
#include "ui/main_window.h"
#include "core/station.h"
#include "sim/commands.h"
#include "sim/unit.h"
#include "support/gui_station.h"
#include "support/testing.h"
#include "ui/layout.h"
#include "ui/qt/station_window.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace lumvex;

class ConnectTest : public QObject, protected testing::GuiStation<> {
  Q_OBJECT

 private slots:
  void init() {
    makeWorkDir();
    startUnit([](sim::UnitState& u) {
      u.props["type"] = "SIDIIs";
      u.props["serial"] = "42";
      u.props["firmware"] = "V7.3";
    });
    if (QTest::currentTestFailed()) return;
    // As scripts/run leaves it: the simulated unit's address last in the list.
    testing::writeFile(dir_->file("reinit.txt"),
                       "192.168.100.5\r\n127.0.0.1:" + std::to_string(port_) + "\r\n");
    openStation();
  }

  void cleanup() { closeStation(); }

  void oneClickReachesTheLastRememberedAddress() {
    auto* connect = widget<QPushButton>("CONNECT");
    auto* status = widget<QLineEdit>("STATUSBOX");
    QVERIFY(connect && status);
    QCOMPARE(widget<QLineEdit>("IPADDRESS")->text(), QString("127.0.0.1:%1").arg(port_));
    QCOMPARE(status->text(), QString("Disconnected"));
    QTest::mouseClick(connect, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Connected - Idle"), 3000);
    QCOMPARE(connect->text(), QString("DISCONNECT"));
    QVERIFY(op_->messages().empty());
  }

  void clickingConnectShowsConnectedIdleInDarkGreen() {
    auto* address = widget<QLineEdit>("IPADDRESS");
    auto* connect = widget<QPushButton>("CONNECT");
    auto* status = widget<QLineEdit>("STATUSBOX");
    QVERIFY(address && connect && status);
    address->clear();
    QTest::keyClicks(address, QString("127.0.0.1:%1").arg(port_));
    QTest::keyClick(address, Qt::Key_Return);
    QTest::mouseClick(connect, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Connected - Idle"), 3000);
    QCOMPARE(status->palette().color(QPalette::Text), QColor(0x00, 0x80, 0x00));
    QCOMPARE(connect->text(), QString("DISCONNECT"));
    QCOMPARE(widget<QLineEdit>("LXtype")->text(), QString("SIDIIs"));
    QCOMPARE(widget<QLineEdit>("SERNUM")->text(), QString("42"));
    QVERIFY(op_->messages().empty());

    // The unit arms itself: the status timer sees it and the prompt opens.
    sim_->arm(0, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Collecting Pre-Trigger Data"), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(st_->model.panel(Panel::CableDisconnect).visible, 1000);
    QVERIFY(widget<QPushButton>("TRIGGER_BUT")->isVisible());

    QTest::mouseClick(connect, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Disconnected"), 3000);
    QCOMPARE(connect->text(), QString("CONNECT"));
  }
};

QTEST_MAIN(ConnectTest)
#include "connect_test.moc"
