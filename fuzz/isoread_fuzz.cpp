// Fuzz target: the ISO MME reader on a test folder cut from the input at
// separator lines "\n--\n": the ".MME" file, the ".CHN" channel list, then
// the channel files ".001", ".002", ... (those the input does not hold are
// missing).
#include "fuzz/reader_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumvex;
  fuzzing::ReaderRig& r = fuzzing::rig();
  r.clear();
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  r.write("T/T.MME", fuzzing::piece(rest));
  if (rest.data() != nullptr) r.write("T/CHANNEL/T.CHN", fuzzing::piece(rest));
  for (int n = 1; rest.data() != nullptr && n <= kMaxChannels; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "T/CHANNEL/T.%03d", n);
    r.write(name, fuzzing::piece(rest));
  }
  fuzzing::checkRead([&](Station& st, FileDataSet& ds) { return ReadISOFile(st, r.path("T/T.MME"), ds); });
  return 0;
}
