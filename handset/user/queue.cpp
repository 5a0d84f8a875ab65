// Thread message queues and the message calls that use them.
#include "user/queue.h"

#include "device/relay.h"

using handset::Enter;
using handset::Fail;
using handset::MessageQueue;
using handset::Messages;
using handset::Platform;
using handset::Thread;

namespace handset {

bool MessageQueue::Matches(const MSG& m, HWND hwnd, UINT min, UINT max) const {
    if (hwnd && m.hwnd != hwnd) return false;
    if (min == 0 && max == 0) return true;
    return m.message >= min && m.message <= max;
}

bool MessageQueue::Signaled(const Thread&) const {
    if (quitPending) return true;
    for (const MSG& m : posted)
        if (Matches(m, filterHwnd, filterMin, filterMax)) return true;
    return false;
}

bool MessageQueue::Take(MSG* out, HWND hwnd, UINT min, UINT max, bool remove) {
    for (auto it = posted.begin(); it != posted.end(); ++it) {
        if (!Matches(*it, hwnd, min, max)) continue;
        *out = *it;
        if (remove) posted.erase(it);
        return true;
    }
    // The quit request comes once the posted messages are gone, whatever the filter.
    if (quitPending) {
        *out = MSG{};
        out->message = WM_QUIT;
        out->wParam = static_cast<WPARAM>(quitCode);
        out->time = Platform::Current().TickCount();
        if (remove) quitPending = false;
        return true;
    }
    return false;
}

MessageQueue& Messages::Own() {
    Thread* self = platform_.CurrentThread();
    if (!self) Platform::Fatal("a message call was made in the driver's context");
    return platform_.Slot<MessageQueue>(*self);
}

MessageQueue& OwnQueue() {
    return Platform::Current().Get<Messages>().Own();
}

} // namespace handset

namespace {

std::shared_ptr<MessageQueue> QueueHandle(MessageQueue& q) {
    // The queue lives in the thread; a non-owning pointer serves the wait.
    return std::shared_ptr<MessageQueue>(std::shared_ptr<MessageQueue>(), &q);
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
    Thread* t = d.FindThread(idThread);
    MessageQueue* q = t && t->state != Thread::State::Exited ? d.Get<Messages>().Of(*t) : nullptr;
    if (!q) return Fail(ERROR_INVALID_THREAD_ID, BOOL(FALSE));
    if (q->posted.size() >= MessageQueue::kLimit) return Fail(ERROR_NOT_ENOUGH_MEMORY, BOOL(FALSE));
    MSG m{};
    m.message = Msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = d.TickCount();
    q->posted.push_back(m);
    d.timeline().Record("message.post", {{"to", idThread},
                                         {"msg", static_cast<DWORD>(Msg)},
                                         {"wParam", static_cast<uint64_t>(wParam)},
                                         {"lParam", static_cast<int64_t>(lParam)}});
    d.WakeWaiters();
    return TRUE;
}

HANDSET_API(BOOL, GetMessageW, (LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax),
            (lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax)) {
    Platform& d = Platform::Current();
    if (auto e = Enter("GetMessageW")) return Fail(*e, BOOL(-1));
    if (!lpMsg) return Fail(ERROR_INVALID_PARAMETER, BOOL(-1));
    MessageQueue& q = handset::OwnQueue();
    while (!q.Take(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
        q.filterHwnd = hWnd;
        q.filterMin = wMsgFilterMin;
        q.filterMax = wMsgFilterMax;
        d.Block({QueueHandle(q)}, INFINITE);
    }
    return lpMsg->message == WM_QUIT ? 0 : 1;
}

HANDSET_API(BOOL, PeekMessageW,
            (LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg),
            (lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg)) {
    if (auto e = Enter("PeekMessageW")) return Fail(*e, BOOL(FALSE));
    if (!lpMsg) return Fail(ERROR_INVALID_PARAMETER, BOOL(FALSE));
    MessageQueue& q = handset::OwnQueue();
    return q.Take(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0) ? TRUE
                                                                                            : FALSE;
}

HANDSET_API(BOOL, TranslateMessage, (const MSG* lpMsg), (lpMsg)) {
    (void)Enter("TranslateMessage"); // no failure result: counted and slowed only
    if (!lpMsg || lpMsg->message != WM_KEYDOWN) return FALSE;
    // Keys that stand for a character get their WM_CHAR, next in the queue.
    WPARAM vk = lpMsg->wParam;
    WCHAR c = 0;
    if (vk >= 0x30 && vk <= 0x39)
        c = static_cast<WCHAR>(vk);
    else if (vk >= 0x41 && vk <= 0x5A)
        c = static_cast<WCHAR>(vk + 0x20);
    else if (vk == 0x08 || vk == 0x09 || vk == 0x0D || vk == 0x1B || vk == 0x20)
        c = static_cast<WCHAR>(vk);
    if (!c) return FALSE;
    MSG ch = *lpMsg;
    ch.message = WM_CHAR;
    ch.wParam = c;
    MessageQueue& q = handset::OwnQueue();
    q.posted.push_front(ch);
    return TRUE;
}

HANDSET_API(LRESULT, DispatchMessageW, (const MSG* lpMsg), (lpMsg)) {
    (void)Enter("DispatchMessageW");      // its result is the window's: counted and slowed only
    if (!lpMsg || !lpMsg->hwnd) return 0; // thread messages have no window to go to
    // No window exists yet on the handset, so no window handle is valid.
    return Fail(ERROR_INVALID_WINDOW_HANDLE, LRESULT(0));
}

HANDSET_API(void, PostQuitMessage, (int nExitCode), (nExitCode)) {
    (void)Enter("PostQuitMessage"); // void: counted and slowed only
    MessageQueue& q = handset::OwnQueue();
    q.quitPending = true;
    q.quitCode = nExitCode;
    Platform::Current().WakeWaiters();
}
