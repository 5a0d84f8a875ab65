// Tool-help snapshots, by which the configuration program finds the lock
// program's process and its threads: the calling process and thread are in
// them, the entries' sizes are checked, and the walk ends with its error.
#include "conformance.h"

#include <string.h>
#include <tlhelp32.h>

namespace {

DWORD WINAPI Waiting(LPVOID event) {
    WaitForSingleObject((HANDLE)event, INFINITE);
    return 0;
}

void ProcessesIncludeTheCaller() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    Observe(snapshot != INVALID_HANDLE_VALUE, "snapshot");
    PROCESSENTRY32 entry;
    memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    int found = 0, count = 0;
    BOOL more = Process32First(snapshot, &entry);
    Observe(more, "first");
    for (; more; more = Process32Next(snapshot, &entry)) {
        ++count;
        if (entry.th32ProcessID == GetCurrentProcessId()) {
            ++found;
            Observe(entry.cntThreads, "caller.threads");
            Observe(entry.dwSize, "caller.dwSize_kept");
        }
    }
    Observe(GetLastError(), "end.error");
    Observe(found, "caller_found");
    Observe(count >= 1, "some");
    Observe(Process32Next(snapshot, &entry), "after_end");
    Observe(CloseToolhelp32Snapshot(snapshot), "close");
}

void ThreadsIncludeEveryThreadOfTheCaller() {
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    DWORD other = 0;
    HANDLE thread = CreateThread(NULL, 0, Waiting, event, 0, &other);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    Observe(snapshot != INVALID_HANDLE_VALUE, "snapshot");
    THREADENTRY32 entry;
    memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    int self = 0, started = 0, ofCaller = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++ofCaller;
        if (entry.th32ThreadID == GetCurrentThreadId()) ++self;
        if (entry.th32ThreadID == other) ++started;
    }
    Observe(GetLastError(), "end.error");
    Observe(self, "self_found");
    Observe(started, "started_found");
    Observe(ofCaller >= 2, "of_caller_at_least_two");
    CloseToolhelp32Snapshot(snapshot);
    SetEvent(event);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    CloseHandle(event);
}

void EntriesOfTheWrongSizeAreRefused() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry;
    memset(&entry, 0, sizeof entry);
    entry.dwSize = 0;
    SetLastError(0);
    Observe(Process32First(snapshot, &entry), "zero.result");
    Observe(GetLastError(), "zero.error");
    CloseToolhelp32Snapshot(snapshot);
    snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread;
    memset(&thread, 0, sizeof thread);
    thread.dwSize = 4;
    SetLastError(0);
    Observe(Thread32First(snapshot, &thread), "thread_four.result");
    Observe(GetLastError(), "thread_four.error");
    CloseToolhelp32Snapshot(snapshot);
}

// A thread snapshot has no processes in it, and the reverse.
void ASnapshotHoldsWhatWasAsked() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    PROCESSENTRY32 entry;
    memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    SetLastError(0);
    Observe(Process32First(snapshot, &entry), "processes_in_thread_snapshot");
    Observe(GetLastError(), "processes_in_thread_snapshot.error");
    CloseToolhelp32Snapshot(snapshot);
    snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    THREADENTRY32 thread;
    memset(&thread, 0, sizeof thread);
    thread.dwSize = sizeof thread;
    SetLastError(0);
    Observe(Thread32First(snapshot, &thread), "threads_in_process_snapshot");
    Observe(GetLastError(), "threads_in_process_snapshot.error");
    CloseToolhelp32Snapshot(snapshot);
}

const ConformanceCase kCases[] = {
    {"ProcessesIncludeTheCaller", ProcessesIncludeTheCaller, NULL},
    {"ThreadsIncludeEveryThreadOfTheCaller", ThreadsIncludeEveryThreadOfTheCaller, NULL},
    {"EntriesOfTheWrongSizeAreRefused", EntriesOfTheWrongSizeAreRefused, NULL},
    {"ASnapshotHoldsWhatWasAsked", ASnapshotHoldsWhatWasAsked, NULL},
};

} // namespace

extern const ConformanceArea kToolhelpArea = {"toolhelp", kCases, CONFORMANCE_COUNT(kCases)};
