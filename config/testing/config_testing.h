// The configuration program on the handset, for tests and scenarios: Tessaril
// installed with the real TessarilCfg and its resources beside a lock program
// of the caller's (the real one or a stand-in).
#pragma once

#include "device/device.h"

// Installs both programs (InstallTessaril: \Program Files\Tessaril, and the
// start-up entry "TessarilCfg.exe reset") and gives TessarilCfg.exe its
// resources, and the platform this build of it is for (Shell::BuiltFor). A
// null lockMain leaves Tessaril.exe out, as if it was missing.
void InstallConfigProgram(handset::Device& d, handset::ProgramMain lockMain);
