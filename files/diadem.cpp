#include "files/diadem.h"

#include "files/exportinfo.h"
#include "files/naming.h"
#include "files/output.h"
#include "platform/paths.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace lumvex {

namespace {

// Header lines end in "\r\n" and go through OutFile::text, which stores each
// "\n" as "\r\n" the way a text stream does: on disk every line ends CR CR LF.
void line(OutFile& out, std::string_view key, std::string_view value) {
  std::string s;
  s.reserve(key.size() + value.size() + 3);
  s.append(key).append(value).append("\r\n");
  out.text(s);
}

void writeGlobalHeader(OutFile& out, const Station& st, int relative) {
  const TestIdentification& id = st.data.ident;
  out.text("DIAEXTENDED  {@:ENGLISH\n\r\n");
  out.text("#BEGINGLOBALHEADER\r\n");
  out.text("  1,WINDOWS 32Bit\r\n");
  out.text("  2,{@R:810 {@V:8.10.1292 {@F:4.00\r\n");
  line(out, "101,Lumvex Type:", std::string(currentTypeName(st)) + " ");
  out.text(relative ? "102,Data is Relative\r\n" : "102,Data is Absolute\r\n");
  line(out, "103,",
       st.session.SerialNumberText + "  Direction:" + st.session.DirectionText +
           " Trigger:" + formatInt(SavedTriggerCode(st.session)));
  line(out, "104,", id.TestDateDotted);
  line(out, "105,", id.TestTimeText);
  line(out, "106,", id.AtdText);
  out.text("111,9.9E+34\r\n");
  out.text("112,High -> Low\r\n");
  out.text("#ENDGLOBALHEADER\r\n\r\n");
}

// Key 240 carries the offset that DIAdem adds on loading: -offset for the
// columns a relative export zeroes (1 up to the sensor columns), else 0.
std::string offsetKey(const MeasurementData& d, const ExportShape& sh, int n, int relative) {
  if (relative && n >= 1 && n < sh.channels - sh.sensors)
    return formatFixed(static_cast<double>(-d.ChannelOffsets[static_cast<size_t>(n)]), 6);
  return "0";
}

void writeChannelHeader(OutFile& out, const MeasurementData& d, const ExportShape& sh, int n, int relative,
                        std::string_view dataName) {
  out.text("#BEGINCHANNELHEADER\r\n");
  if (n == 0) {
    out.text("200,time\r\n");
  } else {
    std::string_view code = columnCode(d, n);
    line(out, "200,", code);
    line(out, "201,", columnPlotName(d, n));
    out.text(code.find("SENS") != std::string_view::npos ? "202,1\r\n" : "202,mm\r\n");
    out.text("210,EXPLICIT\r\n");
  }
  line(out, "211,", dataName);
  out.text("213,CHANNEL\r\n");
  out.text("214,REAL32\r\n");
  line(out, "220,", formatInt(sh.samples) + " ");
  line(out, "221,", formatInt(static_cast<long long>(n) * sh.samples + 1));
  line(out, "240,", offsetKey(d, sh, n, relative));
  out.text("241,1.0\r\n");
  out.text("252,No\r\n");
  out.text(n == 0 ? "253,increasing\r\n" : "253,not calculated\r\n");
  out.text("260,Numeric\r\n");
  out.text("261,1\r\n");
  line(out, "262,", formatInt(n + 1));
  out.text("263,0\r\n");
  out.text("265,0\r\n");
  out.text("#ENDCHANNELHEADER\r\n\r\n");
}

// Channel after channel, each value a little-endian IEEE single. The table
// is read a block of rows at a time into one buffer per column, each of which
// then goes to its place in the file, so ExportData is read once, in order.
// Within a block the rows are turned into columns in tiles of kTileRows rows:
// a tile of the table stays in L1 while every column gets one whole cache
// line of it. The column buffers are spaced a cache line more than their
// size apart; buffers a power of two apart would all fall into the same
// cache sets and evict one another on every row.
void writeColumns(OutFile& out, const MeasurementData& d, const ExportShape& sh) {
  constexpr int kRowBlock = 16384;  // rows per buffer: 64 KiB per column
  constexpr int kTileRows = 16;     // 16 values: one 64-byte line per column
  constexpr size_t kLine = 64;
  static_assert(kRowBlock % kTileRows == 0);
  const size_t stride = static_cast<size_t>(kRowBlock) * 4 + kLine;  // bytes between column buffers
  const int channels = sh.channels;
  std::vector<char> buf(stride * static_cast<size_t>(channels));
  const float* table = d.ExportData.values.data.get();
  for (int s0 = 0; s0 < sh.samples && !out.failed(); s0 += kRowBlock) {
    const int s1 = std::min(sh.samples, s0 + kRowBlock);
    for (int t0 = s0; t0 < s1; t0 += kTileRows) {
      const int rows = std::min(kTileRows, s1 - t0);
      const float* tile = table + static_cast<size_t>(t0) * channels;
      char* dst = buf.data() + static_cast<size_t>(t0 - s0) * 4;
      for (int n = 0; n < channels; ++n, dst += stride) {
        uint32_t line[kTileRows];
        for (int r = 0; r < rows; ++r) {
          uint32_t bits = std::bit_cast<uint32_t>(tile[static_cast<size_t>(r) * channels + n]);
          if constexpr (std::endian::native == std::endian::big) bits = __builtin_bswap32(bits);
          line[r] = bits;
        }
        std::memcpy(dst, line, static_cast<size_t>(rows) * 4);
      }
    }
    for (int n = 0; n < channels; ++n)
      out.putAt(buf.data() + stride * static_cast<size_t>(n), static_cast<size_t>(s1 - s0) * 4,
                (static_cast<long long>(n) * sh.samples + s0) * 4);
  }
}

}  // namespace

int FileSave_DIADEM(Station& st, std::string& path, int relative) {
  size_t dot = 0, sep = 0;
  ExportShape sh;
  if (!exportTarget(path, st.data, dot, sep, sh)) return -1;

  std::string dataPath = path;
  pathReplaceExtension(dataPath, dot, "R32");
  const std::string dataName = pathFileName(dataPath);

  OutFile header(size_t{64} << 10);
  if (!header.openInPlace(path)) return -1;
  writeGlobalHeader(header, st, relative);
  GeneratePlotNames(st, relative);
  for (int n = 0; n < sh.channels; ++n) writeChannelHeader(header, st.data, sh, n, relative, dataName);
  if (!header.close()) return -1;

  path = dataPath;
  OutFile data(4096);  // the columns are written past the buffer
  if (!data.openInPlace(path)) return -1;
  writeColumns(data, st.data, sh);
  return data.close() ? 0 : -1;
}

}  // namespace lumvex
