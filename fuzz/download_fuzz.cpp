// Fuzz target: the download (Download) reading a unit's reply line and its
// binary records from arbitrary bytes, over one end of a socket pair whose
// other end holds the input. The first byte picks the download mode and how
// the input is sent:
//   bits 0-1  DownloadMode (raw to file, processed, raw, raw LX2)
//   bit 2     the reply body (input up to the first LF) is framed with its
//             checksum and CR LF, so that the fuzzer gets past the checksum
//   bit 3     every record of the stream gets its correct one-byte sum
//   bits 4, 6, 7  the stream ends with the other side going away, unless all
//             three are clear: then it stalls and the read times out (a stall
//             costs the 1 ms time-out, so only one input in eight stalls)
//   bit 5     the unit is a WorldSID LX2 (a 20,000 ms window, inside its limit)
// A download that reports success must have stored exactly the streamed words
// of every record, whose sums all matched; a failed one must have told the
// operator; either way the link is back in line mode and no progress box is
// left open.
#include "core/session.h"
#include "support/scripted_operator.h"
#include "fuzz/fuzz_check.h"
#include "files/rawdump.h"
#include "link/download.h"
#include "link/link.h"
#include "platform/transport.h"
#include "ui/layout.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

using namespace lumvex;

constexpr size_t kMaxInput = 64 * 1024;       // bytes; the socket pair holds them without a reader
constexpr size_t kLongestCheckedLine = 2000;  // the station reads reply lines of up to 2047 bytes

// The station is a process-wide record (its buffers hold the largest
// download): one for the whole run, its session reset for every input.
struct Rig {
  ScriptedOperator op;
  Station st{op};
  Rig() {
    LoadMainLayout(st.model);
    st.model.setRange(Ctl::DL_START_TIME, -1e6, 1e6);
    st.model.setRange(Ctl::DL_STOP_TIME, -1e6, 1e6);
  }
};

Rig& rig() {
  static Rig* r = new Rig;  // never destroyed: the fuzzer exits from anywhere
  return *r;
}

bool writeAll(int fd, const std::string& bytes) {
  size_t off = 0;
  while (off < bytes.size()) {
    ssize_t w = ::send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    off += static_cast<size_t>(w);
  }
  return true;
}

