// The driver's taps, drags and keys on the window manager's input.
#include "user/input.h"

#include "user/window_manager.h"

namespace handset {

void Tap(Device& d, POINT screen, uint64_t holdMs) {
    WindowManager& wm = d.Get<WindowManager>();
    wm.StylusDown(screen);
    d.RunFor(holdMs);
    wm.StylusUp(screen);
    d.RunUntilIdle();
}

void Drag(Device& d, POINT from, POINT to, int steps, uint64_t durationMs) {
    WindowManager& wm = d.Get<WindowManager>();
    wm.StylusDown(from);
    for (int i = 1; i <= steps; ++i) {
        d.RunFor(durationMs / static_cast<uint64_t>(steps + 1));
        wm.StylusMove({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    }
    d.RunFor(durationMs / static_cast<uint64_t>(steps + 1));
    wm.StylusUp(to);
    d.RunUntilIdle();
}

void PressKey(Device& d, UINT vk, uint64_t holdMs) {
    WindowManager& wm = d.Get<WindowManager>();
    wm.KeyDown(vk);
    d.RunFor(holdMs);
    wm.KeyUp(vk);
    d.RunUntilIdle();
}

void AnswerMessageBox(Device& d, int button) {
    d.Get<WindowManager>().AnswerMessageBox(button);
    d.RunUntilIdle();
}

POINT Centre(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

} // namespace handset
