// One view per control of the model: the Qt widget that shows the control
// (objectName = the control's name) and, for operator controls, feeds edits
// back. A view renders the model's state on request; an edit stores the new
// value in the model at once and hands the commit to the window, which runs
// it from the event loop.
#pragma once

#include "platform/model.h"

#include <QLabel>
#include <QWidget>

#include <functional>
#include <memory>

namespace lumvex::qt {

using CommitFn = std::function<void(Ctl, const Event&)>;

class ControlView {
 public:
  ControlView(Model& m, Ctl c) : model_(m), id_(c) {}
  virtual ~ControlView() = default;
  ControlView(const ControlView&) = delete;
  ControlView& operator=(const ControlView&) = delete;

  Ctl id() const { return id_; }
  QLabel* caption() const { return caption_; }  // null for controls that show their own label
  QWidget* input() const { return input_; }
  // Wide controls (tables, lists, graphs, buttons, labels) take a whole row of their group.
  virtual bool wide() const { return caption_ == nullptr; }
  // Brings the widgets in step with the model: caption, visibility, dimming, colours, value.
  void render();

 protected:
  virtual void renderValue(const Control& k) = 0;
  void makeCaption(QWidget* parent);
  // Right-clicks on the input reach the control as RightClick events.
  void forwardRightClick(const CommitFn& commit);

  Model& model_;
  Ctl id_;
  QLabel* caption_ = nullptr;
  QWidget* input_ = nullptr;
};

// Graph controls redraw once per burst of changes: a plot routine adds curve
// after curve, and only the finished picture needs drawing.
class DeferredGraphView : public ControlView {
 public:
  using ControlView::ControlView;

 protected:
  // Draws the graph as the model holds it now; input_ must be set.
  virtual void draw(const GraphState& g) = 0;
  void renderValue(const Control&) final;

 private:
  bool pending_ = false;
};

// Builds the view of control c with its widgets as children of parent.
std::unique_ptr<ControlView> makeControlView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent);

}  // namespace lumvex::qt
