// Record decoding and the conversion of a whole raw buffer into ChannelData.
#include "processing/rawconv.h"

#include "platform/input_file.h"
#include "platform/paths.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace lumvex {

namespace {

constexpr int kWeakSignal = 15000;  // counts above ambient
constexpr int kSaturated = 65500;   // counts
constexpr double kRatioLimit = 1.1;

// Ratio of one detector, or false when the detector is invalid.
bool detectorRatio(const uint16_t* rec, int signal, int ambient, double& ratio) {
  const int s1 = rec[signal], s2 = rec[signal + 1];
  const int d1 = s1 - rec[ambient], d2 = s2 - rec[ambient + 1];
  if (d1 < kWeakSignal && d2 < kWeakSignal) return false;
  if (s1 > kSaturated || s2 > kSaturated) return false;
  if (d1 + d2 == 0) return false;
  ratio = static_cast<double>(d1 - d2) / (d1 + d2);
  return ratio >= -kRatioLimit && ratio <= kRatioLimit;
}

// Start estimate used when the remembered Y is outside the heads' range.
void startGrid(int slot, int head, double* xyz) {
  static constexpr double kX[3] = {-50, 0, 50};       // mm, rear, middle, front
  static constexpr double kZ1[3] = {-54.7, 0, 43.6};  // mm, head 1
  static constexpr double kZ2[3] = {-35.9, 0, 35.9};  // mm, head 2
  xyz[0] = kX[slot % 3];
  xyz[1] = head == 1 ? 30 : 25;
  xyz[2] = head == 1 ? kZ1[slot / 3] : kZ2[slot / 3];
}

// One head of one slot over count records: the position (or code) into out,
// and the new start estimate into last (X, Y, Z of that head).
void decodeHead(CalContext& cal, int count, const uint16_t* words, int recordWords, int slot, int head,
                double* out, double* last) {
  const auto& sig = head == 1 ? kSignalWordsHead1[slot] : kSignalWordsHead2[slot];
  const int amb = head == 1 ? 0 : 3;
  double sum[3] = {0, 0, 0};
  bool failed = false;
  for (int n = 0; n < count; ++n) {
    const uint16_t* rec = words + static_cast<size_t>(n) * recordWords;
    double r[3];
    int code = 0;
    for (int d = 0; d < 3; ++d)
      if (!detectorRatio(rec, sig[d], kAmbientWords[amb + d], r[d])) code |= 1 << d;
    if (code) {
      out[0] = out[1] = out[2] = code;
      failed = true;
    } else if (!failed) {
      for (int d = 0; d < 3; ++d) sum[d] += r[d];
    }
  }
  if (failed) return;
  double xyz[3] = {last[0], last[1], last[2]};
  const double lowY = head == 1 ? 25 : 24;  // mm
  if (xyz[1] < lowY || xyz[1] > 115) startGrid(slot, head, xyz);
  convert_to_eu(cal, xyz[0], xyz[1], xyz[2], sum[0] / count, sum[1] / count, sum[2] / count,
                head == 1 ? 1 : 0);
  for (int k = 0; k < 3; ++k) out[k] = last[k] = xyz[k];
}

void ambientLevels(const uint16_t* rec, uint16_t ambient[6]) {
  for (int k = 0; k < 6; ++k) {
    const int w = kAmbientWords[k];
    ambient[k] = rec[w] > rec[w + 1] ? rec[w] : rec[w + 1];
  }
}

void storeAmbient(const uint16_t* rec, float* row) {
  uint16_t ambient[6];
  ambientLevels(rec, ambient);
  for (int k = 0; k < 6; ++k) row[1 + kRawCoordinateCount + k] = ambient[k];
}

// Column of X of one LED: head 1 slots first, then head 2.
int ledColumn(int slot, int head) { return 1 + (head == 1 ? 0 : 27) + 3 * slot; }

// The LEDs (slot, head) with index k % threads == part, every record in order.
void convertPart(const CalContext& base, const uint16_t* words, int recordWords, int count,
                 LastLedPosition& last, float* rows, int rowStride, int part, int threads,
                 const std::function<void(int)>* progress) {
  CalContext cal = base;
  // Own copies of the start estimates and of each block of results, so the
  // threads do not share cache lines while they work.
  LastLedPosition mine = last;
  constexpr int kBlock = 256;  // records
  double block[kBlock][18][3];
  auto flush = [&](int end) {
    for (int i = end - 1 - (end - 1) % kBlock; i < end; ++i) {
      float* row = rows + static_cast<size_t>(i) * rowStride;
      for (int k = part; k < 18; k += threads) {
        const int col = ledColumn(k / 2, k % 2 == 0 ? 1 : 2);
        for (int a = 0; a < 3; ++a) row[col + a] = static_cast<float>(block[i % kBlock][k][a]);
      }
    }
  };
  for (int i = 0; i < count; ++i) {
    if (progress && *progress) (*progress)(i);
    const uint16_t* rec = words + static_cast<size_t>(i) * recordWords;
    for (int k = part; k < 18; k += threads) {
      const int slot = k / 2, head = k % 2 == 0 ? 1 : 2;
      decodeHead(cal, 1, rec, recordWords, slot, head, block[i % kBlock][k], &mine[slot][head == 1 ? 0 : 3]);
    }
    if (part == 0) storeAmbient(rec, rows + static_cast<size_t>(i) * rowStride);
    if (i % kBlock == kBlock - 1 || i == count - 1) flush(i + 1);
  }
  for (int k = part; k < 18; k += threads) {
    const int slot = k / 2, h = k % 2 == 0 ? 0 : 3;
    for (int a = 0; a < 3; ++a) last[slot][h + a] = mine[slot][h + a];
  }
}

}  // namespace

