// Binds every control of the model to the operation that its commit runs, and
// sets the station's hook through which the link has the screens follow it.
#pragma once

#include "core/station.h"

namespace lumvex {

void BindCallbacks(Station& st);

}  // namespace lumvex
