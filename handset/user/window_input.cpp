// The window manager's input and timers: the stylus and hardware keys
// delivered to windows, and window and thread timers on the virtual clock.
#include "user/window_manager.h"

#include <algorithm>

#include "device/platform.h"
#include "gdi/gdi.h"
#include "user/window_manager_util.h"

namespace handset {

using namespace wm_util;

namespace {

constexpr UINT kMinimumElapse = 10; // USER_TIMER_MINIMUM

} // namespace

// ---- Input ---------------------------------------------------------------------------------

HWND WindowManager::WindowAt(POINT screen) const {
    for (HWND h : z_) {
        auto w = Get(h);
        if (!w || !w->visible || !Inside(screen, w->Physical())) continue;
        // Down through enabled windows to the deepest child at the point.
        for (bool deeper = true; deeper && w->enabled;) {
            deeper = false;
            for (HWND c : w->children)
                if (auto child = Get(c); child && child->visible && child->enabled &&
                                         Inside(screen, child->Physical())) {
                    w = child;
                    deeper = true;
                    break;
                }
        }
        return w->handle;
    }
    return nullptr;
}

void WindowManager::Deliver(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam,
                            LPARAM lParam, POINT screen) {
    MessageQueue* q = w ? QueueOf(w->tid) : nullptr;
    if (!q || !w->enabled) return;
    MSG m{};
    m.hwnd = w->handle;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = platform_.TickCount();
    m.pt = screen;
    q->input.push_back(m);
    platform_.WakeWaiters();
}

void WindowManager::Stylus(UINT message, POINT screen, const char* action) {
    HWND h = message != WM_LBUTTONDOWN && Get(capture_) ? capture_ : WindowAt(screen);
    auto w = Get(h);
    platform_.timeline().Record("input.stylus", {{"action", action},
                                                 {"x", int64_t(screen.x)},
                                                 {"y", int64_t(screen.y)},
                                                 {"window", Value(h)},
                                                 {"process", w ? w->pid : DWORD(0)},
                                                 {"enabled", w && w->enabled ? 1 : 0}});
    if (!w) return;
    RECT phys = w->Physical();
    LPARAM at = MAKELPARAM(FloorDiv(screen.x - phys.left, w->scale),
                           FloorDiv(screen.y - phys.top, w->scale));
    Deliver(w, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at, screen);
}

void WindowManager::StylusDown(POINT screen) {
    // A tap beside an open drop-down list or menu only closes it.
    if (auto popup = Get(dismissable_); popup && !Inside(screen, popup->Physical())) {
        platform_.timeline().Record("input.stylus", {{"action", "dismiss"},
                                                     {"x", int64_t(screen.x)},
                                                     {"y", int64_t(screen.y)},
                                                     {"window", Value(popup->handle)},
                                                     {"process", popup->pid}});
        dismissable_ = nullptr;
        dismissed_ = true;
        Post(popup, WM_CANCELMODE, 0, 0);
        return;
    }
    dismissed_ = false;
    capture_ = nullptr;
    Stylus(WM_LBUTTONDOWN, screen, "down");
}
void WindowManager::StylusMove(POINT screen) {
    if (!dismissed_) Stylus(WM_MOUSEMOVE, screen, "move");
}
void WindowManager::StylusUp(POINT screen) {
    if (!dismissed_) Stylus(WM_LBUTTONUP, screen, "up");
    dismissed_ = false;
    capture_ = nullptr;
}

void WindowManager::Key(UINT message, UINT vk, const char* action) {
    HWND h = KeyTarget();
    auto w = Get(h);
    platform_.timeline().Record("input.key", {{"action", action},
                                              {"vk", DWORD(vk)},
                                              {"window", Value(h)},
                                              {"process", w ? w->pid : DWORD(0)}});
    // A key press has a repeat count of 1; its release the previous-state
    // and transition bits as well.
    LPARAM flags = message == WM_KEYUP ? LPARAM(0xC0000001) : LPARAM(1);
    Deliver(w, message, vk, flags, {});
}

void WindowManager::KeyDown(UINT vk) {
    if ((vk == VK_TSOFT1 || vk == VK_TSOFT2) && softKeys_ && softKeys_(vk, true)) return;
    Key(WM_KEYDOWN, vk, "down");
}
void WindowManager::KeyUp(UINT vk) {
    if ((vk == VK_TSOFT1 || vk == VK_TSOFT2) && softKeys_ && softKeys_(vk, false)) return;
    Key(WM_KEYUP, vk, "up");
}

void WindowManager::Char(WCHAR c) {
    HWND h = KeyTarget();
    auto w = Get(h);
    platform_.timeline().Record(
        "input.char",
        {{"char", std::u16string(1, c)}, {"window", Value(h)}, {"process", w ? w->pid : DWORD(0)}});
    Deliver(w, WM_CHAR, c, 1, {});
}

// ---- Timers --------------------------------------------------------------------------------

void WindowManager::ScheduleTimer(WindowTimer& t) {
    t.generation = ++timerGeneration_;
    platform_.At(t.due, [this, tid = t.tid, window = t.window, id = t.id, g = t.generation] {
        Expire(tid, window, id, g);
    });
}

void WindowManager::Expire(DWORD tid, HWND window, UINT id, uint64_t generation) {
    auto it = std::find_if(timers_.begin(), timers_.end(), [&](const WindowTimer& t) {
        return t.tid == tid && t.window == window && t.id == id && t.generation == generation;
    });
    if (it == timers_.end()) return; // killed or set again since
    // However late its thread is, an expired timer makes one WM_TIMER.
    if (!it->ready) {
        it->ready = true;
        it->readySeq = ++readySeq_;
        platform_.timeline().Record(
            "timer.fire", {{"window", Value(window)}, {"id", DWORD(id)}, {"thread", tid}});
    }
    it->due += it->period;
    ScheduleTimer(*it);
    platform_.WakeWaiters();
}

UINT WindowManager::SetTimer(HWND window, DWORD tid, UINT id, UINT elapse, TIMERPROC proc) {
    elapse = std::max(elapse, kMinimumElapse);
    auto it = std::find_if(timers_.begin(), timers_.end(), [&](const WindowTimer& t) {
        return t.window == window && t.id == id && (window || t.tid == tid);
    });
    if (it == timers_.end()) {
        WindowTimer t;
        t.window = window;
        t.tid = tid;
        t.id = window ? id : nextThreadTimer_++;
        timers_.push_back(t);
        it = timers_.end() - 1;
    }
    // Setting a timer again starts it afresh: a pending expiry is forgotten.
    it->period = elapse;
    it->proc = proc;
    it->ready = false;
    it->due = platform_.Now() + elapse;
    ScheduleTimer(*it);
    platform_.timeline().Record("timer.set", {{"window", Value(window)},
                                              {"id", DWORD(it->id)},
                                              {"period", DWORD(elapse)},
                                              {"thread", tid}});
    return it->id;
}

bool WindowManager::KillTimer(HWND window, DWORD tid, UINT id) {
    auto it = std::find_if(timers_.begin(), timers_.end(), [&](const WindowTimer& t) {
        return t.window == window && t.id == id && (window || t.tid == tid);
    });
    if (it == timers_.end()) return false;
    platform_.timeline().Record("timer.kill", {{"window", Value(window)}, {"id", DWORD(id)}});
    timers_.erase(it);
    return true;
}

std::vector<WindowTimer> WindowManager::Timers() const {
    return timers_;
}

} // namespace handset
