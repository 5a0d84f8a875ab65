// The phone's property sheet on the desktop's comctl32. The phone's values
// that mean something else there are turned into the desktop's: the sheet is
// never a wizard (PSH_MAXIMIZE is PSH_WIZARD), the program's callback is asked
// PSCB_GETVERSION before the sheet exists, as the phone asks, and never hears
// the desktop's PSCB_BUTTONPRESSED, which has the same number. The soft-key
// menu bar stands in as the sheet's menu, whose commands the phone's sheet
// hands to the page on top; the desktop's sheet would drop them.
#define TESSARIL_STANDINS
#include <windows.h>
#include <commctrl.h>

namespace {

// One sheet at a time, as device code shows them (PropertySheetW is modal).
PFNPROPSHEETCALLBACK g_programCallback;
WNDPROC g_sheetProc;

LRESULT CALLBACK SheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam) {
    bool fromMenu = message == WM_COMMAND && HIWORD(wParam) == 0 && lParam == 0;
    if (fromMenu && LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) {
        if (HWND page = PropSheet_GetCurrentPageHwnd(sheet))
            return SendMessageW(page, WM_COMMAND, wParam, lParam);
    }
    return CallWindowProcW(g_sheetProc, sheet, message, wParam, lParam);
}

int CALLBACK DesktopSheetCallback(HWND sheet, UINT message, LPARAM lParam) {
    switch (message) {
    case PSCB_PRECREATE:
        return g_programCallback(sheet, message, lParam);
    case PSCB_INITIALIZED:
        g_sheetProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetProc)));
        return g_programCallback(sheet, message, lParam);
    }
    return 0; // PSCB_BUTTONPRESSED: the program would take it for PSCB_GETVERSION
}

} // namespace

extern "C" INT_PTR WINAPI StandInPropertySheetW(LPCPROPSHEETHEADERW header) {
    if (header == nullptr || header->dwSize < PROPSHEETHEADERW_V1_SIZE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    PROPSHEETHEADERW desktop = {};
    CopyMemory(&desktop, header, header->dwSize < sizeof desktop ? header->dwSize : sizeof desktop);
    desktop.dwFlags &= ~PSH_MAXIMIZE;
    if ((desktop.dwFlags & PSH_USECALLBACK) && desktop.pfnCallback != nullptr) {
        g_programCallback = desktop.pfnCallback;
        g_programCallback(nullptr, PSCB_GETVERSION, 0);
        desktop.pfnCallback = DesktopSheetCallback;
    }
    return PropertySheetW(&desktop);
}
