// The kernel calls and the errors each sets as its last error when it fails
// on the phone; the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable
    kKernelCalls("kernel",
                 {
                     // No failure result: counted and slowed, never failed.
                     {"GetLastError", {}},
                     {"SetLastError", {}},
                     {"GetTickCount", {}},
                     {"Sleep", {}},
                     {"ExitThread", {}},
                     {"GetCurrentThreadId", {}},
                     {"GetCurrentProcessId", {}},
                     {"GetCurrentThread", {}},
                     {"GetCurrentProcess", {}},

                     {"CloseHandle", {ERROR_INVALID_HANDLE}},
                     // ERROR_INVALID_HANDLE: the name belongs to an object of another kind.
                     {"CreateEventW", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_HANDLE}},
                     {"EventModify", {ERROR_INVALID_HANDLE}},
                     {"CreateMutexW", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_HANDLE}},
                     {"ReleaseMutex", {ERROR_NOT_OWNER, ERROR_INVALID_HANDLE}},
                     {"WaitForSingleObject", {ERROR_INVALID_HANDLE}},
                     {"WaitForMultipleObjects", {ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER}},
                     {"CreateThread", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER}},
                     {"ResumeThread", {ERROR_INVALID_HANDLE}},
                     {"SuspendThread", {ERROR_INVALID_HANDLE}},
                     {"TerminateThread", {ERROR_INVALID_HANDLE}},
                     {"GetExitCodeThread", {ERROR_INVALID_HANDLE}},
                     {"OpenProcess", {ERROR_INVALID_PARAMETER}},
                     {"GetExitCodeProcess", {ERROR_INVALID_HANDLE}},
                     {"TerminateProcess", {ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED}},
                     {"GetModuleFileNameW", {ERROR_INVALID_HANDLE, ERROR_INSUFFICIENT_BUFFER}},
                     {"GetModuleHandleW", {ERROR_FILE_NOT_FOUND}},
                     {"LocalAlloc", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER}},
                     {"LocalFree", {ERROR_INVALID_HANDLE}},
                     {"LocalSize", {ERROR_INVALID_HANDLE}},
                 });

} // namespace
