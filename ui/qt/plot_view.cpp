#include "ui/qt/plot_view.h"

#include "ui/plot_model.h"
#include "ui/qt/text.h"

#include <QColorDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMenu>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

namespace lumvex::qt {
namespace {

constexpr int kSmallSeries = 2000;  // points; larger series are drawn without antialiasing
constexpr int kReadoutReach = 8;    // px either side of the cursor searched for the nearest point
constexpr double kZoomOutFactor = 2;
constexpr double kValueMargin = 0.03;  // of the span, above and below the curves
constexpr const char* kOutlineProperty = "lumvexOutline";

const char* const kColourNames[] = {"Red",        "Green", "Blue", "Cyan",   "Magenta", "Orange", "Maroon",
                                    "Dark Green", "Navy",  "Teal", "Purple", "Olive",   "Silver", "Grey"};
static_assert(std::size(kColourNames) == kPlotColours.size());

struct Bounds {
  double lo = std::numeric_limits<double>::infinity(), hi = -std::numeric_limits<double>::infinity();
  void add(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  void add(const Bounds& b) {
    lo = std::min(lo, b.lo);
    hi = std::max(hi, b.hi);
  }
  bool empty() const { return !(lo <= hi); }
};

// Extent of one column of a shared table, as its producer found it or else
// worked out once per draw, even when many curves share it (the time column).
class ColumnCache {
 public:
  const Bounds& get(const SeriesTable& t, int col) {
    auto [it, fresh] = cache_.try_emplace({&t, col});
    if (!fresh) return it->second;
    Bounds& b = it->second;
    if (t.lowest.size() == static_cast<size_t>(t.width) && t.highest.size() == t.lowest.size()) {
      b.add(t.lowest[col]);
      b.add(t.highest[col]);
    } else {
      for (int r = 0; r < t.rows; ++r) b.add(t.at(r, col));
    }
    return b;
  }

 private:
  std::map<std::pair<const SeriesTable*, int>, Bounds> cache_;
};

// Device pixels already drawn by the cut-down path, for a window of three
// times the plot's size around it; pixels outside count as never drawn.
class LitPixels {
 public:
  explicit LitPixels(const QRect& r)
      : x0_(r.left() - r.width()),
        y0_(r.top() - r.height()),
        w_(3 * std::max(r.width(), 1)),
        h_(3 * std::max(r.height(), 1)),
        bits_((static_cast<size_t>(w_) * h_ + 63) / 64) {}
  bool has(int x, int y) const {
    const size_t i = index(x, y);
    return i != kOutside && (bits_[i / 64] >> (i % 64) & 1);
  }
  void add(int x, int y) {
    const size_t i = index(x, y);
    if (i != kOutside) bits_[i / 64] |= uint64_t{1} << (i % 64);
  }

 private:
  static constexpr size_t kOutside = ~size_t{0};
  size_t index(int x, int y) const {
    const int64_t cx = int64_t{x} - x0_, cy = int64_t{y} - y0_;
    if (cx < 0 || cx >= w_ || cy < 0 || cy >= h_) return kOutside;
    return static_cast<size_t>(cy) * w_ + static_cast<size_t>(cx);
  }
  int x0_, y0_, w_, h_;
  std::vector<uint64_t> bits_;
};

// A rib path of up to 250,001 points. Curves have no adaptive sampling, so
// before each draw the path is cut down to what changes the picture. Without
// antialiasing the plot draws each segment between its end points rounded to
// whole pixels, so a segment between two pixels that touch (or within one)
// lights those two pixels and no other: once both are lit it adds nothing and
// is left out. Every segment that is drawn is one of the path's own, and a
// path that resumes somewhere else starts a new piece after a NaN gap, so the
// pixels drawn are exactly those of the whole path.
class PathCurve : public QCPCurve {
 public:
  PathCurve(QCPAxis* key, QCPAxis* value, std::shared_ptr<const SeriesTable> t, int xCol, int yCol)
      : QCPCurve(key, value), table_(std::move(t)), xCol_(xCol), yCol_(yCol) {}

