// Tessaril's installation on the handset.
#include "shell/install.h"

#include "shell/shell.h"

namespace handset {

void InstallTessaril(Platform& platform, ProgramMain lockMain, ProgramMain configMain) {
    if (!lockMain || !configMain) Platform::Fatal("InstallTessaril: both main routines are needed");
    platform.RegisterProgram(kLockProgramPath, lockMain);
    platform.RegisterProgram(kConfigProgramPath, configMain);
    platform.Get<Shell>().AddStartup(kConfigProgramPath, kAutostartCommandLine);
}

} // namespace handset
