// Fuzz target: the raw WorldSID conversion of arbitrary detector words with an
// arbitrary calibration image. The first byte picks the layout and the image:
//   bits 0-1  calibration layout (50th, 5th, 5th LX2; 3 is the 50th)
//   bit 2     the image is the layout's smooth synthetic calibration with a
//             run of input floats written over it at an input offset and cut
//             to an input length (else: the image is just the input floats)
//   bit 3     LX2 records (232 words; else 120)
//   bit 4     the image also goes through a calibration file and
//             ConvertWSIDdata, when the layout and record size fit one unit
//   bits 5-6  both set: the records are also converted on two threads (a
//             thread costs far more than four records, so one input in four)
// Raw image:     byte 1-2 the number of floats (little endian), then the floats.
// Patched image: byte 1-3 offset, byte 4-6 length, byte 7 the number of
//                floats written, then the floats.
// The rest are the words of up to four records (the last one padded with
// zeros). Every LED must come out as a position inside the valid volume or
// as an error code (1 to 7, or 9) in all three coordinates, never NaN; the
// ambient levels are the larger word of each pair; averaging several records
// gives the same kind of result; a conversion on two threads must give the
// very rows of one thread; and a whole conversion from the file must give
// those rows too, or refuse a file that does not cover the layout.
#include "core/station.h"
#include "support/scripted_operator.h"
#include "fuzz/fuzz_check.h"
#include "core/callayout.h"
#include "platform/input_file.h"
#include "processing/rawconv.h"
#include "sim/wsid_model.h"

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace lumvex;

constexpr int kMaxFuzzRecords = 4;

uint32_t little(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = v << 8 | p[k];
  return v;
}

const std::vector<float>& synthetic(int layout) {
  static std::array<std::vector<float>, 3> images;
  if (images[layout].empty()) images[layout] = sim::wsidCalibrationImage(layout);
  return images[layout];
}

// A working copy of each synthetic image (2.4 MB), patched in place for one
// input and put back after it, instead of a fresh copy per input. The floats
// past the input's length are poisoned, so that a read past a short
// calibration is caught as in an allocation of exactly its floats.
std::vector<float>& working(int layout) {
  static std::array<std::vector<float>, 3> images;
  if (images[layout].empty()) images[layout] = synthetic(layout);
  return images[layout];
}

struct Patch {
  std::vector<float>& image;
  const std::vector<float>& base;
  size_t offset, count, length;
  Patch(std::vector<float>& i, const std::vector<float>& b, size_t o, size_t c, size_t l)
      : image(i), base(b), offset(o), count(c), length(l) {
    ASAN_POISON_MEMORY_REGION(image.data() + length, (image.size() - length) * sizeof(float));
  }
  Patch(const Patch&) = delete;
  Patch& operator=(const Patch&) = delete;
  ~Patch() {
    ASAN_UNPOISON_MEMORY_REGION(image.data() + length, (image.size() - length) * sizeof(float));
    std::copy(base.begin() + static_cast<std::ptrdiff_t>(offset),
              base.begin() + static_cast<std::ptrdiff_t>(offset + count),
              image.begin() + static_cast<std::ptrdiff_t>(offset));
  }
};

bool isCode(double x, double y, double z) {
  return x == y && y == z && ((x >= 1 && x <= 7 && x == std::floor(x)) || x == 9);
}

bool insideVolume(double x, double y, double z) {
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(z) && y >= 22 && y <= 130 && x >= -159 &&
         x <= 159 && z >= -162 && z <= 114;  // mm
}

void checkLed(double x, double y, double z) { FUZZ_CHECK(isCode(x, y, z) || insideVolume(x, y, z)); }

uint16_t larger(const uint16_t* rec, int w) { return std::max(rec[w], rec[w + 1]); }

// A station (its buffers sized for the largest download, so one for the whole
// run) whose calibration file is held in memory: the conversion reads it from
// there, so that an input costs no 2.4 MB written to and read from a disk.
struct Rig {
  ScriptedOperator op;
  Station st{op};
  MemoryFiles files;
  Rig() {
    st.workDir = "/lumvex-fuzz-rawconv";
    st.session.SerialNumberText = "1234";
    st.session.calDate = "01-02-2026";
    st.session.DirectionText = "Left Side";
  }
};

Rig& rig() {
  static Rig* r = new Rig;  // never destroyed: the fuzzer exits from anywhere
  return *r;
}

