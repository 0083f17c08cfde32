#include "core/nicfile.h"

#include "core/config.h"
#include "core/ini.h"
#include "platform/paths.h"

#include <algorithm>
#include <cstring>

namespace lumvex {

int WriteNicFile(Station& st, std::string_view adaptor) {
  TextSlot<15>& nic = st.ini.NicToUse;
  nic.fill('\0');
  const size_t n = std::min(adaptor.size(), nic.size() - 1);
  std::memcpy(nic.data(), adaptor.data(), n);
  IniHandle ini = Ini_New(1);
  if (!ini) return kIniOutOfMemory;
  int r = Ini_PutString(*ini, "MultipleNICs", "NIC To Use", std::string_view(nic.data(), n));
  if (r == 0) r = Ini_WriteToFile(*ini, pathJoin(st.workDir, kNicFileName));
  Ini_Dispose(ini);
  return r;
}

}  // namespace lumvex
