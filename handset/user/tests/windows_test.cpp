// Windows on the phone's screen: clipping under windows above, exposure,
// timers, where taps and keys go, message boxes and what a process leaves.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "device/device.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "testing/testing.h"
#include "user/input.h"
#include "user/window_manager.h"

using handset::Device;
using handset::Region;
using handset::WindowManager;

namespace {

constexpr UINT kDestroy = WM_APP + 1; // asks a window to destroy itself
// Answers twice wParam, plus what the window in lParam answers to kFive.
constexpr UINT kDouble = WM_APP + 2;
constexpr UINT kFive = WM_APP + 3;

struct Seen {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    uint64_t t;
    RECT paint;
    BOOL erase;
};
std::vector<Seen> g_seen;
std::map<HWND, COLORREF> g_colour; // what each window paints its whole client with

std::vector<Seen> SeenBy(HWND h, UINT msg) {
    std::vector<Seen> out;
    for (const Seen& s : g_seen)
        if (s.hwnd == h && s.msg == msg) out.push_back(s);
    return out;
}

LRESULT CALLBACK Recorder(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    Seen s{h, m, wp, lp, Device::Current().Now(), {}, FALSE};
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        s.paint = ps.rcPaint;
        s.erase = ps.fErase;
        if (auto it = g_colour.find(h); it != g_colour.end()) {
            RECT all;
            GetClientRect(h, &all);
            HBRUSH b = CreateSolidBrush(it->second);
            FillRect(dc, &all, b);
            DeleteObject(b);
        }
        EndPaint(h, &ps);
        g_seen.push_back(s);
        return 0;
    }
    g_seen.push_back(s);
    if (m == kDouble)
        return LRESULT(wp * 2) + (lp ? SendMessageW(reinterpret_cast<HWND>(lp), kFive, 0, 0) : 0);
    if (m == kFive) return 5;
    if (m == kDestroy) DestroyWindow(h);
    if (m == WM_TIMER) InvalidateRect(h, nullptr, FALSE);
    return DefWindowProcW(h, m, wp, lp);
}

struct WindowPlan {
    RECT rect;
    std::optional<COLORREF> colour; // none: paints nothing
    DWORD style = WS_POPUP | WS_VISIBLE;
};

// A process whose thread makes the windows (bottom first) with a class of
// the given background brush and serves them until WM_QUIT.
DWORD StartWindows(Device& d, std::vector<WindowPlan> plans, std::vector<HWND>* made,
                   int brush = NULL_BRUSH, bool loop = true) {
    DWORD pid = d.StartProcess("windows", [plans = std::move(plans), made, brush, loop] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Recorder;
        wc.lpszClassName = u"Recorder";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(brush));
        RegisterClassW(&wc);
        for (const WindowPlan& s : plans) {
            HWND h = CreateWindowExW(0, u"Recorder", u"", s.style, s.rect.left, s.rect.top,
                                     s.rect.right - s.rect.left, s.rect.bottom - s.rect.top,
                                     nullptr, nullptr, nullptr, nullptr);
            if (s.colour) g_colour[h] = *s.colour;
            made->push_back(h);
        }
        MSG m;
        while (loop && GetMessageW(&m, nullptr, 0, 0) > 0)
            DispatchMessageW(&m);
        return DWORD(0);
    });
    d.RunUntilIdle();
    return pid;
}

uint16_t Rgb(COLORREF c) {
    return handset::gdi::ToRgb565(c);
}

const COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kGreen = RGB(0, 255, 0);

class Windows : public ::testing::Test {
  protected:
    void SetUp() override {
        g_seen.clear();
        g_colour.clear();
    }
    Device d;
    WindowManager& wm = d.Get<WindowManager>();
};

} // namespace

