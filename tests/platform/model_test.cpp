// The control model: commits reach the bound callback, every change reaches
// the observers (so a front end redraws), tables and selectors keep their
// bounds, and the scripted operator records and answers boxes.
#include "platform/model.h"
#include "support/scripted_operator.h"

#include <gtest/gtest.h>

#include <vector>

using namespace lumvex;

TEST(Model, CommitRunsTheBoundCallbackWithTheEvent) {
  Model m;
  std::vector<Event> got;
  m.bind(Ctl::CONNECT, [&](const Event& e) { got.push_back(e); });
  m.commit(Ctl::CONNECT);
  m.commit(Ctl::CONNECT, {EventKind::RightClick});
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].kind, EventKind::Commit);
  EXPECT_EQ(got[1].kind, EventKind::RightClick);
  m.commit(Ctl::ARM_BUT);  // unbound: nothing happens
}

TEST(Model, TabChangeMakesThePageActiveBeforeTheCallback) {
  Model m;
  int seen = -1;
  m.bind(Ctl::TAB, [&](const Event& e) { seen = m.activePage() == e.data ? e.data : -2; });
  m.commit(Ctl::TAB, {EventKind::TabChanged, 4});
  EXPECT_EQ(seen, 4);
  EXPECT_EQ(m.activePage(), 4);
}

TEST(Model, EveryChangeIsRenderedOnceAndNoChangeIsNotRendered) {
  Model m;
  std::vector<Ctl> changes;
  int id = m.observe([&](const ModelChange& c) {
    if (c.control != Ctl::Count) changes.push_back(c.control);
  });
  m.setText(Ctl::STATUSBOX, "Connected - Idle");
  m.setText(Ctl::STATUSBOX, "Connected - Idle");  // same text: no redraw
  m.setTextColour(Ctl::STATUSBOX, colour::DarkGreen);
  m.setDimmed(Ctl::ARM_BUT, true);
  m.setVisible(Ctl::LISTEN, false);
  m.setLabel(Ctl::CONNECT, "DISCONNECT");
  m.appendItem(Ctl::IPSELECT, "10.0.0.5", "10.0.0.5");
  m.setTimerRunning(true);
  EXPECT_EQ(changes, (std::vector<Ctl>{Ctl::STATUSBOX, Ctl::STATUSBOX, Ctl::ARM_BUT, Ctl::LISTEN,
                                       Ctl::CONNECT, Ctl::IPSELECT, Ctl::TIMER}));
  m.unobserve(id);
  m.setText(Ctl::STATUSBOX, "Disconnected");
  EXPECT_EQ(changes.size(), 7u);
}

TEST(Model, PanelChangesReachObserversWithThePanel) {
  Model m;
  std::vector<Panel> panels;
  m.observe([&](const ModelChange& c) {
    if (c.control == Ctl::Count) panels.push_back(c.panel);
  });
  m.setPageVisible(3, false);
  m.setPanelVisible(Panel::CableDisconnect, true);
  EXPECT_EQ(panels, (std::vector<Panel>{Panel::Diagnostics, Panel::CableDisconnect}));
  EXPECT_FALSE(m.pageVisible(3));
}

TEST(Model, SelectorsAndTablesStayInBounds) {
  Model m;
  m.setItems(Ctl::LX_DIRECTION, {{"Left Side", "LE"}, {"Right Side", "RI"}});
  EXPECT_EQ(m.itemValue(Ctl::LX_DIRECTION), "LE");
  EXPECT_TRUE(m.selectValue(Ctl::LX_DIRECTION, "RI"));
  EXPECT_EQ(m.itemLabel(Ctl::LX_DIRECTION), "Right Side");
  m.setIndex(Ctl::LX_DIRECTION, 5);  // out of range: ignored
  EXPECT_EQ(m.index(Ctl::LX_DIRECTION), 1);
  EXPECT_FALSE(m.selectValue(Ctl::LX_DIRECTION, "??"));

  m.setTableSize(Ctl::LED_TABLE, 18, 4);
  m.setCell(Ctl::LED_TABLE, 18, 4, "x");
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 18, 4).text, "x");
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 19, 1).text, "");
  EXPECT_THROW(m.setCell(Ctl::LED_TABLE, 0, 1, "y"), std::out_of_range);

  m.setRange(Ctl::TPOST, 0, 24900);
  m.setNumber(Ctl::TPOST, 30000);
  EXPECT_EQ(m.intValue(Ctl::TPOST), 24900);
}

TEST(Model, NamesRoundTrip) {
  Ctl c{};
  ASSERT_TRUE(controlByName("BatteryOn_SW", c));
  EXPECT_EQ(controlName(c), "BatteryOn_SW");
  EXPECT_EQ(controlPanel(Ctl::CHECKIOBUT), Panel::Diagnostics);
  EXPECT_FALSE(controlByName("NO_SUCH_CONTROL", c));
}

TEST(ScriptedOperator, RecordsBoxesAndAnswersFromQueuesThenDefaults) {
  ScriptedOperator op;
  op.twoButtonAnswers = {2};
  op.confirmAnswers = {true};
  op.promptAnswers = {std::string("1 - Vehicle 1 and more text")};
  EXPECT_EQ(op.twoButton("Communication Error", "text", "Continue", "Disconnect"), 2);
  EXPECT_EQ(op.twoButton("Communication Error", "text", "Continue", "Disconnect"), 1);
  EXPECT_TRUE(op.confirm("Q", "sure?"));
  EXPECT_FALSE(op.confirm("Q", "sure?"));
  EXPECT_EQ(op.prompt("ADD ISO TEST OBJECT", "Enter", 13).value(), "1 - Vehicle 1");
  EXPECT_FALSE(op.prompt("ADD ISO TEST OBJECT", "Enter", 40).has_value());
  op.message("Error", "Could not open the COM port");
  EXPECT_TRUE(op.showed("Error", "Could not open the COM port"));
  EXPECT_EQ(op.transcript[0].answer, "Disconnect");
  EXPECT_EQ(op.messages(), std::vector<std::string>{"Error: Could not open the COM port"});
}
