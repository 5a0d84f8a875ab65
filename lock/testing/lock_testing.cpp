// Resets every program-wide record of the lock program.
#include "testing/lock_testing.h"

#include <cstring>

#include "callmon/callmon.h"
#include "core/lock_state.h"

void ResetLockProgramGlobals() {
    std::memset(&g_lockState, 0, sizeof g_lockState);
    std::memset(&g_monitor, 0, sizeof g_monitor);
}
