#include "processing/offsets.h"

#include <algorithm>

namespace lumvex {

void CalcChannelOffsets(MeasurementData& d) {
  const ChannelTable& t = d.ChannelData;
  // Short data sets: rows past SampleCount hold whatever an earlier data set
  // left there, so average only the rows that belong to this one.
  const int rows = std::min(t.SampleCount, 100);
  const int cols = std::min(t.ChannelCount, kMaxChannels);
  for (int c = 1; c < cols; ++c) {
    double sum = 0;
    for (int r = 0; r < rows; ++r) sum += t.at(r, c);
    d.ChannelOffsets[c] = rows > 0 ? static_cast<float>(sum / rows) : 0.0f;
  }
}

}  // namespace lumvex
