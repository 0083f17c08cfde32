// An ICMP echo ("ping") of one IPv4 address with a time-out, used to see
// whether an address is free before a unit is given it. Tries an
// unprivileged ICMP datagram socket first (allowed where the caller's group
// lies in net.ipv4.ping_group_range), then the system's ping program.
#pragma once

#include <string>

namespace lumvex {

enum class PingResult {
  Answered,  // an echo reply came back within the time-out
  NoAnswer,  // the request went out; nothing came back in time
  Error,     // the address could not be pinged (bad text, no route, no way to ping)
};

PingResult Ping(const std::string& address, int timeoutMs);

// The two ways Ping tries, for tests. PingBySocket sets *unavailable when the
// kernel refuses the ICMP datagram socket (its result is then Error).
PingResult PingBySocket(const std::string& address, int timeoutMs, bool* unavailable);
// Runs `program` (looked up in PATH) as "-n -q -c 1 -W S ADDRESS" with S the
// time-out in seconds: exit 0 answered, 1 no answer, anything else (or no
// such program) an error. A program still running a second past the time-out
// is killed.
PingResult PingByProgram(const std::string& program, const std::string& address, int timeoutMs);

}  // namespace lumvex
