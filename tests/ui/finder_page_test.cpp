// "Find Lumvexs" and its two panels against simulated units on loopback: exact
// panel texts, the beacon search's red caption, no second search or change from
// inside a running one, the adaptor file, found addresses joining the list in place.
#include "ui/finder_page.h"

#include "link/discovery.h"
#include "net_units.h"
#include "platform/udp.h"
#include "sim_station.h"
#include "support/scripted_operator.h"
#include "support/testing.h"
#include "ui/callbacks.h"
#include "ui/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace lumvex;
using namespace lumvex::testing;

namespace {

std::vector<std::string> labelsOf(const Model& m, Ctl c) {
  std::vector<std::string> v;
  for (const Item& i : m[c].items) v.push_back(i.label);
  return v;
}

std::vector<std::string> valuesOf(const Model& m, Ctl c) {
  std::vector<std::string> v;
  for (const Item& i : m[c].items) v.push_back(i.value);
  return v;
}

struct FinderPage : ::testing::Test {
  void SetUp() override {
    ASSERT_GT(units.changePort, 0) << "no free UDP ports";
    st.workDir = dir.path();
    LoadMainLayout(st.model);
    BindCallbacks(st);
    std::strcpy(st.ini.NicToUse.data(), "Default");
    st.ini.WidgetType = 1;
    st.discovery.network = units.network(300);
    st.discovery.network.ping = [](const std::string&, int) { return PingResult::NoAnswer; };
  }
  // A found list as a search leaves it, without the network.
  void found(const std::vector<std::string>& addresses) {
    st.discovery.FoundCount = static_cast<int>(addresses.size());
    for (size_t i = 0; i < addresses.size(); ++i) st.discovery.FoundUnits[i].Address = addresses[i];
  }

