// Resets every program-wide record of the lock program, and registers the
// program with the handset.
#include "testing/lock_testing.h"

#include <cstring>
#include <string>

#include "callmon/callmon.h"
#include "core/lock_sequence.h"
#include "core/lock_state.h"
#include "device/device.h"
#include "lock_resources.h"
#include "res/resources.h"
#include "shell/install.h"
#include "signals/signals.h"

void ResetLockProgramGlobals() {
    std::memset(&g_lockState, 0, sizeof g_lockState);
    std::memset(&g_monitor, 0, sizeof g_monitor);
    std::memset(&g_wavePlayback, 0, sizeof g_wavePlayback);
}

void RegisterLockProgram(handset::Device& d) {
    ResetLockProgramGlobals();
    d.RegisterProgram(handset::kLockProgramPath, TessarilMain);
    std::string error;
    if (!d.Get<handset::Resources>().Attach(
            handset::kLockProgramPath, {kTessarilRes, kTessarilResSize}, "Tessaril.res", &error))
        handset::Platform::Fatal("RegisterLockProgram: " + error);
}
