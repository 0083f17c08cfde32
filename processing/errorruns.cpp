// Error-code runs of one LED: where the derived channels must not compute.
#include "processing/derived.h"

#include <cmath>

namespace lumvex {

namespace {

constexpr int kLastRunSlot = kErrorRunSlots - 2;  // slot 499 holds the end marker

// Integer part of |v| when below 10, else -1 (never a code).
int codeDigit(float v) {
  const float a = std::fabs(v);
  if (!(a < 10.0f)) return -1;  // also refuses NaN before the cast
  return static_cast<int>(a);
}

}  // namespace

int SampleErrorCode(float x, float y, float z) {
  const int cx = codeDigit(x);
  if (cx < 0 || cx != codeDigit(y) || cx != codeDigit(z)) return 0;
  return cx;
}

// Runs are merged as they are found rather than after a scan that stops at 499
// runs: a flickering LED early in a record would otherwise fill the table and
// leave every later error code to be read as a position. The merged result is
// the same whenever the table does not overflow.
void BuildErrorCodeTable(ErrorRunTable& runs, const ChannelTable& data, int column) {
  runs.fill({-1, -1, -1});
  runs[kErrorRunSlots - 1] = kErrorRunEndMarker;
  if (column < 1 || column + 2 >= data.ChannelCount) return;

  int k = 0;  // slot of the open run, or of the next run
  bool open = false;
  for (int i = 0; i < data.SampleCount; ++i) {
    const int code = SampleErrorCode(data.at(i, column), data.at(i, column + 1), data.at(i, column + 2));
    if (!open && code > 0) {
      if (k > 0 && i - runs[k - 1].last < kErrorRunMergeGap) {
        --k;
        runs[k].last = -1;
      } else if (k > kLastRunSlot) {
        // No slot left: the last run covers the rest, so no code is ever taken for a position.
        runs[kLastRunSlot].last = -1;
        return;
      } else {
        runs[k] = {i, -1, code};
      }
      open = true;
    } else if (open && code == 0) {
      runs[k].last = i - 1;
      ++k;
      open = false;
    }
  }
}

}  // namespace lumvex