  LoopbackUnits units;
  TempDir dir;
  ScriptedOperator op;
  Station st{op};
};

TEST_F(FinderPage, OneUnitOpensTheFinderPanel) {
  ASSERT_TRUE(units.add(units.config(2)));
  const std::string a = units.address(2);
  st.model.commit(Ctl::LISTEN);
  const Model& m = st.model;
  EXPECT_TRUE(m.panel(Panel::Finder).visible);
  EXPECT_EQ(m.panel(Panel::Finder).title, "Lumvex Finder");
  EXPECT_FALSE(m.panel(Panel::Adaptor).visible);
  EXPECT_EQ(m.text(Ctl::FINDER_MSG), "Found 1 Lumvex on the network\r\n" + a + "\r\n");
  EXPECT_EQ(labelsOf(m, Ctl::FINDER_LIST), std::vector<std::string>{a});
  EXPECT_EQ(valuesOf(m, Ctl::FINDER_LIST), std::vector<std::string>{a});
  EXPECT_EQ(m.index(Ctl::FINDER_LIST), 0);
  EXPECT_EQ(m.text(Ctl::FINDER_NEWIP), "127.0.0.");  // the echo came from 127.0.0.1
  EXPECT_EQ(m.label(Ctl::LISTEN), "Find Lumvexs");
  EXPECT_EQ(m[Ctl::LISTEN].textColour, colour::Black);
  EXPECT_TRUE(op.transcript.empty());
}

// The one beacon search here: its caption while it runs, no second search
// from a press during its wait, and the adaptor panel when nothing answers.
TEST_F(FinderPage, NothingFoundOpensTheAdaptorPanelAndASecondPressWaits) {
  st.ini.WidgetType = 0;
  std::vector<std::string> captions;
  std::vector<int> nested;
  bool pressed = false;
  op.onEvents = [&] {
    captions.push_back(st.model.label(Ctl::LISTEN) +
                       (st.model[Ctl::LISTEN].textColour == colour::Red ? " red" : ""));
    if (!std::exchange(pressed, true)) {
      nested.push_back(LISTEN_BUT(st));
      st.model.commit(Ctl::LISTEN);
    }
  };
  EXPECT_EQ(LISTEN_BUT(st), 0);
  ASSERT_FALSE(captions.empty());
  // A second search run from the wait would have put the caption back early.
  EXPECT_EQ(std::count(captions.begin(), captions.end(),
                       "Finding Lumvexs, Please Wait\n this may take 15 seconds red"),
            static_cast<long>(captions.size()));
  EXPECT_EQ(nested, std::vector<int>{-1});
  EXPECT_EQ(st.model.label(Ctl::LISTEN), "Find Lumvexs");
  EXPECT_EQ(st.model[Ctl::LISTEN].textColour, colour::Black);

  const Model& m = st.model;
  EXPECT_TRUE(m.panel(Panel::Adaptor).visible);
  EXPECT_EQ(m.panel(Panel::Adaptor).title, "Lumvex Finder");
  EXPECT_FALSE(m.panel(Panel::Finder).visible);
  EXPECT_EQ(
      m.text(Ctl::ADAPTOR_MSG),
      "No Lumvexs found on Network Adaptor IP Address Default \r\n"
      "\r\n\r\nMake sure the Lumvexs are plugged in and turned on\r\n\r\n\r\n"
      " This PC has the following Network Adaptor Cards (NICs) \r\n"
      " Select the NIC to use below and press OK to remember it for next time you use Find Lumvexs \r\n");
  std::vector<std::string> pc = HostIPv4Addresses();
  if (pc.size() > 4) pc.resize(4);
  EXPECT_EQ(labelsOf(m, Ctl::ADAPTOR_LIST), pc);
  std::vector<std::string> positions;
  for (size_t i = 0; i < pc.size(); ++i) positions.push_back(std::to_string(i));
  EXPECT_EQ(valuesOf(m, Ctl::ADAPTOR_LIST), positions);
  EXPECT_EQ(m.index(Ctl::ADAPTOR_LIST), 0);

  // Once the search is over, the button searches again.
  op.onEvents = nullptr;
  ASSERT_TRUE(units.add(units.config(2)));
  EXPECT_EQ(LISTEN_BUT(st), 1);
  EXPECT_TRUE(m.panel(Panel::Finder).visible);
}

TEST_F(FinderPage, AdaptorOkStoresTheChosenAdaptorAndStartsNoSearch) {
  st.model.setItems(Ctl::ADAPTOR_LIST, {{"10.1.2.3", "0"}, {"192.168.7.20", "1"}}, 1);
  st.model.setPanelVisible(Panel::Adaptor, true);
  st.model.commit(Ctl::OKBUTTON);
  EXPECT_EQ(readFile(dir.file("MultipleNICs.ini")),
            "[MultipleNICs]\r\nNIC To Use = \"192.168.7.20\"\r\n\r\n");
  EXPECT_STREQ(st.ini.NicToUse.data(), "192.168.7.20");
  EXPECT_FALSE(st.model.panel(Panel::Adaptor).visible);
  EXPECT_FALSE(st.model.panel(Panel::Finder).visible);
  EXPECT_TRUE(op.transcript.empty());

  // With no adaptor to choose, nothing is written: an empty entry would be
  // reported as a broken file at the next start.
  std::filesystem::remove(dir.file("MultipleNICs.ini"));
  st.model.clearItems(Ctl::ADAPTOR_LIST);
  st.model.setPanelVisible(Panel::Adaptor, true);
  EXPECT_EQ(OKBUTTON(st), -1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("MultipleNICs.ini")));
  EXPECT_FALSE(st.model.panel(Panel::Adaptor).visible);
  EXPECT_STREQ(st.ini.NicToUse.data(), "192.168.7.20");
}

