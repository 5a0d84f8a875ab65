// SHFullScreen: the taskbar under a full-screen window, back when another
// window comes to the front, and the requests the shell refuses.
#include <gtest/gtest.h>
#include <aygshell.h>

#include <vector>

#include "apps/apps.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "shell/taskbar.h"
#include "tapi/network.h"
#include "user/input.h"
#include "user/window_manager.h"

using handset::Device;

namespace {

std::vector<UINT> g_taps;

LRESULT CALLBACK FullProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_LBUTTONDOWN || m == WM_LBUTTONUP) g_taps.push_back(m);
    return DefWindowProcW(h, m, wp, lp);
}

// A process with a full-screen window in the foreground, which asks for
// `state` and then serves its messages.
HWND StartFullScreen(Device& d, DWORD state) {
    static HWND made;
    static DWORD asked;
    asked = state;
    d.StartProcess("full", [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = FullProc;
        wc.lpszClassName = u"Full";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        RegisterClassW(&wc);
        made = CreateWindowExW(0, u"Full", u"Full", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                               nullptr, nullptr, nullptr);
        SetForegroundWindow(made);
        EXPECT_TRUE(SHFullScreen(made, asked));
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0)
            DispatchMessageW(&m);
        return DWORD(0);
    });
    d.RunUntilIdle();
    return made;
}

} // namespace

TEST(FullScreen, TheTaskbarGoesUnderTheWindowUntilAnotherComesToTheFront) {
    Device d;
    handset::apps::StartPhoneShell(d);
    auto& wm = d.Get<handset::WindowManager>();
    auto& bar = d.Get<handset::Taskbar>();
    HWND full = StartFullScreen(d, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
    EXPECT_FALSE(bar.OnTop());
    EXPECT_FALSE(bar.StartIconShown());
    EXPECT_EQ(full, wm.WindowAt({5, 5}));
    EXPECT_EQ(0, d.Get<handset::Screen>().Pixel(120, 0));
    // A call brings the Phone program to the front, and the shell its taskbar.
    auto& net = d.Get<handset::CellularNetwork>();
    net.Incoming(net.AddStandardLines(), u"5550100");
    d.RunUntilIdle();
    EXPECT_TRUE(bar.OnTop());
    EXPECT_TRUE(bar.SipButtonShown());
    EXPECT_EQ(bar.Window(), wm.WindowAt({5, 5}));
    EXPECT_EQ(handset::gdi::ToRgb565(RGB(40, 110, 200)), d.Get<handset::Screen>().Pixel(120, 0))
        << "the taskbar repainted over the full-screen window's black";
}

TEST(FullScreen, WithTheStartIconHiddenATapOnTheTaskbarGoesToTheWindow) {
    Device d;
    handset::apps::StartPhoneShell(d);
    g_taps.clear();
    StartFullScreen(d, SHFS_HIDESTARTICON);
    EXPECT_TRUE(d.Get<handset::Taskbar>().OnTop());
    handset::Tap(d, handset::Centre(d.Get<handset::Taskbar>().StartIconRect()));
    EXPECT_EQ((std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}), g_taps);
}

TEST(FullScreen, RefusesWhatTheShellCannotDo) {
    Device d;
    handset::apps::StartPhoneShell(d);
    HWND today = handset::apps::TodayWindow(d);
    d.Call([&] {
        HWND mine = nullptr;
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"Back";
        RegisterClassW(&wc);
        mine = CreateWindowExW(0, u"Back", u"", WS_POPUP, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                               nullptr);
        struct Case {
            int line;
            HWND window;
            DWORD state;
            DWORD error;
        } cases[] = {
            {__LINE__, nullptr, SHFS_SHOWTASKBAR, ERROR_INVALID_WINDOW_HANDLE},
            {__LINE__, mine, SHFS_HIDETASKBAR, ERROR_ACCESS_DENIED}, // not in the foreground
            {__LINE__, today, SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON, ERROR_INVALID_PARAMETER},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.line);
            SetLastError(0);
            EXPECT_FALSE(SHFullScreen(c.window, c.state));
            EXPECT_EQ(c.error, GetLastError());
        }
    });
    EXPECT_TRUE(d.Get<handset::Taskbar>().OnTop());
}
