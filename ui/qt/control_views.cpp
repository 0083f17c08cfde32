#include "ui/qt/control_views.h"

#include "ui/qt/graph_view.h"
#include "ui/qt/lamp.h"
#include "ui/qt/live_view.h"
#include "ui/qt/plot_view.h"
#include "ui/qt/text.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace lumvex::qt {
namespace {

// The colour of an enabled control; a dimmed one keeps the style's grey, or
// dimming would not show.
void applyTextColour(QWidget* w, uint32_t rgb) {
  QPalette pal = w->palette();
  QColor c = toQColor(rgb);
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
    for (QPalette::ColorRole r : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
      pal.setColor(g, r, c);
  w->setPalette(pal);
}

bool sameLabels(const QComboBox& box, const std::vector<Item>& items) {
  if (box.count() != static_cast<int>(items.size())) return false;
  for (int i = 0; i < box.count(); ++i)
    if (box.itemText(i) != toQString(items[i].label)) return false;
  return true;
}

bool sameLabels(const QComboBox& box, const std::vector<std::string>& texts) {
  if (box.count() != static_cast<int>(texts.size())) return false;
  for (int i = 0; i < box.count(); ++i)
    if (box.itemText(i) != toQString(texts[i])) return false;
  return true;
}

QString formatNumber(const Control& k) { return QString::number(k.number, 'f', std::max(k.precision, 0)); }

// ---------------------------------------------------------------- buttons

class ButtonView : public ControlView {
 public:
  ButtonView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : ControlView(m, c) {
    button_ = new QPushButton(parent);
    input_ = button_;
    QObject::connect(button_, &QPushButton::clicked, button_,
                     [commit, c] { commit(c, {EventKind::Commit}); });
    forwardRightClick(commit);
  }

 protected:
  void renderValue(const Control& k) override {
    button_->setText(toDisplay(k.label));
    // A transparent button is borderless: only its caption shows on the panel.
    button_->setFlat(k.background == colour::Transparent);
  }

 private:
  QPushButton* button_;
};

class ToggleView : public ControlView {
 public:
  ToggleView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : ControlView(m, c) {
    makeCaption(parent);
    button_ = new QPushButton(parent);
    button_->setCheckable(true);
    input_ = button_;
    QObject::connect(button_, &QPushButton::toggled, button_, [this, commit, c](bool on) {
      model_.setNumber(c, on ? 1 : 0);
      commit(c, {EventKind::Commit});
    });
    forwardRightClick(commit);
  }

 protected:
  void renderValue(const Control& k) override {
    bool on = k.number != 0;
    QSignalBlocker block(button_);
    button_->setChecked(on);
    if (k.stateTexts.size() >= 2)
      button_->setText(toDisplay(k.stateTexts[on ? 1 : 0]));
    else
      button_->setText(on ? "ON" : "OFF");
  }

 private:
  QPushButton* button_;
};

// ---------------------------------------------------------------- values

constexpr int kMaxIndicatorWidth = 640;  // px

class TextView : public ControlView {
 public:
  TextView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : ControlView(m, c) {
    makeCaption(parent);
    edit_ = new QLineEdit(parent);
    edit_->setMinimumWidth(160);
    input_ = edit_;
    QObject::connect(edit_, &QLineEdit::textEdited, edit_, [this, c](const QString& t) {
      model_.setText(c, toStd(t));
      dirty_ = true;
    });
    QObject::connect(edit_, &QLineEdit::editingFinished, edit_, [this, commit, c] {
      if (!dirty_) return;
      dirty_ = false;
      commit(c, {EventKind::Commit});
    });
    forwardRightClick(commit);
  }

 protected:
  void renderValue(const Control& k) override {
    edit_->setReadOnly(k.indicator);
    QString t = toDisplay(k.text);
    if (edit_->text() != t) edit_->setText(t);
    // A field the station writes shows its whole text: it widens to the
    // longest text it has held (never narrowing, so the page does not jump).
    if (k.indicator) {
      const int want =
          edit_->fontMetrics().horizontalAdvance(t) + 4 * edit_->fontMetrics().averageCharWidth();
      if (want > edit_->minimumWidth()) edit_->setMinimumWidth(std::min(want, kMaxIndicatorWidth));
    }
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Base,
                 toQColor(k.background == colour::Transparent ? colour::White : k.background));
    edit_->setPalette(pal);
  }

 private:
  QLineEdit* edit_;
  bool dirty_ = false;
};

// Numbers the operator sets are spin boxes; numbers the station shows are
// read-only fields, which also show a text the station wrote into the control.
class NumericView : public ControlView {
 public:
  NumericView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : ControlView(m, c) {
    makeCaption(parent);
    if (m[c].indicator) {
      display_ = new QLineEdit(parent);
      display_->setReadOnly(true);
      display_->setAlignment(Qt::AlignRight);
      input_ = display_;
    } else {
      spin_ = new QDoubleSpinBox(parent);
      spin_->setKeyboardTracking(false);  // a value is committed when typed in, not per keystroke
      spin_->setAlignment(Qt::AlignRight);
      input_ = spin_;
      QObject::connect(spin_, &QDoubleSpinBox::valueChanged, spin_, [this, commit, c](double v) {
        model_.setNumber(c, v);
        commit(c, {EventKind::Commit});
      });
    }
    forwardRightClick(commit);
  }

