// The lock window: the full-screen window that takes every tap while a call
// is connected, its five timers, the keys that wake or unlock the screen,
// and the signals the lock gives.
#ifndef TESSARIL_LOCK_WINDOW_H
#define TESSARIL_LOCK_WINDOW_H

#include <windows.h>

#define LOCK_WINDOW_CLASS TEXT("TessarilWndClass")

// Window timers of the lock window.
#define TIMER_TEMP_UNLOCK 1     // re-lock after a temporary unlock
#define TIMER_INTERVAL_SIGNAL 2 // the time-elapsed signal
#define TIMER_SCREEN_OFF 3      // darken the backlight
#define TIMER_CLOCK 4           // repaint the call time
#define TIMER_CALL_DROP 5       // drop the call

#define CLOCK_PERIOD_MS 1000

// What a signal setting (OnSoundType, OffSoundType, RegularSoundType) asks for.
enum SignalKind { SIGNAL_NONE = 0, SIGNAL_SOUND = 1, SIGNAL_VIBRATE = 2 };

// Which signal is given: the lock and unlock signals sound alike; the
// time-elapsed signal has its own sound at full volume.
enum SignalEvent { SIGNAL_LOCK, SIGNAL_UNLOCK, SIGNAL_ELAPSED };

// Registers "TessarilWndClass"; its atom, 0 on failure.
ATOM RegisterLockWindowClass(void);
// Shows the window in front, full screen, with the keyboard focus.
void ShowLockWindowFullScreen(HWND window);
LRESULT CALLBACK LockWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Gives the signal of that kind for the event; returns when it is over.
void GiveSignal(int kind, SignalEvent event);

#endif
