// Tool-help snapshots: the phone's entry layouts, a snapshot as a copy of
// the lists when it was taken, the walks' errors, and the handle's life.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <vector>

#include "device/device.h"
#include "testing/testing.h"
#include "toolhelp/toolhelp.h"

using handset::Device;
using handset::Platform;

// The Windows CE reference's layouts: 32-bit fields and 260 WCHARs.
static_assert(sizeof(PROCESSENTRY32) == 564);
static_assert(offsetof(PROCESSENTRY32, szExeFile) == 36);
static_assert(offsetof(PROCESSENTRY32, th32MemoryBase) == 556);
static_assert(offsetof(PROCESSENTRY32, th32AccessKey) == 560);
static_assert(sizeof(THREADENTRY32) == 36);
static_assert(offsetof(THREADENTRY32, th32CurrentProcessID) == 32);

namespace {

const char16_t kLockPath[] = u"\\Program Files\\Tessaril\\Tessaril.exe";

int TwoThreads(HINSTANCE, HINSTANCE, LPWSTR, int) {
    auto idle = [](LPVOID) -> DWORD {
        Sleep(INFINITE);
        return 0;
    };
    CloseHandle(CreateThread(nullptr, 0, idle, nullptr, 0, nullptr));
    Sleep(INFINITE);
    return 0;
}

} // namespace

TEST(Toolhelp, ASnapshotKeepsTheListsAsTheyWereWhenTaken) {
    Device d;
    d.RegisterProgram(kLockPath, TwoThreads);
    DWORD lock = d.StartProgram(kLockPath);
    d.RunUntilIdle();
    std::vector<DWORD> lockThreads = d.ThreadIds(lock);
    std::vector<PROCESSENTRY32> processes;
    std::vector<THREADENTRY32> threads;
    DWORD processesEnd = 0, threadsEnd = 0, untouched = 0, self = 0, selfThread = 0;
    DWORD walker = d.StartProcess("walker", [&] {
        self = GetCurrentProcessId();
        selfThread = GetCurrentThreadId();
        HANDLE s = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
        HANDLE victim = OpenProcess(0, FALSE, lock);
        TerminateProcess(victim, 0);
        CloseHandle(victim);
        Platform::Current().StartProcess("late", [] { return DWORD(0); });
        PROCESSENTRY32 p{};
        p.dwSize = sizeof p;
        for (BOOL more = Process32First(s, &p); more; more = Process32Next(s, &p))
            processes.push_back(p);
        processesEnd = GetLastError();
        p.th32ProcessID = 0xDEAD;
        Process32Next(s, &p);
        untouched = p.th32ProcessID;
        THREADENTRY32 t{};
        t.dwSize = sizeof t;
        for (BOOL more = Thread32First(s, &t); more; more = Thread32Next(s, &t))
            threads.push_back(t);
        threadsEnd = GetLastError();
        CloseToolhelp32Snapshot(s);
        return DWORD(0);
    });
    d.RunUntilExit(walker, 1000);

    ASSERT_EQ(2u, processes.size()) << "the ended process stays, the late one is not there";
    EXPECT_EQ(lock, processes[0].th32ProcessID);
    EXPECT_EQ(std::u16string(u"Tessaril.exe"), processes[0].szExeFile) << "the file name alone";
    EXPECT_EQ(2u, processes[0].cntThreads);
    EXPECT_EQ(self, processes[1].th32ProcessID);
    EXPECT_EQ(std::u16string(u"walker"), processes[1].szExeFile);
    EXPECT_EQ(DWORD(sizeof(PROCESSENTRY32)), processes[1].dwSize);
    EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), processesEnd);
    EXPECT_EQ(0xDEADu, untouched) << "past the end the entry is left alone";

    std::vector<std::pair<DWORD, DWORD>> want, got;
    for (DWORD tid : lockThreads)
        want.push_back({tid, lock});
    want.push_back({selfThread, self});
    for (const THREADENTRY32& t : threads)
        got.push_back({t.th32ThreadID, t.th32OwnerProcessID});
    EXPECT_EQ(want, got);
    EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), threadsEnd);
    EXPECT_NOTHING_HELD(d, walker);
}

TEST(Toolhelp, WalksRefuseWhatThePhoneRefuses) {
    Device d;
    struct Case {
        int line;
        const char* what;
        std::function<BOOL(HANDLE processes, HANDLE threads, HANDLE closed)> call;
        DWORD error;
    } cases[] = {
        {__LINE__, "dwSize one byte short",
         [](HANDLE p, HANDLE, HANDLE) {
             PROCESSENTRY32 e{};
             e.dwSize = sizeof e - 1;
             return Process32First(p, &e);
         },
         ERROR_INVALID_PARAMETER},
        {__LINE__, "dwSize not set",
         [](HANDLE, HANDLE t, HANDLE) {
             THREADENTRY32 e{};
             return Thread32First(t, &e);
         },
         ERROR_INVALID_PARAMETER},
        {__LINE__, "processes of a thread snapshot",
         [](HANDLE, HANDLE t, HANDLE) {
             PROCESSENTRY32 e{};
             e.dwSize = sizeof e;
             return Process32First(t, &e);
         },
         ERROR_NO_MORE_FILES},
        {__LINE__, "threads of a process snapshot",
         [](HANDLE p, HANDLE, HANDLE) {
             THREADENTRY32 e{};
             e.dwSize = sizeof e;
             return Thread32Next(p, &e);
         },
         ERROR_NO_MORE_FILES},
        {__LINE__, "a closed snapshot",
         [](HANDLE, HANDLE, HANDLE c) {
             PROCESSENTRY32 e{};
             e.dwSize = sizeof e;
             return Process32First(c, &e);
         },
         ERROR_INVALID_HANDLE},
        {__LINE__, "closed twice",
         [](HANDLE, HANDLE, HANDLE c) { return CloseToolhelp32Snapshot(c); }, ERROR_INVALID_HANDLE},
        {__LINE__, "CloseHandle on a snapshot",
         [](HANDLE p, HANDLE, HANDLE) { return CloseHandle(p); }, ERROR_INVALID_HANDLE},
    };
    DWORD pid = d.StartProcess("walker", [&] {
        HANDLE p = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        HANDLE t = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        HANDLE c = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        CloseToolhelp32Snapshot(c);
        for (const Case& k : cases) {
            SCOPED_TRACE(::testing::Message() << "line " << k.line << ": " << k.what);
            SetLastError(0);
            EXPECT_FALSE(k.call(p, t, c));
            EXPECT_EQ(k.error, GetLastError());
        }
        return DWORD(0); // leaves both open
    });
    d.RunUntilExit(pid, 1000);
    EXPECT_EQ(2, d.Held(pid, handset::kToolhelpSnapshot)) << "CloseHandle closed nothing";
    EXPECT_EQ(0u, d.handles().CountOf(handset::kToolhelpSnapshot)) << "taken back at exit";
}
