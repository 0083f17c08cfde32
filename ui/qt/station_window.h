// The station's main window in Qt: renders the control model (the tab pages,
// every control, the pop-up panels, the status timer) and keeps it in step
// through Model::observe. Operator actions store their value in the model and
// run the control's commit from the event loop; the window's activation and
// close reach the model as main-panel events.
#pragma once

#include "platform/model.h"
#include "ui/qt/control_views.h"

#include <QDialog>
#include <QGroupBox>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <vector>

namespace lumvex::qt {

class StationWindow : public QWidget {
  Q_OBJECT

 public:
  explicit StationWindow(Model& m, QWidget* parent = nullptr);
  ~StationWindow() override;

  QTabWidget* tabs() const { return tabs_; }
  // The widget that shows control c (objectName = its name); null for TAB and TIMER.
  QWidget* controlWidget(Ctl c) const;
  // The dialog of a pop-up panel; null for the main window and its pages.
  QDialog* panelDialog(Panel p) const;
  const QTimer& statusTimer() const { return timer_; }

 signals:
  // The operator closed the window; the main-panel Close event has run.
  void closed();

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void build();
  QWidget* buildPanel(Panel p, QWidget* host);
  void onChange(const ModelChange& ch);
  void renderControl(Ctl c);
  void renderGroupOf(Ctl c);
  void renderTabs();
  void renderTimer();
  void renderPanel(Panel p);
  void renderAll();
  void commitLater(Ctl c, const Event& e);
  void tick();

  struct Group {
    QGroupBox* box;
    std::vector<Ctl> controls;
  };

  Model& model_;
  int observer_ = 0;
  QTabWidget* tabs_ = nullptr;
  QTimer timer_;
  bool ticking_ = false;
  std::array<std::unique_ptr<ControlView>, kControlCount> views_;
  std::array<int, kControlCount> groupOf_{};
  std::vector<Group> groups_;
  std::array<QDialog*, static_cast<int>(Panel::Count)> dialogs_{};
};

}  // namespace lumvex::qt
