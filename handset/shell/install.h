// What Tessaril's installer leaves on the phone, as install/Tessaril.inf
// describes it: the two programs in \Program Files\Tessaril, a Start menu
// shortcut to the configuration program, the settings with their defaults
// (kept when there), and a start-up shortcut that runs the configuration
// program with "reset" after every soft reset. For tests and scenarios,
// which pass in the programs' main routines.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "device/platform.h"

namespace handset {

inline constexpr std::u16string_view kLockProgramPath = u"\\Program Files\\Tessaril\\Tessaril.exe";
inline constexpr std::u16string_view kConfigProgramPath =
    u"\\Program Files\\Tessaril\\TessarilCfg.exe";
inline constexpr std::u16string_view kAutostartCommandLine = u"reset";

void InstallTessaril(Platform& platform, ProgramMain lockMain, ProgramMain configMain);

// Installs what an installer description says: each copied program from its
// main routine (by file name), shortcut files copied to \Windows\StartUp
// from their text (by file name) onto the start-up list, the registry
// values and the shortcuts. False, with "file:line: why" in *error, for a
// description the phone's installer would refuse or that names what is not
// given.
bool InstallFromInf(Platform& platform, std::string_view inf, std::string_view infName,
                    const std::map<std::string, ProgramMain>& programs,
                    const std::map<std::string, std::string_view>& files, std::string* error);

} // namespace handset
