// What the window manager's files share: rectangle and message-range
// tests, handle values for the timeline, and the conversion of screen
// regions to a window's client coordinates.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "device/platform.h"
#include "user/region.h"
#include "user/window_manager.h"

namespace handset::wm_util {

inline bool Inside(POINT p, const RECT& r) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

inline bool Includes(UINT message, UINT min, UINT max) {
    return (min == 0 && max == 0) || (message >= min && message <= max);
}

inline uint64_t Value(HWND h) {
    return reinterpret_cast<uintptr_t>(h);
}

inline std::shared_ptr<KernelObject> Unowned(KernelObject& object) {
    // The queue lives in its thread; a non-owning pointer serves a wait.
    return std::shared_ptr<KernelObject>(std::shared_ptr<KernelObject>(), &object);
}

inline void Shift(RECT& r, LONG dx, LONG dy) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
}

inline LONG FloorDiv(LONG a, LONG b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Screen pixels to the window's client coordinates: each logical pixel that
// any of them falls in.
Region ToClient(const Region& screen, const Window& w);

} // namespace handset::wm_util
