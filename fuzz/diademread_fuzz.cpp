// Fuzz target: the DIAdem reader. The input is the header file, a separator
// line "\n--\n", then the ".R32" data file (no separator: no data file).
#include "fuzz/reader_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumvex;
  fuzzing::ReaderRig& r = fuzzing::rig();
  r.clear();
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  r.write("in.DAT", fuzzing::piece(rest));
  if (rest.data() != nullptr) r.write("in.R32", rest);
  fuzzing::checkRead([&](Station& st, FileDataSet& ds) { return ReadDiademFile(st, r.path("in.DAT"), ds); });
  return 0;
}
