#include "ui/qt/live_view.h"

#include "ui/qt/text.h"

#include <QMouseEvent>

#include <algorithm>

namespace lumvex::qt {
namespace {

constexpr int kOvalPen = 2;          // px
constexpr double kLegendMarker = 9;  // px

QBrush brushOf(uint32_t fill) {
  return fill == colour::Transparent ? QBrush(Qt::NoBrush) : QBrush(toQColor(fill));
}

class LiveGraphView : public DeferredGraphView {
 public:
  LiveGraphView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : DeferredGraphView(m, c) {
    plot_ = new LiveWidget(parent);
    input_ = plot_;
    forwardRightClick(commit);
  }

 protected:
  // A pass changes the graph more than once; only its last picture is drawn.
  void draw(const GraphState& g) override { plot_->showLive(g); }

 private:
  LiveWidget* plot_;
};

}  // namespace

LiveWidget::LiveWidget(QWidget* parent) : PlotWidget(parent) {}

void LiveWidget::showLive(const GraphState& g) {
  const QString xName = toQString(g.xName), yName = toQString(g.yName);
  if (xAxis->label() != xName) xAxis->setLabel(xName);
  if (yAxis->label() != yName) yAxis->setLabel(yName);

  std::vector<std::pair<std::string, uint32_t>> entries;
  size_t n = 0;
  for (const Curve& c : g.curves) {
    if (!c.legend.empty()) entries.emplace_back(c.legend, c.colour);
    n += std::min(c.x.size(), c.y.size());
  }
  while (ovals_.size() < n) {
    auto* e = new QCPItemEllipse(this);
    e->setVisible(false);
    ovals_.push_back(e);
  }
  size_t k = 0;
  for (const Curve& c : g.curves) {
    const QPen pen(toQColor(c.colour), kOvalPen);
    const QBrush brush = brushOf(c.fill);
    for (size_t i = 0; i < std::min(c.x.size(), c.y.size()); ++i, ++k) {
      QCPItemEllipse* e = ovals_[k];
      e->topLeft->setCoords(c.x[i] - c.markerW, c.y[i] + c.markerH);
      e->bottomRight->setCoords(c.x[i] + c.markerW, c.y[i] - c.markerH);
      if (e->pen() != pen) e->setPen(pen);
      if (e->brush() != brush) e->setBrush(brush);
      e->setVisible(true);
    }
  }
  for (size_t i = n; i < static_cast<size_t>(shown_); ++i) ovals_[i]->setVisible(false);
  shown_ = static_cast<int>(n);

  // The legend's entries change with the unit, not with the pass.
  if (entries != legend_) {
    clearPlottables();
    for (const auto& [text, rgb] : entries) {
      // An empty graph carries the entry of its ovals.
      QCPGraph* entry = addGraph();
      entry->setName(toQString(text));
      entry->setLineStyle(QCPGraph::lsNone);
      entry->setScatterStyle(
          QCPScatterStyle(QCPScatterStyle::ssCircle, toQColor(rgb), toQColor(rgb), kLegendMarker));
    }
    legend->setVisible(!entries.empty());
    legend_ = std::move(entries);
  }

  if (!drawn_ || g.rangesSet != rangesTaken_) {
    xAxis->setRange(g.xMin, g.xMax);
    yAxis->setRange(g.yMin, g.yMax);
    rangesTaken_ = g.rangesSet;
    drawn_ = true;
  }
  replot();
}

void LiveWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton && !e->modifiers().testFlag(Qt::ControlModifier)) {
    e->accept();
    return;
  }
  PlotWidget::mousePressEvent(e);
}

std::unique_ptr<ControlView> makeLiveView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) {
  return std::make_unique<LiveGraphView>(m, c, commit, parent);
}

}  // namespace lumvex::qt
