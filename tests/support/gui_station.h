// The Qt tests' fixture: a working folder holding the station's configuration
// files, a station laid out with its callbacks bound, its main window shown
// offscreen and started, and optionally an in-process simulated unit on an
// ephemeral loopback port. A test class derives from it beside QObject and
// calls these steps from its init() and cleanup() slots; a failed step fails
// the test in progress.
#pragma once

#include "ui/callbacks.h"
#include "ui/main_window.h"
#include "core/station.h"
#include "support/scripted_operator.h"
#include "sim/commands.h"
#include "sim/unit.h"
#include "support/testing.h"
#include "ui/layout.h"
#include "ui/qt/station_window.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>

namespace lumvex::testing {

// Runs `act` on the next modal dialog once it is open (polled every 10 ms, at most 3 s).
inline void onModal(std::function<void(QWidget*)> act) {
  auto* poll = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, [poll, act, tries] {
    QWidget* w = QApplication::activeModalWidget();
    if (w && w->isVisible()) {
      poll->stop();
      poll->deleteLater();
      act(w);
    } else if (++*tries > 300) {
      poll->stop();
      poll->deleteLater();
    }
  });
  poll->start(10);
}

template <typename Operator = ScriptedOperator>
class GuiStation {
 protected:
  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<sim::Simulator> sim_;
  std::unique_ptr<Operator> op_;
  std::unique_ptr<Station> st_;
  std::unique_ptr<qt::StationWindow> win_;
  int port_ = -1;

  template <typename W>
  W* widget(const char* name) {
    return win_->findChild<W*>(name);
  }
  template <typename W>
  static W* widget(const qt::StationWindow& win, const char* name) {
    return win.findChild<W*>(name);
  }

  // A fresh working folder holding the files the station reads at start-up.
  void makeWorkDir() {
    dir_ = std::make_unique<TempDir>();
    for (const char* f : {"Lumvex_8_0.ini", "MultipleNICs.ini", "isotestobject.txt"})
      writeFile(dir_->file(f), readFile(sourcePath(std::string("config/") + f)));
  }

  // The simulated unit, set up by `setUp` before it listens, serving on port_.
  void startUnit(const std::function<void(sim::UnitState&)>& setUp) {
    sim_ = std::make_unique<sim::Simulator>(sim::DefaultCommands());
    sim_->withUnit(setUp);
    port_ = sim_->listenTcp("127.0.0.1", 0);
    QVERIFY(port_ > 0);
    QVERIFY(sim_->start());
  }

  // The station working in dir_, its window shown and the station started.
  void openStation() {
    op_ = std::make_unique<Operator>();
    st_ = std::make_unique<Station>(*op_);
    st_->workDir = dir_->path();
    LoadMainLayout(st_->model);
    BindCallbacks(*st_);
    win_ = std::make_unique<qt::StationWindow>(st_->model);
    // The Qt operator's boxes open over the window.
    if constexpr (requires(Operator & o, QWidget * w) { o.setParent(w); }) op_->setParent(win_.get());
    win_->show();
    QVERIFY(QTest::qWaitForWindowExposed(win_.get()));
    QCOMPARE(StartStation(*st_), 0);
  }

  // Everything above, in the reverse order.
  void closeStation() {
    win_.reset();
    st_.reset();
    op_.reset();
    if (sim_) sim_->stop();
    sim_.reset();
    dir_.reset();
  }
};

}  // namespace lumvex::testing