TEST_F(Windows, ALowerWindowsPaintDoesNotReachWhatAWindowAboveCovers) {
    std::vector<HWND> w;
    StartWindows(d, {{{0, 0, 240, 320}, kRed}, {{40, 40, 120, 120}, kBlue}}, &w);
    // The lower window repaints all of itself while the upper one stays.
    d.Call([&] { InvalidateRect(w[0], nullptr, FALSE); });
    d.RunUntilIdle();
    ASSERT_EQ(2u, SeenBy(w[0], WM_PAINT).size());
    struct Case {
        int line;
        int x, y;
        COLORREF expected;
    } cases[] = {
        {__LINE__, 10, 10, kRed},   {__LINE__, 40, 40, kBlue}, {__LINE__, 119, 119, kBlue},
        {__LINE__, 120, 119, kRed}, {__LINE__, 39, 80, kRed},  {__LINE__, 80, 120, kRed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Rgb(c.expected), d.Get<handset::Screen>().Pixel(c.x, c.y))
            << "at " << c.x << "," << c.y;
    }
}

TEST(WindowsExposure, WhatAWindowUncoversIsRepaintedBelowItAndNothingMore) {
    // The top window (a third) covers part of the middle one's old place, so
    // the bottom one gets only what neither still covers.
    struct Case {
        int line;
        const char* action;
        RECT expected; // of the bottom window, client = screen coordinates here
    } cases[] = {
        {__LINE__, "hide", {40, 40, 120, 120}},
        {__LINE__, "destroy", {40, 40, 120, 120}},
        {__LINE__, "move", {40, 40, 120, 120}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Device d;
        g_seen.clear();
        g_colour.clear();
        std::vector<HWND> w;
        StartWindows(d,
                     {{{0, 0, 240, 320}, std::nullopt},
                      {{40, 40, 120, 120}, kBlue},
                      {{100, 100, 200, 200}, kGreen}},
                     &w);
        size_t before = SeenBy(w[0], WM_PAINT).size();
        std::string action = c.action;
        d.Call([&] {
            if (action == "hide") ShowWindow(w[1], SW_HIDE);
            if (action == "destroy") PostMessageW(w[1], kDestroy, 0, 0);
            if (action == "move") MoveWindow(w[1], 60, 150, 80, 80, FALSE);
        });
        if (action == "destroy") d.RunUntilIdle();
        Region expected = Region(c.expected) - Region(RECT{100, 100, 200, 200});
        if (action == "move") expected.Subtract(Region(RECT{60, 150, 140, 230}));
        if (action != "destroy") {
            auto bottom = d.Get<WindowManager>().Info(w[0]);
            EXPECT_EQ(expected.ToString(), bottom->update.ToString());
        }
        d.RunUntilIdle();
        auto paints = SeenBy(w[0], WM_PAINT);
        ASSERT_EQ(before + 1, paints.size());
        EXPECT_EQ(handset::ToString(expected.Bounds()), handset::ToString(paints.back().paint));
        EXPECT_TRUE(paints.back().erase) << "NULL_BRUSH: the window erases nothing itself";
        // Nobody drew there: the screen keeps the middle window's blue.
        EXPECT_EQ(Rgb(kBlue), d.Get<handset::Screen>().Pixel(50, 50));
        EXPECT_TRUE(d.Get<WindowManager>().Info(w[0])->update.Empty());
    }
}

TEST_F(Windows, AClassBrushErasesTheUncoveredPartBeforeThePaint) {
    std::vector<HWND> w;
    StartWindows(d, {{{0, 0, 240, 320}, std::nullopt}, {{40, 40, 120, 120}, kBlue}}, &w,
                 WHITE_BRUSH);
    d.Call([&] { ShowWindow(w[1], SW_HIDE); });
    d.RunUntilIdle();
    EXPECT_FALSE(SeenBy(w[0], WM_PAINT).back().erase);
    EXPECT_EQ(0xFFFF, d.Get<handset::Screen>().Pixel(50, 50));
}

TEST_F(Windows, ALateTimerGivesOneMessageAndTimersComeInDueOrder) {
    static std::vector<std::pair<UINT, uint64_t>> got;
    got.clear();
    d.Call([&] {
        std::vector<HWND> none;
        WNDCLASSW wc{};
        wc.lpfnWndProc = Recorder;
        wc.lpszClassName = u"T";
        RegisterClassW(&wc);
        HWND h = CreateWindowExW(0, u"T", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
        SetTimer(h, 2, 150, nullptr);
        SetTimer(h, 1, 100, nullptr);
        Sleep(1000); // busy: each timer expires many times meanwhile
        MSG m;
        while (got.size() < 4 && GetMessageW(&m, nullptr, 0, 0))
            if (m.message == WM_TIMER) got.emplace_back(UINT(m.wParam), GetTickCount());
        KillTimer(h, 1);
        EXPECT_FALSE(KillTimer(h, 1));
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    });
    // Each expired many times during the sleep and comes once, timer 1 (due
    // at 100) before timer 2 (due at 150); then each at its period.
    EXPECT_EQ((std::vector<std::pair<UINT, uint64_t>>{{1, 1000}, {2, 1000}, {2, 1050}, {1, 1100}}),
              got);
}

TEST_F(Windows, AThreadTimerRunsItsProcedureThroughDispatch) {
    static std::vector<DWORD> calls;
    calls.clear();
    d.Call([] {
        UINT id = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT, DWORD t) { calls.push_back(t); });
        MSG m;
        while (calls.size() < 2 && GetMessageW(&m, nullptr, 0, 0))
            DispatchMessageW(&m);
        EXPECT_TRUE(KillTimer(nullptr, id));
    });
    EXPECT_EQ((std::vector<DWORD>{300, 600}), calls);
}

