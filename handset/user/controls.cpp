// The control classes' registration, and the driver's finding and tapping
// of controls. Each class is in a file of its own: static_control.cpp,
// button_control.cpp, edit_control.cpp, combo_box.cpp and combo_list.cpp.
#include "user/controls.h"

#include <functional>

#include "device/platform.h"
#include "user/control_base.h"
#include "user/dialogs.h"
#include "user/input.h"

namespace handset {

using namespace controls_detail;

namespace {

HWND Search(WindowManager& wm, HWND window, const std::function<bool(const Window&)>& match) {
    for (HWND c : wm.Children(window)) {
        auto w = wm.Get(c);
        if (!w || !wm.Shown(*w)) continue;
        if (match(*w)) return c;
        if (HWND deeper = Search(wm, c, match)) return deeper;
    }
    return nullptr;
}

HWND SearchDialogs(Device& d, const std::function<bool(const Window&)>& match) {
    WindowManager& wm = d.Get<WindowManager>();
    for (const auto& info : wm.Windows())
        if (info.visible)
            if (HWND found = Search(wm, info.handle, match)) return found;
    return nullptr;
}

} // namespace

void RegisterControlClasses(WindowManager& wm) {
    wm.AddSystemClass(u"Dialog", DialogWindowProc, nullptr);
    wm.AddSystemClass(u"STATIC", StaticProc, nullptr);
    wm.AddSystemClass(u"BUTTON", ButtonProc, nullptr);
    wm.AddSystemClass(u"EDIT", EditProc, nullptr);
    wm.AddSystemClass(u"COMBOBOX", ComboProc, nullptr);
    wm.AddSystemClass(u"ComboLBox", ListProc, nullptr);
}

HWND FindControl(Device& d, int id) {
    return SearchDialogs(d, [&](const Window& w) { return LOWORD(w.id) == LOWORD(id); });
}

HWND FindControl(Device& d, std::u16string_view text) {
    return SearchDialogs(d, [&](const Window& w) { return SameText(w.title, text); });
}

RECT ScreenRectOf(Device& d, HWND window) {
    auto w = d.Get<WindowManager>().Get(window);
    if (!w) Platform::Fatal("ScreenRectOf: no window " + std::to_string(uintptr_t(window)));
    return w->Physical();
}

void TapControl(Device& d, HWND control) {
    Tap(d, Centre(ScreenRectOf(d, control)));
}

} // namespace handset
