// The Diagnostics page (page 3, revealed by the copyright button): the I/O
// check's button, the RAM, flash and SD card tests, the raw memory dump, the
// NOR flash switch, the fuel-gauge reset and the firmware load.
#pragma once

#include "core/station.h"

namespace lumvex {

// "Check I/O" / "Stop": ends a running check; else captions "Stop", runs the
// check until its flag is cleared, then captions "Check I/O" again. 0, or -2
// when the check ended because the link closed (the screens then show it).
int CHECKIOBUT(Station& st);
// The one-shot tests: a running I/O check is ended first (it stops after the
// pass under way, once the test has returned), then the test runs and shows
// its box. 0 when the part is good, -1 otherwise.
int RAMTEST(Station& st);
int FLASHTEST(Station& st);
int SDCARDTEST(Station& st);

// Downloads the recording window chosen on page 0 as raw words (the I/O
// check stops first) and writes them to a raw dump file the operator
// chooses. 0 when the whole file was written, -1 otherwise.
int RAWDOWNLOAD(Station& st);
// Makes the unit read from its NOR flash until it is rebooted.
void DISABLE_SD(Station& st);
// "Set Battery Fuel Gage to Full".
void BAT_RESET(Station& st);
// "Load Firmware": ends a running I/O check, then asks for the program file
// and sends it (Loader). 1 when the unit reported the new program loaded, 0
// when it did not (the operator has been told why), -1 when no file was
// chosen.
int LOADER(Station& st);

}  // namespace lumvex
