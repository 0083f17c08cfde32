// Fuzz target: the CSV reader on any file.
#include "fuzz/reader_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumvex;
  fuzzing::ReaderRig& r = fuzzing::rig();
  r.clear();
  r.write("in.CSV", std::string_view(reinterpret_cast<const char*>(data), size));
  fuzzing::checkRead([&](Station& st, FileDataSet& ds) { return ReadCSVFile(st, r.path("in.CSV"), ds); });
  return 0;
}
