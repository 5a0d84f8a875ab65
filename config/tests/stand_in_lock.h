// A stand-in for the lock program, with just what the configuration
// program relies on: the single-instance mutex, and a message loop that ends
// on the quit message 1027 on its primary thread and on a second one; a
// third thread has no queue. It can be told to ignore the quit message.
// Its numbers are the lock program's, written out: the control's own
// constants are what the tests check.
#pragma once

#include <windows.h>

namespace standin {

inline bool g_ignoreExit = false;

inline DWORD WINAPI Loop(LPVOID) {
    MSG m;
    do
        GetMessageW(&m, nullptr, 0, 0);
    while (m.message != 1027 || g_ignoreExit);
    return 0;
}

inline DWORD WINAPI Idle(LPVOID) {
    Sleep(INFINITE);
    return 0;
}

inline int LockMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, u"_TESSARIL_EXE_MUTEX_");
    if (!mutex) return 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return 0;
    }
    HANDLE second = CreateThread(nullptr, 0, Loop, nullptr, 0, nullptr);
    CloseHandle(CreateThread(nullptr, 0, Idle, nullptr, 0, nullptr));
    Loop(nullptr);
    WaitForSingleObject(second, INFINITE);
    CloseHandle(second);
    CloseHandle(mutex);
    return 0;
}

} // namespace standin
