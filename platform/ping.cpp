#include "platform/ping.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

extern char** environ;

namespace lumvex {
namespace {

long long nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Only a dotted IPv4 address is pinged: no name look-up, and nothing that a
// program could take for an option.
bool dottedAddress(const std::string& text, in_addr& out) {
  return inet_pton(AF_INET, text.c_str(), &out) == 1;
}

constexpr char kSystemPing[] = "ping";
constexpr int kProgramGraceMs = 1000;  // ms the program may run past the time-out

}  // namespace

PingResult PingBySocket(const std::string& address, int timeoutMs, bool* unavailable) {
  if (unavailable) *unavailable = false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  if (!dottedAddress(address, to.sin_addr)) return PingResult::Error;
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) {
    if (unavailable) *unavailable = true;
    return PingResult::Error;
  }
  // The kernel fills in the identifier and the checksum of a datagram echo.
  unsigned char request[16] = {};
  request[0] = ICMP_ECHO;
  const unsigned short sequence = static_cast<unsigned short>(nowMs() & 0x7fff) | 1;
  request[6] = static_cast<unsigned char>(sequence >> 8);
  request[7] = static_cast<unsigned char>(sequence & 0xff);
  std::memcpy(request + 8, "Lumvex..", 8);
  PingResult result = PingResult::NoAnswer;
  if (sendto(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) !=
      static_cast<ssize_t>(sizeof request)) {
    result = PingResult::Error;
  } else {
    const long long deadline = nowMs() + (timeoutMs < 0 ? 0 : timeoutMs);
    for (long long left = timeoutMs; left > 0; left = deadline - nowMs()) {
      pollfd p{fd, POLLIN, 0};
      int r = poll(&p, 1, static_cast<int>(left));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      unsigned char reply[128];
      sockaddr_in from{};
      socklen_t len = sizeof from;
      ssize_t n = recvfrom(fd, reply, sizeof reply, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
      if (n < 0 && errno == EAGAIN) continue;
      if (n < 0) {
        // An ICMP error for our request (host or network unreachable).
        result = PingResult::Error;
        break;
      }
      const bool echo =
          n >= 8 && reply[0] == ICMP_ECHOREPLY && reply[6] == request[6] && reply[7] == request[7];
      if (echo && from.sin_addr.s_addr == to.sin_addr.s_addr) {
        result = PingResult::Answered;
        break;
      }
    }
  }
  close(fd);
  return result;
}

PingResult PingByProgram(const std::string& program, const std::string& address, int timeoutMs) {
  in_addr a{};
  if (!dottedAddress(address, a)) return PingResult::Error;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", (timeoutMs < 1 ? 1 : timeoutMs) / 1000.0);
  std::string prog = program;
  std::string args[] = {"-n", "-q", "-c", "1", "-W", seconds, address};
  char* argv[] = {prog.data(),    args[0].data(), args[1].data(), args[2].data(), args[3].data(),
                  args[4].data(), args[5].data(), args[6].data(), nullptr};
  posix_spawn_file_actions_t io;
  posix_spawn_file_actions_init(&io);
  posix_spawn_file_actions_addopen(&io, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&io, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&io, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int spawned = posix_spawnp(&pid, prog.c_str(), &io, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&io);
  if (spawned != 0) return PingResult::Error;
  const long long deadline = nowMs() + timeoutMs + kProgramGraceMs;
  int status = 0;
  for (;;) {
    pid_t w = waitpid(pid, &status, WNOHANG);
    if (w == pid) break;
    if (w < 0 && errno != EINTR) return PingResult::Error;
    if (nowMs() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return PingResult::Error;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // A missing program is an error either way: posix_spawnp's result, or exit 127.
  if (!WIFEXITED(status)) return PingResult::Error;
  if (WEXITSTATUS(status) == 0) return PingResult::Answered;
  if (WEXITSTATUS(status) == 1) return PingResult::NoAnswer;
  return PingResult::Error;
}

PingResult Ping(const std::string& address, int timeoutMs) {
  bool unavailable = false;
  PingResult r = PingBySocket(address, timeoutMs, &unavailable);
  if (!unavailable) return r;
  return PingByProgram(kSystemPing, address, timeoutMs);
}

}  // namespace lumvex
