#include "link/download.h"

#include "link/link.h"
#include "link/status.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace lumvex {
namespace {

constexpr uint32_t kDarkRed = 0x800000;
constexpr uint32_t kDarkGreen = 0x008000;

int readWindowValue(const Model& m, Ctl c) {
  // The recorded window is shown as text by the identification; fall back
  // to the numeric value when a front end keeps it as a number.
  const std::string& t = m.text(c);
  if (!t.empty()) return std::atoi(t.c_str());
  return m.intValue(c);
}

bool windowAccepted(Station& st) {
  const int start = st.model.intValue(Ctl::DL_START_TIME);
  const int stop = st.model.intValue(Ctl::DL_STOP_TIME);
  const int recStart = readWindowValue(st.model, Ctl::DATA_STRT);
  const int recStop = readWindowValue(st.model, Ctl::DATA_STOP);
  const char* refusal = nullptr;
  if (start >= stop)
    refusal = "Start Time >= Stop Time";
  else if (start < recStart)
    refusal = "Download Start Time < Data in Lumvex Start Time";
  else if (stop > recStop)
    refusal = "Download Stop Time > Data in Lumvex Stop Time";
  else if (stop - start > 25000 && isWorldSid(st.session.DummyType) && st.session.IsLX2)
    refusal = "Maximum data download is 25,000 ms for WorldSID";
  if (refusal) st.ui->message("Download Error", refusal);
  return refusal == nullptr;
}

struct LineModeGuard {
  Station& st;
  bool active = false;
  ~LineModeGuard() {
    if (active && st.session.linkHandle) SetLineMode(st, true);
  }
};

// Reads the records into RawWords. 0 when all arrived and every sum matched,
// 1 when all arrived but a sum did not match, -1 when the stream stopped
// (time-out or short read), -2 when the link was lost. Each read takes what
// the link holds, up to a large block, and waits at most the link's time-out
// for it: a slow link (a serial line moves about 11 kB/s) keeps a download
// going as long as records keep coming, and a stream that stops ends it after
// one time-out. Whole records are moved into place and their sums checked; a
// record cut by the end of a read waits at the front of the block for its rest.
int receiveRecords(Station& st, long records, long words) {
  uint8_t* dst = reinterpret_cast<uint8_t*>(st.data.RawWords.begin());
  const size_t wordBytes = static_cast<size_t>(words) * 2;
  const size_t recordBytes = wordBytes + 1;
  const size_t capacity = std::max<size_t>(1, (4u << 20) / recordBytes) * recordBytes;
  std::vector<uint8_t> block(capacity);
  size_t held = 0;  // bytes in block, less than one record between reads
  int mismatches = 0;
  // With timings on, the time spent waiting for the link (the unit's own pace
  // and the transfer) is told apart from the station's handling of the records.
  const bool timed = st.timings.enabled;
  const auto t0 = PhaseTimes::Clock::now();
  double waitMs = 0;
  struct Report {
    PhaseTimes& t;
    const PhaseTimes::Clock::time_point& t0;
    const double& waitMs;
    ~Report() {
      if (!t.enabled) return;
      t.add("download: waiting for the link", waitMs);
      t.add("download: station's receive/parse", PhaseTimes::msSince(t0) - waitMs);
    }
  } report{st.timings, t0, waitMs};
  for (long r = 0; r < records;) {
    const size_t left = static_cast<size_t>(records - r) * recordBytes - held;
    size_t got = 0;
    const auto w0 = timed ? PhaseTimes::Clock::now() : PhaseTimes::Clock::time_point{};
    const int rc = ReadSome(st, block.data() + held, std::min(capacity - held, left), got);
    if (timed) waitMs += PhaseTimes::msSince(w0);
    if (rc != 0) return rc == -2 ? -2 : -1;
    held += got;
    const uint8_t* rec = block.data();
    for (; held >= recordBytes; held -= recordBytes, rec += recordBytes, ++r) {
      std::memcpy(dst + static_cast<size_t>(r) * wordBytes, rec, wordBytes);
      unsigned sum = 0;
      for (size_t k = 0; k < wordBytes; ++k) sum += rec[k];
      if ((sum & 0xFF) != rec[wordBytes]) ++mismatches;
      st.ui->progressUpdate(static_cast<double>(r * 100 / records));
      if ((r + 1) % 102 == 0) st.ui->processEvents();
    }
    if (held > 0 && rec != block.data()) std::memmove(block.data(), rec, held);
  }
  return mismatches ? 1 : 0;
}

}  // namespace

