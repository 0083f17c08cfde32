#include "maintenance/trigger.h"

#include "maintenance/hwtests.h"
#include "maintenance/loops.h"

namespace lumvex {
namespace {

void showIdle(Station& st) {
  st.model.setLabel(Ctl::TRIGGER_CHECK, "Start Trigger Check");
  st.model.setNumber(Ctl::TRIG_ARMED, 0);
  st.model.setNumber(Ctl::TRIG_LED, 0);
  st.session.triggerCheckArmed = 0;
}

}  // namespace

int ArmTriggerCheck(Station& st) {
  st.model.setNumber(Ctl::TRIG_LED, 0);
  st.model.setNumber(Ctl::TRIG_ARMED, 1);
  st.model.setLabel(Ctl::TRIGGER_CHECK, "Stop Trigger Check");
  // A unit that was not armed must not be shown as waiting for a trigger.
  if (ArmTrigger(st) != 0) {
    showIdle(st);
    return -1;
  }
  st.session.triggerCheckArmed = 1;
  return 0;
}

void DisarmTriggerCheck(Station& st) { showIdle(st); }

void TriggerCheckStart(Station& st) {
  // Armed before the page was left, the unit would otherwise be polled and
  // lamp a trigger behind a button that offers to start.
  showIdle(st);
}

int TriggerCheckPass(Station& st) {
  SessionState& s = st.session;
  if (!s.triggerCheckArmed) {
    // Nothing to ask the unit: wait a little with events running instead
    // of spinning on an empty event queue.
    st.ui->delay(kTriggerIdleMs);
    return 0;
  }
  st.ui->delay(kTriggerPollMs);
  // Stopped, or the page left, while waiting: nothing more to ask.
  if (!s.triggerCheckArmed || !s.triggerTestRunning || CheckTrigger(st) == 0) return 0;
  st.model.setNumber(Ctl::TRIG_LED, 1);
  st.model.setNumber(Ctl::TRIG_ARMED, 0);
  s.triggerCheckArmed = 0;
  st.model.setLabel(Ctl::TRIGGER_CHECK, "Start Trigger Check");
  return 1;
}

int TriggerCheck(Station& st) {
  TriggerCheckStart(st);
  while (st.session.triggerTestRunning) {
    TriggerCheckPass(st);
    FinishPass(st, st.session.triggerTestRunning);
  }
  return LoopResult(st);
}

}  // namespace lumvex