void process_data(CalContext& cal, int count, const uint16_t* words, int recordWords, double results[9][6],
                  uint16_t ambient[6], LastLedPosition& last) {
  if (count < 1) {  // nothing to average
    for (int slot = 0; slot < 9; ++slot) std::fill(results[slot], results[slot] + 6, 9.0);
    std::fill(ambient, ambient + 6, uint16_t{0});
    return;
  }
  for (int slot = 0; slot < 9; ++slot) {
    decodeHead(cal, count, words, recordWords, slot, 1, &results[slot][0], &last[slot][0]);
    decodeHead(cal, count, words, recordWords, slot, 2, &results[slot][3], &last[slot][3]);
  }
  ambientLevels(words + static_cast<size_t>(count - 1) * recordWords, ambient);
}

void convertRecords(const CalContext& cal, const uint16_t* words, int recordWords, int count,
                    LastLedPosition& last, float* rows, int rowStride, int threads,
                    const std::function<void(int)>& progress) {
  if (threads <= 1) {
    CalContext c = cal;
    double results[9][6];
    uint16_t ambient[6];
    for (int i = 0; i < count; ++i) {
      if (progress) progress(i);
      process_data(c, 1, words + static_cast<size_t>(i) * recordWords, recordWords, results, ambient, last);
      float* row = rows + static_cast<size_t>(i) * rowStride;
      for (int slot = 0; slot < 9; ++slot)
        for (int a = 0; a < 3; ++a) {
          row[ledColumn(slot, 1) + a] = static_cast<float>(results[slot][a]);
          row[ledColumn(slot, 2) + a] = static_cast<float>(results[slot][3 + a]);
        }
      for (int k = 0; k < 6; ++k) row[1 + kRawCoordinateCount + k] = ambient[k];
    }
    return;
  }
  // Each LED's chain stays on one thread and in sample order; the parts touch
  // disjoint columns and disjoint entries of last.
  std::vector<std::thread> workers;
  std::vector<int> leftOver;  // parts no thread could be started for
  for (int part = 1; part < threads; ++part) {
    try {
      workers.emplace_back(convertPart, std::cref(cal), words, recordWords, count, std::ref(last), rows,
                           rowStride, part, threads, nullptr);
    } catch (const std::system_error&) {
      leftOver.push_back(part);
    }
  }
  convertPart(cal, words, recordWords, count, last, rows, rowStride, 0, threads, &progress);
  for (auto& w : workers) w.join();
  for (int part : leftOver)
    convertPart(cal, words, recordWords, count, last, rows, rowStride, part, threads, nullptr);
}

