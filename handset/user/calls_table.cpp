// The window manager's calls and the errors each sets as its last error when
// it fails on the phone; the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable kUserCalls(
    "user", {
                // ERROR_NOT_ENOUGH_MEMORY: the thread's queue is full.
                {"PostThreadMessageW", {ERROR_INVALID_THREAD_ID, ERROR_NOT_ENOUGH_MEMORY}},
                {"GetMessageW", {ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_PARAMETER}},
                {"PeekMessageW", {ERROR_INVALID_WINDOW_HANDLE}},
                // No failure result: TranslateMessage's FALSE means "nothing to
                // translate", DispatchMessageW and DefWindowProcW give the window
                // procedure's result, IsWindow's FALSE and FindWindowW's NULL mean
                // "none", EndPaint is always TRUE.
                {"TranslateMessage", {}},
                {"DispatchMessageW", {}},
                {"PostQuitMessage", {}},
                {"DefWindowProcW", {}},
                {"IsWindow", {}},
                {"IsWindowVisible", {}},
                {"FindWindowW", {}},
                {"GetForegroundWindow", {}},
                {"GetActiveWindow", {}},
                {"GetFocus", {}},
                {"EndPaint", {}},

                {"SendMessageW", {ERROR_INVALID_WINDOW_HANDLE}},
                {"PostMessageW", {ERROR_INVALID_WINDOW_HANDLE, ERROR_NOT_ENOUGH_MEMORY}},
                {"RegisterClassW",
                 {ERROR_NOT_ENOUGH_MEMORY, ERROR_CLASS_ALREADY_EXISTS, ERROR_INVALID_PARAMETER}},
                // ERROR_INVALID_PARAMETER also when WM_CREATE answers -1.
                {"CreateWindowExW",
                 {ERROR_NOT_ENOUGH_MEMORY, ERROR_CANNOT_FIND_WND_CLASS, ERROR_INVALID_WINDOW_HANDLE,
                  ERROR_INVALID_PARAMETER}},
                // ERROR_ACCESS_DENIED: a window of another thread.
                {"DestroyWindow", {ERROR_INVALID_WINDOW_HANDLE, ERROR_ACCESS_DENIED}},
                {"GetWindowTextW", {ERROR_INVALID_WINDOW_HANDLE}},
                {"SetWindowTextW", {ERROR_INVALID_WINDOW_HANDLE}},
                {"ShowWindow", {ERROR_INVALID_WINDOW_HANDLE}},
                {"MoveWindow", {ERROR_INVALID_WINDOW_HANDLE}},
                {"GetClientRect", {ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_PARAMETER}},
                {"GetWindowRect", {ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_PARAMETER}},
                {"SetForegroundWindow", {ERROR_INVALID_WINDOW_HANDLE}},
                {"SetActiveWindow", {ERROR_INVALID_WINDOW_HANDLE, ERROR_ACCESS_DENIED}},
                {"SetFocus", {ERROR_INVALID_WINDOW_HANDLE, ERROR_ACCESS_DENIED}},
                {"InvalidateRect", {ERROR_INVALID_WINDOW_HANDLE}},
                {"ValidateRect", {ERROR_INVALID_WINDOW_HANDLE}},
                {"UpdateWindow", {ERROR_INVALID_WINDOW_HANDLE}},
                {"BeginPaint", {ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_PARAMETER}},
                {"SetTimer", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_WINDOW_HANDLE}},
                // ERROR_INVALID_PARAMETER: no such timer.
                {"KillTimer", {ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_PARAMETER}},
                {"MessageBoxW",
                 {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_PARAMETER}},
            });

} // namespace
