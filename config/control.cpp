// Lock program control through the process list, the shell and one thread
// message. Every operation looks the process list up afresh.
#include "control.h"

#include <shellapi.h>
#include <string.h>
#include <tlhelp32.h>

#include "settings.h"

BOOL LockProgramPath(LPWSTR path) {
    WCHAR own[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, own, MAX_PATH);
    path[0] = 0;
    // A name cut short to fit is no path to build on.
    if (length == 0 || length >= MAX_PATH) return FALSE;
    LPWSTR slash = wcsrchr(own, TEXT('\\'));
    if (slash == NULL) return FALSE;
    size_t folder = (size_t)(slash - own) + 1; // the "\" stays
    if (folder + wcslen(LOCK_PROGRAM_FILE) >= MAX_PATH) return FALSE;
    own[folder] = 0;
    wcscpy(path, own);
    wcscat(path, LOCK_PROGRAM_FILE);
    return TRUE;
}

namespace {

// The lock program's process id from the process list (NO_LOCK_PROCESS when
// it is not there, the first match when more are). FALSE, with *pid
// untouched, when the list cannot be read.
BOOL ReadLockProcess(DWORD* pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return FALSE;
    DWORD found = NO_LOCK_PROCESS;
    PROCESSENTRY32 entry;
    memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        // Phones give the file name alone; a folder, should one come, is not compared.
        LPCWSTR name = wcsrchr(entry.szExeFile, TEXT('\\'));
        name = name != NULL ? name + 1 : entry.szExeFile;
        if (_wcsicmp(name, LOCK_PROGRAM_FILE) == 0) {
            found = entry.th32ProcessID;
            break;
        }
    }
    CloseToolhelp32Snapshot(snapshot);
    *pid = found;
    return TRUE;
}

// Whether the lock program's single-instance mutex exists: the one sign that
// it runs when the process list cannot be read. Our handle is closed at
// once, so a copy starting later still takes the mutex as its own.
BOOL LockMutexExists() {
    HANDLE mutex = CreateMutexW(NULL, FALSE, LOCK_PROGRAM_MUTEX);
    if (mutex == NULL) return FALSE; // nothing to tell by: taken as not running
    BOOL exists = GetLastError() == ERROR_ALREADY_EXISTS ? TRUE : FALSE;
    CloseHandle(mutex);
    return exists;
}

} // namespace

DWORD FindLockProcess() {
    DWORD pid = NO_LOCK_PROCESS;
    ReadLockProcess(&pid);
    return pid;
}

BOOL IsLockProgramRunning() {
    DWORD pid;
    if (ReadLockProcess(&pid)) return pid != NO_LOCK_PROCESS ? TRUE : FALSE;
    return LockMutexExists();
}

BOOL StartLockProgram() {
    // Never a second copy; should one start in between, its mutex ends it.
    DWORD pid;
    BOOL listed = ReadLockProcess(&pid);
    if (listed ? pid != NO_LOCK_PROCESS : LockMutexExists()) return FALSE;
    WCHAR path[MAX_PATH];
    if (!LockProgramPath(path)) return FALSE;
    SHELLEXECUTEINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    // The settings sheet reports a failed start itself; the shell's own
    // error box would say it twice.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = TEXT("Open");
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteEx(&info)) return FALSE;
    BOOL started = TRUE;
    if (!listed && info.hProcess != NULL) {
        // Without the process list only its mutex tells that it runs, and it
        // takes that first thing once it gets to run: give it the time, and
        // see meanwhile whether it ended instead.
        started =
            WaitForSingleObject(info.hProcess, LOCK_START_SETTLE_MS) == WAIT_TIMEOUT ? TRUE : FALSE;
    }
    if (info.hProcess != NULL) CloseHandle(info.hProcess);
    return started;
}

BOOL StopLockProgram() {
    // Without the process list there is no process to wait on and no thread
    // to ask, and guessing either could reach another program: nothing is
    // done, and the State box shows from its mutex that it still runs.
    DWORD pid;
    if (!ReadLockProcess(&pid) || pid == NO_LOCK_PROCESS) return FALSE;
    HANDLE process = OpenProcess(0, FALSE, pid);
    if (process == NULL) return FALSE;
    // Its message loop runs on a thread whose id we cannot learn, so every
    // thread is asked; those without a queue refuse, which changes nothing.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 entry;
        memset(&entry, 0, sizeof entry);
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot, &entry); more;
             more = Thread32Next(snapshot, &entry))
            if (entry.th32OwnerProcessID == pid)
                PostThreadMessageW(entry.th32ThreadID, WM_EXIT_PROGRAM, 0, 0);
        CloseToolhelp32Snapshot(snapshot);
    }
    DWORD waited = WaitForSingleObject(process, LOCK_STOP_TIMEOUT_MS);
    CloseHandle(process);
    // Only its end counts: a failed wait says nothing about it.
    return waited == WAIT_OBJECT_0 ? TRUE : FALSE;
}

BOOL IsAutostartCommandLine(LPCWSTR commandLine) {
    return commandLine != NULL && wcscmp(commandLine, AUTOSTART_COMMAND_LINE) == 0 ? TRUE : FALSE;
}

void RunAutostart() {
    SettingsKey key;
    if (ReadStartAfterReset(key)) StartLockProgram();
    key.Close();
}
