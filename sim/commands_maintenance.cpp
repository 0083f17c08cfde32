// Maintenance commands of the simulated unit: firmware loads (a binary image
// of an announced size, or a text image of S-records), calibration loads per
// side, the LX2 side switch, the manual-arm input, the LED assignment of the
// adjustable 50th and the reference ("golden") positions. Unit properties:
//
//   loader.result   LX2 load: final LOADER field (OK = loaded)   OK
//   loader.text-result  text load: first line after the image    "Program file received OK"
//                   (a bad S-record always answers "Program load failed at line N")
//   loader.done-after   lines before "LOADER_DONE"               2
//   calload.result  CALLOAD field whatever the check found        (the check: OK, BAD SIZE,
//                                                                 BAD CHECKSUM)
//   sidecal.result  SETSIDECAL field (OK, BAD, BAD2, any text)   OK
//   ledrib.echo / ledposn.echo   number echoed instead of the one set
//   leds.rib.saved / leds.posn.saved   the assignment SAVE kept
//   golden          the stored references (54 numbers, comma list)  the resting positions,
//                   every LED working
//   golden.count    GETGOLDENPOSNS count (1 CRC error, 0 file not found)  54
//   golden.store    SETGOLDENPOSNS field (non-zero: file error)  0
#include "core/callayout.h"
#include "sim/commands.h"

