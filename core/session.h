// The connection session with one unit: link, recording status, identity of
// the unit and the run flags of the cooperative loops.
#pragma once

#include "core/unit_family.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace lumvex {

class Transport;  // platform/transport.h

enum UnitStatus : int {
  StatusDisconnected = -1,
  StatusReady = 0,
  StatusPreTrigger = 1,
  StatusPostTrigger = 2,
  StatusDataHeld = 3,
};

enum LinkKind : int { LinkSerial = 0, LinkEthernet = 1 };

struct SessionState {
  std::shared_ptr<Transport> linkHandle;  // open link to the unit; null when closed
  bool resourceManager = false;           // opened with the link, closed with it
  LinkKind linkKind = LinkSerial;
  int unitStatus = StatusDisconnected;
  int needsScreenSetup = -1;
  int DummyType = 0;
  int IsLX2 = 0;
  int configValid = 0;
  std::array<uint8_t, 256> unitConfig{};
  int TriggerSetting = 0;
  int triggerInvalid = 0;
  int triggerCheckSupported = 0;
  std::string SerialNumberText;
  std::string calDate;  // up to 35 characters
  std::string DirectionText;
  int demoRunning = 0, ioCheckRunning = 0, triggerTestRunning = 0;
  int triggerCheckArmed = 0;  // the trigger check waits for the unit to see a trigger
  int SoftwareTriggerOffset = 0;
  int ReprocessRequested = 0;
  std::string CurrentDataPath;        // up to 1023 characters
  bool cableDisconnectPanel = false;  // the cable-disconnect prompt is shown
  int restingTimeoutMs = 2000;        // ms; the link's resting read time-out (tests lower it)
  // LED assignment of the adjustable 50th layout as last read from or written
  // to the unit: rib 1 to 6 and position index 0 to 3 of LEDs 1 to 12.
  std::array<int, 12> LedRib{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  std::array<int, 12> LedPosn{};
};

// The trigger code saved in files: the unit's trigger setting, plus 4 when the
// test was triggered from the station.
inline int SavedTriggerCode(const SessionState& s) { return s.TriggerSetting + s.SoftwareTriggerOffset; }

}  // namespace lumvex
