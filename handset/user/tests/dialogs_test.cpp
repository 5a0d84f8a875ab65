// Dialogs from templates and their controls: dialog units in pixels, the
// combo box's selection rules, the check box, the modal loop under the
// driver's hand, refused templates, and nothing left behind.
#include <gtest/gtest.h>

#include <vector>

#include "common/text.h"
#include "device/device.h"
#include "gdi/gdi.h"
#include "res/resources.h"
#include "testing/testing.h"
#include "user/controls.h"
#include "user/dialog_template.h"
#include "user/input.h"
#include "user/menus.h"
#include "user/window_manager.h"
#include "user_dialogs_res.h"

using handset::Device;
using handset::WindowManager;
using handset::testing::N;

namespace {

const char16_t kExe[] = u"\\Program Files\\Test\\Dialogs.exe";

int NoMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    return 0;
}

HINSTANCE Register(Device& d) {
    d.RegisterProgram(kExe, NoMain);
    std::string error;
    EXPECT_TRUE(d.Get<handset::Resources>().Attach(kExe, {kDialogsRes, kDialogsResSize},
                                                   "dialogs.res", &error))
        << error;
    return d.ProgramModule(kExe);
}

// What the dialog procedure saw: WM_COMMAND's id and code, in order.
std::vector<std::pair<int, int>> g_commands;
// GetWindowTextW of a drop-down, read by its own dialog at its last edit.
std::u16string g_editText;

