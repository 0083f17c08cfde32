// Download of the simulated unit: DUMPBINA (positions the unit computed) and
// RAWDUMP (raw detector records) for a window of the held recording, each
// record followed by its one-byte sum. Unit properties used:
//   type, serial, firmware          identity (as for the identification)
//   window.start / window.stop      the recorded window (ms)
//   download.badsum=N               corrupt the sum of record N (0-based)
//   download.pace=MS                send the records in small pieces MS ms apart,
//                                   as a slow line (a serial port) delivers them
#include "core/unit_family.h"
#include "sim/commands.h"
#include "sim/recording.h"
#include "sim/wsid_model.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <cstdlib>
#include <string>
#include <vector>

namespace lumvex::sim {
namespace {

constexpr size_t kChunkBytes = 256 * 1024;  // records go out in chunks of about this size
constexpr size_t kPacedChunkBytes = 4096;   // pieces of a paced download
constexpr long kRawBatch = 1024;            // raw WorldSID records made at a time

bool argInt(const Request& r, size_t i, int& out) {
  if (i >= r.args.size() || r.args[i].empty()) return false;
  char* end = nullptr;
  long v = std::strtol(r.args[i].c_str(), &end, 10);
  if (*end != '\0') return false;
  out = static_cast<int>(v);
  return true;
}

int family(const UnitState& u) { return DummyTypeFromText(u.prop("type", "WorldSID")); }
bool isLx2(const UnitState& u) { return u.prop("firmware", "LX2 V8.0").find("LX2") != std::string::npos; }

// Checks the window against the recording; fills the refusal fields.
bool windowOk(Exchange& x, int& start, int& stop, std::string& f1, std::string& f2) {
  const UnitState& u = x.unit;
  const bool okStart = argInt(x.req, 0, start);
  const bool okStop = argInt(x.req, 1, stop);
  const int recStart = u.propInt("window.start", -1000);
  const int recStop = u.propInt("window.stop", u.postTriggerMs);
  bool ok = u.status == 0 || u.status == 3;
  if (!okStart || start < recStart || (okStop && start >= stop)) {
    f1 = "BAD";
    ok = false;
  }
  if (!okStop || stop > recStop) {
    f2 = "BAD";
    ok = false;
  }
  if (!ok && (u.status == 1 || u.status == 2)) f1 = f2 = "BAD";
  return ok;
}

using FillRecord = std::function<void(long record, int16_t* words)>;

// Sends `records` records of `words` words made by fill(r, words), each with
// its sum byte, in chunks. The chunks are made as the link drains (a large
// download never waits to be made whole, nor sits whole in memory); a paced
// download queues its small pieces at their times at once.
void sendRecords(Exchange& x, long records, int words, FillRecord fill) {
  struct Stream {
    long records, badSum, next = 0;
    int words;
    FillRecord fill;
    std::vector<int16_t> w;
    // Appends records until the piece holds about `bytes`; false after the last.
    bool piece(std::string& out, size_t bytes) {
      for (; next < records && out.size() < bytes; ++next) {
        fill(next, w.data());
        unsigned sum = 0;
        for (int k = 0; k < words; ++k) {
          const auto v = static_cast<uint16_t>(w[k]);
          const char lo = static_cast<char>(v & 0xFF), hi = static_cast<char>(v >> 8);
          out.push_back(lo);
          out.push_back(hi);
          sum += static_cast<uint8_t>(lo) + static_cast<uint8_t>(hi);
        }
        if (next == badSum) ++sum;
        out.push_back(static_cast<char>(sum & 0xFF));
      }
      return next < records;
    }
  };
  auto st = std::make_shared<Stream>();
  st->records = records;
  st->badSum = x.unit.propInt("download.badsum", -1);
  st->words = words;
  st->fill = std::move(fill);
  st->w.resize(static_cast<size_t>(words));
  const long paceMs = x.unit.propInt("download.pace", 0);
  if (paceMs > 0) {
    long dueMs = 0;
    for (bool more = records > 0; more; dueMs += paceMs) {
      std::string piece;
      more = st->piece(piece, kPacedChunkBytes);
      x.sendRaw(piece, dueMs);
    }
    return;
  }
  x.sendStream([st](std::string& piece) {
    piece.reserve(kChunkBytes + static_cast<size_t>(st->words) * 2 + 1);
    return st->piece(piece, kChunkBytes);
  });
}

void dumpPositions(Exchange& x) {
  int start = 0, stop = 0;
  std::string f1, f2;
  if (!windowOk(x, start, stop, f1, f2)) return x.reply({f1.empty() ? "0" : f1, f2.empty() ? "0" : f2});
  const int type = family(x.unit);
  const RecordingShape s = recordingShape(type);
  const long records = recordCount(type, start, stop);
  x.reply({std::to_string(s.words()), std::to_string(records)});
  sendRecords(x, records, s.words(), [=](long r, int16_t* w) {
    positionRecord(type, start + static_cast<double>(r) / s.samplesPerMs, w);
  });
}

// Raw detector words of the right shape: ambient words steady, signal words
// moving with the crash pulse.
void rawRecord(long r, int words, int16_t* w) {
  for (int k = 0; k < words; ++k) w[k] = static_cast<int16_t>((r * 7 + k * 131) % 20000 + 1000);
}

void dumpRaw(Exchange& x) {
  int start = 0, stop = 0;
  std::string f1, f2;
  if (!windowOk(x, start, stop, f1, f2)) return x.reply({f1.empty() ? "0" : f1, f2.empty() ? "0" : f2});
  const int words = rawRecordWords(isLx2(x.unit));
  const int type = family(x.unit);
  const long records = recordCount(type, start, stop);
  x.reply({std::to_string(words), std::to_string(records)});
  if (type == 5 || type == 7) {
    // A raw-recording WorldSID: detector words from the physical model, so the
    // station converts what the unit "saw".
    // Records are made a batch at a time: the model reuses its work for LEDs
    // that stay where they were (at rest, most of a long window).
    WsidModel model = wsidModel(type, isLx2(x.unit) ? 1 : 0);
    // A calibration loaded into the unit is the one its records follow.
    if (auto loaded = LoadedCalibration(x.unit, static_cast<int>(model.calibration->size())))
      model.calibration = std::move(loaded);
    auto batch = std::make_shared<std::vector<uint16_t>>(static_cast<size_t>(kRawBatch) * words);
    auto first = std::make_shared<long>(-kRawBatch);
    sendRecords(x, records, words, [=](long r, int16_t* w) {
      if (r < *first || r >= *first + kRawBatch) {
        *first = r;
        wsidFillRecords(model, start + r * model.sampleIntervalMs,
                        static_cast<int>(std::min<long>(kRawBatch, records - r)), batch->data());
      }
      std::memcpy(w, batch->data() + static_cast<size_t>(r - *first) * words, sizeof(uint16_t) * words);
    });
    return;
  }
  sendRecords(x, records, words, [=](long r, int16_t* w) { rawRecord(r, words, w); });
}

}  // namespace

void RegisterDownloadCommands(CommandTable& t) {
  t.add("DUMPBINA", dumpPositions);
  t.add("RAWDUMP", dumpRaw);
}

}  // namespace lumvex::sim
