#include "files/diadem.h"

namespace lumvex {

// Placeholder until the DIAdem writer lands: reports failure, never success.
int FileSave_DIADEM(Station& st, int relative) {
  (void)st;
  (void)relative;
  return -1;
}

}  // namespace lumvex
