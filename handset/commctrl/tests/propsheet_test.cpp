// A program's three-page property sheet with its soft-key menu bar, and a
// full-screen page: what the pages are told and in which order, the menu
// bar's keys and popup, the OK button, what the program sees on a 192-dpi
// screen when it is not high-resolution aware, and pictures of both.
#include <gtest/gtest.h>

#include <aygshell.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "apps/apps.h"
#include "commctrl/propsheet.h"
#include "commctrl_aware_res.h"
#include "commctrl_sheet_res.h"
#include "device/device.h"
#include "gdi/gdi.h"
#include "res/resources.h"
#include "shell/menubar.h"
#include "shell/shell.h"
#include "shell/taskbar.h"
#include "testing/testing.h"
#include "user/controls.h"
#include "user/input.h"
#include "user/window_manager.h"

using handset::Device;
using handset::WindowManager;
using Log = std::vector<std::string>;

namespace {

const char16_t kExe[] = u"\\Program Files\\Sample\\Sample.exe";

// What the program does and what it saw.
struct Program {
    bool about = false;             // the full-screen page instead of the sheet
    int version = COMCTL32_VERSION; // its answer to PSCB_GETVERSION
    DWORD premature[3] = {PSP_PREMATURE, 0, PSP_PREMATURE};
    std::map<std::pair<int, UINT>, LRESULT> answers; // (page, code) -> DWL_MSGRESULT
    std::map<int, LRESULT> queryAnswers;             // page -> PSM_QUERYSIBLINGS's answer
    Log log;
    int caps[4] = {}; // HORZRES, VERTRES, LOGPIXELSY, SM_CXSCREEN
    HINSTANCE instance = nullptr;
    HWND bar = nullptr;
};
Program g;

void Say(const std::string& s) {
    g.log.push_back(s);
}

std::string CodeName(UINT code) {
    switch (code) {
    case PSN_SETACTIVE:
        return "setactive";
    case PSN_KILLACTIVE:
        return "killactive";
    case PSN_APPLY:
        return "apply";
    case PSN_RESET:
        return "reset";
    case PSN_QUERYCANCEL:
        return "querycancel";
    }
    return "notify " + std::to_string(code);
}

BOOL CALLBACK PageProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    int page = GetWindowLongW(dlg, DWL_USER);
    switch (message) {
    case WM_INITDIALOG: {
        page = static_cast<int>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
        SetWindowLongW(dlg, DWL_USER, page);
        Say("init " + std::to_string(page));
        for (int id : {100, 101, 200, 300})
            for (const char16_t* item : {u"Never", u"5 sec.", u"10 sec.", u"15 sec.", u"20 sec."})
                SendDlgItemMessageW(dlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        SendDlgItemMessageW(dlg, 100, CB_SETCURSEL, 1, 0);
        return TRUE;
    }
    case WM_NOTIFY: {
        auto* n = reinterpret_cast<NMHDR*>(lParam);
        Say(CodeName(n->code) + " " + std::to_string(page));
        auto it = g.answers.find({page, n->code});
        SetWindowLongW(dlg, DWL_MSGRESULT, it == g.answers.end() ? 0 : LONG(it->second));
        return TRUE;
    }
    case PSM_QUERYSIBLINGS:
        Say("query " + std::to_string(page));
        SetWindowLongW(dlg, DWL_MSGRESULT, LONG(g.queryAnswers[page]));
        return TRUE;
    case WM_COMMAND:
        if (lParam) return FALSE; // the controls' own notifications
        Say("command " + std::to_string(LOWORD(wParam)) + " " + std::to_string(page));
        if (LOWORD(wParam) == 41)
            Say("siblings " +
                std::to_string(SendMessageW(GetParent(dlg), PSM_QUERYSIBLINGS, 0, 0)));
        return FALSE;
    }
    return FALSE;
}

UINT CALLBACK PageCallback(HWND, UINT message, PROPSHEETPAGEW* psp) {
    Say((message == PSPCB_CREATE ? "create " : "release ") + std::to_string(psp->lParam));
    return ~0u;
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_GETVERSION) return g.version;
    if (message == PSCB_INITIALIZED) {
        Say("initialized");
        SHMENUBARINFO mb = {};
        mb.cbSize = sizeof mb;
        mb.hwndParent = sheet;
        mb.nToolBarId = 40;
        mb.hInstRes = g.instance;
        if (SHCreateMenuBar(&mb)) g.bar = mb.hwndMB;
    }
    return 0;
}

