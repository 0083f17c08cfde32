#include "maintenance/battery.h"

namespace lumvex {

// Placeholder until the battery commands land.
int DoBattery(Station& st) {
  (void)st;
  return 0;
}

}  // namespace lumvex
