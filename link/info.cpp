#include "link/info.h"

namespace lumvex {

// Placeholders until the identification commands land.
int GetLXinfo(Station& st) {
  (void)st;
  return 0;
}
int DumpInfo(Station& st) {
  (void)st;
  return 0;
}
int Direction(Station& st) {
  (void)st;
  return 0;
}

}  // namespace lumvex
