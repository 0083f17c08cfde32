// What the reader fuzz targets share: one station for the whole run (its
// buffers are sized for the largest download), the files an input is cut
// into (held in memory: the readers open them from there, no disk touched),
// and the checks every read must pass — a refused file says why in a box (or
// could not be opened), a read file has counts within the buffers, and the
// data set in memory is never touched.
#pragma once

#include "core/station.h"
#include "files/readers.h"
#include "files/textin.h"
#include "fuzz/fuzz_check.h"
#include "support/scripted_operator.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace lumvex::fuzzing {

struct ReaderRig {
  ScriptedOperator op;
  Station st{op};
  const std::string dir = "/lumvex-fuzz";  // the folder the memory files are in
  MemoryFiles files;
  ReaderRig() {
    st.workDir = dir;
    UseMemoryFiles(&files);
  }
  std::string path(std::string_view name) const { return dir + "/" + std::string(name); }
  // The bytes stay the caller's and must outlive the read.
  void write(std::string_view name, std::string_view bytes) { files[path(name)] = bytes; }
  // No files for the next input.
  void clear() { files.clear(); }
};

inline ReaderRig& rig() {
  static ReaderRig* r = new ReaderRig;  // never destroyed: the fuzzer exits from anywhere
  return *r;
}

// Runs one read of the files in the rig's folder and checks its outcome.
template <typename Read>
void checkRead(Read read) {
  ReaderRig& r = rig();
  Station& st = r.st;
  r.op.clear();
  const int samples = st.data.ChannelData.SampleCount, channels = st.data.ChannelData.ChannelCount;
  FileDataSet ds = CurrentDataSet(st);
  const int rc = read(st, ds);
  // The data set in memory is never the reader's to change.
  FUZZ_CHECK(st.data.ChannelData.SampleCount == samples && st.data.ChannelData.ChannelCount == channels);
  FUZZ_CHECK(r.op.messages().size() <= 1);
  if (rc != 0) return;
  FUZZ_CHECK(r.op.messages().empty());
  FUZZ_CHECK(ds.SampleCount >= 0 && ds.SampleCount <= kMaxRecords);
  FUZZ_CHECK(ds.ChannelCount >= 2 && ds.ChannelCount <= kMaxChannels);
  FUZZ_CHECK(ds.layout.LedCount * ds.layout.AxesPerLed + ds.layout.SensorChannelCount < ds.ChannelCount);
  for (const CodeSlot& c : ds.ChannelCodes) FUZZ_CHECK(std::memchr(c.data(), 0, c.size()) != nullptr);
  for (const auto& n : ds.DummyTypeNames) FUZZ_CHECK(std::memchr(n.data(), 0, n.size()) != nullptr);
}

// Cuts an input into the pieces between separator lines "\n--\n".
inline std::string_view piece(std::string_view& rest) {
  constexpr std::string_view kSeparator = "\n--\n";
  const size_t at = rest.find(kSeparator);
  std::string_view p = rest.substr(0, at);
  rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + kSeparator.size());
  return p;
}

}  // namespace lumvex::fuzzing
