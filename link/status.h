// The unit's recording status: the status query and the texts that name each
// status on page 0.
#pragma once

#include "core/station.h"

#include <string_view>

namespace lumvex {

// Asks the unit for its status. 0..3; -1 when the reply fails to parse
// ("COMM ERROR" / "in check status") or holds no status 0..3; the code of
// sendRcv (-1, or -2 when the link was lost) when the exchange failed.
int CheckStatus(Station& st);

// Status text shown in STATUSBOX for a status -1..3 ("" for any other).
std::string_view StatusText(int status);
// Its colour (0xRRGGBB): black when disconnected, dark green when idle,
// dark red while recording.
uint32_t StatusColour(int status);

}  // namespace lumvex
