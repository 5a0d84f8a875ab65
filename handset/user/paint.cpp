// Painting: update regions, BeginPaint and EndPaint on the gdi area's window
// device contexts, the background erase, and DefWindowProcW, which does the
// default paint, erase, activation, close and text handling.
#include <windows.h>

#include "device/platform.h"
#include "device/relay.h"
#include "gdi/gdi.h"
#include "gdi/objects.h"
#include "user/window_manager.h"

using handset::Enter;
using handset::Fail;
using handset::Platform;
using handset::Region;
using handset::Window;
using handset::WindowManager;

namespace handset {

void WindowManager::Invalidate(Window& w, const RECT* rect, bool erase) {
    Region r(rect ? *rect : RECT{0, 0, w.Width(), w.Height()});
    Region visible = VisibleRegion(w.handle);
    visible.Offset(-w.rect.left, -w.rect.top);
    r.Intersect(visible);
    if (r.Empty()) return; // nothing of it shows: nothing to repaint
    w.update.Add(r);
    if (erase) w.erase = true;
    platform_.WakeWaiters();
}

void WindowManager::Validate(Window& w, const RECT* rect) {
    if (!rect) {
        w.update = Region();
        w.erase = false;
        return;
    }
    w.update.Subtract(Region(*rect));
    if (w.update.Empty()) w.erase = false;
}

HDC WindowManager::BeginPaint(const std::shared_ptr<Window>& w, PAINTSTRUCT* ps) {
    Region paint = w->update;
    bool erase = w->erase;
    w->update = Region();
    w->erase = false;
    Region onScreen = paint;
    onScreen.Offset(w->rect.left, w->rect.top);
    HDC dc = platform_.Get<Gdi>().OpenWindowDC(w->handle, w->Origin(), onScreen.Rects());
    *ps = PAINTSTRUCT{};
    ps->hdc = dc;
    ps->rcPaint = paint.Bounds();
    // fErase: the background still needs erasing, because the window
    // procedure left WM_ERASEBKGND to a class without a brush.
    if (erase) ps->fErase = CallProc(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    return dc;
}

bool WindowManager::EndPaint(Window&, const PAINTSTRUCT* ps) {
    return platform_.Get<Gdi>().ReleaseWindowDC(ps->hdc);
}

bool WindowManager::EraseBackground(const std::shared_ptr<Window>& w, HDC dc) {
    Gdi& gdi = platform_.Get<Gdi>();
    HBRUSH background = w->cls->background;
    if (!background) return false;
    auto value = reinterpret_cast<uintptr_t>(background);
    if (value < 0x100)
        NotEmulated("DefWindowProcW", "WM_ERASEBKGND with the class brush " + Hex32(DWORD(value)) +
                                          " (a system colour + 1)");
    auto object = gdi.FindObject(background);
    if (!object || object->type != gdi::ObjectType::Brush)
        NotEmulated("DefWindowProcW",
                    "WM_ERASEBKGND with the class brush " + Hex32(DWORD(value)) + ", no brush");
    auto* brush = static_cast<gdi::Brush*>(object.get());
    auto context = gdi.FindDC(dc);
    gdi::Target target;
    if (brush->hollow) return false;
    if (!context || !gdi::TargetOf(*context, &target)) return false;
    RECT client{0, 0, w->Width(), w->Height()};
    for (const RECT& clip : target.clips) {
        gdi::Surface s = target.surface;
        s.clip = clip;
        gdi::FillSolid(s, client, gdi::ToRgb565(brush->colour));
    }
    return true;
}

LRESULT WindowManager::DefProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = Get(window);
    if (!w) return 0;
    switch (message) {
    case WM_CLOSE:
        if (w->tid == platform_.CurrentTid()) Destroy(window);
        return 0;
    case WM_ERASEBKGND:
        return EraseBackground(w, reinterpret_cast<HDC>(wParam)) ? 1 : 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(w, &ps);
        EndPaint(*w, &ps);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && w->tid == platform_.CurrentTid())
            SetFocus(Own(), window);
        return 0;
    case WM_SETTEXT:
        w->title = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        if (foreground_ == window)
            for (auto& listener : std::vector(foregroundListeners_))
                listener(window);
        return TRUE;
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam) return 0;
        auto* out = reinterpret_cast<LPWSTR>(lParam);
        size_t n = std::min<size_t>(w->title.size(), wParam - 1);
        std::copy_n(w->title.begin(), n, out);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->title.size());
    default:
        return 0;
    }
}

} // namespace handset

namespace {

WindowManager& Wm() {
    return handset::Wm();
}

} // namespace

HANDSET_API(LRESULT, DefWindowProcW, (HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam),
            (hWnd, Msg, wParam, lParam)) {
    (void)Enter("DefWindowProcW"); // its result is the message's: counted and slowed only
    return Wm().DefProc(hWnd, Msg, wParam, lParam);
}

// A null window invalidates every window, as Win32 does.
HANDSET_API(BOOL, InvalidateRect, (HWND hWnd, const RECT* lpRect, BOOL bErase),
            (hWnd, lpRect, bErase)) {
    if (auto e = Enter("InvalidateRect")) return Fail(*e, FALSE);
    if (!hWnd) {
        for (const auto& info : Wm().Windows())
            if (auto w = Wm().Get(info.handle)) Wm().Invalidate(*w, nullptr, true);
        return TRUE;
    }
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    Wm().Invalidate(*w, lpRect, bErase != FALSE);
    return TRUE;
}

HANDSET_API(BOOL, ValidateRect, (HWND hWnd, const RECT* lpRect), (hWnd, lpRect)) {
    if (auto e = Enter("ValidateRect")) return Fail(*e, FALSE);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    Wm().Validate(*w, lpRect);
    return TRUE;
}

// WM_PAINT at once when the window has something to repaint; a window of
// another thread paints there while the caller waits.
HANDSET_API(BOOL, UpdateWindow, (HWND hWnd), (hWnd)) {
    if (auto e = Enter("UpdateWindow")) return Fail(*e, FALSE);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (w->visible && !w->update.Empty()) Wm().Send(w, WM_PAINT, 0, 0);
    return TRUE;
}

HANDSET_API(HDC, BeginPaint, (HWND hWnd, LPPAINTSTRUCT lpPaint), (hWnd, lpPaint)) {
    if (auto e = Enter("BeginPaint")) return Fail(*e, HDC(nullptr));
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, HDC(nullptr));
    if (!lpPaint) return Fail(ERROR_INVALID_PARAMETER, HDC(nullptr));
    return Wm().BeginPaint(w, lpPaint);
}

// Always TRUE, as documented.
HANDSET_API(BOOL, EndPaint, (HWND hWnd, const PAINTSTRUCT* lpPaint), (hWnd, lpPaint)) {
    (void)Enter("EndPaint");
    auto w = Wm().Get(hWnd);
    if (w && lpPaint) Wm().EndPaint(*w, lpPaint);
    return TRUE;
}
