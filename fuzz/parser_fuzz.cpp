// Fuzz target: the link layer's reply Parser on arbitrary bytes. The first
// byte picks the two field capacities; the rest is "expected name LF reply"
// (without an LF the reply's own name is expected, to get past the name
// check). A reply framed by CommandFrame from fields without '#' must parse
// back to those fields.
#include "fuzz/fuzz_check.h"
#include "link/link.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace lumvex;

int byteSum(std::string_view s) {
  unsigned sum = 0;
  for (char c : s) sum += static_cast<unsigned char>(c);
  return static_cast<int>(sum % 256);
}

void parseArbitrary(std::string_view input, size_t cap1, size_t cap2) {
  std::string_view expected, reply;
  size_t lf = input.find('\n');
  if (lf != std::string_view::npos) {
    expected = input.substr(0, lf);
    reply = input.substr(lf + 1);
  } else {
    reply = input;
    expected = reply.substr(0, reply.find('#'));
  }
  std::string first = "stale", second = "stale";
  int rc = Parser(expected, reply, first, second, cap1, cap2);
  FUZZ_CHECK(rc == 0 || rc == -1);
  if (rc != 0) return;
  FUZZ_CHECK(reply.size() > expected.size() && reply.substr(0, expected.size()) == expected &&
             reply[expected.size()] == '#');
  FUZZ_CHECK(first.size() <= cap1 && second.size() <= cap2);
  FUZZ_CHECK(first.find('#') == std::string::npos && second.find('#') == std::string::npos);
}

// Fields from the input (separated by LF, '#' dropped) framed as the unit frames them.
void parseFramed(std::string_view input, size_t cap1, size_t cap2) {
  std::string parts[3];
  int k = 0;
  for (char c : input) {
    if (c == '\n') {
      if (++k == 3) break;
    } else if (c != '#') {
      parts[k] += c;
    }
  }
  std::string body = parts[0] + "#" + parts[1] + "#" + parts[2] + "#";
  std::string reply = CommandFrame(body);
  FUZZ_CHECK(reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "\r\n") == 0);
  FUZZ_CHECK(FrameChecksum(body) == byteSum(body));
  std::string first, second;
  int rc = Parser(parts[0], reply, first, second, cap1, cap2);
  if (parts[1].size() > cap1 || parts[2].size() > cap2) {
    FUZZ_CHECK(rc == -1);
    return;
  }
  FUZZ_CHECK(rc == 0);
  FUZZ_CHECK(first == parts[1] && second == parts[2]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!data || size < 1) return 0;
  // Capacities from 0 up to the usual 255, small ones often.
  size_t cap1 = (data[0] & 0x0F) == 0x0F ? kReplyFieldCapacity : (data[0] & 0x0F) * 4u;
  size_t cap2 = (data[0] >> 4) == 0x0F ? kReplyFieldCapacity : (data[0] >> 4) * 4u;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  parseArbitrary(input, cap1, cap2);
  parseFramed(input, cap1, cap2);
  return 0;
}
