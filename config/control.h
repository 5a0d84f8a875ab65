// Lock program control: whether the lock program runs (found by its file
// name in the process list), starting it from this program's own folder,
// asking it to quit, and the autostart of the "reset" mode after a soft
// reset. The lock program is known only by its file name, its quit message
// and its single-instance mutex; nothing of its code is shared.
#ifndef TESSARIL_CONTROL_H
#define TESSARIL_CONTROL_H

#include <windows.h>

#define LOCK_PROGRAM_FILE TEXT("Tessaril.exe")
// The lock program's single-instance mutex, by its name (its own is the same).
#define LOCK_PROGRAM_MUTEX TEXT("_TESSARIL_EXE_MUTEX_")
#define NO_LOCK_PROCESS ((DWORD)-1)
#define LOCK_STOP_TIMEOUT_MS 2000
// How long a start waits for the lock program to take its mutex when the
// process list cannot be read.
#define LOCK_START_SETTLE_MS 500
// The lock program's quit message, by its number (its own definition is the same).
#define WM_EXIT_PROGRAM (WM_USER + 3)
// The whole command line, in this case, that selects the autostart mode.
#define AUTOSTART_COMMAND_LINE TEXT("reset")

// Fills path (MAX_PATH characters) with the full path of Tessaril.exe in this
// program's folder. FALSE, with path empty, when this program's own name has
// no folder or the path would not fit.
BOOL LockProgramPath(LPWSTR path);

// The lock program's process id, or NO_LOCK_PROCESS when it does not run or
// the process list cannot be read. Any folder and letter case counts.
DWORD FindLockProcess();
// Whether it runs: by the process list, or by its single-instance mutex
// when the list cannot be read.
BOOL IsLockProgramRunning();

// TRUE when a start was launched; FALSE when the lock program runs already
// or the launch failed. Does not wait for it to come up, unless the process
// list cannot be read: then it waits up to LOCK_START_SETTLE_MS for it to
// take its mutex, and FALSE also when it ended meanwhile.
BOOL StartLockProgram();

// Posts the quit message to every thread of the lock program and waits up
// to LOCK_STOP_TIMEOUT_MS for it to end. TRUE only when it ended in time;
// FALSE at once, doing nothing, when the process list cannot be read.
BOOL StopLockProgram();

// Whether the command line selects the autostart mode: exactly "reset".
BOOL IsAutostartCommandLine(LPCWSTR commandLine);
// The autostart mode: starts the lock program when StartAfterReset is set.
void RunAutostart();

#endif
