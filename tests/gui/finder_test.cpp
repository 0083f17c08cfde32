// The Qt station and a simulated unit on loopback: Find Lumvexs (red while it
// searches) -> the finder dialog over the window -> Change IP -> the new address
// in the connection list -> CONNECT there; and the adaptor dialog's OK.
#include "net_units.h"
#include "platform/ping.h"
#include "sim_station.h"
#include "support/gui_station.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>

using namespace lumvex;

class FinderTest : public QObject, protected testing::GuiStation<> {
  Q_OBJECT

 private slots:
  void init() {
    makeWorkDir();
    openStation();
    if (QTest::currentTestFailed()) return;
    units_ = std::make_unique<testing::LoopbackUnits>();
    QVERIFY(units_->changePort > 0);
    st_->discovery.network = units_->network(300);  // widgetType 0: a short beacon wait
    st_->discovery.network.ping = [](const std::string&, int) { return PingResult::NoAnswer; };
  }

  void cleanup() {
    closeStation();
    units_.reset();
  }

  void findChangeAndConnectAtTheNewAddress() {
    testing::NetUnit* unit = units_->add(units_->config(2), true);
    QVERIFY(unit);
    auto* listen = widget<QPushButton>("LISTEN");
    QVERIFY(listen && listen->isVisible());
    QString caption;
    QColor colour;
    op_->onEvents = [&] {
      if (!caption.isEmpty()) return;
      caption = listen->text();
      colour = listen->palette().color(QPalette::ButtonText);
    };
    QTest::mouseClick(listen, Qt::LeftButton);
    QDialog* finder = win_->panelDialog(Panel::Finder);
    QTRY_VERIFY_WITH_TIMEOUT(finder->isVisible(), 5000);
    op_->onEvents = nullptr;
    QCOMPARE(caption, QString("Finding Lumvexs, Please Wait\n this may take 15 seconds"));
    QCOMPARE(colour, QColor(Qt::red));
    QCOMPARE(listen->text(), QString("Find Lumvexs"));
    QCOMPARE(listen->palette().color(QPalette::ButtonText), QColor(Qt::black));

    QCOMPARE(finder->parentWidget(), win_.get());
    QVERIFY(finder->isModal());
    QCOMPARE(finder->windowTitle(), QString("Lumvex Finder"));
    const QString address = QString::fromStdString(units_->address(2));
    QCOMPARE(widget<QLabel>("FINDER_MSG")->text(), "Found 1 Lumvex on the network\n" + address + "\n");
    auto* list = widget<QListWidget>("FINDER_LIST");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), address);
    QCOMPARE(list->currentRow(), 0);
    auto* newIp = widget<QLineEdit>("FINDER_NEWIP");
    QCOMPARE(newIp->text(), QString("127.0.0."));

    const std::string moved = units_->address(77);
    newIp->setFocus();
    QTest::keyClick(newIp, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(newIp, QString::fromStdString(moved));
    QTest::mouseClick(widget<QPushButton>("FINDER__CHANGEIP"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!finder->isVisible(), 5000);
    QVERIFY(op_->messages().empty());

    auto* remembered = widget<QListWidget>("IPSELECT");
    QCOMPARE(remembered->count(), 1);
    QCOMPARE(remembered->item(0)->text(), QString::fromStdString(moved));
    QVERIFY(testing::SimStation::waitFor(
        [&] { return unit->net->address() == moved && !unit->net->restarting(); }, 5000));
    QTest::mouseClick(remembered->viewport(), Qt::LeftButton, {},
                      remembered->visualItemRect(remembered->item(0)).center());
    auto* ipAddress = widget<QLineEdit>("IPADDRESS");
    QTRY_COMPARE_WITH_TIMEOUT(ipAddress->text(), QString::fromStdString(moved), 2000);
    ipAddress->setFocus();
    QTest::keyClick(ipAddress, Qt::Key_End);
    QTest::keyClicks(ipAddress, ":" + QString::number(unit->tcpPort));
    QTest::keyClick(ipAddress, Qt::Key_Return);
    QTest::mouseClick(widget<QPushButton>("CONNECT"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(widget<QLineEdit>("STATUSBOX")->text(), QString("Connected - Idle"), 5000);
  }

  void nothingFoundOpensTheAdaptorDialogWhoseOkStoresTheChoice() {
    st_->ini.WidgetType = 1;
    QTest::mouseClick(widget<QPushButton>("LISTEN"), Qt::LeftButton);
    QDialog* adaptor = win_->panelDialog(Panel::Adaptor);
    QTRY_VERIFY_WITH_TIMEOUT(adaptor->isVisible(), 5000);
    QCOMPARE(adaptor->windowTitle(), QString("Lumvex Finder"));
    QVERIFY(widget<QLabel>("ADAPTOR_MSG")
                ->text()
                .startsWith("No Lumvexs found on Network Adaptor IP Address Default \n\n\nMake sure the "
                            "Lumvexs are plugged in"));
    auto* list = widget<QListWidget>("ADAPTOR_LIST");
    QVERIFY(list->count() > 0);
    const int row = list->count() - 1;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    QTRY_COMPARE_WITH_TIMEOUT(st_->model.index(Ctl::ADAPTOR_LIST), row, 2000);
    const QString chosen = list->item(row)->text();
    QTest::mouseClick(widget<QPushButton>("OKBUTTON"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!adaptor->isVisible(), 2000);
    QCOMPARE(QString::fromStdString(testing::readFile(dir_->file("MultipleNICs.ini"))),
             "[MultipleNICs]\r\nNIC To Use = \"" + chosen + "\"\r\n\r\n");
    QVERIFY(!win_->panelDialog(Panel::Finder)->isVisible());
  }

 private:
  std::unique_ptr<testing::LoopbackUnits> units_;
};

QTEST_MAIN(FinderTest)
#include "finder_test.moc"
