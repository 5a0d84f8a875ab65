// The lock window's class, its full-screen showing and its procedure: one
// small handler per message, each reading the settings it needs at that
// moment, so that a change the configuration program saves during a call
// takes effect at the next key or timer.
#include "window/lock_window.h"

#include <aygshell.h>

#include "callmon/callmon.h"
#include "core/lock_state.h"
#include "render/frame_surface.h"
#include "res/resource.h"
#include "settings.h"
#include "settings_key.h"
#include "signals/signals.h"
#include "window/lock_picture.h"

namespace {

const DWORD kFullScreenHidden = SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON;

// Starts the screen-off timer with the configured period, unless it is "never".
void ArmScreenOff(HWND window, SettingsKey& key) {
    LONG ms = TurnOffScrMs(ReadTurnOffScr(key));
    if (ms != NEVER_MS) SetTimer(window, TIMER_SCREEN_OFF, (UINT)ms, NULL);
}

// Hides the window and gives the unlock signal; the screen-off timer stops
// while the screen is unlocked.
void HideForUnlock(HWND window, SettingsKey& key) {
    ShowWindow(window, SW_HIDE);
    GiveSignal(ReadOffSoundType(key), SIGNAL_UNLOCK);
    KillTimer(window, TIMER_SCREEN_OFF);
}

void WakeBacklight(void) {
    BacklightOn();
    g_lockState.backlightOff = FALSE;
}

// The centre button: wakes a dark screen, else unlocks for a while.
void OnCentre(HWND window, SettingsKey& key) {
    if (g_lockState.backlightOff) {
        WakeBacklight();
        ArmScreenOff(window, key);
        return;
    }
    SetTimer(window, TIMER_TEMP_UNLOCK, (UINT)TempUnlockDelayMs(ReadTempUnlockDelay(key)), NULL);
    HideForUnlock(window, key);
}

// The up key: unlocks until the next lock request, waking a dark screen.
void OnUp(HWND window, SettingsKey& key) {
    if (g_lockState.backlightOff) WakeBacklight();
    HideForUnlock(window, key);
}

BOOL OnKeyDown(HWND window, WPARAM key, SettingsKey& settings) {
    switch (key) {
    case VK_RETURN:
        OnCentre(window, settings);
        return TRUE;
    case VK_UP:
        OnUp(window, settings);
        return TRUE;
    }
    return FALSE;
}

// The hardware application buttons' key-ups go nowhere while locked.
BOOL IsApplicationButton(WPARAM key) {
    return key >= 0xC1 && key <= 0xC6;
}

void OnTempUnlockOver(HWND window, SettingsKey& key) {
    KillTimer(window, TIMER_TEMP_UNLOCK);
    CaptureScreen();
    ComposeLockPicture();
    ShowLockWindowFullScreen(window);
    GiveSignal(ReadOnSoundType(key), SIGNAL_LOCK);
    ArmScreenOff(window, key);
}

void OnIntervalSignal(SettingsKey& key) {
    // Re-armed first with the whole period, so the sound's length does not
    // shift the signals that follow.
    SetTimer(g_lockState.lockWindow, TIMER_INTERVAL_SIGNAL,
             (UINT)RegularSoundDelayMs(ReadRegularSoundDelay(key)), NULL);
    GiveSignal(ReadRegularSoundType(key), SIGNAL_ELAPSED);
}

// Darkens the screen only while the lock is in front: a program that came
// in front of it (the Phone program with a second call) must stay visible.
void OnScreenOff(HWND window) {
    if (!g_lockState.backlightOff && GetForegroundWindow() == window) {
        BacklightOff();
        g_lockState.backlightOff = TRUE;
    }
    KillTimer(window, TIMER_SCREEN_OFF);
}

// TRUE when the timer's message is answered without DefWindowProcW.
BOOL OnTimer(HWND window, WPARAM id, SettingsKey& key) {
    switch (id) {
    case TIMER_TEMP_UNLOCK:
        OnTempUnlockOver(window, key);
        return TRUE;
    case TIMER_INTERVAL_SIGNAL:
        OnIntervalSignal(key);
        break;
    case TIMER_SCREEN_OFF:
        OnScreenOff(window);
        break;
    case TIMER_CLOCK:
        InvalidateRect(window, NULL, FALSE);
        break;
    case TIMER_CALL_DROP:
        DropActiveCall();
        KillTimer(window, TIMER_CALL_DROP);
        break;
    }
    return FALSE;
}

// Another window came in front of a dark lock: it must be seen and used,
// and only the lock window takes the keys that wake the screen.
void OnDeactivate(void) {
    if (g_lockState.backlightOff) WakeBacklight();
}

void OnDestroy(HWND window) {
    // The clock and drop timers end with the window. No quit message: the
    // program stays resident for the next call.
    KillTimer(window, TIMER_TEMP_UNLOCK);
    KillTimer(window, TIMER_INTERVAL_SIGNAL);
    KillTimer(window, TIMER_SCREEN_OFF);
}

} // namespace

ATOM RegisterLockWindowClass(void) {
    WNDCLASSW wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = LockWindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = g_lockState.instance;
    wc.hIcon = NULL;
    wc.hCursor = NULL;
    // Never erased: every pixel comes from the paint.
    wc.hbrBackground = (HBRUSH)GetStockObject(NULL_BRUSH);
    wc.lpszMenuName = NULL;
    wc.lpszClassName = LOCK_WINDOW_CLASS;
    return RegisterClassW(&wc);
}

void ShowLockWindowFullScreen(HWND window) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetActiveWindow(window);
    SetFocus(window);
    SHFullScreen(window, kFullScreenHidden);
    MoveWindow(window, 0, 0, GetDeviceCaps(NULL, HORZRES), GetDeviceCaps(NULL, VERTRES), FALSE);
    InvalidateRect(window, NULL, FALSE);
}

void GiveSignal(int kind, SignalEvent event) {
    if (kind == SIGNAL_SOUND) {
        if (event == SIGNAL_ELAPSED)
            PlayWaveResource(g_lockState.instance, SOUND_ELAPSED, FALSE, FALSE);
        else
            PlayWaveResource(g_lockState.instance, SOUND_LOCK, TRUE, TRUE);
    } else if (kind == SIGNAL_VIBRATE) {
        VibratePulse();
    }
}

LRESULT CALLBACK LockWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SettingsKey key; // closed on every return
    switch (message) {
    case WM_CREATE:
    case WM_CLOSE: // a close request does not close the lock
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_PAINT:
        PaintLockWindow(window);
        return 0;
    case WM_KEYDOWN:
        if (OnKeyDown(window, wParam, key)) return 0;
        break;
    case WM_KEYUP:
        if (IsApplicationButton(wParam)) return 0;
        break;
    case WM_TIMER:
        if (OnTimer(window, wParam, key)) return 0;
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) OnDeactivate();
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
