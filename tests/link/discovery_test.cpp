// The discovery datagrams byte for byte, the mark and number checks, the
// panels' texts, and the refusals of "Change IP" in their order with their
// exact message boxes (ping replaced, nothing sent).
#include "link/discovery.h"

#include "support/scripted_operator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace lumvex;

namespace {

std::string bytes(const unsigned char* p, size_t n) {
  return std::string(reinterpret_cast<const char*>(p), n);
}
template <size_t N>
std::string bytes(const std::array<unsigned char, N>& a) {
  return bytes(a.data(), N);
}

TEST(DiscoveryDatagrams, QueriesAndTheTwentyByteChange) {
  EXPECT_EQ(bytes(QueryDatagram()), std::string("\x00\x00\x00\xF6", 4));
  EXPECT_EQ(bytes(SetupQueryDatagram()), std::string("\x00\x00\x00\xF8", 4));
  EXPECT_EQ(bytes(AddressChangeDatagram(0x4C, 0x58, {192, 168, 0, 254})),
            std::string("\x00\x00\x00\xFC"
                        "IP-SETUP\x00\x00\x4C\x58\xC0\xA8\x00\xFE",
                        20));
}

TEST(DiscoveryDatagrams, BeaconChangeIsTheBeaconWithCommandAndAddress) {
  FoundUnit u;
  for (size_t i = 0; i < 70; ++i) u.Reply[i] = static_cast<unsigned char>(i + 1);
  auto d = BeaconChangeDatagram(u, {10, 0, 0, 7});
  std::string want = bytes(u.Reply.data(), 63);
  want[2] = want[3] = 0x21;
  want.replace(14, 4, std::string("\x0A\x00\x00\x07", 4));
  EXPECT_EQ(bytes(d), want);

  FoundUnit shortBeacon;  // 8 bytes received: the rest goes out as zeros
  std::memset(shortBeacon.Reply.data(), 0xAA, 8);
  d = BeaconChangeDatagram(shortBeacon, {10, 0, 0, 7});
  EXPECT_EQ(d[1], 0xAA);
  EXPECT_EQ(d[8], 0);
  EXPECT_EQ(d[62], 0);
}

TEST(DiscoveryDatagrams, MarkIsReadOnlyWithinTheReceivedBytes) {
  std::vector<unsigned char> reply(124, 0);
  std::memcpy(reply.data() + 52, "Lumvex", 6);
  EXPECT_TRUE(HasLumvexMark(reply.data(), 124));
  EXPECT_TRUE(HasLumvexMark(reply.data(), 58));
  EXPECT_FALSE(HasLumvexMark(reply.data(), 57));
  reply[57] = 'X';
  EXPECT_FALSE(HasLumvexMark(reply.data(), 124));
  std::memcpy(reply.data() + 51, "Lumvex", 6);  // one byte early
  EXPECT_FALSE(HasLumvexMark(reply.data(), 124));
}

TEST(DiscoveryChecks, NumberCheckRefuses255AndALastNumberBelowTwo) {
  std::array<int, 4> n{};
  EXPECT_TRUE(CheckNewAddress("192.168.0.2", n));
  EXPECT_EQ(n, (std::array<int, 4>{192, 168, 0, 2}));
  EXPECT_TRUE(CheckNewAddress("0.0.0.254", n));
  for (const char* bad : {"192.168.0.255", "192.168.0.1", "192.168.0.0", "10.255.0.5", "256.1.1.5",
                          "10.0.-1.5", "10.0.0", "", "a.b.c.d", "10,0,0,5"})
    EXPECT_FALSE(CheckNewAddress(bad, n)) << bad;
  // The text becomes the unit's address: only the plain dotted form passes.
  for (const char* unreachable : {"10.0.0.5abc", "10.0.0.5 ", " 10.0.0.5", "10. 0.0.5", "+10.0.0.5",
                                  "10.0.0.05", "010.0.0.5", "10.0.0.5.6"})
    EXPECT_FALSE(CheckNewAddress(unreachable, n)) << unreachable;
}

TEST(DiscoveryTexts, FinderMessagePresetAndAdaptorPanel) {
  DiscoveryState d;
  EXPECT_EQ(FinderMessage(d), "Found 0 Lumvex on the network\r\n");
  EXPECT_EQ(NewAddressPreset(d), "192.168.0.");
  d.FoundCount = 2;
  d.FoundUnits[0].Address = "10.1.2.3";
  d.FoundUnits[1].Address = "10.1.2.4";
  d.StationAddress = "10.1.2.100";
  EXPECT_EQ(FinderMessage(d), "Found 2 Lumvexs on the network\r\n10.1.2.3\r\n10.1.2.4\r\n");
  EXPECT_EQ(NewAddressPreset(d), "10.1.2.");
  EXPECT_EQ(
      AdaptorPanelText("Default"),
      "No Lumvexs found on Network Adaptor IP Address Default \r\n"
      "\r\n\r\nMake sure the Lumvexs are plugged in and turned on\r\n\r\n\r\n"
      " This PC has the following Network Adaptor Cards (NICs) \r\n"
      " Select the NIC to use below and press OK to remember it for next time you use Find Lumvexs \r\n");
  EXPECT_LE(AdaptorAddresses().size(), 4u);
}

// A found list of two query units; ping answers from a script.
struct ChangeChecks : ::testing::Test {
  void SetUp() override {
    std::strcpy(st.ini.NicToUse.data(), "Default");
    st.discovery.FoundCount = 2;
    st.discovery.FoundUnits[0].Address = "10.0.0.5";
    st.discovery.FoundUnits[1].Address = "10.0.0.6";
    // Sends, if any, go where nobody listens and no datagram can leave.
    st.discovery.network.broadcast = "not-an-address";
    st.discovery.network.queryPort = st.discovery.network.beaconPort = st.discovery.network.changePort = 0;
    st.discovery.network.ping = [this](const std::string& a, int ms) {
      pinged.push_back(a);
      EXPECT_EQ(ms, 100);
      PingResult r = answers.empty() ? PingResult::NoAnswer : answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
      return r;
    };
  }
  ScriptedOperator op;
  Station st{op};
  std::vector<std::string> pinged;
  std::vector<PingResult> answers;
};

TEST_F(ChangeChecks, SameAddressAsAListedUnitIsRefusedBeforeAnyPing) {
  EXPECT_EQ(ChangeUnitAddress(st, 0, "10.0.0.6"), kChangeRefused);
  EXPECT_TRUE(pinged.empty());
  ASSERT_EQ(op.messages().size(), 1u);
  EXPECT_TRUE(
      op.showed("IP Address Conflict",
                "The new IP Address is the same as another Lumvex on the network\n Select another address"));
}

TEST_F(ChangeChecks, AnAnsweringAddressIsRefused) {
  answers = {PingResult::Answered};
  EXPECT_EQ(ChangeUnitAddress(st, 0, "10.0.0.9"), kChangeRefused);
  EXPECT_EQ(pinged, std::vector<std::string>{"10.0.0.9"});
  ASSERT_EQ(op.messages().size(), 1u);
  EXPECT_TRUE(
      op.showed("IP Available Check",
                "Another device on the network is using the same IP Address, pick another address to use"));
  EXPECT_EQ(st.discovery.FoundUnits[0].Address, "10.0.0.5");
}

TEST_F(ChangeChecks, PingErrorTwiceIsToldThenTheNumbersAreChecked) {
  answers = {PingResult::Error, PingResult::Error};
  EXPECT_EQ(ChangeUnitAddress(st, 0, "10.0.0.255"), kChangeRefused);
  EXPECT_EQ(pinged.size(), 2u);
  EXPECT_EQ(op.messages(), (std::vector<std::string>{
                               "IP Available Check: Can not ping to check if ip address is available, you "
                               "must manually verify that new ip address is unused",
                               "BAD IP Address: The new IP Address has numbers >255 or last number < 2\n Fix "
                               "it and try again"}));
}

TEST_F(ChangeChecks, OnePingErrorThenNoAnswerGoesOnSilently) {
  answers = {PingResult::Error, PingResult::NoAnswer};
  EXPECT_EQ(ChangeUnitAddress(st, 0, "10.0.0.1"), kChangeRefused);
  EXPECT_EQ(pinged.size(), 2u);
  EXPECT_EQ(op.messages(),
            (std::vector<std::string>{"BAD IP Address: The new IP Address has numbers >255 or last "
                                      "number < 2\n Fix it and try again"}));
}

TEST_F(ChangeChecks, TrailingCharactersAreRefusedAndTheUnitKeepsItsAddress) {
  EXPECT_EQ(ChangeUnitAddress(st, 0, "10.0.0.7abc"), kChangeRefused);
  EXPECT_EQ(op.messages(),
            (std::vector<std::string>{"BAD IP Address: The new IP Address has numbers >255 or last "
                                      "number < 2\n Fix it and try again"}));
  EXPECT_EQ(st.discovery.FoundUnits[0].Address, "10.0.0.5");
}

TEST_F(ChangeChecks, ConflictingUnitIsRefusedAndKeepsItsAddress) {
  st.discovery.FoundUnits[1].IdConflict = 1;
  EXPECT_EQ(ChangeUnitAddress(st, 1, "10.0.0.2"), kChangeProtocolConflict);
  EXPECT_EQ(op.transcript.size(), 1u);
  EXPECT_EQ(op.transcript[0].title, "Protocol Conflict");
  EXPECT_EQ(st.discovery.FoundUnits[1].Address, "10.0.0.6");
}

TEST_F(ChangeChecks, ASendThatFailsIsToldAndNothingChanges) {
  EXPECT_EQ(ChangeUnitAddress(st, 0, "10.0.0.2"), kChangeNotSent);
  EXPECT_EQ(op.messages(), (std::vector<std::string>{"Change IP: The new IP Address could not be sent to the "
                                                     "Lumvex\n Check the network adaptor and try again"}));
  EXPECT_EQ(op.openProgressBoxes, 0);
  EXPECT_TRUE(op.progress.empty());
  EXPECT_EQ(st.discovery.FoundUnits[0].Address, "10.0.0.5");
  op.clear();
  st.discovery.FoundUnits[0].FoundByBeacon = 1;
  EXPECT_EQ(ChangeUnitAddress(st, 0, "10.0.0.2"), kChangeNotSent);
  EXPECT_EQ(op.messages().size(), 1u);
  EXPECT_EQ(st.discovery.FoundUnits[0].Reply[2], 0) << "the beacon is kept as received";
}

}  // namespace
