// LockScreen and UnlockScreen: the main thread's answers to the call
// monitor. Both read their settings afresh through a SettingsKey each run.
#include "core/lock_sequence.h"

#include "callmon/callmon.h"
#include "core/lock_state.h"
#include "render/frame_surface.h"
#include "settings.h"
#include "settings_key.h"
#include "signals/signals.h"
#include "window/lock_picture.h"
#include "window/lock_window.h"

namespace {

const DWORD kLockWindowStyle = WS_POPUP | WS_VISIBLE | 0x00010000;

void StartTimerUnlessNever(HWND window, UINT id, LONG ms) {
    if (ms != NEVER_MS) SetTimer(window, id, (UINT)ms, NULL);
}

// The window, the start delay, the lock signal and the timers of a new lock.
BOOL BeginNewLock(SettingsKey& key) {
    int width = GetDeviceCaps(NULL, HORZRES);
    int height = GetDeviceCaps(NULL, VERTRES);
    HWND window = CreateWindowExW(0, LOCK_WINDOW_CLASS, TEXT(""), kLockWindowStyle, 0, 0, width,
                                  height, NULL, NULL, NULL, NULL);
    g_lockState.lockWindow = window;
    if (window == NULL) return FALSE;
    // The window already lies over everything and takes the taps; nothing is
    // painted while we sleep, so the screen keeps what was there.
    Sleep((DWORD)OnStartDelayMs(ReadOnStartDelay(key)));
    GiveSignal(ReadOnSoundType(key), SIGNAL_LOCK);
    if (ReadRegularSoundType(key) != SIGNAL_NONE)
        SetTimer(window, TIMER_INTERVAL_SIGNAL,
                 (UINT)FirstSoundPeriodMs(ReadRegularSoundDelay(key), ReadRegularSoundBefore(key)),
                 NULL);
    StartTimerUnlessNever(window, TIMER_SCREEN_OFF, TurnOffScrMs(ReadTurnOffScr(key)));
    int drop = IsIncomingCall() ? ReadDropIncoming(key) : ReadDropOutgoing(key);
    StartTimerUnlessNever(window, TIMER_CALL_DROP, DropDelayMs(drop));
    return TRUE;
}

} // namespace

BOOL LockScreen(void) {
    SettingsKey key;
    if (g_lockState.lockWindow == NULL && !BeginNewLock(key)) return FALSE;
    ReleaseFrameSurface();
    CreateFrameSurface();
    CaptureScreen();
    ComposeLockPicture();
    ShowLockWindowFullScreen(g_lockState.lockWindow);
    SetTimer(g_lockState.lockWindow, TIMER_CLOCK, CLOCK_PERIOD_MS, NULL);
    return TRUE;
}

BOOL UnlockScreen(void) {
    SettingsKey key;
    if (g_lockState.backlightOff) {
        BacklightOn();
        g_lockState.backlightOff = FALSE;
    }
    if (g_lockState.lockWindow == NULL) return FALSE;
    GiveSignal(ReadOffSoundType(key), SIGNAL_UNLOCK);
    DestroyWindow(g_lockState.lockWindow);
    g_lockState.lockWindow = NULL;
    return TRUE;
}