// The shape (words, records) the reply line announces, as the station reads it.
bool announced(std::string_view name, const std::string& line, long& words, long& records) {
  std::string f1, f2;
  return Parser(name, line, f1, f2) == 0 && ParseCount(f1, words) && ParseCount(f2, records);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!data || size < 1 || size > kMaxInput) return 0;
  const int mode = data[0] & 3;
  const bool frame = (data[0] & 4) != 0;
  const bool fixSums = (data[0] & 8) != 0;
  const bool hangUp = (data[0] & (16 | 64 | 128)) != 0;
  const bool lx2 = (data[0] & 32) != 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const char* name = mode == DownloadProcessed ? "DUMPBINA" : "RAWDUMP";

  // The reply line and the stream that follows it.
  std::string line, stream;
  const size_t lf = input.find('\n');
  if (frame) {
    line = CommandFrame(input.substr(0, lf));
    if (lf != std::string_view::npos) stream.assign(input.substr(lf + 1));
  } else {
    line.assign(input.substr(0, lf == std::string_view::npos ? lf : lf + 1));
    if (lf != std::string_view::npos) stream.assign(input.substr(lf + 1));
  }
  long words = 0, records = 0;
  const bool shapeKnown = line.size() <= kLongestCheckedLine && announced(name, line, words, records);
  const size_t recordBytes = shapeKnown && words > 0 && words <= kMaxRecordWords ? 2 * words + 1 : 0;
  if (fixSums && recordBytes > 0) {
    for (size_t at = 0; at + recordBytes <= stream.size(); at += recordBytes) {
      unsigned sum = 0;
      for (size_t k = 0; k + 1 < recordBytes; ++k) sum += static_cast<uint8_t>(stream[at + k]);
      stream[at + recordBytes - 1] = static_cast<char>(sum & 0xFF);
    }
  }

  int fds[2];
  FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
  Rig& r = rig();
  Station& st = r.st;
  r.op.clear();
  r.op.openProgressBoxes = 0;
  r.op.fileAnswers.clear();
  r.op.fileAnswers.push_back(std::string("/dev/null"));
  st.session.linkHandle = Transport::adoptSocket(fds[0], "socketpair");
  FUZZ_CHECK(st.session.linkHandle != nullptr);
  st.session.linkHandle->setTimeout(hangUp ? 2000 : 1);  // ms
  st.session.linkHandle->setLineMode(true);
  st.session.linkKind = LinkEthernet;
  st.session.unitStatus = 0;
  st.session.DummyType = lx2 ? 5 : 2;
  st.session.IsLX2 = lx2 ? 1 : 0;
  st.model.setNumber(Ctl::DL_START_TIME, -10);
  st.model.setNumber(Ctl::DL_STOP_TIME, lx2 ? 20000 : 100);
  st.model.setText(Ctl::DATA_STRT, "-100");
  st.model.setText(Ctl::DATA_STOP, "40000");
  st.model.setTimerRunning(true);
  st.data.RawRecordCount = -7;  // what a download that stored nothing leaves alone

  FUZZ_CHECK(writeAll(fds[1], line + stream));
  if (hangUp) shutdown(fds[1], SHUT_WR);

  const int rc = Download(st, mode);
  FUZZ_CHECK(rc == 0 || rc == -1);
  FUZZ_CHECK(r.op.openProgressBoxes == 0);
  if (st.session.linkHandle) FUZZ_CHECK(st.session.linkHandle->lineMode());
  // The status timer runs again after the exchange unless the session closed.
  FUZZ_CHECK(st.model.timerRunning() == (st.session.linkHandle != nullptr && st.session.unitStatus >= 0));

  if (rc != 0) {
    bool told = false;
    for (const Shown& s : r.op.transcript)
      told = told || s.kind == Shown::Message || s.kind == Shown::TwoButton;
    FUZZ_CHECK(told);
    FUZZ_CHECK(st.data.RawRecordCount == -7 || st.data.RawRecordCount == 0);
  } else if (shapeKnown) {
    FUZZ_CHECK(st.data.RawRecordCount == records);
    FUZZ_CHECK(words > 0 && words <= kMaxRecordWords && records >= 0);
    if (mode == DownloadRaw) FUZZ_CHECK(words == 120);
    if (mode == DownloadRawLX2) FUZZ_CHECK(words == 232);
    FUZZ_CHECK(stream.size() >= static_cast<size_t>(records) * recordBytes);
    for (long k = 0; k < records; ++k) {
      const char* rec = stream.data() + static_cast<size_t>(k) * recordBytes;
      unsigned sum = 0;
      for (size_t b = 0; b + 1 < recordBytes; ++b) sum += static_cast<uint8_t>(rec[b]);
      FUZZ_CHECK((sum & 0xFF) == static_cast<uint8_t>(rec[recordBytes - 1]));
      FUZZ_CHECK(
          std::memcmp(st.data.RawWords.begin() + static_cast<size_t>(k) * words, rec, recordBytes - 1) == 0);
    }
    if (mode == DownloadProcessed) {
      FUZZ_CHECK(st.data.ChannelData.SampleCount == records && st.data.ChannelData.ChannelCount == words);
    } else if (mode != DownloadRawToFile) {
      FUZZ_CHECK(st.data.ChannelData.SampleCount == records && st.data.ChannelData.ChannelCount == 60);
    } else {
      FUZZ_CHECK(st.data.RawRecordWords == words);
      FUZZ_CHECK(DumpFileSave(st, st.data.RawRecordCount, st.data.RawRecordWords) == 0);  // to /dev/null
    }
  }

  st.session.linkHandle.reset();
  close(fds[1]);
  return 0;
}
