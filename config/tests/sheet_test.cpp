// TessarilCfg on the handset, driven as a person would: the sheet and its
// defaults, Apply and its order, closing without Apply, the State box against
// a stand-in lock program, the "reset" mode and the soft reset, a second
// start, the About page, the bold font, and pictures of every page.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "apps/apps.h"
#include "commctrl/propsheet.h"
#include "common/text.h"
#include "config_state.h"
#include "config_testing.h"
#include "control.h"
#include "stand_in_lock.h"
#include "core/lock_sequence.h"
#include "gdi/gdi.h"
#include "gdi/objects.h"
#include "registry/registry.h"
#include "shell/install.h"
#include "shell/menubar.h"
#include "shell/shell.h"
#include "shell/taskbar.h"
#include "tapi/network.h"
#include "testing/lock_testing.h"
#include "testing/testing.h"
#include "user/controls.h"
#include "user/input.h"
#include "user/window_manager.h"

using handset::Device;
using handset::kConfigProgramPath;
using handset::kLockProgramPath;
using handset::Narrow;
using handset::WindowManager;

namespace {

const char16_t kKey[] = u"Software\\Apps\\Tessaril";

using standin::g_ignoreExit;
const auto StandInLock = standin::LockMain;

// ---- The phone ------------------------------------------------------------------
struct Phone {
    Device d;
    WindowManager& wm = d.Get<WindowManager>();

