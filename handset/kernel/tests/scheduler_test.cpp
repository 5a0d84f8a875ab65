// The scheduler and the clock: one thread at a time, time that jumps when
// nobody can run, time-outs, suspension, termination and determinism.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "device/device.h"
#include "testing/testing.h"

using handset::Device;

namespace {

// Log of what the threads did, with the virtual time of each step.
struct Steps {
    Device& d;
    std::vector<std::string> log;
    void Note(const std::string& what) { log.push_back(std::to_string(d.Now()) + " " + what); }
};

using handset::testing::Join;

} // namespace

TEST(Scheduler, SleepJumpsTheClockWithoutRealWaiting) {
    Device d;
    Steps s{d};
    d.StartProcess("sleeper", [&] {
        s.Note("start");
        Sleep(600000); // ten minutes
        s.Note("woke");
        return DWORD(7);
    });
    d.RunUntilIdle();
    EXPECT_EQ("0 start\n", Join(s.log));
    d.RunFor(1000000);
    EXPECT_EQ("0 start\n600000 woke\n", Join(s.log));
    EXPECT_EQ(1000000u, d.Now()) << "RunFor ends exactly at its limit";
}

TEST(Scheduler, ThreadsTakeTurnsOnlyWhenTheyBlock) {
    Device d;
    Steps s{d};
    d.StartProcess("a", [&] {
        for (int i = 0; i < 3; ++i) {
            s.Note("a" + std::to_string(i));
            Sleep(10);
        }
        return DWORD(0);
    });
    d.StartProcess("b", [&] {
        for (int i = 0; i < 3; ++i) {
            s.Note("b" + std::to_string(i));
            Sleep(15);
        }
        return DWORD(0);
    });
    d.RunFor(100);
    EXPECT_EQ("0 a0\n0 b0\n10 a1\n15 b1\n20 a2\n30 b2\n", Join(s.log));
}

TEST(Scheduler, WaitTimesOutOnTheClock) {
    Device d;
    DWORD result = 0;
    uint64_t at = 0;
    d.Call([&] {
        HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        result = WaitForSingleObject(e, 1234);
        at = d.Now();
        CloseHandle(e);
        return DWORD(0);
    });
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), result);
    EXPECT_EQ(1234u, at);
}

TEST(Scheduler, SetEventWakesTheWaiterAtThatMoment) {
    Device d;
    HANDLE e = nullptr;
    uint64_t wokeAt = 0;
    DWORD result = 99;
    d.Call([&] {
        e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        HANDLE t = CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                Sleep(250);
                SetEvent(*static_cast<HANDLE*>(p));
                return 0;
            },
            &e, 0, nullptr);
        result = WaitForSingleObject(e, 5000);
        wokeAt = d.Now();
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        CloseHandle(e);
        return DWORD(0);
    });
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), result);
    EXPECT_EQ(250u, wokeAt);
}

TEST(Scheduler, SuspendedThreadRunsOnlyAfterResume) {
    Device d;
    Steps s{d};
    d.Call([&] {
        HANDLE t = CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                static_cast<Steps*>(p)->Note("child");
                return 5;
            },
            &s, CREATE_SUSPENDED, nullptr);
        Sleep(100);
        s.Note("resume");
        EXPECT_EQ(1u, ResumeThread(t));
        WaitForSingleObject(t, INFINITE);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeThread(t, &code));
        EXPECT_EQ(5u, code);
        CloseHandle(t);
        return DWORD(0);
    });
    EXPECT_EQ("100 resume\n100 child\n", Join(s.log));
}

TEST(Scheduler, TerminatedThreadEndsAtOnceWithItsCodeAndRunsNoMore) {
    Device d;
    int loops = 0;
    DWORD code = 0;
    d.Call([&] {
        HANDLE t = CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                for (;;) {
                    ++*static_cast<int*>(p);
                    Sleep(100);
                }
            },
            &loops, 0, nullptr);
        Sleep(350);
        EXPECT_TRUE(TerminateThread(t, 0xFFFFFFFF));
        EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(t, 0)) << "the handle signals at once";
        GetExitCodeThread(t, &code);
        CloseHandle(t);
        Sleep(1000);
        return DWORD(0);
    });
    EXPECT_EQ(4, loops) << "runs at 0, 100, 200 and 300, none after 350";
    EXPECT_EQ(0xFFFFFFFFu, code);
}

