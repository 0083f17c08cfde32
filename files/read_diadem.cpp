// The DIAdem reader: the header file read as binary (every CR CR LF line end
// gives the line and two lines of a CR and an LF, which the key searches
// pass over), then the ".R32" data file of little-endian singles, column
// after column, turned into rows block by block.
#include "files/readers.h"
#include "files/textin.h"
#include "platform/text.h"
#include "processing/assembly.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace lumvex {
namespace {

constexpr size_t kLineSize = 1023;  // lines of up to 1 022 characters
constexpr size_t kDateMax = 31;     // characters of a date text
constexpr size_t kTimeChars = 8;    // "HH:MM:SS"
constexpr size_t kCodeChars = 16;
constexpr double kCodeTolerance = 0.001;  // mm

// Forward to the first line holding key; false (and an empty line) when the
// file ends first.
bool search(TextFileIn& in, std::string& line, std::string_view key) {
  while (in.readLine(line, kLineSize, false) == 0)
    if (Contains(line, key)) return true;
  line.clear();
  return false;
}

std::string_view afterKey(std::string_view line, std::string_view key) {
  const size_t at = line.find(key);
  return at == std::string_view::npos ? std::string_view() : line.substr(at + key.size());
}

std::string digitsAfterComma(std::string_view line) {
  const size_t comma = line.find(',');
  if (comma == std::string_view::npos) return "unknown";
  size_t e = comma + 1;
  while (e < line.size() && line[e] >= '0' && line[e] <= '9') ++e;
  return std::string(line.substr(comma + 1, e - comma - 1));
}

// The second number of "%d,%d"; false when the line does not read so.
bool secondInteger(std::string_view line, long long& out) {
  const char* p = line.data();
  const char* end = p + line.size();
  long long first = 0;
  if (ScanLong(p, end, true, first) != ScanResult::Ok || p == end || *p != ',') return false;
  ++p;
  return ScanLong(p, end, true, out) == ScanResult::Ok;
}

// Column n of the file is value s of every row: a block of rows is read
// column by column into one buffer per column, then spread into the rows a
// tile at a time, so that both the buffers and the rows stay in the cache.
bool readColumns(InputFile& file, float* table, int channels, int samples) {
  constexpr int kRowBlock = 16384;  // rows: 64 KiB per column
  constexpr int kTileRows = 16;     // one 64-byte line of every column
  constexpr size_t kLine = 64;
  const int block = std::min(kRowBlock, std::max(samples, 1));
  const size_t stride = static_cast<size_t>(block) * 4 + kLine;  // bytes between column buffers
  std::unique_ptr<char[]> buf(new char[stride * static_cast<size_t>(channels)]);
  for (int s0 = 0; s0 < samples; s0 += block) {
    const int s1 = std::min(samples, s0 + block);
    for (int n = 0; n < channels; ++n)
      if (!file.readAt(buf.get() + stride * static_cast<size_t>(n), static_cast<size_t>(s1 - s0) * 4,
                       (static_cast<long long>(n) * samples + s0) * 4))
        return false;
    for (int t0 = s0; t0 < s1; t0 += kTileRows) {
      const int rows = std::min(kTileRows, s1 - t0);
      float* tile = table + static_cast<size_t>(t0) * channels;
      const char* src = buf.get() + static_cast<size_t>(t0 - s0) * 4;
      for (int n = 0; n < channels; ++n, src += stride) {
        uint32_t bits[kTileRows];
        std::memcpy(bits, src, static_cast<size_t>(rows) * 4);
        for (int r = 0; r < rows; ++r) {
          uint32_t b = bits[r];
          if constexpr (std::endian::native == std::endian::big) b = __builtin_bswap32(b);
          tile[static_cast<size_t>(r) * channels + n] = std::bit_cast<float>(b);
        }
      }
    }
  }
  return true;
}

// A relative export keeps absolute values and puts -offset into key 240; an
// error sample was written as its code plus the offset, and gets its code back.
void restoreErrorCodes(float* table, const FileDataSet& ds) {
  const int channels = ds.ChannelCount;
  const int axes = ds.layout.AxesPerLed;
  if (axes < 1) return;
  for (int g = 1; g < channels - ds.layout.SensorChannelCount && g + axes <= channels; g += axes) {
    for (int s = 0; s < ds.SampleCount; ++s) {
      float* v = table + static_cast<size_t>(s) * channels + g;
      double diff[3];
      for (int a = 0; a < axes && a < 3; ++a)
        diff[a] = std::fabs(v[a] - ds.ChannelOffsets[static_cast<size_t>(g + a)]);
      for (int k = 1; k <= 9; ++k) {
        bool all = true;
        for (int a = 0; a < axes && a < 3; ++a) all = all && std::fabs(diff[a] - k) <= kCodeTolerance;
        if (all) {
          std::fill_n(v, axes, static_cast<float>(k));
          break;
        }
      }
    }
  }
}

}  // namespace

