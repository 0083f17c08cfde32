#include "ui/trigger_page.h"

#include "maintenance/trigger.h"
#include "platform/text.h"

namespace lumvex {

int TRIGGER_CHECK(Station& st) {
  if (Contains(st.model.label(Ctl::TRIGGER_CHECK), "Start")) return ArmTriggerCheck(st);
  DisarmTriggerCheck(st);
  return 0;
}

}  // namespace lumvex