int readCalibrationFile(const std::string& path, float* image, int capacity) {
  InputFile f;
  if (!f.open(path)) return -1;
  static_assert(sizeof(float) == 4);
  // Whole floats only, as many as fit: what fread of 4-byte items gives.
  char* dst = reinterpret_cast<char*>(image);
  const size_t want = static_cast<size_t>(capacity) * sizeof(float);
  size_t bytes = 0;
  while (bytes < want) {
    const long long got = f.read(dst + bytes, want - bytes);
    if (got <= 0) break;
    bytes += static_cast<size_t>(got);
  }
  const size_t n = bytes / sizeof(float);
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t i = 0; i < n; ++i) {
      uint32_t u;
      std::memcpy(&u, &image[i], 4);
      u = __builtin_bswap32(u);
      std::memcpy(&image[i], &u, 4);
    }
  }
  return static_cast<int>(n);
}

namespace {

// The folder shown in the message: the absolute form of the working folder.
std::string shownFolder(const std::string& workDir) {
  std::error_code ec;
  std::string dir = std::filesystem::absolute(workDir, ec).lexically_normal().string();
  if (ec) dir = workDir;
  while (dir.size() > 1 && dir.back() == kPathSeparator) dir.pop_back();
  return dir;
}

int conversionThreads(int count) {
  constexpr int kMinRecordsPerThreadRun = 2000;  // below this a thread costs more than it saves
  const unsigned hw = std::thread::hardware_concurrency();
  return count >= kMinRecordsPerThreadRun && hw >= 2 ? 2 : 1;
}

}  // namespace

int ConvertWSIDdata(Station& st, SideTransform sideTransform, const std::string& calibrationPath) {
  SessionState& s = st.session;
  MeasurementData& d = st.data;
  ChannelTable& t = d.ChannelData;
  const CalLayout& layout = calLayout(calLayoutFor(s.DummyType, s.IsLX2));

  const std::string name = calibrationFileName(s);
  const std::string path = calibrationPath.empty() ? pathJoin(st.workDir, name) : calibrationPath;
  const int floats = readCalibrationFile(path, d.CalImage.begin(), kCalImageFloats);
  d.CalImageFloats = floats < 0 ? 0 : floats;
  // A file that does not cover the layout would make lookups read past its end.
  if (floats < layout.floats) {
    const std::string shown =
        calibrationPath.empty() ? pathJoin(shownFolder(st.workDir), name) : calibrationPath;
    st.ui->message("Calibration File Error", "Could not Find Calibration file: \r\n " + shown +
                                                 " \r\n Please copy the calibration file to the directory "
                                                 "above\r\n Reprocessing aborted");
    return 1;
  }

  const int recordWords = s.IsLX2 ? kRawRecordWordsLX2 : kRawRecordWords;
  const long long count = t.SampleCount;
  if (count < 0 || count * recordWords > static_cast<long long>(d.RawWords.size) ||
      count * kRawChannelCount > static_cast<long long>(t.values.size))
    return -1;

  t.ChannelCount = 60;
  st.ui->progressOpen("Converting Raw Data to Engineering Units", "Percent Complete", false);
  const int n = static_cast<int>(count);
  int lastShown = 0;
  const std::function<void(int)> progress = [&](int i) {
    if (i - lastShown > n / 10) {
      lastShown = i;
      st.ui->progressUpdate(static_cast<double>(100LL * i / n));
    }
  };
  CalContext cal{&layout, d.CalImage.begin(), d.CalImageFloats, false};
  float* rows = t.values.begin();
  convertRecords(cal, d.RawWords.begin(), recordWords, n, st.conversionStart, rows, kRawChannelCount,
                 conversionThreads(n), progress);

  // The time base and the side transform, row by row, on this thread.
  double v[kRawCoordinateCount];
  for (int i = 0; i < n; ++i) {
    float* row = rows + static_cast<size_t>(i) * kRawChannelCount;
    row[0] = static_cast<float>(static_cast<double>(d.StartTimeMs) + i * d.SampleIntervalMs);  // ms
    for (int k = 0; k < kRawCoordinateCount; ++k) v[k] = row[1 + k];
    if (sideTransform) sideTransform(st, kRawCoordinateCount, v);
    for (int k = 0; k < kRawCoordinateCount; ++k) row[1 + k] = static_cast<float>(v[k]);
  }
  st.ui->progressClose();
  t.ChannelCount = kRawChannelCount;
  return 0;
}

}  // namespace lumvex
