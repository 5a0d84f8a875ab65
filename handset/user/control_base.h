// What the control classes share: the platform and window manager at hand,
// a control's state and its notifications to the parent, points and
// rectangles, the messages every control answers alike, painting through
// BeginPaint, and the classes' window procedures.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "common/text.h"
#include "device/platform.h"
#include "gdi/gdi.h"
#include "user/draw.h"
#include "user/window_manager.h"

namespace handset::controls_detail {

inline Platform& P() {
    return Platform::Current();
}

inline WindowManager& W() {
    return P().Get<WindowManager>();
}

template <class S> S* StateOf(HWND hwnd) {
    auto w = W().Get(hwnd);
    return w ? static_cast<S*>(w->extra.get()) : nullptr;
}

// WM_COMMAND to the parent: the control's id and the notification code.
inline void Notify(HWND hwnd, WORD code) {
    auto w = W().Get(hwnd);
    if (!w) return;
    if (auto parent = W().Get(w->parent))
        W().Send(parent, WM_COMMAND, MAKEWPARAM(w->id, code), reinterpret_cast<LPARAM>(hwnd));
}

inline bool Inside(POINT p, const RECT& r) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

inline POINT PointOf(LPARAM lParam) {
    return {static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
}

inline RECT ClientOf(const Window& w) {
    return {0, 0, w.Width(), w.Height()};
}

// Pixels at 96 dpi in the window's logical pixels.
inline int At96(const Window& w, int pixels) {
    int dpi = P().Get<Screen>().Dpi() / w.scale;
    return pixels * dpi / 96;
}

inline void Invalidate(HWND hwnd) {
    if (auto w = W().Get(hwnd)) W().Invalidate(*w, nullptr, true);
}

struct ControlBase {
    HFONT font = nullptr;
};

// Messages every control answers alike; whether it was one of them.
inline bool Common(HWND hwnd, ControlBase* s, UINT message, WPARAM wParam, LPARAM lParam,
                   LRESULT* result) {
    switch (message) {
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) Invalidate(hwnd);
        *result = 0;
        return true;
    case WM_GETFONT:
        *result = reinterpret_cast<LRESULT>(s->font);
        return true;
    case WM_ERASEBKGND: {
        auto w = W().Get(hwnd);
        Painter(P(), reinterpret_cast<HDC>(wParam)).Fill(ClientOf(*w), look::kFace);
        *result = 1;
        return true;
    }
    case WM_ENABLE:
        Invalidate(hwnd);
        *result = 0;
        return true;
    default:
        return false;
    }
}

// Paints with the painter the window's client gets in BeginPaint.
template <class Paint> void WithPainter(HWND hwnd, Paint paint) {
    auto w = W().Get(hwnd);
    PAINTSTRUCT ps;
    HDC dc = W().BeginPaint(w, &ps);
    Painter painter(P(), dc);
    paint(*w, painter);
    W().EndPaint(*w, &ps);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace handset::controls_detail
