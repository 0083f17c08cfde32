#include "link/positions.h"

#include "link/link.h"
#include "link/query.h"

#include <algorithm>

namespace lumvex {

int getPoints(Station& st, int& count, double* points) {
  SetLinkTimeout(st, 5000);  // ms: the unit measures every LED before it answers
  Exchange x = Ask(st, "CURRENT_POSITIONS#109\r\n", "CURRENT_POSITIONS", kPointsFieldCapacity);
  SetLinkTimeout(st, kRestingTimeoutMs);
  if (x.reply == Reply::LinkFailed) {
    std::fill(points, points + kMaxPointValues, 0.0);
    return -1;
  }
  if (x.reply == Reply::Bad) {
    st.ui->message("COMM ERROR", "Comm Error getting current positions");
    return -1;
  }
  // A count beyond the array would let a caller walk past it.
  count = std::clamp(FieldInt(x.first), 0, kMaxPointValues);
  ReadNumberList(x.second, points, count);
  return 0;
}

}  // namespace lumvex
