// Kernel objects and the calls on them: events, mutexes, waits, handles,
// processes, modules and the local heap, with the phone's error codes.
#include <gtest/gtest.h>

#include "device/device.h"
#include "kernel/heap.h"

using handset::Device;

TEST(Events, AutoResetReleasesOneWaiterPerSet) {
    Device d;
    int woke = 0;
    d.Call([&] {
        static HANDLE e;
        static int* counter;
        e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        counter = &woke;
        auto waiter = [](LPVOID) -> DWORD {
            if (WaitForSingleObject(e, 1000) == WAIT_OBJECT_0) ++*counter;
            return 0;
        };
        HANDLE a = CreateThread(nullptr, 0, waiter, nullptr, 0, nullptr);
        HANDLE b = CreateThread(nullptr, 0, waiter, nullptr, 0, nullptr);
        Sleep(10);
        SetEvent(e);
        Sleep(10);
        EXPECT_EQ(1, woke) << "one set, one waiter released";
        WaitForSingleObject(a, INFINITE);
        WaitForSingleObject(b, INFINITE);
        EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(e, 0)) << "the set was consumed";
        CloseHandle(a);
        CloseHandle(b);
        CloseHandle(e);
        return DWORD(0);
    });
    EXPECT_EQ(1, woke);
}

TEST(Events, ManualResetStaysSetUntilReset) {
    Device d;
    d.Call([] {
        HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(e, 0));
        EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(e, 0));
        EXPECT_TRUE(ResetEvent(e));
        EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(e, 0));
        EXPECT_TRUE(PulseEvent(e));
        EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(e, 0)) << "a pulse leaves it reset";
        EXPECT_FALSE(EventModify(e, 99));
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
        CloseHandle(e);
        return DWORD(0);
    });
}

TEST(Events, NamedEventIsSharedAndReportsAlreadyExists) {
    Device d;
    d.Call([] {
        HANDLE a = CreateEventW(nullptr, TRUE, FALSE, u"shared");
        EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
        HANDLE b = CreateEventW(nullptr, TRUE, FALSE, u"shared");
        EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
        EXPECT_NE(a, b);
        SetEvent(a);
        EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(b, 0)) << "one object, two handles";
        EXPECT_EQ(nullptr, CreateMutexW(nullptr, FALSE, u"shared"));
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError()) << "a name held by another kind";
        CloseHandle(a);
        CloseHandle(b);
        return DWORD(0);
    });
}

TEST(Mutexes, NamedMutexIsDeviceWideAcrossProcesses) {
    Device d;
    DWORD second = 0;
    DWORD first = d.StartProcess("first", [] {
        HANDLE m = CreateMutexW(nullptr, FALSE, u"_ONE_COPY_");
        EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
        Sleep(1000);
        CloseHandle(m);
        return DWORD(0);
    });
    d.RunFor(10);
    d.StartProcess("second", [&] {
        HANDLE m = CreateMutexW(nullptr, FALSE, u"_ONE_COPY_");
        second = GetLastError();
        CloseHandle(m);
        return DWORD(0);
    });
    d.RunFor(2000);
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), second);
    EXPECT_FALSE(d.ProcessRunning(first));
    // Once every handle is closed the name is free again.
    DWORD again = 0;
    d.Call([&] {
        HANDLE m = CreateMutexW(nullptr, FALSE, u"_ONE_COPY_");
        again = GetLastError();
        CloseHandle(m);
        return DWORD(0);
    });
    EXPECT_EQ(DWORD(ERROR_SUCCESS), again);
}

TEST(Mutexes, OwnershipIsRecursiveAndAbandonedOnThreadExit) {
    Device d;
    d.Call([] {
        static HANDLE m;
        m = CreateMutexW(nullptr, FALSE, nullptr);
        EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(m, 0));
        EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(m, 0)) << "the owner may take it again";
        EXPECT_TRUE(ReleaseMutex(m));
        EXPECT_TRUE(ReleaseMutex(m));
        EXPECT_FALSE(ReleaseMutex(m));
        EXPECT_EQ(DWORD(ERROR_NOT_OWNER), GetLastError());
        HANDLE t = CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD { return WaitForSingleObject(m, 0); }, nullptr, 0,
            nullptr);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        EXPECT_EQ(DWORD(WAIT_ABANDONED), WaitForSingleObject(m, 100))
            << "the thread ended while it owned the mutex";
        EXPECT_TRUE(ReleaseMutex(m));
        CloseHandle(m);
        return DWORD(0);
    });
}

TEST(Waits, MultipleObjectsWaitsForAnyAndRejectsWaitAll) {
    Device d;
    d.Call([] {
        HANDLE events[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr),
                            CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForMultipleObjects(2, events, FALSE, 50));
        SetEvent(events[1]);
        EXPECT_EQ(DWORD(WAIT_OBJECT_0 + 1), WaitForMultipleObjects(2, events, FALSE, 50));
        SetEvent(events[0]);
        EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForMultipleObjects(2, events, FALSE, 50))
            << "the lowest index wins";
        EXPECT_EQ(DWORD(WAIT_FAILED), WaitForMultipleObjects(2, events, TRUE, 50))
            << "the phone cannot wait for all";
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
        CloseHandle(events[0]);
        CloseHandle(events[1]);
        EXPECT_EQ(DWORD(WAIT_FAILED), WaitForSingleObject(events[0], 0)) << "closed handle";
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
        return DWORD(0);
    });
}

