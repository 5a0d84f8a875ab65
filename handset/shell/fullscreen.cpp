// SHFullScreen: the taskbar, the input-panel button and the Start icon for a
// full-screen window (the state and the window are in taskbar.cpp).
#include <windows.h>
#include <aygshell.h>

#include "device/platform.h"
#include "device/relay.h"
#include "shell/taskbar.h"
#include "user/window_manager.h"

using handset::Enter;
using handset::Fail;
using handset::Platform;

// The phone's documents give no error codes; the handset's are
// ERROR_INVALID_WINDOW_HANDLE for no window, ERROR_ACCESS_DENIED when a
// SHFS_HIDE* flag comes from a window that is not in the foreground, and
// ERROR_INVALID_PARAMETER for a show and a hide of the same thing.
HANDSET_API(BOOL, SHFullScreen, (HWND hwndRequester, DWORD dwState), (hwndRequester, dwState)) {
    if (auto e = Enter("SHFullScreen")) return Fail(*e, FALSE);
    Platform& d = Platform::Current();
    handset::WindowManager& wm = d.Get<handset::WindowManager>();
    if (!wm.Get(hwndRequester)) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    const DWORD known = SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR | SHFS_SHOWSIPBUTTON |
                        SHFS_HIDESIPBUTTON | SHFS_SHOWSTARTICON | SHFS_HIDESTARTICON;
    if (dwState & ~known)
        handset::NotEmulated("SHFullScreen", "dwState " + handset::Hex32(dwState));
    for (DWORD pair : {SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR, SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON,
                       SHFS_SHOWSTARTICON | SHFS_HIDESTARTICON})
        if ((dwState & pair) == pair) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const DWORD hides = SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON;
    if ((dwState & hides) && wm.Foreground() != hwndRequester)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    d.Get<handset::Taskbar>().FullScreen(hwndRequester, dwState);
    return TRUE;
}
