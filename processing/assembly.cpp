#include "processing/assembly.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

namespace lumvex {
namespace {

constexpr double kPolarRotationDeg = 41.0;
constexpr double kPi = 3.14159265358979323846;

// Leading decimal integer of text from position pos (atoi rules: optional
// blanks and sign); 0 when there is none or pos is past the end.
int intAt(std::string_view text, size_t pos) {
  if (pos >= text.size()) return 0;
  std::string s(text.substr(pos));
  return std::atoi(s.c_str());
}

enum class Side { None, Left, Right };

Side selectedSide(const Station& st) {
  const std::string v = st.model.itemValue(Ctl::LX_DIRECTION);
  if (v.find("LE") != std::string::npos) return Side::Left;
  if (v.find("RI") != std::string::npos) return Side::Right;
  return Side::None;
}

// A Polar pair whose X equals Y in the small range is a status, not a point.
bool isPolarStatus(double x, double y) { return x == y && x >= -0.000001 && x <= 3.00001; }

// A triple that holds the same small integer in every coordinate is an error code.
bool isErrorTriple(double x, double y, double z) {
  const double ax = std::fabs(std::trunc(x));
  return ax == std::fabs(std::trunc(y)) && ax == std::fabs(std::trunc(z)) && ax < 10;
}

}  // namespace

void AssemblePositions(Station& st) {
  MeasurementData& d = st.data;
  ChannelTable& t = d.ChannelData;
  const int words = t.ChannelCount;
  const int sensors = d.layout.SensorChannelCount;
  // A record shorter than the type's sensor block holds sensor words only;
  // never index before the start of the record.
  const int coords = std::max(words - sensors, 0);
  const int cols = words + 1;
  double values[kMaxChannels];
  const auto* raw = reinterpret_cast<const int16_t*>(d.RawWords.begin());
  for (int i = 0; i < t.SampleCount; ++i) {
    const int16_t* w = raw + static_cast<size_t>(i) * words;
    float* row = &t.values[static_cast<size_t>(i) * cols];
    row[0] = static_cast<float>(d.StartTimeMs + i * d.SampleIntervalMs);
    for (int k = 0; k < coords; ++k) values[k] = w[k] / 100.0;
    for (int k = coords; k < words; ++k) values[k] = 2.0 * w[k];
    CoordConvert(st, coords, values);
    for (int k = 0; k < words; ++k) row[k + 1] = static_cast<float>(values[k]);
  }
  t.ChannelCount = cols;
}

void CoordConvert(Station& st, int n, double* v) {
  const Side side = selectedSide(st);
  if (side == Side::None) return;
  const int type = st.session.DummyType;
  if (type == DummyPolar) {
    RotatePolarPairs(n, v, side == Side::Right);
  } else if (type == DummySIDIIs || isWorldSid(type)) {
    for (int k = 0; k + 2 < n; k += 3) {
      if (isErrorTriple(v[k], v[k + 1], v[k + 2])) continue;
      if (side == Side::Right)
        v[k] = -v[k];
      else
        v[k + 1] = -v[k + 1];
    }
  }
}

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

void RotatePolarPairs(int n, double* v, bool rightSide) {
  const double turn = (rightSide ? kPolarRotationDeg : -kPolarRotationDeg) * kPi / 180.0;
  for (int k = 0; k + 1 < n; k += 2) {
    const double x = v[k], y = v[k + 1];
    if (isPolarStatus(x, y)) continue;
    const double r = std::sqrt(x * x + y * y);
    const double a = std::atan2(y, x) + turn;
    v[k] = r * std::cos(a);
    v[k + 1] = r * std::sin(a);
  }
}

void GetFileDates(TestIdentification& ident, std::string_view date) {
  int year, month, day;
  const int first = intAt(date, 0);
  if (first < 101) {
    month = first;
    day = intAt(date, 3);
    year = intAt(date, 6);
  } else {
    year = first;
    month = intAt(date, 5);
    day = intAt(date, 8);
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  ident.TestDateIso = buf;
  std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", month, day, year);
  ident.TestDateUs = buf;
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", month, day, year);
  ident.TestDateDotted = buf;
}

void GetCurrentDates(TestIdentification& ident) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%m-%d-%Y", &tm);
  GetFileDates(ident, buf);
}

int readfile_until_cr(char* buffer, FILE* file, int size) {
  int stored = 0;
  for (;;) {
    const int c = std::fgetc(file);
    if (c == EOF || (c & 0x80)) {
      if (size > 0) buffer[stored] = '\0';
      return -1;
    }
    if (stored < size - 1) buffer[stored++] = static_cast<char>(c);
    if (c == '\r' || c == '\n') break;
  }
  if (size > 0) buffer[stored] = '\0';
  return 0;
}

}  // namespace lumvex
