// An indicator lamp: a round light that is lit or dark.
#pragma once

#include <QColor>
#include <QWidget>

namespace lumvex::qt {

class Lamp : public QWidget {
 public:
  explicit Lamp(QWidget* parent = nullptr);
  void setOn(bool on);
  bool isOn() const { return on_; }
  QSize sizeHint() const override { return {20, 20}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  bool on_ = false;
};

}  // namespace lumvex::qt
