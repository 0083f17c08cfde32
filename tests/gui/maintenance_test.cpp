// Unit maintenance in the Qt station with its real dialogs, against the
// in-process simulated unit: the impact-side switch of an older WorldSID unit
// asks its question and shows the upload's progress box; an edit in the 50th
// ADJ unit's LED table shows the save and cancel buttons and dims DOWNLOAD
// until it is saved; the autocheck page is absent while the switch is off and
// present, filled and marking deviations, when it is on.
#include "sim/unit.h"
#include "sim/wsid_model.h"
#include "support/gui_station.h"
#include "support/testing.h"
#include "ui/qt/qt_operator.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace lumvex;

namespace {

// The Qt operator, noting every progress box it opened as it was shown.
class NotingOperator : public qt::QtOperator {
 public:
  QStringList progressShown;  // "title: label" of each box, once visible
  std::vector<double> percents;
  void progressOpen(std::string_view title, std::string_view label, bool cancelButton) override {
    QtOperator::progressOpen(title, label, cancelButton);
    if (progressBox() && progressBox()->isVisible())
      progressShown << progressBox()->windowTitle() + ": " + progressBox()->labelText();
  }
  bool progressUpdate(double percent) override {
    percents.push_back(percent);
    return QtOperator::progressUpdate(percent);
  }
};

// Answers each message box as the operator would: the second button of a
// two-button box ("Load Cal File"), else Yes or OK.
class BoxAnswerer : public QObject {
 public:
  QStringList boxes;  // "title: text"
  BoxAnswerer() {
    connect(&poll_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible() || box == answered_) return;
      answered_ = box;
      boxes << box->windowTitle() + ": " + box->text();
      QAbstractButton* b = box->findChild<QPushButton*>("second");
      if (!b) b = box->button(QMessageBox::Yes);
      if (!b) b = box->button(QMessageBox::Ok);
      if (b) b->click();
    });
    poll_.start(5);
  }

 private:
  QTimer poll_;
  QPointer<QMessageBox> answered_;
};

}  // namespace

class MaintenanceTest : public QObject, protected testing::GuiStation<NotingOperator> {
  Q_OBJECT

