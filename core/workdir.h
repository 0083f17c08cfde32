// The working folder: where the station and lumvex-cli find the configuration
// and list files they open by bare name ("Lumvex_8_0.ini", "reinit.txt",
// "isotestobject.txt", calibration files, ...), and where the station's
// configuration templates are found to fill a new one.
#pragma once

#include <string>

namespace lumvex {

// The working folder of a run:
// - `option` (--workdir DIR) when given: DIR as it is (it must exist);
// - else the current folder when it holds "Lumvex_8_0.ini" (a folder set up
//   by hand, or a build tree's run/);
// - else the user's own folder, $XDG_DATA_HOME/lumvex or
//   ~/.local/share/lumvex, made on first start; every template it lacks is
//   copied in from `templates` (files already there are kept).
// "" with `error` set when the folder cannot be used or made.
std::string PrepareWorkDir(const std::string& option, const std::string& templates, std::string& error);

// The folder of the configuration templates: $LUMVEX_TEMPLATES when set,
// else <the program's folder>/../share/lumvex (an installed program), else
// the source tree's config/ (a program run from its build tree); "" when none
// of them exists.
std::string TemplatesFolder();

}  // namespace lumvex
