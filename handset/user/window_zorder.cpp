// The window manager's z-order and exposure (what each window shows, and
// what a window uncovers as others move, hide or go), showing and moving
// windows, and activation, the foreground and keyboard focus.
#include "user/window_manager.h"

#include <algorithm>

#include "device/platform.h"
#include "gdi/gdi.h"
#include "user/window_manager_util.h"

namespace handset {

using namespace wm_util;

// ---- Z-order and exposure ---------------------------------------------------------------

int WindowManager::Band(const Window& w) const {
    if (w.desktop) return 0;
    return (w.exStyle & WS_EX_TOPMOST) ? 2 : 1;
}

void WindowManager::RemoveFromZ(HWND window) {
    std::erase(z_, window);
}

void WindowManager::Raise(HWND window) {
    auto w = Get(window);
    if (!w) return;
    auto ownedBy = [&](HWND h) {
        for (auto o = Get(h); o && o->owner; o = Get(o->owner))
            if (o->owner == window) return true;
        return false;
    };
    // The window and what it owns (in their order), to the top of its band.
    std::vector<HWND> group;
    for (HWND h : z_)
        if (auto o = Get(h); o && ownedBy(h) && Band(*o) == Band(*w)) group.push_back(h);
    group.push_back(window);
    std::erase_if(z_,
                  [&](HWND h) { return std::find(group.begin(), group.end(), h) != group.end(); });
    auto at = std::find_if(z_.begin(), z_.end(), [&](HWND h) {
        auto o = Get(h);
        return o && Band(*o) <= Band(*w);
    });
    z_.insert(at, group.begin(), group.end());
}

WindowManager::Visible WindowManager::VisibleRegions() const {
    Visible visible;
    Region covered;
    Region screen(ScreenRect());
    for (HWND h : z_) {
        auto w = Get(h);
        if (!w || !w->visible) continue;
        VisitVisible(h, screen - covered, &visible);
        covered.Add(Region(w->Physical()));
    }
    return visible;
}

void WindowManager::VisitVisible(HWND window, const Region& available, Visible* out) const {
    auto w = Get(window);
    Region left = Region(w->Physical()) & available;
    for (HWND c : w->children) {
        auto child = Get(c);
        if (!child || !child->visible) continue;
        VisitVisible(c, left, out);
        left.Subtract(Region(child->Physical()));
    }
    (*out)[window] = left;
}

Region WindowManager::VisibleRegion(HWND window) const {
    auto all = VisibleRegions();
    auto it = all.find(window);
    return it == all.end() ? Region() : it->second;
}

void WindowManager::Restack(const std::function<void()>& change, const Window* moved, LONG dx,
                            LONG dy) {
    Visible before = VisibleRegions();
    std::map<HWND, POINT> origins;
    for (HWND h : AllWindows())
        if (auto w = Get(h)) origins[h] = w->Origin();
    change();
    Visible after = VisibleRegions();
    bool exposedAny = false;
    Gdi& gdi = platform_.Get<Gdi>();
    for (HWND h : AllWindows()) {
        auto w = Get(h);
        if (!w) continue;
        Region now = after.count(h) ? after[h] : Region();
        Region was = before.count(h) ? before[h] : Region();
        Region kept = was;
        if (IsWithin(*w, moved)) kept.Offset(dx * w->scale, dy * w->scale);
        Region exposed = now - kept;
        w->update.Intersect(ToClient(now, *w));
        if (!exposed.Empty()) {
            w->update.Add(ToClient(exposed, *w));
            w->erase = true;
            exposedAny = true;
        }
        POINT o = w->Origin();
        auto old = origins.find(h);
        bool placeChanged = old == origins.end() || old->second.x != o.x || old->second.y != o.y;
        if (!(now == was) || placeChanged) gdi.MoveWindowDCs(h, o, now.Rects(), w->scale);
    }
    if (exposedAny) platform_.WakeWaiters();
}

void WindowManager::MakeDesktop(HWND window) {
    auto w = Get(window);
    if (!w) return;
    Restack([&] {
        w->desktop = true;
        RemoveFromZ(window);
        z_.push_back(window);
    });
}

void WindowManager::SetTopmost(HWND window, bool topmost) {
    auto w = Get(window);
    if (!w) return;
    Restack([&] {
        w->exStyle = topmost ? (w->exStyle | WS_EX_TOPMOST) : (w->exStyle & ~WS_EX_TOPMOST);
        Raise(window);
    });
}

void WindowManager::ToBottom(HWND window) {
    auto w = Get(window);
    if (!w) return;
    Restack([&] {
        w->exStyle &= ~WS_EX_TOPMOST;
        RemoveFromZ(window);
        z_.push_back(window);
    });
}

bool WindowManager::Show(const std::shared_ptr<Window>& w, int command) {
    bool was = w->visible;
    HWND h = w->handle;
    if (command == SW_HIDE) {
        if (!was) return false;
        Notify(w, WM_SHOWWINDOW, FALSE, 0);
        Restack([&] {
            w->visible = false;
            w->style &= ~WS_VISIBLE;
        });
        platform_.timeline().Record("window.hide", {{"window", Value(h)}, {"process", w->pid}});
        if (foreground_ == h) PassForeground(h);
        if (MessageQueue* q = QueueOf(w->tid); q && w->parent)
            if (auto f = Get(q->focus); f && IsWithin(*f, w.get())) SetFocus(*q, nullptr);
        return true;
    }
    if (!was) {
        Notify(w, WM_SHOWWINDOW, TRUE, 0);
        Restack([&] {
            w->visible = true;
            w->style |= WS_VISIBLE;
        });
        platform_.timeline().Record("window.show", {{"window", Value(h)}, {"process", w->pid}});
    }
    bool activate = command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                    !(w->exStyle & WS_EX_NOACTIVATE) && !w->destroyed && !w->parent;
    if (activate) SetForeground(w, false);
    return was;
}

void WindowManager::Move(const std::shared_ptr<Window>& w, RECT rect, bool repaint) {
    RECT old = w->rect;
    LONG dx = rect.left - old.left, dy = rect.top - old.top;
    std::vector<HWND> family;
    AddWithDescendants(w->handle, &family);
    Restack(
        [&] {
            w->rect = rect;
            for (size_t i = 1; i < family.size(); ++i)
                if (auto c = Get(family[i])) Shift(c->rect, dx, dy);
        },
        repaint ? nullptr : w.get(), dx, dy);
    if (repaint) Invalidate(*w, nullptr, true);
    POINT at{rect.left, rect.top};
    if (auto parent = Get(w->parent))
        at = {rect.left - parent->rect.left, rect.top - parent->rect.top};
    if (dx || dy) Notify(w, WM_MOVE, 0, MAKELPARAM(at.x, at.y));
    if (w->Width() != old.right - old.left || w->Height() != old.bottom - old.top)
        Notify(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->Width(), w->Height()));
}

