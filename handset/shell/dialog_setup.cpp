// SHInitDialog: a dialog set up as a page of the phone: the OK button in the
// taskbar, its size, the input panel down.
#include <windows.h>
#include <aygshell.h>

#include "device/platform.h"
#include "device/relay.h"
#include "shell/taskbar.h"
#include "user/window_manager.h"

using handset::Enter;
using handset::Fail;
using handset::Platform;

// The sizes: SHIDIF_SIZEDLG and SHIDIF_SIZEDLGFULLSCREEN fill the screen
// between the taskbar and the menu bar (the input panel, which SHIDIF_SIZEDLG
// would leave room for, is always down on the handset);
// SHIDIF_FULLSCREENNOMENUBAR reaches the bottom. The phone's documents give
// no error codes; the handset's are ERROR_INVALID_PARAMETER without a
// structure and ERROR_INVALID_WINDOW_HANDLE without a window.
HANDSET_API(BOOL, SHInitDialog, (PSHINITDLGINFO pshidi), (pshidi)) {
    if (auto e = Enter("SHInitDialog")) return Fail(*e, FALSE);
    Platform& p = Platform::Current();
    handset::WindowManager& wm = p.Get<handset::WindowManager>();
    if (!pshidi) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (pshidi->dwMask & ~DWORD(SHIDIM_FLAGS))
        handset::NotEmulated("SHInitDialog", "dwMask " + handset::Hex32(pshidi->dwMask));
    auto w = wm.Get(pshidi->hDlg);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    DWORD flags = (pshidi->dwMask & SHIDIM_FLAGS) ? pshidi->dwFlags : 0;
    const DWORD known = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN |
                        SHIDIF_SIPDOWN | SHIDIF_FULLSCREENNOMENUBAR;
    if (flags & ~known) handset::NotEmulated("SHInitDialog", "dwFlags " + handset::Hex32(flags));
    if (flags & SHIDIF_DONEBUTTON) w->exStyle |= WS_EX_CAPTIONOKBTN;
    if (flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) {
        RECT screen = wm.LogicalScreen(w->pid);
        int scale = wm.ScaleOf(w->pid);
        LONG top = wm.TaskbarHeight() / scale;
        LONG bottom = screen.bottom;
        if (!(flags & SHIDIF_FULLSCREENNOMENUBAR)) bottom -= wm.MenuBarHeight() / scale;
        wm.Move(w, {0, top, screen.right, bottom}, true);
    }
    p.timeline().Record("shell.initdialog",
                        {{"window", uint64_t(reinterpret_cast<uintptr_t>(pshidi->hDlg))},
                         {"process", w->pid},
                         {"flags", flags}});
    if (flags & SHIDIF_SIPDOWN) p.timeline().Record("shell.sip", {{"state", "down"}});
    p.Get<handset::Taskbar>().Refresh();
    return TRUE;
}
