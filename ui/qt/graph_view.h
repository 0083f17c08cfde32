// Draws a graph control's state (axes, ranges, curves, markers, legend) on a
// plot widget.
#pragma once

#include "platform/model.h"

class QCustomPlot;
class QWidget;

namespace lumvex::qt {

// Replaces everything on the plot by what `g` holds and repaints it.
void drawGraph(QCustomPlot& plot, const GraphState& g);
// A plot set up as the station's graphs are: drag and wheel zoom, monospaced legend.
QCustomPlot* makePlot(QWidget* parent);

}  // namespace lumvex::qt
