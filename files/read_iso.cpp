// The ISO MME reader: test time and date from the ".MME" file, type, side,
// trigger, source, start time and sample count from the first channel file,
// the samples of every channel file (read as "%f" reads them), the codes from
// the ".CHN" channel list. The time column is rebuilt from the type's sample
// interval.
#include "files/readers.h"
#include "files/textin.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "processing/assembly.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace lumvex {
namespace {

constexpr size_t kLineSize = 1023;  // lines of up to 1 022 characters
constexpr size_t kDateMax = 31;     // characters of a date text
constexpr size_t kTimeChars = 8;    // "HH:MM:SS"
constexpr size_t kTimeOffset = 12;  // the time follows "YYYY-MM-DD " after the ':'
constexpr size_t kCodeChars = 16;
constexpr size_t kChannelBuffer = size_t{64} << 10;  // bytes per open channel file

bool search(TextFileIn& in, std::string& line, std::string_view key) {
  while (in.readLine(line, kLineSize, true) == 0)
    if (Contains(line, key)) return true;
  line.clear();
  return false;
}

// "%3.3d"
std::string threeDigits(int n) {
  std::string s = std::to_string(n);
  if (s.size() < 3) s.insert(0, 3 - s.size(), '0');
  return s;
}

// The digits after the line's second ':' ("unknown" without one).
std::string serialAfterSecondColon(std::string_view line) {
  const size_t first = line.find(':');
  const size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
  if (second == std::string_view::npos) return "unknown";
  size_t e = second + 1;
  while (e < line.size() && line[e] >= '0' && line[e] <= '9') ++e;
  return std::string(line.substr(second + 1, e - second - 1));
}

bool numberAfterColon(std::string_view line, float& out) {
  const std::string_view rest = AfterFirst(line, ':');
  const char* p = rest.data();
  return !rest.empty() && ScanFloat(p, rest.data() + rest.size(), true, out) == ScanResult::Ok;
}

bool integerAfterColon(std::string_view line, long long& out) {
  const std::string_view rest = AfterFirst(line, ':');
  const char* p = rest.data();
  return !rest.empty() && ScanLong(p, rest.data() + rest.size(), true, out) == ScanResult::Ok;
}

// Fills columns [first, end) of the table, a block of rows at a time, so that
// the rows being filled stay in the cache while every file adds its column.
// The first column whose file held too few numbers, or 0.
int fillColumns(std::vector<std::unique_ptr<TextFileIn>>& files, float* table, int channels, int samples,
                int first, int end) {
  constexpr int kRowBlock = 1024;  // rows: 1024 x 91 values stay in L2
  for (int s0 = 0; s0 < samples; s0 += kRowBlock) {
    const size_t rows = static_cast<size_t>(std::min(kRowBlock, samples - s0));
    for (int n = first; n < end; ++n) {
      float* out = table + static_cast<size_t>(s0) * channels + n;
      if (files[static_cast<size_t>(n - 1)]->readFloats(out, rows, static_cast<size_t>(channels), false) !=
          rows)
        return n;
    }
  }
  return 0;
}

}  // namespace