TEST(Handles, ClosedHandleIsInvalidAndCountsPerProcess) {
    Device d;
    DWORD pid = 0;
    pid = d.StartProcess("leaky", [] {
        CreateEventW(nullptr, FALSE, FALSE, nullptr); // never closed
        HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        EXPECT_TRUE(CloseHandle(e));
        EXPECT_FALSE(CloseHandle(e));
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
        EXPECT_TRUE(CloseHandle(GetCurrentProcess())) << "pseudo-handles close as a no-op";
        LocalAlloc(LPTR, 16); // never freed
        return DWORD(0);
    });
    d.RunUntilExit(pid, 1000);
    EXPECT_EQ(1, d.Held(pid, handset::kKernelHandle));
    EXPECT_EQ(1, d.Held(pid, handset::kHeapBlock));
    EXPECT_EQ("1 heap block, 1 kernel handle", d.DescribeHeld(pid));
}

TEST(Heap, ZeroInitAndFreeRules) {
    Device d;
    d.Call([] {
        auto* p = static_cast<unsigned char*>(LocalAlloc(LMEM_ZEROINIT, 64));
        if (!p) return DWORD(1);
        int nonZero = 0;
        for (int i = 0; i < 64; ++i)
            nonZero += p[i] != 0;
        EXPECT_EQ(0, nonZero);
        EXPECT_EQ(64u, LocalSize(p));
        EXPECT_EQ(nullptr, LocalFree(p));
        EXPECT_EQ(p, LocalFree(p)) << "a second free fails and hands the block back";
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
        EXPECT_EQ(nullptr, LocalFree(nullptr));
        return DWORD(0);
    });
}

TEST(Faults, FailNthCallWithItsErrorThenRecover) {
    Device d;
    d.faults().FailNth("LocalAlloc", 2, ERROR_NOT_ENOUGH_MEMORY);
    d.Call([] {
        HLOCAL a = LocalAlloc(LPTR, 8);
        HLOCAL b = LocalAlloc(LPTR, 8);
        DWORD error = GetLastError();
        HLOCAL c = LocalAlloc(LPTR, 8);
        EXPECT_NE(nullptr, a);
        EXPECT_EQ(nullptr, b);
        EXPECT_EQ(DWORD(ERROR_NOT_ENOUGH_MEMORY), error);
        EXPECT_NE(nullptr, c);
        LocalFree(a);
        LocalFree(c);
        return DWORD(0);
    });
    EXPECT_EQ(3u, d.faults().Calls("LocalAlloc"));
}

TEST(Faults, SlowCallTakesVirtualTime) {
    Device d;
    d.faults().Slow("CreateEventW", 300);
    uint64_t at = 0;
    d.Call([&] {
        CloseHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        at = d.Now();
        return DWORD(0);
    });
    EXPECT_EQ(300u, at);
}

TEST(Processes, ProgramsStartByPathAndKnowTheirModule) {
    Device d;
    static WCHAR path[MAX_PATH];
    static HINSTANCE given;
    static WCHAR cut[8];
    static DWORD cutResult;
    d.RegisterProgram(u"\\Program Files\\Tessaril\\Probe.exe",
                      [](HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) -> int {
                          given = instance;
                          GetModuleFileNameW(nullptr, path, MAX_PATH);
                          cutResult = GetModuleFileNameW(instance, cut, 8);
                          return wcscmp(commandLine, u"reset") == 0 ? 42 : 1;
                      });
    EXPECT_EQ(0u, d.StartProgram(u"\\Windows\\nothing.exe"));
    DWORD pid = d.StartProgram(u"\\program files\\tessaril\\probe.exe", u"reset");
    ASSERT_NE(0u, pid);
    d.RunUntilExit(pid, 1000);
    EXPECT_EQ(42u, d.ProcessExitCode(pid));
    EXPECT_EQ(std::u16string(u"\\Program Files\\Tessaril\\Probe.exe"), std::u16string(path));
    EXPECT_EQ(std::u16string(u"\\Progra"), std::u16string(cut)) << "cut and terminated";
    EXPECT_EQ(8u, cutResult);
    EXPECT_NE(nullptr, given);
}

TEST(Processes, MainReturningEndsTheOtherThreadsAndSignalsTheHandle) {
    Device d;
    DWORD exit = 0;
    DWORD child = d.StartProcess("parent", [] {
        CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                for (;;)
                    Sleep(10);
            },
            nullptr, 0, nullptr);
        Sleep(50);
        return DWORD(9);
    });
    d.Call([&] {
        HANDLE p = OpenProcess(0, FALSE, child);
        EXPECT_NE(nullptr, p);
        EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(p, 5000));
        GetExitCodeProcess(p, &exit);
        CloseHandle(p);
        EXPECT_EQ(nullptr, OpenProcess(0, FALSE, child)) << "an ended process cannot be opened";
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
        return DWORD(0);
    });
    EXPECT_EQ(9u, exit);
    EXPECT_TRUE(d.ThreadIds(child).empty());
}