 private:
  void connectTo(const std::function<void(sim::UnitState&)>& setUp) {
    startUnit(setUp);
    openStation();
    st_->model.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(port_));
    QTest::mouseClick(widget<QPushButton>("CONNECT"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(widget<QLineEdit>("STATUSBOX")->text(), QString("Connected - Idle"), 5000);
  }
  std::string unitProp(const char* key) {
    return sim_->withUnit([key](sim::UnitState& u) { return u.prop(key); });
  }

 private slots:
  void init() { makeWorkDir(); }
  void cleanup() { closeStation(); }

  void sideSwitchAsksThenShowsTheUploadProgress() {
    QCOMPARE(
        sim::wsidWriteCalibrationFile(dir_->path(), "150", "02-Feb-2024", "Right Side", DummyWorldSID50th, 0),
        0);
    BoxAnswerer answer;
    connectTo([](sim::UnitState& u) {
      u.props = {{"type", "WorldSID"},
                 {"serial", "150"},
                 {"firmware", "V7.3"},
                 {"side", "LEFT"},
                 {"caldate", "01-Jan-2024"},
                 {"caldate.left", "01-Jan-2024"},
                 {"caldate.right", "02-Feb-2024"}};
    });
    auto* side = widget<QComboBox>("LX_DIRECTION");
    QCOMPARE(side->currentText(), QString("Left Side"));
    side->setCurrentIndex(1);
    emit side->activated(1);
    QTRY_COMPARE_WITH_TIMEOUT(unitProp("side"), std::string("RIGHT"), 10000);
    QTRY_VERIFY(answer.boxes.contains("Cal Load Response: OK"));
    QVERIFY(answer.boxes.first().startsWith(
        "Lumvex Direction Change: This will load a calibration file into the Lumvex\n"));
    QCOMPARE(op_->progressShown, QStringList({"File Upload Status: Percent Complete"}));
    QCOMPARE(op_->percents, (std::vector<double>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
    QVERIFY(op_->progressBox() == nullptr);
    QTRY_COMPARE(side->currentText(), QString("Right Side"));
    QCOMPARE(widget<QLineEdit>("CALDATE")->text(), QString("02-Feb-2024"));
  }

  void ledTableEditShowsTheButtonsAndDimsDownloadUntilSaved() {
    connectTo([](sim::UnitState& u) {
      u.props = {{"type", "Hybrid III 50th ADJ"}, {"serial", "57"}, {"firmware", "V7.3"}};
      u.status = 3;  // a recording held: DOWNLOAD is offered
    });
    auto* download = widget<QPushButton>("DOWNLOAD_BUT");
    auto* save = widget<QPushButton>("SAVE_LED_INFO");
    QVERIFY(download->isEnabled());
    QVERIFY(!save->isVisible());
    auto* table = widget<QTableWidget>("LED_TABLE");
    auto* rib = qobject_cast<QComboBox*>(table->cellWidget(4, 1));
    QVERIFY(rib);
    rib->setCurrentIndex(2);
    emit rib->activated(2);  // LED 5 to rib 3
    QTRY_VERIFY(save->isVisible());
    QVERIFY(widget<QPushButton>("CANCEL_LED_CHANGES")->isVisible());
    QVERIFY(!download->isEnabled());
    QCOMPARE(table->item(4, 3)->text().mid(4, 10), QString("RIBS 03 LE"));

    QTest::mouseClick(save, Qt::LeftButton);
    QTRY_VERIFY(!save->isVisible());
    QVERIFY(download->isEnabled());
    QCOMPARE(unitProp("leds.rib.saved"), std::string("1,2,3,4,3,6,1,2,3,4,5,6,"));
  }

  void autocheckPageOnlyWithTheSwitchOn() {
    auto lx2 = [](sim::UnitState& u) { u.props = {{"type", "WorldSID"}, {"firmware", "LX2 V8.0"}}; };
    connectTo(lx2);
    auto* tabs = widget<QTabWidget>("TAB");
    const int page = pageIndex(Panel::AutoCheck);
    QVERIFY(tabs->isTabVisible(pageIndex(Panel::Live)));
    QVERIFY(!tabs->isTabVisible(page));
    QTest::mouseClick(widget<QPushButton>("CONNECT"), Qt::LeftButton);
    QTRY_COMPARE(widget<QLineEdit>("STATUSBOX")->text(), QString("Disconnected"));
    closeStation();

    // Switched on, with references 5 mm off for LED 2's X.
    makeWorkDir();
    testing::writeFile(dir_->file("AutoPosnCheck.ini"),
                       testing::readFile(testing::sourcePath("config/AutoPosnCheck.ini")));
    std::string golden;
    for (int i = 0; i < 54; ++i)
      golden += std::to_string(20.0 * (i % 3) + 3.5 * (i / 3 + 1) + 0.25 + (i == 3 ? 5 : 0)) + ",";
    startUnit([&](sim::UnitState& u) {
      lx2(u);
      u.props["golden"] = golden;
    });
    openStation();
    st_->ini.AutoCheckSwitchedOn = 1;  // as AutoCheck_On = 1 in Lumvex_8_0.ini
    st_->model.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(port_));
    QTest::mouseClick(widget<QPushButton>("CONNECT"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(widget<QLineEdit>("STATUSBOX")->text(), QString("Connected - Idle"), 5000);
    tabs = widget<QTabWidget>("TAB");
    QVERIFY(tabs->isTabVisible(page));
    QCOMPARE(tabs->tabText(page), QString("LED Position Auto Check"));
    tabs->setCurrentIndex(page);
    QCOMPARE(widget<QTableWidget>("GOLDEN_POSN_TABLE")->item(1, 1)->text(), QString("12.25"));
    QCOMPARE(widget<QTableWidget>("AUTOCHECK_ERROR_LIM")->item(0, 0)->text(), QString("4"));
    QTest::mouseClick(widget<QPushButton>("AUTOCK_CURR_POSNS"), Qt::LeftButton);
    auto* current = widget<QTableWidget>("CURR_POSN_TABLE");
    QTRY_COMPARE(current->item(1, 0)->text(), QString("7.25"));
    QCOMPARE(current->item(1, 0)->background().color(), QColor(Qt::yellow));
    QCOMPARE(current->item(1, 1)->background().color(), QColor(Qt::white));
  }
};

QTEST_MAIN(MaintenanceTest)
#include "maintenance_test.moc"
