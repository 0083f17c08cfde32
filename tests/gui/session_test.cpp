// A whole test cycle on page 0 of the Qt station, with the real dialogs,
// against the in-process simulated unit (an LX2 WorldSID with a fuel gauge)
// over loopback TCP: CONNECT fills the identity fields, the trigger selector,
// the test comment, the LED table with its ISO cells, the side selector and
// the battery gauge; a trigger choice and a comment reach the unit; ARM asks
// about the LEDs in error, the cable-disconnect prompt opens, the software
// trigger leads to a stored recording, and ERASE asks twice and shows its
// progress until the unit is ready again.
#include "ui/callbacks.h"
#include "ui/main_window.h"
#include "core/station.h"
#include "sim/commands.h"
#include "sim/unit.h"
#include "support/gui_station.h"
#include "support/testing.h"
#include "ui/layout.h"
#include "ui/qt/qt_operator.h"
#include "ui/qt/station_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

using namespace lumvex;

namespace {

// Answers every modal box as an operator would and keeps what they said:
// Yes to the questions, the second button ("Yes") of the second erase check,
// OK to the notes; records the progress box's title, label and highest value.
class BoxAnswerer : public QObject {
 public:
  QStringList boxes;  // "title: text" of every box answered
  QString progressTitle, progressLabel;
  int progressMax = -1;
  int progressSeen = 0;

  BoxAnswerer() {
    connect(&poll_, &QTimer::timeout, this, [this] { look(); });
    poll_.start(5);
  }

 private:
  void look() {
    QWidget* w = QApplication::activeModalWidget();
    if (auto* p = qobject_cast<QProgressDialog*>(w)) {
      progressTitle = p->windowTitle();
      progressLabel = p->labelText();
      progressMax = std::max(progressMax, p->value());
      ++progressSeen;
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box || !box->isVisible() || box == answered_) return;
    answered_ = box;
    boxes << box->windowTitle() + ": " + box->text();
    QAbstractButton* b = box->findChild<QPushButton*>("second");
    if (!b) b = box->button(QMessageBox::Yes);
    if (!b) b = box->button(QMessageBox::Ok);
    if (b) b->click();
  }

  QTimer poll_;
  // Boxes live on the stack of the operation that asks: the next one may
  // reuse the address of the last, but a guarded pointer forgets a closed box.
  QPointer<QMessageBox> answered_;
};

}  // namespace

class SessionTest : public QObject, protected testing::GuiStation<qt::QtOperator> {
  Q_OBJECT

 private:
  std::string unitProp(const char* key) {
    return sim_->withUnit([key](sim::UnitState& u) { return u.prop(key); });
  }

 private slots:
  void init() {
    makeWorkDir();
    startUnit([](sim::UnitState& u) {
      u.props["type"] = "WorldSID";
      u.props["serial"] = "150";
      u.props["firmware"] = "LX2 V8.0";
      u.props["config.flags"] = "32";
      u.props["comment"] = "sled 3";
      u.props["side"] = "RIGHT";
      u.props["leds.error"] = "4,11";
      u.props["battery.charge"] = "87";
      u.props["battery.volts"] = "12.6";
      u.storeMs = 50;
      u.eraseMs = 2500;  // ms: a few progress polls
    });
    if (QTest::currentTestFailed()) return;
    openStation();
  }

  void cleanup() { closeStation(); }

