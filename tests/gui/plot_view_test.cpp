// The Plot page in the Qt window: a selection, filter or switch change and
// opening the page redraw the QCustomPlot with the model's curves and legend
// texts; the help text's gestures (zoom box, pan, undo, zoom out, legend menu)
// and the wheel driven by synthetic events; the cursor read-out; images saved
// from the page and rendered offscreen as PNG, PDF and SVG of the asked size.
#include "support/gui_station.h"
#include "support/plot_data.h"
#include "ui/plot_model.h"
#include "ui/qt/plot_view.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

using namespace lumvex;
using qt::PlotWidget;

namespace {

void send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
          Qt::KeyboardModifiers mods) {
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, mods);
  QApplication::sendEvent(w, &e);
}

// Press at `from`, move to `to` in steps, release: a drag with the button held.
void drag(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers mods) {
  send(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, mods);
  for (int s = 1; s <= 4; ++s)
    send(w, QEvent::MouseMove, from + (to - from) * s / 4, Qt::NoButton, Qt::LeftButton, mods);
  send(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, mods);
}

void rightClick(QWidget* w, QPoint at, Qt::KeyboardModifiers mods) {
  send(w, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton, mods);
  send(w, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton, mods);
}

void wheel(QWidget* w, QPoint at, int steps) {
  for (int i = 0; i < steps; ++i) {
    QWheelEvent e(QPointF(at), QPointF(w->mapToGlobal(at)), QPoint(), QPoint(0, 120), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
  }
}

bool near(double a, double b, double span) { return std::fabs(a - b) <= span * 0.01; }

uint32_t bigEndian(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

}  // namespace

class PlotViewTest : public QObject, protected testing::GuiStation<> {
  Q_OBJECT

  int graphChanges_ = 0;  // redraws of the plot model

  PlotWidget* plot() { return widget<PlotWidget>("PLOT_GRAPH"); }
  QListWidget* list() { return widget<QListWidget>("PLOTDATA"); }

  QStringList legendTexts() {
    QStringList out;
    for (int i = 0; i < plot()->plottableCount(); ++i) out << plot()->plottable(i)->name();
    return out;
  }
  QStringList modelLegends() {
    QStringList out;
    for (const Curve& c : st_->model[Ctl::PLOT_GRAPH].graph.curves) out << QString::fromStdString(c.legend);
    return out;
  }

  // Chooses a list entry as the operator does and waits for the redraw.
  void choose(const QString& label, int plottables) {
    const auto found = list()->findItems(label, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    const int before = graphChanges_;
    list()->setCurrentItem(found.front());
    QTRY_VERIFY(graphChanges_ > before);
    QTRY_COMPARE(legendTexts(), modelLegends());
    QCOMPARE(plot()->plottableCount(), plottables);
  }

  QPoint inside(double fx, double fy) {
    const QRect r = plot()->axisRect()->rect();
    return {r.left() + static_cast<int>(r.width() * fx), r.top() + static_cast<int>(r.height() * fy)};
  }

 private slots:
  void init() {
    makeWorkDir();
    openStation();
    if (QTest::currentTestFailed()) return;
    graphChanges_ = 0;
    st_->model.observe([this](const ModelChange& ch) { graphChanges_ += ch.control == Ctl::PLOT_GRAPH; });
    st_->savePlotImage = [this](const std::string& path) {
      return qt::SavePlotImage(win_->controlWidget(Ctl::PLOT_GRAPH), path);
    };
    QVERIFY(testing::LoadPlotData(*st_, "WorldSID", 91, 2000));
    win_->tabs()->setCurrentIndex(pageIndex(Panel::Plot));  // opening the page draws the first entry
    QTRY_COMPARE(plot()->graphCount(), 9);
  }

  void cleanup() { closeStation(); }

  void selectionFilterAndSwitchRedrawWithTheModelsLegends() {
    choose("ribs 4-6 Y", 9);  // the legends are the model's, byte for byte
    QCOMPARE(legendTexts().front(), QString("THRI LR 03 Y 56.2 49.0"));
    QVERIFY(QFontInfo(plot()->legend->font()).fixedPitch());
    QCOMPARE(plot()->xAxis->label(), QString("Time (ms)"));
    QCOMPARE(plot()->graph(0)->data()->size(), 2000);

    choose("Thorax 2 XY", 4);
    QCOMPARE(plot()->graphCount(), 0);
    QCOMPARE(legendTexts(), QStringList({"Range", "Rear", "Middle", "Front"}));
    QCOMPARE(plot()->yAxis->label(), QString("X (mm)"));

    auto* relative = widget<QPushButton>("REL_ABS_SWITCH");
    QVERIFY(relative->isEnabled());
    relative->click();
    QTRY_COMPARE(plot()->plottableCount(), 3);  // relative paths have no outline
    QCOMPARE(legendTexts(), QStringList({"Rear", "Middle", "Front"}));
    relative->click();
    QTRY_COMPARE(plot()->plottableCount(), 4);

    choose("ribs 1-3 X", 9);
    const double before = plot()->graph(0)->data()->at(152)->value;
    auto* filter = widget<QComboBox>("PLOTFILTER");
    QCOMPARE(filter->currentIndex(), 0);
    QTest::keyClick(filter, Qt::Key_Down);  // to CFC 60, which smooths the step
    QTRY_VERIFY(plot()->graphCount() == 9 && plot()->graph(0)->data()->at(152)->value != before);
  }

  void gesturesZoomPanUndoAndZoomOut() {
    PlotWidget* p = plot();
    const QCPRange x0 = p->xAxis->range(), y0 = p->yAxis->range();
    const QPoint a = inside(0.2, 0.2), b = inside(0.6, 0.7);
    const double ax = p->xAxis->pixelToCoord(a.x()), bx = p->xAxis->pixelToCoord(b.x());

    drag(p, a, b, Qt::NoModifier);  // a plain drag neither zooms nor pans
    QCOMPARE(p->xAxis->range(), x0);
    QCOMPARE(p->undoDepth(), 0);

    drag(p, a, b, Qt::ControlModifier);
    QVERIFY(near(p->xAxis->range().lower, ax, x0.size()));
    QVERIFY(near(p->xAxis->range().upper, bx, x0.size()));
    QVERIFY(p->yAxis->range().size() < y0.size() * 0.6);
    QCOMPARE(p->undoDepth(), 1);
    const QCPRange zoomed = p->xAxis->range();

    const double shift = p->xAxis->pixelToCoord(a.x()) - p->xAxis->pixelToCoord(a.x() + 50);
    drag(p, a, a + QPoint(50, 0), Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(near(p->xAxis->range().lower, zoomed.lower + shift, zoomed.size()));
    QVERIFY(near(p->xAxis->range().size(), zoomed.size(), zoomed.size()));
    QCOMPARE(p->undoDepth(), 2);

    QTest::keyClick(p, Qt::Key_Space, Qt::ControlModifier);
    QCOMPARE(p->xAxis->range(), zoomed);
    QTest::keyClick(p, Qt::Key_Space, Qt::ControlModifier);
    QCOMPARE(p->xAxis->range(), x0);
    QCOMPARE(p->yAxis->range(), y0);
    QCOMPARE(p->undoDepth(), 0);

    rightClick(p, inside(0.5, 0.5), Qt::ControlModifier);
    QVERIFY(near(p->xAxis->range().size(), 2 * x0.size(), x0.size()));
    QVERIFY(near(p->yAxis->range().size(), 2 * y0.size(), y0.size()));
    QCOMPARE(p->undoDepth(), 1);

    wheel(p, inside(0.5, 0.5), 3);  // one turn of the wheel: one undo step
    QVERIFY(p->xAxis->range().size() < 2 * x0.size() * 0.7);
    QCOMPARE(p->undoDepth(), 2);
    QTest::keyClick(p, Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(near(p->xAxis->range().size(), 2 * x0.size(), x0.size()));

    for (int i = 0; i < PlotWidget::kUndoDepth + 5; ++i) rightClick(p, inside(0.5, 0.5), Qt::ControlModifier);
    QCOMPARE(p->undoDepth(), PlotWidget::kUndoDepth);
  }

  void legendMenuChangesColourThicknessAndStyle() {
    PlotWidget* p = plot();
    auto* item = p->legend->item(2);
    QVERIFY(item);
    rightClick(p, item->outerRect().center(), Qt::NoModifier);
    QMenu* menu = p->findChild<QMenu*>("legendMenu");
    QVERIFY(menu && menu->isVisible());
    auto pick = [&](const QString& text) {
      for (QAction* a : menu->findChildren<QAction*>())
        if (a->text() == text) return a->trigger(), true;
      return false;
    };
    QVERIFY(pick("Points"));  // of "Plot Style"
    QCOMPARE(p->graph(2)->lineStyle(), QCPGraph::lsNone);
    QVERIFY(!p->graph(2)->scatterStyle().isNone());
    QVERIFY(pick("3"));  // of "Line Thickness"
    QCOMPARE(p->graph(2)->pen().width(), 3);
    QVERIFY(pick("Navy"));  // of "Colour"
    QCOMPARE(p->graph(2)->scatterStyle().pen().color(), QColor(0, 0, 128));
    QCOMPARE(p->graph(1)->pen().width(), 1);  // the other traces keep their look
    menu->close();
  }

  void hoverReadsTheNearestPointOfTheNearestCurve() {
    PlotWidget* p = plot();
    // Thorax 2 front X (the highest curve): 45 mm, from 0 ms 51.25 mm.
    const QPoint at(static_cast<int>(p->xAxis->coordToPixel(10.0)),
                    static_cast<int>(p->yAxis->coordToPixel(51.25)));
    send(p, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    const QString text = p->readout();
    QVERIFY2(text.startsWith("THRI LF 02 X\n"), qPrintable(text));
    QVERIFY2(text.contains("Time (ms): ") && text.endsWith("Value: 51.25"), qPrintable(text));
    send(p, QEvent::MouseMove, QPoint(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);  // off the axes
    QVERIFY(p->readout().isEmpty());
  }

  void thinnedPathsDrawTheSamePixelsAsEveryPoint() {
    // A path at rest with jitter of a fraction of a pixel, one swing out and
    // back, a gap in the data, and rest again.
    constexpr int n = 60000;
    auto t = std::make_shared<SeriesTable>();
    t->rows = n;
    t->width = 2;
    t->values.resize(2 * n);
    uint32_t h = 1;
    auto jitter = [&h] {
      h = h * 1664525u + 1013904223u;
      return static_cast<double>(h >> 8 & 1023) / 1023.0 - 0.5;  // -0.5 .. 0.5
    };
    for (int i = 0; i < n; ++i) {
      const double a = i >= 20000 && i < 40000 ? std::sin(M_PI * (i - 20000) / 20000.0) : 0;
      t->values[2 * i] = static_cast<float>(-90 + 50 * a + 0.1 * jitter());
      t->values[2 * i + 1] = static_cast<float>(10 * std::sin(3 * M_PI * a) + 0.1 * jitter());
      if (i >= 45000 && i < 45010) t->values[2 * i] = NAN;
    }
    GraphState g;
    g.autoScale = false;
    g.xMin = -100, g.xMax = -30, g.yMin = -20, g.yMax = 20;
    Curve c;
    c.table = t;
    c.xColumn = 0;
    c.yColumn = 1;
    c.trajectory = true;
    c.colour = 0xFF0000;
    g.curves.push_back(c);
    PlotWidget thin, full;
    thin.showGraph(g, false);
    g.curves.clear();
    full.showGraph(g, false);
    auto* every = new QCPCurve(full.xAxis, full.yAxis);
    QVector<double> xs, ys;
    for (int i = 0; i < n; ++i) xs << t->values[2 * i], ys << t->values[2 * i + 1];
    every->setData(xs, ys);
    every->setPen(QPen(QColor(255, 0, 0), 1));
    every->setAntialiased(false);
    every->removeFromLegend();
    for (PlotWidget* p : {&thin, &full}) p->resize(700, 450);
    for (QCPRange x : {QCPRange(-100, -30), QCPRange(-92.5, -88.5)}) {
      for (PlotWidget* p : {&thin, &full}) {
        p->xAxis->setRange(x);
        p->replot();
      }
      const QImage a = thin.grab().toImage(), b = full.grab().toImage();
      QCOMPARE(a.size(), QSize(700, 450));
      int differ = 0;
      for (int y = 0; y < a.height(); ++y)
        for (int i = 0; i < a.width(); ++i) differ += a.pixel(i, y) != b.pixel(i, y);
      QVERIFY2(differ == 0,
               qPrintable(QString("%1 pixels differ at x %2 .. %3").arg(differ).arg(x.lower).arg(x.upper)));
      const int kept = qobject_cast<QCPCurve*>(thin.plottable(0))->data()->size();
      if (x.lower == -100) QVERIFY2(kept < n / 10, qPrintable(QString::number(kept)));
    }
  }

  void imagesAreSavedFromThePageAndRenderedOffscreenAtTheAskedSize() {
    const std::string shown = dir_->file("shown.png");
    op_->fileAnswers.push_back(shown);
    widget<QPushButton>("PLOT_SAVE")->click();
    QTRY_VERIFY(QFileInfo::exists(QString::fromStdString(shown)));
    QCOMPARE(bigEndian(testing::readFile(shown), 16), static_cast<uint32_t>(plot()->width()));
    QVERIFY(op_->messages().empty());

    choose("Thorax 2 YZ", 4);
    const GraphState& g = st_->model[Ctl::PLOT_GRAPH].graph;
    for (const char* name : {"p.png", "p.pdf", "p.svg"})
      QCOMPARE(qt::RenderPlotImage(g, dir_->file(name), 640, 480), 0);
    const std::string a = testing::readFile(dir_->file("p.png")), b = testing::readFile(dir_->file("p.pdf")),
                      c = testing::readFile(dir_->file("p.svg"));
    QCOMPARE(a.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    QCOMPARE(bigEndian(a, 16), 640u);
    QCOMPARE(bigEndian(a, 20), 480u);
    const size_t box = b.find("/MediaBox [");
    double page[4] = {};
    QVERIFY(b.rfind("%PDF-", 0) == 0 && box != std::string::npos);
    QCOMPARE(std::sscanf(b.c_str() + box, "/MediaBox [%lf %lf %lf %lf]", page, page + 1, page + 2, page + 3),
             4);
    QCOMPARE(page[2], 640.0);
    QCOMPARE(page[3], 480.0);
    QVERIFY(c.find("<svg") != std::string::npos && c.find("viewBox=\"0 0 640 480\"") != std::string::npos);
    QVERIFY(c.find("Range") != std::string::npos);  // the legend is in the drawing
    QCOMPARE(qt::RenderPlotImage(g, dir_->file("p.jpg"), 640, 480), -1);
    QCOMPARE(qt::RenderPlotImage(g, dir_->file("no/such/folder/p.png"), 640, 480), -2);
  }
};

QTEST_MAIN(PlotViewTest)
#include "plot_view_test.moc"