    // A traced phone records every platform call with its arguments.
    explicit Phone(handset::ProgramMain lock = StandInLock, int scale = 1, int dpi = 96,
                   bool trace = false)
        : d(Device::Options{.trace = trace}) {
        g_ignoreExit = false;
        d.Get<handset::Screen>().SetSize(240 * scale, 320 * scale, dpi * scale);
        handset::apps::StartPhoneShell(d);
        InstallConfigProgram(d, lock);
        if (lock == TessarilMain) RegisterLockProgram(d); // the real one, with its resources
        // Without the defaults the installer wrote: the program's own, for
        // values that are missing, are what these tests look at.
        d.Get<handset::Registry>().DeleteKey(HKEY_LOCAL_MACHINE, kKey);
    }
    DWORD Start(std::u16string_view commandLine = u"") {
        DWORD pid = d.StartProgram(kConfigProgramPath, commandLine);
        d.RunUntilIdle();
        return pid;
    }
    DWORD StartLock() {
        DWORD pid = d.StartProgram(kLockProgramPath);
        d.RunUntilIdle();
        return pid;
    }
    // The control on its page, whose tab is tapped first when another is on top.
    HWND Control(int id) {
        int page = id >= 1027 ? 2 : id >= 1003 ? 0 : 1;
        if (d.Get<handset::PropertySheets>().Open()->current != page) handset::TapTab(d, page);
        return handset::FindControl(d, id);
    }
    handset::ComboInfo Combo(int id) { return handset::ReadCombo(d, Control(id)).value(); }
    void Pick(int id, std::u16string_view item) { handset::PickComboItem(d, Control(id), item); }
    // Erases what an editable box's field shows, key by key, and types the text.
    void Retype(int id, std::u16string_view text) {
        HWND box = Control(id);
        std::u16string keys(Combo(id).text.size(), u'\b');
        handset::TypeText(d, box, keys + std::u16string(text));
    }
    std::optional<DWORD> Stored(std::u16string_view name) {
        return d.Get<handset::Registry>().GetDword(HKEY_LOCAL_MACHINE, kKey, name);
    }
    void Store(std::u16string_view name, DWORD value) {
        d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kKey, name, value);
    }
    HWND Sheet() {
        auto sheet = d.Get<handset::PropertySheets>().Open();
        return sheet ? sheet->window : nullptr;
    }
    // Presses Apply and runs until a message box asks for an answer.
    void Apply() {
        handset::PressSoftKey(d, 0);
        d.RunUntil([&] { return wm.OpenMessageBox() != nullptr; }, 10000);
    }
    void OpenAbout() {
        handset::PressSoftKey(d, 1);
        handset::PickMenuItem(d, u"About...");
    }
    // The open message box as "caption: text (style)", or "" for none.
    std::string Box() {
        const handset::MessageBoxInfo* box = wm.OpenMessageBox();
        if (!box) return "";
        return Narrow(box->caption) + ": " + Narrow(box->text) + " (" +
               handset::testing::Hex(box->style) + ")";
    }
    void Answer() { handset::AnswerMessageBox(d, IDOK); }
    // The owner the program handed to its last MessageBoxW, once answered (a
    // traced phone); the box itself belongs to that window's top-level window.
    std::string BoxOwnerGiven() {
        std::string args;
        for (auto* e : d.timeline().Find("call"))
            if (e->Get("fn") == "MessageBoxW") args = e->Get("args");
        return args.substr(0, args.find(','));
    }
    // Answers every box that comes; what they said, in order.
    std::vector<std::string> AnswerAll() {
        std::vector<std::string> boxes;
        for (std::string box = Box(); !box.empty(); box = Box()) {
            boxes.push_back(box);
            Answer();
        }
        return boxes;
    }
    size_t LockStarts() {
        size_t n = 0;
        for (auto* e : d.timeline().Find("process.start"))
            n += e->Get("path") == Narrow(kLockProgramPath);
        return n;
    }
    bool LockRunning() {
        for (DWORD pid : d.ProcessIds())
            if (d.FindProcess(pid)->exePath == kLockProgramPath) return true;
        return false;
    }
    size_t MenuBars() {
        size_t n = 0;
        for (const auto& w : wm.Windows())
            n += w.className == u"menu_worker";
        return n;
    }
    // Another program's window titled "Tessaril" with an owned window above
    // it, the one last active; the owned one.
    HWND OpenOwnedWindow() {
        static HWND owned;
        owned = nullptr;
        d.StartProcess("owner.exe", [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.lpszClassName = u"Owner";
            RegisterClassW(&wc);
            HWND owner = CreateWindowExW(0, u"Owner", u"Tessaril", WS_POPUP | WS_VISIBLE, 0, 0, 240,
                                         320, nullptr, nullptr, nullptr, nullptr);
            owned = CreateWindowExW(0, u"Owner", u"Owned", WS_POPUP | WS_VISIBLE, 20, 60, 200, 100,
                                    owner, nullptr, nullptr, nullptr);
            SetForegroundWindow(owned);
            MSG m;
            while (GetMessageW(&m, nullptr, 0, 0))
                DispatchMessageW(&m);
            return DWORD(0);
        });
        d.RunUntilIdle();
        return owned;
    }
    // A window of another program in front of everything.
    void Cover() {
        d.StartProcess("cover.exe", [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
            wc.lpszClassName = u"Cover";
            RegisterClassW(&wc);
            HWND cover = CreateWindowExW(0, u"Cover", u"Cover", WS_POPUP | WS_VISIBLE, 0, 0, 240,
                                         320, nullptr, nullptr, nullptr, nullptr);
            SetForegroundWindow(cover);
            MSG m;
            while (GetMessageW(&m, nullptr, 0, 0))
                DispatchMessageW(&m);
            return DWORD(0);
        });
        d.RunUntilIdle();
    }
};

const std::string kSaved = "Tessaril: Program settings saved. (0x00000040)";
const std::string kStartFailed = "Tessaril: Could not start the lock program. (0x00000010)";
const std::string kSaveFailed = "Tessaril: Could not save the program settings. (0x00000010)";

std::string Items(const handset::ComboInfo& c) {
    std::string all;
    for (const auto& item : c.items)
        all += Narrow(item) + ";";
    return all;
}

} // namespace

TEST(SettingsSheet, OpensWithItsThreePagesSoftKeysAndThePlatformsVersion) {
    Phone p;
    p.Start();
    auto sheet = p.d.Get<handset::PropertySheets>().Open();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(TESTED_WCE >= 0x500 ? 0x20E : 0x20C, sheet->version);
    EXPECT_TRUE(sheet->tabsAtBottom);
    EXPECT_EQ((std::vector<std::u16string>{u"Main", u"Options", u"Call Drop"}), sheet->titles);
    for (HWND page : sheet->pages)
        EXPECT_NE(nullptr, page) << "every page is made with the sheet";
    EXPECT_EQ(u"Tessaril", p.wm.Info(sheet->window)->title);
    auto& bars = p.d.Get<handset::MenuBars>();
    auto keys = bars.Keys(bars.Of(sheet->window));
    ASSERT_EQ(2u, keys.size());
    EXPECT_EQ(u"Apply", keys[0].text);
    EXPECT_EQ(u"Actions", keys[1].text);
    handset::PressSoftKey(p.d, 1);
    auto items = bars.PopupItems();
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ(u"About...", items[0].text);
}

