#include "ui/qt/station_window.h"

#include "ui/layout.h"
#include "ui/qt/text.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

namespace lumvex::qt {
namespace {

bool isPopup(Panel p) { return p != Panel::Main && pageIndex(p) < 0; }

// A pop-up panel closes only through its own buttons, as its callbacks expect:
// Escape and the title-bar close are passed to the model and do nothing here.
class PanelDialog : public QDialog {
 public:
  PanelDialog(Model& m, Panel p, QWidget* parent) : QDialog(parent), model_(m), panel_(p) {
    setWindowModality(Qt::ApplicationModal);
  }
  void reject() override {}

 protected:
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    model_.panelEvent(panel_, {EventKind::Close});
  }

 private:
  Model& model_;
  Panel panel_;
};

bool growsWithPage(const Model& m, Ctl c) {
  CtlKind k = controlKind(c);
  return k == CtlKind::Graph || (k == CtlKind::Table && m.rows(c) > 3);
}

}  // namespace

StationWindow::StationWindow(Model& m, QWidget* parent) : QWidget(parent), model_(m) {
  setObjectName("PANEL");
  groupOf_.fill(-1);
  build();
  resize(1280, 800);
  connect(&timer_, &QTimer::timeout, this, &StationWindow::tick);
  observer_ = model_.observe([this](const ModelChange& ch) { onChange(ch); });
  renderAll();
}

StationWindow::~StationWindow() { model_.unobserve(observer_); }

QWidget* StationWindow::controlWidget(Ctl c) const {
  const auto& v = views_[static_cast<int>(c)];
  return v ? v->input() : nullptr;
}

QDialog* StationWindow::panelDialog(Panel p) const { return dialogs_[static_cast<int>(p)]; }

void StationWindow::build() {
  auto* outer = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("TAB");
  outer->addWidget(tabs_);
  for (int page = 0; page < kPageCount; ++page) {
    auto* host = new QWidget;
    host->setObjectName(toQString(panelName(pagePanel(page))));
    buildPanel(pagePanel(page), host);
    tabs_->addTab(host, QString());
  }
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int page) {
    if (page < 0 || page == model_.activePage()) return;
    // The page is active at once, so that a redraw before the commit runs keeps it.
    model_.setActivePage(page);
    commitLater(Ctl::TAB, {EventKind::TabChanged, page});
  });
  for (int p = 0; p < static_cast<int>(Panel::Count); ++p) {
    Panel panel = static_cast<Panel>(p);
    if (!isPopup(panel)) continue;
    auto* dlg = new PanelDialog(model_, panel, this);
    dlg->setObjectName(toQString(panelName(panel)));
    buildPanel(panel, dlg);
    dialogs_[p] = dlg;
  }
}

// Lays the groups of one panel out in columns of framed boxes; each control
// takes a row of its box: caption and field side by side, wide controls alone.
QWidget* StationWindow::buildPanel(Panel p, QWidget* host) {
  auto* columns = new QHBoxLayout(host);
  std::vector<QVBoxLayout*> cols;
  std::vector<bool> grows;
  CommitFn commit = [this](Ctl c, const Event& e) { commitLater(c, e); };
  for (const LayoutGroup& g : MainLayoutGroups()) {
    if (g.panel != p) continue;
    while (static_cast<int>(cols.size()) <= g.column) {
      cols.push_back(new QVBoxLayout);
      grows.push_back(false);
    }
    auto* box = new QGroupBox(toQString(g.title), host);
    if (g.title.empty()) box->setStyleSheet("QGroupBox { border: 0; margin-top: 0; }");
    auto* grid = new QGridLayout(box);
    int row = 0;
    bool boxGrows = false;
    for (Ctl c : g.controls) {
      auto view = makeControlView(model_, c, commit, box);
      if (view->wide()) {
        if (view->caption()) grid->addWidget(view->caption(), row++, 0, 1, 2);
        grid->addWidget(view->input(), row, 0, 1, 2);
      } else {
        grid->addWidget(view->caption(), row, 0);
        // A fixed-size input (a lamp) stays beside its caption however wide the box is.
        const bool fixed = view->input()->sizePolicy().horizontalPolicy() == QSizePolicy::Fixed;
        grid->addWidget(view->input(), row, 1, fixed ? Qt::AlignLeft | Qt::AlignVCenter : Qt::Alignment());
      }
      if (growsWithPage(model_, c)) {
        grid->setRowStretch(row, 1);
        boxGrows = true;
      }
      ++row;
      groupOf_[static_cast<int>(c)] = static_cast<int>(groups_.size());
      views_[static_cast<int>(c)] = std::move(view);
    }
    grid->setColumnStretch(1, 1);
    groups_.push_back({box, g.controls});
    cols[g.column]->addWidget(box, boxGrows ? 1 : 0);
    grows[g.column] = grows[g.column] || boxGrows;
  }
  for (size_t i = 0; i < cols.size(); ++i) {
    if (!grows[i]) cols[i]->addStretch(1);
    columns->addLayout(cols[i], grows[i] ? 1 : 0);
  }
  return host;
}

