// The STATIC class: text left, centred or right, and an icon at its own size.
#include "user/controls.h"

#include <algorithm>

#include "device/platform.h"
#include "gdi/gdi.h"
#include "res/resources.h"
#include "user/control_base.h"
#include "user/icons.h"

namespace handset::controls_detail {

namespace {

struct StaticState : ControlBase {
    IconPixels icon;
    bool hasIcon = false;
};

} // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = W().Get(hwnd);
    if (!w) return 0;
    DWORD type = w->style & SS_TYPEMASK;
    if (message == WM_CREATE) {
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_ICON &&
            type != SS_LEFTNOWORDWRAP)
            NotEmulated("STATIC", "style " + Hex32(w->style) + " (its type)");
        auto state = std::make_shared<StaticState>();
        w->extra = state;
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (type == SS_ICON && cs->lpszName && cs->lpszName[0]) {
            ResId name = cs->lpszName[0] == 0xFFFF ? ResId(cs->lpszName[1])
                                                   : ResId(std::u16string_view(cs->lpszName));
            const ResFile* file = P().Get<Resources>().Find(cs->hInstance);
            std::string error = "the module has no resources";
            if (file && LoadIconPixels(*file, name, At96(*w, 32), P().Get<Resources>().Language(),
                                       &state->icon, &error)) {
                state->hasIcon = true;
                // Shown at its own size: the control takes it.
                W().Move(w,
                         {w->rect.left, w->rect.top, w->rect.left + state->icon.width,
                          w->rect.top + state->icon.height},
                         true);
            } else {
                P().timeline().Record("control.icon", {{"window", uint64_t(uintptr_t(hwnd))},
                                                       {"icon", name.Describe()},
                                                       {"why", error}});
            }
            w->title.clear();
        }
        return 0;
    }
    auto* s = static_cast<StaticState*>(w->extra.get());
    LRESULT result = 0;
    if (s && Common(hwnd, s, message, wParam, lParam, &result)) return result;
    switch (message) {
    case WM_SETTEXT:
        result = W().DefProc(hwnd, message, wParam, lParam);
        Invalidate(hwnd);
        return result;
    case WM_LBUTTONUP:
        if (w->style & SS_NOTIFY) Notify(hwnd, STN_CLICKED);
        return 0;
    case STM_SETICON:
    case STM_GETICON:
    case STM_SETIMAGE:
    case STM_GETIMAGE:
        NotEmulated("STATIC", "message " + Hex32(message) + " (icon handles)");
    case WM_PAINT:
        WithPainter(hwnd, [&](Window& win, Painter& paint) {
            paint.Fill(ClientOf(win), look::kFace);
            if (s->hasIcon) {
                int x = 0, y = 0;
                if (win.style & SS_CENTERIMAGE) {
                    x = (win.Width() - s->icon.width) / 2;
                    y = (win.Height() - s->icon.height) / 2;
                }
                paint.Pixels(x, y, s->icon.width, s->icon.height, s->icon.argb);
                return;
            }
            UINT format = type == SS_CENTER  ? DT_CENTER | DT_WORDBREAK
                          : type == SS_RIGHT ? DT_RIGHT | DT_WORDBREAK
                          : type == SS_LEFT  ? DT_LEFT | DT_WORDBREAK
                                             : DT_LEFT | DT_SINGLELINE;
            if (win.style & SS_NOPREFIX) format |= DT_NOPREFIX;
            paint.Text(ClientOf(win), win.title, ControlFont(P(), s->font, hwnd), format,
                       win.enabled ? look::kText : look::kGreyText);
        });
        return 0;
    default:
        return W().DefProc(hwnd, message, wParam, lParam);
    }
}

} // namespace handset::controls_detail
