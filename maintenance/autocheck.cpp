#include "maintenance/autocheck.h"

#include "core/ini.h"
#include "link/link.h"
#include "link/positions.h"
#include "link/query.h"
#include "link/status.h"
#include "platform/paths.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace lumvex {
namespace {

constexpr char kSection[] = "Error Limits";
constexpr size_t kGoldenFieldCapacity = 1023;  // characters of the references' field
constexpr const char* kLimitKeys[3] = {"Xerror", "Yerror", "Zerror"};
constexpr char kUnreadable[] =
    "Error reading initialization file,\r Check AutoPosnCheck.ini in Lumvex program directory \r Aborting";

std::string keyFailure(const char* key) {
  return std::string(
             "Error reading initialization file\rCheck AutoPosnCheck.ini in Lumvex program directory \r") +
         "Error in section = Error Limits, variable = " + key +
         "\r\r Check for blank or bad entries in the initialization file\r\r" + "Aborting";
}

std::string iniPath(const Station& st) { return pathJoin(st.workDir, kAutoCheckIniName); }

}  // namespace

bool AutoCheckOn(const SessionState& s, bool switchedOn) {
  return switchedOn && s.IsLX2 != 0 && isWorldSid(s.DummyType);
}

int ReadAutoCheckIni(Station& st) {
  IniHandle ini = Ini_New(1);
  if (!ini || Ini_ReadFromFile(*ini, iniPath(st)) < 0) {
    st.ui->message("Error Reading Initialization File", kUnreadable);
    return -1;
  }
  std::array<int, 3> limits{};
  for (int k = 0; k < 3; ++k) {
    if (Ini_GetInt(*ini, kSection, kLimitKeys[k], &limits[static_cast<size_t>(k)]) < 1) {
      Ini_Dispose(ini);
      st.ui->message("Error Reading Initialization File", keyFailure(kLimitKeys[k]));
      return -1;
    }
  }
  Ini_Dispose(ini);
  st.AutoCheckLimits = limits;
  return 0;
}

int WriteAutoCheckIni(Station& st) {
  IniHandle ini = Ini_New(0);
  if (!ini) {
    st.ui->message("Error Writing Initialization File", kUnreadable);
    return -1;
  }
  for (int k = 0; k < 3; ++k) {
    if (Ini_PutInt(*ini, kSection, kLimitKeys[k], st.AutoCheckLimits[static_cast<size_t>(k)]) < 0) {
      Ini_Dispose(ini);
      st.ui->message("Error writing Initialization File", keyFailure(kLimitKeys[k]));
      return -1;
    }
  }
  const int written = Ini_WriteToFile(*ini, iniPath(st));
  Ini_Dispose(ini);
  if (written < 0) {
    st.ui->message("Error Writing Initialization File", kUnreadable);
    return -1;
  }
  return 0;
}

int GetGoldenPosns(Station& st, int& count, double* values) {
  std::fill(values, values + kAutoCheckValues, 0.0);
  count = 0;
  SetLinkTimeout(st, kGoldenTimeoutMs);
  // 54 numbers do not fit an ordinary 255-character field; with three
  // decimals and a sign they fill about 500.
  Exchange x = Ask(st, "GETGOLDENPOSNS#79\r\n", "GETGOLDENPOSNS", kGoldenFieldCapacity);
  int rc = -1;
  if (x.reply == Reply::Bad) {
    st.ui->message("COMM ERROR", "Comm Error getting current positions");
  } else if (x.ok()) {
    count = FieldInt(x.first);
    if (count < kAutoCheckValues) {
      if (count == 1)
        st.ui->message("CRC ERROR", "CRC Error getting Golden LED positions, creating new file");
      else
        st.ui->message("File ERROR", "File not found error getting Golden LED positions, creating new file");
      rc = 1;
    } else {
      ReadNumberList(x.second, values, kAutoCheckValues);
      rc = 0;
    }
  }
  SetLinkTimeout(st, kRestingTimeoutMs);
  return rc;
}

int SetGoldenPosns(Station& st) {
  SetLinkTimeout(st, kGoldenTimeoutMs);
  Exchange x = Ask(st, "SETGOLDENPOSNS#91\r\n", "SETGOLDENPOSNS");
  SetLinkTimeout(st, kRestingTimeoutMs);
  // Nothing was stored when the exchange failed; the transport has said so.
  if (x.reply == Reply::LinkFailed) return -1;
  if (x.reply == Reply::Bad) {
    st.ui->message("COMM ERROR", "Comm Error setting golden positions");
    return -1;
  }
  if (FieldInt(x.first) != 0) {
    st.ui->message("file ERROR", "File Error Storing Golden LED positions");
    return 1;
  }
  return 0;
}

int CompareWithReferences(const double* current, const double* reference, const std::array<int, 3>& limits,
                          bool* outOfLimits) {
  int count = 0;
  for (int i = 0; i < kAutoCheckValues; ++i) {
    // Magnitudes: a coordinate that changed sign with the side is no deviation.
    const double deviation = std::fabs(std::fabs(current[i]) - std::fabs(reference[i]));
    outOfLimits[i] = deviation > limits[static_cast<size_t>(i % 3)];
    if (outOfLimits[i]) ++count;
  }
  return count;
}

int checkPosnsForAutoCheck(Station& st, AutoCheckTables& t) {
  const int s = CheckStatus(st);
  if (s == StatusReady || s == StatusDataHeld) {
    std::array<double, kMaxPointValues> p{};
    int count = 0;
    // A failed read (told to the operator) leaves the table as it was.
    if (getPoints(st, count, p.data()) == 0) std::copy(p.begin(), p.end(), t.current.begin());
  }
  return CompareWithReferences(t.current.data(), t.reference.data(), st.AutoCheckLimits,
                               t.outOfLimits.data());
}

int InitAutocheck(Station& st, AutoCheckTables& t) {
  ReadAutoCheckIni(st);
  int count = 0;
  return GetGoldenPosns(st, count, t.reference.data());
}

int UpdateGoldens(Station& st, AutoCheckTables& t) {
  if (!st.ui->confirm(
          "LED Position Update Request",
          "Are you sure you want to change the recorded positions in the Lumvex?\r\n This should only "
          "be done in the ATD Lab\r\nPress NO to cancel"))
    return 2;
  if (st.ui->twoButton("LED Position Update second check",
                       "Are you really really sure you want to change the recorded positions in the Lumvex?",
                       "No", "Yes") != 2)
    return 2;
  const int stored = SetGoldenPosns(st);
  int count = 0;
  GetGoldenPosns(st, count, t.reference.data());
  t.outOfLimits.fill(false);
  return stored;
}

bool AutoCheckBeforeArm(Station& st, AutoCheckTables& t) {
  if (checkPosnsForAutoCheck(st, t) == 0) return true;
  return st.ui->confirm("LED errors detected!",
                        " There are LEDs are reporting position errors or error codes \r\n"
                        "Click YES to continue to ARM\r\n"
                        "Click NO to STOP and look at the LED Position Auto Check tab to see which LEDs are "
                        "reporting errors");
}

}  // namespace lumvex