int ReadDiademFile(Station& st, const std::string& path, FileDataSet& ds) {
  TextFileIn in;
  if (!in.open(path)) return -1;
  std::string line;

  if (!search(in, line, "Lumvex Type")) {
    st.ui->message("Error", "Not a Valid Lumvex File");
    return -1;
  }
  if (GetLXtype(st, ds, line) != 0) return -1;

  ds.AlreadyZeroed = search(in, line, "102,") && Contains(line, "Relative") ? 1 : 0;

  search(in, line, "103,");  // an empty line gives every default
  ds.SerialNumberText = digitsAfterComma(line);
  ds.DirectionText = DirectionFromText(line, ds.DummyType);
  ds.TriggerSetting = GetSavedTrigger(line);

  GetFileDates(ds.ident, search(in, line, "104,") ? afterKey(line, "104,").substr(0, kDateMax)
                                                  : std::string_view("01-01-1900"));
  ds.ident.TestTimeText =
      search(in, line, "105,") ? std::string(afterKey(line, "105,").substr(0, kTimeChars)) : "01:01:01";
  if (search(in, line, "106,")) {
    const std::string_view atd = AfterFirst(line, ',');
    ds.ident.AtdText = std::string(atd.substr(0, atd.find('\r')));
  } else {
    ds.ident.AtdText = " ";
  }

  long long samples = -1;
  if (!search(in, line, "220,") || !secondInteger(line, samples)) {
    RefuseFile(st, ReadRefusal::SamplesMissing, path);
    return -1;
  }
  if (samples < 0 || samples > kMaxRecords) {
    RefuseFile(st, ReadRefusal::SamplesOutOfRange, path);
    return -1;
  }
  ds.SampleCount = static_cast<int>(samples);

  // A channel whose header lines are missing gets no code and no offset.
  for (int n = 1; n < ds.ChannelCount; ++n) {
    std::string_view code;
    if (search(in, line, "200,")) code = UntilLineEnd(afterKey(line, "200,")).substr(0, kCodeChars);
    CodeSlot& slot = ds.ChannelCodes[static_cast<size_t>(n - 1)];
    slot.fill('\0');
    std::copy(code.begin(), code.end(), slot.begin());
    float offset = 0;
    if (search(in, line, "240,")) {
      const std::string_view value = afterKey(line, "240,");
      const char* p = value.data();
      float v = 0;
      if (ScanFloat(p, value.data() + value.size(), true, v) == ScanResult::Ok) offset = -v;
    }
    ds.ChannelOffsets[static_cast<size_t>(n)] = offset;
  }

  // The last ".DAT" of the path is the extension the file button dispatched on.
  std::string dataPath = path;
  const size_t dat = dataPath.rfind(".DAT");
  if (dat == std::string::npos)
    dataPath += ".R32";
  else
    dataPath.replace(dat, 4, ".R32");
  InputFile data;
  if (!data.open(dataPath)) {
    RefuseFile(st, ReadRefusal::DataNotOpened, dataPath);
    return -1;
  }
  const long long need = 4LL * ds.ChannelCount * ds.SampleCount;  // bytes
  float* table = st.data.ExportData.values.begin();
  if (data.size() < need || !readColumns(data, table, ds.ChannelCount, ds.SampleCount)) {
    RefuseFile(st, ReadRefusal::DataTooShort, dataPath);
    return -1;
  }
  if (ds.SampleCount > 0) ds.StartTimeMs = table[0];
  if (ds.AlreadyZeroed == 1) restoreErrorCodes(table, ds);
  ds.AlreadyZeroed = 0;
  return 0;
}

}  // namespace lumvex
