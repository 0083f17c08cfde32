// A station with its callbacks bound and its connection controls pointing
// (Ethernet) at an in-process simulated unit that holds a stored recording
// from -100 to 200 ms, ready for CONNECT and DOWNLOAD.
#pragma once

#include "ui/callbacks.h"
#include "support/drive_station.h"

#include <string>

namespace lumvex::testing {

struct DownloadStation : DriveStation {
  explicit DownloadStation(Props props) : DriveStation(props, 3) {
    BindCallbacks(st);
    st.model.setItems(Ctl::CONNECTION, {{"Ethernet", "0"}, {"Serial", "1"}}, 0);
    st.model.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(port));
    set("window.start", "-100");
    set("window.stop", "200");
  }
  // The download window (ms); the controls' ranges are widened beyond the
  // recorded window, so that the station's own checks are reached.
  void window(int start, int stop) {
    st.model.setRange(Ctl::DL_START_TIME, -1e6, 1e6);
    st.model.setRange(Ctl::DL_STOP_TIME, -1e6, 1e6);
    st.model.setNumber(Ctl::DL_START_TIME, start);
    st.model.setNumber(Ctl::DL_STOP_TIME, stop);
  }
};

}  // namespace lumvex::testing
