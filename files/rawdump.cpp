#include "files/rawdump.h"

#include "files/output.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace lumvex {
namespace {

// printf("%4.1f") of a float promoted to double, as the C locale writes it
// whatever locale the front end set (a decimal comma would split the field).
char* fixedWidth4(char* out, float v) {
  char digits[64];
  const auto r =
      std::to_chars(digits, digits + sizeof digits, static_cast<double>(v), std::chars_format::fixed, 1);
  const size_t n = static_cast<size_t>(r.ptr - digits);
  for (size_t i = n; i < 4; ++i) *out++ = ' ';
  std::memcpy(out, digits, n);
  return out + n;
}

}  // namespace

int DumpFileSave(Station& st, int records, int words) {
  FileRequest req;
  req.title = "Save Data File";
  req.folder = st.ini.DefaultStorageLocation.data();
  req.filter = "*.CSV";
  req.defaultName = "*.CSV";
  req.save = true;
  std::optional<std::string> path = st.ui->chooseFile(req);
  if (!path || path->empty()) return -1;
  st.session.CurrentDataPath = *path;
  OutFile out;
  if (!out.open(*path)) {
    st.ui->message("ERROR", "Could not create the raw dump file\n" + *path);
    return -1;
  }
  out.put("Lumvex Type:" + st.model.text(Ctl::LXtype) + "\r");
  float time = static_cast<float>(st.model.intValue(Ctl::DL_START_TIME));
  const auto* raw = reinterpret_cast<const int16_t*>(st.data.RawWords.begin());
  const size_t lineMax = 64 + static_cast<size_t>(words) * 8;  // bytes: the time, every word and its comma
  for (int r = 0; r < records && !out.failed(); ++r) {
    char* p = out.reserve(lineMax);
    p = fixedWidth4(p, time);
    *p++ = ',';
    const int16_t* w = raw + static_cast<size_t>(r) * words;
    for (int k = 0; k < words; ++k) {
      p = std::to_chars(p, p + 8, 2 * static_cast<int>(w[k])).ptr;
      *p++ = ',';
    }
    *p++ = '\r';
    out.commit(p);
    time += 0.1f;
  }
  if (!out.close()) {
    // A dump cut short must not pass for a complete one.
    st.ui->message("ERROR", "Could not write the raw dump file completely\n" + *path);
    return -1;
  }
  return 0;
}

}  // namespace lumvex
