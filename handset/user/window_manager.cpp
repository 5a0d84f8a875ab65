// The window manager's core: the area, window classes, making and
// destroying windows, and reading them. Z-order, exposure, activation and
// focus are in window_zorder.cpp, sent and posted messages in
// window_messages.cpp, input and timers in window_input.cpp, painting in
// paint.cpp, message boxes in msgbox.cpp.
#include "user/window_manager.h"

#include <algorithm>

#include "common/text.h"
#include "device/platform.h"
#include "gdi/gdi.h"
#include "user/window_manager_util.h"

namespace handset {

using namespace wm_util;

Region wm_util::ToClient(const Region& screen, const Window& w) {
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

void ReclaimWindow(Platform& platform, uintptr_t value, const HandleEntry&) {
    platform.Get<WindowManager>().DestroyLeft(reinterpret_cast<HWND>(value));
}

WindowManager& Wm() {
    return Platform::Current().Get<WindowManager>();
}

bool SameText(std::u16string_view a, std::u16string_view b) {
    return FoldAscii(a) == FoldAscii(b);
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
