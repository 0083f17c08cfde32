// A station that downloads a recording from an in-process simulated unit,
// exports it through the Export page and reads files back with the plot
// page's file button; raw units get their calibration files in the
// station's own working folder.
#pragma once

#include "sim/wsid_model.h"
#include "support/download_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace lumvex::testing {

struct FileStation : DownloadStation {
  TempDir work;
  std::string serial;

  // props as the simulator takes them ("type", "serial", "firmware", "side",
  // "caldate", "comment").
  explicit FileStation(Props props) : DownloadStation(props) {
    st.workDir = work.path();
    sim.withUnit([&](sim::UnitState& u) { serial = u.prop("serial", "42"); });
  }

  // Connects and downloads [startMs, stopMs]; raw units get their calibration
  // files first.
  void download(int startMs, int stopMs) {
    std::string type, firmware, calDate;
    sim.withUnit([&](sim::UnitState& u) {
      type = u.prop("type", "WorldSID");
      firmware = u.prop("firmware", "LX2 V8.0");
      calDate = u.prop("caldate", "12-Mar-2024");
    });
    const int lx2 = firmware.find("LX2") != std::string::npos ? 1 : 0;
    if (recordsRawWords(DummyTypeFromText(type), std::atoi(serial.c_str()))) {
      ASSERT_EQ(sim::wsidWriteCalibrationFiles(st.workDir, serial, calDate, DummyTypeFromText(type), lx2), 0);
    }
    st.model.commit(Ctl::CONNECT);
    ASSERT_EQ(st.session.unitStatus, 3);
    window(startMs, stopMs);
    st.model.commit(Ctl::DOWNLOAD_BUT);
    ASSERT_EQ(st.model.activePage(), pageIndex(Panel::Export)) << ::testing::PrintToString(op.messages());
  }

  // The Export page's button for a file of path (its extension picks the
  // writer): zeroing 0 absolute, 1 relative; filter index 0 none, 1..4 the
  // classes 1000, 600, 180, 60 (ignored where the page offers no choice).
  bool exportTo(const std::string& path, int zeroing = 0, int filterIndex = 0) {
    op.clear();
    Model& m = st.model;
    if (!m.dimmed(Ctl::EXPORT_ZEROING)) m.setIndex(Ctl::EXPORT_ZEROING, zeroing);
    if (!m.dimmed(Ctl::EXPORT_FILTER)) m.setIndex(Ctl::EXPORT_FILTER, filterIndex);
    op.fileAnswers.push_back(path);
    m.commit(Ctl::EXPORT_BUT);
    return op.showed("Export Status", "Export Successful");
  }

  // The file button for path. A raw file's wait runs `during` (the operator's
  // edits) and then presses "Continue Reprocessing"; a wait that goes on past
  // 100 looks closes the window instead. True when the file was read.
  bool read(const std::string& path, const std::function<void()>& during = {}) {
    op.clear();
    op.fileAnswers.push_back(path);
    int looks = 0;
    op.onEvents = [&] {
      if (!st.model.visible(Ctl::REPROCESS_BUTTON)) return;
      if (++looks > 100) {
        st.quitRequested = true;
        return;
      }
      if (looks == 1 && during) during();
      st.model.commit(Ctl::REPROCESS_BUTTON);
    };
    st.model.setText(Ctl::PLOT_SOURCE, "");
    st.model.commit(Ctl::FILESELECT);
    op.onEvents = nullptr;
    return st.model.text(Ctl::PLOT_SOURCE) == path;
  }
};

}  // namespace lumvex::testing
