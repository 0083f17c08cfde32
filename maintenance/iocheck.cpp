#include "maintenance/iocheck.h"

#include "link/query.h"
#include "maintenance/hwtests.h"
#include "maintenance/loops.h"

#include <initializer_list>

namespace lumvex {
namespace {

constexpr Ctl kReadingDisplays[] = {Ctl::S1A, Ctl::S1B, Ctl::S2A, Ctl::S2B, Ctl::S3A, Ctl::S3B,
                                    Ctl::S4A, Ctl::S4B, Ctl::S5A, Ctl::S5B, Ctl::S6A, Ctl::S6B};
constexpr int kRevDReadings = 12;
constexpr int kRevBCWorldSidReadings = 8;  // red 0 to 3, blue 4 to 7
constexpr int kRevBCReadings = 4;

struct SwitchBit {
  Ctl control;
  uint16_t bit;
};
constexpr SwitchBit kRevDSwitches[] = {
    {Ctl::S1KILL, revd::S1Kill},
    {Ctl::S2KILL, revd::S2Kill},
    {Ctl::S3KILL, revd::S3Kill},
    {Ctl::S4KILL, revd::S4Kill},
    {Ctl::S5KILL, revd::S5Kill},
    {Ctl::S6KILL, revd::S6Kill},
    {Ctl::TRIGGEROUT_SW, revd::TriggerOut},
    {Ctl::ARMOUT_SW, revd::ArmOut},
    {Ctl::OTHEROUT_SW, revd::OtherOut},
    {Ctl::BatteryOn_SW, revd::BatteryOn},
};

bool on(const Model& m, Ctl c) { return m.number(c) != 0; }
void lamp(Model& m, Ctl c, bool lit) { m.setNumber(c, lit ? 1 : 0); }

// An LX2 unit checked earlier in the session renamed these lamps; the
// set-up of the next unit does not name them again.
void restoreLampLabels(Model& m) {
  m.setLabel(Ctl::TRIGIN_LED, "Trigger In");
  m.setLabel(Ctl::ARMIN_LED, "Arm In");
  m.setLabel(Ctl::CHARGEON_LED, "Charge On");
}

void prepareRevD(Station& st, IoCheckRun& run) {
  Model& m = st.model;
  for (Ctl c : {Ctl::S2KILL, Ctl::S3A, Ctl::S3B, Ctl::S4KILL, Ctl::S4A, Ctl::S4B, Ctl::S5KILL, Ctl::S5A,
                Ctl::S5B, Ctl::S6KILL, Ctl::S6A, Ctl::S6B})
    m.setVisible(c, true);
  m.setVisible(Ctl::MUX_SW, false);
  m.setVisible(Ctl::REDBLUE, false);
  if (run.lx2) {
    m.setLabel(Ctl::OTHERIN_LED, "   Vext OK");
    m.setLabel(Ctl::CHARGEON_LED, "VBatt OK");
    m.setLabel(Ctl::ARMIN_LED, "485 Trig In");
    m.setLabel(Ctl::TRIGIN_LED, "Opto Trig In");
  } else {
    restoreLampLabels(m);
    m.setVisible(Ctl::CHARGEON_LED, true);
    m.setLabel(Ctl::OTHEROUT_SW, "Spare Out");
    m.setLabel(Ctl::OTHERIN_LED, "   Spare In");
  }
  // The page starts from the unit's present outputs. A failed read would
  // turn every switch on (trigger and arm outputs included), so the
  // switches then stay as they are.
  const int word = GetIO(st);
  if (word >= 0) SetRevDSwitches(m, static_cast<uint16_t>(word));
}

// A failed read gives -1: every bit set.
uint16_t inputWord(Station& st) { return static_cast<uint16_t>(GetIO(st)); }

void readLeds(Station& st, IoCheckRun& run, int count) {
  LedAD(st, SelectedLed(st.model), LedDriveLevel(st.model), count, run.readings.data());
  const auto now = std::chrono::steady_clock::now();
  if (run.readingsShown && now - run.shownAt <= std::chrono::milliseconds(kReadingsShownEveryMs)) return;
  ShowReadings(st.model, run);
  run.readingsShown = true;
  run.shownAt = now;
}

void passRevD(Station& st, IoCheckRun& run) {
  SetOutputs(st, RevDOutputWord(st.model));
  ShowRevDInputs(st.model, inputWord(st), run.lx2);
  readLeds(st, run, kRevDReadings);
  if (run.lx2) {
    std::string text;
    CheckTemperatures(st, text);
    st.model.setText(Ctl::TEMPERATURE, text);
  }
}

void passRevBC(Station& st, IoCheckRun& run) {
  const OutputWords w = RevBCOutputWords(st.model);
  ClearOutputs(st, w.clear);
  SetOutputs(st, w.set);
  ShowRevBCInputs(st.model, inputWord(st));
  readLeds(st, run, run.worldSid ? kRevBCWorldSidReadings : kRevBCReadings);
}

}  // namespace

IoVariant IOCheckVariant(const Station& st) {
  const bool above100 = FieldInt(st.model.text(Ctl::SERNUM)) > 100;
  return above100 && isWorldSid(st.session.DummyType) ? IoVariant::RevD : IoVariant::RevBC;
}

uint16_t RevDOutputWord(const Model& m) {
  uint16_t word = 0;
  for (const SwitchBit& s : kRevDSwitches)
    if (on(m, s.control)) word |= s.bit;
  return word;
}

void SetRevDSwitches(Model& m, uint16_t word) {
  for (const SwitchBit& s : kRevDSwitches) m.setNumber(s.control, (word & s.bit) ? 1 : 0);
}

void ShowRevDInputs(Model& m, uint16_t word, bool lx2) {
  lamp(m, Ctl::TRIGIN_LED, word & revd::TriggerIn);
  lamp(m, Ctl::ARMIN_LED, lx2 ? (word & revd::ArmIn) != 0 : (word & revd::ArmIn) == 0);
  lamp(m, Ctl::OTHERIN_LED, !(word & revd::OtherIn));
  lamp(m, Ctl::CHARGEON_LED, !(word & revd::ChargeOn));
}

OutputWords RevBCOutputWords(Model& m) {
  OutputWords w;
  auto add = [&](bool isOn, uint16_t bit) { (isOn ? w.set : w.clear) |= bit; };
  const bool mux = on(m, Ctl::MUX_SW);
  add(mux, revbc::Mux);
  m.setLabel(Ctl::S1KILL, mux ? "SENSOR 1" : "SENSOR 3");
  m.setLabel(Ctl::S3KILL, mux ? "SENSOR 2" : "SENSOR 4");
  m.setLabel(Ctl::S1A, mux ? "SENSOR 1 A" : "SENSOR 3 A");
  m.setLabel(Ctl::S1B, mux ? "SENSOR 1 B" : "SENSOR 3 B");
  m.setLabel(Ctl::S2A, mux ? "SENSOR 2 A" : "SENSOR 4 A");
  m.setLabel(Ctl::S2B, mux ? "SENSOR 2 B" : "SENSOR 4 B");
  add(on(m, Ctl::S1KILL), mux ? revbc::Sensor1 : revbc::Sensor3);
  add(on(m, Ctl::S3KILL), mux ? revbc::Sensor2 : revbc::Sensor4);
  add(on(m, Ctl::TRIGGEROUT_SW), revbc::TriggerOut);
  add(on(m, Ctl::ARMOUT_SW), revbc::ArmOut);
  add(on(m, Ctl::OTHEROUT_SW), revbc::OtherOut);
  return w;
}

void ShowRevBCInputs(Model& m, uint16_t word) {
  lamp(m, Ctl::TRIGIN_LED, word & revbc::TriggerIn);
  lamp(m, Ctl::ARMIN_LED, !(word & revbc::ArmIn));
  lamp(m, Ctl::OTHERIN_LED, !(word & revbc::OtherIn));
}

int SelectedLed(const Model& m) { return FieldInt(m.itemValue(Ctl::LEDSEL)); }

int LedDriveLevel(const Model& m) {
  return static_cast<uint16_t>(m.intValue(Ctl::LEDDRIVE) * kLedDriveScale);
}

void ShowReadings(Model& m, const IoCheckRun& run) {
  if (run.variant == IoVariant::RevD) {
    for (int k = 0; k < kRevDReadings; ++k) m.setNumber(kReadingDisplays[k], run.readings[k]);
    return;
  }
  const int first = run.worldSid && !on(m, Ctl::REDBLUE) ? 4 : 0;
  for (int k = 0; k < 4; ++k) m.setNumber(kReadingDisplays[k], run.readings[first + k]);
}

IoCheckRun IOCheckStart(Station& st) {
  IoCheckRun run;
  run.variant = IOCheckVariant(st);
  run.lx2 = st.session.IsLX2 != 0;
  run.worldSid = isWorldSid(st.session.DummyType);
  run.timerWasRunning = SuspendStatusTimer(st);
  if (run.variant == IoVariant::RevD) {
    prepareRevD(st, run);
  } else {
    restoreLampLabels(st.model);
    ManualArmCtrl(st, 0);
  }
  return run;
}

void IOCheckPass(Station& st, IoCheckRun& run) {
  if (run.variant == IoVariant::RevD)
    passRevD(st, run);
  else
    passRevBC(st, run);
}

void IOCheckFinish(Station& st, IoCheckRun& run) {
  if (run.variant == IoVariant::RevBC && st.session.unitStatus != StatusDisconnected) ManualArmCtrl(st, 1);
  RestoreStatusTimer(st, run.timerWasRunning);
}

int Checkio(Station& st) {
  IoCheckRun run = IOCheckStart(st);
  while (st.session.ioCheckRunning) {
    IOCheckPass(st, run);
    FinishPass(st, st.session.ioCheckRunning);
  }
  IOCheckFinish(st, run);
  return LoopResult(st);
}

void EndIOCheck(Station& st) {
  st.session.ioCheckRunning = 0;
  st.model.setLabel(Ctl::CHECKIOBUT, "Check I/O");
}

}  // namespace lumvex
