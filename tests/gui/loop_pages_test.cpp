// The Diagnostics, Trigger Test and Live Display pages of the Qt station
// against the in-process simulated unit: each page's loop starts with its page
// and ends when it is left, the I/O check's lamps and readings follow the
// switches, a test button shows its box and ends the check, the trigger check
// arms, stops and sees a trigger, the live display's ovals move, keep the
// operator's zoom until START and stop with the window; the status timer comes
// back. The loops run inside the tab's commit, so each test acts from timer
// steps that run inside the loop; a watchdog ends every loop if a step never comes.
#include "link/link.h"
#include "sim/unit.h"
#include "support/gui_station.h"
#include "ui/qt/lamp.h"
#include "ui/qt/live_view.h"
#include "ui/qt/qt_operator.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

using namespace lumvex;

namespace {

constexpr int kLivePage = 2, kDiagnosticsPage = 3, kTriggerPage = 5;

// Steps run in order from a 10 ms timer, each once its condition holds; a step
// that waits longer than 10 s fails the script and clears every run flag, so
// that a loop that would not end still does. A step may start a loop inside
// its action: the following steps then run inside that loop.
class Script : public QObject {
 public:
  struct Step {
    const char* what;
    std::function<bool()> ready;
    std::function<void()> act;
  };
  Script(Station& st, std::vector<Step> steps) : st_(st), steps_(std::move(steps)) {
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start(10);
    clock_.start();
  }
  bool done() const { return next_ == steps_.size() || !failed_.isEmpty(); }
  QString failed() const { return failed_; }

 private:
  void poll() {
    if (done()) return timer_.stop();
    Step& s = steps_[next_];
    if (s.ready()) {
      ++next_;
      clock_.restart();
      if (s.act) s.act();
    } else if (clock_.elapsed() > 10000) {
      failed_ = QString("step never came: ") + s.what;
      st_.session.demoRunning = st_.session.ioCheckRunning = st_.session.triggerTestRunning = 0;
    }
  }
  Station& st_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  QString failed_;
  QTimer timer_;
  QElapsedTimer clock_;
};

// Answers every message box with OK and keeps "title: text" of each.
class BoxAnswerer : public QObject {
 public:
  QStringList boxes;
  BoxAnswerer() {
    connect(&poll_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible() || box == answered_) return;
      answered_ = box;
      boxes << box->windowTitle() + ": " + box->text();
      if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
    });
    poll_.start(5);
  }

 private:
  QTimer poll_;
  QPointer<QMessageBox> answered_;  // forgets a closed box whose address is reused
};

}  // namespace

class LoopPagesTest : public QObject, protected testing::GuiStation<qt::QtOperator> {
  Q_OBJECT

