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

DWORD FindLockProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return NO_LOCK_PROCESS;
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
    return found;
}

BOOL IsLockProgramRunning() {
    return FindLockProcess() != NO_LOCK_PROCESS ? TRUE : FALSE;
}

BOOL StartLockProgram() {
    // Never a second copy; should one start in between, its mutex ends it.
    if (FindLockProcess() != NO_LOCK_PROCESS) return FALSE;
    WCHAR path[MAX_PATH];
    if (!LockProgramPath(path)) return FALSE;
    SHELLEXECUTEINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    // The settings sheet reports a failed start itself; the shell's own
    // error box would say it twice.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = TEXT("Open");
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteEx(&info) ? TRUE : FALSE;
}

BOOL StopLockProgram() {
    DWORD pid = FindLockProcess();
    if (pid == NO_LOCK_PROCESS) return FALSE;
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