TEST(Scheduler, TickCountWrapsAtThirtyTwoBits) {
    Device d(Device::Options{0xFFFFFF00u});
    DWORD before = 0, after = 0;
    d.Call([&] {
        before = GetTickCount();
        Sleep(0x200);
        after = GetTickCount();
        return DWORD(0);
    });
    EXPECT_EQ(0xFFFFFF00u, before);
    EXPECT_EQ(0x100u, after);
    EXPECT_EQ(0x200u, after - before) << "unsigned differences still give the elapsed time";
}

TEST(Scheduler, SameProgramTwiceGivesTheSameTimeline) {
    auto run = [] {
        Device d;
        d.StartProcess("pingpong", [] {
            HANDLE ping = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            HANDLE t = CreateThread(
                nullptr, 0,
                [](LPVOID p) -> DWORD {
                    for (int i = 0; i < 5; ++i) {
                        WaitForSingleObject(*static_cast<HANDLE*>(p), INFINITE);
                        Sleep(7);
                    }
                    return 3;
                },
                &ping, 0, nullptr);
            for (int i = 0; i < 5; ++i) {
                Sleep(13);
                SetEvent(ping);
            }
            WaitForSingleObject(t, INFINITE);
            CloseHandle(t);
            CloseHandle(ping);
            return DWORD(0);
        });
        d.RunFor(10000);
        return d.timeline().ToJsonLines();
    };
    std::string first = run();
    EXPECT_EQ(first, run());
    EXPECT_NE(std::string::npos, first.find("\"what\": \"process.exit\"")) << first;
}

// The live phone runs the clock in short slices and acts between them; a
// saved session replays in one run. Both must record the same.
TEST(Scheduler, ARunSplitAtQuietMomentsRecordsTheSame) {
    auto run = [](uint64_t slice) {
        Device d;
        d.StartProcess("ticker", [] {
            SetTimer(nullptr, 1, 70, nullptr);
            MSG m;
            for (int i = 0; i < 5 && GetMessageW(&m, nullptr, 0, 0) > 0; ++i)
                DispatchMessageW(&m);
            return DWORD(0);
        });
        d.StartProcess("sleeper", [] {
            for (int i = 0; i < 3; ++i)
                Sleep(110);
            return DWORD(0);
        });
        for (uint64_t t = 0; t < 400; t += slice)
            d.RunFor(slice);
        return d.timeline().ToJsonLines();
    };
    std::string whole = run(400);
    EXPECT_NE(std::string::npos, whole.find("timer.fire")) << whole;
    EXPECT_EQ(whole, run(7));
}

TEST(Scheduler, RealTimeModePacesTheClockByTheWallClock) {
    struct Case {
        int line;
        double speed;
        long least, most; // wall ms for 200 virtual ms
    } cases[] = {{__LINE__, 1, 200, 2000}, {__LINE__, 10, 20, 150}};
    for (const Case& c : cases) {
        Device d;
        auto start = std::chrono::steady_clock::now();
        d.SetRealTime(true, c.speed);
        uint64_t wokeAt = 0;
        d.StartProcess("sleeper", [&] {
            Sleep(120);
            wokeAt = d.Now();
            return DWORD(0);
        });
        d.RunFor(200);
        long wall = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count());
        EXPECT_EQ(120u, wokeAt) << "line " << c.line << ": virtual time stays exact";
        EXPECT_EQ(200u, d.Now()) << "line " << c.line;
        EXPECT_GE(wall, c.least) << "line " << c.line << ": takes as long as it says";
        EXPECT_LT(wall, c.most) << "line " << c.line << ": and no longer, at its speed";
    }
}
