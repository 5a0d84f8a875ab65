// Kernel objects and waits: events, mutexes (the lock program's single
// instance), threads started suspended, waits on one and on several, the
// errors for bad handles, and the local heap.
#include "conformance.h"

#include <string.h>

namespace {

void AutoResetEventWakesOneWait() {
    HANDLE e = CreateEventW(NULL, FALSE, TRUE, NULL);
    Observe(e != NULL, "created");
    Observe(WaitForSingleObject(e, 0), "first_wait");
    Observe(WaitForSingleObject(e, 0), "second_wait");
    Observe(SetEvent(e), "set");
    Observe(WaitForSingleObject(e, 10), "after_set");
    Observe(PulseEvent(e), "pulse");
    Observe(WaitForSingleObject(e, 0), "after_pulse");
    CloseHandle(e);
}

void ManualResetEventStaysSet() {
    HANDLE e = CreateEventW(NULL, TRUE, FALSE, NULL);
    Observe(WaitForSingleObject(e, 0), "initial");
    SetEvent(e);
    Observe(WaitForSingleObject(e, 0), "first_wait");
    Observe(WaitForSingleObject(e, 0), "second_wait");
    Observe(ResetEvent(e), "reset");
    Observe(WaitForSingleObject(e, 0), "after_reset");
    SetEvent(e);
    PulseEvent(e); // no one waits: it ends unset
    Observe(WaitForSingleObject(e, 0), "after_pulse");
    CloseHandle(e);
}

void NamedObjectsAreSharedAndSaySo() {
    HANDLE first = CreateEventW(NULL, TRUE, FALSE, TEXT("TessarilConformanceEvent"));
    Observe(GetLastError(), "event.first_error");
    HANDLE second = CreateEventW(NULL, TRUE, FALSE, TEXT("TessarilConformanceEvent"));
    Observe(GetLastError(), "event.second_error");
    Observe(second != NULL && second != first, "event.second_handle");
    SetEvent(first);
    Observe(WaitForSingleObject(second, 0), "event.shared_state");
    CloseHandle(second);
    CloseHandle(first);

    // The lock program's single-instance test.
    HANDLE mutex = CreateMutexW(NULL, FALSE, TEXT("_TESSARIL_CONFORMANCE_MUTEX_"));
    Observe(GetLastError(), "mutex.first_error");
    HANDLE again = CreateMutexW(NULL, FALSE, TEXT("_TESSARIL_CONFORMANCE_MUTEX_"));
    Observe(again != NULL, "mutex.second_handle");
    Observe(GetLastError(), "mutex.second_error");
    CloseHandle(again);
    CloseHandle(mutex);
    HANDLE fresh = CreateMutexW(NULL, FALSE, TEXT("_TESSARIL_CONFORMANCE_MUTEX_"));
    Observe(GetLastError(), "mutex.after_close_error");
    CloseHandle(fresh);
    // A name used by an object of another kind.
    HANDLE event = CreateEventW(NULL, FALSE, FALSE, TEXT("TessarilConformanceKind"));
    HANDLE clash = CreateMutexW(NULL, FALSE, TEXT("TessarilConformanceKind"));
    Observe(clash == NULL, "kind_clash.null");
    Observe(GetLastError(), "kind_clash.error");
    if (clash) CloseHandle(clash);
    CloseHandle(event);
}

void MutexOwnershipCounts() {
    HANDLE m = CreateMutexW(NULL, TRUE, NULL);
    Observe(WaitForSingleObject(m, 0), "owner_waits_again");
    Observe(ReleaseMutex(m), "release[0]");
    Observe(ReleaseMutex(m), "release[1]");
    SetLastError(0);
    Observe(ReleaseMutex(m), "release[2]");
    Observe(GetLastError(), "release[2].error");
    CloseHandle(m);
}

DWORD WINAPI TakeAndLeave(LPVOID mutex) {
    WaitForSingleObject((HANDLE)mutex, INFINITE);
    return 7; // ends owning it
}

void AMutexLeftByItsThreadIsAbandoned() {
    HANDLE m = CreateMutexW(NULL, FALSE, NULL);
    HANDLE t = CreateThread(NULL, 0, TakeAndLeave, m, 0, NULL);
    Observe(WaitForSingleObject(t, 5000), "thread_ends");
    Observe(WaitForSingleObject(m, 0), "wait");
    Observe(WaitForSingleObject(m, 0), "wait_again");
    Observe(ReleaseMutex(m), "release");
    CloseHandle(t);
    CloseHandle(m);
}

DWORD g_threadSawId;

DWORD WINAPI ReportSelf(LPVOID code) {
    g_threadSawId = GetCurrentThreadId();
    return (DWORD)(DWORD_PTR)code;
}

void SuspendedThreadsStartOnResume() {
    DWORD id = 0;
    g_threadSawId = 0;
    HANDLE t = CreateThread(NULL, 0, ReportSelf, (LPVOID)42, CREATE_SUSPENDED, &id);
    Observe(t != NULL, "created");
    Observe(id != 0, "id_given");
    DWORD code = 0;
    Observe(GetExitCodeThread(t, &code), "exit_code_while_suspended.result");
    Observe(code, "exit_code_while_suspended");
    Observe(WaitForSingleObject(t, 50), "wait_while_suspended");
    Observe(ResumeThread(t), "resume");
    Observe(WaitForSingleObject(t, 5000), "wait_after_resume");
    GetExitCodeThread(t, &code);
    Observe(code, "exit_code");
    Observe(g_threadSawId == id, "thread_saw_its_id");
    Observe(ResumeThread(t), "resume_ended");
    CloseHandle(t);
}

DWORD WINAPI SleepLong(LPVOID) {
    Sleep(INFINITE);
    return 0;
}

void TerminatedThreadsEndWithTheirCode() {
    HANDLE t = CreateThread(NULL, 0, SleepLong, NULL, 0, NULL);
    Sleep(10);
    Observe(SuspendThread(t), "suspend");
    Observe(SuspendThread(t), "suspend_again");
    Observe(ResumeThread(t), "resume");
    Observe(TerminateThread(t, 99), "terminate");
    Observe(WaitForSingleObject(t, 5000), "wait");
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    Observe(code, "exit_code");
    CloseHandle(t);
}

void SuspendCountsAreCounted() {
    HANDLE t = CreateThread(NULL, 0, SleepLong, NULL, CREATE_SUSPENDED, NULL);
    Observe(SuspendThread(t), "suspend_suspended");
    Observe(ResumeThread(t), "resume[0]");
    Observe(ResumeThread(t), "resume[1]");
    Observe(ResumeThread(t), "resume_running");
    TerminateThread(t, 0);
    WaitForSingleObject(t, 5000);
    CloseHandle(t);
}

void WaitsOnSeveralObjects() {
    HANDLE events[3];
    for (int i = 0; i < 3; ++i)
        events[i] = CreateEventW(NULL, TRUE, FALSE, NULL);
    Observe(WaitForMultipleObjects(3, events, FALSE, 0), "none_set.any");
    SetEvent(events[2]);
    Observe(WaitForMultipleObjects(3, events, FALSE, 0), "third_set.any");
    SetLastError(0);
    Observe(WaitForMultipleObjects(3, events, TRUE, 0), "third_set.all");
    Observe(GetLastError(), "third_set.all.error");
    SetEvent(events[1]);
    Observe(WaitForMultipleObjects(3, events, FALSE, 0), "two_set.any");
    SetEvent(events[0]);
    Observe(WaitForMultipleObjects(3, events, TRUE, 0), "all_set.all");
    // An auto-reset event wakes the wait that names it first.
    HANDLE autoReset = CreateEventW(NULL, FALSE, TRUE, NULL);
    HANDLE pair[2] = {autoReset, events[0]};
    Observe(WaitForMultipleObjects(2, pair, FALSE, 0), "auto_first.any");
    Observe(WaitForSingleObject(autoReset, 0), "auto_first.consumed");
    CloseHandle(autoReset);
    for (int i = 0; i < 3; ++i)
        CloseHandle(events[i]);
}

void BadHandlesFailWithTheirError() {
    SetLastError(0);
    Observe(CloseHandle(NULL), "close_null.result");
    Observe(GetLastError(), "close_null.error");
    HANDLE e = CreateEventW(NULL, FALSE, FALSE, NULL);
    CloseHandle(e);
    SetLastError(0);
    Observe(SetEvent(e), "set_closed.result");
    Observe(GetLastError(), "set_closed.error");
    SetLastError(0);
    Observe(WaitForSingleObject(e, 0), "wait_closed.result");
    Observe(GetLastError(), "wait_closed.error");
    SetLastError(0);
    Observe(WaitForSingleObject(NULL, 0), "wait_null.result");
    Observe(GetLastError(), "wait_null.error");
}

void TimeAndSleep() {
    DWORD before = GetTickCount();
    Sleep(100);
    DWORD slept = GetTickCount() - before;
    // Wine's tick count moves in steps of about 16 ms.
    Observe(slept >= 80, "sleep_100_lasts_at_least_80");
    Observe(slept < 1000, "sleep_100_lasts_under_1000");
    SetLastError(1234);
    Observe(GetLastError(), "last_error_kept");
    HANDLE e = CreateEventW(NULL, FALSE, FALSE, NULL);
    before = GetTickCount();
    Observe(WaitForSingleObject(e, 200), "timed_wait");
    DWORD waited = GetTickCount() - before;
    Observe(waited >= 180 && waited < 1000, "timed_wait_lasts_its_time");
    CloseHandle(e);
}

void LocalHeapZeroesAndSizes() {
    static const UINT kSizes[] = {1, 7, 64, 5120};
    for (int i = 0; i < CONFORMANCE_COUNT(kSizes); ++i) {
        BYTE* p = (BYTE*)LocalAlloc(LPTR, kSizes[i]);
        Observe(p != NULL, "[%d].allocated", i);
        BOOL zero = TRUE;
        for (UINT b = 0; p && b < kSizes[i]; ++b)
            zero &= p[b] == 0;
        Observe(zero, "[%d].zeroed", i);
        Observe(LocalSize(p) >= kSizes[i], "[%d].size_at_least_asked", i);
        Observe(LocalFree(p) == NULL, "[%d].freed", i);
    }
}

void ProcessesAreOpenedById() {
    HANDLE self = OpenProcess(PROCESS_ALL_ACCESS, FALSE, GetCurrentProcessId());
    Observe(self != NULL, "self.opened");
    DWORD code = 0;
    Observe(GetExitCodeProcess(self, &code), "self.exit_code.result");
    Observe(code, "self.exit_code");
    Observe(WaitForSingleObject(self, 0), "self.wait");
    CloseHandle(self);
    SetLastError(0);
    HANDLE none = OpenProcess(PROCESS_ALL_ACCESS, FALSE, 0xFFFFFFF0);
    Observe(none == NULL, "missing.null");
    Observe(GetLastError(), "missing.error");
}

const ConformanceCase kCases[] = {
    {"AutoResetEventWakesOneWait", AutoResetEventWakesOneWait, NULL},
    {"ManualResetEventStaysSet", ManualResetEventStaysSet, NULL},
    {"NamedObjectsAreSharedAndSaySo", NamedObjectsAreSharedAndSaySo, NULL},
    {"MutexOwnershipCounts", MutexOwnershipCounts, NULL},
    {"AMutexLeftByItsThreadIsAbandoned", AMutexLeftByItsThreadIsAbandoned, NULL},
    {"SuspendedThreadsStartOnResume", SuspendedThreadsStartOnResume, NULL},
    {"TerminatedThreadsEndWithTheirCode", TerminatedThreadsEndWithTheirCode, NULL},
    {"SuspendCountsAreCounted", SuspendCountsAreCounted, NULL},
    {"WaitsOnSeveralObjects", WaitsOnSeveralObjects, NULL},
    {"BadHandlesFailWithTheirError", BadHandlesFailWithTheirError, NULL},
    {"TimeAndSleep", TimeAndSleep, NULL},
    {"LocalHeapZeroesAndSizes", LocalHeapZeroesAndSizes, NULL},
    {"ProcessesAreOpenedById", ProcessesAreOpenedById, NULL},
};

} // namespace

extern const ConformanceArea kKernelArea = {"kernel", kCases, CONFORMANCE_COUNT(kCases)};
