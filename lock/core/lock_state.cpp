// The lock program's one LockState.
#include "core/lock_state.h"

LockState g_lockState;