 protected:
  void renderValue(const Control& k) override {
    if (display_) {
      QString t = k.text.empty() ? formatNumber(k) : toDisplay(k.text);
      if (display_->text() != t) display_->setText(t);
      QPalette pal = display_->palette();
      pal.setColor(QPalette::Base,
                   toQColor(k.background == colour::Transparent ? colour::White : k.background));
      display_->setPalette(pal);
      return;
    }
    QSignalBlocker block(spin_);
    spin_->setDecimals(std::max(k.precision, 0));
    spin_->setRange(k.minimum, k.maximum);
    spin_->setValue(k.number);
  }

 private:
  QLineEdit* display_ = nullptr;
  QDoubleSpinBox* spin_ = nullptr;
};

class RingView : public ControlView {
 public:
  RingView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : ControlView(m, c) {
    makeCaption(parent);
    box_ = new QComboBox(parent);
    box_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    input_ = box_;
    QObject::connect(box_, &QComboBox::activated, box_, [this, commit, c](int i) {
      model_.setIndex(c, i);
      commit(c, {EventKind::Commit});
    });
    forwardRightClick(commit);
  }

 protected:
  void renderValue(const Control& k) override {
    QSignalBlocker block(box_);
    if (!sameLabels(*box_, k.items)) {
      box_->clear();
      for (const Item& i : k.items) box_->addItem(toQString(i.label));
    }
    box_->setCurrentIndex(k.index);
  }

 private:
  QComboBox* box_;
};

class ListView : public ControlView {
 public:
  ListView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : ControlView(m, c) {
    makeCaption(parent);
    list_ = new QListWidget(parent);
    list_->setMinimumHeight(80);
    input_ = list_;
    QObject::connect(list_, &QListWidget::currentRowChanged, list_, [this, commit, c](int row) {
      pressedNewRow_ = QApplication::mouseButtons() != Qt::NoButton;
      model_.setIndex(c, row);
      commit(c, {EventKind::Commit});
    });
    // Clicking the entry that is already chosen chooses it again (e.g. to copy it once more).
    QObject::connect(list_, &QListWidget::itemClicked, list_, [this, commit, c](QListWidgetItem*) {
      if (std::exchange(pressedNewRow_, false)) return;
      commit(c, {EventKind::Commit});
    });
    forwardRightClick(commit);
  }
  bool wide() const override { return true; }

 protected:
  void renderValue(const Control& k) override {
    QSignalBlocker block(list_);
    bool same = list_->count() == static_cast<int>(k.items.size());
    for (int i = 0; same && i < list_->count(); ++i)
      same = list_->item(i)->text() == toQString(k.items[i].label);
    if (!same) {
      list_->clear();
      for (const Item& i : k.items) list_->addItem(toQString(i.label));
    }
    list_->setCurrentRow(k.index);
  }

 private:
  QListWidget* list_;
  bool pressedNewRow_ = false;
};

// ---------------------------------------------------------------- tables

constexpr int kShortTable = 3;  // rows

class TableView : public ControlView {
 public:
  TableView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : ControlView(m, c), commit_(commit) {
    makeCaption(parent);
    table_ = new QTableWidget(parent);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
    table_->horizontalHeader()->setMinimumSectionSize(56);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumHeight(120);
    input_ = table_;
    QObject::connect(table_, &QTableWidget::itemChanged, table_, [this, c](QTableWidgetItem* item) {
      int row = item->row() + 1, col = item->column() + 1;
      if (row > model_.rows(c) || col > static_cast<int>(model_[c].cells[row - 1].size())) return;
      model_.setCell(c, row, col, toStd(item->text()));
      commit_(c, {EventKind::CellCommit, 0, row, col});
    });
    forwardRightClick(commit);
  }
  bool wide() const override { return true; }

