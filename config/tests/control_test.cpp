// Lock program control on the handset, against a stand-in lock program that
// does what the control relies on: the single-instance mutex, a message loop
// on its primary thread that ends on WM_EXIT_PROGRAM, a second thread with a
// queue of its own and a third with none.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "common/text.h"
#include "control.h"
#include "stand_in_lock.h"
#include "device/device.h"
#include "registry/registry.h"
#include "settings.h"
#include "shell/install.h"
#include "shell/shell.h"
#include "testing/testing.h"

using handset::Device;
using handset::kConfigProgramPath;
using handset::kLockProgramPath;

namespace {

using standin::g_ignoreExit;
const auto StandInLock = standin::LockMain;

// The configuration program's entry as far as it is built: the "reset" mode.
int StandInConfig(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    if (IsAutostartCommandLine(commandLine)) RunAutostart();
    return 0;
}

struct Ran {
    DWORD result = 0;
    DWORD error = 0;
    uint64_t took = 0;
    DWORD pid = 0;
};

// Runs op as the configuration program would (from its own file), until
// its process ends: what op answered, the last error and the time it took.
Ran AsConfig(Device& d, std::function<DWORD()> op) {
    Ran r;
    r.pid = d.StartProcess(handset::Narrow(kConfigProgramPath), [&] {
        uint64_t start = d.Now();
        r.result = op();
        r.error = GetLastError();
        r.took = d.Now() - start;
        return DWORD(0);
    });
    d.RunUntilExit(r.pid, 60000);
    return r;
}

size_t LockStarts(Device& d) {
    size_t n = 0;
    for (auto* e : d.timeline().Find("process.start"))
        n += e->Get("path") == handset::Narrow(kLockProgramPath);
    return n;
}

DWORD Start() {
    return StartLockProgram();
}
DWORD Stop() {
    return StopLockProgram();
}
DWORD Running() {
    return IsLockProgramRunning();
}

void SetStartAfterReset(Device& d, DWORD value) {
    d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril",
                                        u"StartAfterReset", value);
}

} // namespace

TEST(LockControl, LockProgramPathIsTessarilExeInTheOwnFolder) {
    // A folder path of n characters, both "\" included.
    auto folder = [](size_t n) { return u"\\" + std::u16string(n - 2, u'd') + u"\\"; };
    struct Case {
        int line;
        std::u16string own;
        std::u16string want; // empty: FALSE
    } cases[] = {
        {__LINE__, std::u16string(kConfigProgramPath), std::u16string(kLockProgramPath)},
        {__LINE__, u"\\TessarilCfg.exe", u"\\Tessaril.exe"},
        {__LINE__, u"TessarilCfg.exe", u""},
        {__LINE__, folder(247) + u"c.exe", folder(247) + u"Tessaril.exe"}, // 259 characters
        {__LINE__, folder(248) + u"c.exe", u""}, // 260: no room for the end
        {__LINE__, folder(270) + u"c.exe", u""}, // own name cut short
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        Device d;
        static std::u16string got;
        static BOOL built;
        got = u"(not run)";
        d.RegisterProgram(c.own, [](HINSTANCE, HINSTANCE, LPWSTR, int) {
            WCHAR path[MAX_PATH] = u"junk";
            built = LockProgramPath(path);
            got = path;
            return 0;
        });
        d.RunUntilExit(d.StartProgram(c.own), 1000);
        EXPECT_EQ(c.want, got);
        EXPECT_EQ(!c.want.empty(), built != FALSE);
    }
}

