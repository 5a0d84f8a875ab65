// The message calls and the errors each sets as its last error when it
// fails on the phone; the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable
    kUserCalls("user",
               {
                   // ERROR_NOT_ENOUGH_MEMORY: the thread's queue is full.
                   {"PostThreadMessageW", {ERROR_INVALID_THREAD_ID, ERROR_NOT_ENOUGH_MEMORY}},
                   {"GetMessageW", {ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_PARAMETER}},
                   {"PeekMessageW", {ERROR_INVALID_WINDOW_HANDLE}},
                   // No failure result: TranslateMessage's FALSE means "nothing to
                   // translate", DispatchMessageW gives the window procedure's result.
                   {"TranslateMessage", {}},
                   {"DispatchMessageW", {}},
                   {"PostQuitMessage", {}},
               });

} // namespace