 protected:
  void renderValue(const Control& k) override {
    QSignalBlocker block(table_);
    int rows = static_cast<int>(k.cells.size());
    int cols = 0;
    for (const auto& r : k.cells) cols = std::max(cols, static_cast<int>(r.size()));
    if (table_->rowCount() != rows) table_->setRowCount(rows);
    if (table_->columnCount() != cols) table_->setColumnCount(cols);
    QStringList titles;
    for (int j = 0; j < cols; ++j)
      titles << (j < static_cast<int>(k.columnTitles.size()) ? toQString(k.columnTitles[j])
                                                             : QString::number(j + 1));
    table_->setHorizontalHeaderLabels(titles);
    table_->setEditTriggers(k.indicator ? QAbstractItemView::NoEditTriggers
                                        : QAbstractItemView::AllEditTriggers);
    fitHeight(rows);
    for (int r = 0; r < rows; ++r)
      for (int j = 0; j < cols; ++j)
        renderCell(r, j, j < static_cast<int>(k.cells[r].size()) ? &k.cells[r][j] : nullptr);
    fitWidth(cols);
  }

 private:
  // A table of a few rows (the limits) is as tall as its rows; longer ones fill their column.
  void fitHeight(int rows) {
    if (rows > kShortTable) {
      table_->setMinimumHeight(120);
      table_->setMaximumHeight(QWIDGETSIZE_MAX);
      return;
    }
    int h = table_->horizontalHeader()->sizeHint().height() +
            rows * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth() + 2;
    table_->setMinimumHeight(h);
    table_->setMaximumHeight(h);
  }

  // Wide enough for every column's contents (the ISO codes of the LED table),
  // so that no column hides behind a scroll bar.
  void fitWidth(int cols) {
    constexpr int kCellPadding = 12;  // px, the style's margins around a cell's text
    const QFontMetrics fm = table_->fontMetrics();
    int w = 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width();
    for (int j = 0; j < cols; ++j) {
      int col = std::max(table_->horizontalHeader()->sectionSizeHint(j),
                         table_->horizontalHeader()->minimumSectionSize());
      for (int r = 0; r < table_->rowCount(); ++r) {
        if (const QTableWidgetItem* item = table_->item(r, j))
          col = std::max(col, fm.horizontalAdvance(item->text()) + kCellPadding);
        // The list cells (the adjustable 50th's rib and position) are as wide as their longest entry.
        if (const QWidget* list = table_->cellWidget(r, j)) col = std::max(col, list->sizeHint().width());
      }
      w += col;
    }
    table_->setMinimumWidth(w);
  }

  void renderCell(int r, int j, const Cell* cell) {
    static const Cell kBlank{};
    const Cell& cl = cell ? *cell : kBlank;
    if (cl.choice) {
      renderChoice(r, j, cl);
      return;
    }
    // Cells are updated in place: an edit's own item must outlive the render it causes.
    if (table_->cellWidget(r, j)) table_->removeCellWidget(r, j);
    QTableWidgetItem* item = table_->item(r, j);
    if (!item) {
      item = new QTableWidgetItem;
      table_->setItem(r, j, item);
    }
    QString t = toDisplay(cl.text);
    if (item->text() != t) item->setText(t);
    item->setBackground(toQColor(cl.background));
  }

  void renderChoice(int r, int j, const Cell& cl) {
    auto* box = qobject_cast<QComboBox*>(table_->cellWidget(r, j));
    if (!box) {
      box = new QComboBox;
      table_->setCellWidget(r, j, box);
      Ctl c = id_;
      QObject::connect(box, &QComboBox::activated, box, [this, c, r, j](int i) {
        if (r >= model_.rows(c)) return;
        Cell& edited = model_.editCell(c, r + 1, j + 1);
        if (i < 0 || i >= static_cast<int>(edited.choices.size())) return;
        edited.choiceIndex = i;
        edited.text = edited.choices[i];
        model_.changed(c);
        commit_(c, {EventKind::CellCommit, 0, r + 1, j + 1});
      });
    }
    QSignalBlocker block(box);
    if (!sameLabels(*box, cl.choices)) {
      box->clear();
      for (const std::string& s : cl.choices) box->addItem(toQString(s));
    }
    box->setCurrentIndex(cl.choiceIndex);
    box->setEnabled(!model_[id_].indicator);
  }

  QTableWidget* table_;
  CommitFn commit_;
};

// ---------------------------------------------------------------- indicators

class LedView : public ControlView {
 public:
  LedView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : ControlView(m, c) {
    makeCaption(parent);
    lamp_ = new Lamp(parent);
    input_ = lamp_;
    forwardRightClick(commit);
  }

 protected:
  void renderValue(const Control& k) override { lamp_->setOn(k.number != 0); }

 private:
  Lamp* lamp_;
};

class GaugeView : public ControlView {
 public:
  GaugeView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : ControlView(m, c) {
    makeCaption(parent);
    bar_ = new QProgressBar(parent);
    bar_->setFormat("%v");
    input_ = bar_;
    forwardRightClick(commit);
  }

 protected:
  void renderValue(const Control& k) override {
    double lo = std::max(k.minimum, -1e9), hi = std::min(k.maximum, 1e9);
    bar_->setRange(static_cast<int>(lo), static_cast<int>(hi));
    bar_->setValue(static_cast<int>(std::lround(std::clamp(k.number, lo, hi))));
  }

