// Both programs on one phone: settings the configuration program saves
// during a locked call reach the lock program's next screen-off and next
// lock without a restart.
#include <gtest/gtest.h>

#include "commctrl/propsheet.h"
#include "config_testing.h"
#include "core/lock_sequence.h"
#include "res/resource.h"
#include "shell/menubar.h"
#include "shell/taskbar.h"
#include "testing/phone.h"
#include "user/controls.h"

namespace {

// The timer periods the lock program set for an id at or after `from`.
std::vector<std::string> PeriodsSince(lockprogram::Phone& p, const char* id, uint64_t from) {
    std::vector<std::string> out;
    for (const auto* e : p.d.timeline().Find("timer.set"))
        if (e->pid == p.pid && e->t >= from && e->Get("id") == id) out.push_back(e->Get("period"));
    return out;
}

} // namespace

TEST(BothPrograms, SettingsSavedDuringALockedCallReachTheNextScreenOffAndTheNextLock) {
    lockprogram::Phone p;
    InstallConfigProgram(p.d, TessarilMain);
    p.Start();
    handset::CallId first = p.CallFromAnna(p.d.Now() + 1000, 600000);
    p.d.RunFor(5000);
    ASSERT_TRUE(p.LockShown());
    ASSERT_EQ((std::vector<std::string>{"5000"}), PeriodsSince(p, "3", 0));

    // The user opens the settings over the lock and saves two changes.
    DWORD cfg = p.d.StartProgram(handset::kConfigProgramPath);
    p.d.RunUntilIdle();
    handset::TapTab(p.d, 1);
    handset::PickComboItem(p.d, handset::FindControl(p.d, IDC_SCREEN_OFF), u"15 sec.");
    handset::TapTab(p.d, 2);
    handset::PickComboItem(p.d, handset::FindControl(p.d, IDC_DROP_INCOMING), u"25 sec.");
    handset::PressSoftKey(p.d, 0);
    auto& wm = p.Windows();
    ASSERT_TRUE(p.d.RunUntil([&] { return wm.OpenMessageBox() != nullptr; }, 10000));
    EXPECT_EQ(u"Program settings saved.", wm.OpenMessageBox()->text);
    handset::AnswerMessageBox(p.d, IDOK);
    p.d.Get<handset::Taskbar>().PressOk(); // the sheet's OK closes it
    EXPECT_TRUE(p.d.RunUntilExit(cfg, 5000));
    EXPECT_TRUE(p.d.ProcessRunning(p.pid)) << "the lock program was not restarted";

    p.Net().HangUp(first);
    p.d.RunFor(2000);
    uint64_t second = p.d.Now();
    handset::CallId call = p.CallFromAnna(second, 600000);
    p.d.RunFor(40000);
    EXPECT_EQ((std::vector<std::string>{"15000"}), PeriodsSince(p, "3", second))
        << "the next screen-off";
    EXPECT_EQ((std::vector<std::string>{"25000"}), PeriodsSince(p, "5", second))
        << "the next lock's drop timer";
    EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), p.Net().Call(call).state) << "and the call was dropped";
}
