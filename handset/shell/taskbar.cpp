// The taskbar: its state, its window's painting (through the platform calls,
// as the shell program's own code) and its taps.
#include "shell/taskbar.h"

#include <aygshell.h>

#include <string>

#include "device/platform.h"
#include "gdi/gdi.h"
#include "user/window_manager.h"

namespace handset {

namespace {

int Scale(Platform& platform) {
    return std::max(1, platform.Get<Screen>().Dpi() / 96);
}

void Fill(HDC dc, RECT r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

HFONT BoldFont(int em) {
    LOGFONTW lf{};
    lf.lfHeight = -em;
    lf.lfWeight = FW_BOLD;
    std::char_traits<char16_t>::copy(lf.lfFaceName, u"Tahoma", 7);
    return CreateFontIndirectW(&lf);
}

} // namespace

Taskbar::Taskbar(Platform& platform) : Area(platform) {
    platform.Get<WindowManager>().OnForegroundChange([this](HWND fg) { ForegroundChanged(fg); });
}

RECT Taskbar::StartIconRect() const {
    int s = Scale(platform_);
    return {4 * s, 4 * s, 22 * s, 22 * s};
}

RECT Taskbar::SipButtonRect() const {
    int s = Scale(platform_);
    LONG width = platform_.Get<WindowManager>().ScreenRect().right;
    return {width - 28 * s, 5 * s, width - 4 * s, 21 * s};
}

HWND Taskbar::MakeWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = u"HHTaskBar";
    RegisterClassW(&wc);
    WindowManager& wm = platform_.Get<WindowManager>();
    RECT screen = wm.ScreenRect();
    window_ =
        CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, u"HHTaskBar", u"", WS_POPUP | WS_VISIBLE,
                        0, 0, screen.right, wm.TaskbarHeight(), nullptr, nullptr, nullptr, nullptr);
    if (window_ && !onTop_) wm.ToBottom(window_);
    return window_;
}

void Taskbar::FullScreen(HWND requester, DWORD state) {
    WindowManager& wm = platform_.Get<WindowManager>();
    if (state & (SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON))
        requester_ = requester;
    if (state & SHFS_SHOWSIPBUTTON) sipButton_ = true;
    if (state & SHFS_HIDESIPBUTTON) sipButton_ = false;
    if (state & SHFS_SHOWSTARTICON) startIcon_ = true;
    if (state & SHFS_HIDESTARTICON) startIcon_ = false;
    bool hasWindow = wm.Get(window_) != nullptr;
    if (state & SHFS_HIDETASKBAR) {
        onTop_ = false;
        if (hasWindow) wm.ToBottom(window_);
    }
    if (state & SHFS_SHOWTASKBAR) {
        onTop_ = true;
        if (hasWindow) wm.SetTopmost(window_, true);
    }
    platform_.timeline().Record("shell.fullscreen",
                                {{"window", uint64_t(reinterpret_cast<uintptr_t>(requester))},
                                 {"state", state},
                                 {"taskbar", onTop_ ? "top" : "bottom"}});
    Refresh();
}

void Taskbar::ForegroundChanged(HWND foreground) {
    if (requester_ && foreground != requester_) {
        requester_ = nullptr;
        sipButton_ = startIcon_ = true;
        if (!onTop_) {
            onTop_ = true;
            if (platform_.Get<WindowManager>().Get(window_))
                platform_.Get<WindowManager>().SetTopmost(window_, true);
        }
    }
    Refresh(); // the title shown is the foreground window's
}

void Taskbar::Refresh() {
    WindowManager& wm = platform_.Get<WindowManager>();
    if (auto w = wm.Get(window_)) wm.Invalidate(*w, nullptr, false);
}

LRESULT CALLBACK Taskbar::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Taskbar& bar = Platform::Current().Get<Taskbar>();
    switch (message) {
    case WM_PAINT:
        bar.Paint(hwnd);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        bar.Tapped(message, lParam);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void Taskbar::Tapped(UINT message, LPARAM at) {
    WindowManager& wm = platform_.Get<WindowManager>();
    POINT p{static_cast<SHORT>(LOWORD(at)), static_cast<SHORT>(HIWORD(at))};
    auto inside = [&](const RECT& r) {
        return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
    };
    if (!startIcon_) {
        if (auto to = wm.Get(requester_))
            PostMessageW(requester_, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0,
                         MAKELPARAM(p.x - to->rect.left, p.y - to->rect.top));
        return;
    }
    if (message != WM_LBUTTONUP) return;
    if (inside(StartIconRect())) NotEmulated("the Start menu", "a tap on the Start icon");
    if (sipButton_ && inside(SipButtonRect()))
        NotEmulated("the input panel", "a tap on the input-panel button");
}

void Taskbar::Paint(HWND hwnd) {
    int s = Scale(platform_);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT all;
    GetClientRect(hwnd, &all);
    // The default theme's blue, lighter at the top.
    for (LONG y = 0; y < all.bottom; ++y) {
        int f = static_cast<int>(y * 255 / std::max<LONG>(1, all.bottom - 1));
        Fill(dc, {0, y, all.right, y + 1},
             RGB(40 - 40 * f / 255, 110 - 60 * f / 255, 200 - 70 * f / 255));
    }
    LONG titleLeft = 6 * s;
    if (startIcon_) {
        RECT r = StartIconRect();
        LONG half = (r.right - r.left) / 2, gap = s;
        Fill(dc, {r.left, r.top, r.left + half - gap, r.top + half - gap}, RGB(240, 80, 32));
        Fill(dc, {r.left + half, r.top, r.right, r.top + half - gap}, RGB(120, 200, 40));
        Fill(dc, {r.left, r.top + half, r.left + half - gap, r.bottom}, RGB(0, 160, 240));
        Fill(dc, {r.left + half, r.top + half, r.right, r.bottom}, RGB(255, 200, 0));
        titleLeft = r.right + 6 * s;
    }
    LONG titleRight = all.right - 6 * s;
    if (sipButton_) {
        // A keyboard: a white outline and three rows of keys.
        RECT k = SipButtonRect();
        const COLORREF white = RGB(255, 255, 255);
        Fill(dc, {k.left, k.top, k.right, k.top + s}, white);
        Fill(dc, {k.left, k.bottom - s, k.right, k.bottom}, white);
        Fill(dc, {k.left, k.top, k.left + s, k.bottom}, white);
        Fill(dc, {k.right - s, k.top, k.right, k.bottom}, white);
        for (int row = 0; row < 3; ++row)
            for (LONG x = k.left + 3 * s; x + 2 * s <= k.right - 2 * s; x += 4 * s) {
                LONG y = k.top + 3 * s + row * 4 * s;
                if (y + 2 * s > k.bottom - 2 * s) break;
                Fill(dc, {x, y, x + 2 * s, y + 2 * s}, white);
            }
        titleRight = k.left - 6 * s;
    }
    WCHAR title[128] = {};
    if (HWND fg = GetForegroundWindow()) GetWindowTextW(fg, title, 128);
    HFONT font = BoldFont(13 * s);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT text{titleLeft, 0, titleRight, all.bottom};
    DrawTextW(dc, title, -1, &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_WORD_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
    EndPaint(hwnd, &ps);
}

} // namespace handset
