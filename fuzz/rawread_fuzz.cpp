// Fuzz target: the raw file reader (the file part of a reprocessing). The
// first byte chooses the record width (odd: 232 words as ".RD2", even: 120 as
// ".RDF"); the rest is the file. RawWords may be overwritten; the count of
// records read must fit the buffers.
#include "fuzz/reader_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumvex;
  if (size < 1) return 0;
  fuzzing::ReaderRig& r = fuzzing::rig();
  r.clear();
  const int lx2 = data[0] & 1;
  const std::string name = lx2 ? "in.RD2" : "in.RDF";
  r.write(name, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  fuzzing::checkRead([&](Station& st, FileDataSet& ds) {
    const int rc = ReadRawWords(st, r.path(name), ds, lx2);
    FUZZ_CHECK(rc == 0 || rc == -1 || rc == -2);
    if (rc == 0) FUZZ_CHECK(st.data.RawRecordCount == ds.SampleCount);
    return rc == 0 ? 0 : -1;
  });
  return 0;
}
