#include "files/iso.h"

namespace lumvex {

// Placeholder until the ISO MME writer lands: reports failure, never success.
int FileSave_ISO(Station& st, int relative) {
  (void)st;
  (void)relative;
  return -1;
}

}  // namespace lumvex
