#include "netlab.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

extern char** environ;

namespace lumvex::testing {
namespace {

bool writeProc(const std::string& path, const std::string& text) {
  std::ofstream f(path);
  f << text;
  f.flush();
  return static_cast<bool>(f);
}

}  // namespace

NetLab::~NetLab() {
  for (auto& p : peers_) {
    {
      std::lock_guard<std::mutex> lock(p->mu);
      p->quit = true;
    }
    p->cv.notify_all();
    if (p->thread.joinable()) p->thread.join();
  }
}

int NetLab::run(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  std::vector<char*> a;
  for (auto& s : args) a.push_back(s.data());
  a.push_back(nullptr);
  posix_spawn_file_actions_t io;
  posix_spawn_file_actions_init(&io);
  posix_spawn_file_actions_addopen(&io, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int r = posix_spawnp(&pid, a[0], &io, nullptr, a.data(), environ);
  posix_spawn_file_actions_destroy(&io);
  if (r != 0) return -1;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool NetLab::enter(std::string& why) {
  const uid_t uid = getuid();
  const gid_t gid = getgid();
  if (unshare(CLONE_NEWNET) != 0) {
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
      why = std::string("unshare: ") + std::strerror(errno);
      return false;
    }
    writeProc("/proc/self/setgroups", "deny");
    if (!writeProc("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !writeProc("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
      why = "cannot map the user into the new user namespace";
      return false;
    }
  }
  if (run({"ip", "link", "set", "lo", "up"}) != 0) {
    why = "the ip program (iproute2) is missing or failed";
    return false;
  }
  return true;
}

int NetLab::addNetwork(const std::string& name, const std::string& stationAddress,
                       const std::vector<std::string>& peerAddresses, std::string& why) {
  auto peer = std::make_unique<Peer>();
  Peer* p = peer.get();
  p->thread = std::thread([p] {
    // Only this thread moves: the far end of the network is its namespace.
    const int tid = unshare(CLONE_NEWNET) == 0 ? static_cast<int>(syscall(SYS_gettid)) : -1;
    std::unique_lock<std::mutex> lock(p->mu);
    p->tid = tid;
    p->ready = true;
    p->cv.notify_all();
    for (;;) {
      p->cv.wait(lock, [p] { return p->quit || !p->tasks.empty(); });
      if (p->tasks.empty()) return;
      auto task = std::move(p->tasks.front());
      p->tasks.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
  });
  {
    std::unique_lock<std::mutex> lock(p->mu);
    p->cv.wait(lock, [p] { return p->ready; });
  }
  peers_.push_back(std::move(peer));
  const int index = static_cast<int>(peers_.size()) - 1;
  const std::string far = "far" + std::to_string(index);
  if (p->tid < 0 ||
      run({"ip", "link", "add", name, "type", "veth", "peer", "name", far, "netns",
           std::to_string(p->tid)}) != 0 ||
      run({"ip", "addr", "add", stationAddress + "/24", "dev", name}) != 0 ||
      run({"ip", "link", "set", name, "up"}) != 0) {
    why = "cannot make the veth pair " + name;
    return -1;
  }
  bool ok = true;
  inPeer(index, [&] {
    ok = run({"ip", "link", "set", "lo", "up"}) == 0;
    for (const auto& a : peerAddresses) ok = ok && run({"ip", "addr", "add", a + "/24", "dev", far}) == 0;
    ok = ok && run({"ip", "link", "set", far, "up"}) == 0;
  });
  if (!ok) {
    why = "cannot set up the far end of " + name;
    return -1;
  }
  return index;
}

void NetLab::inPeer(int i, const std::function<void()>& fn) {
  Peer& p = *peers_.at(static_cast<size_t>(i));
  std::mutex doneMu;
  std::condition_variable doneCv;
  bool done = false;
  {
    std::lock_guard<std::mutex> lock(p.mu);
    p.tasks.push_back([&] {
      fn();
      std::lock_guard<std::mutex> l(doneMu);
      done = true;
      doneCv.notify_all();
    });
  }
  p.cv.notify_all();
  std::unique_lock<std::mutex> lock(doneMu);
  doneCv.wait(lock, [&] { return done; });
}

bool NetLab::allowPing() { return writeProc("/proc/sys/net/ipv4/ping_group_range", "0 0"); }

}  // namespace lumvex::testing
