// The WorldSID rib geometry the derived channels are defined against, written
// out independently of the station's tables (mm; rib 0 to 5).
#pragma once

#include "core/session.h"

namespace lumvex::testing {

// Depth of the IR-TRACC anchor behind the rib's middle LED.
inline double irtDepth(int type, int lx2, int rib) {
  if (type == DummyWorldSID50th) return rib == 0 ? -32.6 : -21.0;
  if (type == DummyWorldSID5th && !lx2) return rib == 0 ? -25.844 : -14.244;
  return rib == 0 ? -16.043 : -15.943;
}

// X of the point the rib's length change is measured from.
inline double anchorX(int type, int lx2, int rib) {
  const double ws[] = {-19.86, 0, 4.72, -20.0, 0, 20.0};
  const double lx[] = {-4.672, 0, 17.639, -15.43, 0, 15.43};
  const double w5[] = {-7.0883, 0, 14.2073, -20.0082, 0, 20.1067};
  return type == DummyWorldSID50th ? ws[rib] : (lx2 ? lx[rib] : w5[rib]);
}

}  // namespace lumvex::testing