BOOL CALLBACK AboutProc(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SHINITDLGINFO init = {SHIDIM_FLAGS, dlg,
                              SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
        SHInitDialog(&init);
        SHMENUBARINFO mb = {};
        mb.cbSize = sizeof mb;
        mb.hwndParent = dlg;
        mb.nToolBarId = 50;
        mb.hInstRes = g.instance;
        if (SHCreateMenuBar(&mb)) g.bar = mb.hwndMB;
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == 51)) {
        Say("end " + std::to_string(LOWORD(wParam)));
        DestroyWindow(g.bar);
        EndDialog(dlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

int SampleMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    g.instance = instance;
    g.caps[0] = GetDeviceCaps(nullptr, HORZRES);
    g.caps[1] = GetDeviceCaps(nullptr, VERTRES);
    g.caps[2] = GetDeviceCaps(nullptr, LOGPIXELSY);
    g.caps[3] = GetSystemMetrics(SM_CXSCREEN);
    if (g.about) {
        DialogBoxParamW(instance, MAKEINTRESOURCE(20), nullptr, AboutProc, 0);
        return 0;
    }
    PROPSHEETPAGEW pages[3] = {};
    HPROPSHEETPAGE handles[3] = {};
    for (int i = 0; i < 3; ++i) {
        pages[i].dwSize = sizeof(PROPSHEETPAGEW);
        pages[i].dwFlags = PSP_USECALLBACK | g.premature[i];
        pages[i].hInstance = instance;
        pages[i].pszTemplate = MAKEINTRESOURCE(10 + i);
        pages[i].pfnDlgProc = PageProc;
        pages[i].lParam = i;
        pages[i].pfnCallback = PageCallback;
        handles[i] = CreatePropertySheetPageW(&pages[i]);
    }
    PROPSHEETHEADERW sheet = {};
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = PSH_USECALLBACK | PSH_MAXIMIZE;
    sheet.hInstance = instance;
    sheet.pszCaption = MAKEINTRESOURCE(1);
    sheet.nPages = 3;
    sheet.phpage = handles;
    sheet.pfnCallback = SheetCallback;
    Say("result " + std::to_string(PropertySheetW(&sheet)));
    DestroyWindow(g.bar); // gone with the sheet, which owned it
    return 0;
}

// Starts the sample program (aware or not, built for Windows Mobile 5.0 or
// the platform named) on a device, and runs it until it waits in its sheet
// or page.
DWORD Start(Device& d, bool aware = false, DWORD builtFor = 0) {
    d.RegisterProgram(kExe, SampleMain);
    if (builtFor) d.Get<handset::Shell>().SetBuiltFor(kExe, builtFor);
    std::string error;
    bool attached = aware ? d.Get<handset::Resources>().Attach(kExe, {kAwareRes, kAwareResSize},
                                                               "aware.res", &error)
                          : d.Get<handset::Resources>().Attach(kExe, {kSheetRes, kSheetResSize},
                                                               "sheet.res", &error);
    EXPECT_TRUE(attached) << error;
    DWORD pid = d.StartProgram(kExe);
    d.RunUntilIdle();
    return pid;
}

Log Since(size_t from) {
    return Log(g.log.begin() + static_cast<ptrdiff_t>(from), g.log.end());
}

class Sheets : public ::testing::Test {
  protected:
    void SetUp() override { g = Program{}; }
};

} // namespace