// ---- Activation and focus ----------------------------------------------------------------

void WindowManager::SetForeground(const std::shared_ptr<Window>& w, bool owned) {
    std::shared_ptr<Window> target = w;
    if (owned)
        if (auto last = Get(w->lastActiveOwned); last && last->visible) target = last;
    Restack([&] { Raise(w->handle); });
    ChangeForeground(target);
}

void WindowManager::ChangeForeground(const std::shared_ptr<Window>& w) {
    HWND now = w ? w->handle : nullptr;
    HWND old = foreground_;
    if (old == now) return;
    foreground_ = now;
    if (auto o = Get(old)) {
        Notify(o, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(now));
        MessageQueue* oq = QueueOf(o->tid);
        if (oq && (!w || w->tid != o->tid)) {
            if (auto f = Get(oq->focus)) Notify(f, WM_KILLFOCUS, 0, 0);
            oq->active = nullptr;
            oq->focus = nullptr;
        }
    }
    if (w) {
        if (MessageQueue* q = QueueOf(w->tid)) q->active = now;
        if (auto owner = Get(w->owner)) owner->lastActiveOwned = now;
        Notify(w, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    }
    platform_.timeline().Record("window.foreground",
                                {{"window", Value(now)}, {"process", w ? w->pid : DWORD(0)}});
    for (auto& listener : std::vector(foregroundListeners_))
        listener(now);
}

void WindowManager::PassForeground(HWND leaving) {
    auto gone = Get(leaving);
    auto eligible = [&](const std::shared_ptr<Window>& w) {
        return w && w->handle != leaving && w->visible && w->enabled && !w->destroying &&
               !(w->exStyle & WS_EX_NOACTIVATE);
    };
    // The owner first, as Win32 does when an owned window goes.
    if (gone)
        if (auto owner = Get(gone->owner); eligible(owner)) return ChangeForeground(owner);
    for (HWND h : z_)
        if (auto w = Get(h); eligible(w)) return ChangeForeground(w);
    ChangeForeground(nullptr);
}

HWND WindowManager::SetActive(MessageQueue& q, const std::shared_ptr<Window>& w) {
    HWND previous = q.active;
    auto fg = Get(foreground_);
    if (!fg || fg->tid == q.tid) {
        Restack([&] { Raise(w->handle); });
        ChangeForeground(w);
    } else if (q.active != w->handle) {
        q.active = w->handle;
        Notify(w, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
    }
    return previous;
}

HWND WindowManager::SetFocus(MessageQueue& q, HWND window) {
    HWND previous = q.focus;
    auto w = Get(window);
    if (auto top = TopLevel(w); top && q.active != top->handle) SetActive(q, top);
    if (q.focus == window) return previous;
    q.focus = window;
    if (auto old = Get(previous)) Notify(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (w) Notify(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

void WindowManager::OnForegroundChange(std::function<void(HWND)> listener) {
    foregroundListeners_.push_back(std::move(listener));
}

HWND WindowManager::KeyTarget() const {
    auto fg = Get(foreground_);
    if (!fg) return nullptr;
    MessageQueue* q = QueueOf(fg->tid);
    return q && Get(q->focus) ? q->focus : nullptr;
}

} // namespace handset