TEST_F(FinderPage, FoundAddressesJoinTheRememberedListAtTheirPlaces) {
  st.model.setItems(Ctl::IPSELECT, {{"10.0.0.9", "10.0.0.9"}, {"bench rig", "10.0.0.6"}}, 1);
  found({"10.0.0.5", "10.0.0.6", "10.0.0.7"});
  st.model.setPanelVisible(Panel::Finder, true);
  st.model.commit(Ctl::FINDER_OK);
  // 10.0.0.6 is there by value (under another label); the others go in at
  // their places in the found list.
  EXPECT_EQ(labelsOf(st.model, Ctl::IPSELECT),
            (std::vector<std::string>{"10.0.0.5", "10.0.0.9", "10.0.0.7", "bench rig"}));
  EXPECT_EQ(valuesOf(st.model, Ctl::IPSELECT),
            (std::vector<std::string>{"10.0.0.5", "10.0.0.9", "10.0.0.7", "10.0.0.6"}));
  EXPECT_EQ(st.model.itemValue(Ctl::IPSELECT), "10.0.0.6") << "the chosen entry stays chosen";
  EXPECT_FALSE(st.model.panel(Panel::Finder).visible);

  st.model.commit(Ctl::FINDER_OK);
  EXPECT_EQ(st.model.itemCount(Ctl::IPSELECT), 4) << "no entry twice";

  st.model.clearItems(Ctl::IPSELECT);
  AddFoundAddresses(st);
  EXPECT_EQ(labelsOf(st.model, Ctl::IPSELECT),
            (std::vector<std::string>{"10.0.0.5", "10.0.0.6", "10.0.0.7"}));
}

TEST_F(FinderPage, ChangeIpRefusalKeepsThePanelAConflictClosesIt) {
  found({"10.0.0.5", "10.0.0.6"});
  st.discovery.network.broadcast = "not-an-address";  // nothing may be sent
  st.model.setItems(Ctl::FINDER_LIST, {{"10.0.0.5", "10.0.0.5"}, {"10.0.0.6", "10.0.0.6"}}, 1);
  st.model.setPanelVisible(Panel::Finder, true);
  st.model.setText(Ctl::FINDER_NEWIP, "10.0.0.5");
  st.model.commit(Ctl::FINDER__CHANGEIP);
  EXPECT_EQ(op.messages(),
            std::vector<std::string>{"IP Address Conflict: The new IP Address is the same as "
                                     "another Lumvex on the network\n Select another address"});
  EXPECT_TRUE(st.model.panel(Panel::Finder).visible);
  EXPECT_EQ(st.model.itemCount(Ctl::IPSELECT), 0);

  op.clear();
  st.discovery.FoundUnits[1].IdConflict = 1;
  st.model.setText(Ctl::FINDER_NEWIP, "10.0.0.20");
  EXPECT_EQ(FINDER__CHANGEIP(st), kChangeProtocolConflict);
  ASSERT_EQ(op.transcript.size(), 1u);
  EXPECT_EQ(op.transcript[0].title, "Protocol Conflict");
  EXPECT_FALSE(st.model.panel(Panel::Finder).visible);
  EXPECT_EQ(labelsOf(st.model, Ctl::IPSELECT), (std::vector<std::string>{"10.0.0.5", "10.0.0.6"}));
}

TEST_F(FinderPage, ChangeIpMovesTheUnitAndItsNewAddressIsRemembered) {
  NetUnit* unit = units.add(units.config(2));
  ASSERT_TRUE(unit);
  st.model.setItems(Ctl::IPSELECT, {{"10.0.0.9", "10.0.0.9"}});
  ASSERT_EQ(LISTEN_BUT(st), 1);
  const std::string moved = units.address(60);
  st.model.setText(Ctl::FINDER_NEWIP, moved);
  std::vector<int> nested;  // presses queued behind the first, run from its restart wait
  bool pressed = false;
  op.onEvents = [&] {
    if (!std::exchange(pressed, true)) nested = {FINDER__CHANGEIP(st), LISTEN_BUT(st)};
  };
  EXPECT_EQ(FINDER__CHANGEIP(st), kChangeSent);
  EXPECT_EQ(nested, (std::vector<int>{kChangeRefused, -1}));
  EXPECT_FALSE(st.model.panel(Panel::Finder).visible);
  EXPECT_EQ(labelsOf(st.model, Ctl::IPSELECT), (std::vector<std::string>{moved, "10.0.0.9"}));
  EXPECT_EQ(op.progress.size(), 10u);
  EXPECT_TRUE(op.messages().empty());
  EXPECT_TRUE(SimStation::waitFor([&] { return unit->net->addressChanges() == 1; }, 3000));
}

}  // namespace