// The whole conversion of the records from a calibration file holding image.
void convertFromFile(int layoutId, int recordWords, const float* image, size_t imageFloats,
                     const std::vector<uint16_t>& words, int count, const std::vector<float>& expected) {
  const int dummyType = layoutId == CalLayout50th ? 5 : 7;
  const int isLX2 = recordWords == kRawRecordWordsLX2 ? 1 : 0;
  if (calLayoutFor(dummyType, isLX2) != layoutId) return;  // no unit has this pair
  Rig& r = rig();
  Station& st = r.st;
  r.op.clear();
  r.op.openProgressBoxes = 0;
  st.session.DummyType = dummyType;
  st.session.IsLX2 = isLX2;
  st.conversionStart = {};
  const std::string path = st.workDir + "/" + calibrationFileName(st.session);
  r.files.clear();
  r.files[path] = std::string_view(reinterpret_cast<const char*>(image), imageFloats * sizeof(float));
  UseMemoryFiles(&r.files);
  std::memcpy(st.data.RawWords.begin(), words.data(), words.size() * sizeof(uint16_t));
  st.data.ChannelData.SampleCount = count;
  st.data.ChannelData.ChannelCount = 7;
  const int rc = ConvertWSIDdata(st, nullptr);
  UseMemoryFiles(nullptr);
  FUZZ_CHECK(r.op.openProgressBoxes == 0);
  if (static_cast<int>(imageFloats) < calLayout(layoutId).floats) {
    FUZZ_CHECK(rc == 1 && r.op.messages().size() == 1);
    FUZZ_CHECK(st.data.ChannelData.ChannelCount == 7);
    return;
  }
  FUZZ_CHECK(rc == 0 && r.op.messages().empty());
  FUZZ_CHECK(st.data.ChannelData.ChannelCount == kRawChannelCount);
  for (int i = 0; i < count; ++i)
    FUZZ_CHECK(std::memcmp(st.data.ChannelData.values.begin() + static_cast<size_t>(i) * kRawChannelCount + 1,
                           expected.data() + static_cast<size_t>(i) * kRawChannelCount + 1,
                           (kRawChannelCount - 1) * sizeof(float)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!data || size < 1) return 0;
  const int layoutId = (data[0] & 3) == 3 ? 0 : data[0] & 3;
  const bool patched = (data[0] & 4) != 0;
  const int recordWords = (data[0] & 8) ? kRawRecordWordsLX2 : kRawRecordWords;
  const bool throughFile = (data[0] & 16) != 0;
  const bool twoThreads = (data[0] & (32 | 64)) == (32 | 64);
  const CalLayout& layout = calLayout(layoutId);
  size_t at = 1;

  // The image in an allocation of exactly its floats, so that a read past a
  // short calibration file is caught.
  std::vector<float> image;
  const float* imageData = nullptr;
  size_t imageFloats = 0;
  std::optional<Patch> patch;
  if (!patched) {
    if (size < at + 2) return 0;
    size_t n = little(data + at, 2);
    at += 2;
    n = std::min(n, (size - at) / 4);
    image.resize(n);
    if (n) std::memcpy(image.data(), data + at, 4 * n);
    at += 4 * n;
    imageData = image.data();
    imageFloats = image.size();
  } else {
    if (size < at + 7) return 0;
    const std::vector<float>& base = synthetic(layoutId);
    const size_t offset = little(data + at, 3) % base.size();
    const size_t length = std::min<size_t>(little(data + at + 3, 3), base.size());
    size_t n = data[at + 6];
    at += 7;
    n = std::min(n, (size - at) / 4);
    std::vector<float>& work = working(layoutId);
    const size_t written = std::min(n, length > offset ? length - offset : 0);
    for (size_t k = 0; k < written; ++k) std::memcpy(&work[offset + k], data + at + 4 * k, 4);
    patch.emplace(work, base, offset, written, length);
    at += 4 * n;
    imageData = length ? work.data() : nullptr;
    imageFloats = length;
  }

  const size_t recordBytes = 2 * static_cast<size_t>(recordWords);
  const int count =
      static_cast<int>(std::clamp<size_t>((size - at + recordBytes - 1) / recordBytes, 1, kMaxFuzzRecords));
  std::vector<uint16_t> words(static_cast<size_t>(count) * recordWords, 0);
  for (size_t k = 0; k < words.size() && at + 2 * k + 1 < size; ++k)
    words[k] = static_cast<uint16_t>(little(data + at + 2 * k, 2));

  CalContext cal{&layout, imageFloats ? imageData : nullptr, static_cast<int>(imageFloats), false};

  // All records averaged into one result.
  {
    CalContext c = cal;
    LastLedPosition last{};
    double results[9][6];
    uint16_t ambient[6];
    process_data(c, count, words.data(), recordWords, results, ambient, last);
    for (int slot = 0; slot < 9; ++slot) {
      checkLed(results[slot][0], results[slot][1], results[slot][2]);
      checkLed(results[slot][3], results[slot][4], results[slot][5]);
    }
    const uint16_t* lastRecord = words.data() + static_cast<size_t>(count - 1) * recordWords;
    for (int k = 0; k < 6; ++k) FUZZ_CHECK(ambient[k] == larger(lastRecord, kAmbientWords[k]));
  }

  // Record by record, on one thread (and on two).
  std::vector<float> one(static_cast<size_t>(count) * kRawChannelCount, 0.0f);
  LastLedPosition lastOne{};
  int progressed = 0;
  convertRecords(cal, words.data(), recordWords, count, lastOne, one.data(), kRawChannelCount, 1,
                 [&](int i) { FUZZ_CHECK(i == progressed++); });
  FUZZ_CHECK(progressed == count);
  if (twoThreads) {
    std::vector<float> two(one.size(), 0.0f);
    LastLedPosition lastTwo{};
    convertRecords(cal, words.data(), recordWords, count, lastTwo, two.data(), kRawChannelCount, 2, nullptr);
    FUZZ_CHECK(std::memcmp(one.data(), two.data(), one.size() * sizeof(float)) == 0);
    FUZZ_CHECK(lastOne == lastTwo);
  }
  for (int i = 0; i < count; ++i) {
    const float* row = one.data() + static_cast<size_t>(i) * kRawChannelCount;
    for (int led = 0; led < 18; ++led) checkLed(row[1 + 3 * led], row[2 + 3 * led], row[3 + 3 * led]);
    const uint16_t* rec = words.data() + static_cast<size_t>(i) * recordWords;
    for (int k = 0; k < 6; ++k) FUZZ_CHECK(row[1 + kRawCoordinateCount + k] == larger(rec, kAmbientWords[k]));
  }
  if (throughFile) convertFromFile(layoutId, recordWords, imageData, imageFloats, words, count, one);
  return 0;
}
