// A raw file as the station writes it after a raw download, made without a
// unit: simulated WorldSID records (sim::wsidFillRecords) through the raw
// writer of a scratch station, and the unit's calibration files.
#pragma once

#include "core/station.h"
#include "files/csv.h"
#include "sim/wsid_model.h"
#include "support/scripted_operator.h"

#include <memory>
#include <string>

namespace lumvex::testing {

struct RawFileSetup {
  int dummyType = DummyWorldSID50th;
  int isLX2 = 0;
  std::string serial = "150";
  int records = 300;
  float startMs = -20;  // ms
  std::string atd = "ATD 7";
  std::string comment = "sled 4 run 2";
  int trigger = 1;
};

// Writes dir/<stem>.RDF (".RD2" for LX2) and returns its path.
inline std::string writeRawFile(const std::string& dir, const std::string& stem,
                                const RawFileSetup& fileSetup) {
  ScriptedOperator op;
  auto st = std::make_unique<Station>(op);
  st->session.DummyType = fileSetup.dummyType;
  st->session.IsLX2 = fileSetup.isLX2;
  st->session.SerialNumberText = fileSetup.serial;
  st->session.TriggerSetting = fileSetup.trigger;
  st->data.ident.AtdText = fileSetup.atd;
  st->data.ident.TestDateUs = "06-11-2024";
  st->data.ident.TestCommentText = fileSetup.comment;
  st->data.StartTimeMs = fileSetup.startMs;
  st->data.ChannelData.SampleCount = fileSetup.records;
  const sim::WsidModel model = sim::wsidModel(fileSetup.dummyType, fileSetup.isLX2);
  sim::wsidFillRecords(model, fileSetup.startMs, fileSetup.records, st->data.RawWords.begin());
  std::string path = dir + "/" + stem + ".X";
  if (FileSave_Raw(*st, path) != 0) return "";
  return path;
}

// The unit's calibration files of one date in dir.
inline bool writeCalibration(const std::string& dir, const RawFileSetup& fileSetup,
                             const std::string& calDate) {
  return sim::wsidWriteCalibrationFiles(dir, fileSetup.serial, calDate, fileSetup.dummyType,
                                        fileSetup.isLX2) == 0;
}

}  // namespace lumvex::testing
