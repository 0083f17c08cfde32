// The Live Display page's graph in Qt: an oval around each LED, moved in
// place on every pass of the live display instead of rebuilding the plot,
// with the gestures of the page's help text (CTRL box zoom, CTRL+SHIFT pan,
// CTRL right-click zoom out) and the wheel. The operator's zoom stays from
// pass to pass until the program sets the ranges again (START).
#pragma once

#include "platform/model.h"
#include "ui/qt/control_views.h"
#include "ui/qt/plot_view.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace lumvex::qt {

class LiveWidget : public PlotWidget {
  Q_OBJECT

 public:
  explicit LiveWidget(QWidget* parent = nullptr);

  // Shows the ovals and legend entries of `g` (whose curves are all ovals)
  // and repaints; the axes take g's ranges only when they were set anew.
  void showLive(const GraphState& g);
  // Ovals shown (LED ovals and the legend's parked ones).
  int ovalCount() const { return shown_; }

 protected:
  // The legend's menu of the Plot page changes plottables, not the ovals:
  // a plain right-click does nothing here.
  void mousePressEvent(QMouseEvent* e) override;

 private:
  std::vector<QCPItemEllipse*> ovals_;  // reused from pass to pass; those beyond shown_ are hidden
  int shown_ = 0;
  std::vector<std::pair<std::string, uint32_t>> legend_;  // entries shown (text, colour)
  unsigned rangesTaken_ = 0;
  bool drawn_ = false;
};

// The control view that shows LIVE_GRAPH with a LiveWidget.
std::unique_ptr<ControlView> makeLiveView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent);

}  // namespace lumvex::qt
