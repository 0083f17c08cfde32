#include "core/channel_codes.h"

#include <algorithm>
#include <cstring>

namespace lumvex {

std::string_view codeText(const CodeSlot& slot) {
  const char* end = static_cast<const char*>(std::memchr(slot.data(), 0, slot.size()));
  return std::string_view(slot.data(), end ? static_cast<size_t>(end - slot.data()) : slot.size());
}

void setCode(CodeSlot& slot, std::string_view text) {
  size_t n = std::min(text.size(), slot.size() - 1);
  std::memcpy(slot.data(), text.data(), n);
  slot[n] = 0;
}

void InitDummyTypeNames(MeasurementData& d) { d.codes.DummyTypeNames = initialDummyTypeNames(); }

std::string_view currentTypeName(const Station& st) {
  int t = st.session.DummyType;
  if (t < 0 || t > 7) t = 8;
  const auto& n = st.data.codes.DummyTypeNames[t];
  return std::string_view(n.data(), strnlen(n.data(), n.size()));
}

void AppendTypeNameSuffix(Station& st, std::string_view marker, std::string_view suffix) {
  int t = st.session.DummyType;
  if (t < 0 || t > 7) return;
  auto& n = st.data.codes.DummyTypeNames[t];
  size_t len = strnlen(n.data(), n.size() - 1);
  if (std::string_view(n.data(), len).find(marker) != std::string_view::npos) return;
  size_t add = std::min(suffix.size(), n.size() - 1 - len);
  std::memcpy(n.data() + len, suffix.data(), add);
  n[len + add] = 0;
}

void IrTraccCodePair(const CodeSlot& middleY, int p, bool mme, CodeSlot& first, CodeSlot& second) {
  first = middleY;
  if (mme) {
    first[7] = first[6] == 'L' ? 'E' : 'I';
    first[8] = '0';
    first[9] = static_cast<char>('0' + (p <= 3 ? p : p - 3));
    second = first;
    first[14] = '0';
    second[14] = 'Y';
  } else {
    second = first;
    first[14] = 'U';
    second[14] = 'C';
  }
}

void AssignIrTraccCodes(Station& st) {
  auto& c = st.data.codes.ChannelCodes;
  bool mme = st.ini.UseMmeIrtChannelNames != 0;
  for (int p = 0; p < 6; ++p) IrTraccCodePair(c[9 * p + 4], p, mme, c[60 + p], c[66 + p]);
}

void LengthChangeCode(const CodeSlot& ledX, CodeSlot& out) {
  out = ledX;
  out[14] = 'L';
  out[15] = 'B';
}

void AssignLengthChangeCodes(Station& st) {
  auto& c = st.data.codes.ChannelCodes;
  for (int i = 0; i < 18; ++i) LengthChangeCode(c[3 * i], c[72 + i]);
}

}  // namespace lumvex