TEST_F(Windows, ATapGoesToTheTopmostVisibleWindowAtItsPoint) {
    std::vector<HWND> w;
    StartWindows(d,
                 {{{0, 0, 240, 320}, std::nullopt},
                  {{20, 20, 100, 100}, std::nullopt},
                  {{50, 50, 200, 200}, std::nullopt, WS_POPUP}},
                 &w);
    struct Case {
        int line;
        POINT at;
        int window; // index into w
        POINT client;
    } cases[] = {
        {__LINE__, {30, 30}, 1, {10, 10}},
        {__LINE__, {60, 60}, 1, {40, 40}}, // the hidden window above is skipped
        {__LINE__, {150, 150}, 0, {150, 150}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        g_seen.clear();
        handset::Tap(d, c.at);
        auto down = SeenBy(w[c.window], WM_LBUTTONDOWN);
        auto up = SeenBy(w[c.window], WM_LBUTTONUP);
        ASSERT_EQ(1u, down.size());
        ASSERT_EQ(1u, up.size());
        EXPECT_EQ(MAKELPARAM(c.client.x, c.client.y), down[0].lParam);
        EXPECT_EQ(WPARAM(MK_LBUTTON), down[0].wParam);
        EXPECT_EQ(2u, g_seen.size() - SeenBy(w[c.window], WM_PAINT).size())
            << "no other window heard of it";
    }
    auto taps = d.timeline().Find("input.stylus");
    ASSERT_EQ(6u, taps.size());
    EXPECT_EQ(uint64_t(reinterpret_cast<uintptr_t>(w[0])), taps.back()->Number("window"));
}

TEST_F(Windows, KeysGoToTheFocusWindowOfTheForegroundThread) {
    std::vector<HWND> a, b;
    DWORD pa = StartWindows(d, {{{0, 0, 240, 320}, std::nullopt}}, &a);
    DWORD pb = StartWindows(d, {{{0, 0, 240, 320}, std::nullopt}}, &b);
    struct Case {
        int line;
        HWND foreground;
        HWND expected;
        DWORD process;
    } cases[] = {
        {__LINE__, b[0], b[0], pb},
        {__LINE__, a[0], a[0], pa},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        d.Call([&] { SetForegroundWindow(c.foreground); });
        d.RunUntilIdle();
        g_seen.clear();
        handset::PressKey(d, VK_APP1);
        ASSERT_EQ(2u, g_seen.size());
        EXPECT_EQ(c.expected, g_seen[0].hwnd);
        EXPECT_EQ(UINT(WM_KEYDOWN), g_seen[0].msg);
        EXPECT_EQ(UINT(WM_KEYUP), g_seen[1].msg);
        EXPECT_EQ(WPARAM(VK_APP1), g_seen[1].wParam);
        EXPECT_EQ(c.process, DWORD(d.timeline().Find("input.key").back()->Number("process")));
    }
}

TEST_F(Windows, SendMessageWaitsForTheWindowsThreadAndServesWhatItIsSentMeanwhile) {
    std::vector<HWND> other;
    StartWindows(d, {{{0, 0, 10, 10}, std::nullopt}}, &other);
    LRESULT answer = 0;
    HWND mine = nullptr;
    d.Call([&] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Recorder;
        wc.lpszClassName = u"Mine";
        RegisterClassW(&wc);
        mine = CreateWindowExW(0, u"Mine", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                               nullptr);
        // The other thread asks this one back before it answers.
        answer = SendMessageW(other[0], kDouble, 7, reinterpret_cast<LPARAM>(mine));
    });
    EXPECT_EQ(19, answer);
    EXPECT_EQ(1u, SeenBy(mine, kFive).size());
}

