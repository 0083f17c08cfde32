// Where the time of one operation goes: named phases and their wall-clock
// durations (ms), kept in order of first appearance and summed when a phase
// recurs. A name "whole: part" is a part of the phase "whole", reported beside
// it but not counted again in a total. Off unless a front end turns it on (lumvex-cli --timings); an off
// record costs one test per phase.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace lumvex {

struct PhaseTimes {
  using Clock = std::chrono::steady_clock;

  bool enabled = false;
  std::vector<std::pair<std::string, double>> phases;  // name, ms

  static double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  }
  static bool isPart(const std::string& name) { return name.find(": ") != std::string::npos; }
  void add(const std::string& name, double ms) {
    if (!enabled) return;
    for (auto& [n, v] : phases)
      if (n == name) {
        v += ms;
        return;
      }
    phases.emplace_back(name, ms);
  }
};

// Adds the time from its making to its end to one phase.
class PhaseTimer {
 public:
  PhaseTimer(PhaseTimes& times, const char* name)
      : times_(times), name_(name), t0_(PhaseTimes::Clock::now()) {}
  ~PhaseTimer() { stop(); }
  PhaseTimer(const PhaseTimer&) = delete;
  PhaseTimer& operator=(const PhaseTimer&) = delete;
  // Ends the phase before the end of the scope.
  void stop() {
    if (name_) times_.add(name_, PhaseTimes::msSince(t0_));
    name_ = nullptr;
  }

 private:
  PhaseTimes& times_;
  const char* name_;
  PhaseTimes::Clock::time_point t0_;
};

}  // namespace lumvex
