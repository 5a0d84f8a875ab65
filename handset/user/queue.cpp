// The message calls on thread queues: posting to threads, fetching (which
// serves sent messages and makes WM_PAINT and WM_TIMER, window_messages.cpp),
// translating keys and dispatching to window procedures.
#include "user/queue.h"

#include "device/relay.h"
#include "user/window_manager.h"

using handset::Enter;
using handset::Fail;
using handset::MessageQueue;
using handset::NotEmulated;
using handset::Platform;
using handset::Thread;
using handset::WindowManager;

namespace {

WindowManager& Wm() {
    return handset::Wm();
}

} // namespace

HANDSET_API(BOOL, PostThreadMessageW, (DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam),
            (idThread, Msg, wParam, lParam)) {
    Platform& d = Platform::Current();
    if (auto e = Enter("PostThreadMessageW")) return Fail(*e, BOOL(FALSE));
    // A thread gets its queue with its first window-manager call; until then
    // a post to it fails with ERROR_INVALID_THREAD_ID, as the Windows CE
    // reference has it (its later pages name only unknown identifiers, which
    // a thread without a queue is to the window manager).
    MessageQueue* q = Wm().QueueOf(idThread);
    if (!q) return Fail(ERROR_INVALID_THREAD_ID, BOOL(FALSE));
    if (!Wm().PostToThread(idThread, Msg, wParam, lParam))
        return Fail(ERROR_NOT_ENOUGH_MEMORY, BOOL(FALSE));
    d.timeline().Record("message.post", {{"to", idThread},
                                         {"msg", static_cast<DWORD>(Msg)},
                                         {"wParam", static_cast<uint64_t>(wParam)},
                                         {"lParam", static_cast<int64_t>(lParam)}});
    return TRUE;
}

HANDSET_API(BOOL, GetMessageW, (LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax),
            (lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax)) {
    if (auto e = Enter("GetMessageW")) return Fail(*e, BOOL(-1));
    if (!lpMsg) return Fail(ERROR_INVALID_PARAMETER, BOOL(-1));
    if (hWnd && !Wm().Get(hWnd)) return Fail(ERROR_INVALID_WINDOW_HANDLE, BOOL(-1));
    Wm().NextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
    return lpMsg->message == WM_QUIT ? 0 : 1;
}

HANDSET_API(BOOL, PeekMessageW,
            (LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg),
            (lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg)) {
    if (auto e = Enter("PeekMessageW")) return Fail(*e, BOOL(FALSE));
    if (!lpMsg) return Fail(ERROR_INVALID_PARAMETER, BOOL(FALSE));
    if (hWnd && !Wm().Get(hWnd)) return Fail(ERROR_INVALID_WINDOW_HANDLE, BOOL(FALSE));
    MessageQueue& q = Wm().Own();
    return Wm().Take(q, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0)
               ? TRUE
               : FALSE;
}

HANDSET_API(BOOL, TranslateMessage, (const MSG* lpMsg), (lpMsg)) {
    (void)Enter("TranslateMessage"); // no failure result: counted and slowed only
    if (!lpMsg) return FALSE;
    return Wm().TranslateKey(Wm().Own(), *lpMsg) ? TRUE : FALSE;
}

// A window of another thread is served by that thread's own loop; handing
// its message to DispatchMessageW here is not emulated.
HANDSET_API(LRESULT, DispatchMessageW, (const MSG* lpMsg), (lpMsg)) {
    (void)Enter("DispatchMessageW"); // its result is the window's: counted and slowed only
    if (!lpMsg) return 0;
    if (!lpMsg->hwnd) return Wm().Dispatch(*lpMsg); // a thread timer's TIMERPROC, if any
    auto w = Wm().Get(lpMsg->hwnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, LRESULT(0));
    if (w->tid != Platform::Current().CurrentTid())
        NotEmulated("DispatchMessageW", "a message for a window of another thread");
    return Wm().Dispatch(*lpMsg);
}

HANDSET_API(void, PostQuitMessage, (int nExitCode), (nExitCode)) {
    (void)Enter("PostQuitMessage"); // void: counted and slowed only
    MessageQueue& q = Wm().Own();
    q.quitPending = true;
    q.quitCode = nExitCode;
    Platform::Current().WakeWaiters();
}