TEST(SettingsSheet, AnEmptyRegistryShowsTheDefaults) {
    struct Case {
        int line;
        int id;
        std::string items;
        int selection;
    } cases[] = {
        {__LINE__, 1003, "Active;Inactive;", 1},
        {__LINE__, 1004, "2 sec;3 sec;4 sec;5 sec;6 sec;7 sec;8 sec;", 3},
        {__LINE__, 1005, "0 sec;1 sec;2 sec;3 sec;4 sec;5 sec;", 0},
        {__LINE__, 205, "None;Sound;Vibrate;", 1},
        {__LINE__, 206, "None;Sound;Vibrate;", 1},
        {__LINE__, 207, "None;Sound;Vibrate;", 1},
        {__LINE__, 208, "30 sec.;1 min.;1 min. 30 sec.;2 min.;3 min.;4 min.;5 min.;8 min.;10 min.;",
         4},
        {__LINE__, 210, "0 sec;1 sec;2 sec;3 sec;4 sec;5 sec;7 sec;10 sec;15 sec;20 sec;", 5},
        {__LINE__, 209, "Never;5 sec.;10 sec.;15 sec.;20 sec.;25 sec.;", 1},
        {__LINE__, 1027,
         "Never;25 sec.;55 sec.;1 min. 55 sec.;2 min. 55 sec.;3 min. 55 sec.;4 min. 55 sec.;"
         "5 min. 55 sec.;6 min. 55 sec.;7 min. 55 sec.;8 min. 55 sec.;9 min. 55 sec.;",
         0},
    };
    Phone p;
    p.Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        EXPECT_EQ(c.items, Items(p.Combo(c.id)));
        EXPECT_EQ(c.selection, p.Combo(c.id).selection);
    }
    EXPECT_EQ(Items(p.Combo(1027)), Items(p.Combo(1028)));
    EXPECT_EQ(0, p.Combo(1028).selection);
    EXPECT_EQ(BST_UNCHECKED, handset::CheckState(p.d, p.Control(1006)));
    EXPECT_EQ(0u, p.d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kKey).size());
}

// The one confirmation comes when every page has written, and belongs to the
// Main page whichever tab is on top.
TEST(SettingsSheet, ApplyFromAnyTabSavesEveryPageThenConfirmsOnce) {
    for (int tab = 0; tab < 3; ++tab) {
        SCOPED_TRACE(::testing::Message() << "tab " << tab);
        Phone p(StandInLock, 1, 96, true);
        p.Start();
        p.Pick(1004, u"7 sec");
        p.Pick(205, u"Vibrate");
        p.Pick(1027, u"1 min. 55 sec.");
        handset::TapTab(p.d, tab);
        p.Apply();
        EXPECT_EQ(kSaved, p.Box());
        EXPECT_EQ(p.Sheet(), p.wm.Info(p.wm.OpenMessageBox()->window)->owner);
        // Every value, changed or not, before the box.
        struct Want {
            const char16_t* name;
            DWORD value;
        } wants[] = {
            {u"TempUnlockDelay", 5},   {u"OnStartDelay", 0},       {u"StartAfterReset", 0},
            {u"OnSoundType", 2},       {u"OffSoundType", 1},       {u"RegularSoundType", 1},
            {u"RegularSoundDelay", 4}, {u"RegularSoundBefore", 5}, {u"TurnOffScr", 1},
            {u"DropIncoming", 3},      {u"DropOutgoing", 0}};
        for (const Want& w : wants)
            EXPECT_EQ(w.value, p.Stored(w.name)) << Narrow(w.name);
        EXPECT_EQ(11u, p.d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kKey).size());
        p.Answer();
        EXPECT_EQ("", p.Box());
        EXPECT_EQ(1u, p.wm.MessageBoxes().size());
        HWND main = p.d.Get<handset::PropertySheets>().Open()->pages[0];
        char given[32];
        std::snprintf(given, sizeof given, "0x%llx",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(main)));
        EXPECT_EQ(given, p.BoxOwnerGiven()) << "the Main page";
        EXPECT_EQ(tab, p.d.Get<handset::PropertySheets>().Open()->current);
        EXPECT_EQ(5, p.Combo(1004).selection);
    }
}

