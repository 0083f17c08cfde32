// A station laid out as the main window starts, before a unit is identified:
// the layout, three test objects, ISO fragments for every WorldSID and
// Hybrid III LED, and the scripted operator.
#pragma once

#include "core/station.h"
#include "support/scripted_operator.h"
#include "ui/layout.h"

#include <cstdio>
#include <string>

namespace lumvex::testing {

template <size_t N>
inline void putSlot(std::array<char, N>& slot, const std::string& text) {
  slot.fill('\0');
  for (size_t i = 0; i < text.size() && i + 1 < N; ++i) slot[i] = text[i];
}

// Ten-character fragments "MAIN F1 F2": WorldSID left "WLxx 0r RE",
// right "WRxx 0r RE", Hybrid III "H3xx 0r LE"; xx the LED number.
inline std::string fragment(char a, char b, int led, int rib, const char* f2) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%c%c%02d 0%d %s", a, b, led, rib, f2);
  return buf;
}

inline void LayOutStation(Station& st) {
  Model& m = st.model;
  LoadMainLayout(m);
  m.setItems(Ctl::TESTOBJECT, {{"1 - Vehicle 1", "1"}, {"2 - Vehicle 2", "2"}, {"D - Dummy", "D"}}, 0);
  static const char* kWs[] = {"RE", "MI", "FR"};
  for (int i = 0; i < 18; ++i) {
    putSlot(st.ini.WorldSidLeftIsoNames[i], fragment('W', 'L', i + 1, i / 3 + 1, kWs[i % 3]));
    putSlot(st.ini.WorldSidRightIsoNames[i], fragment('W', 'R', i + 1, i / 3 + 1, kWs[i % 3]));
  }
  for (int i = 0; i < 12; ++i)
    putSlot(st.ini.HybridIIIIsoNames[i], fragment('H', '3', i + 1, i % 6 + 1, i < 6 ? "LE" : "RI"));
  m.setNumber(Ctl::TPOST, 1000);
}

struct TestStation {
  ScriptedOperator op;
  Station st{op};
  TestStation() { LayOutStation(st); }
};

}  // namespace lumvex::testing
