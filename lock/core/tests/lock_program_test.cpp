// The lock program end to end on the handset: a connected call locks the
// screen, the timers give their signals on time, the keys wake and unlock,
// the call is dropped, and the program starts and ends as it must.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

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

// Two locked calls read off the timeline, each rule a row: what the keys,
// the timers and the sequences do, and in which order.
TEST(LockProgram, TwoLockedCallsFollowTheRulesOfTheKeysTimersAndSequences) {
    Phone p;
    p.SetSetting(u"OnStartDelay", 2);       // 2000 ms
    p.SetSetting(u"OffSoundType", 2);       // unlock signals vibrate; the lock signal sounds
    p.SetSetting(u"RegularSoundDelay", 0);  // 30 s,
    p.SetSetting(u"RegularSoundBefore", 9); // 20 s before: first at 10 s
    p.Start();
    const auto mute = handset::apps::PhoneButton::Mute;

    // Anna from 3000 to 20000: the lock sound at 5000, the timers at 5792.
    p.CallFromAnna(1000, 17000);
    p.d.RunFor(8000 - p.d.Now());
    handset::PressKey(p.d, VK_RETURN); // unlocked until 13000
    p.d.RunFor(1000);
    Tap(p.d, handset::Centre(handset::apps::PhoneButtonRect(p.d, mute)));
    p.d.RunFor(14000 - p.d.Now()); // locked again, painted after the lock sound
    RECT face = handset::apps::PhoneButtonRect(p.d, mute);
    const uint16_t muteUnderVeil = p.d.Get<handset::Screen>().Pixel(face.left + 4, face.top + 4);
    p.d.RunFor(21000 - p.d.Now()); // dark at 18792, the call's end at 20000

    // Anna again from 25000: the up key at 30000, the window shown again at
    // 31100, asked to close at 32100.
    p.CallFromAnna(23000, 600000);
    p.d.RunFor(30000 - p.d.Now());
    handset::PressKey(p.d, VK_UP);
    p.d.RunFor(1000);
    p.Post(WM_LOCK_SCREEN);
    p.d.RunFor(1000);
    HWND window = g_lockState.lockWindow;
    p.d.Call([window] { return DWORD(PostMessageW(window, WM_CLOSE, 0, 0)); });
    p.d.RunFor(1000);

    // The lock program's timers, signals, backlight requests and window's
    // end from `from` to `to`, in order: "8000:set1 8000:led+ ...".
    auto events = [&](uint64_t from, uint64_t to) {
        std::string out;
        for (const auto& e : p.d.timeline().Entries()) {
            if (e.t < from || e.t >= to || e.pid != p.pid) continue;
            std::string name;
            if (e.what == "timer.set") name = "set" + e.Get("id");
            if (e.what == "timer.kill") name = "kill" + e.Get("id");
            if (e.what == "led.set") name = e.Number("state") ? "led+" : "led-";
            if (e.what == "backlight.set") name = "light" + e.Get("requested");
            if (e.what == "sound.start") name = "sound" + e.Get("bytes");
            if (e.what == "window.destroy") name = "destroy";
            if (!name.empty()) out += std::to_string(e.t) + ":" + name + " ";
        }
        return out;
    };
    // The lock program's sounds as "start/bytes/speaker forced/volume".
    auto sounds = [&](uint64_t from, uint64_t to) {
        std::string out;
        for (const auto& s : p.d.Get<handset::Audio>().Playbacks())
            if (s.pid == p.pid && !s.viaPlaySound && s.start >= from && s.start < to)
                out += std::to_string(s.start) + "/" + std::to_string(s.data.size()) + "/" +
                       (s.speakerForced ? "speaker" : "-") + "/" + handset::Hex32(s.volume) + " ";
        return out;
    };
    auto values = [&](const char* what, const char* key, auto match) {
        std::string out;
        for (const auto* e : p.d.timeline().Find(what))
            if (match(*e)) out += e->Get(key) + " ";
        return out;
    };
    std::string clockPeriods = values("timer.set", "period", [&](const auto& e) {
        return e.pid == p.pid && e.Number("id") == 4;
    });
    std::string fullScreen =
        values("shell.fullscreen", "state", [&](const auto& e) { return e.pid == p.pid; });
    // Blue well below red: the muted button's yellow shows under the veil.
    const int red = (muteUnderVeil >> 11) * 255 / 31, blue = (muteUnderVeil & 0x1F) * 255 / 31;

    struct Row {
        int line;
        const char* rule;
        std::string want, got;
    } rows[] = {
        {__LINE__,
         "the start delay is slept before the lock signal, which the loudspeaker plays at the "
         "stream's own volume",
         "5000/17444/speaker/0xFFFFFFFF ", sounds(3000, 6000)},
        {__LINE__, "the interval sound plays at full volume, the loudspeaker not forced",
         "15792/6904/-/0x0000FFFF ", sounds(15000, 16000)},
        {__LINE__, "the clock ticks every 1000 ms", "1000 1000 1000 ", clockPeriods},
        {__LINE__, "full screen hides the taskbar, the input-panel button and the Start icon",
         "42 42 42 42 ", fullScreen},
        {__LINE__,
         "the centre button unlocks for a while with OffSoundType's signal and stops the "
         "screen-off timer",
         "8000:set1 8000:led+ 8400:led- 8400:kill3 ", events(8000, 12000)},
        {__LINE__,
         "the re-lock stops its timer, gives the lock signal and then starts the screen-off "
         "timer again",
         "13000:kill1 13000:sound17444 13792:set3 ", events(13000, 15000)},
        {__LINE__, "the re-lock takes a fresh snapshot: the button muted meanwhile shows",
         "yellowish",
         blue < red - 40 ? "yellowish" : std::to_string(red) + "/" + std::to_string(blue)},
        {__LINE__,
         "the call's end switches the backlight on, then gives the unlock signal, then "
         "destroys the window",
         "20000:light0 20000:light-1 20000:led+ 20400:led- 20400:kill2 20400:destroy ",
         events(20000, 21000)},
        {__LINE__, "the up key unlocks with OffSoundType's signal and stops the screen-off timer",
         "30000:led+ 30400:led- 30400:kill3 ", events(30000, 31000)},
        {__LINE__, "a close request leaves the lock window shown", "shown",
         p.LockShown() ? "shown" : "gone"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("line " + std::to_string(r.line));
        EXPECT_EQ(r.want, r.got) << r.rule;
    }
}

// A process that holds the mutex "_TESSARIL_EXE_MUTEX_" is a copy already
// running: the program ends at once and silently.
TEST(LockProgram, TheMutexByItsNameKeepsASecondCopyFromRunning) {
    Phone p;
    p.d.StartProcess("holder.exe", [] {
        CreateMutexW(nullptr, FALSE, u"_TESSARIL_EXE_MUTEX_");
        Sleep(600000);
        return DWORD(0);
    });
    p.d.RunUntilIdle();
    p.Start();
    EXPECT_FALSE(p.d.ProcessRunning(p.pid));
    EXPECT_EQ(0u, p.d.ProcessExitCode(p.pid));
    EXPECT_TRUE(p.SoundStarts(kLockSoundBytes).empty()) << "no start sound";
}

// While locked, the application buttons' key-ups (0xC1 to 0xC6) go nowhere;
// their key-downs, and the key-ups of the codes beside them, are passed on.
TEST(LockProgram, TheApplicationButtonsKeyUpsAreSwallowed) {
    Phone p;
    p.SetSetting(u"TurnOffScr", 0);
    p.Start();
    p.CallFromAnna(1000, 600000);
    p.d.RunFor(kConnectedAt + 2000);
    ASSERT_TRUE(p.LockShown());
    p.d.SetTracing(true);
    for (UINT vk = 0xC0; vk <= 0xC7; ++vk)
        handset::PressKey(p.d, vk);
    p.d.SetTracing(false);
    std::map<unsigned, std::string> passed; // by key: "down", "up"
    for (const auto* e : p.d.timeline().Find("call")) {
        unsigned message, key; // after the window: "0x1380, 257, 193, ..."
        if (e->pid != p.pid || e->Get("fn") != "DefWindowProcW" ||
            std::sscanf(e->Get("args").c_str(), "%*[^,], %u, %u", &message, &key) != 2)
            continue;
        if (message == WM_KEYDOWN) passed[key] += "down ";
        if (message == WM_KEYUP) passed[key] += "up ";
    }
    struct Case {
        int line;
        unsigned key;
        const char* passed;
    } cases[] = {
        {__LINE__, 0xC0, "down up "}, {__LINE__, 0xC1, "down "},    {__LINE__, 0xC2, "down "},
        {__LINE__, 0xC3, "down "},    {__LINE__, 0xC4, "down "},    {__LINE__, 0xC5, "down "},
        {__LINE__, 0xC6, "down "},    {__LINE__, 0xC7, "down up "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.passed, passed[c.key]) << "line " << c.line << ": key " << c.key;
}

// Thirty locked calls in a row leave the program holding what it held after
// the first: each lock gives back the picture the one before made.
TEST(LockProgram, ThirtyCallsInARowHoldNoMoreThanTheFirst) {
    Phone p;
    p.Start();
    std::string afterFirst;
    for (int i = 0; i < 30; ++i) {
        p.CallFromAnna(p.d.Now(), 10000);
        p.d.RunFor(15000);
        ASSERT_EQ(nullptr, g_lockState.lockWindow) << "call " << i;
        if (i == 0) afterFirst = p.d.DescribeHeld(p.pid);
    }
    EXPECT_EQ(afterFirst, p.d.DescribeHeld(p.pid));
}
