// The About page, the bold font of its texts, the full-screen dialog set-up
// and the soft-key menu bar.
#include "about.h"

#include <string.h>

#include "config_state.h"
#include "res/resource.h"

BOOL CreateBoldFont() {
    HDC screen = GetDC(NULL);
    if (screen == NULL) return FALSE;
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    LOGFONTW description;
    memset(&description, 0, sizeof description);
    // A character height (negative), truncated toward zero: -16 at 130 dpi.
    description.lfHeight = -(9 * dpi) / 72;
    description.lfWeight = FW_BOLD;
    description.lfPitchAndFamily = FF_SWISS | DEFAULT_PITCH;
    wcscpy(description.lfFaceName, TEXT("Tahoma"));
    HFONT font = CreateFontIndirectW(&description);
    if (font == NULL) return FALSE;
    DeleteBoldFont();
    g_configState.boldFont = font;
    return TRUE;
}

void DeleteBoldFont() {
    if (g_configState.boldFont == NULL) return;
    DeleteObject(g_configState.boldFont);
    g_configState.boldFont = NULL;
}

void SetBoldFont(HWND control) {
    SendMessageW(control, WM_SETFONT, (WPARAM)g_configState.boldFont, FALSE);
}

BOOL InitFullScreenDialog(HWND dialog, DWORD flags) {
    SHINITDLGINFO info;
    memset(&info, 0, sizeof info);
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = flags;
    return SHInitDialog(&info);
}

HWND CreateMenuBar(HINSTANCE instance, HWND window, UINT menuId) {
    SHMENUBARINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.hwndParent = window;
    info.dwFlags = SHCMBF_HMENU; // menuId names a MENU: its top-level items are the keys
    info.nToolBarId = menuId;
    info.hInstRes = instance;
    return SHCreateMenuBar(&info) ? info.hwndMB : NULL;
}

namespace {

void DestroyAboutMenuBar() {
    if (g_configState.aboutMenuBar == NULL) return;
    DestroyWindow(g_configState.aboutMenuBar);
    g_configState.aboutMenuBar = NULL;
}

} // namespace

void ShowAboutPage(HINSTANCE instance) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCE(IDD_ABOUT), RT_DIALOG);
    if (found == NULL) return;
    HGLOBAL loaded = LoadResource(instance, found);
    if (loaded == NULL) return;
    DialogBoxIndirectParamW(instance, (LPCDLGTEMPLATEW)LockResource(loaded), NULL, AboutPageProc,
                            (LPARAM)instance);
}

BOOL CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitFullScreenDialog(page, ABOUT_PAGE_DIALOG_FLAGS);
        DestroyAboutMenuBar(); // none should be left, but never two
        g_configState.aboutMenuBar = CreateMenuBar((HINSTANCE)lParam, page, IDR_ABOUT_MENU);
        SetBoldFont(GetDlgItem(page, IDC_ABOUT_VERSION));
        SetBoldFont(GetDlgItem(page, IDC_ABOUT_LINE2));
        SetBoldFont(GetDlgItem(page, IDC_ABOUT_LINE3));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
        case IDM_DONE:
            // The page's own menu bar goes before the page does, whichever way out.
            DestroyAboutMenuBar();
            EndDialog(page, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        DestroyAboutMenuBar();
        EndDialog(page, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}
