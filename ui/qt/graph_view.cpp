#include "ui/qt/graph_view.h"

#include "ui/qt/text.h"

#include <qcustomplot.h>

#include <algorithm>

namespace lumvex::qt {
namespace {

QVector<double> toVector(const std::vector<double>& v, size_t n) {
  return QVector<double>(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n));
}

QBrush brushOf(uint32_t fill) {
  return fill == colour::Transparent ? QBrush(Qt::NoBrush) : QBrush(toQColor(fill));
}

// Ovals of a given size in axis units around each point, as the live display draws its LEDs.
void drawOvals(QCustomPlot& plot, const Curve& c, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    auto* e = new QCPItemEllipse(&plot);
    e->topLeft->setCoords(c.x[i] - c.markerW, c.y[i] + c.markerH);
    e->bottomRight->setCoords(c.x[i] + c.markerW, c.y[i] - c.markerH);
    e->setPen(QPen(toQColor(c.colour), 2));
    e->setBrush(brushOf(c.fill));
  }
  if (c.legend.empty()) return;
  // An empty graph carries the legend entry of the ovals.
  QCPGraph* legendOnly = plot.addGraph();
  legendOnly->setName(toQString(c.legend));
  legendOnly->setLineStyle(QCPGraph::lsNone);
  legendOnly->setScatterStyle(
      QCPScatterStyle(QCPScatterStyle::ssCircle, toQColor(c.colour),
                      c.fill == colour::Transparent ? QColor(Qt::white) : toQColor(c.fill), 9));
}

void drawLine(QCustomPlot& plot, const Curve& c, size_t n) {
  QCPAbstractPlottable* p;
  QPen pen(toQColor(c.colour));
  QCPScatterStyle marker(QCPScatterStyle::ssCircle, pen.color(), 6);
  // Time histories are drawn as graphs (fast, sampled); anything that turns back on itself as a curve.
  if (std::is_sorted(c.x.begin(), c.x.begin() + static_cast<std::ptrdiff_t>(n))) {
    QCPGraph* g = plot.addGraph();
    g->setData(toVector(c.x, n), toVector(c.y, n), true);
    if (c.points) {
      g->setLineStyle(QCPGraph::lsNone);
      g->setScatterStyle(marker);
    }
    p = g;
  } else {
    auto* cu = new QCPCurve(plot.xAxis, plot.yAxis);
    cu->setData(toVector(c.x, n), toVector(c.y, n));
    if (c.points) {
      cu->setLineStyle(QCPCurve::lsNone);
      cu->setScatterStyle(marker);
    }
    p = cu;
  }
  p->setPen(pen);
  p->setBrush(brushOf(c.fill));
  p->setName(toQString(c.legend));
  if (c.legend.empty()) p->removeFromLegend();
}

}  // namespace

QCustomPlot* makePlot(QWidget* parent) {
  auto* plot = new QCustomPlot(parent);
  plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot->setMinimumSize(400, 300);
  QFont mono("Courier New");
  mono.setStyleHint(QFont::TypeWriter);
  plot->legend->setFont(mono);
  plot->legend->setVisible(false);
  return plot;
}

void drawGraph(QCustomPlot& plot, const GraphState& g) {
  plot.clearPlottables();
  plot.clearItems();
  plot.xAxis->setLabel(toQString(g.xName));
  plot.yAxis->setLabel(toQString(g.yName));
  bool legend = false;
  for (const Curve& c : g.curves) {
    size_t n = std::min(c.x.size(), c.y.size());
    if (c.points && (c.markerW > 0 || c.markerH > 0))
      drawOvals(plot, c, n);
    else
      drawLine(plot, c, n);
    legend = legend || !c.legend.empty();
  }
  plot.legend->setVisible(legend);
  if (g.autoScale) {
    plot.rescaleAxes();
  } else {
    plot.xAxis->setRange(g.xMin, g.xMax);
    plot.yAxis->setRange(g.yMin, g.yMax);
  }
  plot.replot();
}

}  // namespace lumvex::qt