TEST(SettingsSheet, ClosingWithoutApplyChangesNothing) {
    Phone p;
    p.Store(u"DropOutgoing", 4);
    DWORD lock = p.StartLock();
    DWORD pid = p.Start();
    std::string before = p.d.Get<handset::Registry>().SaveRegText();
    p.Pick(1003, u"Inactive");
    p.Pick(1028, u"Never");
    handset::TapControl(p.d, p.Control(1006));
    p.d.Get<handset::Taskbar>().PressOk();
    ASSERT_TRUE(p.d.RunUntilExit(pid, 1000));
    EXPECT_EQ(before, p.d.Get<handset::Registry>().SaveRegText());
    EXPECT_TRUE(p.d.ProcessRunning(lock));
    EXPECT_EQ(0u, p.wm.MessageBoxes().size());
    EXPECT_NOTHING_HELD(p.d, pid);
}

// The old drop list stored 12 for its last label; other values come from
// elsewhere. None is in its list: no selection. Apply writes -1 from a
// drop-down list; an editable box, whose empty text names no item, leaves
// the value as it is.
TEST(SettingsSheet, AStoredIndexOutsideItsListShowsNoSelection) {
    struct Case {
        int line;
        const char16_t* name;
        int id;
        DWORD stored;
        DWORD saved;
    } cases[] = {
        {__LINE__, u"DropIncoming", 1027, 12, 0xFFFFFFFF},
        {__LINE__, u"TempUnlockDelay", 1004, 7, 0xFFFFFFFF},
        {__LINE__, u"TurnOffScr", 209, 6, 6},
        {__LINE__, u"OnSoundType", 205, 0xFFFFFFFF, 0xFFFFFFFF},
        {__LINE__, u"RegularSoundDelay", 208, 9, 9},
    };
    Phone p;
    for (const Case& c : cases)
        p.Store(c.name, c.stored);
    p.Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        EXPECT_EQ(-1, p.Combo(c.id).selection);
    }
    p.Apply();
    EXPECT_EQ((std::vector<std::string>{kSaved}), p.AnswerAll());
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        EXPECT_EQ(c.saved, p.Stored(c.name));
    }
}

// What the user types into an Options box counts when it names an item,
// whatever its case and the spaces around it; a text that names none is not
// saved, and the box shows the stored item again.
TEST(SettingsSheet, ATypedTextSavesTheItemItNames) {
    struct Case {
        int line;
        int id;
        const char16_t* name;
        std::optional<DWORD> stored;
        std::u16string typed;
        std::optional<DWORD> saved;
        std::u16string shown;
    } cases[] = {
        {__LINE__, 205, u"OnSoundType", 0, u"Vib", 0, u"None"},
        {__LINE__, 205, u"OnSoundType", std::nullopt, u"Vib", std::nullopt, u"Sound"},
        {__LINE__, 205, u"OnSoundType", 0, u"", 0, u"None"},
        {__LINE__, 205, u"OnSoundType", 0, u"Vibrate ", 2, u"Vibrate"},
        {__LINE__, 205, u"OnSoundType", 0, u" vibrate ", 2, u"Vibrate"},
        {__LINE__, 205, u"OnSoundType", 0, u"VIBRATE", 2, u"Vibrate"},
        {__LINE__, 206, u"OffSoundType", 1, u"  none", 0, u"None"},
        {__LINE__, 208, u"RegularSoundDelay", 4, u"10 MIN.  ", 8, u"10 min."},
        {__LINE__, 208, u"RegularSoundDelay", 4, u"10 min", 4, u"3 min."},
        {__LINE__, 210, u"RegularSoundBefore", 5, u" 15 sec", 8, u"15 sec"},
        {__LINE__, 209, u"TurnOffScr", 1, u"Never!", 1, u"5 sec."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        Phone p;
        if (c.stored) p.Store(c.name, *c.stored);
        p.Start();
        p.Retype(c.id, c.typed);
        ASSERT_EQ(Narrow(c.typed), Narrow(p.Combo(c.id).text));
        p.Apply();
        EXPECT_EQ((std::vector<std::string>{kSaved}), p.AnswerAll());
        EXPECT_EQ(c.saved, p.Stored(c.name));
        EXPECT_EQ(Narrow(c.shown), Narrow(p.Combo(c.id).text));
        EXPECT_EQ(10u + (c.saved ? 1 : 0),
                  p.d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kKey).size())
            << "the other values are saved";
    }
}

