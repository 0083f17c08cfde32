// The simulated unit's command sets. Each command file registers its
// handlers with one function; DefaultCommands() calls them all, in the order
// listed in sim/commands.cpp (a later registration replaces an earlier
// handler of the same name).
#pragma once

#include "sim/unit.h"

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

}  // namespace lumvex::sim