TEST_F(Windows, FindWindowMatchesClassAndTitleWithoutRegardToCase) {
    std::vector<HWND> w;
    StartWindows(d, {{{0, 0, 10, 10}, std::nullopt}}, &w);
    d.Call([&] {
        SetWindowTextW(w[0], u"Call Time");
        struct Case {
            int line;
            LPCWSTR cls, title;
            HWND expected;
        } cases[] = {
            {__LINE__, u"RECORDER", nullptr, w[0]},
            {__LINE__, nullptr, u"call time", w[0]},
            {__LINE__, u"Recorder", u"Call", nullptr},
            {__LINE__, u"Other", nullptr, nullptr},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.line);
            EXPECT_EQ(c.expected, FindWindowW(c.cls, c.title));
        }
    });
}

TEST_F(Windows, AChildIsVisibleOnlyWhileItsParentsAre) {
    d.Call([&] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Recorder;
        wc.lpszClassName = u"Recorder";
        RegisterClassW(&wc);
        auto make = [](DWORD style, HWND parent) {
            return CreateWindowExW(0, u"Recorder", u"", style, 0, 0, 10, 10, parent, nullptr,
                                   nullptr, nullptr);
        };
        HWND top = make(WS_POPUP | WS_VISIBLE, nullptr);
        HWND child = make(WS_CHILD | WS_VISIBLE, top);
        HWND grandchild = make(WS_CHILD | WS_VISIBLE, child);
        EXPECT_EQ(TRUE, IsWindowVisible(grandchild));
        ShowWindow(top, SW_HIDE);
        EXPECT_EQ(FALSE, IsWindowVisible(child));
        EXPECT_EQ(FALSE, IsWindowVisible(grandchild));
        ShowWindow(top, SW_SHOW);
        ShowWindow(child, SW_HIDE);
        EXPECT_EQ(TRUE, IsWindowVisible(top));
        EXPECT_EQ(FALSE, IsWindowVisible(grandchild));
        EXPECT_EQ(FALSE, IsWindowVisible(nullptr));
        DestroyWindow(top);
    });
}

TEST_F(Windows, SetForegroundWithTheLowBitActivatesTheLastActiveOwnedWindow) {
    d.Call([&] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Recorder;
        wc.lpszClassName = u"Recorder";
        RegisterClassW(&wc);
        HWND owner = CreateWindowExW(0, u"Recorder", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                     nullptr, nullptr, nullptr, nullptr);
        HWND owned = CreateWindowExW(0, u"Recorder", u"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                     owner, nullptr, nullptr, nullptr);
        HWND other = CreateWindowExW(0, u"Recorder", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                     nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(owner);
        EXPECT_EQ(owner, GetForegroundWindow());
        EXPECT_EQ(owned, wm.WindowAt({10, 10})) << "owned windows come along, above";
        SetForegroundWindow(other);
        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(owner) | 1));
        EXPECT_EQ(owned, GetForegroundWindow());
        EXPECT_EQ(owned, GetFocus());
    });
}

