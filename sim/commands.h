// The simulated unit's command sets. Each command file registers its
// handlers with one function; DefaultCommands() calls them all, in the order
// listed in sim/commands.cpp (a later registration replaces an earlier
// handler of the same name).
#pragma once

#include "sim/unit.h"

#include <memory>
#include <string>
#include <vector>

namespace lumvex::sim {

// Every command the simulated unit answers.
CommandTable DefaultCommands();

// S, ARM, D, T, ERASE, E (sim/commands_status.cpp).
void RegisterStatusCommands(CommandTable& t);
// Identity, settings, battery, positions, LED assignment, NOR flash
// (sim/commands_info.cpp).
void RegisterInfoCommands(CommandTable& t);

// DUMPBINA, RAWDUMP (sim/commands_download.cpp).
void RegisterDownloadCommands(CommandTable& t);

// Inputs and outputs, LED A/D readings, temperatures, memory and SD card
// tests, trigger-input check, manual-arm input (sim/commands_diag.cpp).
void RegisterDiagCommands(CommandTable& t);
// LOADER, CALLOADLEFT, CALLOADRIGHT, SETSIDECAL, LED_RIB,
// LED_POSN, SAVE, GETGOLDENPOSNS, SETGOLDENPOSNS (sim/commands_maintenance.cpp).
void RegisterMaintenanceCommands(CommandTable& t);

// The current positions as CURRENT_POSITIONS sends them ("%.2f," each) and
// their count (sim/commands_info.cpp).
std::string CurrentPositionList(const UnitState& u, int& count, Clock::time_point now = {});
// The calibration the unit uses on its present side when one was loaded and
// it has the layout's `floats` floats; null otherwise (the unit's own).
std::shared_ptr<const std::vector<float>> LoadedCalibration(const UnitState& u, int floats);

}  // namespace lumvex::sim
