// lumvex-cli, the headless station: global options, the subcommand table and
// the helpers subcommands share. Each subcommand file adds its entries with
// one function listed in cli/commands.cpp; a subcommand runs the station's
// own operations on the control model, answering questions from the options.
#pragma once

#include "core/station.h"
#include "cli/console_operator.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex::cli {

struct CliOptions {
  std::string host;     // --host ADDR[:PORT]
  std::string serial;   // --serial COMn
  std::string workDir;  // --workdir DIR ("" = the usual choice, core/workdir.h)
  bool port1066 = false;
  bool yes = false;               // --yes: answer questions Yes / Continue
  bool timings = false;           // --timings: phase durations to stderr at the end
  int timeoutMs = 0;              // --timeout MS: resting link time-out (0 = the usual 2000 ms)
  std::string command;            // subcommand name
  std::vector<std::string> args;  // its arguments
};

struct CliContext {
  Station& st;
  ConsoleOperator& op;
  const CliOptions& opt;
};

struct CliCommand {
  std::string name;
  std::string usage;                    // one line for --help
  std::function<int(CliContext&)> run;  // exit status
  bool needsUnit = true;                // --host or --serial must be given
};

// Every subcommand, in the order --help lists them.
std::vector<CliCommand> AllCliCommands();
// status (cli/session_commands.cpp).
void AddSessionCommands(std::vector<CliCommand>& out);
// info, settrigger, comment, arm, disarm, trigger, erase, positions
// (cli/drive_commands.cpp).
void AddDriveCommands(std::vector<CliCommand>& out);
// download, rawdump (cli/download_commands.cpp).
void AddDownloadCommands(std::vector<CliCommand>& out);
// read, convert: saved files, no unit (cli/file_commands.cpp).
void AddFileCommands(std::vector<CliCommand>& out);
// plot: a saved file drawn as an image, in builds with the Qt front end
// (cli/plot_command.cpp).
void AddPlotCommands(std::vector<CliCommand>& out);
// discover, setip, nic (cli/discovery_commands.cpp).
void AddDiscoveryCommands(std::vector<CliCommand>& out);
// firmware, side, leds, autocheck (cli/maintenance_commands.cpp).
void AddMaintenanceCommands(std::vector<CliCommand>& out);
// diag, io, trigger-test, live (cli/diag_commands.cpp).
void AddDiagCommands(std::vector<CliCommand>& out);

// Sets the connection controls from the options and commits CONNECT, as a
// click would. 0 when a unit is connected; else the messages were printed.
int CliConnect(CliContext& c);
// The plot page's file button with FILE chosen (a raw file reprocesses with
// the selectors' defaults); `command` names the caller in the note printed
// when no box said why the file was not read. 0 when it was read.
int CliReadFile(CliContext& c, const std::string& file, const char* command);
// Closes the link if one is open.
void CliDisconnect(CliContext& c);
// An option's whole text as a decimal int (a sign allowed, nothing after it,
// nothing beyond int's range).
bool ParseCliInt(std::string_view s, int& out);

}  // namespace lumvex::cli