TEST(MessageBoxes, RunsTheCallersMessagesUntilItIsAnswered) {
    for (const char* by : {"driver", "tap"}) {
        SCOPED_TRACE(by);
        Device d;
        g_seen.clear();
        g_colour.clear();
        static HWND owner;
        static int answer;
        DWORD pid = d.StartProcess("asker", [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Recorder;
            wc.lpszClassName = u"Owner";
            RegisterClassW(&wc);
            owner = CreateWindowExW(0, u"Owner", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                    nullptr, nullptr, nullptr, nullptr);
            SetTimer(owner, 1, 1000, nullptr);
            answer = MessageBoxW(owner, u"Drop the call?", u"Call",
                                 MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
            return DWORD(0);
        });
        d.RunFor(3500);
        auto& wm = d.Get<WindowManager>();
        const handset::MessageBoxInfo* box = wm.OpenMessageBox();
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("Drop the call?", handset::testing::N(box->text));
        EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box->buttons);
        EXPECT_EQ(3u, SeenBy(owner, WM_TIMER).size()) << "the owner's timer runs meanwhile";
        EXPECT_EQ(4u, SeenBy(owner, WM_PAINT).size()) << "and it paints after each tick";
        EXPECT_EQ(box->window, wm.Foreground());
        handset::Tap(d, {5, 5}); // on the owner, which takes no input while the box is up
        EXPECT_EQ(0u, SeenBy(owner, WM_LBUTTONDOWN).size());
        if (std::string(by) == "driver")
            handset::AnswerMessageBox(d, IDYES);
        else
            handset::Tap(d, handset::Centre(box->buttonRects[0]));
        d.RunUntilExit(pid, 1000);
        EXPECT_EQ(IDYES, answer);
        auto shown = d.timeline().Find("msgbox.show");
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ("Call", shown[0]->Get("caption"));
        EXPECT_EQ(std::to_string(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2),
                  shown[0]->Get("style"));
        EXPECT_EQ(by, d.timeline().Find("msgbox.answer")[0]->Get("by"));
    }
}

TEST_F(Windows, TheWindowsAProcessLeavesAreCountedAndDestroyedAtItsEnd) {
    std::vector<HWND> lower, left;
    StartWindows(d, {{{0, 0, 240, 320}, std::nullopt}}, &lower);
    // This one makes its windows and ends without serving them.
    DWORD pid = StartWindows(d, {{{10, 10, 50, 50}, kBlue}, {{60, 60, 90, 90}, kBlue}}, &left,
                             NULL_BRUSH, false);
    ASSERT_FALSE(d.ProcessRunning(pid));
    EXPECT_EQ(2, d.Held(pid, handset::kWindow));
    EXPECT_EQ(1u, wm.Windows().size());
    EXPECT_FALSE(wm.Info(left[0]));
    EXPECT_EQ(2u, d.timeline().Count("window.destroy"));
    EXPECT_EQ(0u, SeenBy(left[0], WM_DESTROY).size()) << "its thread could not run it";
    auto paints = SeenBy(lower[0], WM_PAINT);
    ASSERT_EQ(2u, paints.size());
    EXPECT_EQ("(10,10)-(90,90)", handset::ToString(paints[1].paint))
        << "the window below repaints what they uncovered";
}

// The first window comes before any GDI use, so the gdi area, made for it,
// goes before the window manager; the manager then has no lookup to take
// back and must not make the area again.
TEST(WindowsTeardown, TheGdiAreaMadeAfterTheWindowManagerIsNotMadeAgainAtPowerOff) {
    Device d;
    EXPECT_EQ(nullptr, d.Find<handset::Gdi>());
    d.Call([] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"Plain";
        RegisterClassW(&wc);
        EXPECT_NE(nullptr, CreateWindowExW(0, u"Plain", u"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                           nullptr, nullptr, nullptr));
    });
    EXPECT_NE(nullptr, d.Find<handset::Gdi>());
    EXPECT_NE(nullptr, d.Find<WindowManager>());
}
