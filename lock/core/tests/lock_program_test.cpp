// The lock program end to end on the handset: a connected call locks the
// screen, the timers give their signals on time, the keys wake and unlock,
// the call is dropped, and the program starts and ends as it must.
#include <gtest/gtest.h>

#include "testing/phone.h"

using handset::Tap;
using lockprogram::kElapsedSoundBytes;
using lockprogram::kLockSoundBytes;
using lockprogram::Phone;

namespace {

const uint64_t kConnectedAt = 3000; // CallFromAnna(1000, ...)

uint64_t ConnectedAt(Phone& p) {
    for (const auto* e : p.d.timeline().Find("call.state"))
        if (e->Get("state") == "connected") return e->t;
    return 0;
}

// Where the lock picture's number line has black pixels: the number's
// glyphs, as nothing under the veil is that dark.
std::vector<int> NumberInk(Phone& p) {
    const handset::Screen& screen = p.d.Get<handset::Screen>();
    std::vector<int> ink;
    for (int y = 10; y < 30; ++y)
        for (int x = 0; x < 240; ++x)
            if (screen.Pixel(x, y) == 0) ink.push_back(y * 240 + x);
    return ink;
}

// The number's ink when a lone call from it is locked.
std::vector<int> NumberInkOfALoneCall(const char16_t* number) {
    Phone p;
    p.Start();
    p.Net().ScheduleIncoming(1000, p.cell, number, handset::CallPlan{.ringMs = 2000});
    p.d.RunFor(kConnectedAt + 2000);
    return NumberInk(p);
}

void SaveShot(Phone& p, const char* name) {
    std::string path = std::string(SHOT_DIR) + "/" + name, error;
    EXPECT_TRUE(
        p.d.Get<handset::Screen>().SaveScreenshot(path, handset::Screen::Shot::Seen, &error))
        << error;
}

const char16_t kSecondNumber[] = u"5550199";

struct TwoCalls {
    handset::CallId anna = 0, second = 0;
};

// Anna's call is locked; at `ringsAt` a second call rings and brings the
// Phone program in front; 2 s later it is answered, Anna put on hold.
TwoCalls ASecondCallDuringALock(Phone& p, uint64_t ringsAt) {
    TwoCalls calls;
    calls.anna = p.CallFromAnna(1000, 600000);
    p.d.RunFor(ringsAt - p.d.Now());
    calls.second = p.Net().Incoming(p.cell, kSecondNumber);
    p.d.RunFor(2000);
    EXPECT_EQ(handset::apps::PhoneWindow(p.d), p.Windows().Foreground()) << "it rings in front";
    p.Net().Hold(calls.anna);
    p.Net().Connect(calls.second);
    p.d.RunFor(1000);
    EXPECT_TRUE(p.LockShown());
    EXPECT_EQ(g_lockState.lockWindow, p.Windows().Foreground()) << "locked again";
    return calls;
}

handset::CallId NamedCall(Phone& p) {
    const auto* handle = p.Net().FindCallHandle(g_lockState.activeCall);
    return handle ? handle->call : 0;
}

} // namespace

TEST(LockProgram, ADefaultLockSignalsDarkensAndTimesAsSet) {
    Phone p;
    p.Start();
    ASSERT_EQ(std::vector<uint64_t>{0}, p.SoundStarts(kLockSoundBytes)) << "the start sound";
    p.CallFromAnna(1000, 600000);
    p.d.RunFor(kConnectedAt + 2);
    ASSERT_EQ(kConnectedAt, ConnectedAt(p));
    // Within 2 ms of the connection the window lies over the screen.
    ASSERT_TRUE(p.LockShown());
    HWND top = p.Windows().WindowAt({120, 160});
    EXPECT_EQ(g_lockState.lockWindow, top) << "it takes the taps";

    p.d.RunFor(540000);
    // The lock sound at once (no start delay), the timers after it.
    std::vector<uint64_t> lockSounds = p.SoundStarts(kLockSoundBytes);
    ASSERT_EQ(2u, lockSounds.size());
    EXPECT_LE(lockSounds[1] - kConnectedAt, 2u);
    uint64_t armed = 0;
    for (const auto* e : p.d.timeline().Find("timer.set"))
        if (e->pid == p.pid && e->Get("id") == "2" && armed == 0) armed = e->t;
    std::vector<std::string> want = {"2@" + std::to_string(armed) + "/175000",
                                     "3@" + std::to_string(armed) + "/5000"};
    std::vector<std::string> set = p.TimersSet();
    ASSERT_GE(set.size(), 3u);
    EXPECT_EQ(want, std::vector<std::string>(set.begin(), set.begin() + 2));
    EXPECT_EQ("4", set[2].substr(0, 1)) << "then the clock; no drop timer";
    for (const std::string& s : set)
        EXPECT_NE('5', s[0]) << s;
    EXPECT_EQ((std::vector<uint64_t>{armed + 175000, armed + 355000, armed + 535000}),
              p.SoundStarts(kElapsedSoundBytes));
    const auto& backlight = p.d.Get<handset::Power>().BacklightHistory();
    ASSERT_FALSE(backlight.empty());
    EXPECT_EQ(armed + 5000, backlight[0].at);
    EXPECT_EQ(D4, backlight[0].state);
}