 protected:
  void draw(QCPPainter* painter) override {
    thin();
    QCPCurve::draw(painter);
  }

 private:
  struct View {
    QCPRange x, y;
    QRect rect;
    bool operator==(const View& o) const { return x == o.x && y == o.y && rect == o.rect; }
  };

  static constexpr int32_t kNoPixel = std::numeric_limits<int32_t>::min();  // a NaN coordinate
  static constexpr double kFar = 1e9;  // px; beyond, a pixel only needs to stay off the plot

  // Pixels of one column as the painter rounds line ends. Plain linear axes
  // are computed here as QCPAxis::coordToPixel does, operation for operation,
  // so that the loop has no call in it.
  void pixelsOf(const QCPAxis* a, int col, std::vector<int32_t>& out) const {
    const SeriesTable& t = *table_;
    out.resize(static_cast<size_t>(t.rows));
    const double lower = a->range().lower, size = a->range().size();
    const QRect r = a->axisRect()->rect();
    const bool across = a->orientation() == Qt::Horizontal;
    const bool plain = a->scaleType() == QCPAxis::stLinear && !a->rangeReversed();
    const double length = across ? r.width() : r.height(), start = across ? r.left() : r.bottom();
    auto round = [](double p) {
      p = std::clamp(p, -kFar, kFar);  // a NaN stays NaN
      return p == p ? static_cast<int32_t>(p + std::copysign(0.5, p)) : kNoPixel;
    };
    const float* v = t.values.data() + col;
    int32_t* o = out.data();
    if (plain && across) {
      for (int i = 0; i < t.rows; ++i, v += t.width) o[i] = round((*v - lower) / size * length + start);
    } else if (plain) {
      for (int i = 0; i < t.rows; ++i, v += t.width) o[i] = round(start - (*v - lower) / size * length);
    } else {
      for (int i = 0; i < t.rows; ++i, v += t.width) o[i] = round(a->coordToPixel(*v));
    }
  }

  void thin() {
    const View v{keyAxis()->range(), valueAxis()->range(), keyAxis()->axisRect()->rect()};
    if (thinned_ && v == last_) return;
    last_ = v;
    thinned_ = true;
    pixelsOf(keyAxis(), xCol_, px_);
    pixelsOf(valueAxis(), yCol_, py_);
    const SeriesTable& t = *table_;
    LitPixels lit(v.rect);
    QVector<QCPCurveData> out;
    auto point = [&](int r) { return QCPCurveData(r, t.at(r, xCol_), t.at(r, yCol_)); };
    int prev = -1, cur = -1, piece = 0;  // previous point, last point kept, points in the piece
    // A piece that never left its first pixel has drawn nothing: its first and
    // last point light that pixel as the path's own segments there do.
    auto closePiece = [&] {
      if (piece == 1 && prev != cur && !lit.has(px_[cur], py_[cur])) out.append(point(prev));
    };
    for (int r = 0; r < t.rows; ++r) {
      const int32_t x = px_[r], y = py_[r];
      if (x == kNoPixel || y == kNoPixel) {  // a gap in the data stays one
        if (prev >= 0) {
          closePiece();
          out.append(QCPCurveData(r, qQNaN(), qQNaN()));
        }
        prev = cur = -1;
        piece = 0;
        continue;
      }
      if (prev < 0) {
        out.append(point(r));
        cur = r;
        piece = 1;
      } else {
        const int32_t x0 = px_[prev], y0 = py_[prev];
        const bool touching = std::abs(int64_t{x} - x0) <= 1 && std::abs(int64_t{y} - y0) <= 1;
        const bool same = x == x0 && y == y0;
        if (!same && !(touching && lit.has(x0, y0) && lit.has(x, y))) {
          if (cur != prev) {
            // The path went on from a point not drawn: a piece of nothing but
            // that point is moved there, any other is ended.
            if (piece == 1) {
              out.back() = point(prev);
            } else {
              out.append(QCPCurveData(prev, qQNaN(), qQNaN()));
              out.append(point(prev));
            }
            piece = 1;
          }
          out.append(point(r));
          ++piece;
          cur = r;
          lit.add(x0, y0);
          lit.add(x, y);
        }
      }
      prev = r;
    }
    if (prev >= 0) closePiece();
    if (out.size() >= t.rows) {
      // Zoomed in so far that the pieces cost more than the path: all of it.
      out.clear();
      for (int r = 0; r < t.rows; ++r) out.append(point(r));
    }
    data()->set(out, true);
  }

