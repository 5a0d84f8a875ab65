// LockState: the lock program's one record of the current call and lock,
// and the thread messages that drive its main loop.
//
// The call monitor thread writes the call fields before it posts
// WM_LOCK_SCREEN; the main thread reads them only after it has received that
// message. Every other field belongs to the main thread. There are no locks.
#ifndef TESSARIL_LOCK_STATE_H
#define TESSARIL_LOCK_STATE_H

#include <windows.h>
#include <tapi.h>

#include "render/frame_surface.h"

// Thread messages of the lock program, an interface to the configuration
// program too; wParam and lParam are 0.
#define WM_LOCK_SCREEN (WM_USER + 1)   // a voice call is connected
#define WM_UNLOCK_SCREEN (WM_USER + 2) // a call is disconnected
#define WM_EXIT_PROGRAM (WM_USER + 3)  // the configuration program asks us to quit

#define CALL_NUMBER_LEN 32  // UTF-16 units, terminator included
#define CALLER_NAME_LEN 128 // UTF-16 units, terminator included

struct LockState {
    HINSTANCE instance;                // module whose resources the lock uses
    HWND lockWindow;                   // the lock window, null when there is none
    BOOL backlightOff;                 // the lock switched the backlight off
    bool isIncoming;                   // true unless this phone placed the call
    HCALL activeCall;                  // the call a drop ends, 0 for none
    DWORD callStartTick;               // GetTickCount when the call was connected
    WCHAR callNumber[CALL_NUMBER_LEN]; // the other party's number, empty when unknown
    WCHAR callerName[CALLER_NAME_LEN]; // their name from the contacts, empty when unknown
    FrameSurface surface;              // the off-screen lock picture
};

extern LockState g_lockState;

#endif
