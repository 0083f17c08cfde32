// The raw file's part of a reprocessing: seven header lines (type, serial,
// ATD with the trigger, date, time, start time, test comment), then the
// records' words read as "%d," reads them.
#include "files/readers.h"
#include "files/textin.h"
#include "platform/text.h"
#include "processing/assembly.h"

#include <algorithm>
#include <vector>

namespace lumvex {
namespace {

constexpr size_t kLineSize = 1023;  // lines of up to 1 022 characters
constexpr size_t kDateMax = 31;     // characters of a date text
constexpr size_t kTimeChars = 8;    // "HH:MM:SS"

// A field of a header line: up to its line end or comma.
std::string field(std::string_view line) { return std::string(line.substr(0, line.find_first_of("\r\n,"))); }

}  // namespace

int ReadRawWords(Station& st, const std::string& path, FileDataSet& ds, int isLX2) {
  if (path.size() < 4) return -1;
  TextFileIn in;
  if (!in.open(path)) return -1;
  std::string line;

  in.readLine(line, kLineSize, true);
  const bool fifth = Contains(line, "5th");
  ds.DummyType = fifth ? DummyWorldSID5th : DummyWorldSID50th;
  auto& name = ds.DummyTypeNames[static_cast<size_t>(ds.DummyType)];
  name.fill('\0');
  unitFamily(ds.DummyType).name.copy(name.data(), name.size() - 1);
  if (GetLXtype(st, ds, line) != 0) return -1;

  in.readLine(line, kLineSize, true);
  ds.SerialNumberText = field(line);

  in.readLine(line, kLineSize, true);
  std::string atd = field(line);
  const size_t trigger = atd.find("Trigger:");
  if (trigger != std::string::npos) atd.resize(trigger);  // the two spaces before it stay
  ds.ident.AtdText = atd;
  ds.TriggerSetting = GetSavedTrigger(line);

  in.readLine(line, kLineSize, true);
  const bool dated = line.find_first_of("\r\n,") != std::string::npos;
  GetFileDates(ds.ident, dated ? std::string_view(line).substr(0, kDateMax) : std::string_view("01-01-1900"));

  in.readLine(line, kLineSize, true);
  ds.ident.TestTimeText = line.size() >= kTimeChars ? line.substr(0, kTimeChars) : "01:01:01";

  in.readLine(line, kLineSize, true);
  const char* p = line.data();
  float start = 0;
  ds.StartTimeMs = ScanFloat(p, line.data() + line.size(), true, start) == ScanResult::Ok ? start : 0.0f;

  in.readLine(line, kLineSize, true);
  ds.ident.TestCommentText = field(line);

  // From here RawWords no longer holds the words of the data set in memory.
  MeasurementData& d = st.data;
  d.RawRecordCount = 0;
  const size_t words = static_cast<size_t>(rawRecordWords(isLX2));
  const size_t limit = static_cast<size_t>(kMaxRecords) * words;
  static_assert(static_cast<size_t>(kMaxRecords) * kMaxRecordWords <= kRawWords);
  const size_t read = in.readWords(d.RawWords.begin(), limit);
  if (read == limit) {
    // A further complete record would not fit the buffers.
    std::vector<uint16_t> spare(words);
    if (in.readWords(spare.data(), words) == words) {
      RefuseFile(st, ReadRefusal::SamplesOutOfRange, path);
      return -2;
    }
  }
  ds.SampleCount = static_cast<int>(read / words);
  d.RawRecordCount = ds.SampleCount;
  ds.AlreadyZeroed = 0;
  return 0;
}

}  // namespace lumvex
