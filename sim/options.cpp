#include "sim/options.h"

#include <cstdlib>
#include <cstring>

namespace lumvex::sim {
namespace {

bool toInt(const char* s, int& v) {
  if (!s || !*s) return false;
  char* end = nullptr;
  long x = std::strtol(s, &end, 10);
  if (*end != '\0' || x < -1000000000L || x > 1000000000L) return false;
  v = static_cast<int>(x);
  return true;
}

}  // namespace

const char* SimUsage() {
  return "Usage: lumvex-sim [options]\n\n"
         "A simulated measurement unit for the station. It answers the command lines of\n"
         "the unit's protocol over TCP (loopback by default) and/or a pseudo-terminal.\n"
         "\n"
         "Endpoints\n"
         "  --port N            TCP port (default 3000; 0 = any free port, printed)\n"
         "  --bind ADDR         address to listen on (default 127.0.0.1)\n"
         "  --no-tcp            no TCP listener\n"
         "  --pty               also open a pseudo-terminal; its path is printed\n"
         "                      (map it for the station: LUMVEX_SERIAL_PORTS=COM1=PATH)\n"
         "  --write-calibration DIR  write the unit's two calibration files\n"
         "                      (SN<serial>_<caldate>_Left Side_cal.bin, ..._Right Side_...)\n"
         "                      for its type and firmware into DIR (caldate.left and\n"
         "                      caldate.right name their side's file), then exit\n"
         "\n"
         "Recording state\n"
         "  --state N           start in status N: 0 ready, 1 armed, 2 storing, 3 holding data\n"
         "  --post-ms MS        post-trigger time when starting in 1 or 2 (default 1000)\n"
         "  --store-ms MS       time to store after the post-trigger time (default 200)\n"
         "  --erase-ms MS       time an erase takes (default 4000; E reports 64 sectors)\n"
         "  --erase-result N    sectors that fail to erase (default 0)\n"
         "  --arm-after MS      arm by the unit's own input MS after start\n"
         "  --trigger-after MS  trigger by the unit's own input MS after every arm\n"
         "  --set KEY=VALUE     unit property read by command handlers\n"
         "\n"
         "Unit properties (--set KEY=VALUE; defaults in brackets)\n"
         "  type=TEXT           unit type text [WorldSID]; e.g. Polar, \"Hybrid III 5th\",\n"
         "                      \"Hybrid III 50th\", \"Hybrid III 50th ADJ\", \"Hybrid III 50th 3D\",\n"
         "                      SIDIIs, Ballistic, WorldSID, \"WorldSID Female\" (any text holding\n"
         "                      \"50th\" is a Hybrid III 50th, so a WorldSID 50th reports WorldSID)\n"
         "  serial=TEXT [150]   firmware=TEXT [LX2 V8.0] (LX2 in it: an LX2 unit)\n"
         "  caldate=TEXT, caldate.left=TEXT, caldate.right=TEXT  calibration dates\n"
         "  config.flags=N [32] configuration word at byte 56 (0x20: differential trigger)\n"
         "  config.bytes=N [256] bytes the configuration block sends (255 to fail it)\n"
         "  side=LEFT|RIGHT     impact side [LEFT]\n"
         "  trigger=N [0]       trigger code reported (any integer, also invalid ones)\n"
         "  arm.refuse=stop|post|stop,post  ARM answers BAD for those times; unasked,\n"
         "                      ARM refuses post-trigger times from 25000 ms (WorldSID),\n"
         "                      180000 ms (LX2 WorldSID) or 30000 ms (others), stop times\n"
         "                      above the same limit or of 1..9 ms, and any arm while a\n"
         "                      recording is held (NOT ERASED)\n"
         "  trigger.refuse=1, settime.refuse=1, comment.refuse=1, battery.refuse=1\n"
         "                      refuse TRIGGERSET, SETTIME, SETTESTCOMMENT, BATTSETFULL\n"
         "  triggercheck=0      the unit does not know the trigger test\n"
         "  comment=TEXT        test comment held by the unit\n"
         "  window.start=MS [-1000], window.stop=MS [post-trigger]  recorded window\n"
         "  download.badsum=N   corrupt the sum byte of download record N (0-based)\n"
         "  download.pace=MS    send download records in 4 kB pieces MS ms apart (a slow line)\n"
         "  battery.charge=N [87] (-1 not found, -2 gauge reset, -3 comm errors),\n"
         "  battery.volts=V [12.6], battery.full=N [100] charge after a gauge reset\n"
         "  leds.error=LIST     LEDs (1-based, comma-separated) reporting error code 9\n"
         "  leds.rib=LIST, leds.posn=LIST  LED assignment of the adjustable 50th; LED_RIB\n"
         "                      and LED_POSN change it (rib 1-6, position 0-3, else BAD)\n"
         "  ledrib.echo=N, ledposn.echo=N  LED_RIB / LED_POSN echo N instead of the value set\n"
         "  leds.rib.saved, leds.posn.saved  the assignment the last SAVE kept (read-only)\n"
         "  positions.breath=MM [0.5] the current positions move to and fro by MM (0: still;\n"
         "                      a simulator started in-process by a test is still unless set)\n"
         "  positions.period=MS [4000]  time of one such breath\n"
         "\n"
         "Diagnostics (unit properties; the I/O check, hardware tests and trigger test)\n"
         "  io.rev=D|BC         hardware generation [D for a WorldSID unit above serial 100,\n"
         "                      else BC]; the outputs come back on the inputs at the\n"
         "                      generation's bits: Trigger Out -> Trigger In, Arm Out -> Arm In,\n"
         "                      Other Out -> Other In, Battery Control -> Charge On (Rev D);\n"
         "                      Rev D's SETOUTPUTS writes the whole word, Rev B/C's sets bits\n"
         "                      and CLEAROUTPUTS clears them\n"
         "  io.set=MASK, io.clear=MASK  input bits forced on / off, a stuck line (0x.. or decimal)\n"
         "  io.vext=0           an LX2 unit reports no external supply (Vext OK lamp off)\n"
         "  leds.dark=N [60]    A/D reading of an unlit or disabled sensor; a lit one adds\n"
         "                      up to 0.9 x the drive level, most on the sensor nearest the LED\n"
         "                      (channel B and blue readings less), at most 4095\n"
         "  temperature=TEXT    TEMPERATURES text of an LX2 unit [Board 31.5 C  CPU 38.2 C]\n"
         "  ram.ms=MS [200], flash.ms=MS [400], sd.ms=MS [200]  time each test takes\n"
         "  ram.fail=ADDR       the RAM test fails at ADDR (0x.. or decimal) [0: passes]\n"
         "  flash.fail=ADDR     the flash test fails at ADDR (0 too) [unset: passes]\n"
         "  sd.code=N [0]       SD card test result: 1 status check, 2 block erase,\n"
         "                      3 block write, 4 block read failed\n"
         "  triggercheck.after=MS [3000]  the trigger check sees a trigger MS after\n"
         "                      ARMTRIGGER (-1: only on demand); Trigger Out on also triggers it\n"
         "  triggercheck.pulse=1  a trigger now (taken by the next check while armed)\n"
         "  MANARMENABLE#N# is answered OK and kept as manarm=N\n"
         "\n"
         "Maintenance (uploads, side, references)\n"
         "  LOADER#N#           an LX2 firmware image of N bytes (1 to 116000464, else\n"
         "                      BAD SIZE): answers \"Send File\", takes N bytes, then\n"
         "  loader.result=TEXT  answers LOADER with TEXT [OK] (without OK: not loaded)\n"
         "  LOADER#             a text image: answers \"Start Sending Program File\", takes\n"
         "                      S-record lines up to the S7/S8/S9 end record, then sends\n"
         "  loader.text-result=TEXT  this line [Program file received OK] (a bad record:\n"
         "                      \"Program load failed at line N\"), then\n"
         "  loader.done-after=N [2] progress lines, then \"LOADER_DONE\"\n"
         "  CALLOADLEFT#N#SUM#, CALLOADRIGHT#N#SUM#  a calibration of N bytes: the count\n"
         "                      must be the layout's (2447480 WorldSID, 1711072 WorldSID\n"
         "                      Female) and SUM their byte sum mod 256, else CALLOAD\n"
         "                      answers BAD SIZE / BAD CHECKSUM; on OK the unit keeps it\n"
         "                      for that side, moves to that side and reports its date\n"
         "                      (caldate.left / caldate.right), and raw recordings\n"
         "                      follow the loaded calibration\n"
         "  calload.result=TEXT CALLOAD answers TEXT whatever the check found\n"
         "  sidecal.result=OK|BAD|BAD2|TEXT  SETSIDECAL's answer [OK: side and date follow]\n"
         "  golden=LIST         reference positions, 54 numbers [the resting positions, every\n"
         "                      LED working]; SETGOLDENPOSNS stores the current positions here\n"
         "  golden.count=N      GETGOLDENPOSNS count [54] (1 CRC error, 0 no file)\n"
         "  golden.store=N      SETGOLDENPOSNS answer [0] (non-zero: file error)\n"
         "\n"
         "Fault injection (--fault may be repeated)\n"
         "  --fault KIND[=COMMAND][@N][*COUNT][:VALUE]\n"
         "      COMMAND  the command name it applies to (default: any)\n"
         "      @N       from the Nth matching command on (default 1)\n"
         "      *COUNT   for COUNT matching commands (default 1; 0 = every one)\n"
         "    drop-at         close the connection instead of answering\n"
         "    drop-bytes:N    close after N more bytes have been sent (mid-reply)\n"
         "    stall[:MS]      hold the reply MS ms (default: never send it)\n"
         "    corrupt         reply checksum off by one\n"
         "    wrong-name      reply under another name (\"s\" for \"S\")\n"
         "    extra-fields    reply with three data fields\n"
         "    long-line[:N]   reply padded to N bytes (default 3000)\n"
         "  examples: --fault stall=S@3:5000  --fault drop-at=S@2  --fault corrupt=S*0\n"
         "\n"
         "Network discovery (UDP)\n"
         "  --discovery         answer the station's search: the 4-byte query (30 bytes\n"
         "                      back, bytes 28-29 the identification bytes) and the setup\n"
         "                      query (124 bytes, \"Lumvex\" at bytes 52-57), from the --bind\n"
         "                      address; take a new address by the 20-byte change for the\n"
         "                      identification bytes (query port) or the 63-byte change of\n"
         "                      a beacon unit (change port), then restart: silent for\n"
         "                      --restart-ms, then TCP and UDP at the new address (on\n"
         "                      loopback every 127.x.y.z address is the PC's own)\n"
         "  --udp-listen ADDR   address whose datagrams it hears (default 0.0.0.0); beside a\n"
         "                      station on the same PC use 127.255.255.255 and give the\n"
         "                      station that broadcast address\n"
         "  --query-port N      query port (default 30718)\n"
         "  --beacon-port N     port beacons go to (default 1020)\n"
         "  --change-port N     port of the 63-byte change (default 9999)\n"
         "  --beacon-to ADDR    address beacons go to (default 255.255.255.255)\n"
         "  --net-id HH:HH      identification bytes (default 4C:58)\n"
         "  --net-mode MODE     unit (default): both queries, marked \"Lumvex\"\n"
         "                      foreign: both queries without the mark (another device)\n"
         "                      query-only: the query only, no setup reply\n"
         "                      beacon-only: no query answers; beacons, 63-byte change\n"
         "  --beacon-ms MS      send a beacon every MS ms (beacon-only: default 1000)\n"
         "  --restart-ms MS     silent time after a new address (default 2000)\n"
         "\n"
         "  --verbose           print every line received (>) and sent (<)\n"
         "  --help              this text\n"
         "  --version           the program's version\n"
         "Runs until interrupted (Ctrl-C or SIGTERM).\n";
}

bool ParseSimOptions(int argc, const char* const* argv, SimOptions& o, std::string& error) {
  // The program's unit breathes, so that the live display visibly lives.
  o.unit.props.emplace("positions.breath", "0.5");
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char*& v) {
      if (i + 1 >= argc) {
        error = a + " needs a value";
        return false;
      }
      v = argv[++i];
      return true;
    };
    auto intValue = [&](int& v, int lo, int hi) {
      const char* s = nullptr;
      if (!value(s)) return false;
      if (!toInt(s, v) || v < lo || v > hi) {
        error = a + ": bad value " + s;
        return false;
      }
      return true;
    };
    const char* s = nullptr;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--port") {
      if (!intValue(o.port, 0, 65535)) return false;
    } else if (a == "--bind") {
      if (!value(s)) return false;
      o.bind = s;
    } else if (a == "--no-tcp") {
      o.tcp = false;
    } else if (a == "--write-calibration") {
      if (!value(s)) return false;
      o.writeCalibration = s;
    } else if (a == "--pty") {
      o.pty = true;
    } else if (a == "--verbose") {
      o.verbose = true;
    } else if (a == "--state") {
      if (!intValue(o.startState, 0, 3)) return false;
    } else if (a == "--post-ms") {
      if (!intValue(o.unit.postTriggerMs, 1, 1000000)) return false;
    } else if (a == "--store-ms") {
      if (!intValue(o.unit.storeMs, 0, 1000000)) return false;
    } else if (a == "--erase-ms") {
      if (!intValue(o.unit.eraseMs, 0, 1000000)) return false;
    } else if (a == "--erase-result") {
      if (!intValue(o.unit.eraseResult, 0, 1000000)) return false;
    } else if (a == "--arm-after") {
      if (!intValue(o.armAfterMs, 0, 100000000)) return false;
    } else if (a == "--trigger-after") {
      if (!intValue(o.unit.triggerByInputAfterMs, 0, 100000000)) return false;
    } else if (a == "--discovery") {
      o.discovery = true;
    } else if (a == "--udp-listen") {
      if (!value(s)) return false;
      o.net.listen = s;
    } else if (a == "--beacon-to") {
      if (!value(s)) return false;
      o.net.beaconTo = s;
    } else if (a == "--query-port") {
      if (!intValue(o.net.queryPort, 1, 65535)) return false;
    } else if (a == "--beacon-port") {
      if (!intValue(o.net.beaconPort, 1, 65535)) return false;
    } else if (a == "--change-port") {
      if (!intValue(o.net.changePort, 1, 65535)) return false;
    } else if (a == "--beacon-ms") {
      if (!intValue(o.net.beaconMs, 0, 100000000)) return false;
    } else if (a == "--restart-ms") {
      if (!intValue(o.net.restartMs, 0, 100000000)) return false;
    } else if (a == "--net-id") {
      if (!value(s)) return false;
      if (!ParseNetId(s, o.net.id)) {
        error = "--net-id needs two hex bytes (4C:58)";
        return false;
      }
    } else if (a == "--net-mode") {
      if (!value(s)) return false;
      if (!ParseNetMode(s, o.net.mode)) {
        error = std::string("--net-mode: unknown mode ") + s;
        return false;
      }
    } else if (a == "--set") {
      if (!value(s)) return false;
      const char* eq = std::strchr(s, '=');
      if (!eq || eq == s) {
        error = "--set needs KEY=VALUE";
        return false;
      }
      o.unit.props[std::string(s, eq)] = eq + 1;
    } else if (a == "--fault") {
      if (!value(s)) return false;
      FaultRule r;
      if (!ParseFault(s, r, &error)) return false;
      o.faults.push_back(r);
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  // Asking for help or for the calibration files serves nothing.
  if (o.help || o.version || !o.writeCalibration.empty()) return true;
  o.net.address = o.bind;
  if (!o.tcp && !o.pty && !o.discovery) {
    error = "--no-tcp without --pty or --discovery leaves nothing to serve";
    return false;
  }
  return true;
}

void ApplySimOptions(const SimOptions& o, Simulator& sim) {
  sim.withUnit([&](UnitState& u) {
    u = o.unit;
    auto now = Clock::now();
    u.status = o.startState;
    u.armedAt = now;
    u.triggeredAt = now;
  });
  if (o.armAfterMs >= 0) sim.armByInputAfter(o.armAfterMs);
  for (const auto& f : o.faults) sim.addFault(f);
}

}  // namespace lumvex::sim
