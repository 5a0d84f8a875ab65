// Tool-help snapshots: the phone's entry layouts, a snapshot as a copy of
// the lists when it was taken, the walks' errors, and the handle's life.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "device/device.h"
#include "testing/testing.h"
#include "toolhelp/toolhelp.h"

using handset::Device;

// The Windows CE reference's layouts: 32-bit fields and 260 WCHARs.
static_assert(sizeof(PROCESSENTRY32) == 564 && offsetof(PROCESSENTRY32, szExeFile) == 36);
static_assert(offsetof(PROCESSENTRY32, th32MemoryBase) == 556);
static_assert(sizeof(THREADENTRY32) == 36 && offsetof(THREADENTRY32, th32AccessKey) == 28);

namespace {

int TwoThreads(HINSTANCE, HINSTANCE, LPWSTR, int) {
    auto idle = [](LPVOID) -> DWORD {
        Sleep(INFINITE);
        return 0;
    };
    CloseHandle(CreateThread(nullptr, 0, idle, nullptr, 0, nullptr));
    Sleep(INFINITE);
    return 0;
}

BOOL FirstProcess(HANDLE s, DWORD size) {
    PROCESSENTRY32 e{};
    e.dwSize = size;
    return Process32First(s, &e);
}

BOOL NextThread(HANDLE s, DWORD size) {
    THREADENTRY32 e{};
    e.dwSize = size;
    return Thread32Next(s, &e);
}

} // namespace

TEST(Toolhelp, ASnapshotKeepsTheListsAsTheyWereWhenTaken) {
    Device d;
    d.RegisterProgram(u"\\Program Files\\Tessaril\\Tessaril.exe", TwoThreads);
    DWORD lock = d.StartProgram(u"\\Program Files\\Tessaril\\Tessaril.exe");
    d.RunUntilIdle();
    std::vector<DWORD> want = d.ThreadIds(lock), owners;
    std::vector<PROCESSENTRY32> processes;
    std::vector<DWORD> ends, threads;
    DWORD untouched = 0;
    DWORD walker = d.StartProcess("walker", [&] {
        want.push_back(GetCurrentThreadId());
        HANDLE s = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
        HANDLE victim = OpenProcess(0, FALSE, lock);
        TerminateProcess(victim, 0);
        CloseHandle(victim);
        handset::Platform::Current().StartProcess("late", [] { return DWORD(0); });
        PROCESSENTRY32 p{};
        p.dwSize = sizeof p;
        for (BOOL more = Process32First(s, &p); more; more = Process32Next(s, &p))
            processes.push_back(p);
        ends.push_back(GetLastError());
        p.th32ProcessID = 0xDEAD;
        Process32Next(s, &p);
        untouched = p.th32ProcessID;
        THREADENTRY32 t{};
        t.dwSize = sizeof t;
        for (BOOL more = Thread32First(s, &t); more; more = Thread32Next(s, &t)) {
            threads.push_back(t.th32ThreadID);
            owners.push_back(t.th32OwnerProcessID);
        }
        ends.push_back(GetLastError());
        CloseToolhelp32Snapshot(s);
        return DWORD(0);
    });
    d.RunUntilExit(walker, 1000);
    ASSERT_EQ(2u, processes.size()) << "the ended process stays, the late one is not there";
    EXPECT_EQ(lock, processes[0].th32ProcessID);
    EXPECT_EQ(std::u16string(u"Tessaril.exe"), processes[0].szExeFile) << "the file name alone";
    EXPECT_EQ(2u, processes[0].cntThreads);
    EXPECT_EQ(walker, processes[1].th32ProcessID);
    EXPECT_EQ(want, threads);
    EXPECT_EQ((std::vector<DWORD>{lock, lock, walker}), owners);
    EXPECT_EQ((std::vector<DWORD>{ERROR_NO_MORE_FILES, ERROR_NO_MORE_FILES}), ends);
    EXPECT_EQ(0xDEADu, untouched) << "past the end the entry is left alone";
    EXPECT_NOTHING_HELD(d, walker);
}

TEST(Toolhelp, WalksRefuseWhatThePhoneRefuses) {
    Device d;
    struct Case {
        int line;
        BOOL (*call)(HANDLE processes, HANDLE threads, HANDLE closed);
        DWORD error;
    } cases[] = {
        {__LINE__,
         [](HANDLE p, HANDLE, HANDLE) { return FirstProcess(p, sizeof(PROCESSENTRY32) - 1); },
         ERROR_INVALID_PARAMETER},
        {__LINE__, [](HANDLE, HANDLE t, HANDLE) { return NextThread(t, 0); },
         ERROR_INVALID_PARAMETER},
        {__LINE__, [](HANDLE, HANDLE t, HANDLE) { return FirstProcess(t, sizeof(PROCESSENTRY32)); },
         ERROR_NO_MORE_FILES},
        {__LINE__, [](HANDLE p, HANDLE, HANDLE) { return NextThread(p, sizeof(THREADENTRY32)); },
         ERROR_NO_MORE_FILES},
        {__LINE__, [](HANDLE, HANDLE, HANDLE c) { return FirstProcess(c, sizeof(PROCESSENTRY32)); },
         ERROR_INVALID_HANDLE},
        {__LINE__, [](HANDLE, HANDLE, HANDLE c) { return CloseToolhelp32Snapshot(c); },
         ERROR_INVALID_HANDLE},
        {__LINE__, [](HANDLE p, HANDLE, HANDLE) { return CloseHandle(p); }, ERROR_INVALID_HANDLE},
    };
    DWORD pid = d.StartProcess("walker", [&] {
        HANDLE p = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        HANDLE t = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        HANDLE c = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        CloseToolhelp32Snapshot(c);
        for (const Case& k : cases) {
            SCOPED_TRACE(::testing::Message() << "line " << k.line);
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