  std::shared_ptr<const SeriesTable> table_;
  int xCol_, yCol_;
  View last_{};
  bool thinned_ = false;
  std::vector<int32_t> px_, py_;  // pixels of every point, reused from draw to draw
};

void applyLook(QCPAbstractPlottable* p, uint32_t rgb, int points) {
  p->setPen(QPen(toQColor(rgb), 1));
  p->setAntialiased(points <= kSmallSeries);
  p->setAntialiasedScatters(points <= kSmallSeries);
}

// Time histories waiting for their points: all graphs of one table are
// filled in a single pass over its rows.
struct PendingGraph {
  QCPGraph* graph;
  const Curve* curve;
};

void fillGraphs(const std::vector<PendingGraph>& pending) {
  std::vector<const SeriesTable*> tables;
  for (const PendingGraph& p : pending)
    if (std::find(tables.begin(), tables.end(), p.curve->table.get()) == tables.end())
      tables.push_back(p.curve->table.get());
  for (const SeriesTable* t : tables) {
    std::vector<const PendingGraph*> mine;
    for (const PendingGraph& p : pending)
      if (p.curve->table.get() == t) mine.push_back(&p);
    std::vector<QVector<QCPGraphData>> pts;  // one buffer each: a shared one would be copied on write
    std::vector<QCPGraphData*> out;
    std::vector<int> xs, ys;
    pts.reserve(mine.size());
    for (size_t k = 0; k < mine.size(); ++k) {
      out.push_back(pts.emplace_back(t->rows).data());
      xs.push_back(mine[k]->curve->xColumn);
      ys.push_back(mine[k]->curve->yColumn);
    }
    std::vector<char> ascending(mine.size(), 1);
    const float* row = t->values.data();
    for (int r = 0; r < t->rows; ++r, row += t->width)
      for (size_t k = 0; k < mine.size(); ++k) {
        out[k][r].key = row[xs[k]];
        out[k][r].value = row[ys[k]];
        if (r > 0 && out[k][r].key < out[k][r - 1].key) ascending[k] = 0;
      }
    // Already in time order: the container takes the points as they are.
    for (size_t k = 0; k < mine.size(); ++k) mine[k]->graph->data()->set(pts[k], ascending[k] != 0);
  }
}

QCPAbstractPlottable* addTableCurve(QCustomPlot& plot, const Curve& c, ColumnCache& cache, Bounds& bx,
                                    Bounds& by, std::vector<PendingGraph>& pending) {
  const SeriesTable& t = *c.table;
  if (c.xColumn < 0 || c.xColumn >= t.width || c.yColumn < 0 || c.yColumn >= t.width || t.rows < 0 ||
      t.values.size() < static_cast<size_t>(t.rows) * static_cast<size_t>(t.width))
    return nullptr;
  bx.add(cache.get(t, c.xColumn));
  by.add(cache.get(t, c.yColumn));
  if (c.trajectory) {
    auto* curve = new PathCurve(plot.xAxis, plot.yAxis, c.table, c.xColumn, c.yColumn);
    applyLook(curve, c.colour, t.rows);
    return curve;
  }
  QCPGraph* g = plot.addGraph();
  g->setAdaptiveSampling(true);
  applyLook(g, c.colour, t.rows);
  pending.push_back({g, &c});
  return g;
}

QCPAbstractPlottable* addVectorCurve(QCustomPlot& plot, const Curve& c, Bounds& bx, Bounds& by) {
  const size_t n = std::min(c.x.size(), c.y.size());
  QVector<double> keys(c.x.begin(), c.x.begin() + static_cast<std::ptrdiff_t>(n));
  QVector<double> values(c.y.begin(), c.y.begin() + static_cast<std::ptrdiff_t>(n));
  for (size_t i = 0; i < n; ++i) {
    bx.add(c.x[i]);
    by.add(c.y[i]);
  }
  QCPAbstractPlottable* p;
  const QCPScatterStyle marker(QCPScatterStyle::ssCircle, toQColor(c.colour), 6);
  if (!c.trajectory && std::is_sorted(keys.begin(), keys.end())) {
    QCPGraph* g = plot.addGraph();
    g->setData(keys, values, true);
    if (c.points) {
      g->setLineStyle(QCPGraph::lsNone);
      g->setScatterStyle(marker);
    }
    p = g;
  } else {
    auto* cu = new QCPCurve(plot.xAxis, plot.yAxis);
    cu->setData(keys, values);
    if (c.points) {
      cu->setLineStyle(QCPCurve::lsNone);
      cu->setScatterStyle(marker);
    }
    p = cu;
  }
  applyLook(p, c.colour, static_cast<int>(n));
  if (c.fill != colour::Transparent) p->setBrush(QBrush(toQColor(c.fill)));
  return p;
}

QCPRange padded(const Bounds& b, double margin) {
  if (b.empty()) return QCPRange(0, 1);
  if (b.hi - b.lo <= 0) {
    const double half = std::max(1.0, std::fabs(b.lo) * 0.05);
    return QCPRange(b.lo - half, b.hi + half);
  }
  const double m = (b.hi - b.lo) * margin;
  return QCPRange(b.lo - m, b.hi + m);
}

enum class Style { Line, Points, LineAndPoints };

QCPScatterStyle scatterOf(const QCPAbstractPlottable* p) {
  if (auto* g = qobject_cast<const QCPGraph*>(p)) return g->scatterStyle();
  if (auto* c = qobject_cast<const QCPCurve*>(p)) return c->scatterStyle();
  return {};
}

bool hasLine(const QCPAbstractPlottable* p) {
  if (auto* g = qobject_cast<const QCPGraph*>(p)) return g->lineStyle() != QCPGraph::lsNone;
  if (auto* c = qobject_cast<const QCPCurve*>(p)) return c->lineStyle() != QCPCurve::lsNone;
  return true;
}

Style styleOf(const QCPAbstractPlottable* p) {
  const bool points = !scatterOf(p).isNone();
  return !points ? Style::Line : hasLine(p) ? Style::LineAndPoints : Style::Points;
}

void applyStyle(QCPAbstractPlottable* p, Style s) {
  const QColor colour = p->pen().color();
  const QCPScatterStyle marker =
      s == Style::Line ? QCPScatterStyle() : QCPScatterStyle(QCPScatterStyle::ssDisc, colour, colour, 5);
  if (auto* g = qobject_cast<QCPGraph*>(p)) {
    g->setLineStyle(s == Style::Points ? QCPGraph::lsNone : QCPGraph::lsLine);
    g->setScatterStyle(marker);
  } else if (auto* c = qobject_cast<QCPCurve*>(p)) {
    c->setLineStyle(s == Style::Points ? QCPCurve::lsNone : QCPCurve::lsLine);
    c->setScatterStyle(marker);
  }
}

void applyColour(QCPAbstractPlottable* p, const QColor& colour) {
  QPen pen = p->pen();
  pen.setColor(colour);
  p->setPen(pen);
  if (styleOf(p) != Style::Line) applyStyle(p, styleOf(p));  // markers take the new colour
}

void applyWidth(QCPAbstractPlottable* p, int width) {
  QPen pen = p->pen();
  pen.setWidth(width);
  p->setPen(pen);
}

QIcon swatch(uint32_t rgb) {
  QPixmap pm(16, 16);
  pm.fill(toQColor(rgb));
  return QIcon(pm);
}

// The name part of a legend text (before the padding and the peaks).
QString legendName(const QCPAbstractPlottable* p) { return p->name().left(kLegendNameWidth).trimmed(); }

class PlotGraphView : public DeferredGraphView {
 public:
  PlotGraphView(Model& m, Ctl c, QWidget* parent) : DeferredGraphView(m, c) {
    plot_ = new PlotWidget(parent);
    input_ = plot_;
  }

