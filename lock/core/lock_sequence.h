// The lock and unlock sequences the main thread runs for WM_LOCK_SCREEN and
// WM_UNLOCK_SCREEN, and the lock program's main routine around them.
#ifndef TESSARIL_LOCK_SEQUENCE_H
#define TESSARIL_LOCK_SEQUENCE_H

#include <windows.h>

#define LOCK_PROGRAM_MUTEX TEXT("_TESSARIL_EXE_MUTEX_")

// Creates the lock window when there is none (start delay, lock signal, the
// interval, screen-off and drop timers), then for every lock takes a fresh
// snapshot, composes the picture over it, shows the window and restarts the
// clock. FALSE only when a new window could not be created.
BOOL LockScreen(void);
// Switches a backlight the lock darkened back on, gives the unlock signal
// and destroys the window. FALSE when there was no window.
BOOL UnlockScreen(void);

// The lock program's main routine: single instance, call monitor, message
// loop until WM_EXIT_PROGRAM. Always 0.
int TessarilMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

#endif
