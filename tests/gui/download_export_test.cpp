// The Qt station downloads a recording from the in-process simulated unit and
// exports it: clicking DOWNLOAD on page 0 lands on the Export page with the
// source texts of the Export and Plot pages filled and the export button
// enabled; clicking EXPORT writes the CSV the operator named.
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
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace lumvex;

class DownloadExportTest : public QObject, protected testing::GuiStation<> {
  Q_OBJECT

 private slots:
  void init() {
    makeWorkDir();
    startUnit([](sim::UnitState& u) {
      u.props["type"] = "SIDIIs";
      u.props["serial"] = "42";
      u.props["firmware"] = "V7.3";
      u.props["window.start"] = "-100";
      u.props["window.stop"] = "200";
      u.status = 3;
    });
    if (QTest::currentTestFailed()) return;
    openStation();
  }

  void cleanup() { closeStation(); }

  void downloadLandsOnTheExportPageAndExportWritesTheFile() {
    auto* address = widget<QLineEdit>("IPADDRESS");
    QVERIFY(address);
    address->clear();
    QTest::keyClicks(address, QString("127.0.0.1:%1").arg(port_));
    QTest::keyClick(address, Qt::Key_Return);
    QTest::mouseClick(widget<QPushButton>("CONNECT"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(widget<QLineEdit>("STATUSBOX")->text(), QString("Connected - Idle"), 3000);
    QVERIFY(!widget<QPushButton>("EXPORT_BUT")->isEnabled());

    st_->model.setNumber(Ctl::DL_START_TIME, -20);
    st_->model.setNumber(Ctl::DL_STOP_TIME, 30);
    QTest::mouseClick(widget<QPushButton>("DOWNLOAD_BUT"), Qt::LeftButton);
    auto* tabs = widget<QTabWidget>("TAB");
    QTRY_COMPARE_WITH_TIMEOUT(tabs->currentIndex(), pageIndex(Panel::Export), 3000);
    QCOMPARE(widget<QLineEdit>("EXPORT_STATUS")->text(), QString("Downloaded Lumvex Data in Memory"));
    QCOMPARE(widget<QLineEdit>("PLOT_SOURCE")->text(), QString("Downloaded Lumvex Data in Memory"));
    QVERIFY(widget<QPushButton>("EXPORT_BUT")->isEnabled());
    QCOMPARE(widget<QLineEdit>("STATUSBOX")->text(), QString("Connected - Idle"));
    QCOMPARE(st_->data.ChannelData.SampleCount, 501);

    const std::string path = dir_->file("gui run.csv");
    op_->fileAnswers.push_back(path);
    QTest::mouseClick(widget<QPushButton>("EXPORT_BUT"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(op_->showed("Export Status", "Export Successful"), 3000);
    const std::string csv = testing::readFile(dir_->file("gui run.CSV"));
    QVERIFY(csv.rfind("Lumvex Type: SIDIIs,,,,,,", 0) == 0);
    QCOMPARE(static_cast<int>(std::count(csv.begin(), csv.end(), '\r')), 4 + 501);
  }
};

QTEST_MAIN(DownloadExportTest)
#include "download_export_test.moc"