TEST(SettingsSheet, StateActiveStartsOneLockProgram) {
    Phone p;
    p.Start();
    EXPECT_EQ(u"Inactive", p.Combo(1003).text);
    p.Pick(1003, u"Active");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        p.Apply();
        EXPECT_EQ(kSaved, p.Box()) << "no error before it";
        p.Answer();
        EXPECT_EQ(1u, p.LockStarts());
        EXPECT_TRUE(p.LockRunning());
        EXPECT_EQ(0, p.Combo(1003).selection);
    }
}

TEST(SettingsSheet, StateInactiveAsksEveryThreadToQuitAndWaitsTwoSecondsAtMost) {
    struct Case {
        int line;
        bool ignoresExit;
        uint64_t took;
        std::u16string after;
    } cases[] = {
        {__LINE__, false, 0, u"Inactive"},
        {__LINE__, true, 2000, u"Active"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        Phone p;
        DWORD lock = p.StartLock();
        std::vector<DWORD> threads = p.d.ThreadIds(lock);
        g_ignoreExit = c.ignoresExit;
        p.Start();
        EXPECT_EQ(u"Active", p.Combo(1003).text);
        p.Pick(1003, u"Inactive");
        p.Apply();
        EXPECT_EQ(kSaved, p.Box());
        uint64_t applied = p.d.timeline().Find("menubar.command").back()->t;
        EXPECT_EQ(c.took, p.d.timeline().Find("msgbox.show").back()->t - applied);
        std::set<DWORD> asked;
        for (auto* e : p.d.timeline().Find("message.post"))
            if (e->Number("msg") == 1027) asked.insert(DWORD(e->Number("to")));
        EXPECT_EQ((std::set<DWORD>{threads[0], threads[1]}), asked) << "the third has no queue";
        EXPECT_EQ(c.ignoresExit, p.d.ProcessRunning(lock));
        p.Answer();
        EXPECT_EQ(c.after, p.Combo(1003).text);
    }
}

// The real lock program plays its stop sound before it ends, within the two
// seconds the State box waits.
TEST(SettingsSheet, StateStartsAndStopsTheRealLockProgram) {
    Phone p(TessarilMain);
    p.d.Get<handset::CellularNetwork>().AddStandardLines();
    p.Start();
    p.Pick(1003, u"Active");
    p.Apply();
    EXPECT_EQ(kSaved, p.Box());
    EXPECT_TRUE(p.LockRunning());
    p.Answer();
    p.d.RunFor(1000); // its start sound
    p.Pick(1003, u"Inactive");
    p.Apply();
    EXPECT_EQ(kSaved, p.Box());
    EXPECT_FALSE(p.LockRunning());
    uint64_t applied = p.d.timeline().Find("menubar.command").back()->t;
    EXPECT_LT(p.d.timeline().Find("msgbox.show").back()->t - applied, 2000u);
    p.Answer();
    EXPECT_EQ(u"Inactive", p.Combo(1003).text);
    EXPECT_EQ(1u, p.LockStarts());
}

TEST(SettingsSheet, AFailedStartIsReportedBeforeTheConfirmation) {
    Phone p(nullptr); // no Tessaril.exe
    p.Start();
    p.Pick(1003, u"Active");
    p.Apply();
    EXPECT_EQ(kStartFailed, p.Box());
    EXPECT_EQ(3u, p.Stored(u"TempUnlockDelay")) << "Main is saved first";
    p.Answer();
    EXPECT_EQ(kSaved, p.Box());
    p.Answer();
    EXPECT_EQ(0u, p.Stored(u"DropOutgoing"));
    EXPECT_EQ(u"Inactive", p.Combo(1003).text);
}

// Apply writes the eleven values in this order, and goes on past a write
// that fails; it says once, after the last, that they were not all saved. A
// good Apply after it says so.
TEST(SettingsSheet, AFailedWriteIsReportedOnceAfterEveryPageHasWritten) {
    const char16_t* const order[] = {
        u"TempUnlockDelay", u"OnStartDelay",     u"StartAfterReset",   u"OnSoundType",
        u"OffSoundType",    u"RegularSoundType", u"RegularSoundDelay", u"RegularSoundBefore",
        u"TurnOffScr",      u"DropIncoming",     u"DropOutgoing"};
    struct Case {
        int line;
        unsigned failFrom; // the first RegSetValueExW that fails, counting from Apply
        unsigned fails;
    } cases[] = {
        {__LINE__, 1, 1}, {__LINE__, 2, 1},  {__LINE__, 3, 1},  {__LINE__, 4, 1},
        {__LINE__, 5, 1}, {__LINE__, 6, 1},  {__LINE__, 7, 1},  {__LINE__, 8, 1},
        {__LINE__, 9, 1}, {__LINE__, 10, 1}, {__LINE__, 11, 1}, {__LINE__, 1, 11}, // every one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        Phone p;
        p.Start();
        p.d.faults().FailNth("RegSetValueExW", c.failFrom, ERROR_ACCESS_DENIED, c.fails);
        p.Apply();
        EXPECT_EQ((std::vector<std::string>{kSaveFailed}), p.AnswerAll());
        for (unsigned i = 0; i < 11; ++i) {
            bool failed = i + 1 >= c.failFrom && i + 1 < c.failFrom + c.fails;
            EXPECT_EQ(!failed, p.Stored(order[i]).has_value()) << Narrow(order[i]);
        }
        p.Apply();
        EXPECT_EQ((std::vector<std::string>{kSaved}), p.AnswerAll());
        EXPECT_EQ(11u, p.d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kKey).size());
    }
}