TEST(LockControl, FindsTheLockProgramByItsFileNameInAnyFolderAndCase) {
    struct Case {
        int line;
        std::u16string running; // empty: none
        bool found;
        bool noProcessList = false;
    } cases[] = {
        {__LINE__, u"", false},
        {__LINE__, std::u16string(kLockProgramPath), true},
        {__LINE__, u"\\Storage Card\\TESSARIL.EXE", true},
        {__LINE__, u"\\Windows\\NotTessaril.exe", false},
        {__LINE__, u"\\Windows\\Tessaril.exe.bak", false},
        {__LINE__, std::u16string(kLockProgramPath), false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        Device d;
        DWORD pid = 0;
        if (!c.running.empty()) {
            d.RegisterProgram(c.running, StandInLock);
            pid = d.StartProgram(c.running);
            d.RunUntilIdle();
        }
        if (c.noProcessList)
            d.faults().FailAlways("CreateToolhelp32Snapshot", ERROR_NOT_ENOUGH_MEMORY);
        Ran found = AsConfig(d, FindLockProcess);
        EXPECT_EQ(c.found ? pid : NO_LOCK_PROCESS, found.result);
        EXPECT_EQ(DWORD(c.found), AsConfig(d, Running).result);
        EXPECT_NOTHING_HELD(d, found.pid);
    }
}

TEST(LockControl, StartsOneCopyAndStopsItThroughEveryThreadWithAQueue) {
    Device d;
    handset::InstallTessaril(d, StandInLock, StandInConfig);
    Ran started = AsConfig(d, Start);
    EXPECT_EQ(DWORD(TRUE), started.result);
    EXPECT_EQ(DWORD(FALSE), AsConfig(d, Start).result) << "already running";
    EXPECT_EQ(1u, LockStarts(d));
    DWORD lock = AsConfig(d, FindLockProcess).result;
    std::vector<DWORD> threads = d.ThreadIds(lock);
    ASSERT_EQ(3u, threads.size());

    Ran stopped = AsConfig(d, Stop);
    EXPECT_EQ(DWORD(TRUE), stopped.result);
    EXPECT_EQ(0u, stopped.took) << "the stand-in ends at once";
    std::set<DWORD> sent;
    for (auto* e : d.timeline().Find("message.post"))
        if (e->Number("msg") == WM_EXIT_PROGRAM) sent.insert(static_cast<DWORD>(e->Number("to")));
    EXPECT_EQ((std::set<DWORD>{threads[0], threads[1]}), sent) << "the third has no queue";
    EXPECT_EQ(DWORD(FALSE), AsConfig(d, Running).result);
    for (DWORD pid : {started.pid, lock, stopped.pid})
        EXPECT_NOTHING_HELD(d, pid);
}

TEST(LockControl, StopAnswersFalseUnlessTheLockProgramEndedInTime) {
    struct Case {
        int line;
        bool running;
        bool ignoresExit;
        bool waitFails;
        uint64_t took;
    } cases[] = {
        {__LINE__, false, false, false, 0},  // not running: no wait at all
        {__LINE__, true, true, false, 2000}, // the stop waits two seconds at most
        {__LINE__, true, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        Device d;
        handset::InstallTessaril(d, StandInLock, StandInConfig);
        g_ignoreExit = c.ignoresExit;
        DWORD lock = c.running ? d.StartProgram(kLockProgramPath) : 0;
        d.RunUntilIdle();
        // The configuration program's wait is the first after this.
        if (c.waitFails) d.faults().FailNth("WaitForSingleObject", 1, ERROR_INVALID_HANDLE);
        Ran stopped = AsConfig(d, Stop);
        g_ignoreExit = false;
        EXPECT_EQ(DWORD(FALSE), stopped.result);
        EXPECT_EQ(c.took, stopped.took);
        d.RunUntilIdle();
        EXPECT_EQ(c.ignoresExit, lock && d.ProcessRunning(lock));
        EXPECT_NOTHING_HELD(d, stopped.pid);
    }
}

TEST(LockControl, StartFailsWhenTessarilExeIsMissing) {
    Device d;
    d.RegisterProgram(kConfigProgramPath, StandInConfig);
    Ran started = AsConfig(d, Start);
    EXPECT_EQ(DWORD(FALSE), started.result);
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), started.error);
    EXPECT_EQ(0u, LockStarts(d));
    EXPECT_NOTHING_HELD(d, started.pid);
}

TEST(Autostart, OnlyTheExactCommandLineResetSelectsIt) {
    LPCWSTR others[] = {u"Reset", u"RESET", u" reset", u"reset ", u"reset now", u"", nullptr};
    EXPECT_TRUE(IsAutostartCommandLine(u"reset"));
    for (LPCWSTR c : others)
        EXPECT_FALSE(IsAutostartCommandLine(c)) << handset::Narrow(c ? c : u"(null)");
}

TEST(Autostart, StartsTheLockProgramOnlyWhenTheBoxIsCheckedAndItDoesNotRun) {
    struct Case {
        int line;
        int startAfterReset; // -1: missing
        bool running;
        size_t launches;
    } cases[] = {
        {__LINE__, -1, false, 0},
        {__LINE__, 0, false, 0},
        {__LINE__, 1, false, 1},
        {__LINE__, 1, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.line);
        Device d;
        handset::InstallTessaril(d, StandInLock, StandInConfig);
        if (c.startAfterReset >= 0) SetStartAfterReset(d, c.startAfterReset);
        if (c.running) d.StartProgram(kLockProgramPath);
        size_t before = LockStarts(d);
        DWORD config = d.StartProgram(kConfigProgramPath, u"reset");
        d.RunUntilIdle();
        EXPECT_FALSE(d.ProcessRunning(config));
        EXPECT_EQ(c.launches, LockStarts(d) - before);
        EXPECT_NOTHING_HELD(d, config);
    }
}

TEST(Autostart, ASoftResetBringsTheLockProgramBackOnlyWhenTheBoxWasChecked) {
    for (DWORD checked : {0u, 1u}) {
        SCOPED_TRACE(::testing::Message() << "StartAfterReset " << checked);
        Device d;
        handset::InstallTessaril(d, StandInLock, StandInConfig);
        SetStartAfterReset(d, checked);
        DWORD before = d.StartProgram(kLockProgramPath);
        d.RunUntilIdle();
        d.Get<handset::Shell>().SoftReset();
        d.RunUntilIdle();
        EXPECT_FALSE(d.ProcessRunning(before));
        DWORD after = AsConfig(d, FindLockProcess).result;
        EXPECT_EQ(checked != 0, after != NO_LOCK_PROCESS) << "lock process " << after;
    }
}