void StationWindow::onChange(const ModelChange& ch) {
  if (ch.control != Ctl::Count)
    renderControl(ch.control);
  else
    renderPanel(ch.panel);
}

void StationWindow::renderControl(Ctl c) {
  if (c == Ctl::TAB) return renderTabs();
  if (c == Ctl::TIMER) return renderTimer();
  auto& v = views_[static_cast<int>(c)];
  if (!v) return;
  v->render();
  renderGroupOf(c);
}

// A frame whose controls are all hidden is hidden with them.
void StationWindow::renderGroupOf(Ctl c) {
  int g = groupOf_[static_cast<int>(c)];
  if (g < 0) return;
  bool any = false;
  for (Ctl k : groups_[g].controls) any = any || model_.visible(k);
  groups_[g].box->setHidden(!any);
}

void StationWindow::renderTabs() {
  {
    QSignalBlocker block(tabs_);
    for (int page = 0; page < kPageCount; ++page) {
      tabs_->setTabText(page, toQString(model_.panel(pagePanel(page)).title));
      tabs_->setTabVisible(page, model_.pageVisible(page));
    }
    if (model_.pageVisible(model_.activePage())) tabs_->setCurrentIndex(model_.activePage());
  }
  // Hiding the active page moves the tab control to another page; the model follows
  // without a page-change commit, as for any switch the program makes.
  if (tabs_->currentIndex() >= 0 && tabs_->currentIndex() != model_.activePage() &&
      !model_.pageVisible(model_.activePage()))
    model_.setActivePage(tabs_->currentIndex());
}

void StationWindow::renderTimer() {
  const Control& t = model_[Ctl::TIMER];
  timer_.setInterval(std::max(t.intervalMs, 1));
  if (t.enabled && !timer_.isActive()) timer_.start();
  if (!t.enabled && timer_.isActive()) timer_.stop();
}

void StationWindow::renderPanel(Panel p) {
  if (p == Panel::Main) {
    setWindowTitle(toQString(model_.panel(p).title));
    return;
  }
  if (pageIndex(p) >= 0) return renderTabs();
  QDialog* dlg = dialogs_[static_cast<int>(p)];
  if (!dlg) return;
  const PanelState& s = model_.panel(p);
  dlg->setWindowTitle(toQString(s.title));
  if (s.visible && !dlg->isVisible()) {
    dlg->show();
    dlg->raise();
  } else if (!s.visible && dlg->isVisible()) {
    dlg->hide();
  }
}

void StationWindow::renderAll() {
  for (int i = 0; i < kControlCount; ++i) renderControl(static_cast<Ctl>(i));
  for (int p = 0; p < static_cast<int>(Panel::Count); ++p) renderPanel(static_cast<Panel>(p));
}

void StationWindow::commitLater(Ctl c, const Event& e) {
  // Commits run from the event loop rather than inside the widget's own signal,
  // so that a callback may rebuild that widget, open boxes or run long loops.
  QMetaObject::invokeMethod(
      this, [this, c, e] { model_.commit(c, e); }, Qt::QueuedConnection);
}

void StationWindow::tick() {
  // A poll that lets events run must not start another poll inside itself.
  if (ticking_) return;
  ticking_ = true;
  model_.commit(Ctl::TIMER, {EventKind::TimerTick});
  ticking_ = false;
}

bool StationWindow::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) {
    QMetaObject::invokeMethod(
        this, [this] { model_.panelEvent(Panel::Main, {EventKind::GotFocus}); }, Qt::QueuedConnection);
  }
  return QWidget::event(e);
}

void StationWindow::closeEvent(QCloseEvent* e) {
  model_.panelEvent(Panel::Main, {EventKind::Close});
  e->accept();
  emit closed();
}

}  // namespace lumvex::qt
