// The EDIT class: the one-line edit field.
#include "user/controls.h"

#include <algorithm>

#include "device/platform.h"
#include "user/control_base.h"

namespace handset::controls_detail {

namespace {

struct EditState : ControlBase {
    size_t limit = 30000;
    bool focused = false;
};

void EditChanged(HWND hwnd) {
    Notify(hwnd, EN_UPDATE);
    Invalidate(hwnd);
    Notify(hwnd, EN_CHANGE);
}

} // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = W().Get(hwnd);
    if (!w) return 0;
    if (message == WM_CREATE) {
        if (w->style & ES_MULTILINE) NotEmulated("EDIT", "ES_MULTILINE");
        w->extra = std::make_shared<EditState>();
        return 0;
    }
    auto* s = static_cast<EditState*>(w->extra.get());
    LRESULT result = 0;
    if (s && Common(hwnd, s, message, wParam, lParam, &result)) return result;
    switch (message) {
    case WM_CHAR: {
        if (w->style & ES_READONLY) return 0;
        auto c = static_cast<char16_t>(wParam);
        if (c == VK_BACK) {
            if (w->title.empty()) return 0;
            w->title.pop_back();
        } else if (c >= 0x20 && w->title.size() < s->limit) {
            if ((w->style & ES_NUMBER) && (c < u'0' || c > u'9')) return 0;
            if ((w->style & ES_UPPERCASE) && c >= u'a' && c <= u'z') c -= 0x20;
            if ((w->style & ES_LOWERCASE) && c >= u'A' && c <= u'Z') c += 0x20;
            w->title.push_back(c);
        } else {
            return 0;
        }
        EditChanged(hwnd);
        return 0;
    }
    case WM_SETTEXT:
        result = W().DefProc(hwnd, message, wParam, lParam);
        EditChanged(hwnd);
        return result;
    case EM_LIMITTEXT:
        s->limit = wParam ? wParam : 30000;
        return 0;
    case EM_GETSEL:
    case EM_SETSEL:
        return 0; // no selection is kept
    case WM_LBUTTONDOWN:
        W().SetFocus(W().Own(), hwnd);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        s->focused = message == WM_SETFOCUS;
        Notify(hwnd, s->focused ? EN_SETFOCUS : EN_KILLFOCUS);
        Invalidate(hwnd);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_PAINT:
        WithPainter(hwnd, [&](Window& win, Painter& paint) {
            RECT all = ClientOf(win);
            paint.Fill(all, look::kFace);
            if (win.exStyle & WS_EX_CLIENTEDGE) paint.Sunken(all);
            if (win.style & WS_BORDER) paint.Frame(all, 1, look::kShadow);
            std::u16string shown = win.title;
            if (win.style & ES_PASSWORD) shown.assign(shown.size(), u'*');
            UINT align = (win.style & ES_CENTER)  ? DT_CENTER
                         : (win.style & ES_RIGHT) ? DT_RIGHT
                                                  : 0;
            paint.Text({all.left + 2, all.top, all.right - 2, all.bottom}, shown,
                       ControlFont(P(), s->font, hwnd),
                       DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | align,
                       win.enabled ? look::kText : look::kGreyText);
        });
        return 0;
    default:
        // The edit messages the handset leaves out (EM_ 0x00B0 to 0x00DF).
        if (message >= EM_GETSEL && message <= 0x00DF)
            NotEmulated("EDIT", "message " + Hex32(message));
        return W().DefProc(hwnd, message, wParam, lParam);
    }
}

} // namespace handset::controls_detail
