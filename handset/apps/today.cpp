// The Today screen (\Windows\shell32.exe): the desktop under every other
// window, with the date and the owner on a plain background, and the process
// that keeps the shell's taskbar.
#include <windows.h>

#include <string>

#include "apps/programs.h"
#include "device/platform.h"
#include "shell/taskbar.h"
#include "user/window_manager.h"

namespace handset::apps {

namespace {

const COLORREF kBackground = RGB(226, 236, 248);
const COLORREF kInk = RGB(16, 32, 64);
const COLORREF kRule = RGB(160, 180, 210);

// "Tuesday, June 03, 2008", the phone's long date.
std::u16string DateText() {
    using namespace std::chrono;
    Platform& d = Platform::Current();
    auto now = State().options.powerOn + seconds(d.Now() / 1000);
    auto day = floor<days>(now);
    year_month_day ymd{day};
    static const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %s %02u, %d", kDays[weekday{day}.c_encoding()],
                  kMonths[unsigned(ymd.month()) - 1], unsigned(ymd.day()), int(ymd.year()));
    return Widen(text);
}

std::u16string Owner() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kOwnerKey, 0, 0, &key) != ERROR_SUCCESS) return u"";
    WCHAR name[128] = {};
    DWORD type = 0, bytes = sizeof name - sizeof(WCHAR);
    LONG r =
        RegQueryValueExW(key, kOwnerValue, nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_SZ ? std::u16string(name) : u"";
}

struct Rows {
    RECT date, owner;
};

Rows LayOutRows(LONG width) {
    int s = Scale();
    LONG top = Platform::Current().Get<WindowManager>().TaskbarHeight();
    return {{0, top, width, top + 30 * s}, {0, top + 30 * s, width, top + 60 * s}};
}

void Paint(HWND hwnd) {
    int s = Scale();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps); // the class brush has laid the background
    RECT all;
    GetClientRect(hwnd, &all);
    Rows rows = LayOutRows(all.right);
    // A small calendar page beside the date.
    RECT page{8 * s, rows.date.top + 7 * s, 24 * s, rows.date.top + 23 * s};
    FillColour(dc, page, RGB(255, 255, 255));
    FillColour(dc, {page.left, page.top, page.right, page.top + 4 * s}, RGB(200, 40, 40));
    FrameColour(dc, page, s, kRule);
    RECT date{32 * s, rows.date.top, all.right - 8 * s, rows.date.bottom};
    DrawLabel(dc, date, DateText(), 13 * s, true, kInk, DT_SINGLELINE | DT_VCENTER);
    FillColour(dc, {8 * s, rows.date.bottom - s, all.right - 8 * s, rows.date.bottom}, kRule);
    std::u16string owner = Owner();
    RECT line{32 * s, rows.owner.top, all.right - 8 * s, rows.owner.bottom};
    DrawLabel(dc, line, owner.empty() ? u"Tap here to set owner information" : u"Owner: " + owner,
              12 * s, false, kInk, DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS);
    FillColour(dc, {8 * s, rows.owner.bottom - s, all.right - 8 * s, rows.owner.bottom}, kRule);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK TodayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        State().todayDate = DateText();
        Paint(hwnd);
        return 0;
    case WM_TIMER:
        if (DateText() != State().todayDate) InvalidateRect(hwnd, nullptr, TRUE); // past midnight
        return 0;
    case WM_LBUTTONUP: {
        RECT all;
        GetClientRect(hwnd, &all);
        Rows rows = LayOutRows(all.right);
        POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        if (p.y >= rows.date.top && p.y < rows.date.bottom)
            NotEmulated("the Today screen", "a tap on the date (the calendar)");
        if (p.y >= rows.owner.top && p.y < rows.owner.bottom)
            NotEmulated("the Today screen", "a tap on the owner (the owner settings)");
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

int TodayMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TodayProc;
    wc.hInstance = instance;
    wc.hbrBackground = CreateSolidBrush(kBackground);
    wc.lpszClassName = u"DesktopExplorerWindow";
    RegisterClassW(&wc);
    WindowManager& wm = Platform::Current().Get<WindowManager>();
    RECT screen = wm.ScreenRect();
    HWND desktop =
        CreateWindowExW(0, u"DesktopExplorerWindow", u"Start", WS_POPUP | WS_VISIBLE, 0, 0,
                        screen.right, screen.bottom, nullptr, nullptr, instance, nullptr);
    State().today = desktop;
    wm.MakeDesktop(desktop);
    Platform::Current().Get<Taskbar>().MakeWindow();
    SetTimer(desktop, 1, 60000, nullptr);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    DeleteObject(wc.hbrBackground);
    return 0;
}

} // namespace handset::apps
