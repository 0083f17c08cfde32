#include "ui/finder_page.h"

#include "core/nicfile.h"
#include "link/discovery.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace lumvex {
namespace {

constexpr char kFindCaption[] = "Find Lumvexs";
constexpr char kFindingCaption[] = "Finding Lumvexs, Please Wait\n this may take 15 seconds";

std::string nicToUse(const Station& st) {
  return std::string(st.ini.NicToUse.data(), strnlen(st.ini.NicToUse.data(), st.ini.NicToUse.size()));
}

void showFinder(Station& st) {
  Model& m = st.model;
  const DiscoveryState& d = st.discovery;
  std::vector<Item> items;
  for (int i = 0; i < std::clamp(d.FoundCount, 0, MaxFoundUnits); ++i)
    items.push_back({d.FoundUnits[i].Address, d.FoundUnits[i].Address});
  m.setText(Ctl::FINDER_MSG, FinderMessage(d));
  m.setItems(Ctl::FINDER_LIST, std::move(items), 0);
  m.setText(Ctl::FINDER_NEWIP, NewAddressPreset(d));
  m.setPanelVisible(Panel::Finder, true);
}

}  // namespace

int findLumvex(Station& st) {
  Model& m = st.model;
  if (st.ini.WidgetType == 0) {
    m.setLabel(Ctl::LISTEN, kFindingCaption);
    m.setTextColour(Ctl::LISTEN, colour::Red);
    st.ui->processEvents();  // the caption is drawn before the reads hold the screen
  }
  const int n = SearchForUnits(st);
  if (n == 0)
    MultiNIC(st);
  else
    showFinder(st);
  m.setLabel(Ctl::LISTEN, kFindCaption);
  m.setTextColour(Ctl::LISTEN, colour::Black);
  return n;
}

int LISTEN_BUT(Station& st) {
  // The button stays enabled so that its red caption shows; a press that
  // arrives during the search is dropped here instead.
  DiscoveryState& d = st.discovery;
  if (d.busy) return -1;
  d.busy = true;
  const int n = findLumvex(st);
  d.busy = false;
  return n;
}

void MultiNIC(Station& st) {
  Model& m = st.model;
  const std::vector<std::string> addresses = AdaptorAddresses();
  std::vector<Item> items;
  for (size_t i = 0; i < addresses.size(); ++i) items.push_back({addresses[i], std::to_string(i)});
  m.setItems(Ctl::ADAPTOR_LIST, std::move(items), 0);
  m.setText(Ctl::ADAPTOR_MSG, AdaptorPanelText(nicToUse(st)));
  m.setPanelVisible(Panel::Adaptor, true);
}

void AddFoundAddresses(Station& st) {
  const DiscoveryState& d = st.discovery;
  Control& list = st.model.edit(Ctl::IPSELECT);
  bool added = false;
  for (int i = 0; i < std::clamp(d.FoundCount, 0, MaxFoundUnits); ++i) {
    const std::string& address = d.FoundUnits[i].Address;
    if (std::any_of(list.items.begin(), list.items.end(),
                    [&](const Item& it) { return it.value == address; }))
      continue;
    const int at = std::min(i, static_cast<int>(list.items.size()));
    list.items.insert(list.items.begin() + at, {address, address});
    // The chosen entry stays chosen when one is put in before it.
    if (list.index < 0)
      list.index = 0;
    else if (list.index >= at)
      ++list.index;
    added = true;
  }
  if (added) st.model.changed(Ctl::IPSELECT);
}

int FINDER__CHANGEIP(Station& st) {
  // A second press queued behind the first would send the change again and
  // nest a second restart wait inside the first.
  DiscoveryState& d = st.discovery;
  if (d.busy) return kChangeRefused;
  Model& m = st.model;
  d.busy = true;
  const int r = ChangeUnitAddress(st, m.index(Ctl::FINDER_LIST), m.text(Ctl::FINDER_NEWIP));
  d.busy = false;
  if (r < 0) return r;
  AddFoundAddresses(st);
  m.setPanelVisible(Panel::Finder, false);
  return r;
}

void FINDER_OK(Station& st) {
  AddFoundAddresses(st);
  st.model.setPanelVisible(Panel::Finder, false);
}

int OKBUTTON(Station& st) {
  // An empty list (no adaptor up) chooses nothing: an empty "NIC To Use"
  // would only be reported as a broken file at the next start.
  int r = -1;
  if (st.model.index(Ctl::ADAPTOR_LIST) >= 0) r = WriteNicFile(st, st.model.itemLabel(Ctl::ADAPTOR_LIST));
  st.model.setPanelVisible(Panel::Adaptor, false);
  return r;
}

}  // namespace lumvex
