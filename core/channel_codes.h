// The channel-code tables' own operations: a code slot as text, the type
// names with the suffixes the derived channels add, and the codes of the
// WorldSID derived channels, which are made from the LED codes. Building the
// LED codes from the LED table, the filter character and the plot names are
// the files layer's naming (files/naming.h).
#pragma once

#include "core/station.h"

#include <string_view>

namespace lumvex {

// The code in a slot as text (up to its terminating zero).
std::string_view codeText(const CodeSlot& slot);
// Stores text (cut to 24 characters) in a slot, terminated.
void setCode(CodeSlot& slot, std::string_view text);

// Restores the type names a fresh station starts with (drops derived suffixes).
void InitDummyTypeNames(MeasurementData& d);
// The current type's name, "undefined" for a type outside 0 to 7.
std::string_view currentTypeName(const Station& st);
// Appends suffix to the current type's name unless the name already holds marker
// (" w/IRT" under "IRT", " w/Length Change" under "Length Change"); the name is
// kept within its 49 characters.
void AppendTypeNameSuffix(Station& st, std::string_view marker, std::string_view suffix);

// Derived codes of the WorldSID layout.
// IR-TRACC-equivalent pair of rib p (0 to 5) from its middle LED's Y code
// (slot 9p + 4); mme selects the MME-style names of UseMmeIrtChannelNames.
void IrTraccCodePair(const CodeSlot& middleY, int p, bool mme, CodeSlot& first, CodeSlot& second);
// Slots 60 to 71: the IR-TRACC-equivalent pairs of the six ribs.
void AssignIrTraccCodes(Station& st);
// Length-change code of an LED from its X code: direction "L", filter "B".
void LengthChangeCode(const CodeSlot& ledX, CodeSlot& out);
// Slots 72 to 89: the length-change codes of the 18 LEDs (from slots 0, 3, ... 51).
void AssignLengthChangeCodes(Station& st);

}  // namespace lumvex
