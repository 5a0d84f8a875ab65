// The window manager's core: classes, windows and their z-order, exposure,
// activation and focus, sent and posted messages, input and window timers.
// Painting is in paint.cpp, message boxes in msgbox.cpp.
#include "user/window_manager.h"

#include <algorithm>

#include "device/platform.h"
#include "gdi/gdi.h"

namespace handset {

namespace {

std::u16string Fold(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

bool Inside(POINT p, const RECT& r) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

bool Includes(UINT message, UINT min, UINT max) {
    return (min == 0 && max == 0) || (message >= min && message <= max);
}

uint64_t Value(HWND h) {
    return reinterpret_cast<uintptr_t>(h);
}

std::shared_ptr<KernelObject> Unowned(KernelObject& object) {
    // The queue lives in its thread; a non-owning pointer serves a wait.
    return std::shared_ptr<KernelObject>(std::shared_ptr<KernelObject>(), &object);
}

constexpr UINT kMinimumElapse = 10; // USER_TIMER_MINIMUM

void Shift(RECT& r, LONG dx, LONG dy) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
}

LONG FloorDiv(LONG a, LONG b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Screen pixels to the window's client coordinates: each logical pixel that
// any of them falls in.
Region ToClient(const Region& screen, const Window& w) {
    RECT phys = w.Physical();
    std::vector<RECT> rects;
    for (const RECT& r : screen.Rects()) {
        LONG s = w.scale;
        rects.push_back({FloorDiv(r.left - phys.left, s), FloorDiv(r.top - phys.top, s),
                         FloorDiv(r.right - phys.left + s - 1, s),
                         FloorDiv(r.bottom - phys.top + s - 1, s)});
    }
    return Region::Of(rects);
}

} // namespace

void ReclaimWindow(Platform& platform, uintptr_t value, const HandleEntry&) {
    platform.Get<WindowManager>().DestroyLeft(reinterpret_cast<HWND>(value));
}

WindowManager& Wm() {
    return Platform::Current().Get<WindowManager>();
}

bool SameText(std::u16string_view a, std::u16string_view b) {
    return Fold(a) == Fold(b);
}

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

// ---- The area ------------------------------------------------------------------------------

WindowManager::WindowManager(Platform& platform) : Area(platform) {}

WindowManager::~WindowManager() {
    // A gdi area made after this one (for the first window) has gone already.
    if (Gdi* gdi = platform_.Find<Gdi>(); gdi && gdiWired_) gdi->SetWindowLookup({});
}

// GetDC finds windows here from the first window on; the gdi area is not made
// before (its stock objects would take handle values).
void WindowManager::WireGdi() {
    if (gdiWired_) return;
    gdiWired_ = true;
    platform_.Get<Gdi>().SetWindowLookup([this](HWND h) -> std::optional<Gdi::WindowPlace> {
        auto w = Get(h);
        if (!w) return std::nullopt;
        return Gdi::WindowPlace{w->Origin(), VisibleRegion(h).Rects(), w->scale};
    });
}

MessageQueue& WindowManager::Own() {
    Thread* self = platform_.CurrentThread();
    if (!self) Platform::Fatal("a message or window call was made in the driver's context");
    MessageQueue& q = platform_.Slot<MessageQueue>(*self);
    q.manager = this;
    q.tid = self->id;
    return q;
}

MessageQueue* WindowManager::QueueOf(DWORD tid) const {
    Thread* t = platform_.FindThread(tid);
    if (!t || t->state == Thread::State::Exited) return nullptr;
    return platform_.FindSlot<MessageQueue>(*t);
}

std::shared_ptr<Window> WindowManager::Get(HWND window) const {
    auto w = platform_.handles().Get<Window>(reinterpret_cast<uintptr_t>(window), kWindow);
    return w && !w->destroyed ? w : nullptr;
}

RECT WindowManager::ScreenRect() const {
    const Screen& screen = platform_.Get<Screen>();
    return {0, 0, screen.Width(), screen.Height()};
}

int WindowManager::ScaleOf(DWORD pid) const {
    return platform_.Get<Gdi>().ScaleOf(pid);
}

RECT WindowManager::LogicalScreen(DWORD pid) const {
    RECT r = ScreenRect();
    int s = ScaleOf(pid);
    return {0, 0, r.right / s, r.bottom / s};
}

std::shared_ptr<Window> WindowManager::TopLevel(const std::shared_ptr<Window>& w) const {
    auto top = w;
    while (top && top->parent)
        top = Get(top->parent);
    return top;
}

bool WindowManager::Shown(const Window& w) const {
    if (!w.visible) return false;
    if (!w.parent) return true;
    auto p = Get(w.parent);
    return p && Shown(*p);
}

bool WindowManager::IsWithin(const Window& w, const Window* ancestor) const {
    if (!ancestor) return false;
    for (auto p = Get(w.handle); p; p = Get(p->parent))
        if (p.get() == ancestor) return true;
    return false;
}

Region WindowManager::VisibleClient(const Window& w) const {
    return ToClient(VisibleRegion(w.handle), w);
}

std::vector<HWND> WindowManager::Children(HWND window) const {
    auto w = Get(window);
    return w ? w->children : std::vector<HWND>{};
}

void WindowManager::AddWithDescendants(HWND window, std::vector<HWND>* out) const {
    auto w = Get(window);
    if (!w) return;
    out->push_back(window);
    for (HWND c : w->children)
        AddWithDescendants(c, out);
}

std::vector<HWND> WindowManager::AllWindows() const {
    std::vector<HWND> all;
    for (HWND h : z_)
        AddWithDescendants(h, &all);
    return all;
}

LONG WindowManager::TaskbarHeight() const {
    return 26 * platform_.Get<Screen>().Dpi() / 96;
}

// ---- Classes -------------------------------------------------------------------------------

ATOM WindowManager::AddClass(const WNDCLASSW& wc, DWORD pid) {
    std::u16string name = wc.lpszClassName;
    for (const auto& c : classes_)
        if (c->pid == pid && SameText(c->name, name)) return 0;
    auto c = std::make_shared<WindowClass>();
    c->atom = nextAtom_++;
    c->pid = pid;
    c->instance = wc.hInstance;
    c->name = std::move(name);
    c->style = wc.style;
    c->proc = wc.lpfnWndProc;
    c->background = wc.hbrBackground;
    classes_.push_back(c);
    platform_.timeline().Record("window.class",
                                {{"class", c->name}, {"atom", DWORD(c->atom)}, {"process", pid}});
    return c->atom;
}

void WindowManager::AddSystemClass(std::u16string name, WNDPROC proc, HBRUSH background) {
    for (const auto& c : classes_)
        if (c->pid == 0 && c->name == name) return;
    WNDCLASSW wc{};
    wc.lpszClassName = name.c_str();
    wc.lpfnWndProc = proc;
    wc.hbrBackground = background;
    AddClass(wc, 0);
}

std::shared_ptr<const WindowClass> WindowManager::FindClass(LPCWSTR name, DWORD pid) const {
    auto value = reinterpret_cast<uintptr_t>(name);
    for (DWORD owner : {pid, DWORD(0)})
        for (const auto& c : classes_) {
            if (c->pid != owner) continue;
            if (value < 0x10000 ? c->atom == value : SameText(c->name, name)) return c;
        }
    return nullptr;
}

// ---- Windows -------------------------------------------------------------------------------

HWND WindowManager::Create(const CreateArgs& args) {
    MessageQueue& q = Own();
    WireGdi();
    auto w = std::make_shared<Window>();
    // Even values only: the lowest bit of a handle means something to
    // SetForegroundWindow.
    uintptr_t value = platform_.handles().NewValue();
    if (value & 1) value = platform_.handles().NewValue();
    platform_.handles().AddAt(value, kWindow, platform_.CurrentPid(), w);
    w->handle = reinterpret_cast<HWND>(value);
    w->pid = platform_.CurrentPid();
    w->tid = q.tid;
    w->cls = args.cls;
    w->proc = args.proc ? args.proc : args.cls->proc;
    w->title = args.title;
    w->style = args.style & ~WS_VISIBLE;
    w->exStyle = args.exStyle;
    w->rect = args.rect;
    w->scale = args.scale ? args.scale : ScaleOf(w->pid);
    w->owner = args.owner;
    w->enabled = !(args.style & WS_DISABLED);
    w->extra = args.extra;
    auto parent = Get(args.parent);
    if (parent) {
        // A child lies on its parent, above the siblings made before it.
        w->parent = parent->handle;
        w->owner = nullptr;
        w->id = static_cast<int>(reinterpret_cast<intptr_t>(args.menu));
        w->scale = parent->scale;
        Shift(w->rect, parent->rect.left, parent->rect.top);
        if (args.atBottom)
            parent->children.push_back(w->handle);
        else
            parent->children.insert(parent->children.begin(), w->handle);
    } else {
        // A child given as the owner: its top-level window owns, as on Win32.
        if (auto owner = TopLevel(Get(args.owner))) w->owner = owner->handle;
        z_.insert(z_.begin(), w->handle);
        Raise(w->handle); // to the top of its band
    }
    platform_.timeline().Record("window.create", {{"window", Value(w->handle)},
                                                  {"process", w->pid},
                                                  {"class", w->cls->name},
                                                  {"title", w->title},
                                                  {"parent", Value(w->parent)}});

    CREATESTRUCTW cs{};
    cs.lpCreateParams = args.param;
    cs.hInstance = args.instance;
    cs.hMenu = args.menu;
    cs.hwndParent = parent ? parent->handle : args.owner;
    cs.x = args.rect.left;
    cs.y = args.rect.top;
    cs.cx = w->Width();
    cs.cy = w->Height();
    cs.style = static_cast<LONG>(args.style);
    cs.lpszName = args.createName ? args.createName : w->title.c_str();
    cs.lpszClass = w->cls->name.c_str();
    cs.dwExStyle = args.exStyle;
    if (CallProc(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        Destroy(w->handle);
        return nullptr;
    }
    if (w->destroyed) return nullptr;
    CallProc(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->Width(), w->Height()));
    CallProc(w, WM_MOVE, 0, MAKELPARAM(args.rect.left, args.rect.top));
    if ((args.style & WS_VISIBLE) && !w->destroyed) Show(w, SW_SHOW);
    return w->destroyed ? nullptr : w->handle;
}

void WindowManager::Destroy(HWND window) {
    auto w = Get(window);
    if (!w || w->destroying) return;
    w->destroying = true;
    // Owned windows go first, as on Win32.
    for (HWND o : std::vector<HWND>(z_))
        if (auto ow = Get(o); ow && ow->owner == window) {
            if (ow->tid == w->tid)
                Destroy(o);
            else
                DestroyLeft(o);
        }
    if (w->visible) Restack([&] { w->visible = false; });
    if (foreground_ == window) PassForeground(window);
    if (MessageQueue* q = QueueOf(w->tid)) {
        if (q->active == window) q->active = nullptr;
        if (auto f = Get(q->focus); f && IsWithin(*f, w.get())) q->focus = nullptr;
    }
    CallProc(w, WM_DESTROY, 0, 0);
    // Then its children, as Win32 sends WM_DESTROY: parent first.
    for (HWND c : std::vector<HWND>(w->children))
        Destroy(c);
    RemoveWindow(*w);
}

void WindowManager::DestroyLeft(HWND window) {
    auto w = Get(window);
    if (!w || w->destroying) return;
    w->destroying = true;
    for (HWND o : std::vector<HWND>(z_))
        if (auto ow = Get(o); ow && ow->owner == window) DestroyLeft(o);
    if (w->visible) Restack([&] { w->visible = false; });
    if (foreground_ == window) PassForeground(window);
    if (MessageQueue* q = QueueOf(w->tid)) {
        if (q->active == window) q->active = nullptr;
        if (auto f = Get(q->focus); f && IsWithin(*f, w.get())) q->focus = nullptr;
    }
    for (HWND c : std::vector<HWND>(w->children))
        DestroyLeft(c);
    RemoveWindow(*w);
}

void WindowManager::RemoveWindow(Window& w) {
    std::erase_if(timers_, [&](const WindowTimer& t) { return t.window == w.handle; });
    if (auto parent = Get(w.parent)) std::erase(parent->children, w.handle);
    if (dismissable_ == w.handle) dismissable_ = nullptr;
    RemoveFromZ(w.handle);
    w.destroyed = true;
    platform_.timeline().Record("window.destroy",
                                {{"window", Value(w.handle)}, {"process", w.pid}});
    platform_.handles().Remove(reinterpret_cast<uintptr_t>(w.handle), kWindow);
}

void WindowManager::ThreadExited(Thread& thread) {
    if (MessageQueue* q = platform_.FindSlot<MessageQueue>(thread)) FinishSent(*q);
    std::erase_if(timers_, [&](const WindowTimer& t) { return t.tid == thread.id; });
    // A process's last thread leaves its windows to the process's end.
    const auto& threads = thread.process->threads;
    bool last = std::all_of(threads.begin(), threads.end(),
                            [](Thread* t) { return t->state == Thread::State::Exited; });
    if (last) return;
    std::vector<HWND> mine;
    for (HWND h : z_)
        if (auto w = Get(h); w && w->tid == thread.id) mine.push_back(h);
    for (HWND h : mine)
        DestroyLeft(h);
}

void WindowManager::ProcessExited(Process& process) {
    std::erase_if(classes_, [&](const auto& c) { return c->pid == process.id; });
}

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
    HWND h = WindowAt(screen);
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
    Stylus(WM_LBUTTONDOWN, screen, "down");
}
void WindowManager::StylusMove(POINT screen) {
    if (!dismissed_) Stylus(WM_MOUSEMOVE, screen, "move");
}
void WindowManager::StylusUp(POINT screen) {
    if (!dismissed_) Stylus(WM_LBUTTONUP, screen, "up");
    dismissed_ = false;
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

// ---- Reading -------------------------------------------------------------------------------

std::optional<WindowManager::WindowInfo> WindowManager::Info(HWND window) const {
    auto w = Get(window);
    if (!w) return std::nullopt;
    return WindowInfo{w->handle,  w->pid,   w->tid,    w->cls->name, w->title, w->rect,
                      w->visible, w->owner, w->update, w->parent,    w->id};
}

std::vector<WindowManager::WindowInfo> WindowManager::Windows() const {
    std::vector<WindowInfo> all;
    for (HWND h : z_)
        if (auto info = Info(h)) all.push_back(*info);
    return all;
}

HWND WindowManager::FindByClass(std::u16string_view className, std::u16string_view title) const {
    for (HWND h : z_)
        if (auto w = Get(h);
            w && SameText(w->cls->name, className) && (title.empty() || SameText(w->title, title)))
            return h;
    return nullptr;
}

} // namespace handset
