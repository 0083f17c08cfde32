// Fuzz target: the firmware load (Loader) reading any program file and
// sending it to a unit over one end of a socket pair, whose other end holds
// the unit's answers. The first byte picks the load:
//   bit 0  an LX2 unit (binary image in one block; else a text image line by line)
//   bit 1  the unit reports the load a success (else it reports a failure)
// The rest is the program file, read from memory through /proc/self/fd.
// The unit must receive exactly MANARMENABLE 0, the load command, the file's
// bytes and MANARMENABLE 1, and it answers each step only once that step's
// bytes are all in; the load counts as done only when the unit said so; no
// progress box is left open.
#include "fuzz/fuzz_check.h"
#include "link/link.h"
#include "maintenance/upload.h"
#include "platform/transport.h"
#include "sim/unit.h"
#include "support/scripted_operator.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace lumvex;

constexpr size_t kMaxInput = 64 * 1024;  // bytes

struct Rig {
  ScriptedOperator op;
  Station st{op};
  int file = -1;  // the program file, in memory
  Rig() {
    file = memfd_create("lumvex-fuzz-upload", MFD_CLOEXEC);
    FUZZ_CHECK(file >= 0);
  }
};

Rig& rig() {
  static Rig* r = new Rig;  // never destroyed: the fuzzer exits from anywhere
  return *r;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t w = ::write(fd, bytes.data(), bytes.size());
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(w));
  }
  return true;
}

// The unit: it answers each step once the station has sent all of that
// step's bytes, and keeps everything it received. It stops when the station
// goes away or falls silent for 2 s (a load that went astray). Until an
// answer is due it waits for exactly the bytes that answer waits for, in one
// receive, rather than waking for every line the station sends.
struct Step {
  size_t after;  // bytes received in all before this answer goes out
  std::string answer;
};

std::string runUnit(int fd, const std::vector<Step>& steps) {
  const timeval patience{2, 0};
  FUZZ_CHECK(setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience) == 0);
  std::string got;
  size_t next = 0;
  for (;;) {
    while (next < steps.size() && got.size() >= steps[next].after) {
      if (!writeAll(fd, steps[next].answer)) return got;
      ++next;
    }
    const bool due = next < steps.size();
    const size_t want = due ? steps[next].after - got.size() : 4096;
    const size_t at = got.size();
    got.resize(at + want);
    const ssize_t n = ::recv(fd, got.data() + at, want, due ? MSG_WAITALL : 0);
    got.resize(at + static_cast<size_t>(n > 0 ? n : 0));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return got;
  }
}

// The unit runs on one thread for the whole run, one load at a time: a
// thread started for every input costs more than the load itself.
class UnitThread {
 public:
  UnitThread() : thread_([this] { serve(); }) {}
  // Starts the unit on fd; finish() hands back what it received.
  void start(int fd, const std::vector<Step>* steps) {
    std::lock_guard lock(m_);
    fd_ = fd;
    steps_ = steps;
    done_ = false;
    cv_.notify_all();
  }
  std::string finish() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [this] { return done_; });
    return std::move(received_);
  }

 private:
  void serve() {
    for (;;) {
      std::unique_lock lock(m_);
      cv_.wait(lock, [this] { return steps_ != nullptr; });
      const int fd = fd_;
      const std::vector<Step>* steps = steps_;
      lock.unlock();
      std::string got = runUnit(fd, *steps);
      lock.lock();
      received_ = std::move(got);
      steps_ = nullptr;
      done_ = true;
      cv_.notify_all();
    }
  }
  std::mutex m_;
  std::condition_variable cv_;
  int fd_ = -1;
  const std::vector<Step>* steps_ = nullptr;
  bool done_ = true;
  std::string received_;
  std::thread thread_;  // last: started once the members above are made
};

UnitThread& unitThread() {
  static UnitThread* u = new UnitThread;  // never destroyed, like the rig
  return *u;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!data || size < 1 || size > kMaxInput) return 0;
  const bool lx2 = (data[0] & 1) != 0;
  const bool success = (data[0] & 2) != 0;
  const std::string_view image(reinterpret_cast<const char*>(data) + 1, size - 1);

  Rig& r = rig();
  Station& st = r.st;
  FUZZ_CHECK(ftruncate(r.file, 0) == 0 && lseek(r.file, 0, SEEK_SET) == 0);
  FUZZ_CHECK(writeAll(r.file, image));

  const std::string armOff = CommandFrame("MANARMENABLE#0#"), armOn = CommandFrame("MANARMENABLE#1#");
  const std::string command =
      lx2 ? CommandFrame("LOADER#" + std::to_string(image.size()) + "#") : std::string("LOADER#218\r\n");
  const std::string expected = armOff + command + std::string(image) + armOn;
  std::string verdict;
  if (lx2) {
    verdict = sim::FrameReply("LOADER", {success ? "OK" : "FLASH WRITE ERROR"});
  } else {
    verdict = success ? "Program file received OK\r\n" : "Program load failed at line 1\r\n";
    verdict += "Programming flash, step 1\r\nLOADER_DONE\r\n";
  }
  const std::vector<Step> steps = {
      {armOff.size(), sim::FrameReply("MANARMENABLE", {"OK"})},
      {armOff.size() + command.size(),
       sim::FrameReply("LOADER", {lx2 ? "Send File" : "Start Sending Program File"})},
      {armOff.size() + command.size() + image.size(), verdict},
      {expected.size(), sim::FrameReply("MANARMENABLE", {"OK"})},
  };

  int fds[2];
  FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
  r.op.clear();
  r.op.openProgressBoxes = 0;
  r.op.fileAnswers.clear();
  r.op.fileAnswers.push_back("/proc/self/fd/" + std::to_string(r.file));
  st.session.linkHandle = Transport::adoptSocket(fds[0], "socketpair");
  FUZZ_CHECK(st.session.linkHandle != nullptr);
  st.session.linkHandle->setTimeout(2000);  // ms
  st.session.linkHandle->setLineMode(true);
  st.session.linkKind = LinkEthernet;
  st.session.unitStatus = 0;
  st.session.IsLX2 = lx2 ? 1 : 0;

  UnitThread& unit = unitThread();
  unit.start(fds[1], &steps);
  int loaded = -1;
  const int rc = Loader(st, &loaded);
  st.session.linkHandle.reset();  // the unit sees the station go
  const std::string received = unit.finish();
  close(fds[1]);

  FUZZ_CHECK(rc == 0);
  FUZZ_CHECK(r.op.openProgressBoxes == 0);
  FUZZ_CHECK(received == expected);
  FUZZ_CHECK(loaded == (success ? 1 : 0));
  return 0;
}
