// The Plot page's graph in Qt: draws the plot model's GraphState with
// QCustomPlot (time histories as sampled graphs, rib paths as curves thinned
// to what the pixels show, the "Range" outline), offers the gestures of the
// page's help text (CTRL box zoom, CTRL+SHIFT pan, CTRL+SPACE undo, CTRL
// right-click zoom out, legend menus) plus wheel zoom and a cursor read-out,
// and writes the graph as PNG, PDF or SVG.
#pragma once

#include "platform/model.h"
#include "ui/qt/control_views.h"

#include <qcustomplot.h>

#include <deque>
#include <memory>
#include <string>

class QMenu;

namespace lumvex::qt {

class PlotWidget : public QCustomPlot {
  Q_OBJECT

 public:
  static constexpr int kUndoDepth = 25;  // zoom and pan operations CTRL+SPACE can undo

  explicit PlotWidget(QWidget* parent = nullptr);

  // Replaces everything on the plot by what `g` holds, scales the axes as it
  // says, forgets the undo history and (unless told not to) repaints.
  void showGraph(const GraphState& g, bool repaint = true);

  int undoDepth() const { return static_cast<int>(undo_.size()); }
  // Back to the axis ranges before the last zoom or pan; false when none is left.
  bool undoLast();
  // The read-out of the point last hovered, empty when none is shown.
  QString readout() const;
  // The menu a right-click on the legend entry of p opens (colour, line
  // thickness, plot style); shown at `at` when given.
  QMenu* legendMenu(QCPAbstractPlottable* p, const QPoint* at = nullptr);
  // The plottable whose legend entry is at pos, or null.
  QCPAbstractPlottable* legendPlottableAt(const QPoint& pos) const;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  struct Ranges {
    QCPRange x, y;
  };
  Ranges ranges() const;
  void pushUndo();
  void zoomOutAt(const QPoint& pos);
  void updateReadout(const QPoint& pos);
  void hideReadout();

  std::deque<Ranges> undo_;
  bool pendingGesture_ = false;  // a zoom box or pan started: its undo entry is on the stack
  bool wheelBurst_ = false;      // the last undo entry belongs to the wheel turns going on
  QCPLayer* overlay_ = nullptr;
  QCPItemTracer* tracer_ = nullptr;
  QCPItemText* label_ = nullptr;
};

// The control view that shows PLOT_GRAPH with a PlotWidget.
std::unique_ptr<ControlView> makePlotView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent);

// The legend font: "Courier New", or the closest monospaced face installed.
QFont legendFont();

// Writes the plot as it is shown (current zoom and styles) to path: PNG, PDF
// or SVG by the extension; width and height 0 take the widget's size. 0 on
// success, -1 for an unknown extension or a widget that is no plot, -2 when
// the file could not be written.
int SavePlotImage(QWidget* plot, const std::string& path, int width = 0, int height = 0);

// Renders `g` as the Plot page draws it, without a screen, into an image file
// of width x height pixels (PDF: points); needs a QApplication (the offscreen
// platform will do). Results as SavePlotImage.
int RenderPlotImage(const GraphState& g, const std::string& path, int width, int height);

}  // namespace lumvex::qt
