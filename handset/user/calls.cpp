// The window calls: classes, windows, their places and visibility,
// activation and focus, sent and posted messages, and window timers. Each
// sets the last error and gives its failure result as the phone does; where
// the phone's documents leave the error open, the handset's choice is
// written beside the call. A window of another thread may be read, shown,
// moved and sent to; only its own thread destroys it or gives it the focus
// (ERROR_ACCESS_DENIED otherwise).
#include <windows.h>

#include <algorithm>
#include <utility>

#include "device/platform.h"
#include "device/relay.h"
#include "gdi/gdi.h"
#include "user/dialogs.h"
#include "user/window_manager.h"

using handset::Enter;
using handset::Fail;
using handset::Hex32;
using handset::NotEmulated;
using handset::Platform;
using handset::Window;
using handset::WindowManager;

namespace {

WindowManager& Wm() {
    return handset::Wm();
}

Platform& Dev() {
    return Platform::Current();
}

// The handset has windows without frames, menus or scroll bars; a program
// that asks for more stops the run, naming what it asked for.
void CheckStyles(DWORD style, DWORD exStyle, HMENU menu) {
    struct Unsupported {
        DWORD bits;
        const char* name;
    };
    static const Unsupported kStyles[] = {
        {WS_CAPTION, "WS_CAPTION"},       {WS_BORDER, "WS_BORDER"},   {WS_DLGFRAME, "WS_DLGFRAME"},
        {WS_THICKFRAME, "WS_THICKFRAME"}, {WS_VSCROLL, "WS_VSCROLL"}, {WS_HSCROLL, "WS_HSCROLL"},
        {WS_SYSMENU, "WS_SYSMENU"},
    };
    for (const auto& u : kStyles)
        if ((style & u.bits) == u.bits)
            NotEmulated("CreateWindowExW", std::string("dwStyle ") + u.name);
    if (exStyle & (WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE))
        NotEmulated("CreateWindowExW", "dwExStyle " + Hex32(exStyle) + " (window edges)");
    if (menu && !(style & WS_CHILD))
        NotEmulated("CreateWindowExW", "hMenu (a menu on a top-level window)");
}

} // namespace

// ---- Classes and windows -----------------------------------------------------------------

// Registering a class gives the calling thread its message queue.
HANDSET_API(ATOM, RegisterClassW, (const WNDCLASSW* lpWndClass), (lpWndClass)) {
    if (auto e = Enter("RegisterClassW")) return Fail(*e, ATOM(0));
    Wm().Own();
    if (!lpWndClass || !lpWndClass->lpszClassName || !lpWndClass->lpfnWndProc)
        return Fail(ERROR_INVALID_PARAMETER, ATOM(0));
    if (reinterpret_cast<uintptr_t>(lpWndClass->lpszClassName) < 0x10000)
        NotEmulated("RegisterClassW", "lpszClassName given as an atom");
    if (lpWndClass->lpszMenuName) return Fail(ERROR_INVALID_PARAMETER, ATOM(0)); // none on CE
    ATOM atom = Wm().AddClass(*lpWndClass, Dev().CurrentPid());
    if (!atom) return Fail(ERROR_CLASS_ALREADY_EXISTS, ATOM(0));
    return atom;
}

