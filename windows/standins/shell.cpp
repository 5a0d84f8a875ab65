// The Pocket PC shell's helpers on the desktop, which has no taskbar of the
// phone's kind, no soft keys and no input panel:
// - SHFullScreen places the window over the whole screen, topmost, while the
//   taskbar is to be hidden, and gives the topmost band back when it is shown;
// - the soft-key menu bar is a plain menu on its parent window, held by a
//   hidden child window (hwndMB) that answers SHCMBM_GETMENU and takes the
//   menu away when destroyed;
// - SHInitDialog sizes the dialog to the work area, or to the screen.
#include <windows.h>
#include <aygshell.h>

namespace {

const WCHAR kMenuBarClass[] = L"TessarilStandInMenuBar";

struct MenuBar {
    HWND parent;
    HMENU menu;
};

LRESULT CALLBACK MenuBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MenuBar* bar = reinterpret_cast<MenuBar*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        return TRUE;
    case SHCMBM_GETMENU:
        return reinterpret_cast<LRESULT>(bar->menu);
    case WM_NCDESTROY:
        if (bar != nullptr) {
            if (GetMenu(bar->parent) == bar->menu) SetMenu(bar->parent, nullptr);
            DestroyMenu(bar->menu);
            delete bar;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A SHMENUBAR resource: the MENU's id, the button count, then per button
// its image, command, state, style, string id, 0 and the index of the
// MENU's item it opens (NOMENU for none).
HMENU MenuFromMenuBar(HINSTANCE instance, UINT id) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (found == nullptr) return nullptr;
    const WORD* words = static_cast<const WORD*>(LockResource(LoadResource(instance, found)));
    DWORD count = SizeofResource(instance, found) / sizeof(WORD);
    if (words == nullptr || count < 2 || count < 2 + 7u * words[1]) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    HMENU source = LoadMenuW(instance, MAKEINTRESOURCEW(words[0]));
    HMENU bar = CreateMenu();
    for (WORD i = 0; i < words[1]; ++i) {
        const WORD* button = words + 2 + 7 * i;
        WCHAR text[64] = L"";
        LoadStringW(instance, button[4], text, 64);
        if (button[6] != NOMENU && source != nullptr) {
            HMENU popup = GetSubMenu(source, button[6]);
            RemoveMenu(source, button[6], MF_BYPOSITION); // now the bar's
            AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), text);
        } else {
            AppendMenuW(bar, MF_STRING, button[1], text);
        }
    }
    if (source != nullptr) DestroyMenu(source);
    return bar;
}

} // namespace

extern "C" {

BOOL WINAPI SHFullScreen(HWND hwndRequester, DWORD dwState) {
    if (!IsWindow(hwndRequester)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (dwState & SHFS_HIDETASKBAR)
        return SetWindowPos(hwndRequester, HWND_TOPMOST, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                            GetSystemMetrics(SM_CYSCREEN), SWP_NOACTIVATE);
    if (dwState & SHFS_SHOWTASKBAR)
        return SetWindowPos(hwndRequester, HWND_NOTOPMOST, 0, 0, 0, 0,
                            SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return TRUE; // the input panel's button and the Start icon: none here
}

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi) {
    if (pmbi == nullptr || pmbi->cbSize < sizeof(SHMENUBARINFO) || !IsWindow(pmbi->hwndParent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HMENU menu = nullptr;
    if (pmbi->dwFlags & SHCMBF_EMPTYBAR)
        menu = CreateMenu();
    else if (pmbi->dwFlags & SHCMBF_HMENU)
        menu = LoadMenuW(pmbi->hInstRes, MAKEINTRESOURCEW(pmbi->nToolBarId));
    else
        menu = MenuFromMenuBar(pmbi->hInstRes, pmbi->nToolBarId);
    if (menu == nullptr) return FALSE;

    static ATOM registered = 0;
    if (registered == 0) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = MenuBarProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kMenuBarClass;
        registered = RegisterClassW(&windowClass);
        if (registered == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            DestroyMenu(menu);
            return FALSE;
        }
    }
    MenuBar* bar = new MenuBar{pmbi->hwndParent, menu};
    HWND holder = CreateWindowExW(0, kMenuBarClass, L"", WS_CHILD, 0, 0, 0, 0, pmbi->hwndParent,
                                  nullptr, GetModuleHandleW(nullptr), bar);
    if (holder == nullptr) {
        DestroyMenu(menu);
        delete bar;
        return FALSE;
    }
    if (!(pmbi->dwFlags & SHCMBF_HIDDEN)) SetMenu(pmbi->hwndParent, menu);
    pmbi->hwndMB = holder;
    return TRUE;
}

BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi) {
    if (pshidi == nullptr || !IsWindow(pshidi->hDlg)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(pshidi->dwMask & SHIDIM_FLAGS)) return TRUE;
    DWORD flags = pshidi->dwFlags;
    RECT area;
    if (flags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) {
        SetRect(&area, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    } else if (flags & SHIDIF_SIZEDLG) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    } else {
        return TRUE; // the Done button and the input panel: the desktop has neither
    }
    return MoveWindow(pshidi->hDlg, area.left, area.top, area.right - area.left,
                      area.bottom - area.top, TRUE);
}

} // extern "C"