TEST(LockProgram, ARepeatedLockKeepsTheWindowAndATemporaryUnlockRelocksOverAFreshSnapshot) {
    Phone p;
    p.SetSetting(u"TurnOffScr", 0); // never dark, so the centre button unlocks at once
    p.Start();
    p.CallFromAnna(1000, 600000);
    p.d.RunFor(kConnectedAt + 5000);
    HWND window = g_lockState.lockWindow;
    ASSERT_TRUE(p.LockShown());
    p.Post(WM_LOCK_SCREEN);
    p.d.RunFor(100);
    EXPECT_EQ(window, g_lockState.lockWindow) << "no second window";
    EXPECT_EQ(2u, p.SoundStarts(kLockSoundBytes).size()) << "no second lock signal";

    handset::PressKey(p.d, VK_RETURN);
    EXPECT_FALSE(p.LockShown()) << "unlocked for a while";
    EXPECT_EQ(3u, p.SoundStarts(kLockSoundBytes).size()) << "the unlock signal";
    auto before = p.d.Get<handset::Screen>().Picture(handset::Screen::Shot::Raw).rgb;
    p.d.RunFor(5000);
    EXPECT_TRUE(p.LockShown()) << "locked again after the temporary-unlock delay";
    EXPECT_EQ(4u, p.SoundStarts(kLockSoundBytes).size()) << "with the lock signal";
    auto after = p.d.Get<handset::Screen>().Picture(handset::Screen::Shot::Raw).rgb;
    EXPECT_NE(before, after) << "the Phone program's call time moved on under the new picture";
}

TEST(LockProgram, TheCentreButtonWakesADarkScreenAndTheUpKeyUnlocksUntilTheNextLock) {
    Phone p;
    p.Start();
    p.CallFromAnna(1000, 600000);
    p.d.RunFor(kConnectedAt + 7000);
    ASSERT_TRUE(g_lockState.backlightOff);
    handset::PressKey(p.d, VK_RETURN);
    EXPECT_FALSE(g_lockState.backlightOff) << "woken";
    EXPECT_TRUE(p.LockShown()) << "and still locked";
    p.d.RunFor(5200);
    EXPECT_TRUE(g_lockState.backlightOff) << "the screen-off timer ran again";
    handset::PressKey(p.d, VK_UP);
    EXPECT_FALSE(g_lockState.backlightOff);
    EXPECT_FALSE(p.LockShown());
    p.d.RunFor(20000);
    EXPECT_FALSE(p.LockShown()) << "no re-lock after the up key";
    EXPECT_NE(nullptr, g_lockState.lockWindow) << "the window waits for the call's end";
}

TEST(LockProgram, TheDropTimerEndsTheCallAndTheUnlockVibrates) {
    Phone p;
    p.SetSetting(u"DropIncoming", 1); // 25 s
    p.SetSetting(u"OffSoundType", 2); // vibrate
    p.Start();
    handset::CallId call = p.CallFromAnna(1000, 600000);
    p.d.RunFor(kConnectedAt + 30000);
    EXPECT_EQ(nullptr, g_lockState.lockWindow) << "unlocked when the drop was reported";
    EXPECT_NE(DWORD(LINECALLSTATE_CONNECTED), p.Net().Call(call).state);
    const auto& leds = p.d.Get<handset::Power>().LedHistory();
    ASSERT_EQ(2u, leds.size()) << "one pulse";
    EXPECT_EQ(400u, leds[1].at - leds[0].at);
}

TEST(LockProgram, ExitWhileLockedQuitMessagesAndASecondStart) {
    Phone p;
    p.Start();
    p.CallFromAnna(1000, 600000);
    p.d.RunFor(kConnectedAt + 1000);
    DWORD second = p.d.StartProgram(handset::kLockProgramPath);
    p.d.RunFor(100);
    EXPECT_FALSE(p.d.ProcessRunning(second));
    EXPECT_EQ(0u, p.d.ProcessExitCode(second)) << "a second copy ends silently";
    p.Post(WM_QUIT);
    p.d.RunFor(100);
    EXPECT_TRUE(p.d.ProcessRunning(p.pid)) << "WM_QUIT does not end it";
    EXPECT_TRUE(p.LockShown());

    size_t sounds = p.SoundStarts(kLockSoundBytes).size();
    p.Post(WM_EXIT_PROGRAM);
    EXPECT_TRUE(p.d.RunUntilExit(p.pid, 5000));
    EXPECT_EQ(0u, p.d.ProcessExitCode(p.pid));
    EXPECT_EQ(sounds + 2, p.SoundStarts(kLockSoundBytes).size()) << "stop sound, unlock signal";
    EXPECT_EQ(p.pid, [&] {
        for (const auto* e : p.d.timeline().Find("window.destroy"))
            if (e->Number("process") == p.pid) return DWORD(e->Number("process"));
        return DWORD(0);
    }());
}

