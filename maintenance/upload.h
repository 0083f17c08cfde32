// Uploads to the unit: the firmware load (a binary image in one block for LX2
// units, a text image line by line for older ones) and the calibration load of
// one impact side, with the bulk transfer both of them write their data by.
#pragma once

#include "core/station.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumvex {

// The binary image is read into the raw download buffer, so it can be no larger.
constexpr size_t kFirmwareImageCapacity = kRawWords * sizeof(uint16_t);  // bytes (116,000,464)
constexpr int kFirmwareTimeoutMs = 60'000;                               // ms: an LX2 unit programs its image
constexpr int kTextFirmwareTimeoutMs = 500'000;  // ms: an older unit programs a text image
// ms: the calibration load's writes and its answer. Only units that are not
// LX2 take a calibration, and they are given 500 s to program a whole new
// program into their flash; storing a 2.4 MB calibration is less work, and on
// a serial line (11,520 bytes/s) one block of 244,748 bytes takes 21 s to
// write. A unit that never answers is given up after this, not waited for.
constexpr int kCalLoadTimeoutMs = 500'000;

// The blocks of a bulk transfer of n bytes: nine of n/10, then the rest.
std::array<size_t, 10> BulkBlocks(size_t n);
// Writes n bytes in those blocks without a handshake between them, showing
// "File Upload Status" at 10 ... 90 %. 0, -1 on a write error or time-out,
// -2 link lost.
int BulkTransfer(Station& st, const uint8_t* data, size_t n);

// The firmware load ("Load Firmware"): asks for the file, sends it between
// MANARMENABLE 0 and 1 with the status timer held, and tells the operator the
// unit's answer. -1 when no file was chosen, else 0 whatever the outcome;
// `loaded`, when given, is set to 1 only when the unit reported success.
int Loader(Station& st, int* loaded = nullptr);

// Sends the first byteCount bytes of CalUploadBuffer as the calibration of
// side 0 (left) or 1 (right) and shows the unit's answer. 0 when the unit
// answered OK, else -1. answerTimeoutMs bounds each write and the answer.
int SendCal(Station& st, int byteCount, int side, int answerTimeoutMs = kCalLoadTimeoutMs);

}  // namespace lumvex
