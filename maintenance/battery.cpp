#include "maintenance/battery.h"

#include "link/query.h"

namespace lumvex {
namespace {

constexpr char kBatteryError[] = "BATTERY ERROR";
constexpr char kNotFound[] =
    "Battery was not Found!\r\n Check that battery cable is plugged in\r\n or battery might be completely "
    "discharged\r\n click Check Batt to recheck";
constexpr char kCommErrors[] =
    "Battery repeated communication error\r\n Check the battey cable \r\n click Check "
    "Batt to recheck";
constexpr char kGaugeReset[] =
    "Fuel Gage Chip has been Reset, Charge Level is Unknown\r\n"
    "Fully charge the battery and then click on Fully charged\" button below\r\n"
    "You can continue without fixing the fuel gage with the \"Continue\" button below \r\n"
    "IF you disconnect you will come back to this screen next time you connect\r\n";

// Battery commands get a second try.
template <typename Fn>
int twice(Fn fn) {
  int r = fn();
  return r == -1 ? fn() : r;
}

void showReading(Model& m, int charge, double volts) {
  m.setNumber(Ctl::BATT_FUEL, charge);
  m.setNumber(Ctl::BATT_VOLTS, volts);
  m.setDimmed(Ctl::BATT_FUEL, false);
  m.setDimmed(Ctl::BATT_VOLTS, false);
}

}  // namespace

int GetBattInfo(Station& st, int& charge, double& volts) {
  Exchange x = Ask(st, "GETBATINFO#6\r\n", "GETBATINFO");
  if (x.reply == Reply::Bad) {
    st.ui->message("COMM ERROR", "in get battery info");
    return -1;
  }
  charge = FieldInt(x.first);
  double v = 0;
  size_t pos = 0;
  volts = FieldDouble(x.second, pos, v) ? v : 0;
  return 0;
}

int BattSetFullCharge(Station& st) {
  Exchange x = Ask(st, "BATTSETFULL#109\r\n", "BATTSETFULL");
  if (x.reply == Reply::Bad) {
    st.ui->message("COMM ERROR", "Communnication Error setting battery to full charge");
    return -1;
  }
  if (x.ok() && Contains(x.first, "OK")) return 0;
  st.ui->message("ERROR", "Unknown Error setting battery to full charge");
  return -1;
}

int DoBattery(Station& st) {
  Model& m = st.model;
  for (Ctl c : {Ctl::BATT_FUEL, Ctl::CHECK_BATT, Ctl::BATT_VOLTS, Ctl::BATT_SPLITTER}) m.setVisible(c, true);
  m.setDimmed(Ctl::BATT_FUEL, true);
  m.setDimmed(Ctl::BATT_VOLTS, true);
  m.setNumber(Ctl::BATT_FUEL, 0);
  m.setNumber(Ctl::BATT_VOLTS, 0);
  m.setDimmed(Ctl::CHECK_BATT, false);

  int charge = 0;
  double volts = 0;
  if (twice([&] { return GetBattInfo(st, charge, volts); }) == -1) return 0;
  if (charge >= 0) {
    showReading(m, charge, volts);
    return charge;
  }
  if (charge == kBatteryNotFound || charge == kBatteryCommErrors) {
    st.ui->message(kBatteryError, charge == kBatteryNotFound ? kNotFound : kCommErrors);
    return charge;
  }
  if (charge != kBatteryGaugeReset) return charge;

  if (st.ui->twoButton(kBatteryError, kGaugeReset, "Fully Charged", "Continue without Battery Data") == 2)
    return kBatteryGaugeReset;
  if (twice([&] { return BattSetFullCharge(st); }) == -1) return 0;
  if (twice([&] { return GetBattInfo(st, charge, volts); }) == 0 && charge >= 0)
    showReading(m, charge, volts);
  return charge;
}

int ResetFuelGauge(Station& st) {
  return twice([&] { return BattSetFullCharge(st); });
}

}  // namespace lumvex