// hWndParent of a top-level window is its owner; a WS_CHILD window lies on
// it (ERROR_TLW_WITH_WSCHILD without one), placed in its client coordinates,
// and hMenu is its id. CW_USEDEFAULT places a top-level window in the
// phone's work area: the whole width, below the taskbar.
HANDSET_API(HWND, CreateWindowExW,
            (DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X,
             int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
             LPVOID lpParam),
            (dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hWndParent,
             hMenu, hInstance, lpParam)) {
    if (auto e = Enter("CreateWindowExW")) return Fail(*e, HWND(nullptr));
    Wm().Own();
    if (!lpClassName) return Fail(ERROR_INVALID_PARAMETER, HWND(nullptr));
    auto cls = Wm().FindClass(lpClassName, Dev().CurrentPid());
    if (!cls) return Fail(ERROR_CANNOT_FIND_WND_CLASS, HWND(nullptr));
    CheckStyles(dwStyle, dwExStyle, hMenu);
    if (hWndParent && !Wm().Get(hWndParent))
        return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND(nullptr));
    bool child = (dwStyle & WS_CHILD) != 0;
    if (child && !hWndParent) return Fail(ERROR_TLW_WITH_WSCHILD, HWND(nullptr));
    int scale = Wm().ScaleOf(Dev().CurrentPid());
    RECT screen = Wm().LogicalScreen(Dev().CurrentPid());
    LONG bar = Wm().TaskbarHeight() / scale;
    if (X == CW_USEDEFAULT) X = 0, Y = bar;
    if (nWidth == CW_USEDEFAULT) nWidth = screen.right, nHeight = screen.bottom - bar;
    WindowManager::CreateArgs args;
    args.exStyle = dwExStyle;
    args.cls = cls;
    args.title = lpWindowName ? lpWindowName : u"";
    args.style = dwStyle;
    args.rect = {X, Y, X + std::max(nWidth, 0), Y + std::max(nHeight, 0)};
    args.owner = child ? nullptr : hWndParent;
    args.parent = child ? hWndParent : nullptr;
    args.menu = hMenu;
    args.param = lpParam;
    args.instance = hInstance;
    HWND made = Wm().Create(args);
    if (!made) return Fail(ERROR_INVALID_PARAMETER, HWND(nullptr)); // WM_CREATE said -1
    return made;
}

HANDSET_API(BOOL, DestroyWindow, (HWND hWnd), (hWnd)) {
    if (auto e = Enter("DestroyWindow")) return Fail(*e, FALSE);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (w->tid != Dev().CurrentTid()) return Fail(ERROR_ACCESS_DENIED, FALSE);
    Wm().Destroy(hWnd);
    return TRUE;
}

HANDSET_API(BOOL, IsWindow, (HWND hWnd), (hWnd)) {
    (void)Enter("IsWindow"); // FALSE means "no window": counted and slowed only
    return Wm().Get(hWnd) ? TRUE : FALSE;
}

// Visible only while every window up its parent chain is: a control of a
// hidden dialog is not.
HANDSET_API(BOOL, IsWindowVisible, (HWND hWnd), (hWnd)) {
    (void)Enter("IsWindowVisible");
    auto w = Wm().Get(hWnd);
    for (; w; w = Wm().Get(w->parent))
        if (!w->visible) return FALSE;
    return hWnd && Wm().Get(hWnd) ? TRUE : FALSE;
}

// By class, by title or both, without regard to case; the topmost match.
HANDSET_API(HWND, FindWindowW, (LPCWSTR lpClassName, LPCWSTR lpWindowName),
            (lpClassName, lpWindowName)) {
    (void)Enter("FindWindowW"); // null means "none": counted and slowed only
    for (const auto& info : Wm().Windows()) {
        auto w = Wm().Get(info.handle);
        bool classMatches = !lpClassName || w->cls == Wm().FindClass(lpClassName, w->pid);
        bool titleMatches = !lpWindowName || handset::SameText(w->title, lpWindowName);
        if (classMatches && titleMatches) return info.handle;
    }
    return nullptr;
}

// A window of the calling process is asked with WM_GETTEXT, so a control
// answers with its text (a drop-down with its edit field's); another
// process's window gives its title.
HANDSET_API(int, GetWindowTextW, (HWND hWnd, LPWSTR lpString, int nMaxCount),
            (hWnd, lpString, nMaxCount)) {
    if (auto e = Enter("GetWindowTextW")) return Fail(*e, 0);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
    if (!lpString || nMaxCount <= 0) return 0;
    if (w->pid == Dev().CurrentPid())
        return static_cast<int>(Wm().Send(w, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                          reinterpret_cast<LPARAM>(lpString)));
    size_t n = std::min<size_t>(w->title.size(), size_t(nMaxCount) - 1);
    std::copy_n(w->title.begin(), n, lpString);
    lpString[n] = 0;
    return static_cast<int>(n);
}