// When the process list cannot be read, the lock program's mutex shows
// whether it runs; Apply starts no second copy and reports no failed start.
// Without the list a stop cannot reach it, and the box says it still runs.
TEST(SettingsSheet, TheStateBoxTellsTheTruthWithoutTheProcessList) {
    struct Case {
        int line;
        bool running;
        bool listBack; // the list can be read again after the sheet opened
        std::u16string shown;
        std::u16string picked;
        std::vector<std::string> boxes;
        std::u16string after;
        bool runsAfter;
    } cases[] = {
        {__LINE__, true, true, u"Active", u"Inactive", {kSaved}, u"Inactive", false},
        {__LINE__, true, false, u"Active", u"Active", {kSaved}, u"Active", true},
        {__LINE__, true, false, u"Active", u"Inactive", {kSaved}, u"Active", true},
        {__LINE__, false, false, u"Inactive", u"Active", {kSaved}, u"Active", true},
        {__LINE__, false, false, u"Inactive", u"Inactive", {kSaved}, u"Inactive", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        Phone p;
        if (c.running) p.StartLock();
        if (c.listBack)
            p.d.faults().FailNth("CreateToolhelp32Snapshot", 1, ERROR_NOT_ENOUGH_MEMORY);
        else
            p.d.faults().FailAlways("CreateToolhelp32Snapshot", ERROR_NOT_ENOUGH_MEMORY);
        p.Start();
        EXPECT_EQ(Narrow(c.shown), Narrow(p.Combo(1003).text));
        p.Pick(1003, c.picked);
        p.Apply();
        EXPECT_EQ(c.boxes, p.AnswerAll());
        EXPECT_EQ(Narrow(c.after), Narrow(p.Combo(1003).text));
        EXPECT_EQ(c.runsAfter, p.LockRunning());
        EXPECT_EQ(c.running || c.runsAfter ? 1u : 0u, p.LockStarts()) << "never a second copy";
    }
}

TEST(Autostart, OnlyTheCommandLineResetStartsTheLockProgramAndShowsNothing) {
    struct Case {
        int line;
        std::u16string commandLine;
        int startAfterReset; // -1: missing
        size_t launches;
        bool sheet;
    } cases[] = {
        {__LINE__, u"reset", -1, 0, false},   {__LINE__, u"reset", 0, 0, false},
        {__LINE__, u"reset", 1, 1, false},    {__LINE__, u"Reset", 1, 0, true},
        {__LINE__, u" reset", 1, 0, true},    {__LINE__, u"reset ", 1, 0, true},
        {__LINE__, u"reset now", 1, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        Phone p;
        if (c.startAfterReset >= 0) p.Store(u"StartAfterReset", DWORD(c.startAfterReset));
        DWORD pid = p.Start(c.commandLine);
        EXPECT_EQ(c.launches, p.LockStarts());
        EXPECT_EQ(c.sheet, p.Sheet() != nullptr);
        EXPECT_EQ(!c.sheet, !p.d.ProcessRunning(pid));
    }
}

TEST(Autostart, ASoftResetBringsTheLockProgramBackOnlyWhenTheBoxWasChecked) {
    for (bool checked : {false, true}) {
        SCOPED_TRACE(::testing::Message() << "checked " << checked);
        Phone p;
        p.StartLock();
        DWORD pid = p.Start();
        if (checked) handset::TapControl(p.d, p.Control(1006));
        p.Apply();
        p.Answer();
        EXPECT_EQ(DWORD(checked), p.Stored(u"StartAfterReset"));
        p.d.Get<handset::Taskbar>().PressOk();
        ASSERT_TRUE(p.d.RunUntilExit(pid, 1000));
        p.d.Get<handset::Shell>().SoftReset();
        p.d.RunUntilIdle();
        EXPECT_EQ(checked, p.LockRunning());
        EXPECT_EQ(nullptr, p.Sheet());
    }
}

// Whatever is titled "Tessaril" counts as an open configuration program: the
// sheet, the About page, and the lock program's start-up error box (the real
// lock program's, when its call monitor cannot start).
// It is brought to the front with the windows it owns: the one of them last
// active comes first.
TEST(SecondStart, BringsTheOpenWindowTitledTessarilToTheFrontAndEnds) {
    enum Open { SheetOpen, AboutOpen, TapiBox, OwnedOpen };
    for (Open open : {SheetOpen, AboutOpen, TapiBox, OwnedOpen}) {
        SCOPED_TRACE(::testing::Message() << "open " << open);
        Phone p(open == TapiBox ? TessarilMain : StandInLock);
        HWND front;
        if (open == OwnedOpen) {
            front = p.OpenOwnedWindow();
        } else if (open == TapiBox) {
            p.d.faults().FailNth("CreateThread", 1, ERROR_NOT_ENOUGH_MEMORY);
            p.StartLock();
            ASSERT_EQ("Tessaril: Failed to initialize TAPI. (0x00000010)", p.Box());
            front = p.wm.OpenMessageBox()->window;
        } else {
            p.Start();
            if (open == AboutOpen) p.OpenAbout();
            front = p.wm.Foreground();
        }
        size_t windows = p.wm.Windows().size();
        p.Cover();
        ASSERT_NE(front, p.wm.Foreground());
        DWORD second = p.Start();
        EXPECT_FALSE(p.d.ProcessRunning(second));
        EXPECT_EQ(front, p.wm.Foreground());
        EXPECT_EQ(windows + 1, p.wm.Windows().size()) << "the cover only";
        EXPECT_EQ(open == SheetOpen || open == AboutOpen, p.Sheet() != nullptr);
    }
}

TEST(AboutPage, ClosedByOkDoneOrACloseRequestLeavesNoMenuBarBehind) {
    Phone p;
    DWORD pid = p.Start();
    HWND sheetBar = p.d.Get<handset::MenuBars>().Of(p.Sheet());
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        p.OpenAbout();
        HWND page = p.wm.Foreground();
        EXPECT_EQ(u"Tessaril", p.wm.Info(page)->title);
        EXPECT_EQ(2u, p.MenuBars());
        auto keys = p.d.Get<handset::MenuBars>().Keys(p.d.Get<handset::MenuBars>().Of(page));
        ASSERT_EQ(1u, keys.size());
        EXPECT_EQ(u"Done", keys[0].text);
        if (round % 3 == 0) p.d.Get<handset::Taskbar>().PressOk();
        if (round % 3 == 1) handset::PressSoftKey(p.d, 0);
        if (round % 3 == 2) PostMessageW(page, WM_CLOSE, 0, 0);
        p.d.RunUntilIdle();
        EXPECT_FALSE(p.wm.Info(page)) << "the page is gone";
        EXPECT_EQ(1u, p.MenuBars());
        EXPECT_EQ(sheetBar, p.d.Get<handset::MenuBars>().Of(p.Sheet()));
        EXPECT_EQ(nullptr, g_configState.aboutMenuBar);
    }
    p.d.Get<handset::Taskbar>().PressOk();
    ASSERT_TRUE(p.d.RunUntilExit(pid, 1000));
    EXPECT_NOTHING_HELD(p.d, pid);
}

// A full-screen page of its own (OK in the caption, full screen, input panel
// down: 13), owned by no window, its three lines in the bold font.
TEST(AboutPage, IsAFullScreenPageWithoutOwnerItsLinesInTheBoldFont) {
    Phone p;
    p.Start();
    p.OpenAbout();
    HWND page = p.wm.Foreground();
    ASSERT_EQ(u"Tessaril", p.wm.Info(page)->title);
    auto* setUp = p.d.timeline().Find("shell.initdialog").back();
    EXPECT_EQ(uint64_t(reinterpret_cast<uintptr_t>(page)), uint64_t(setUp->Number("window")));
    EXPECT_EQ(13, setUp->Number("flags"));
    EXPECT_EQ(nullptr, p.wm.Info(page)->owner);
    ASSERT_NE(nullptr, g_configState.boldFont);
    for (int id : {202, 203, 204}) {
        HWND line = handset::FindControl(p.d, id);
        LRESULT font = 0;
        p.d.Call([&] { font = SendMessageW(line, WM_GETFONT, 0, 0); });
        EXPECT_EQ(reinterpret_cast<LRESULT>(g_configState.boldFont), font) << "control " << id;
    }
}

TEST(AboutPage, TheBoldFontIsNinePointTahomaAtTheScreensResolution) {
    struct Case {
        int line;
        int dpi;
        LONG height;
    } cases[] = {
        {__LINE__, 96, -12},
        {__LINE__, 120, -15},
        {__LINE__, 130, -16}, // -16.25, truncated toward zero, not down
        {__LINE__, 100, -12}, // -12.5, truncated, not rounded
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        Phone p(StandInLock, 1, c.dpi);
        p.Start();
        auto object = p.d.Get<handset::Gdi>().FindObject(g_configState.boldFont);
        ASSERT_TRUE(object);
        const LOGFONTW& f = static_cast<handset::gdi::FontObject&>(*object).logFont;
        EXPECT_EQ(c.height, f.lfHeight);
        EXPECT_EQ(FW_BOLD, f.lfWeight);
        EXPECT_EQ(0x20, f.lfPitchAndFamily);
        EXPECT_EQ(0, f.lfCharSet);
        EXPECT_EQ(u"Tahoma", std::u16string(f.lfFaceName));
    }
}

// The pictures a person looks at, at both screen sizes: the program is not
// high-resolution aware, so the larger screen shows it doubled.
TEST(SettingsSheet, Screenshots) {
    for (int scale : {1, 2}) {
        SCOPED_TRACE(::testing::Message() << "scale " << scale);
        Phone p(StandInLock, scale);
        p.Start();
        auto save = [&](const std::string& name) {
            std::string error, path = std::string(CONFIG_PICTURE_DIR) + "/tessarilcfg_" + name +
                                      "_" + std::to_string(240 * scale) + "x" +
                                      std::to_string(320 * scale) +
                                      (TESTED_WCE < 0x500 ? "_ppc2003" : "") + ".png";
            EXPECT_TRUE(p.d.Get<handset::Screen>().SaveScreenshot(path, handset::Screen::Shot::Seen,
                                                                  &error))
                << error;
        };
        const char* pages[] = {"main", "options", "calldrop"};
        for (int tab = 0; tab < 3; ++tab) {
            handset::TapTab(p.d, tab);
            save(pages[tab]);
        }
        handset::TapControl(p.d, p.Control(1027));
        ASSERT_TRUE(p.Combo(1027).dropped);
        save("droplist");
        handset::TapControl(p.d, p.Control(1027));
        p.OpenAbout();
        save("about");
    }
}
