// Subcommands that search the local network for units, as the connection
// page's "Find Lumvexs" does: discover lists the units found, setip gives one
// of them a new address through the finder's "Change IP", nic stores the
// adaptor as the adaptor panel's "OK" does. None of them needs a unit link.
#include "cli/cli.h"
#include "core/config.h"
#include "core/nicfile.h"
#include "link/discovery.h"
#include "platform/udp.h"
#include "ui/finder_page.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace lumvex::cli {
namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;
constexpr size_t kMaxNicText = 15;  // characters NicToUse holds

// The network options every subcommand here takes, and setip's two addresses.
struct NetArgs {
  DiscoveryNetwork network;
  std::string nic;  // "" keeps NicToUse from "MultipleNICs.ini"
  std::string unit, newAddress;
};

// False with the reason in `error`. `addresses`: setip's --unit and --new.
bool parseNetArgs(const std::vector<std::string>& args, bool addresses, NetArgs& a, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& k = args[i];
    if (i + 1 >= args.size() || k.rfind("--", 0) != 0) {
      error = "bad argument: " + k;
      return false;
    }
    const std::string& v = args[++i];
    bool ok = true;
    if (k == "--nic") {
      ok = v == kDefaultNic || (IsDottedIPv4(v) && v.size() <= kMaxNicText);
      a.nic = v;
    } else if (addresses && k == "--unit") {
      a.unit = v;
    } else if (addresses && k == "--new") {
      a.newAddress = v;
    } else {
      ok = SetDiscoveryOption(a.network, std::string_view(k).substr(2), v);
    }
    if (!ok) {
      error = "bad argument: " + k + " " + v;
      return false;
    }
  }
  if (addresses && (a.unit.empty() || a.newAddress.empty())) {
    error = "--unit and --new are required";
    return false;
  }
  return true;
}

// The options take the place of the station's network for this run only:
// "MultipleNICs.ini" is not written.
void applyNetArgs(Station& st, const NetArgs& a) {
  st.discovery.network = a.network;
  if (a.nic.empty()) return;
  st.ini.NicToUse.fill('\0');
  std::memcpy(st.ini.NicToUse.data(), a.nic.data(), std::min(a.nic.size(), kMaxNicText));
}

bool parseOrTell(CliContext& c, bool addresses, NetArgs& a, const char* usage) {
  std::string error;
  if (parseNetArgs(c.opt.args, addresses, a, error)) return true;
  std::fprintf(stderr, "lumvex-cli: %s\nlumvex-cli: %s\n", error.c_str(), usage);
  return false;
}

void printText(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// What the adaptor panel shows: its text and the PC's addresses, one a line.
void printAdaptorPanel(const Model& m) {
  printText(m.text(Ctl::ADAPTOR_MSG));
  for (const Item& i : m[Ctl::ADAPTOR_LIST].items) std::printf("%s\n", i.label.c_str());
}

constexpr char kNetUsage[] =
    "[--broadcast ADDR] [--nic ADDR] [--query-port N] [--beacon-port N] [--change-port N] [--beacon-wait MS]";

int discover(CliContext& c) {
  NetArgs a;
  if (!parseOrTell(c, false, a, (std::string("discover ") + kNetUsage).c_str())) return kBadArguments;
  applyNetArgs(c.st, a);
  const int n = LISTEN_BUT(c.st);
  if (n <= 0) {
    printAdaptorPanel(c.st.model);
    return kFailed;
  }
  printText(c.st.model.text(Ctl::FINDER_MSG));
  for (int i = 0; i < n; ++i) {
    const FoundUnit& u = c.st.discovery.FoundUnits[i];
    std::printf("%s %02X %02X %s%s\n", u.Address.c_str(), u.Reply[28], u.Reply[29],
                u.FoundByBeacon ? "beacon" : "query", u.IdConflict ? " conflict" : "");
  }
  return 0;
}

int setip(CliContext& c) {
  NetArgs a;
  if (!parseOrTell(c, true, a, (std::string("setip --unit ADDR --new ADDR ") + kNetUsage).c_str()))
    return kBadArguments;
  Station& st = c.st;
  applyNetArgs(st, a);
  const int n = LISTEN_BUT(st);
  int selected = -1;
  for (int i = 0; i < n; ++i)
    if (st.discovery.FoundUnits[i].Address == a.unit) selected = i;
  if (selected < 0) {
    std::fprintf(stderr, "lumvex-cli: no unit at %s was found\n", a.unit.c_str());
    if (n > 0) std::fprintf(stderr, "%s", st.model.text(Ctl::FINDER_MSG).c_str());
    return kFailed;
  }
  st.model.setIndex(Ctl::FINDER_LIST, selected);
  st.model.setText(Ctl::FINDER_NEWIP, a.newAddress);
  if (FINDER__CHANGEIP(st) != kChangeSent) return kFailed;
  std::printf("%s -> %s\n", a.unit.c_str(), st.discovery.FoundUnits[selected].Address.c_str());
  return 0;
}

int nic(CliContext& c) {
  const auto& args = c.opt.args;
  if (args.size() != 1) {
    std::fprintf(stderr, "lumvex-cli: nic ADDR|Default\n");
    return kBadArguments;
  }
  Station& st = c.st;
  int r = 0;
  if (args[0] == kDefaultNic) {
    r = WriteNicFile(st, kDefaultNic);
  } else {
    // The choices the adaptor panel offers, chosen and stored by its "OK".
    MultiNIC(st);
    const auto& items = st.model[Ctl::ADAPTOR_LIST].items;
    const auto it =
        std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.label == args[0]; });
    if (it == items.end()) {
      std::fprintf(stderr, "lumvex-cli: %s is none of this PC's adaptors:\n", args[0].c_str());
      for (const Item& i : items) std::fprintf(stderr, "%s\n", i.label.c_str());
      return kFailed;
    }
    st.model.setIndex(Ctl::ADAPTOR_LIST, static_cast<int>(it - items.begin()));
    r = OKBUTTON(st);
  }
  if (r != 0) {
    std::fprintf(stderr, "lumvex-cli: MultipleNICs.ini could not be written\n");
    return kFailed;
  }
  return 0;
}

}  // namespace

void AddDiscoveryCommands(std::vector<CliCommand>& out) {
  out.push_back({"discover",
                 std::string("discover ") + kNetUsage +
                     "\n                    search the network for units and list them (exit 1: none found)",
                 discover, false});
  out.push_back({"setip",
                 std::string("setip --unit ADDR --new ADDR [network options of discover]\n") +
                     "                    search, then give the unit at ADDR the new address",
                 setip, false});
  out.push_back({"nic",
                 "nic ADDR|Default  remember the network adaptor the search runs on (MultipleNICs.ini)", nic,
                 false});
}

}  // namespace lumvex::cli
