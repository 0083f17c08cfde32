// The Qt main window over the control model, offscreen: the pages and
// widgets it builds, model changes reaching widgets, operator edits reaching
// the model and the bound callbacks (once each, without echoes), the status
// timer, window events, pop-up panels, graphs and the Qt operator's boxes.
#include "ui/callbacks.h"
#include "ui/main_window.h"
#include "core/station.h"
#include "support/gui_station.h"
#include "support/testing.h"
#include "ui/layout.h"
#include "ui/qt/qt_operator.h"
#include "ui/qt/station_window.h"
#include "ui/qt/text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <qcustomplot.h>

#include <functional>
#include <memory>
#include <vector>

using namespace lumvex;
using lumvex::qt::StationWindow;
using lumvex::testing::onModal;

class MainWindowTest : public QObject, protected testing::GuiStation<> {
  Q_OBJECT

 private:
  std::vector<Event> events_;

  Model& model() { return st_->model; }
  // A test's own callback on c, recording every event it receives.
  void record(Ctl c) {
    model().bind(c, [this](const Event& e) { events_.push_back(e); });
  }

 private slots:
  void init() {
    makeWorkDir();
    openStation();
    events_.clear();
  }

  void cleanup() { closeStation(); }

  void showsTheSevenPagesInOrderWithOnlyThreeVisible() {
    QTabWidget* tabs = win_->findChild<QTabWidget*>("TAB");
    QVERIFY(tabs);
    QCOMPARE(win_->windowTitle(), QString("Lumvex Ver 8.1"));
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i) titles << tabs->tabText(i);
    QCOMPARE(titles, QStringList({"Connect/Setup", "Plot", "Live Display", "Diagnostics", "Export",
                                  "Trigger Test", "LED Position Auto Check"}));
    QList<bool> shown;
    for (int i = 0; i < tabs->count(); ++i) shown << tabs->isTabVisible(i);
    QCOMPARE(shown, QList<bool>({true, true, false, false, true, false, false}));
    QCOMPARE(tabs->currentIndex(), 0);
  }

  void buildsOneWidgetPerControlNamedAfterIt() {
    for (int i = 0; i < kControlCount; ++i) {
      Ctl c = static_cast<Ctl>(i);
      if (c == Ctl::TAB || c == Ctl::TIMER) continue;
      QWidget* w = win_->controlWidget(c);
      QVERIFY2(w, controlName(c).data());
      QCOMPARE(w->objectName(), qt::toQString(controlName(c)));
      QVERIFY2(win_->findChild<QWidget*>(w->objectName()) == w || win_->panelDialog(controlPanel(c)),
               controlName(c).data());
    }
    QVERIFY(widget<QPushButton>(*win_, "CONNECT"));
    QVERIFY(widget<QComboBox>(*win_, "CONNECTION"));
    QVERIFY(widget<QComboBox>(*win_, "COMPORT"));
    QVERIFY(widget<QLineEdit>(*win_, "IPADDRESS"));
    QVERIFY(widget<QListWidget>(*win_, "IPSELECT"));
    QVERIFY(widget<QLineEdit>(*win_, "STATUSBOX"));
    QVERIFY(widget<QDoubleSpinBox>(*win_, "TPOST"));
    QVERIFY(widget<QProgressBar>(*win_, "BATT_FUEL"));
    QVERIFY(widget<QCustomPlot>(*win_, "PLOT_GRAPH"));
    QVERIFY(widget<QCustomPlot>(*win_, "LIVE_GRAPH"));
    auto* table = widget<QTableWidget>(*win_, "LED_TABLE");
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 18);
    QCOMPARE(table->item(17, 0)->text(), QString("18"));
    QCOMPARE(widget<QPushButton>(*win_, "REPROCESS_BUTTON")->text(), QString("Continue Reprocessing"));
    QVERIFY(widget<QPushButton>(*win_, "REPROCESS_BUTTON")->isHidden());
    QVERIFY(!widget<QPushButton>(*win_, "EXPORT_BUT")->isEnabled());
    QCOMPARE(widget<QLineEdit>(*win_, "EXPORT_STATUS")->text(), QString("Nothing to Export"));
    // The start-up read the test objects from the configuration folder.
    QCOMPARE(widget<QComboBox>(*win_, "TESTOBJECT")->count(), model().itemCount(Ctl::TESTOBJECT));
  }

  void serialConnectionShowsThePortAndHidesTheEthernetControls() {
    auto* box = widget<QComboBox>(*win_, "CONNECTION");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(model().index(Ctl::CONNECTION), 1);
    QTRY_VERIFY(!win_->controlWidget(Ctl::COMPORT)->isHidden());
    QVERIFY(win_->controlWidget(Ctl::IPADDRESS)->isHidden());
    QVERIFY(win_->controlWidget(Ctl::IPSELECT)->isHidden());
    QVERIFY(win_->controlWidget(Ctl::LISTEN)->isHidden());
    QTest::keyClick(box, Qt::Key_Up);
    QTRY_VERIFY(win_->controlWidget(Ctl::COMPORT)->isHidden());
    QVERIFY(!win_->controlWidget(Ctl::LISTEN)->isHidden());
  }

  void modelChangesReachTheWidgets() {
    model().setText(Ctl::STATUSBOX, "Connected - Idle");
    model().setTextColour(Ctl::STATUSBOX, colour::DarkGreen);
    auto* status = widget<QLineEdit>(*win_, "STATUSBOX");
    QCOMPARE(status->text(), QString("Connected - Idle"));
    QCOMPARE(status->palette().color(QPalette::Text), QColor(0, 0x80, 0));
    model().setLabel(Ctl::CONNECT, "DISCONNECT");
    QCOMPARE(widget<QPushButton>(*win_, "CONNECT")->text(), QString("DISCONNECT"));
    // A dimmed button shows grey text, also after its colour was set.
    model().setTextColour(Ctl::ARM_BUT, colour::Black);
    auto* arm = widget<QPushButton>(*win_, "ARM_BUT");
    QVERIFY(!arm->isEnabled());
    QVERIFY(arm->palette().color(QPalette::Disabled, QPalette::ButtonText) !=
            arm->palette().color(QPalette::Active, QPalette::ButtonText));
    model().setDimmed(Ctl::ARM_BUT, false);
    QVERIFY(win_->controlWidget(Ctl::ARM_BUT)->isEnabled());
    model().setVisible(Ctl::SAVE_LED_INFO, true);
    QVERIFY(!win_->controlWidget(Ctl::SAVE_LED_INFO)->isHidden());
    // The caption follows its control.
    model().setVisible(Ctl::TESTINFO, false);
    QVERIFY(win_->findChild<QLabel*>("TESTINFO_caption")->isHidden());

    model().setItems(Ctl::TRIGGER_SET, {{"TRIGGER NOT SET !!!!!!!!!!!!!!!!!!", "-1"}, {"Rising Edge", "0"}},
                     0);
    auto* trig = widget<QComboBox>(*win_, "TRIGGER_SET");
    QCOMPARE(trig->count(), 2);
    QCOMPARE(trig->currentText(), QString("TRIGGER NOT SET !!!!!!!!!!!!!!!!!!"));
    model().setIndex(Ctl::TRIGGER_SET, 1);
    QCOMPARE(trig->currentIndex(), 1);

    model().setCell(Ctl::LED_TABLE, 2, 4, "1 1 RIBS 01 LE H3 DS X/Y ");
    model().setCellBackground(Ctl::LED_TABLE, 2, 4, colour::Yellow);
    auto* table = widget<QTableWidget>(*win_, "LED_TABLE");
    QCOMPARE(table->item(1, 3)->text(), QString("1 1 RIBS 01 LE H3 DS X/Y "));
    QCOMPARE(table->item(1, 3)->background().color(), QColor(255, 255, 0));
    model().setTableSize(Ctl::LED_TABLE, 6, 7);
    QCOMPARE(table->rowCount(), 6);

    model().setNumber(Ctl::CIRC_LIN_BUT, 1);
    QCOMPARE(widget<QPushButton>(*win_, "CIRC_LIN_BUT")->text(), QString("Linear"));
    QVERIFY(widget<QPushButton>(*win_, "CIRC_LIN_BUT")->isChecked());
    model().setVisible(Ctl::BATT_FUEL, true);
    model().setNumber(Ctl::BATT_FUEL, 87);
    QCOMPARE(widget<QProgressBar>(*win_, "BATT_FUEL")->value(), 87);
    model().setNumber(Ctl::BATT_VOLTS, 12.6);
    QCOMPARE(widget<QLineEdit>(*win_, "BATT_VOLTS")->text(), QString("12.60"));
    model().setRange(Ctl::TPOST, 0, 179900);
    model().setNumber(Ctl::TPOST, 150000);
    QCOMPARE(widget<QDoubleSpinBox>(*win_, "TPOST")->value(), 150000.0);
    // A display the station writes a text into shows that text.
    model().setText(Ctl::DATA_STRT, "-30");
    QCOMPARE(widget<QLineEdit>(*win_, "DATA_STRT")->text(), QString("-30"));
  }

  void pageVisibilityAndActivePageFollowTheModel() {
    QTabWidget* tabs = win_->tabs();
    QSignalSpy tabCommits(tabs, &QTabWidget::currentChanged);
    record(Ctl::TAB);
    model().setPageVisible(3, true);
    QVERIFY(tabs->isTabVisible(3));
    model().setActivePage(3);
    QCOMPARE(tabs->currentIndex(), 3);
    // Hiding the active page moves the tab control on; the model follows it
    // without a page-change commit.
    model().setPageVisible(3, false);
    QVERIFY(!tabs->isTabVisible(3));
    QVERIFY(tabs->currentIndex() != 3);
    QCOMPARE(model().activePage(), tabs->currentIndex());
    QCoreApplication::processEvents();
    QVERIFY(events_.empty());
    model().setPanelTitle(pagePanel(4), "Export Data");
    QCOMPARE(tabs->tabText(4), QString("Export Data"));
  }

  void operatorEditsReachTheModelAndTheCallbackOnce() {
    for (Ctl c : {Ctl::TESTINFO, Ctl::TPOST, Ctl::CIRC_LIN_BUT, Ctl::LED_TABLE}) model().setDimmed(c, false);

    // A callback that rewrites its own control does not commit again.
    model().bind(Ctl::TESTINFO, [this](const Event& e) {
      events_.push_back(e);
      model().setText(Ctl::TESTINFO, model().text(Ctl::TESTINFO) + "!");
    });
    auto* info = widget<QLineEdit>(*win_, "TESTINFO");
    info->setFocus();
    QTest::keyClicks(info, "a,b");
    QCOMPARE(model().text(Ctl::TESTINFO), std::string("a,b"));
    QTest::keyClick(info, Qt::Key_Return);
    QTRY_COMPARE(events_.size(), size_t(1));
    QCOMPARE(info->text(), QString("a,b!"));
    win_->controlWidget(Ctl::CONNECT)->setFocus();  // leaving the field after Enter commits nothing more
    QCoreApplication::processEvents();
    QCOMPARE(events_.size(), size_t(1));

    events_.clear();
    record(Ctl::TPOST);
    auto* tpost = widget<QDoubleSpinBox>(*win_, "TPOST");
    tpost->setFocus();
    tpost->selectAll();
    QTest::keyClicks(tpost, "2500");
    QCoreApplication::processEvents();
    QVERIFY(events_.empty());  // no commit per keystroke
    QTest::keyClick(tpost, Qt::Key_Return);
    QTRY_COMPARE(events_.size(), size_t(1));
    QCOMPARE(model().number(Ctl::TPOST), 2500.0);

    events_.clear();
    record(Ctl::CIRC_LIN_BUT);
    QTest::mouseClick(win_->controlWidget(Ctl::CIRC_LIN_BUT), Qt::LeftButton);
    QTRY_COMPARE(events_.size(), size_t(1));
    QCOMPARE(model().number(Ctl::CIRC_LIN_BUT), 1.0);

    events_.clear();
    record(Ctl::CONNECT);
    QTest::mouseClick(win_->controlWidget(Ctl::CONNECT), Qt::LeftButton);
    QTRY_COMPARE(events_.size(), size_t(1));
    QCOMPARE(events_[0].kind, EventKind::Commit);
  }

  void listChoicesCopyTheAddressEvenWhenChosenAgain() {
    model().appendItem(Ctl::IPSELECT, "10.0.0.7", "10.0.0.7");
    model().appendItem(Ctl::IPSELECT, "10.0.0.9", "10.0.0.9");
    model().setIndex(Ctl::IPSELECT, -1);
    auto* list = widget<QListWidget>(*win_, "IPSELECT");
    QListWidgetItem* second = list->item(1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(second).center());
    QCOMPARE(model().index(Ctl::IPSELECT), 1);
    QTRY_COMPARE(model().text(Ctl::IPADDRESS), std::string("10.0.0.9"));
    model().setText(Ctl::IPADDRESS, "typed");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(second).center());
    QTRY_COMPARE(model().text(Ctl::IPADDRESS), std::string("10.0.0.9"));

    // One click is one commit, whether it changes the choice or repeats it.
    record(Ctl::IPSELECT);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QTest::qWait(20);
    QCOMPARE(events_.size(), size_t(2));
    QCOMPARE(model().index(Ctl::IPSELECT), 0);
  }

  void tableEditsCommitTheirRowAndColumn() {
    model().setDimmed(Ctl::LED_TABLE, false);
    record(Ctl::LED_TABLE);
    auto* table = widget<QTableWidget>(*win_, "LED_TABLE");
    table->item(4, 1)->setText("3");
    QTRY_COMPARE(events_.size(), size_t(1));
    QCOMPARE(events_[0].kind, EventKind::CellCommit);
    QCOMPARE(events_[0].row, 5);
    QCOMPARE(events_[0].col, 2);
    QCOMPARE(model().cell(Ctl::LED_TABLE, 5, 2).text, std::string("3"));

    // A choice cell shows its list; picking an entry stores index and text.
    Cell& c = model().editCell(Ctl::LED_TABLE, 2, 3);
    c.choice = true;
    c.choices = {"LEFT RIB", "LEFT STERNUM", "RIGHT RIB", "RIGHT STERNUM"};
    c.choiceIndex = 0;
    c.text = "LEFT RIB";
    model().changed(Ctl::LED_TABLE);
    auto* box = qobject_cast<QComboBox*>(table->cellWidget(1, 2));
    QVERIFY(box);
    QCOMPARE(box->count(), 4);
    events_.clear();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    QTRY_COMPARE(events_.size(), size_t(1));
    QCOMPARE(events_[0].row, 2);
    QCOMPARE(events_[0].col, 3);
    QCOMPARE(model().cell(Ctl::LED_TABLE, 2, 3).choiceIndex, 1);
    QCOMPARE(model().cell(Ctl::LED_TABLE, 2, 3).text, std::string("LEFT STERNUM"));
  }

  void rightClickAndTabChangeReachTheirCallbacks() {
    model().setDimmed(Ctl::TESTOBJECT, false);  // a dimmed control takes no clicks
    record(Ctl::TESTOBJECT);
    QWidget* obj = win_->controlWidget(Ctl::TESTOBJECT);
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(4, 4), obj->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(obj, &click);
    QTRY_COMPARE(events_.size(), size_t(1));
    QCOMPARE(events_[0].kind, EventKind::RightClick);

    events_.clear();
    record(Ctl::TAB);
    win_->tabs()->setCurrentIndex(4);
    QCOMPARE(model().activePage(), 4);
    QTRY_COMPARE(events_.size(), size_t(1));
    QCOMPARE(events_[0].kind, EventKind::TabChanged);
    QCOMPARE(events_[0].data, 4);
  }

  void statusTimerTicksWhileRunningAndNeverInsideItself() {
    int ticks = 0, depth = 0, deepest = 0;
    model().edit(Ctl::TIMER).intervalMs = 5;
    model().bind(Ctl::TIMER, [&](const Event& e) {
      QCOMPARE(e.kind, EventKind::TimerTick);
      ++ticks;
      deepest = std::max(deepest, ++depth);
      if (ticks == 1) QTest::qWait(40);  // a poll that lets events run
      --depth;
    });
    model().setTimerRunning(true);
    QVERIFY(win_->statusTimer().isActive());
    QTRY_VERIFY(ticks >= 3);
    QCOMPARE(deepest, 1);
    model().setTimerRunning(false);
    QVERIFY(!win_->statusTimer().isActive());
    int stopped = ticks;
    QTest::qWait(30);
    QCOMPARE(ticks, stopped);
  }

  void popupPanelsOpenAndCloseFromTheModelOnly() {
    QDialog* dlg = win_->panelDialog(Panel::CableDisconnect);
    QVERIFY(dlg);
    QVERIFY(!dlg->isVisible());
    record(Ctl::DISC_BUTTON);
    model().setPanelVisible(Panel::CableDisconnect, true);
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->windowTitle(), QString("Dummy Cable Disconnect"));
    QCOMPARE(
        dlg->findChild<QLabel*>("CABLE_TEXT")->text(),
        QString("If you plan to unplug the Ethernet\n cable  from the Lumvex, \nyou must Disconnect Now"));
    QTest::keyClick(dlg, Qt::Key_Escape);
    QVERIFY(dlg->isVisible());
    QTest::mouseClick(dlg->findChild<QPushButton*>("DISC_BUTTON"), Qt::LeftButton);
    QTRY_COMPARE(events_.size(), size_t(1));
    model().setPanelVisible(Panel::CableDisconnect, false);
    QVERIFY(!dlg->isVisible());
  }

  void windowFocusAndCloseReachThePanelCallback() {
    std::vector<EventKind> seen;
    model().bindPanel([&](Panel p, const Event& e) {
      if (p == Panel::Main) seen.push_back(e.kind);
    });
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(win_.get(), &activate);
    QTRY_VERIFY(!seen.empty());
    for (EventKind k : seen) QCOMPARE(k, EventKind::GotFocus);
    QSignalSpy closed(win_.get(), &StationWindow::closed);
    win_->close();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(seen.back(), EventKind::Close);
  }

  void closingRunsTheExitStepsAndRewritesTheAddressList() {
    model().setText(Ctl::IPADDRESS, "192.168.0.33");
    win_->close();
    QVERIFY(st_->quitRequested);
    QCOMPARE(testing::readFile(dir_->file("reinit.txt")), std::string("192.168.0.33\r\n"));
  }

  void graphsDrawTheirCurvesOnceTheChangesSettle() {
    auto* plot = widget<QCustomPlot>(*win_, "PLOT_GRAPH");
    GraphState& g = model().edit(Ctl::PLOT_GRAPH).graph;
    g.yName = "X (mm)";
    g.autoScale = true;
    g.curves.push_back({"Left", {0, 1, 2}, {5, 6, 7}, 0xFF0000});
    g.curves.push_back({"Range", {1, 2, 1, 1}, {0, 1, 2, 0}, 0x0000FF});  // turns back: a curve
    model().changed(Ctl::PLOT_GRAPH);
    model().changed(Ctl::PLOT_GRAPH);
    QTRY_COMPARE(plot->plottableCount(), 2);
    QCOMPARE(plot->graphCount(), 1);
    QCOMPARE(plot->yAxis->label(), QString("X (mm)"));
    QCOMPARE(plot->xAxis->label(), QString("Time (ms)"));
    QVERIFY(plot->legend->visible());
    QVERIFY(plot->yAxis->range().contains(7));

    auto* live = widget<QCustomPlot>(*win_, "LIVE_GRAPH");
    // The live graph keeps its ovals from redraw to redraw, hiding those it needs no more.
    auto ovals = [live] {
      std::vector<QCPItemEllipse*> shown;
      for (int i = 0; i < live->itemCount(); ++i)
        if (auto* e = qobject_cast<QCPItemEllipse*>(live->item(i)); e && e->visible()) shown.push_back(e);
      return shown;
    };
    GraphState& l = model().edit(Ctl::LIVE_GRAPH).graph;
    Curve oval{"RIB 1", {10, 20}, {50, 60}, 0xFF0000, true, 3.0, 1.5, 0xFF0000};
    l.curves = {oval};
    model().changed(Ctl::LIVE_GRAPH);
    QTRY_COMPARE(ovals().size(), size_t{2});
    QCPItemEllipse* e = ovals()[0];
    QCOMPARE(e->topLeft->coords(), QPointF(7, 51.5));
    QCOMPARE(e->bottomRight->coords(), QPointF(13, 48.5));
    QCOMPARE(live->xAxis->range().lower, -165.0);
    QCOMPARE(live->yAxis->range().upper, 190.0);
    l.curves.clear();
    model().changed(Ctl::LIVE_GRAPH);
    QTRY_COMPARE(ovals().size(), size_t{0});
  }

  void displayTextTurnsEveryBreakIntoOneLine() {
    QCOMPARE(qt::toDisplay("a\r\nb\rc\nd\n\re"), QString("a\nb\nc\nd\ne"));
    QCOMPARE(qt::toDisplay("a\n\nb"), QString("a\n\nb"));
    QCOMPARE(qt::toDisplay("a\r\n\r\nb"), QString("a\n\nb"));
  }

  void operatorBoxesShowExactTitlesTextsAndButtons() {
    qt::QtOperator op;
    op.setParent(win_.get());
    QString title, text;
    onModal([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      QVERIFY(box);
      title = box->windowTitle();
      text = box->text();
      QTest::keyClick(box, Qt::Key_Return);
    });
    op.message("Error", "Could not open\r\nthe COM port");
    QCOMPARE(title, QString("Error"));
    QCOMPARE(text, QString("Could not open\nthe COM port"));

    onModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); });
    QVERIFY(op.confirm("Erase Request", "Are you sure you want to Erase memory"));

    QStringList buttons;
    onModal([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      QCOMPARE(box->defaultButton()->text(), QString("No"));
      QTest::keyClick(box, Qt::Key_Escape);
    });
    QCOMPARE(op.twoButton("Erase Request second check", "Are you sure you want to Erase memory", "No", "Yes"),
             1);
    QVERIFY(buttons.contains("No") && buttons.contains("Yes"));
    onModal([](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>("second"), Qt::LeftButton); });
    QCOMPARE(
        op.twoButton("Communication Error", "Communication Error with Lumvex\r", "Continue", "Disconnect"),
        2);
  }

  void operatorPromptKeepsItsMaximumLength() {
    qt::QtOperator op;
    onModal([](QWidget* w) {
      auto* edit = w->findChild<QLineEdit*>();
      QVERIFY(edit);
      QCOMPARE(edit->maxLength(), 5);
      QTest::keyClicks(edit, "1 - Vehicle");
      QTest::keyClick(edit, Qt::Key_Return);
    });
    auto got = op.prompt("ADD ISO TEST OBJECT", "Enter a new test object in the form:\n 1 - Vehicle 1", 5);
    QVERIFY(got.has_value());
    QCOMPARE(QString::fromStdString(*got), QString("1 - V"));
    onModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    QVERIFY(!op.prompt("ADD ISO TEST OBJECT", "x", 40).has_value());
  }

  void operatorProgressBoxIsModalWithoutCancel() {
    qt::QtOperator op;
    op.progressOpen("ERASE Status", "Percent Complete", false);
    QProgressDialog* box = op.progressBox();
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QString("ERASE Status"));
    QCOMPARE(box->labelText(), QString("Percent Complete"));
    QVERIFY(box->isModal());
    QVERIFY(!box->findChild<QPushButton*>());
    QVERIFY(op.progressUpdate(42.9));
    QCOMPARE(box->value(), 42);
    op.progressUpdate(250);
    QCOMPARE(box->value(), 100);
    op.progressOpen("File Upload Status", "Percent Complete", true);  // nested
    QVERIFY(op.progressBox() != box);
    op.progressClose();
    QCOMPARE(op.progressBox(), box);
    op.progressClose();
    QVERIFY(!op.progressBox());
    op.progressClose();  // one close too many is harmless
  }

  void operatorDelayKeepsEventsRunning() {
    qt::QtOperator op;
    bool ran = false;
    QTimer::singleShot(5, [&] { ran = true; });
    op.delay(40);
    QVERIFY(ran);
  }

  void operatorFileDialogUsesTitleFolderAndFilter() {
    QCOMPARE(qt::fileFilter("*.CSV;*.MME"), QString("Files (*.CSV *.csv *.MME *.mme);;All Files (*)"));
    testing::TempDir files;
    qt::QtOperator op;
    QString title;
    onModal([&](QWidget* w) {
      auto* dlg = qobject_cast<QFileDialog*>(w);
      QVERIFY(dlg);
      title = dlg->windowTitle();
      auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
      QVERIFY(name);
      name->setText("RUN7.CSV");
      QTest::keyClick(name, Qt::Key_Return);
    });
    FileRequest req{"Select CSV Data File", files.path(), "*.CSV", ".CSV", true, false};
    auto got = op.chooseFile(req);
    QCOMPARE(title, QString("Select CSV Data File"));
    QVERIFY(got.has_value());
    QCOMPARE(QString::fromStdString(*got), QString::fromStdString(files.file("RUN7.CSV")));
  }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