int ReadISOFile(Station& st, const std::string& path, FileDataSet& ds) {
  std::string line;
  {
    TextFileIn mme;
    if (!mme.open(path)) return -1;
    const bool stamped = search(mme, line, "Timestamp");
    const size_t colon = line.find(':');
    ds.ident.TestTimeText = stamped && colon != std::string::npos
                                ? line.substr(std::min(line.size(), colon + kTimeOffset), kTimeChars)
                                : "01:01:01";
    GetFileDates(ds.ident, search(mme, line, "Date of the test") ? AfterFirst(line, ':').substr(0, kDateMax)
                                                                 : std::string_view("01-01-1900"));
  }

  // <folder>/CHANNEL/<name up to and including its first '.'>
  const std::string name = pathFileName(path);
  const size_t dot = name.find('.');
  const std::string prefix = pathJoin(pathJoin(pathFolder(path), "CHANNEL"),
                                      name.substr(0, dot == std::string::npos ? dot : dot + 1));

  long long samples = -1;
  {
    const std::string firstPath = prefix + "001";
    TextFileIn first;
    if (!first.open(firstPath)) {
      RefuseFile(st, ReadRefusal::DataNotOpened, firstPath);
      return -1;
    }
    ds.AlreadyZeroed = search(first, line, "Name of the channel") && Contains(line, "Relative") ? 1 : 0;
    if (!search(first, line, "Lumvex Type")) {
      st.ui->message("Error", "Not a Valid Lumvex File");
      return -1;
    }
    if (GetLXtype(st, ds, line) != 0) return -1;
    ds.SerialNumberText = serialAfterSecondColon(line);
    ds.DirectionText = DirectionFromText(line, ds.DummyType);
    ds.TriggerSetting = GetSavedTrigger(line);
    if (search(first, line, "Data source")) {
      const std::string_view atd = AfterFirst(line, ':');
      ds.ident.AtdText = std::string(atd.substr(0, atd.find('\n')));
    } else {
      ds.ident.AtdText = " ";
    }
    float start = 0;
    ds.StartTimeMs =
        search(first, line, "Time of first sample") && numberAfterColon(line, start) ? start : 0.0f;
    if (!search(first, line, "Number of samples") || !integerAfterColon(line, samples)) {
      RefuseFile(st, ReadRefusal::SamplesMissing, firstPath);
      return -1;
    }
  }
  if (samples < 0 || samples > kMaxRecords) {
    RefuseFile(st, ReadRefusal::SamplesOutOfRange, prefix + "001");
    return -1;
  }
  ds.SampleCount = static_cast<int>(samples);
  ds.StartTimeMs = ds.StartTimeMs * 1000;  // s to ms, in single precision

  const int channels = ds.ChannelCount;
  float* table = st.data.ExportData.values.begin();
  for (int s = 0; s < ds.SampleCount; ++s)
    table[static_cast<size_t>(s) * channels] =
        static_cast<float>(ds.SampleIntervalMs * s + static_cast<double>(ds.StartTimeMs));  // ms

  // Every channel file open at once, past its header.
  std::vector<std::unique_ptr<TextFileIn>> files;
  for (int n = 1; n < channels; ++n) {
    files.push_back(std::make_unique<TextFileIn>(kChannelBuffer));
    const std::string file = prefix + threeDigits(n);
    if (!files.back()->open(file)) {
      RefuseFile(st, ReadRefusal::DataNotOpened, file);
      return -1;
    }
    search(*files.back(), line, "End offset interval");
  }
  // The second half of the columns on a second thread: each file has one
  // reader and each value one place, so the table is what one thread makes.
  constexpr long long kThreadedValues = 1'000'000;  // below this a thread costs more than it saves
  const int mid = 1 + (channels - 1) / 2;
  int shortFirst = 0, shortSecond = 0;
  std::thread other;
  if (static_cast<long long>(ds.SampleCount) * channels >= kThreadedValues) {
    try {
      other = std::thread(
          [&] { shortSecond = fillColumns(files, table, channels, ds.SampleCount, mid, channels); });
    } catch (const std::system_error&) {
      // no thread to be had: this one reads every column
    }
  }
  if (other.joinable()) {
    shortFirst = fillColumns(files, table, channels, ds.SampleCount, 1, mid);
    other.join();
  } else {
    shortFirst = fillColumns(files, table, channels, ds.SampleCount, 1, channels);
  }
  if (shortFirst != 0 || shortSecond != 0) {
    RefuseFile(st, ReadRefusal::DataTooShort,
               prefix + threeDigits(shortFirst != 0 ? shortFirst : shortSecond));
    return -1;
  }
  files.clear();

  const std::string listPath = prefix + "CHN";
  TextFileIn list;
  if (!list.open(listPath)) {
    RefuseFile(st, ReadRefusal::DataNotOpened, listPath);
    return -1;
  }
  list.readLine(line, kLineSize, true);
  list.readLine(line, kLineSize, true);
  for (int slot = 0; slot <= channels - 2; ++slot) {
    list.readLine(line, kLineSize, true);
    const std::string_view code = UntilLineEnd(AfterFirst(line, ':')).substr(0, kCodeChars);
    CodeSlot& c = ds.ChannelCodes[static_cast<size_t>(slot)];
    c.fill('\0');
    std::copy(code.begin(), code.end(), c.begin());
  }
  return 0;
}

}  // namespace lumvex