BOOL CALLBACK Recording(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        for (const char16_t* item : {u"Active", u"Inactive", u"Paused"}) {
            SendDlgItemMessageW(dlg, 11, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
            SendDlgItemMessageW(dlg, 12, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        for (int i = 1; i <= 13; ++i) {
            std::u16string item = u"Item " + handset::Widen(std::to_string(i));
            for (int id : {21, 22})
                SendDlgItemMessageW(dlg, id, CB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(item.c_str()));
        }
        return TRUE;
    }
    if (message == WM_COMMAND) {
        g_commands.push_back({LOWORD(wParam), HIWORD(wParam)});
        if (HIWORD(wParam) == CBN_EDITCHANGE) {
            WCHAR text[64] = {};
            GetWindowTextW(reinterpret_cast<HWND>(lParam), text, 64);
            g_editText = text;
        }
        if (LOWORD(wParam) == IDOK) EndDialog(dlg, IDOK);
        return TRUE;
    }
    return FALSE;
}

// A process that runs dialog `id` modally with Recording; its result lands in *result.
DWORD OpenDialog(Device& d, HINSTANCE module, int id, int* result) {
    static HINSTANCE instance;
    static int which;
    static int* out;
    instance = module;
    which = id;
    out = result;
    g_commands.clear();
    DWORD pid = d.StartProcess("dialogs", [] {
        *out = DialogBoxParamW(instance, MAKEINTRESOURCE(which), nullptr, Recording, 0);
        return DWORD(0);
    });
    d.RunUntilIdle();
    return pid;
}

RECT RectOf(Device& d, HWND h) {
    return d.Get<WindowManager>().Info(h)->rect;
}

} // namespace

// MS Shell Dlg 8 is Tahoma at an em of 11 pixels (8 points at 96 dpi):
// the 52 letters measure 311 pixels, so the base units are
// ((311 / 26 + 1) / 2, tmHeight) = (6, 13); x * 6 / 4 and y * 13 / 8, each
// rounded half away from zero. The dialog has no owner: it sits at its x and
// y below the 26-pixel taskbar.
TEST(Dialogs, DialogUnitsBecomePixelsThroughTheTemplatesFont) {
    Device d;
    HINSTANCE module = Register(d);
    int result = 0;
    DWORD pid = OpenDialog(d, module, 100, &result);
    HWND dialog = d.Get<WindowManager>().Foreground();
    ASSERT_NE(nullptr, dialog);
    struct Case {
        int line;
        int id; // 0: the dialog itself
        RECT expected;
    } cases[] = {
        {__LINE__, 0, {6, 26 + 3, 6 + 150, 26 + 3 + 104}},
        // LTEXT 7, 9, 21, 8: (11, 15) and 32 x 13, on the dialog's origin.
        {__LINE__, 10, {6 + 11, 29 + 15, 6 + 11 + 32, 29 + 15 + 13}},
        // The check box 7, 37, 83, 10: (11, 60) and 125 x 16.
        {__LINE__, 13, {6 + 11, 29 + 60, 6 + 11 + 125, 29 + 60 + 16}},
        // A combo box keeps its width (60 -> 90) and takes the field's
        // height: the 13-pixel cell and 6 of edges.
        {__LINE__, 11, {6 + 51, 29 + 11, 6 + 51 + 90, 29 + 11 + 19}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        HWND h = c.id ? handset::FindControl(d, c.id) : dialog;
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(handset::ToString(c.expected), handset::ToString(RectOf(d, h)));
    }
    LONG units = 0;
    RECT mapped{7, 9, 28, 17};
    d.Call([&] {
        units = GetDialogBaseUnits();
        MapDialogRect(dialog, &mapped);
    });
    EXPECT_EQ(handset::ToString({11, 15, 42, 28}), handset::ToString(mapped));
    EXPECT_GT(LOWORD(units), 0) << "the system font's units are there too";
    handset::TapControl(d, handset::FindControl(d, IDOK));
    ASSERT_TRUE(d.RunUntilExit(pid, 1000));
    EXPECT_EQ(IDOK, result);
}

TEST(Dialogs, ComboBoxSelectionStaysWithinItsItems) {
    Device d;
    HINSTANCE module = Register(d);
    int result = 0;
    OpenDialog(d, module, 100, &result);
    HWND list = handset::FindControl(d, 11);
    struct Case {
        int line;
        WPARAM asked;
        LRESULT answer;
        int selection;
    } cases[] = {
        {__LINE__, 1, 1, 1},         {__LINE__, 2, 2, 2},
        {__LINE__, 3, CB_ERR, -1}, // one past the last: cleared
        {__LINE__, 0, 0, 0},         {__LINE__, WPARAM(-1), CB_ERR, -1},
        {__LINE__, 300, CB_ERR, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        LRESULT answer = 0, now = 0;
        d.Call([&] {
            answer = SendMessageW(list, CB_SETCURSEL, c.asked, 0);
            now = SendMessageW(list, CB_GETCURSEL, 0, 0);
        });
        EXPECT_EQ(c.answer, answer);
        EXPECT_EQ(c.selection, now);
        EXPECT_EQ(c.selection, handset::ReadCombo(d, list)->selection);
    }
}

TEST(Dialogs, TappingAListItemSelectsItAndTellsTheDialog) {
    Device d;
    HINSTANCE module = Register(d);
    int result = 0;
    OpenDialog(d, module, 100, &result);
    HWND list = handset::FindControl(d, 11);
    handset::TapControl(d, list);
    ASSERT_TRUE(handset::ReadCombo(d, list)->dropped);
    std::vector<std::pair<int, int>> opened = g_commands;
    handset::Tap(d, handset::Centre(handset::ComboItemRect(d, list, 2)));
    auto combo = handset::ReadCombo(d, list);
    EXPECT_FALSE(combo->dropped);
    EXPECT_EQ(2, combo->selection);
    EXPECT_EQ("Paused", N(combo->text));
    std::vector<std::pair<int, int>> expected = opened;
    expected.insert(expected.end(), {{11, CBN_SELCHANGE}, {11, CBN_SELENDOK}, {11, CBN_CLOSEUP}});
    EXPECT_EQ(expected, g_commands);
    // A tap beside an open list only closes it: nothing is selected, and the
    // check box under the tap stays as it was.
    handset::TapControl(d, list);
    handset::TapControl(d, handset::FindControl(d, 13));
    combo = handset::ReadCombo(d, list);
    EXPECT_FALSE(combo->dropped);
    EXPECT_EQ(2, combo->selection);
    EXPECT_EQ(BST_UNCHECKED, handset::CheckState(d, handset::FindControl(d, 13)));
    EXPECT_EQ(CBN_CLOSEUP, g_commands.back().second);
}

// Dialog 102's list 21: 13 items, 5 rows of 13 pixels and a scroll bar 13
// pixels wide: arrows of 13, a track of 39 and a thumb of 39 * 5 / 13 = 15,
// which travels 24 pixels over the first rows 0 to 8.
TEST(Dialogs, TheScrollBarOfALongListScrollsItAndNeverSelects) {
    Device d;
    HINSTANCE module = Register(d);
    int result = 0;
    OpenDialog(d, module, 102, &result);
    HWND box = handset::FindControl(d, 21);
    handset::TapControl(d, box);
    auto combo = handset::ReadCombo(d, box);
    ASSERT_TRUE(combo->dropped);
    ASSERT_TRUE(combo->scrollBar);
    EXPECT_EQ(5, combo->rowsShown);
    EXPECT_EQ(13, combo->scrollBar->up.bottom - combo->scrollBar->up.top);
    EXPECT_EQ(13, combo->scrollBar->up.right - combo->scrollBar->up.left);
    EXPECT_EQ(39, combo->scrollBar->track.bottom - combo->scrollBar->track.top);
    EXPECT_EQ(15, combo->scrollBar->thumb.bottom - combo->scrollBar->thumb.top);
    enum Where {
        Up,
        Down,
        AboveThumb,
        BelowThumb,
        TrackAt20,
        ThumbToEnd,
        ThumbToStart,
        ThumbHalfway
    };
    struct Case {
        int line;
        Where where;
        uint64_t holdMs;
        int first; // the first item in sight after it
    } cases[] = {
        {__LINE__, Down, 100, 1},
        {__LINE__, Down, 100, 2},
        {__LINE__, BelowThumb, 100, 7}, // a page: five rows
        {__LINE__, BelowThumb, 100, 8}, // no further than the last full page
        {__LINE__, Down, 100, 8},
        {__LINE__, Up, 100, 7},
        {__LINE__, AboveThumb, 100, 2},
        {__LINE__, Up, 650, 0},       // held: repeats at 400, 500 and 600 ms, stops at the top
        {__LINE__, Down, 650, 4},     // one, then three repeats
        {__LINE__, ThumbToEnd, 0, 8}, // 12 pixels down: 4 rows
        {__LINE__, ThumbToStart, 0, 0},
        {__LINE__, TrackAt20, 750, 5},  // held: one page, and the thumb is under the stylus
        {__LINE__, ThumbHalfway, 0, 4}, // 12 of 24 pixels down
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto bar = *handset::ReadCombo(d, box)->scrollBar;
        size_t from = g_commands.size();
        POINT thumb = handset::Centre(bar.thumb);
        LONG x = thumb.x;
        switch (c.where) {
        case Up:
            handset::Tap(d, handset::Centre(bar.up), c.holdMs);
            break;
        case Down:
            handset::Tap(d, handset::Centre(bar.down), c.holdMs);
            break;
        case AboveThumb:
            handset::Tap(d, {x, (bar.track.top + bar.thumb.top) / 2}, c.holdMs);
            break;
        case BelowThumb:
            handset::Tap(d, {x, (bar.thumb.bottom + bar.track.bottom) / 2}, c.holdMs);
            break;
        case TrackAt20:
            handset::Tap(d, {x, bar.track.top + 20}, c.holdMs);
            break;
        // Off the list to the right at once: the thumb follows the stylus there.
        case ThumbToEnd:
            handset::Drag(d, thumb, {x + 60, thumb.y + 12});
            break;
        case ThumbToStart:
            handset::Drag(d, thumb, {x + 60, thumb.y - 40});
            break;
        case ThumbHalfway:
            handset::Drag(d, {x, bar.thumb.top + 2}, {x, bar.track.top + 12 + 2});
            break;
        }
        combo = handset::ReadCombo(d, box);
        EXPECT_EQ(c.first, combo->firstShown);
        EXPECT_TRUE(combo->dropped);
        EXPECT_EQ(-1, combo->selection);
        EXPECT_EQ(from, g_commands.size()) << "the dialog heard nothing";
    }
}

TEST(Dialogs, TheLastItemOfALongListIsReachedAndPickedThroughItsScrollBar) {
    Device d;
    HINSTANCE module = Register(d);
    int result = 0;
    OpenDialog(d, module, 102, &result);
    HWND box = handset::FindControl(d, 21);
    handset::TapControl(d, box);
    // Eight taps on the down arrow bring item 13 into the last row.
    auto bar = *handset::ReadCombo(d, box)->scrollBar;
    for (int i = 0; i < 8; ++i)
        handset::Tap(d, handset::Centre(bar.down));
    auto combo = handset::ReadCombo(d, box);
    EXPECT_EQ(8, combo->firstShown);
    RECT list = handset::ScreenRectOf(d, combo->list);
    handset::Tap(d, {(list.left + bar.down.left) / 2, list.bottom - 1 - 13 / 2});
    combo = handset::ReadCombo(d, box);
    EXPECT_FALSE(combo->dropped);
    EXPECT_EQ(12, combo->selection);
    EXPECT_EQ("Item 13", N(combo->text));
    // Opened again, the list shows the selection in its first row, or rows
    // as far down as fill the list.
    struct Case {
        int line;
        int selection, first;
    } cases[] = {{__LINE__, 12, 8}, {__LINE__, 3, 3}, {__LINE__, 9, 8}, {__LINE__, -1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        d.Call([&] { SendMessageW(box, CB_SETCURSEL, WPARAM(c.selection), 0); });
        handset::TapControl(d, box);
        EXPECT_EQ(c.first, handset::ReadCombo(d, box)->firstShown);
        handset::TapControl(d, box); // closes it
    }
    // Without WS_VSCROLL the list has no scroll bar, and its rows are as wide as it.
    HWND plain = handset::FindControl(d, 22);
    handset::TapControl(d, plain);
    combo = handset::ReadCombo(d, plain);
    ASSERT_TRUE(combo->dropped);
    EXPECT_FALSE(combo->scrollBar);
    list = handset::ScreenRectOf(d, combo->list);
    EXPECT_EQ(list.right - 1, handset::ComboItemRect(d, plain, 4).right);
}

TEST(Dialogs, TypedTextSelectsOnlyAnItemItMatches) {
    struct Case {
        int line;
        std::u16string typed;
        int selection;
    } cases[] = {
        {__LINE__, u"inactive", 1}, // case does not matter
        {__LINE__, u"Inact", -1},   // a beginning is no match
        {__LINE__, u"Standby", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Device d;
        HINSTANCE module = Register(d);
        int result = 0;
        OpenDialog(d, module, 100, &result);
        HWND box = handset::FindControl(d, 12);
        d.Call([&] { SendMessageW(box, CB_SETCURSEL, 0, 0); });
        handset::TypeText(d, box, c.typed);
        auto combo = handset::ReadCombo(d, box);
        EXPECT_EQ(N(u"Active" + c.typed), N(combo->text));
        EXPECT_EQ(-1, combo->selection) << "\"Active\" and more matches nothing";
        d.Call([&] { SendMessageW(box, WM_SETTEXT, 0, 0); });
        handset::TypeText(d, box, c.typed);
        LRESULT selection = 0;
        d.Call([&] { selection = SendMessageW(box, CB_GETCURSEL, 0, 0); });
        EXPECT_EQ(c.selection, selection);
        EXPECT_EQ(c.selection, handset::ReadCombo(d, box)->selection);
        EXPECT_EQ(CBN_EDITCHANGE, g_commands.back().second);
        // Its own process reads the edit field through WM_GETTEXT; another
        // reads the combo box's title, which is empty.
        EXPECT_EQ(N(c.typed), N(g_editText));
        WCHAR elsewhere[64] = u"junk";
        d.Call([&] { GetWindowTextW(box, elsewhere, 64); });
        EXPECT_EQ("", N(elsewhere));
    }
}

TEST(Dialogs, ACheckBoxTogglesOnATapAndKeepsWhatItIsTold) {
    Device d;
    HINSTANCE module = Register(d);
    int result = 0;
    OpenDialog(d, module, 100, &result);
    HWND box = handset::FindControl(d, 13);
    HWND dialog = d.Get<WindowManager>().Foreground();
    struct Case {
        int line;
        const char* action; // "tap" or "set N"
        UINT expected;
    } cases[] = {
        {__LINE__, "tap", BST_CHECKED},  {__LINE__, "tap", BST_UNCHECKED},
        {__LINE__, "set1", BST_CHECKED}, {__LINE__, "tap", BST_UNCHECKED},
        {__LINE__, "set2", BST_CHECKED}, // two states only: indeterminate is checked
    };
    size_t clicks = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string action = c.action;
        if (action == "tap") {
            handset::TapControl(d, box);
            ++clicks;
        } else {
            d.Call([&] { CheckDlgButton(dialog, 13, action == "set1" ? 1 : 2); });
        }
        UINT state = 0;
        d.Call([&] { state = IsDlgButtonChecked(dialog, 13); });
        EXPECT_EQ(c.expected, state);
        size_t clicked = 0;
        for (auto [id, code] : g_commands)
            clicked += id == 13 && code == BN_CLICKED;
        EXPECT_EQ(clicks, clicked) << "BN_CLICKED for each tap, none for BM_SETCHECK";
    }
}

// The modal loop runs the thread's timers and the clock; when it ends, the
// dialog, its controls and its font are gone, whichever template it was.
TEST(Dialogs, TheModalLoopRunsTheClockAndLeavesNothingBehind) {
    for (int id : {100, 101}) {
        SCOPED_TRACE(id);
        Device d;
        HINSTANCE module = Register(d);
        static DWORD pid;
        static int held[2];
        static UINT elapsed;
        static HINSTANCE instance;
        static int which;
        instance = module;
        which = id;
        pid = d.StartProcess("dialogs", [] {
            DWORD start = GetTickCount();
            DialogBoxParamW(
                instance, MAKEINTRESOURCE(which), nullptr,
                [](HWND dlg, UINT message, WPARAM, LPARAM) -> BOOL {
                    if (message == WM_INITDIALOG) SetTimer(dlg, 1, 5000, nullptr);
                    if (message == WM_TIMER) EndDialog(dlg, 7);
                    return message == WM_INITDIALOG;
                },
                0);
            elapsed = GetTickCount() - start;
            Device& d = Device::Current();
            held[0] = d.Held(pid, handset::kWindow);
            held[1] = d.Held(pid, handset::kGdiObject);
            return DWORD(0);
        });
        ASSERT_TRUE(d.RunUntilExit(pid, 10000));
        EXPECT_EQ(5000u, elapsed);
        EXPECT_EQ(0, held[0]) << "windows";
        EXPECT_EQ(0, held[1]) << "GDI objects (the dialog's font)";
    }
}

TEST(Dialogs, AMalformedTemplateIsRefusedNamingItAndTheByte) {
    Device d;
    HINSTANCE module = Register(d);
    int result = 0;
    DWORD error = 0;
    d.Call([&] {
        HRSRC r = FindResourceW(module, MAKEINTRESOURCE(900), RT_RCDATA);
        auto* tmpl =
            static_cast<const DLGTEMPLATE*>(static_cast<const void*>(LoadResource(module, r)));
        result = DialogBoxIndirectParamW(module, tmpl, nullptr, Recording, 0);
        error = GetLastError();
    });
    EXPECT_EQ(-1, result);
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), error);
    auto refused = d.timeline().Find("dialog.refused");
    ASSERT_EQ(1u, refused.size());
    EXPECT_EQ("dialog 900: byte 40: item 1 of 5 cut off (2 bytes needed, 0 left)",
              refused[0]->Get("why"));
    EXPECT_TRUE(d.Get<WindowManager>().Windows().empty());
}

// A template font beyond the 1024 pixels the handset draws stops the run,
// naming the call and the point size; one at the edge is drawn.
TEST(DialogsDeathTest, AFontBeyondWhatTheHandsetDrawsIsNotEmulated) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto open = [](int id) {
        Device d;
        HINSTANCE module = Register(d);
        return d.Call([&] {
            HWND dialog = CreateDialogParamW(module, MAKEINTRESOURCE(id), nullptr, Recording, 0);
            return DWORD(dialog && DestroyWindow(dialog));
        });
    };
    EXPECT_DEATH(
        open(104),
        "not emulated: CreateDialogParamW: dialog 104: a font of 769 points \\(1025 pixels");
    EXPECT_EQ(1u, open(105)) << "768 points";
}

TEST(Menus, AMenuexResourceIsReadWithItsPopupSeparatorAndGrayedItem) {
    Device d;
    HINSTANCE module = Register(d);
    DWORD pid = 0;
    d.Call([&] {
        pid = GetCurrentProcessId();
        HMENU menu = LoadMenuW(module, MAKEINTRESOURCE(70));
        ASSERT_NE(nullptr, menu);
        EXPECT_EQ(nullptr, GetSubMenu(menu, 0)) << "Open opens nothing";
        HMENU more = GetSubMenu(menu, 1);
        ASSERT_NE(nullptr, more);
        auto items = handset::FindMenu(Device::Current(), more)->items;
        ASSERT_EQ(3u, items.size());
        EXPECT_EQ(73u, items[0].id);
        EXPECT_EQ(UINT(MF_SEPARATOR), items[1].flags);
        EXPECT_EQ(UINT(MFS_GRAYED), items[2].flags);
        EXPECT_EQ("Last", N(items[2].text));
        EXPECT_FALSE(DestroyMenu(more)) << "a popup goes with its menu";
        EXPECT_TRUE(DestroyMenu(menu));
    });
    EXPECT_NOTHING_HELD(d, pid);
}

// Menu 80 cut short at each length refuses with the byte where it broke.
TEST(Menus, ACutOffMenuIsRefusedNamingTheByte) {
    Device d;
    HINSTANCE module = Register(d);
    const handset::ResEntry* e =
        d.Get<handset::Resources>().Find(module)->Find(handset::kRtMenu, 80);
    ASSERT_NE(nullptr, e);
    struct Case {
        int line;
        size_t length;
        std::string error;
    } cases[] = {
        {__LINE__, 3, "menu 80: byte 2: cut off"},
        {__LINE__, 4, "menu 80: byte 4: a menu without items"},
        {__LINE__, 12, "menu 80: byte 8: an item's text not ended before the end of the menu"},
        {__LINE__, 28, "menu 80: byte 20: an item's text not ended before the end of the menu"},
        {__LINE__, 30, "menu 80: byte 18: a popup without items"},
        {__LINE__, e->data.size() - 2,
         "menu 80: byte 34: an item's text not ended before the end of the menu"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        handset::Menu menu;
        std::string error;
        EXPECT_FALSE(handset::ParseMenu(e->data.first(c.length), "menu 80", &menu, &error));
        EXPECT_EQ(c.error, error);
    }
    handset::Menu whole;
    std::string error;
    EXPECT_TRUE(handset::ParseMenu(e->data, "menu 80", &whole, &error)) << error;
    EXPECT_EQ(2u, whole.items.size());
}

// A menu or template whose padding or header the end cuts off is refused at
// the end, never past it; any cut names a byte within what is left.
TEST(Templates, ACutThroughPaddingOrAHeaderIsRefusedAtTheEnd) {
    Device d;
    HINSTANCE module = Register(d);
    const handset::ResFile& file = *d.Get<handset::Resources>().Find(module);
    auto parse = [&](const handset::ResEntry& e, size_t length, std::string* error) {
        auto bytes = e.data.first(length);
        if (e.type.ordinal() == handset::kRtMenu) {
            handset::Menu menu;
            return handset::ParseMenu(bytes, "menu " + e.name.Describe(), &menu, error);
        }
        handset::DialogTemplate t;
        return handset::ParseDialogTemplate(bytes, "dialog " + e.name.Describe(), &t, error);
    };
    struct Case {
        int line;
        uint16_t type, id;
        size_t length;
        std::string error;
    } cases[] = {
        // MENUEX: the help id (bytes 4 to 7) cut off; the padding before the
        // item at 88 cut off.
        {__LINE__, handset::kRtMenu, 70, 6, "menu 70: byte 6: a menu without items"},
        {__LINE__, handset::kRtMenu, 70, 87, "menu 70: byte 87: cut off"},
        // DIALOG: items 1 and 4 end at 90 and 202; the next start at 92 and 204.
        {__LINE__, handset::kRtDialog, 100, 91,
         "dialog 100: byte 91: item 2 of 5 cut off (4 bytes needed, 0 left)"},
        {__LINE__, handset::kRtDialog, 100, 202,
         "dialog 100: byte 202: item 5 of 5 cut off (4 bytes needed, 0 left)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const handset::ResEntry* e = file.Find(c.type, c.id);
        ASSERT_NE(nullptr, e);
        std::string error;
        EXPECT_FALSE(parse(*e, c.length, &error));
        EXPECT_EQ(c.error, error);
    }
    for (const handset::ResEntry& e : file.entries()) {
        if (e.type.ordinal() != handset::kRtMenu && e.type.ordinal() != handset::kRtDialog)
            continue;
        for (size_t n = 0; n < e.data.size(); ++n) {
            std::string error;
            if (parse(e, n, &error)) continue;
            const size_t at = error.find(": byte ");
            ASSERT_NE(std::string::npos, at) << error;
            EXPECT_LE(std::stoul(error.substr(at + 7)), n) << error;
        }
    }
}

// windres's DIALOGEX: the font's weight, DWORD ids and ordinal classes where
// DIALOG has them too.
TEST(Dialogs, BothTemplateFormsReadAlike) {
    Device d;
    HINSTANCE module = Register(d);
    const handset::ResFile* file = d.Get<handset::Resources>().Find(module);
    struct Case {
        int line;
        uint16_t id;
        bool extended;
        WORD weight;
    } cases[] = {{__LINE__, 100, false, 0}, {__LINE__, 101, true, 700}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        handset::DialogTemplate t;
        std::string error;
        ASSERT_TRUE(handset::ParseDialogTemplate(file->Find(handset::kRtDialog, c.id)->data,
                                                 "dialog", &t, &error))
            << error;
        EXPECT_EQ(c.extended, t.extended);
        EXPECT_EQ(c.weight, t.weight);
        EXPECT_EQ("MS Shell Dlg", N(t.face));
        EXPECT_EQ(8, t.pointSize);
        EXPECT_EQ(handset::ToString({4, 2, 100, 64}), handset::ToString({t.x, t.y, t.cx, t.cy}));
        const handset::DialogItem& label = t.items.front();
        EXPECT_EQ(10u, label.id);
        EXPECT_EQ(handset::kDlgStatic, label.cls.ordinal());
        EXPECT_EQ("State:", N(label.text.name()));
        EXPECT_EQ(DWORD(WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT), label.style);
        const handset::DialogItem& ok = t.items.back();
        EXPECT_EQ(DWORD(IDOK), ok.id);
        EXPECT_EQ(handset::kDlgButton, ok.cls.ordinal());
        EXPECT_EQ(handset::ToString({60, 50, 34, 12}),
                  handset::ToString({ok.x, ok.y, ok.cx, ok.cy}));
    }
}