HANDSET_API(BOOL, SetWindowTextW, (HWND hWnd, LPCWSTR lpString), (hWnd, lpString)) {
    if (auto e = Enter("SetWindowTextW")) return Fail(*e, FALSE);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    return Wm().Send(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

// ---- Place and visibility -------------------------------------------------------------------

// Whether the window was visible before; FALSE also when it fails.
HANDSET_API(BOOL, ShowWindow, (HWND hWnd, int nCmdShow), (hWnd, nCmdShow)) {
    if (auto e = Enter("ShowWindow")) return Fail(*e, FALSE);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    switch (nCmdShow) {
    case SW_HIDE:
    case SW_SHOW:
    case SW_SHOWNORMAL:
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
        return Wm().Show(w, nCmdShow) ? TRUE : FALSE;
    default:
        NotEmulated("ShowWindow", "nCmdShow " + std::to_string(nCmdShow));
    }
}

HANDSET_API(BOOL, MoveWindow, (HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint),
            (hWnd, X, Y, nWidth, nHeight, bRepaint)) {
    if (auto e = Enter("MoveWindow")) return Fail(*e, FALSE);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (auto parent = Wm().Get(w->parent)) X += parent->rect.left, Y += parent->rect.top;
    Wm().Move(w, {X, Y, X + std::max(nWidth, 0), Y + std::max(nHeight, 0)}, bRepaint != FALSE);
    return TRUE;
}

HANDSET_API(BOOL, GetClientRect, (HWND hWnd, LPRECT lpRect), (hWnd, lpRect)) {
    if (auto e = Enter("GetClientRect")) return Fail(*e, FALSE);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!lpRect) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *lpRect = {0, 0, w->Width(), w->Height()};
    return TRUE;
}

HANDSET_API(BOOL, GetWindowRect, (HWND hWnd, LPRECT lpRect), (hWnd, lpRect)) {
    if (auto e = Enter("GetWindowRect")) return Fail(*e, FALSE);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!lpRect) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *lpRect = w->rect;
    return TRUE;
}

// A child's parent; a top-level window's owner (null without one).
HANDSET_API(HWND, GetParent, (HWND hWnd), (hWnd)) {
    if (auto e = Enter("GetParent")) return Fail(*e, HWND(nullptr));
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND(nullptr));
    SetLastError(0); // a null result is then no failure
    return w->parent ? w->parent : w->owner;
}

// GWL_STYLE, GWL_EXSTYLE, GWL_ID and GWL_USERDATA; a dialog's DWL_MSGRESULT
// and DWL_USER are the dialog manager's (dialogs.cpp). An index the window
// has not: ERROR_INVALID_INDEX.
HANDSET_API(LONG, GetWindowLongW, (HWND hWnd, int nIndex), (hWnd, nIndex)) {
    if (auto e = Enter("GetWindowLongW")) return Fail(*e, LONG(0));
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, LONG(0));
    switch (nIndex) {
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    case GWL_ID:
        return w->id;
    case GWL_USERDATA:
        return w->userData;
    }
    if (nIndex == -4 || (nIndex == 4 && handset::DialogOf(hWnd)))
        NotEmulated("GetWindowLongW", "nIndex " + std::to_string(nIndex) +
                                          " (a window or dialog procedure's address)");
    LONG value = 0;
    if (handset::DialogLong(hWnd, nIndex, nullptr, &value)) return value;
    return Fail(ERROR_INVALID_INDEX, LONG(0));
}