 private:
  QProgressBar* bar_;
};

class GraphView : public DeferredGraphView {
 public:
  GraphView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) : DeferredGraphView(m, c) {
    plot_ = makePlot(parent);
    input_ = plot_;
    forwardRightClick(commit);
  }

 protected:
  void draw(const GraphState& g) override { drawGraph(*plot_, g); }

 private:
  QCustomPlot* plot_;
};

class LabelView : public ControlView {
 public:
  LabelView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent, bool picture) : ControlView(m, c) {
    label_ = new QLabel(parent);
    label_->setWordWrap(!picture);
    if (picture) {
      label_->setFrameShape(QFrame::Box);
      label_->setMargin(8);
      QFont mono("DejaVu Sans Mono");
      mono.setStyleHint(QFont::TypeWriter);
      label_->setFont(mono);
    }
    input_ = label_;
    forwardRightClick(commit);
  }

 protected:
  void renderValue(const Control& k) override {
    label_->setText(toDisplay(k.text.empty() ? k.label : k.text));
  }

 private:
  QLabel* label_;
};

// A frame line that sets a group of controls apart.
class SplitterView : public ControlView {
 public:
  SplitterView(Model& m, Ctl c, QWidget* parent) : ControlView(m, c) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    input_ = line;
  }

 protected:
  void renderValue(const Control&) override {}
};

}  // namespace

void ControlView::makeCaption(QWidget* parent) {
  caption_ = new QLabel(parent);
  caption_->setObjectName(toQString(controlName(id_)) + "_caption");
}

void ControlView::forwardRightClick(const CommitFn& commit) {
  input_->setContextMenuPolicy(Qt::CustomContextMenu);
  Ctl c = id_;
  QObject::connect(input_, &QWidget::customContextMenuRequested, input_,
                   [commit, c](const QPoint&) { commit(c, {EventKind::RightClick}); });
}

void DeferredGraphView::renderValue(const Control&) {
  if (pending_) return;
  pending_ = true;
  QTimer::singleShot(0, input_, [this] {
    pending_ = false;
    draw(model_[id_].graph);
  });
}

void ControlView::render() {
  const Control& k = model_[id_];
  if (caption_) {
    caption_->setText(toDisplay(k.label));
    caption_->setHidden(!k.visible || k.label.empty());
    caption_->setEnabled(!k.dimmed);
  }
  input_->setHidden(!k.visible);
  input_->setEnabled(!k.dimmed);
  applyTextColour(input_, k.textColour);
  renderValue(k);
}

std::unique_ptr<ControlView> makeControlView(Model& m, Ctl c, const CommitFn& commit, QWidget* parent) {
  std::unique_ptr<ControlView> v;
  if (c == Ctl::BATT_SPLITTER) {
    v = std::make_unique<SplitterView>(m, c, parent);
  } else {
    switch (controlKind(c)) {
      case CtlKind::Button:
        v = std::make_unique<ButtonView>(m, c, commit, parent);
        break;
      case CtlKind::Toggle:
        v = std::make_unique<ToggleView>(m, c, commit, parent);
        break;
      case CtlKind::Text:
        v = std::make_unique<TextView>(m, c, commit, parent);
        break;
      case CtlKind::Numeric:
        v = std::make_unique<NumericView>(m, c, commit, parent);
        break;
      case CtlKind::Ring:
        v = std::make_unique<RingView>(m, c, commit, parent);
        break;
      case CtlKind::List:
        v = std::make_unique<ListView>(m, c, commit, parent);
        break;
      case CtlKind::Table:
        v = std::make_unique<TableView>(m, c, commit, parent);
        break;
      case CtlKind::Led:
        v = std::make_unique<LedView>(m, c, commit, parent);
        break;
      case CtlKind::Gauge:
        v = std::make_unique<GaugeView>(m, c, commit, parent);
        break;
      case CtlKind::Graph:
        if (c == Ctl::PLOT_GRAPH)
          v = makePlotView(m, c, commit, parent);
        else if (c == Ctl::LIVE_GRAPH)
          v = makeLiveView(m, c, commit, parent);
        else
          v = std::make_unique<GraphView>(m, c, commit, parent);
        break;
      case CtlKind::Label:
        v = std::make_unique<LabelView>(m, c, commit, parent, false);
        break;
      case CtlKind::Picture:
        v = std::make_unique<LabelView>(m, c, commit, parent, true);
        break;
      case CtlKind::Timer:
      case CtlKind::Tab:
        return nullptr;  // the window itself renders these
    }
  }
  v->input()->setObjectName(toQString(controlName(c)));
  return v;
}

}  // namespace lumvex::qt
