#include "maintenance/upload.h"

#include "maintenance/hwtests.h"

#include "link/link.h"
#include "link/query.h"

#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace lumvex {
namespace {

constexpr size_t kUploadReplyBytes = 126;  // bytes read for the answer to an upload
constexpr size_t kTextReplyBytes = 200;    // bytes read for each answer of the text loader
constexpr size_t kTextLineChars = 253;     // the line reader's 254-byte buffer
constexpr int kLoaderDoneReplies = 4;      // further answers read after the text loader's first
constexpr char kUploadTitle[] = "File Upload Status";
constexpr char kUploadLabel[] = "Percent Complete";
constexpr char kLoadErrorTitle[] = "Program File Load ERROR";

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The status timer's poll would take part of an upload's answer for its own:
// it is held off for the upload and runs again afterwards, unless the session
// was closed meanwhile.
struct TimerHold {
  Station& st;
  bool wasRunning;
  explicit TimerHold(Station& s) : st(s), wasRunning(s.model.timerRunning()) {
    st.model.setTimerRunning(false);
  }
  ~TimerHold() {
    if (wasRunning && LinkOpen(st) && st.session.unitStatus >= 0) st.model.setTimerRunning(true);
  }
  TimerHold(const TimerHold&) = delete;
  TimerHold& operator=(const TimerHold&) = delete;
};

// A data stream lost its link: close it as any command would and say so.
void linkLost(Station& st) {
  Disconnect(st);
  st.ui->message(
      "Communication Error",
      "Connection to the Lumvex has been lost.\n Try Reconnnecting\nCheck Lumvex power or reboot the "
      "Lumvex");
}

// Size of a file in bytes, -1 when it cannot be examined.
long long fileSize(const std::string& path) {
  struct stat sb {};
  if (::stat(path.c_str(), &sb) != 0 || !S_ISREG(sb.st_mode)) return -1;
  return static_cast<long long>(sb.st_size);
}

// Refuses a program file the station cannot send; true when it may go.
bool programFileFits(Station& st, const std::string& path, long long size) {
  if (size < 0) {
    st.ui->message(kLoadErrorTitle, "Could not read the program file - code not loaded\r\n" + path);
    return false;
  }
  if (static_cast<unsigned long long>(size) > kFirmwareImageCapacity) {
    st.ui->message(kLoadErrorTitle, "The program file is larger than the " +
                                        std::to_string(kFirmwareImageCapacity) +
                                        " bytes the station can hold - code not loaded\r\n" + path);
    return false;
  }
  return true;
}

// Reads the answer that follows an upload, under the wait notice of the
// Diagnostics screen or the "PLEASE WAIT" panel. 0, -1 or -2 as ReadLine.
int awaitAnswer(Station& st, std::string& line, size_t max) {
  st.model.setPanelVisible(Panel::LoaderWait, true);
  st.ui->processEvents();  // let the panel paint before the long wait
  const int rc = ReadLine(st, line, max);
  st.model.setPanelVisible(Panel::LoaderWait, false);
  return rc;
}

// The binary image of an LX2 unit, through the raw download buffer. True when
// the unit reported the program loaded.
bool loadBinary(Station& st, const std::string& path) {
  const long long size = fileSize(path);
  if (!programFileFits(st, path, size)) return false;
  File f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) return programFileFits(st, path, -1);
  // From here the buffer holds the image, not the records of a download: the
  // next export must not write it out as a raw data file.
  st.data.RawPresent = 0;
  st.data.RawRecordCount = 0;
  auto* image = reinterpret_cast<uint8_t*>(st.data.RawWords.begin());
  const size_t n = static_cast<size_t>(size);
  if (std::fread(image, 1, n, f.get()) != n) return programFileFits(st, path, -1);
  f.reset();

  std::string reply = CommandFrame("LOADER#" + std::to_string(n) + "#");
  if (sendRcv(st, reply) == -2 || !LinkOpen(st)) return false;
  if (!Contains(reply, "Send File")) st.ui->message(kLoadErrorTitle, reply);

  SetLinkTimeout(st, kFirmwareTimeoutMs);
  int rc = BulkTransfer(st, image, n);
  std::string field, second, line;
  if (rc == 0) rc = awaitAnswer(st, line, kUploadReplyBytes);
  SetLinkTimeout(st, kRestingTimeoutMs);
  if (rc == -2) {
    linkLost(st);
    return false;
  }
  if (rc != 0) ClearLink(st);  // the rest of a stopped transfer's answer, if any
  // Only a well-formed answer is taken for the unit's word.
  const bool parsed = rc == 0 && Parser("LOADER", line, field, second) == 0;
  if (!parsed) field.clear();
  if (parsed && Contains(field, "OK")) {
    st.ui->message("Code Load Response", field);
    return true;
  }
  st.ui->message(kLoadErrorTitle, "Program file did not load properly - Lumvex reports:\r\n" + field +
                                      "\r\n Try loading the PROGRAM file again !\r\n");
  return false;
}

// The lines of a text image as a line reader with a 254-byte buffer returns
// them: each up to and including its LF, a longer line in pieces of 253.
std::vector<std::string_view> readerLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    size_t n = end == std::string_view::npos ? text.size() : end + 1;
    if (n > kTextLineChars) n = kTextLineChars;
    lines.push_back(text.substr(0, n));
    text.remove_prefix(n);
  }
  return lines;
}