TEST(LockProgram, AMonitorThatCannotStartIsReportedInABox) {
    Phone p;
    p.d.faults().FailAlways("CreateThread", ERROR_NOT_ENOUGH_MEMORY);
    p.Start();
    const handset::MessageBoxInfo* box = p.Windows().OpenMessageBox();
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(u"Failed to initialize TAPI.", box->text);
    EXPECT_EQ(u"Tessaril", box->caption);
    EXPECT_EQ(UINT(MB_ICONERROR), box->style);
    handset::AnswerMessageBox(p.d, IDOK);
    EXPECT_TRUE(p.d.RunUntilExit(p.pid, 1000));
    EXPECT_TRUE(p.SoundStarts(kLockSoundBytes).empty()) << "no start sound";
}

// The held caller hangs up while the second call goes on: the screen stays
// locked over it, showing its number, and the drop timer ends it, not the
// call that has gone.
TEST(LockProgram, TheHeldCallerHangingUpLeavesTheSecondCallLocked) {
    const std::vector<int> secondInk = NumberInkOfALoneCall(kSecondNumber);
    ASSERT_FALSE(secondInk.empty());
    Phone p;
    p.SetSetting(u"TurnOffScr", 0);
    p.SetSetting(u"DropIncoming", 1); // 25 s from the first lock
    p.Start();
    TwoCalls calls = ASecondCallDuringALock(p, 6000);
    p.Net().HangUp(calls.anna);
    p.d.RunFor(1000);
    ASSERT_TRUE(p.LockShown()) << "still locked";
    Tap(p.d, handset::Centre(handset::apps::PhoneButtonRect(p.d, handset::apps::PhoneButton::End)));
    p.d.RunFor(500);
    EXPECT_EQ(DWORD(LINECALLSTATE_CONNECTED), p.Net().Call(calls.second).state)
        << "End is not pressed through the lock";
    EXPECT_EQ(calls.second, NamedCall(p));
    EXPECT_EQ(secondInk, NumberInk(p)) << "the second caller's number on the picture";
    SaveShot(p, "two_calls_locked.png");

    p.d.RunFor(25000);
    std::vector<uint64_t> dropped;
    for (const auto* e : p.d.timeline().Find("call.drop"))
        dropped.push_back(e->Number("call"));
    EXPECT_EQ(std::vector<uint64_t>{calls.second}, dropped);
    EXPECT_EQ(nullptr, g_lockState.lockWindow) << "unlocked when the dropped call ended";
}

// The second call ends and only Anna, on hold, is left: the screen unlocks,
// so that she can be taken back; taking her back locks it again.
TEST(LockProgram, WhenOnlyAHeldCallIsLeftTheScreenUnlocks) {
    Phone p;
    p.SetSetting(u"TurnOffScr", 0);
    p.Start();
    TwoCalls calls = ASecondCallDuringALock(p, 6000);
    p.Net().HangUp(calls.second);
    p.d.RunFor(1000);
    EXPECT_EQ(nullptr, g_lockState.lockWindow);
    p.Net().Resume(calls.anna);
    p.d.RunFor(1000);
    EXPECT_TRUE(p.LockShown());
    EXPECT_EQ(calls.anna, NamedCall(p));
}

// A second call rings while the lock is in front: the Phone program must be
// seen, whether the screen had gone dark already or its screen-off time
// comes while the call rings. Answered, the call locks as usual.
TEST(LockProgram, ACallRingingInFrontOfTheLockIsLit) {
    struct Case {
        int line;
        uint64_t ringsAt; // the screen goes dark at 8792
        const char* shot;
    } cases[] = {
        {__LINE__, 10000, "dark_then_second_call_rings.png"},
        {__LINE__, 7000, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Phone p;
        p.Start();
        handset::CallId anna = p.CallFromAnna(1000, 600000);
        p.d.RunFor(c.ringsAt - p.d.Now());
        EXPECT_EQ(c.ringsAt > 8792, g_lockState.backlightOff);
        handset::CallId second = p.Net().Incoming(p.cell, kSecondNumber);
        p.d.RunFor(2000);
        EXPECT_EQ(handset::apps::PhoneWindow(p.d), p.Windows().Foreground());
        EXPECT_TRUE(p.d.Get<handset::Power>().BacklightOn());
        EXPECT_FALSE(p.d.Get<handset::Power>().BacklightForced());
        EXPECT_FALSE(g_lockState.backlightOff);
        if (c.shot) SaveShot(p, c.shot);
        p.Net().Hold(anna);
        p.Net().Connect(second);
        p.d.RunFor(1000);
        EXPECT_EQ(g_lockState.lockWindow, p.Windows().Foreground()) << "locked again";
        EXPECT_TRUE(p.d.Get<handset::Power>().BacklightOn());
    }
}
