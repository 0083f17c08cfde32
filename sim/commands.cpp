#include "sim/commands.h"

namespace lumvex::sim {

CommandTable DefaultCommands() {
  CommandTable t;
  // One line per command file.
  RegisterStatusCommands(t);
  RegisterDownloadCommands(t);
  RegisterInfoCommands(t);
  RegisterDiagCommands(t);
  RegisterMaintenanceCommands(t);
  return t;
}

}  // namespace lumvex::sim