  void connectArmTriggerStoreAndEraseOnPageZero() {
    BoxAnswerer answer;
    auto* status = widget<QLineEdit>("STATUSBOX");
    auto* address = widget<QLineEdit>("IPADDRESS");
    address->setText(QString("127.0.0.1:%1").arg(port_));
    st_->model.setText(Ctl::IPADDRESS, address->text().toStdString());
    QTest::mouseClick(widget<QPushButton>("CONNECT"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Connected - Idle"), 5000);

    // Identity, trigger offers (LX2 with the differential inputs), comment.
    QCOMPARE(widget<QLineEdit>("LXtype")->text(), QString("WorldSID"));
    QCOMPARE(widget<QLineEdit>("SERNUM")->text(), QString("150"));
    QCOMPARE(widget<QLineEdit>("FIRMWARE")->text(), QString("LX2 V8.0"));
    QCOMPARE(widget<QLineEdit>("CALDATE")->text(), QString("12-Mar-2024"));
    auto* trigger = widget<QComboBox>("TRIGGER_SET");
    QVERIFY(trigger->isVisible() && trigger->isEnabled());
    QStringList offers;
    for (int i = 0; i < trigger->count(); ++i) offers << trigger->itemText(i);
    QCOMPARE(offers, QStringList({"Rising Edge", "Falling Edge", "Differential - Rising Edge",
                                  "Differential - Falling Edge"}));
    QCOMPARE(trigger->currentText(), QString("Rising Edge"));
    QCOMPARE(widget<QLineEdit>("TESTINFO")->text(), QString("sled 3"));

    // The LED table of a WorldSID unit with the right side's ISO cells.
    auto* table = widget<QTableWidget>("LED_TABLE");
    QCOMPARE(table->rowCount(), 18);
    QCOMPARE(table->item(3, 1)->text(), QString("2"));
    QCOMPARE(table->item(3, 2)->text(), QString("REAR"));
    QCOMPARE(table->item(16, 3)->text(), QString("1 1 ABRI RM 02 WS DS XYZ "));
    auto* side = widget<QComboBox>("LX_DIRECTION");
    QVERIFY(side->isVisible());
    QCOMPARE(side->currentText(), QString("Right Side"));

    // The battery of an LX2 unit with a fuel gauge.
    auto* gauge = widget<QProgressBar>("BATT_FUEL");
    QVERIFY(gauge->isVisible() && gauge->isEnabled());
    QCOMPARE(gauge->value(), 87);
    QCOMPARE(widget<QLineEdit>("BATT_VOLTS")->text(), QString("12.60"));
    QVERIFY(widget<QPushButton>("CHECK_BATT")->isVisible());

    // The operator picks the falling edge; the unit takes it and it is read back.
    emit trigger->activated(1);
    QTRY_COMPARE_WITH_TIMEOUT(unitProp("trigger"), std::string("1"), 3000);
    QTRY_VERIFY(answer.boxes.contains("note: Trigger Setting changed in Lumvex"));
    QCOMPARE(trigger->currentText(), QString("Falling Edge"));

    // A comment with a comma and a hash.
    auto* info = widget<QLineEdit>("TESTINFO");
    info->setFocus();
    info->selectAll();
    QTest::keyClicks(info, "sled 4, run #2");
    QTest::keyClick(info, Qt::Key_Return);
    QTRY_VERIFY(answer.boxes.contains("note: ATD information changed in Lumvex"));
    QCOMPARE(info->text(), QString("sled 4_ run #2"));
    QCOMPARE(unitProp("comment"), std::string("sled 4_ run \x03"
                                              "2"));

    // ARM: two LEDs report error codes, the question is answered Yes.
    auto* tpost = widget<QDoubleSpinBox>("TPOST");
    tpost->setValue(200);
    auto* arm = widget<QPushButton>("ARM_BUT");
    QCOMPARE(arm->text(), QString("ARM"));
    QTest::mouseClick(arm, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(arm->text(), QString("DISARM"), 3000);
    QVERIFY(answer.boxes.contains(
        "LED errors detected!:  2 LEDs are reporting error codes \nClick YES to continue to ARM\nClick NO to "
        "STOP and use Show Current XYZ's to see which LEDs are reporting errors"));
    QVERIFY(!answer.boxes.join('|').contains("BATTERY errors detected!"));
    auto* softTrigger = widget<QPushButton>("TRIGGER_BUT");
    QVERIFY(softTrigger->isVisible() && softTrigger->isEnabled());

    // The status timer sees the armed unit and opens the cable-disconnect prompt.
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Collecting Pre-Trigger Data"), 5000);
    QDialog* prompt = win_->panelDialog(Panel::CableDisconnect);
    QVERIFY(prompt);
    QTRY_VERIFY_WITH_TIMEOUT(prompt->isVisible(), 3000);
    QCOMPARE(prompt->windowTitle(), QString("Dummy Cable Disconnect"));
    QTest::mouseClick(prompt->findChild<QPushButton*>("STAY_CONN_BUTT"), Qt::LeftButton);
    QTRY_VERIFY(!prompt->isVisible());

    // Software trigger: the unit collects 200 ms, stores and holds the recording.
    QTest::mouseClick(softTrigger, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(sim_->status(), 3, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(widget<QLineEdit>("DATA_STOP")->text(), QString("200"), 5000);
    QCOMPARE(st_->session.SoftwareTriggerOffset, 4);
    auto* erase = widget<QPushButton>("ERASE_BUT");
    QVERIFY(erase->isEnabled());
    QCOMPARE(arm->text(), QString("ARM"));
    QVERIFY(!arm->isEnabled());

    // ERASE: both questions, the progress box, then ready again.
    QTest::mouseClick(erase, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(sim_->status(), 0, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!erase->isEnabled(), 5000);
    QCOMPARE(status->text(), QString("Connected - Idle"));
    QVERIFY(answer.boxes.contains("Erase Request: Are you sure you want to Erase memory"));
    QVERIFY(answer.boxes.contains("Erase Request second check: Are you sure you want to Erase memory"));
    QCOMPARE(answer.progressTitle, QString("ERASE Status"));
    QCOMPARE(answer.progressLabel, QString("Percent Complete"));
    QVERIFY(answer.progressMax > 0 && answer.progressMax < 100);
    QVERIFY(op_->progressBox() == nullptr);
    QCOMPARE(widget<QLineEdit>("DATA_STOP")->text(), QString("0"));
    QVERIFY(!answer.boxes.join('|').contains("ERASE FAILED"));
    QCOMPARE(arm->text(), QString("ARM"));
    QVERIFY(arm->isEnabled());
  }
};

QTEST_MAIN(SessionTest)
#include "session_test.moc"