TEST_F(Sheets, OpeningMakesThePrematurePagesAndActivatesTheStartPage) {
    struct Case {
        int line;
        int version;
        DWORD second; // the middle page's flag
        Log expected;
        bool bottom;
    } cases[] = {
        {__LINE__,
         0x20E,
         0,
         {"initialized", "create 0", "init 0", "create 2", "init 2", "setactive 0"},
         true},
        {__LINE__,
         0x20C,
         PSP_PREMATURE,
         {"initialized", "create 0", "init 0", "create 1", "init 1", "create 2", "init 2",
          "setactive 0"},
         true},
        {__LINE__,
         0x100,
         0,
         {"initialized", "create 0", "init 0", "create 2", "init 2", "setactive 0"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        g = Program{};
        g.version = c.version;
        g.premature[1] = c.second;
        Device d;
        Start(d);
        EXPECT_EQ(c.expected, g.log);
        auto sheet = d.Get<handset::PropertySheets>().Open();
        ASSERT_TRUE(sheet);
        EXPECT_EQ(c.bottom, sheet->tabsAtBottom);
        EXPECT_EQ(0, sheet->current);
        EXPECT_EQ((std::vector<std::u16string>{u"First", u"Second", u"Third"}), sheet->titles);
        EXPECT_EQ(u"Sample", d.Get<WindowManager>().Info(sheet->window)->title);
    }
}

TEST_F(Sheets, ATabTapSwitchesPagesUnlessThePageOnTopRefuses) {
    struct Case {
        int line;
        LRESULT killActive, setActive; // the pages' answers
        Log expected;
        int current;
    } cases[] = {
        {__LINE__, 0, 0, {"killactive 0", "create 1", "init 1", "setactive 1"}, 1},
        {__LINE__, TRUE, 0, {"killactive 0"}, 0},
        {__LINE__, 0, -1, {"killactive 0", "create 1", "init 1", "setactive 1"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        g = Program{};
        g.answers[{0, PSN_KILLACTIVE}] = c.killActive;
        g.answers[{1, PSN_SETACTIVE}] = c.setActive;
        Device d;
        Start(d);
        size_t from = g.log.size();
        handset::TapTab(d, 1);
        EXPECT_EQ(c.expected, Since(from));
        auto sheet = d.Get<handset::PropertySheets>().Open();
        EXPECT_EQ(c.current, sheet->current);
        auto& wm = d.Get<WindowManager>();
        for (int i = 0; i < 3; ++i)
            if (sheet->pages[i]) {
                EXPECT_EQ(i == c.current, wm.Info(sheet->pages[i])->visible) << i;
            }
    }
}

TEST_F(Sheets, ASoftKeyReachesThePageOnTopAndItsQueryEveryPageUntilOneAnswers) {
    struct Case {
        int line;
        std::map<int, LRESULT> answers;
        Log expected; // after "command 41 1"
    } cases[] = {
        {__LINE__, {}, {"query 0", "query 1", "query 2", "siblings 0"}},
        {__LINE__, {{1, 7}}, {"query 0", "query 1", "siblings 7"}},
        {__LINE__, {{0, -1}, {2, 5}}, {"query 0", "siblings -1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        g = Program{};
        g.premature[1] = PSP_PREMATURE;
        g.queryAnswers = c.answers;
        Device d;
        Start(d);
        handset::TapTab(d, 1);
        size_t from = g.log.size();
        handset::PressSoftKey(d, 0);
        Log expected = {"command 41 1"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(expected, Since(from));
    }
}

TEST_F(Sheets, AMenuKeyOpensItsPopupAndAnEnabledItemSendsItsCommand) {
    Device d;
    Start(d);
    auto& bars = d.Get<handset::MenuBars>();
    HWND sheet = d.Get<handset::PropertySheets>().Open()->window;
    HWND bar = bars.Of(sheet);
    ASSERT_NE(nullptr, bar);
    auto keys = bars.Keys(bar);
    ASSERT_EQ(2u, keys.size());
    EXPECT_EQ(u"Save", keys[0].text);
    EXPECT_EQ(u"Menu", keys[1].text);
    handset::TapSoftKey(d, 1);
    auto items = bars.PopupItems();
    ASSERT_EQ(3u, items.size());
    EXPECT_TRUE(items[1].separator);
    EXPECT_FALSE(items[2].enabled);
    size_t from = g.log.size();
    handset::Tap(d, handset::Centre(items[2].rect)); // Help is grayed
    EXPECT_EQ(Log{}, Since(from));
    handset::PickMenuItem(d, u"About...");
    EXPECT_EQ(Log{"command 42 0"}, Since(from));
    EXPECT_EQ(nullptr, bars.OpenPopup());
    // A tap beside an open menu only closes it.
    handset::PressSoftKey(d, 1);
    ASSERT_NE(nullptr, bars.OpenPopup());
    handset::TapTab(d, 2);
    EXPECT_EQ(nullptr, bars.OpenPopup());
    EXPECT_EQ(0, d.Get<handset::PropertySheets>().Open()->current);
}

// One menu bar resource, drawn as each platform does: Windows Mobile 5.0's
// two soft keys on a blue bar, each half of it, or Pocket PC 2003's menus
// named side by side from the left of a grey bar. Both press alike.
TEST_F(Sheets, TheMenuBarLooksAsThePlatformTheProgramWasBuiltFor) {
    struct Case {
        int line;
        DWORD builtFor;
        bool menus;
        uint16_t free; // the bar's bottom row between the keys' texts and the right end
    } cases[] = {
        {__LINE__, 0x501, false, 0x0190}, // the gradient's RGB(0, 50, 130)
        {__LINE__, 0x420, true, 0xD699},  // RGB(212, 208, 200)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        g = Program{};
        Device d;
        Start(d, false, c.builtFor);
        auto& bars = d.Get<handset::MenuBars>();
        HWND bar = bars.Of(d.Get<handset::PropertySheets>().Open()->window);
        EXPECT_EQ(c.menus, bars.TextMenus(bar));
        auto keys = bars.Keys(bar);
        ASSERT_EQ(2u, keys.size());
        EXPECT_EQ(0, keys[0].rect.left);
        EXPECT_EQ(keys[0].rect.right, keys[1].rect.left);
        if (c.menus) {
            EXPECT_GT(120, keys[1].rect.right) << "both in the left half";
        } else {
            EXPECT_EQ(120, keys[0].rect.right);
            EXPECT_EQ(240, keys[1].rect.right);
        }
        EXPECT_EQ(c.free, d.Get<handset::Screen>().Pixel(180, 319));
        size_t from = g.log.size();
        handset::TapSoftKey(d, 0);
        ASSERT_LT(from, g.log.size());
        EXPECT_EQ("command 41 0", g.log[from]);
        handset::TapSoftKey(d, 1);
        auto items = bars.PopupItems();
        ASSERT_EQ(3u, items.size());
        // A soft key's menu opens at the screen's edge, a menu's under its name.
        RECT popup = d.Get<WindowManager>().Info(bars.OpenPopup())->rect;
        if (c.menus)
            EXPECT_EQ(keys[1].rect.left, popup.left);
        else
            EXPECT_EQ(240, popup.right);
        from = g.log.size();
        handset::PickMenuItem(d, u"About...");
        EXPECT_EQ(Log{"command 42 0"}, Since(from));
    }
}

TEST_F(Sheets, OkAppliesEveryMadePageInOrderThenReleasesThemAll) {
    struct Case {
        int line;
        LRESULT thirdApplies; // the third page's answer to PSN_APPLY
        Log expected;
        int current; // while open
    } cases[] = {
        {__LINE__,
         PSNRET_NOERROR,
         {"killactive 0", "apply 0", "apply 2", "release 0", "release 1", "release 2", "result 1"},
         -1},
        {__LINE__,
         PSNRET_INVALID,
         {"killactive 0", "apply 0", "apply 2", "killactive 0", "setactive 2"},
         2},
        {__LINE__, PSNRET_INVALID_NOCHANGEPAGE, {"killactive 0", "apply 0", "apply 2"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        g = Program{};
        g.answers[{2, PSN_APPLY}] = c.thirdApplies;
        Device d;
        DWORD pid = Start(d);
        size_t from = g.log.size();
        d.Get<handset::Taskbar>().PressOk();
        d.RunUntilIdle();
        EXPECT_EQ(c.expected, Since(from));
        auto sheet = d.Get<handset::PropertySheets>().Open();
        EXPECT_EQ(c.current, sheet ? sheet->current : -1);
        if (!sheet) {
            ASSERT_TRUE(d.RunUntilExit(pid, 1000));
            EXPECT_NOTHING_HELD(d, pid);
        }
    }
}

TEST_F(Sheets, AMenuBarResourceThatOpensNoPopupIsRefused) {
    Device d;
    Start(d);
    BOOL made = TRUE;
    DWORD error = 0;
    HWND sheet = d.Get<handset::PropertySheets>().Open()->window;
    d.Call([&] {
        SHMENUBARINFO mb = {};
        mb.cbSize = sizeof mb;
        mb.hwndParent = sheet;
        mb.nToolBarId = 60;
        mb.hInstRes = d.ProgramModule(kExe);
        made = SHCreateMenuBar(&mb);
        error = GetLastError();
    });
    EXPECT_FALSE(made);
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), error);
    auto refused = d.timeline().Find("menubar.refused");
    ASSERT_EQ(1u, refused.size());
    EXPECT_EQ("menu bar 60: byte 30: button 2 opens item 0, which is no popup of menu 40",
              refused[0]->Get("why"));
}

// On a 192-dpi screen the program that is not aware sees the 96-dpi phone,
// and every pixel it draws is a 2 x 2 block; the aware one sees the screen.
TEST_F(Sheets, AProgramThatIsNotHighResolutionAwareSeesA96DpiScreenDrawnDoubled) {
    struct Case {
        int line;
        bool aware;
        int caps[4];
        RECT sheet; // its window, as the program sees it
    } cases[] = {
        {__LINE__, false, {240, 320, 96, 240}, {0, 26, 240, 294}},
        {__LINE__, true, {480, 640, 192, 480}, {0, 52, 480, 588}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        g = Program{};
        Device d;
        d.Get<handset::Screen>().SetSize(480, 640, 192);
        Start(d, c.aware);
        EXPECT_EQ(std::vector<int>(c.caps, c.caps + 4), std::vector<int>(g.caps, g.caps + 4));
        auto sheet = d.Get<handset::PropertySheets>().Open();
        ASSERT_TRUE(sheet);
        auto& wm = d.Get<WindowManager>();
        EXPECT_EQ(handset::ToString(c.sheet), handset::ToString(wm.Info(sheet->window)->rect));
        // Every 2 x 2 block of the sheet is one colour only when it is doubled.
        auto& screen = d.Get<handset::Screen>();
        int uneven = 0;
        for (int y = 52; y < 588; y += 2)
            for (int x = 0; x < 480; x += 2) {
                uint16_t p = screen.Pixel(x, y);
                uneven += p != screen.Pixel(x + 1, y) || p != screen.Pixel(x, y + 1) ||
                          p != screen.Pixel(x + 1, y + 1);
            }
        EXPECT_EQ(c.aware, uneven > 0) << uneven << " blocks of more than one colour";
        // A tap in screen pixels reaches the program in its own.
        handset::TapTab(d, 2);
        EXPECT_EQ(2, d.Get<handset::PropertySheets>().Open()->current);
        HWND box = handset::FindControl(d, 300);
        handset::PickComboItem(d, box, u"15 sec.");
        EXPECT_EQ(3, handset::ReadCombo(d, box)->selection);
    }
}

// The pictures a person looks at: the sheet with a list open, and the
// full-screen page with its icon, its OK button and its Done key, at both
// sizes (the program is not aware, so the larger screen doubles it). The
// checks hold the pictures' landmarks; the page closes by either button.
TEST_F(Sheets, Screenshots) {
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        std::string size = std::to_string(240 * scale) + "x" + std::to_string(320 * scale);
        auto save = [&](Device& d, const std::string& name) {
            std::string error,
                path = std::string(COMMCTRL_PICTURE_DIR) + "/" + name + "_" + size + ".png";
            EXPECT_TRUE(
                d.Get<handset::Screen>().SaveScreenshot(path, handset::Screen::Shot::Raw, &error))
                << error;
        };
        {
            g = Program{};
            Device d;
            d.Get<handset::Screen>().SetSize(240 * scale, 320 * scale, 96 * scale);
            handset::apps::StartPhoneShell(d);
            Start(d);
            HWND box = handset::FindControl(d, 101);
            handset::TapControl(d, box);
            ASSERT_TRUE(handset::ReadCombo(d, box)->dropped);
            save(d, "sheet");
            EXPECT_TRUE(d.Get<handset::Taskbar>().OkButtonShown());
            RECT item = handset::ComboItemRect(d, box, 0);
            EXPECT_EQ(handset::gdi::ToRgb565(RGB(255, 255, 255)),
                      d.Get<handset::Screen>().Pixel(item.right - 2, item.top + 1));
        }
        for (bool byDone : {false, true}) {
            g = Program{};
            g.about = true;
            Device d;
            d.Get<handset::Screen>().SetSize(240 * scale, 320 * scale, 96 * scale);
            handset::apps::StartPhoneShell(d);
            DWORD pid = Start(d);
            HWND page = d.Get<WindowManager>().Foreground();
            EXPECT_EQ(handset::ToString({0, 26, 240, 294}),
                      handset::ToString(d.Get<WindowManager>().Info(page)->rect));
            HWND icon = handset::FindControl(d, 400);
            EXPECT_EQ(handset::ToString({101, 26 + 11, 133, 26 + 43}),
                      handset::ToString(d.Get<WindowManager>().Info(icon)->rect))
                << "67, 7 in dialog units; the icon's own 32 x 32";
            // The AND mask leaves the corners to the page's white; the
            // palette gives the rest its colours (transparent pixels are
            // black in the colour bitmap).
            auto& screen = d.Get<handset::Screen>();
            RECT r = handset::ScreenRectOf(d, icon);
            const uint16_t white = handset::gdi::ToRgb565(RGB(255, 255, 255)), black = 0;
            EXPECT_EQ(white, screen.Pixel(r.left, r.top));
            EXPECT_EQ(white, screen.Pixel(r.right - 1, r.bottom - 1));
            int coloured = 0;
            for (LONG y = r.top; y < r.bottom; ++y)
                for (LONG x = r.left; x < r.right; ++x)
                    coloured += screen.Pixel(x, y) != white && screen.Pixel(x, y) != black;
            EXPECT_GT(coloured, (r.right - r.left) * (r.bottom - r.top) / 4);
            if (!byDone) save(d, "fullscreen_page");
            if (byDone)
                handset::PressSoftKey(d, 0);
            else
                handset::Tap(d, handset::Centre(d.Get<handset::Taskbar>().OkButtonRect()));
            ASSERT_TRUE(d.RunUntilExit(pid, 1000));
            EXPECT_EQ(Log{byDone ? "end 51" : "end 1"}, g.log);
            EXPECT_NOTHING_HELD(d, pid);
        }
    }
}
