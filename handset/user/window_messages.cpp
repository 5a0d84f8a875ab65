// The window manager's messages: the queue's wake-up test, sent messages
// and their serving, posted ones, taking the next message (with WM_PAINT and
// WM_TIMER made on demand), dispatching and key translation.
#include "user/window_manager.h"

#include <algorithm>

#include "device/platform.h"
#include "gdi/gdi.h"
#include "user/window_manager_util.h"

namespace handset {

using namespace wm_util;

// ---- The queue's side ----------------------------------------------------------------

bool MessageQueue::Matches(const MSG& m, HWND hwnd, UINT min, UINT max) const {
    if (hwnd && m.hwnd != hwnd) return false;
    return Includes(m.message, min, max);
}

bool MessageQueue::Signaled(const Thread&) const {
    if (quitPending || !inbox->sent.empty()) return true;
    for (const auto* list : {&posted, &input})
        for (const MSG& m : *list)
            if (Matches(m, filterHwnd, filterMin, filterMax)) return true;
    return manager && manager->Generates(*this, filterHwnd, filterMin, filterMax);
}

MessageQueue& OwnQueue() {
    return Wm().Own();
}

// ---- Messages ------------------------------------------------------------------------------

LRESULT WindowManager::CallProc(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam,
                                LPARAM lParam) {
    if (!w->proc) return 0;
    return w->proc(w->handle, message, wParam, lParam);
}

LRESULT WindowManager::Send(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam,
                            LPARAM lParam) {
    if (w->tid == platform_.CurrentTid()) return CallProc(w, message, wParam, lParam);
    if (!platform_.CurrentThread())
        Platform::Fatal("SendMessageW in the driver's context would wait for thread " +
                        std::to_string(w->tid) + "; send from an emulated thread");
    MessageQueue* target = QueueOf(w->tid);
    if (!target) return 0;
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = w->handle;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    target->inbox->sent.push_back(sent);
    platform_.WakeWaiters();
    MessageQueue& own = Own();
    while (!sent->done)
        if (platform_.Block({sent, own.inbox}, INFINITE) == WAIT_OBJECT_0 + 1) ServeSent(own);
    return sent->result;
}

void WindowManager::Notify(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam,
                           LPARAM lParam) {
    if (w->tid == platform_.CurrentTid()) {
        CallProc(w, message, wParam, lParam);
        return;
    }
    MessageQueue* target = QueueOf(w->tid);
    if (!target) return;
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = w->handle;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    target->inbox->sent.push_back(sent);
    platform_.WakeWaiters();
}

void WindowManager::ServeSent(MessageQueue& q) {
    bool served = false;
    while (!q.inbox->sent.empty()) {
        auto sent = q.inbox->sent.front();
        q.inbox->sent.pop_front();
        auto w = Get(sent->hwnd);
        sent->result = w ? CallProc(w, sent->message, sent->wParam, sent->lParam) : 0;
        sent->done = true;
        served = true;
    }
    if (served) platform_.WakeWaiters();
}

void WindowManager::FinishSent(MessageQueue& q) {
    for (auto& sent : q.inbox->sent)
        sent->done = true;
    q.inbox->sent.clear();
    platform_.WakeWaiters();
}

bool WindowManager::Post(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam,
                         LPARAM lParam) {
    MessageQueue* q = QueueOf(w->tid);
    if (!q || q->posted.size() >= MessageQueue::kLimit) return false;
    MSG m{};
    m.hwnd = w->handle;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = platform_.TickCount();
    q->posted.push_back(m);
    platform_.WakeWaiters();
    return true;
}

bool WindowManager::PostToThread(DWORD tid, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageQueue* q = QueueOf(tid);
    if (!q || q->posted.size() >= MessageQueue::kLimit) return false;
    MSG m{};
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = platform_.TickCount();
    q->posted.push_back(m);
    platform_.WakeWaiters();
    return true;
}

bool WindowManager::Generates(const MessageQueue& q, HWND hwnd, UINT min, UINT max) const {
    if (Includes(WM_PAINT, min, max))
        for (HWND h : AllWindows())
            if (auto w = Get(h);
                w && w->tid == q.tid && Shown(*w) && !w->update.Empty() && (!hwnd || hwnd == h))
                return true;
    if (Includes(WM_TIMER, min, max))
        for (const WindowTimer& t : timers_)
            if (t.tid == q.tid && t.ready && (!hwnd || hwnd == t.window)) return true;
    return false;
}

bool WindowManager::Take(MessageQueue& q, MSG* out, HWND hwnd, UINT min, UINT max, bool remove) {
    ServeSent(q);
    for (auto* list : {&q.posted, &q.input})
        for (auto it = list->begin(); it != list->end(); ++it) {
            if (!q.Matches(*it, hwnd, min, max)) continue;
            *out = *it;
            if (remove) list->erase(it);
            return true;
        }
    // The quit request comes once the posted messages are gone, whatever the filter.
    if (q.quitPending) {
        *out = MSG{};
        out->message = WM_QUIT;
        out->wParam = static_cast<WPARAM>(q.quitCode);
        out->time = platform_.TickCount();
        if (remove) q.quitPending = false;
        return true;
    }
    if (Includes(WM_PAINT, min, max))
        for (HWND h : AllWindows())
            if (auto w = Get(h);
                w && w->tid == q.tid && Shown(*w) && !w->update.Empty() && (!hwnd || hwnd == h)) {
                *out = MSG{};
                out->hwnd = h;
                out->message = WM_PAINT;
                out->time = platform_.TickCount();
                return true;
            }
    if (Includes(WM_TIMER, min, max)) {
        WindowTimer* first = nullptr;
        for (WindowTimer& t : timers_)
            if (t.tid == q.tid && t.ready && (!hwnd || hwnd == t.window) &&
                (!first || t.readySeq < first->readySeq))
                first = &t;
        if (first) {
            *out = MSG{};
            out->hwnd = first->window;
            out->message = WM_TIMER;
            out->wParam = first->id;
            out->lParam = reinterpret_cast<LPARAM>(first->proc);
            out->time = platform_.TickCount();
            if (remove) first->ready = false;
            return true;
        }
    }
    return false;
}

void WindowManager::NextMessage(MSG* out, HWND hwnd, UINT min, UINT max) {
    MessageQueue& q = Own();
    while (!Take(q, out, hwnd, min, max, true)) {
        q.filterHwnd = hwnd;
        q.filterMin = min;
        q.filterMax = max;
        platform_.Block({Unowned(q)}, INFINITE);
    }
}

LRESULT WindowManager::Dispatch(const MSG& m) {
    if (m.message == WM_TIMER && m.lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(m.lParam);
        proc(m.hwnd, WM_TIMER, static_cast<UINT>(m.wParam), platform_.TickCount());
        return 0;
    }
    auto w = Get(m.hwnd);
    if (!w) return 0;
    return CallProc(w, m.message, m.wParam, m.lParam);
}

bool WindowManager::TranslateKey(MessageQueue& q, const MSG& m) {
    if (m.message != WM_KEYDOWN) return false;
    WPARAM vk = m.wParam;
    WCHAR c = 0;
    if (vk >= 0x30 && vk <= 0x39)
        c = static_cast<WCHAR>(vk);
    else if (vk >= 0x41 && vk <= 0x5A)
        c = static_cast<WCHAR>(vk + 0x20);
    else if (vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_SPACE)
        c = static_cast<WCHAR>(vk);
    if (!c) return false;
    MSG ch = m;
    ch.message = WM_CHAR;
    ch.wParam = c;
    q.posted.push_front(ch);
    return true;
}

} // namespace handset
