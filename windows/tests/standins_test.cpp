// The stand-ins on Windows, run under Wine beside the configuration
// program's resources (TessarilCfgRes.dll): what each makes of the
// desktop's calls. Prints each failed check and "N passed, N failed".
#include <windows.h>
#include <commctrl.h>
#include <aygshell.h>
#include <nled.h>
#include <pm.h>
#include <stdio.h>
#include <tlhelp32.h>

namespace {

int g_passed, g_failed;

void Check(bool ok, const char* what, int line) {
    if (ok) {
        ++g_passed;
        return;
    }
    ++g_failed;
    printf("standins_test.cpp:%d: failed: %s (last error %lu)\n", line, what,
           (unsigned long)GetLastError());
}
#define CHECK(expression) Check((expression), #expression, __LINE__)

UINT g_sheetHeard[32];
int g_sheetCount;
WPARAM g_pageCommand;

int CALLBACK SheetCallback(HWND, UINT message, LPARAM) {
    if (g_sheetCount < 32) g_sheetHeard[g_sheetCount++] = message;
    return message == PSCB_GETVERSION ? 0x020C : 0;
}

INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND) g_pageCommand = wParam;
    return message == WM_INITDIALOG;
}

HMODULE Resources() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\')
        --n;
    lstrcpyW(path + n, L"TessarilCfgRes.dll");
    return LoadLibraryW(path);
}

bool IsScreen(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return r.left == 0 && r.top == 0 && r.right == GetSystemMetrics(SM_CXSCREEN) &&
           r.bottom == GetSystemMetrics(SM_CYSCREEN);
}

bool MenuText(HMENU menu, int position, const wchar_t* text) {
    wchar_t buffer[32] = L"";
    GetMenuStringW(menu, position, buffer, 32, MF_BYPOSITION);
    return lstrcmpW(buffer, text) == 0;
}

void FullScreen() {
    HWND w = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, nullptr,
                             nullptr, nullptr, nullptr);
    CHECK(SHFullScreen(w, SHFS_HIDETASKBAR));
    CHECK(IsScreen(w));
    CHECK((GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    CHECK(SHFullScreen(w, SHFS_SHOWTASKBAR));
    CHECK((GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0);
    CHECK(IsScreen(w));
    SetLastError(0);
    CHECK(!SHFullScreen(nullptr, SHFS_HIDETASKBAR));
    CHECK(GetLastError() == ERROR_INVALID_WINDOW_HANDLE);
    DestroyWindow(w);
}

void MenuBars(HMODULE resources) {
    HWND w = CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr,
                             nullptr, nullptr, nullptr);
    // The sheet's menu named as a MENU: its items are the keys.
    SHMENUBARINFO info = {};
    info.cbSize = sizeof info;
    info.hwndParent = w;
    info.dwFlags = SHCMBF_HMENU;
    info.nToolBarId = 1019;
    info.hInstRes = resources;
    CHECK(SHCreateMenuBar(&info));
    HMENU menu = GetMenu(w);
    CHECK(GetMenuItemCount(menu) == 2);
    CHECK(MenuText(menu, 0, L"Apply"));
    CHECK(GetMenuItemID(menu, 0) == 1020);
    CHECK(GetSubMenu(menu, 1) != nullptr);
    CHECK(SendMessageW(info.hwndMB, SHCMBM_GETMENU, 0, 0) == (LRESULT)menu);
    DestroyWindow(info.hwndMB);
    CHECK(GetMenu(w) == nullptr);
    // The same keys from the SHMENUBAR resource: texts from the string table.
    info.dwFlags = 0;
    CHECK(SHCreateMenuBar(&info));
    menu = GetMenu(w);
    CHECK(GetMenuItemCount(menu) == 2);
    CHECK(MenuText(menu, 0, L"Apply"));
    CHECK(GetMenuItemID(menu, 0) == 1020);
    CHECK(MenuText(menu, 1, L"Actions"));
    CHECK(GetMenuItemID(GetSubMenu(menu, 1), 0) == 1021);
    DestroyWindow(info.hwndMB);
    info.nToolBarId = 4242;
    CHECK(!SHCreateMenuBar(&info));
    DestroyWindow(w);
}

void InitDialog() {
    HWND w = CreateWindowExW(0, L"Static", L"", WS_POPUP, 10, 10, 50, 50, nullptr, nullptr, nullptr,
                             nullptr);
    SHINITDLGINFO info = {SHIDIM_FLAGS, w, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
    CHECK(SHInitDialog(&info));
    CHECK(IsScreen(w));
    DestroyWindow(w);
}

void Devices() {
    NLED_COUNT_INFO count = {99};
    CHECK(NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &count));
    CHECK(count.cLeds == 0);
    NLED_SETTINGS_INFO settings = {1, NLED_ON};
    SetLastError(0);
    CHECK(!NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings));
    CHECK(GetLastError() == ERROR_NOT_SUPPORTED);
    CHECK(SetDevicePower((PVOID)L"BKL1:", POWER_NAME | POWER_FORCE, D4) == ERROR_NOT_SUPPORTED);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    CHECK(CloseToolhelp32Snapshot(snapshot));
    CHECK(!CloseHandle(snapshot)); // already closed
}

// The phone's flags and callback on the desktop's sheet: no wizard, the
// version asked first, the menu's commands to the page on top.
void PropertySheet(HMODULE resources) {
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof page;
    page.hInstance = resources;
    page.pszTemplate = MAKEINTRESOURCEW(134);
    page.pfnDlgProc = PageProc;
    HPROPSHEETPAGE pages[1] = {CreatePropertySheetPageW(&page)};
    PROPSHEETHEADERW sheet = {};
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = PSH_USECALLBACK | PSH_MAXIMIZE | PSH_MODELESS;
    sheet.hInstance = resources;
    sheet.pszCaption = L"Tessaril";
    sheet.nPages = 1;
    sheet.phpage = pages;
    sheet.pfnCallback = SheetCallback;
    HWND window = (HWND)PropertySheetW(&sheet);
    CHECK(window != nullptr);
    CHECK(g_sheetCount >= 2 && g_sheetHeard[0] == PSCB_GETVERSION);
    CHECK(g_sheetHeard[g_sheetCount - 1] == PSCB_INITIALIZED);
    CHECK(GetDlgItem(window, IDOK) != nullptr);   // a sheet's OK button,
    CHECK(GetDlgItem(window, 0x3024) == nullptr); // not a wizard's Next
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(1020, 0), 0);
    CHECK(g_pageCommand == 1020);
    int heard = g_sheetCount;
    PropSheet_PressButton(window, PSBTN_APPLYNOW);
    bool versionAgain = false;
    for (int i = heard; i < g_sheetCount; ++i)
        versionAgain |= g_sheetHeard[i] == PSCB_GETVERSION;
    CHECK(!versionAgain); // the desktop's PSCB_BUTTONPRESSED is not passed on
    DestroyWindow(window);
}

} // namespace

int main() {
    InitCommonControls();
    HMODULE resources = Resources();
    CHECK(resources != nullptr);
    FullScreen();
    MenuBars(resources);
    InitDialog();
    Devices();
    PropertySheet(resources);
    printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
