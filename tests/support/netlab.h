// A private network laboratory for discovery tests: the test's thread moves
// into a network namespace of its own (with a user namespace where the
// caller is not privileged), and each network is a veth pair whose far end
// lives in another namespace served by a thread of its own. Broadcasts stay
// inside; nothing reaches the machine's real networks.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumvex::testing {

class NetLab {
 public:
  NetLab() = default;
  ~NetLab();
  NetLab(const NetLab&) = delete;
  NetLab& operator=(const NetLab&) = delete;

  // Moves the calling thread into a fresh network namespace with loopback up.
  // Must run while the process has one thread. False with the reason.
  bool enter(std::string& why);
  // Adaptor `name` here holding stationAddress/24; its other end in a new
  // namespace holding each of peerAddresses/24. The network's index, or -1.
  int addNetwork(const std::string& name, const std::string& stationAddress,
                 const std::vector<std::string>& peerAddresses, std::string& why);
  // Runs fn inside network i's far namespace and waits for it.
  void inPeer(int i, const std::function<void()>& fn);
  // Lets this namespace's processes (group 0) open ICMP datagram sockets.
  bool allowPing();
  // Runs a program (PATH looked up) and waits up to 10 s; its exit code or -1.
  static int run(const std::vector<std::string>& argv);

 private:
  struct Peer {
    std::thread thread;
    std::mutex mu;
    std::condition_variable cv;
    std::deque<std::function<void()>> tasks;
    bool quit = false;
    bool ready = false;
    int tid = -1;  // -1: its namespace could not be made
  };
  std::vector<std::unique_ptr<Peer>> peers_;
};

}  // namespace lumvex::testing
