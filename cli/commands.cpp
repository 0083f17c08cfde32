#include "cli/cli.h"

namespace lumvex::cli {

std::vector<CliCommand> AllCliCommands() {
  std::vector<CliCommand> out;
  // One line per subcommand file.
  AddSessionCommands(out);
  AddDriveCommands(out);
  AddDownloadCommands(out);
  AddFileCommands(out);
#ifdef LUMVEX_CLI_PLOT
  AddPlotCommands(out);
#endif
  AddDiscoveryCommands(out);
  AddMaintenanceCommands(out);
  AddDiagCommands(out);
  return out;
}

}  // namespace lumvex::cli
