#include "ui/qt/lamp.h"

#include <QPainter>

namespace lumvex::qt {

Lamp::Lamp(QWidget* parent) : QWidget(parent) { setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed); }

void Lamp::setOn(bool on) {
  if (on_ == on) return;
  on_ = on;
  update();
}

void Lamp::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QColor lit = isEnabled() ? QColor(0, 220, 0) : QColor(120, 170, 120);
  p.setBrush(on_ ? lit : QColor(40, 60, 40));
  p.setPen(QPen(Qt::black, 1));
  int d = qMin(width(), height()) - 2;
  p.drawEllipse(QRect((width() - d) / 2, (height() - d) / 2, d, d));
}

}  // namespace lumvex::qt
