// Closing the main window while a unit is connected: the link is closed, the
// timer stops, the run flags are cleared and "reinit.txt" names the unit's
// address last, so the next start offers it again.
#include "ui/main_window.h"
#include "link/link.h"
#include "support/sim_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <string>

using namespace lumvex;
using lumvex::testing::readFile;
using lumvex::testing::SimStation;
using lumvex::testing::TempDir;

TEST(ExitSession, ClosingWhileConnectedClosesTheLinkAndRemembersTheAddress) {
  TempDir dir;
  SimStation s;
  s.st.workDir = dir.path();
  ASSERT_TRUE(s.connect());
  ASSERT_TRUE(LinkOpen(s.st));
  ASSERT_TRUE(s.st.model.timerRunning());
  const std::string address = s.st.model.text(Ctl::IPADDRESS);
  s.st.model.setItems(Ctl::IPSELECT, {{"10.0.0.7", "10.0.0.7"}});
  s.st.session.demoRunning = s.st.session.ioCheckRunning = s.st.session.triggerTestRunning = 1;
  s.op.clear();

  s.st.model.panelEvent(Panel::Main, {EventKind::Close});

  EXPECT_FALSE(LinkOpen(s.st));
  EXPECT_EQ(s.st.session.unitStatus, -1);
  EXPECT_FALSE(s.st.model.timerRunning());
  EXPECT_EQ(s.st.session.demoRunning + s.st.session.ioCheckRunning + s.st.session.triggerTestRunning, 0);
  EXPECT_TRUE(s.st.quitRequested);
  EXPECT_EQ(readFile(dir.file(kAddressFileName)), "10.0.0.7\r\n" + address + "\r\n");
  EXPECT_TRUE(s.op.transcript.empty());  // an orderly exit asks nothing
}
