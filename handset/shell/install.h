// What Tessaril's installer leaves on the phone: the two programs in
// \Program Files\Tessaril and a start-up shortcut that runs the
// configuration program with "reset" after every soft reset. For tests and
// scenarios, which pass in the programs' main routines.
#pragma once

#include <string_view>

#include "device/platform.h"

namespace handset {

inline constexpr std::u16string_view kLockProgramPath = u"\\Program Files\\Tessaril\\Tessaril.exe";
inline constexpr std::u16string_view kConfigProgramPath =
    u"\\Program Files\\Tessaril\\TessarilCfg.exe";
inline constexpr std::u16string_view kAutostartCommandLine = u"reset";

void InstallTessaril(Platform& platform, ProgramMain lockMain, ProgramMain configMain);

} // namespace handset
