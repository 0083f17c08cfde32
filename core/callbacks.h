// Binds every control of the model to the operation that its commit runs.
#pragma once

#include "core/station.h"

namespace lumvex {

void BindCallbacks(Station& st);

}  // namespace lumvex
