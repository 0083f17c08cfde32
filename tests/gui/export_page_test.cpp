// The Qt export page, offscreen: choosing each of the three formats in its
// selector and pressing EXPORT writes the CSV file, the DIAdem pair and the
// ISO MME folder, with the ISO notice shown only while ISO is chosen.
#include "ui/callbacks.h"
#include "ui/main_window.h"
#include "core/station.h"
#include "ui/export_page.h"
#include "processing/filter.h"
#include "files/naming.h"
#include "support/export_data.h"
#include "support/gui_station.h"
#include "support/testing.h"
#include "ui/layout.h"
#include "ui/qt/station_window.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>

using namespace lumvex;

class ExportPageTest : public QObject, protected testing::GuiStation<> {
  Q_OBJECT

 private:
  Model& model() { return st_->model; }

  // A Polar recording of 200 rows from -20 ms, as a download leaves it.
  void polarInMemory() {
    Station& st = *st_;
    InitDummyTypeNames(st.data);
    st.session.DummyType = DummyPolar;
    st.session.SerialNumberText = "57";
    st.session.DirectionText = "Left Side";
    st.data.layout = {6, 2, 2, 2};
    st.data.StartTimeMs = -20.0f;
    st.data.SampleIntervalMs = 0.1;
    st.data.codes.DataFilterCode = '0';
    ChannelTable& t = st.data.ChannelData;
    t.ChannelCount = 15;
    t.SampleCount = 200;
    for (int s = 0; s < 200; ++s) {
      t.at(s, 0) = static_cast<float>(-20.0 + s * 0.1);
      for (int c = 1; c < 15; ++c) t.at(s, c) = static_cast<float>(c) + static_cast<float>(s) * 0.5f;
    }
    testing::setPolarCodes(st.data);
    model().setText(Ctl::EXPORT_STATUS, "Downloaded Lumvex Data in Memory");
    SetupExportScreen(st);
    model().setDimmed(Ctl::EXPORT_BUT, false);
    model().setActivePage(pageIndex(Panel::Export));
  }

  // Picks a format as the operator does, from the keyboard, so that the
  // selector commits.
  void chooseFormat(int index) {
    auto* box = win_->findChild<QComboBox*>("EXPORT_FORMAT");
    QVERIFY(box);
    box->setFocus();
    while (box->currentIndex() > index) QTest::keyClick(box, Qt::Key_Up);
    while (box->currentIndex() < index) QTest::keyClick(box, Qt::Key_Down);
    QTRY_COMPARE(model().index(Ctl::EXPORT_FORMAT), index);
  }

  void pressExport(const std::string& name) {
    op_->clear();
    op_->fileAnswers.push_back(dir_->file(name));
    auto* button = win_->findChild<QPushButton*>("EXPORT_BUT");
    QVERIFY(button && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_VERIFY(op_->showed("Export Status", "Export Successful"));
  }

 private slots:
  void init() {
    makeWorkDir();
    openStation();
    if (QTest::currentTestFailed()) return;
    polarInMemory();
  }

  void cleanup() { closeStation(); }

  void eachFormatWritesItsFiles() {
    namespace fs = std::filesystem;
    QWidget* notice = win_->controlWidget(Ctl::ISO_NOTICE);
    QVERIFY(notice);

    chooseFormat(0);
    QCoreApplication::processEvents();
    QVERIFY(notice->isHidden());
    pressExport("RUN1.csv");
    QCOMPARE(testing::readFile(dir_->file("RUN1.CSV")).substr(0, 26),
             std::string("Lumvex Type: Polar,,,,,,Da"));

    chooseFormat(1);
    QCoreApplication::processEvents();
    QVERIFY(notice->isHidden());
    pressExport("RUN1.dat");
    const std::string h = testing::readFile(dir_->file("RUN1.DAT"));
    QVERIFY(h.rfind("DIAEXTENDED  {@:ENGLISH\r\n\r\r\n", 0) == 0);
    QVERIFY(h.find("211,RUN1.R32\r\r\n") != std::string::npos);
    QCOMPARE(fs::file_size(dir_->file("RUN1.R32")), std::uintmax_t{15 * 200 * 4});

    chooseFormat(2);
    QTRY_VERIFY(!notice->isHidden());
    pressExport("RUN1.mme");
    QVERIFY(fs::is_regular_file(dir_->file("RUN1/RUN1.MME")));
    QVERIFY(fs::is_regular_file(dir_->file("RUN1/CHANNEL/RUN1.CHN")));
    QVERIFY(fs::is_regular_file(dir_->file("RUN1/CHANNEL/RUN1.014")));
    QVERIFY(!fs::exists(dir_->file("RUN1/CHANNEL/RUN1.015")));
    QCOMPARE(QString::fromStdString(st_->session.CurrentDataPath),
             QString::fromStdString(dir_->file("RUN1/RUN1.MME")));
  }
};

QTEST_MAIN(ExportPageTest)
#include "export_page_test.moc"