// The text image of an older unit, line by line. True when the unit reported
// the program loaded.
bool loadText(Station& st, const std::string& path) {
  const long long size = fileSize(path);
  if (!programFileFits(st, path, size)) return false;
  std::string text(static_cast<size_t>(size), '\0');
  {
    File f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f || std::fread(text.data(), 1, text.size(), f.get()) != text.size())
      return programFileFits(st, path, -1);
  }
  const std::vector<std::string_view> lines = readerLines(text);

  std::string reply = "LOADER#218\r\n";
  if (sendRcv(st, reply) == -2 || !LinkOpen(st)) return false;
  if (!Contains(reply, "Start Sending Program File")) {
    st.ui->message("Error", "No resonse to Loader Command - code not loaded");
    return false;
  }

  int rc = 0;
  st.ui->progressOpen(kUploadTitle, kUploadLabel, false);
  for (size_t i = 0; i < lines.size() && rc == 0; ++i) {
    rc = WriteRaw(st, lines[i].data(), lines[i].size());
    if (rc != 0) break;
    st.ui->progressUpdate(static_cast<double>((i + 1) * 100 / lines.size()));
    st.ui->delay(1);  // ms: the unit takes its lines one at a time
  }
  st.ui->progressClose();

  std::string first;
  if (rc == 0) {
    st.model.setVisible(Ctl::LOADERMSG, true);
    st.ui->processEvents();
    SetLinkTimeout(st, kTextFirmwareTimeoutMs);
    rc = ReadLine(st, first, kTextReplyBytes);
    SetLinkTimeout(st, kRestingTimeoutMs);
    st.model.setVisible(Ctl::LOADERMSG, false);
  }
  if (rc == -2) {
    linkLost(st);
    return false;
  }
  // No answer at all is no success either.
  const bool failed = rc != 0 || Contains(first, "failed");
  for (int k = 0; k < kLoaderDoneReplies && rc == 0; ++k) {
    std::string line;
    rc = ReadLine(st, line, kTextReplyBytes);
    if (rc == 0 && Contains(line, "LOADER_DONE")) break;
  }
  if (rc == -2) {
    linkLost(st);
    return false;
  }
  if (failed) {
    st.ui->message("File Loader", first + "  New Program Not Loaded");
    return false;
  }
  st.ui->message("File Loader",
                 "Code Load Ok - Reboot Lumvex to start new program, Close this program and restart");
  return true;
}

}  // namespace

std::array<size_t, 10> BulkBlocks(size_t n) {
  std::array<size_t, 10> b;
  b.fill(n / 10);
  b[9] = n - 9 * (n / 10);
  return b;
}

int BulkTransfer(Station& st, const uint8_t* data, size_t n) {
  const std::array<size_t, 10> blocks = BulkBlocks(n);
  st.ui->progressOpen(kUploadTitle, kUploadLabel, false);
  int rc = 0;
  size_t at = 0;
  for (size_t i = 0; i < 9 && rc == 0; at += blocks[i], ++i) {
    rc = WriteRaw(st, data + at, blocks[i]);
    if (rc == 0) st.ui->progressUpdate(10.0 * static_cast<double>(i + 1));
  }
  if (rc == 0 && blocks[9] > 0) rc = WriteRaw(st, data + at, blocks[9]);
  st.ui->progressClose();
  return rc;
}

int Loader(Station& st, int* loaded) {
  if (loaded) *loaded = 0;
  ManualArmCtrl(st, 0);
  int result = -1;
  {
    TimerHold hold(st);
    FileRequest req;
    req.title = " Select Lumvex Firmware File";
    req.filter = "*.*";
    std::optional<std::string> path = st.ui->chooseFile(req);
    if (path && path->size() >= 5) {
      const bool ok = st.session.IsLX2 ? loadBinary(st, *path) : loadText(st, *path);
      if (loaded) *loaded = ok ? 1 : 0;
      result = 0;
    }
    ManualArmCtrl(st, 1);
  }
  return result;
}

int SendCal(Station& st, int byteCount, int side, int answerTimeoutMs) {
  const uint8_t* data = st.data.CalUploadBuffer.begin();
  const size_t n = byteCount < 0 ? 0 : static_cast<size_t>(byteCount);
  std::string field;
  bool ok = false;
  if (byteCount >= 0 && n <= st.data.CalUploadBuffer.size) {
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) sum += data[i];
    sum %= 256;
    TimerHold hold(st);
    std::string line = CommandFrame(std::string(side == 1 ? "CALLOADRIGHT#" : "CALLOADLEFT#") +
                                    std::to_string(n) + "#" + std::to_string(sum) + "#");
    // The first answer's content is not examined; only a closed link stops here.
    int rc = sendRcv(st, line);
    if (rc != -2 && LinkOpen(st)) {
      SetLinkTimeout(st, answerTimeoutMs);
      rc = BulkTransfer(st, data, n);
      std::string reply, second;
      if (rc == 0) rc = awaitAnswer(st, reply, kUploadReplyBytes);
      SetLinkTimeout(st, kRestingTimeoutMs);
      if (rc == -2) {
        linkLost(st);
      } else {
        if (rc != 0) ClearLink(st);
        if (rc != 0 || Parser("CALLOAD", reply, field, second) != 0) field.clear();
        ok = rc == 0 && Contains(field, "OK");
      }
    }
  }
  if (ok) {
    st.ui->message("Cal Load Response", field);
    return 0;
  }
  st.ui->message("Calibration File Load ERROR",
                 "CAlibration file did not load properly - Lumvex reports:\r\n" + field +
                     "\r\n Try loading the calbration file again !\r\n"
                     "DO NOT USE the Lumvex until a calibration file is sucessfully loaded");
  return -1;
}

}  // namespace lumvex