#include "core/unit_family.h"
#include "sim/recording.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace lumvex::sim {
namespace {

constexpr long kMaxFirmwareBytes = 116'000'464;  // the largest image the unit's loader takes
constexpr long kMaxCalibrationBytes = 16L << 20;
constexpr int kAssignedLeds = 12;
constexpr int kGoldenValues = 54;

bool argLong(const Request& r, size_t i, long& out) {
  if (i >= r.args.size() || r.args[i].empty()) return false;
  char* end = nullptr;
  out = std::strtol(r.args[i].c_str(), &end, 10);
  return *end == '\0';
}

bool contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

int family(const UnitState& u) { return DummyTypeFromText(u.prop("type", "WorldSID")); }
bool isLx2(const UnitState& u) { return contains(u.prop("firmware", "LX2 V8.0"), "LX2"); }

// The unit now uses side 0 (left) or 1 (right): DIRECTION and CAL_DATE follow.
void useSide(UnitState& u, int side) {
  u.props["side"] = side == 1 ? "RIGHT" : "LEFT";
  const std::string date = u.prop("caldate", "12-Mar-2024");
  u.props["caldate"] = u.prop(side == 1 ? "caldate.right" : "caldate.left", date);
}

// ---------------------------------------------------------------- firmware

int hexByte(std::string_view s, size_t at) {
  auto nib = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  if (at + 1 >= s.size()) return -1;
  const int hi = nib(s[at]), lo = nib(s[at + 1]);
  return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

// An S-record: "S", its type digit, the byte count, the address and data, and
// the ones' complement of the low byte of their sum.
bool validRecord(std::string_view line) {
  if (line.size() < 4 || line[0] != 'S' || line[1] < '0' || line[1] > '9') return false;
  const int count = hexByte(line, 2);
  if (count < 1 || line.size() != 4 + 2 * static_cast<size_t>(count)) return false;
  unsigned sum = static_cast<unsigned>(count);
  for (int k = 0; k < count - 1; ++k) {
    const int b = hexByte(line, 4 + 2 * static_cast<size_t>(k));
    if (b < 0) return false;
    sum += static_cast<unsigned>(b);
  }
  return hexByte(line, 2 + 2 * static_cast<size_t>(count)) == static_cast<int>(~sum & 0xFF);
}

bool endRecord(std::string_view line) {
  return line.size() >= 2 && line[0] == 'S' && (line[1] == '7' || line[1] == '8' || line[1] == '9');
}

struct TextLoad {
  std::string image;
  long lines = 0;
  long firstBad = 0;  // line number of the first bad record, 0 none
};

// Takes the text image line by line until its end record, then answers.
struct TextLines {
  std::shared_ptr<TextLoad> load;
  void operator()(Exchange& x, std::string_view line) const {
    if (line.empty()) return x.expectLine(*this);  // the LF of a CR LF read apart
    TextLoad& t = *load;
    ++t.lines;
    t.image.append(line);
    t.image.push_back('\n');
    if (t.firstBad == 0 && !validRecord(line)) t.firstBad = t.lines;
    if (!endRecord(line)) return x.expectLine(*this);
    UnitState& u = x.unit;
    u.firmwareImage = std::move(t.image);
    const std::string first = t.firstBad ? "Program load failed at line " + std::to_string(t.firstBad)
                                         : u.prop("loader.text-result", "Program file received OK");
    if (!contains(first, "failed")) ++u.firmwareLoads;
    std::string out = first + "\r\n";
    const int before = u.propInt("loader.done-after", 2);
    for (int k = 1; k <= before; ++k) out += "Programming flash, step " + std::to_string(k) + "\r\n";
    out += "LOADER_DONE\r\n";
    x.sendRaw(out);
  }
};

void loader(Exchange& x) {
  if (x.req.args.empty()) {
    // The older units' text loader.
    x.reply({"Start Sending Program File"});
    x.expectLine(TextLines{std::make_shared<TextLoad>()});
    return;
  }
  long n = 0;
  if (!argLong(x.req, 0, n) || n < 1 || n > kMaxFirmwareBytes) return x.reply({"BAD SIZE"});
  x.reply({"Send File"});
  x.expectBytes(static_cast<size_t>(n), [](Exchange& e, std::string_view data) {
    UnitState& u = e.unit;
    u.firmwareImage.assign(data);
    const std::string result = u.prop("loader.result", "OK");
    if (contains(result, "OK")) ++u.firmwareLoads;
    e.replyAs("LOADER", {result});
  });
}

// ---------------------------------------------------------------- calibration

void calLoad(Exchange& x) {
  const int side = x.req.name == "CALLOADRIGHT" ? 1 : 0;
  long n = 0, sum = 0;
  if (!argLong(x.req, 0, n) || !argLong(x.req, 1, sum) || n < 1 || n > kMaxCalibrationBytes)
    return x.reply({"BAD SIZE"});
  x.reply({"Send Cal Data"});
  x.expectBytes(static_cast<size_t>(n), [side, sum](Exchange& e, std::string_view data) {
    UnitState& u = e.unit;
    const int fam = family(u);
    const size_t want = fam == 5 || fam == 7
                            ? static_cast<size_t>(calLayout(calLayoutFor(fam, isLx2(u) ? 1 : 0)).floats) * 4
                            : 0;
    unsigned got = 0;
    for (char c : data) got += static_cast<unsigned char>(c);
    std::string result = data.size() != want                   ? "BAD SIZE"
                         : static_cast<long>(got % 256) != sum ? "BAD CHECKSUM"
                                                               : "OK";
    result = u.prop("calload.result", result);
    if (result == "OK") {
      u.sideCalibration[static_cast<size_t>(side)].assign(data);
      useSide(u, side);
    }
    e.replyAs("CALLOAD", {result});
  });
}

void setSideCal(Exchange& x) {
  long side = 0;
  if (!argLong(x.req, 0, side) || side < 0 || side > 1) return x.reply({"BAD"});
  const std::string result = x.unit.prop("sidecal.result", "OK");
  if (result == "OK") useSide(x.unit, static_cast<int>(side));
  x.reply({result});
}

// ---------------------------------------------------------------- LED assignment

std::vector<std::string> listItems(const std::string& s) {
  std::vector<std::string> out;
  std::stringstream in(s);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(item);
  out.resize(kAssignedLeds, "0");
  return out;
}

std::string joinList(const std::vector<std::string>& items) {
  std::string s;
  for (const auto& i : items) s += i + ",";
  return s;
}

// LED_RIB / LED_POSN: one LED's entry of the list SHOW_LEDRIB / SHOW_LEDPOSN sends.
void setAssignment(Exchange& x, const char* key, const char* fallback, const char* echoKey, long lo,
                   long hi) {
  long led = 0, value = 0;
  if (!argLong(x.req, 0, led) || !argLong(x.req, 1, value) || led < 1 || led > kAssignedLeds || value < lo ||
      value > hi)
    return x.reply({"BAD", "BAD"});
  std::vector<std::string> items = listItems(x.unit.prop(key, fallback));
  items[static_cast<size_t>(led - 1)] = std::to_string(value);
  x.unit.props[key] = joinList(items);
  x.reply({std::to_string(led), x.unit.prop(echoKey, std::to_string(value))});
}

constexpr char kRibFallback[] = "1,2,3,4,5,6,1,2,3,4,5,6,";
constexpr char kPosnFallback[] = "0,0,0,0,0,0,2,2,2,2,2,2,";

void save(Exchange& x) {
  UnitState& u = x.unit;
  u.props["leds.rib.saved"] = u.prop("leds.rib", kRibFallback);
  u.props["leds.posn.saved"] = u.prop("leds.posn", kPosnFallback);
  x.reply({"OK"});
}

// ---------------------------------------------------------------- references

// The references a laboratory recorded, unless some were stored: every LED
// at rest and working (an LED that reports an error code now did not then).
std::string references(UnitState& u) {
  if (auto it = u.props.find("golden"); it != u.props.end()) return it->second;
  const auto errors = u.props.find("leds.error");
  const std::string failing = errors == u.props.end() ? "" : errors->second;
  if (errors != u.props.end()) u.props.erase(errors);
  int n = 0;
  std::string list = CurrentPositionList(u, n);
  if (!failing.empty()) u.props["leds.error"] = failing;
  return list;
}

void getGolden(Exchange& x) {
  const int count = x.unit.propInt("golden.count", kGoldenValues);
  if (count < kGoldenValues) return x.reply({std::to_string(count), ""});
  x.reply({std::to_string(kGoldenValues), references(x.unit)});
}

void setGolden(Exchange& x) {
  const int error = x.unit.propInt("golden.store", 0);
  if (error == 0) {
    int n = 0;
    // The positions of this moment, breathing included.
    x.unit.props["golden"] = CurrentPositionList(x.unit, n, x.now);
  }
  x.reply({std::to_string(error)});
}

}  // namespace

std::shared_ptr<const std::vector<float>> LoadedCalibration(const UnitState& u, int floats) {
  const std::string& bytes = u.sideCalibration[u.prop("side", "LEFT") == "RIGHT" ? 1 : 0];
  if (floats <= 0 || bytes.size() != static_cast<size_t>(floats) * 4) return nullptr;
  auto image = std::make_shared<std::vector<float>>(static_cast<size_t>(floats));
  for (size_t i = 0; i < image->size(); ++i) {
    uint32_t w = 0;
    for (int b = 3; b >= 0; --b) w = (w << 8) | static_cast<uint8_t>(bytes[i * 4 + static_cast<size_t>(b)]);
    std::memcpy(&(*image)[i], &w, 4);
  }
  return image;
}

void RegisterMaintenanceCommands(CommandTable& t) {
  t.add("LOADER", loader);
  t.add("CALLOADLEFT", calLoad);
  t.add("CALLOADRIGHT", calLoad);
  t.add("SETSIDECAL", setSideCal);
  t.add("LED_RIB", [](Exchange& x) { setAssignment(x, "leds.rib", kRibFallback, "ledrib.echo", 1, 6); });
  t.add("LED_POSN", [](Exchange& x) { setAssignment(x, "leds.posn", kPosnFallback, "ledposn.echo", 0, 3); });
  t.add("SAVE", save);
  t.add("GETGOLDENPOSNS", getGolden);
  t.add("SETGOLDENPOSNS", setGolden);
}

}  // namespace lumvex::sim