 protected:
  void draw(const GraphState& g) override { plot_->showGraph(g); }

 private:
  PlotWidget* plot_;
};

}  // namespace

// Legends line up in columns, so they need a font whose every glyph has the
// same advance. Some "monospace" families (fontconfig's default among them on
// some machines) carry wide glyphs and are not reported fixed; skip those.
QFont legendFont() {
  QFont f("Courier New");
  f.setStyleHint(QFont::TypeWriter);
  if (QFontInfo(f).fixedPitch()) return f;
  for (const char* family : {"DejaVu Sans Mono", "Liberation Mono", "Nimbus Mono PS"}) {
    if (QFontDatabase::isFixedPitch(family)) return QFont(family);
  }
  for (const QString& family : QFontDatabase::families()) {
    if (QFontDatabase::isFixedPitch(family) && !QFontDatabase::isPrivateFamily(family)) return QFont(family);
  }
  return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

PlotWidget::PlotWidget(QWidget* parent) : QCustomPlot(parent) {
  setInteractions(QCP::iRangeZoom);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setPlottingHint(QCP::phFastPolylines, true);
  setNoAntialiasingOnDrag(true);
  setMinimumSize(400, 300);
  // The legend stands beside the axes: nine legend lines would hide the curves.
  legend->setFont(legendFont());
  legend->setVisible(false);
  // It keeps its own height at the top of a column whose rest is empty.
  axisRect()->insetLayout()->take(legend);
  auto* side = new QCPLayoutGrid;
  plotLayout()->addElement(0, 1, side);
  plotLayout()->setColumnStretchFactor(1, 0.001);
  side->setMargins(QMargins(0, 6, 6, 6));
  side->addElement(0, 0, legend);
  side->addElement(1, 0, new QCPLayoutElement(this));
  side->setRowStretchFactor(0, 0.001);

  // The read-out lives on a layer of its own, redrawn alone as the mouse moves.
  addLayer("readout");
  overlay_ = layer("readout");
  overlay_->setMode(QCPLayer::lmBuffered);
  tracer_ = new QCPItemTracer(this);
  tracer_->setLayer(overlay_);
  tracer_->setStyle(QCPItemTracer::tsCircle);
  tracer_->setSize(9);
  tracer_->setPen(QPen(Qt::black, 1));
  tracer_->setVisible(false);
  label_ = new QCPItemText(this);
  label_->setLayer(overlay_);
  label_->position->setType(QCPItemPosition::ptAxisRectRatio);
  label_->position->setCoords(0.01, 0.01);
  label_->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
  label_->setTextAlignment(Qt::AlignLeft);
  label_->setFont(legendFont());
  label_->setPadding(QMargins(4, 2, 4, 2));
  label_->setPen(QPen(Qt::gray));
  label_->setBrush(QBrush(QColor(255, 255, 255, 230)));
  label_->setVisible(false);
}

void PlotWidget::showGraph(const GraphState& g, bool repaint) {
  clearPlottables();
  tracer_->setVisible(false);
  label_->setVisible(false);
  undo_.clear();
  pendingGesture_ = wheelBurst_ = false;
  xAxis->setLabel(toQString(g.xName));
  yAxis->setLabel(toQString(g.yName));
  ColumnCache cache;
  Bounds bx, by;
  bool anyLegend = false;
  std::vector<PendingGraph> pending;
  for (const Curve& c : g.curves) {
    QCPAbstractPlottable* p =
        c.table ? addTableCurve(*this, c, cache, bx, by, pending) : addVectorCurve(*this, c, bx, by);
    if (!p) continue;
    p->setName(toQString(c.legend));
    if (c.legend.empty()) p->removeFromLegend();
    anyLegend = anyLegend || !c.legend.empty();
    // The outline is no measurement: the read-out passes it by.
    if (!c.table && c.trajectory) p->setProperty(kOutlineProperty, true);
  }
  fillGraphs(pending);
  legend->setVisible(anyLegend);
  if (g.autoScale) {
    const bool path = !g.curves.empty() && g.curves.back().trajectory;
    xAxis->setRange(padded(bx, path ? kValueMargin : 0));
    yAxis->setRange(padded(by, kValueMargin));
  } else {
    xAxis->setRange(g.xMin, g.xMax);
    yAxis->setRange(g.yMin, g.yMax);
  }
  if (repaint) replot();
}

PlotWidget::Ranges PlotWidget::ranges() const { return {xAxis->range(), yAxis->range()}; }

void PlotWidget::pushUndo() {
  undo_.push_back(ranges());
  if (static_cast<int>(undo_.size()) > kUndoDepth) undo_.pop_front();
}

bool PlotWidget::undoLast() {
  wheelBurst_ = false;
  if (undo_.empty()) return false;
  const Ranges r = undo_.back();
  undo_.pop_back();
  xAxis->setRange(r.x);
  yAxis->setRange(r.y);
  replot();
  return true;
}

void PlotWidget::zoomOutAt(const QPoint& pos) {
  pushUndo();
  xAxis->scaleRange(kZoomOutFactor, xAxis->pixelToCoord(pos.x()));
  yAxis->scaleRange(kZoomOutFactor, yAxis->pixelToCoord(pos.y()));
  replot();
}

void PlotWidget::mousePressEvent(QMouseEvent* e) {
  wheelBurst_ = false;
  const bool ctrl = e->modifiers().testFlag(Qt::ControlModifier);
  const bool shift = e->modifiers().testFlag(Qt::ShiftModifier);
  if (e->button() == Qt::RightButton) {
    if (ctrl) {
      zoomOutAt(e->pos());
      e->accept();
      return;
    }
    if (QCPAbstractPlottable* p = legendPlottableAt(e->pos())) {
      const QPoint at = e->globalPosition().toPoint();
      legendMenu(p, &at);
      e->accept();
      return;
    }
  }
  // Box zoom and drag panning exclude each other in the plot: the modifiers
  // held at the press decide which one this drag is.
  const bool gesture = e->button() == Qt::LeftButton && ctrl;
  setSelectionRectMode(gesture && !shift ? QCP::srmZoom : QCP::srmNone);
  setInteraction(QCP::iRangeDrag, gesture && shift);
  if (gesture) {
    pushUndo();
    pendingGesture_ = true;
  }
  QCustomPlot::mousePressEvent(e);
}

void PlotWidget::mouseMoveEvent(QMouseEvent* e) {
  QCustomPlot::mouseMoveEvent(e);
  if (e->buttons() == Qt::NoButton) updateReadout(e->pos());
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* e) {
  QCustomPlot::mouseReleaseEvent(e);
  if (pendingGesture_) {
    pendingGesture_ = false;
    // A click without a drag changed nothing and is nothing to undo.
    const Ranges now = ranges();
    if (!undo_.empty() && undo_.back().x == now.x && undo_.back().y == now.y) undo_.pop_back();
  }
  setSelectionRectMode(QCP::srmNone);
  setInteraction(QCP::iRangeDrag, false);
}

void PlotWidget::wheelEvent(QWheelEvent* e) {
  const Ranges before = ranges();
  QCustomPlot::wheelEvent(e);
  const Ranges now = ranges();
  if (now.x == before.x && now.y == before.y) return;
  // One turn of the wheel sends many events: they undo together.
  if (!wheelBurst_) {
    undo_.push_back(before);
    if (static_cast<int>(undo_.size()) > kUndoDepth) undo_.pop_front();
    wheelBurst_ = true;
  }
}

void PlotWidget::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Space && e->modifiers().testFlag(Qt::ControlModifier)) {
    undoLast();
    e->accept();
    return;
  }
  QCustomPlot::keyPressEvent(e);
}

void PlotWidget::leaveEvent(QEvent* e) {
  hideReadout();
  QCustomPlot::leaveEvent(e);
}

QCPAbstractPlottable* PlotWidget::legendPlottableAt(const QPoint& pos) const {
  if (!legend->visible()) return nullptr;
  for (int i = 0; i < legend->itemCount(); ++i) {
    auto* item = qobject_cast<QCPPlottableLegendItem*>(legend->item(i));
    if (item && item->realVisibility() && item->outerRect().contains(pos)) return item->plottable();
  }
  return nullptr;
}

QMenu* PlotWidget::legendMenu(QCPAbstractPlottable* p, const QPoint* at) {
  auto* menu = new QMenu(this);
  menu->setObjectName("legendMenu");
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addSection(legendName(p));
  QPointer<QCPAbstractPlottable> target(p);
  auto apply = [this, target](auto fn) {
    return [this, target, fn] {
      if (!target) return;
      fn(target.data());
      replot();
    };
  };
  QMenu* colours = menu->addMenu("Colour");
  for (size_t i = 0; i < kPlotColours.size(); ++i) {
    const QColor c = toQColor(kPlotColours[i]);
    connect(colours->addAction(swatch(kPlotColours[i]), kColourNames[i]), &QAction::triggered, this,
            apply([c](QCPAbstractPlottable* q) { applyColour(q, c); }));
  }
  colours->addSeparator();
  connect(colours->addAction("Other..."), &QAction::triggered, this, apply([this](QCPAbstractPlottable* q) {
            const QColor c = QColorDialog::getColor(q->pen().color(), this, "Trace Colour");
            if (c.isValid()) applyColour(q, c);
          }));
  QMenu* widths = menu->addMenu("Line Thickness");
  for (int w = 1; w <= 5; ++w) {
    QAction* a = widths->addAction(QString::number(w));
    a->setCheckable(true);
    a->setChecked(std::max(1, p->pen().width()) == w);
    connect(a, &QAction::triggered, this, apply([w](QCPAbstractPlottable* q) { applyWidth(q, w); }));
  }
  QMenu* styles = menu->addMenu("Plot Style");
  const std::pair<const char*, Style> choices[] = {
      {"Line", Style::Line}, {"Points", Style::Points}, {"Line and Points", Style::LineAndPoints}};
  for (const auto& [text, s] : choices) {
    QAction* a = styles->addAction(text);
    a->setCheckable(true);
    a->setChecked(styleOf(p) == s);
    connect(a, &QAction::triggered, this, apply([s](QCPAbstractPlottable* q) { applyStyle(q, s); }));
  }
  if (at) menu->popup(*at);
  return menu;
}

QString PlotWidget::readout() const { return label_->visible() ? label_->text() : QString(); }

void PlotWidget::hideReadout() {
  if (!label_->visible()) return;
  tracer_->setVisible(false);
  label_->setVisible(false);
  overlay_->replot();
}

void PlotWidget::updateReadout(const QPoint& pos) {
  if (!axisRect()->rect().contains(pos)) {
    hideReadout();
    return;
  }
  const QPointF m(pos);
  QCPAbstractPlottable* best = nullptr;
  double bestKey = 0, bestValue = 0, bestDist = std::numeric_limits<double>::infinity();
  auto consider = [&](QCPAbstractPlottable* p, double key, double value) {
    const double dx = xAxis->coordToPixel(key) - m.x(), dy = yAxis->coordToPixel(value) - m.y();
    const double d = dx * dx + dy * dy;
    if (std::isfinite(d) && d < bestDist) {
      bestDist = d;
      best = p;
      bestKey = key;
      bestValue = value;
    }
  };
  for (int i = 0; i < plottableCount(); ++i) {
    QCPAbstractPlottable* p = plottable(i);
    if (!p->visible() || p->property(kOutlineProperty).toBool()) continue;
    if (auto* g = qobject_cast<QCPGraph*>(p)) {
      // Only the points near the cursor's column, and one beyond each side.
      double k0 = xAxis->pixelToCoord(m.x() - kReadoutReach), k1 = xAxis->pixelToCoord(m.x() + kReadoutReach);
      if (k0 > k1) std::swap(k0, k1);
      const auto& points = *g->data();
      for (auto it = points.findBegin(k0), end = points.findEnd(k1); it != end; ++it)
        consider(p, it->key, it->value);
    } else if (auto* c = qobject_cast<QCPCurve*>(p)) {
      for (const QCPCurveData& d : *c->data()) consider(p, d.key, d.value);
    }
  }
  if (!best) {
    hideReadout();
    return;
  }
  const QString xName = xAxis->label().isEmpty() ? QString("X") : xAxis->label();
  const QString yName = yAxis->label().isEmpty() ? QString("Value") : yAxis->label();
  tracer_->position->setCoords(bestKey, bestValue);
  tracer_->setPen(QPen(best->pen().color().darker(), 1));
  label_->setText(QString("%1\n%2: %3\n%4: %5")
                      .arg(legendName(best), xName, QString::number(bestKey, 'f', 2), yName,
                           QString::number(bestValue, 'f', 2)));
  tracer_->setVisible(true);
  label_->setVisible(true);
  overlay_->replot();
}

std::unique_ptr<ControlView> makePlotView(Model& m, Ctl c, const CommitFn&, QWidget* parent) {
  return std::make_unique<PlotGraphView>(m, c, parent);
}

int SavePlotImage(QWidget* widget, const std::string& path, int width, int height) {
  auto* plot = qobject_cast<QCustomPlot*>(widget);
  const PlotImageFormat format = PlotImageFormatOf(path);
  if (!plot || format == PlotImageFormat::Unknown) return -1;
  const QString file = toQString(path);
  switch (format) {
    case PlotImageFormat::Png:
      return plot->savePng(file, width, height) ? 0 : -2;
    case PlotImageFormat::Pdf:
      return plot->savePdf(file, width, height) ? 0 : -2;
    case PlotImageFormat::Svg: {
      const int w = width > 0 ? width : plot->width(), h = height > 0 ? height : plot->height();
      QSvgGenerator svg;
      svg.setFileName(file);
      svg.setSize(QSize(w, h));
      svg.setViewBox(QRect(0, 0, w, h));
      svg.setTitle("Lumvex plot");
      QCPPainter painter;
      if (!painter.begin(&svg)) return -2;
      painter.setMode(QCPPainter::pmVectorized);
      painter.setMode(QCPPainter::pmNoCaching);
      plot->toPainter(&painter, w, h);
      painter.end();
      return QFileInfo(file).size() > 0 ? 0 : -2;
    }
    case PlotImageFormat::Unknown:
      break;
  }
  return -1;
}

int RenderPlotImage(const GraphState& g, const std::string& path, int width, int height) {
  if (width <= 0 || height <= 0 || PlotImageFormatOf(path) == PlotImageFormat::Unknown) return -1;
  PlotWidget plot;
  plot.resize(width, height);
  plot.showGraph(g, false);  // the image is drawn at its own size
  return SavePlotImage(&plot, path, width, height);
}

}  // namespace lumvex::qt