  int sent(const std::string& name) {
    int n = 0;
    for (const auto& l : sim_->received())
      if (l.substr(0, l.find('#')) == name) ++n;
    return n;
  }
  void connectUnit() {
    st_->model.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(port_));
    QTest::mouseClick(widget<QPushButton>("CONNECT"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(st_->model.text(Ctl::STATUSBOX), std::string("Connected - Idle"), 5000);
  }
  void click(const char* control) { QTest::mouseClick(widget<QPushButton>(control), Qt::LeftButton); }
  bool lit(const char* lamp) {
    auto* l = dynamic_cast<qt::Lamp*>(widget<QWidget>(lamp));
    return l && l->isOn();
  }
  // Runs the script to its end; the loops it starts run inside this wait.
  void run(Script& s) {
    QTRY_VERIFY_WITH_TIMEOUT(s.done(), 60000);
    QVERIFY2(s.failed().isEmpty(), qPrintable(s.failed()));
  }

 private slots:
  void init() { makeWorkDir(); }
  void cleanup() { closeStation(); }

  void diagnosticsPageRunsTheCheckShowsItsReadingsAndATestEndsIt() {
    startUnit([](sim::UnitState& u) {
      u.props["type"] = "WorldSID";
      u.props["serial"] = "150";
      u.props["firmware"] = "LX2 V8.0";
    });
    openStation();
    connectUnit();
    QTabWidget* tabs = win_->tabs();
    QVERIFY(!tabs->isTabVisible(kDiagnosticsPage));
    click("COPYWRITEBUT");
    QTRY_VERIFY(tabs->isTabVisible(kDiagnosticsPage));

    auto* button = widget<QPushButton>("CHECKIOBUT");
    auto* reading = widget<QLineEdit>("S1A");
    QVERIFY(button && reading);
    BoxAnswerer boxes;
    bool timerDuring = true;
    int getioAtClick = 0, getioAtLamp = -1;
    const int observer = st_->model.observe([&](const ModelChange& ch) {
      if (ch.control == Ctl::TRIGIN_LED && st_->model.number(Ctl::TRIGIN_LED) != 0 && getioAtLamp < 0)
        getioAtLamp = sent("GETIO");
    });
    Script s(
        *st_,
        {{"the check runs", [&] { return button->text() == "Stop" && sent("GETIO") >= 3; },
          [&] {
            timerDuring = win_->statusTimer().isActive();
            QVERIFY(!lit("TRIGIN_LED"));
            widget<QDoubleSpinBox>("LEDDRIVE")->setValue(10);
            getioAtClick = sent("GETIO");
            click("TRIGGEROUT_SW");
          }},
         // LED 1 lit at drive 10 reads far above the sensor's dark level
         {"the lamp lights and LED 1 shows on sensor 1",
          [&] { return lit("TRIGIN_LED") && reading->text().toInt() > 200; }, [&] { click("RAMTEST"); }},
         {"the test's box, the check ended",
          [&] { return !boxes.boxes.isEmpty() && st_->session.ioCheckRunning == 0; },
          [&] { click("CHECKIOBUT"); }},
         {"the button runs it again", [&] { return st_->session.ioCheckRunning && button->text() == "Stop"; },
          [&] { tabs->setCurrentIndex(0); }},
         {"leaving the page ends it", [&] { return st_->session.ioCheckRunning == 0; }, nullptr}});
    tabs->setCurrentIndex(kDiagnosticsPage);
    run(s);
    st_->model.unobserve(observer);
    QCOMPARE(getioAtLamp - getioAtClick, 1);  // the next pass's input word lights it
    QVERIFY(!timerDuring);
    QCOMPARE(boxes.boxes, QStringList{"Ram Check: Ram is OK"});
    QCOMPARE(sent("RAMTEST"), 1);
    QTRY_COMPARE(button->text(), QString("Check I/O"));
    QVERIFY(win_->statusTimer().isActive());
    const int getio = sent("GETIO");
    QTest::qWait(200);
    QCOMPARE(sent("GETIO"), getio);
  }

  void triggerCheckArmsStopsAndSeesATrigger() {
    startUnit([](sim::UnitState& u) {
      u.props["type"] = "WorldSID";
      u.props["serial"] = "150";
      u.props["triggercheck.after"] = "-1";  // a trigger only when the test asks for one
    });
    openStation();
    connectUnit();
    click("COPYWRITEBUT");
    QTRY_VERIFY(win_->tabs()->isTabVisible(kTriggerPage));
    auto* button = widget<QPushButton>("TRIGGER_CHECK");
    QVERIFY(button);
    Script s(
        *st_,
        {{"the loop waits",
          [&] { return st_->session.triggerTestRunning && button->text() == "Start Trigger Check"; },
          [&] { click("TRIGGER_CHECK"); }},
         {"armed", [&] { return lit("TRIG_ARMED") && button->text() == "Stop Trigger Check"; },
          [&] { click("TRIGGER_CHECK"); }},
         {"stopped", [&] { return !lit("TRIG_ARMED") && button->text() == "Start Trigger Check"; },
          [&] {
            click("TRIGGER_CHECK");
            sim_->withUnit([](sim::UnitState& u) { u.props["triggercheck.pulse"] = "1"; });
          }},
         {"the trigger came",
          [&] { return lit("TRIG_LED") && !lit("TRIG_ARMED") && button->text() == "Start Trigger Check"; },
          [&] { win_->tabs()->setCurrentIndex(0); }},
         {"leaving the page ends the loop", [&] { return st_->session.triggerTestRunning == 0; }, nullptr}});
    win_->tabs()->setCurrentIndex(kTriggerPage);
    run(s);
    QCOMPARE(sent("ARMTRIGGER"), 2);
    QVERIFY(sent("TRIGGERCHECK") >= 1);
    QVERIFY(win_->statusTimer().isActive());
  }

  void liveDisplayMovesItsOvalsKeepsTheZoomAndEndsWithItsPageAndTheWindow() {
    startUnit([](sim::UnitState& u) {
      u.props["type"] = "WorldSID";
      u.props["serial"] = "150";
      u.props["positions.breath"] = "1";
      u.props["positions.period"] = "1000";
    });
    openStation();
    connectUnit();
    auto* plot = widget<qt::LiveWidget>("LIVE_GRAPH");
    auto* start = widget<QPushButton>("DEMO_BUT");
    QVERIFY(plot && start);
    // The first LED's oval: the legend's ovals lie parked far left.
    auto firstLed = [plot]() -> QPointF {
      for (int i = 0; i < plot->itemCount(); ++i)
        if (auto* e = qobject_cast<QCPItemEllipse*>(plot->item(i));
            e && e->visible() && e->topLeft->coords().x() > -900)
          return e->topLeft->coords();
      return {};
    };
    QPointF firstAt;
    int queries = 0, queriesAtClose = 0;
    bool timerDuring = true;
    auto range = [plot] { return std::make_pair(plot->xAxis->range().lower, plot->xAxis->range().upper); };
    Script s(*st_, {{"18 LEDs and 6 legend ovals", [&] { return plot->ovalCount() == 24; },
                     [&] {
                       QCOMPARE(plot->legend->itemCount(), 6);
                       timerDuring = win_->statusTimer().isActive();
                       firstAt = firstLed();
                       plot->xAxis->setRange(-20, 20);  // as the operator's zoom leaves it
                       queries = sent("CURRENT_POSITIONS");
                     }},
                    {"three passes later, the first oval moved",
                     [&] { return sent("CURRENT_POSITIONS") >= queries + 3 && firstLed() != firstAt; },
                     [&] {
                       QCOMPARE(range(), std::make_pair(-20.0, 20.0));
                       click("DEMO_BUT");  // STOP
                     }},
                    {"stopped", [&] { return st_->session.demoRunning == 0 && start->text() == "START"; },
                     [&] { click("DEMO_BUT"); }},
                    {"restarted at the start ranges",
                     [&] { return st_->session.demoRunning && range() == std::make_pair(-165.0, 165.0); },
                     [&] { win_->tabs()->setCurrentIndex(0); }},
                    // The loop ends after its pass and gives the timer back.
                    {"leaving the page ends it",
                     [&] { return st_->session.demoRunning == 0 && win_->statusTimer().isActive(); },
                     [&] { win_->tabs()->setCurrentIndex(kLivePage); }},
                    {"back on the page", [&] { return st_->session.demoRunning && start->text() == "STOP"; },
                     [&] {
                       queriesAtClose = sent("CURRENT_POSITIONS");
                       win_->close();
                     }},
                    {"the window's close ends it", [&] { return st_->session.demoRunning == 0; }, nullptr}});
    win_->tabs()->setCurrentIndex(kLivePage);
    run(s);
    QVERIFY(!timerDuring);
    QVERIFY(st_->quitRequested);
    QVERIFY(!LinkOpen(*st_));
    QVERIFY(sent("CURRENT_POSITIONS") - queriesAtClose <= 1);  // at most the pass under way
    // 0 and 1 around each run but the last, whose link the close ended
    QCOMPARE(sent("MANARMENABLE"), 5);
  }
};

QTEST_MAIN(LoopPagesTest)
#include "loop_pages_test.moc"
