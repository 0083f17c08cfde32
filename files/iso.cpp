#include "files/iso.h"

#include "files/exportinfo.h"
#include "files/naming.h"
#include "files/output.h"
#include "platform/paths.h"

#include <algorithm>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace lumvex {

namespace {

constexpr const char* kFolderProblem =
    "Unable to create the output directory.\nMost likely cause - it already exists.\n"
    "If this is the case you must delete\nor rename it before proceeding.";

// Every line goes through OutFile::text, so "\n" lands as CR LF.
void field(OutFile& out, std::string_view name28, std::string_view value) {
  std::string s;
  s.reserve(name28.size() + value.size() + 1);
  s.append(name28).append(value).append("\n");
  out.text(s);
}

bool writeTestDescription(const std::string& path, const Station& st, std::string_view test) {
  const TestIdentification& id = st.data.ident;
  OutFile out(size_t{16} << 10);
  if (!out.open(path)) return false;
  out.text(
      "Data format edition number  :1.4\n"
      "Laboratory name             :NOVALUE\n"
      "Laboratory contact name     :NOVALUE\n"
      "Laboratory contact phone    :NOVALUE\n"
      "Laboratory contact fax      :NOVALUE\n"
      "Laboratory contact email    :NOVALUE\n");
  field(out, "Laboratory test ref. number :", test);
  field(out, "Test Series                 :", test);
  out.text(
      "Customer name               :NOVALUE\n"
      "Customer test ref. number   :NOVALUE\n"
      "Customer project ref. number:NOVALUE\n"
      "Customer order number       :NOVALUE\n"
      "Customer cost unit          :NOVALUE\n"
      "Customer test engineer name :NOVALUE\n"
      "Customer test engineer phone:NOVALUE\n"
      "Customer test engineer fax  :NOVALUE\n"
      "Customer test engineer email:NOVALUE\n"
      "Title                       :NOVALUE\n"
      "Medium No./number of media  :1/1\n");
  field(out, "Timestamp                   :", id.TestDateIso + " " + id.TestTimeText);
  out.text(
      "Type of the test            :NOVALUE\n"
      "Subtype of the test         :NOVALUE\n"
      "Regulation                  :NOVALUE\n"
      "Reference temperature       :NOVALUE\n"
      "Relative air humidity       :NOVALUE\n");
  field(out, "Date of the test            :", id.TestDateIso);
  out.text(
      "Number of test objects      :2\n"
      "Name of test object 1       :NOVALUE\n"
      "Velocity test object 1      :NOVALUE\n"
      "Mass test object 1          :NOVALUE\n"
      "Driver position object 1    :0\n"
      "Impact side test object 1   :00\n");
  // "%c" of the test-object character: an empty code still writes its zero byte
  field(out, "Type of test object 1       :", std::string(1, st.data.codes.ChannelCodes[0][0]));
  out.text(
      "Class of test object 1      :NOVALUE\n"
      "Code of test object 1       :NOVALUE\n"
      "Ref. number of test object 1:NOVALUE\n"
      "Name of test object 2       :NOVALUE\n"
      "Velocity test object 2      :NOVALUE\n"
      "Mass test object 2          :NOVALUE\n"
      "Driver position object 2    :0\n"
      "Impact side test object 2   :00\n"
      "Type of test object 2       :0\n"
      "Class of test object 2      :NOVALUE\n"
      "Code of test object 2       :NOVALUE\n"
      "Ref. number of test object 2:NOVALUE\n");
  return out.close();
}

// "%3.3d": at least three digits, zero-filled.
std::string threeDigits(int n) {
  std::string s = formatInt(n);
  if (s.size() < 3) s.insert(0, 3 - s.size(), '0');
  return s;
}

bool writeChannelList(const std::string& path, const MeasurementData& d, const ExportShape& sh) {
  OutFile out(size_t{16} << 10);
  if (!out.open(path)) return false;
  out.text("Instrumentation standard    :ISO 6487 (1987) / SAE J211 (MAR95)\n");
  field(out, "Number of channels          :", formatInt(sh.channels - 1));
  for (int n = 1; n < sh.channels; ++n)
    field(out, "Name of channel " + threeDigits(n) + "         :", columnCode(d, n));
  return out.close();
}

// An LED whose coordinates at one sample all hold the same small code (1 to 7)
// had an error; all of its columns are flagged. Read from ChannelData, since
// zeroing and filtering may have moved the codes in ExportData.
std::vector<char> errorFlags(const MeasurementData& d, const ExportShape& sh) {
  std::vector<char> flagged(static_cast<size_t>(sh.channels), 0);
  const ChannelTable& t = d.ChannelData;
  for (int s = 0; s < sh.samples; ++s) {
    for (int k = 0; k < sh.leds; ++k) {
      int c0 = 1 + k * sh.axes;
      if (flagged[static_cast<size_t>(c0)]) continue;
      float v = t.at(s, c0);
      if (!(v >= 0.999 && v <= 7.001)) continue;
      bool same = true;
      for (int a = 1; a < sh.axes; ++a) same = same && t.at(s, c0 + a) == v;
      if (same) std::fill_n(flagged.begin() + c0, sh.axes, 1);
    }
  }
  return flagged;
}

struct ChannelFileTexts {
  std::string transducer;  // value of the "Transducer type" line
  std::string interval;    // s
  std::string firstTime;   // s
  std::string samples;
};

ChannelFileTexts channelFileTexts(const Station& st, const ExportShape& sh) {
  const SessionState& ss = st.session;
  ChannelFileTexts t;
  t.transducer = "Lumvex Type " + std::string(currentTypeName(st)) + " s/n:" + ss.SerialNumberText +
                 "  Direction: " + ss.DirectionText + "  Trigger:" + formatInt(SavedTriggerCode(ss));
  t.interval = formatFixed(st.data.SampleIntervalMs / 1000, 6);
  // The start time stays single precision through the division to seconds.
  t.firstTime = formatFixed(static_cast<double>(st.data.StartTimeMs / 1000.0f), 4);
  t.samples = formatInt(sh.samples);
  return t;
}

void writeChannelHeader(OutFile& out, const Station& st, const ChannelFileTexts& t, int n, bool error) {
  const MeasurementData& d = st.data;
  std::string_view code = columnCode(d, n);
  field(out,
        "Test object number          :", std::string(1, d.codes.ChannelCodes[static_cast<size_t>(n - 1)][0]));
  field(out, "Errors occurred             :", error ? "YES" : "NO");
  field(out, "Name of the channel         :", code);
  out.text("Laboratory channel code     :NOVALUE\n");
  field(out, "Customer channel code       :", columnPlotName(d, n));
  field(out, "Channel code                :", code);
  out.text(code.find("SENS") != std::string_view::npos ? "Unit                        :1\n"
                                                       : "Unit                        :mm\n");
  out.text("Reference system            :Local\n");
  field(out, "Transducer type             :", t.transducer);
  out.text(
      "Pre-filter type             :none\n"
      "Cut off frequency           :None\n");
  field(out, "Channel amplitude class     :", formatInt(GetCAC(st, n - 1)));
  out.text(
      "Bit resolution              :16\n"
      "Reference channel           :Implicit\n"
      "Reference channel name      :NOVALUE\n");
  field(out, "Data source                 :", d.ident.AtdText);
  out.text("Data status                 :ok\n");
  field(out, "Sampling interval           :", t.interval);
  field(out, "Time of first sample        :", t.firstTime);
  field(out, "Number of samples           :", t.samples);
  out.text(
      "First global maximum value  :NOVALUE\n"
      "Time of maximum value       :NOVALUE\n"
      "First global minimum value  :NOVALUE\n"
      "Time of minimum value       :NOVALUE\n"
      "Start offset interval       :NOVALUE\n"
      "End offset interval         :NOVALUE\n");
}

// One "%E" value per line, CR LF, for samples s0 to s1 - 1.
void writeValues(OutFile& out, const MeasurementData& d, const ExportShape& sh, int n, int s0, int s1) {
  char* p = out.reserve(static_cast<size_t>(s1 - s0) * (kFloatEChars + 2));
  for (int s = s0; s < s1; ++s) {
    p = formatFloatE(p, exportValue(d, sh.channels, s, n));
    *p++ = '\r';
    *p++ = '\n';
  }
  out.commit(p);
}

// All channel files are open at once and filled block of rows by block of
// rows, so that each block of ExportData is read from the cache for every
// column rather than the whole table once per column.
bool writeChannelFiles(const Station& st, const ExportShape& sh, const std::string& stem) {
  constexpr size_t kFileBuffer = size_t{128} << 10;  // bytes per open file
  constexpr int kRowBlock = 1024;                    // rows: 1024 x 91 values stay in L2
  constexpr long long kThreadedValues = 1'000'000;   // below this a second thread costs more than it saves
  static_assert(kRowBlock * (kFloatEChars + 2) <= kFileBuffer);
  const std::vector<char> flagged = errorFlags(st.data, sh);
  const ChannelFileTexts texts = channelFileTexts(st, sh);
  std::vector<std::unique_ptr<OutFile>> files;
  for (int n = 1; n < sh.channels; ++n) {
    files.push_back(std::make_unique<OutFile>(kFileBuffer));
    if (!files.back()->open(stem + "." + threeDigits(n))) return false;
    writeChannelHeader(*files.back(), st, texts, n, flagged[static_cast<size_t>(n)] != 0);
  }
  // Columns first to mid - 1 here, mid on in a second thread: each file has
  // one writer and every byte is what one thread would have written.
  auto fill = [&](int first, int end) {
    for (int s0 = 0; s0 < sh.samples; s0 += kRowBlock) {
      int s1 = std::min(sh.samples, s0 + kRowBlock);
      for (int n = first; n < end; ++n)
        writeValues(*files[static_cast<size_t>(n - 1)], st.data, sh, n, s0, s1);
    }
  };
  const int mid = 1 + (sh.channels - 1) / 2;
  std::thread other;
  if (static_cast<long long>(sh.samples) * sh.channels >= kThreadedValues) {
    try {
      other = std::thread(fill, mid, sh.channels);
    } catch (const std::system_error&) {
      // no thread to be had: this one writes every column
    }
  }
  if (other.joinable()) {
    fill(1, mid);
    other.join();
  } else {
    fill(1, sh.channels);
  }
  bool ok = true;
  for (auto& f : files) ok = f->close() && ok;
  return ok;
}

}  // namespace

int FileSave_ISO(Station& st, std::string& path, int relative) {
  size_t dot = 0, sep = 0;
  ExportShape sh;
  if (!exportTarget(path, st.data, dot, sep, sh)) return -1;

  const std::string test = path.substr(sep + 1, dot - sep - 1);
  const std::string ext = path.substr(dot);
  const std::string folder = path.substr(0, dot);
  if (makeFolder(folder, false) != 0) {
    st.ui->message("ISO Export Problem", kFolderProblem);
    return -1;
  }
  path = pathJoin(folder, test + ext);
  if (!writeTestDescription(path, st, test)) return -1;

  const std::string channelFolder = pathJoin(folder, "CHANNEL");
  if (makeFolder(channelFolder, true) != 0) return -1;
  if (!writeChannelList(pathJoin(channelFolder, test + ".CHN"), st.data, sh)) return -1;

  GeneratePlotNames(st, relative);
  return writeChannelFiles(st, sh, pathJoin(channelFolder, test)) ? 0 : -1;
}

}  // namespace lumvex
