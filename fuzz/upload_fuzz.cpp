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
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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
// goes away or falls silent for 2 s (a load that went astray).
struct Step {
  size_t after;  // bytes received in all before this answer goes out
  std::string answer;
};

std::string runUnit(int fd, const std::vector<Step>& steps) {
  std::string got;
  size_t next = 0;
  char buf[4096];
  for (;;) {
    while (next < steps.size() && got.size() >= steps[next].after) {
      if (!writeAll(fd, steps[next].answer)) return got;
      ++next;
    }
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, 2000);  // ms
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return got;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return got;
    got.append(buf, static_cast<size_t>(n));
  }
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

  std::string received;
  std::thread unit([&] { received = runUnit(fds[1], steps); });
  int loaded = -1;
  const int rc = Loader(st, &loaded);
  st.session.linkHandle.reset();  // the unit sees the station go
  unit.join();
  close(fds[1]);

  FUZZ_CHECK(rc == 0);
  FUZZ_CHECK(r.op.openProgressBoxes == 0);
  FUZZ_CHECK(received == expected);
  FUZZ_CHECK(loaded == (success ? 1 : 0));
  return 0;
}
