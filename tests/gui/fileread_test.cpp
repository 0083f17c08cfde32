// The plot page's file button in the Qt window, offscreen, with the Qt
// operator's real dialogs: the file dialog's title and filter, and a raw file
// that waits for "Continue Reprocessing" while the operator sets the test
// object, position and side in their selectors, with the other buttons held
// off until the wait is over.
#include "support/gui_station.h"
#include "support/raw_file.h"
#include "support/testing.h"
#include "ui/qt/qt_operator.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

using namespace lumvex;
using lumvex::testing::onModal;

class FileReadTest : public QObject, protected testing::GuiStation<qt::QtOperator> {
  Q_OBJECT

  Model& model() { return st_->model; }

  // Picks the selector's entry of `value` from the keyboard, so that it commits.
  void choose(Ctl c, const std::string& value) {
    auto* box = win_->findChild<QComboBox*>(QString::fromStdString(std::string(controlName(c))));
    QVERIFY(box);
    QVERIFY(box->isEnabled());
    int want = -1;
    for (int i = 0; i < model().itemCount(c); ++i)
      if (model()[c].items[static_cast<size_t>(i)].value == value) want = i;
    QVERIFY(want >= 0);
    box->setFocus();
    while (box->currentIndex() > want) QTest::keyClick(box, Qt::Key_Up);
    while (box->currentIndex() < want) QTest::keyClick(box, Qt::Key_Down);
    QTRY_COMPARE(model().itemValue(c), value);
  }

 private slots:
  void init() {
    makeWorkDir();
    openStation();
  }

  void cleanup() { closeStation(); }

  void rawFileWaitsForContinueWhileTheSelectorsAreUsed() {
    testing::RawFileSetup fileSetup;
    const std::string raw = testing::writeRawFile(dir_->path(), "run", fileSetup);
    QVERIFY(!raw.empty());
    QVERIFY(testing::writeCalibration(dir_->path(), fileSetup, "12-Mar-2024"));

    QString title, filter, boxTitle, boxText;
    bool waited = false;
    onModal([&](QWidget* w) {
      auto* dlg = qobject_cast<QFileDialog*>(w);
      QVERIFY(dlg);
      title = dlg->windowTitle();
      filter = dlg->nameFilters().join(";;");
      // The reprocessing's box, then the operator's work during the wait.
      onModal([&](QWidget* box) {
        auto* m = qobject_cast<QMessageBox*>(box);
        QVERIFY(m);
        boxTitle = m->windowTitle();
        boxText = m->text();
        QTimer::singleShot(50, [&] {
          auto* cont = win_->findChild<QPushButton*>("REPROCESS_BUTTON");
          QVERIFY(cont && cont->isVisible() && cont->isEnabled());
          for (const char* held : {"CONNECT", "FILESELECT", "EXPORT_BUT"})
            QVERIFY2(!win_->findChild<QPushButton*>(held)->isEnabled(), held);
          choose(Ctl::TESTOBJECT, "D");
          choose(Ctl::POSITION, "4");
          choose(Ctl::LX_DIRECTION, "RI");
          waited = true;
          QTest::mouseClick(cont, Qt::LeftButton);
        });
        QTest::keyClick(m, Qt::Key_Return);
      });
      auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
      QVERIFY(name);
      name->setText(QString::fromStdString(raw));
      QTest::keyClick(name, Qt::Key_Return);
    });
    model().setActivePage(pageIndex(Panel::Plot));
    auto* button = win_->findChild<QPushButton*>("FILESELECT");
    QTRY_VERIFY(button && button->isVisible() && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    // The window commits the click from its event loop.
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(model().text(Ctl::PLOT_SOURCE)),
                              QString::fromStdString(raw), 20000);

    QCOMPARE(title,
             QString("Select File to Plot:   Diadem = *.DAT,   ISO = *.MME,   CSV = *.CSV,   RDF = *.RDF"));
    QVERIFY2(filter.startsWith("Files (*.CSV *.csv *.MME *.mme *.RDF *.rdf *.RD2 *.rd2 *.DAT *.dat)"),
             qPrintable(filter));
    QCOMPARE(boxTitle, QString("Re-Processing Raw Data File"));
    QCOMPARE(boxText, QString("Set the ISO Codes and then click on Continue Reprocessing button"));
    QVERIFY(waited);
    QVERIFY(!win_->findChild<QPushButton*>("REPROCESS_BUTTON")->isVisible());
    QVERIFY(win_->findChild<QPushButton*>("EXPORT_BUT")->isEnabled());
    QCOMPARE(st_->session.DirectionText, std::string("Right Side"));
    QCOMPARE(st_->data.ChannelData.ChannelCount, 91);
    QCOMPARE(std::string(st_->data.codes.ChannelCodes[0].data(), 2), std::string("D4"));
    QCOMPARE(std::string(st_->data.codes.ChannelCodes[89].data(), 2), std::string("D4"));
  }
};

QTEST_MAIN(FileReadTest)
#include "fileread_test.moc"