// The previous value. Styles change the bits only: nothing is redrawn or
// resized, and WS_VISIBLE and WS_DISABLED are left to ShowWindow and
// EnableWindow (changing them this way is not emulated).
HANDSET_API(LONG, SetWindowLongW, (HWND hWnd, int nIndex, LONG dwNewLong),
            (hWnd, nIndex, dwNewLong)) {
    if (auto e = Enter("SetWindowLongW")) return Fail(*e, LONG(0));
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, LONG(0));
    SetLastError(0);
    switch (nIndex) {
    case GWL_STYLE: {
        DWORD style = static_cast<DWORD>(dwNewLong);
        if ((style ^ w->style) & (WS_VISIBLE | WS_DISABLED))
            NotEmulated("SetWindowLongW", "GWL_STYLE changing WS_VISIBLE or WS_DISABLED");
        return static_cast<LONG>(std::exchange(w->style, style));
    }
    case GWL_EXSTYLE:
        return static_cast<LONG>(std::exchange(w->exStyle, static_cast<DWORD>(dwNewLong)));
    case GWL_ID:
        return std::exchange(w->id, dwNewLong);
    case GWL_USERDATA:
        return std::exchange(w->userData, dwNewLong);
    }
    if (nIndex == -4 || (nIndex == 4 && handset::DialogOf(hWnd)))
        NotEmulated("SetWindowLongW", "nIndex " + std::to_string(nIndex) +
                                          " (a window or dialog procedure's address)");
    LONG previous = 0;
    if (handset::DialogLong(hWnd, nIndex, &dwNewLong, &previous)) return previous;
    return Fail(ERROR_INVALID_INDEX, LONG(0));
}

// Whether the window was disabled before. A disabled window takes no
// stylus or keys, and neither do its children.
HANDSET_API(BOOL, EnableWindow, (HWND hWnd, BOOL bEnable), (hWnd, bEnable)) {
    if (auto e = Enter("EnableWindow")) return Fail(*e, FALSE);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    bool was = w->enabled;
    if (was != (bEnable != FALSE)) {
        w->enabled = bEnable != FALSE;
        w->style = w->enabled ? (w->style & ~WS_DISABLED) : (w->style | WS_DISABLED);
        Wm().Send(w, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
        Wm().Invalidate(*w, nullptr, true);
    }
    return was ? FALSE : TRUE;
}

HANDSET_API(BOOL, IsWindowEnabled, (HWND hWnd), (hWnd)) {
    (void)Enter("IsWindowEnabled");
    auto w = Wm().Get(hWnd);
    return w && w->enabled ? TRUE : FALSE;
}

// On the calling process's logical screen. The sizes of the phone's parts
// at 96 dpi, in proportion at others; an index the handset does not know
// stops the run.
HANDSET_API(int, GetSystemMetrics, (int nIndex), (nIndex)) {
    (void)Enter("GetSystemMetrics"); // 0 is an answer, not a failure
    RECT screen = Wm().LogicalScreen(Dev().CurrentPid());
    int dpi = Dev().Get<handset::Gdi>().LogicalDpi();
    auto at96 = [&](int pixels) { return pixels * dpi / 96; };
    switch (nIndex) {
    case SM_CXSCREEN:
        return screen.right;
    case SM_CYSCREEN:
        return screen.bottom;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return at96(13);
    case SM_CYCAPTION:
        return at96(26);
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return at96(3);
    case SM_CXICON:
    case SM_CYICON:
        return at96(32);
    case SM_CXSMICON:
    case SM_CYSMICON:
        return at96(16);
    }
    NotEmulated("GetSystemMetrics", "nIndex " + std::to_string(nIndex));
}

// ---- Activation and focus -------------------------------------------------------------------

// The handle with its lowest bit set activates the window's last active
// owned window (if it still shows) instead of the window itself.
HANDSET_API(BOOL, SetForegroundWindow, (HWND hWnd), (hWnd)) {
    if (auto e = Enter("SetForegroundWindow")) return Fail(*e, FALSE);
    auto value = reinterpret_cast<uintptr_t>(hWnd);
    auto w = Wm().Get(reinterpret_cast<HWND>(value & ~uintptr_t(1)));
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    Wm().SetForeground(w, (value & 1) != 0);
    return TRUE;
}

HANDSET_API(HWND, GetForegroundWindow, (), ()) {
    (void)Enter("GetForegroundWindow");
    return Wm().Foreground();
}

HANDSET_API(HWND, SetActiveWindow, (HWND hWnd), (hWnd)) {
    if (auto e = Enter("SetActiveWindow")) return Fail(*e, HWND(nullptr));
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND(nullptr));
    if (w->tid != Dev().CurrentTid()) return Fail(ERROR_ACCESS_DENIED, HWND(nullptr));
    return Wm().SetActive(Wm().Own(), w);
}

