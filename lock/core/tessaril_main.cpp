// The lock program's main routine: one copy per phone, the call monitor,
// and the main loop that turns the monitor's messages into locks and unlocks.
#include <windows.h>
#include <mmsystem.h>

#include "callmon/callmon.h"
#include "core/lock_sequence.h"
#include "core/lock_state.h"
#include "res/resource.h"
#include "window/lock_window.h"

namespace {

void PlayStartStopSound(HINSTANCE instance) {
    PlaySoundW(MAKEINTRESOURCEW(SOUND_LOCK), instance, SND_RESOURCE);
}

// Until WM_EXIT_PROGRAM; a WM_QUIT does not end it. A failed fetch leaves
// the message as it was, so it is skipped rather than acted on again.
void RunMainLoop(HINSTANCE instance) {
    MSG message;
    for (;;) {
        if (GetMessageW(&message, NULL, 0, 0) == -1) continue;
        switch (message.message) {
        case WM_EXIT_PROGRAM:
            PlayStartStopSound(instance);
            return;
        case WM_LOCK_SCREEN:
            LockScreen();
            break;
        case WM_UNLOCK_SCREEN:
            UnlockScreen();
            break;
        default:
            TranslateMessage(&message);
            DispatchMessageW(&message);
            break;
        }
    }
}

} // namespace

int TessarilMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand) {
    HANDLE mutex = CreateMutexW(NULL, FALSE, LOCK_PROGRAM_MUTEX);
    if (mutex == NULL) return 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex); // another copy runs
        return 0;
    }
    g_lockState.instance = instance;
    RegisterLockWindowClass();
    if (!StartCallMonitor(GetCurrentThreadId())) {
        MessageBoxW(NULL, TEXT("Failed to initialize TAPI."), TEXT("Tessaril"), MB_ICONERROR);
        CloseHandle(mutex);
        return 0;
    }
    PlayStartStopSound(instance);
    RunMainLoop(instance);
    UnlockScreen();
    StopCallMonitor();
    CloseHandle(mutex);
    return 0;
}