int Download(Station& st, int mode) {
  if (!windowAccepted(st)) return -1;
  StatusTimerHold hold(st);  // a poll must not land in the reply and record stream
  const int start = st.model.intValue(Ctl::DL_START_TIME);
  const int stop = st.model.intValue(Ctl::DL_STOP_TIME);
  const char* name = mode == DownloadProcessed ? "DUMPBINA" : "RAWDUMP";
  std::string buf =
      CommandFrame(std::string(name) + "#" + std::to_string(start) + "#" + std::to_string(stop) + "#");
  if (sendRcv(st, buf) != 0) return -1;
  std::string f1, f2;
  if (Parser(name, buf, f1, f2) != 0) {
    st.ui->message("COMM ERROR", "in download");
    return -1;
  }
  if (f1.find("BAD") != std::string::npos) {
    st.ui->message("ERROR", "bad start time - download aborted");
    return -1;
  }
  if (f2.find("BAD") != std::string::npos) {
    st.ui->message("ERROR", "bad stop time - download aborted");
    return -1;
  }
  long words = 0, records = 0;
  // A reply the buffers cannot hold is refused before a byte is stored, and
  // so are raw records of another generation's size, which the conversion
  // would read out of step.
  const long rawWords = rawRecordWords(mode == DownloadRawLX2);
  const bool shapeOk = ParseCount(f1, words) && ParseCount(f2, records) && words > 0 &&
                       words <= kMaxRecordWords && records >= 0 && records <= kMaxRecords &&
                       static_cast<size_t>(words) * static_cast<size_t>(records) <= st.data.RawWords.size &&
                       (mode != DownloadProcessed || words + 1 <= kMaxChannels) &&
                       (mode == DownloadProcessed || mode == DownloadRawToFile || words == rawWords);
  if (!shapeOk) {
    st.ui->message("COMM ERROR", "in download");
    ClearLink(st);  // drop what of the refused stream has already come in
    return -1;
  }

  st.model.setText(Ctl::STATUSBOX, "DOWNLOADING DATA FROM LUMVEX");
  st.model.setTextColour(Ctl::STATUSBOX, kDarkRed);
  st.ui->progressOpen("Download Status", "Percent Complete", false);
  // From here RawWords no longer holds the records of an earlier download. A
  // dump to a file replaces the raw words of the data set in memory, which
  // then can no longer make its raw file.
  st.data.RawRecordCount = 0;
  if (mode == DownloadRawToFile) st.data.RawPresent = 0;

  int rc;
  {
    LineModeGuard guard{st};
    rc = SetLineMode(st, false);
    if (rc == 0) {
      guard.active = true;
      rc = receiveRecords(st, records, words);
    } else {
      rc = -1;
    }
  }
  st.ui->progressClose();
  if (rc == -2) {
    // The link went during the stream: close it as any command would and show
    // the disconnected screen (no status poll runs while data are held).
    LinkLost(st);
    if (st.refreshScreens) st.refreshScreens(st);
    return -1;
  }
  st.model.setText(Ctl::STATUSBOX, "Connected - Idle");
  st.model.setTextColour(Ctl::STATUSBOX, kDarkGreen);
  if (rc != 0) {
    if (rc == -1) ClearLink(st);
    st.ui->message("COMM ERROR", "in data download - download aborted");
    return -1;
  }
  st.data.RawRecordCount = static_cast<int>(records);
  // The table's shape changes only with a complete download: after a failed
  // one the data set in memory keeps describing itself, so what the export
  // and plot pages still offer is that data set, not a mix with the new reply.
  if (mode != DownloadRawToFile) {
    st.data.ChannelData.SampleCount = static_cast<int>(records);
    st.data.ChannelData.ChannelCount = mode == DownloadProcessed ? static_cast<int>(words) : 60;
  }
  st.data.RawRecordWords = static_cast<int>(words);
  return 0;
}

bool ParseCount(const std::string& field, long& out) {
  const char* b = field.data();
  const char* e = b + field.size();
  while (b < e && (*b == ' ' || *b == '\t')) ++b;
  auto [p, ec] = std::from_chars(b, e, out);
  return ec == std::errc() && p != b;
}

}  // namespace lumvex