HANDSET_API(HWND, GetActiveWindow, (), ()) {
    (void)Enter("GetActiveWindow");
    return Wm().Own().active;
}

// The previous focus window, which may be null; a null hWnd takes the
// focus away.
HANDSET_API(HWND, SetFocus, (HWND hWnd), (hWnd)) {
    if (auto e = Enter("SetFocus")) return Fail(*e, HWND(nullptr));
    if (hWnd) {
        auto w = Wm().Get(hWnd);
        if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND(nullptr));
        if (w->tid != Dev().CurrentTid()) return Fail(ERROR_ACCESS_DENIED, HWND(nullptr));
    }
    return Wm().SetFocus(Wm().Own(), hWnd);
}

HANDSET_API(HWND, GetFocus, (), ()) {
    (void)Enter("GetFocus");
    return Wm().Own().focus;
}

// ---- Messages to windows ----------------------------------------------------------------------

HANDSET_API(LRESULT, SendMessageW, (HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam),
            (hWnd, Msg, wParam, lParam)) {
    if (auto e = Enter("SendMessageW")) return Fail(*e, LRESULT(0));
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, LRESULT(0));
    return Wm().Send(w, Msg, wParam, lParam);
}

// A null window posts to the calling thread, as PostThreadMessageW would.
HANDSET_API(BOOL, PostMessageW, (HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam),
            (hWnd, Msg, wParam, lParam)) {
    if (auto e = Enter("PostMessageW")) return Fail(*e, FALSE);
    if (!hWnd) {
        Wm().Own();
        if (!Wm().PostToThread(Dev().CurrentTid(), Msg, wParam, lParam))
            return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
        return TRUE;
    }
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!Wm().Post(w, Msg, wParam, lParam)) return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    Dev().timeline().Record("message.post",
                            {{"to", w->tid},
                             {"window", uint64_t(reinterpret_cast<uintptr_t>(hWnd))},
                             {"msg", static_cast<DWORD>(Msg)},
                             {"wParam", static_cast<uint64_t>(wParam)},
                             {"lParam", static_cast<int64_t>(lParam)}});
    return TRUE;
}

// ---- Timers -------------------------------------------------------------------------------------

// Periods below 10 ms count as 10 ms (Win32's USER_TIMER_MINIMUM). A timer
// without a window gets a new id, or keeps the id it is set again with.
HANDSET_API(UINT, SetTimer, (HWND hWnd, UINT nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc),
            (hWnd, nIDEvent, uElapse, lpTimerFunc)) {
    if (auto e = Enter("SetTimer")) return Fail(*e, UINT(0));
    DWORD tid = Dev().CurrentTid();
    if (hWnd) {
        auto w = Wm().Get(hWnd);
        if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, UINT(0));
        tid = w->tid;
    } else {
        Wm().Own();
    }
    return Wm().SetTimer(hWnd, tid, nIDEvent, uElapse, lpTimerFunc);
}

// No such timer: ERROR_INVALID_PARAMETER.
HANDSET_API(BOOL, KillTimer, (HWND hWnd, UINT uIDEvent), (hWnd, uIDEvent)) {
    if (auto e = Enter("KillTimer")) return Fail(*e, FALSE);
    if (hWnd && !Wm().Get(hWnd)) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!Wm().KillTimer(hWnd, Dev().CurrentTid(), uIDEvent))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    return TRUE;
}
