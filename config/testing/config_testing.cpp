// The configuration program's installation on the handset.
#include "config_testing.h"

#include "config_resources.h"
#include "res/resources.h"
#include "shell/install.h"
#include "shell/shell.h"
#include "tessarilcfg.h"

void InstallConfigProgram(handset::Device& d, handset::ProgramMain lockMain) {
    if (lockMain) {
        handset::InstallTessaril(d, lockMain, TessarilCfgMain);
    } else {
        d.RegisterProgram(handset::kConfigProgramPath, TessarilCfgMain);
        d.Get<handset::Shell>().AddStartup(handset::kConfigProgramPath,
                                           handset::kAutostartCommandLine);
    }
    std::string error;
    if (!d.Get<handset::Resources>().Attach(handset::kConfigProgramPath,
                                            {kTessarilCfgRes, kTessarilCfgResSize},
                                            "TessarilCfg.res", &error))
        handset::Platform::Fatal("InstallConfigProgram: " + error);
    d.Get<handset::Shell>().SetBuiltFor(handset::kConfigProgramPath, CONFIG_BUILT_FOR);
}
