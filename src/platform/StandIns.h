#pragma once

#include <QString>

namespace platform {

// Linux lacks some macOS command-line tools that command lines rely on (purge, sw_vers, ...).
// The build ships small stand-ins honouring the same command-line contract; at start-up the
// application puts their directory first on PATH so that `zsh -c` finds them.
// Returns the directory used, or an empty string when none was found (always empty on macOS).
QString standInDirectory();
QString installStandInPath();

} // namespace platform
