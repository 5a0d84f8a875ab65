// The BUTTON class: push buttons, check boxes and group boxes, and the
// driver's reading of a check box.
#include "user/controls.h"

#include <algorithm>

#include "device/platform.h"
#include "user/control_base.h"

namespace handset::controls_detail {

struct ButtonState : ControlBase {
    int check = BST_UNCHECKED;
    bool pressed = false;
    bool focused = false;
};

namespace {

bool IsCheckBox(DWORD type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
           type == BS_AUTO3STATE;
}

void Click(HWND hwnd) {
    auto w = W().Get(hwnd);
    auto* s = static_cast<ButtonState*>(w->extra.get());
    DWORD type = w->style & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX) s->check = s->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    if (type == BS_AUTO3STATE) s->check = (s->check + 1) % 3;
    Invalidate(hwnd);
    Notify(hwnd, BN_CLICKED);
}

void PaintButton(Window& w, Painter& paint, const ButtonState& s) {
    DWORD type = w.style & BS_TYPEMASK;
    RECT all = ClientOf(w);
    const gdi::Font& font = ControlFont(P(), s.font, w.handle);
    COLORREF ink = w.enabled ? look::kText : look::kGreyText;
    paint.Fill(all, look::kFace);
    UINT lines = (w.style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER;
    if (type == BS_GROUPBOX) {
        int half = font.Metrics().height / 2;
        paint.Frame({all.left, all.top + half, all.right, all.bottom}, 1, look::kShadow);
        SIZE text = gdi::MeasureText(font, w.title);
        RECT label{all.left + 6, all.top, all.left + 10 + text.cx, all.top + text.cy};
        paint.Fill(label, look::kFace);
        paint.Text({label.left + 2, label.top, label.right, label.bottom}, w.title, font,
                   DT_SINGLELINE, ink);
        return;
    }
    if (IsCheckBox(type)) {
        int box = At96(w, 13);
        bool right = (w.style & BS_LEFTTEXT) != 0;
        LONG top = (all.bottom - box) / 2;
        RECT b = right ? RECT{all.right - box, top, all.right, top + box}
                       : RECT{all.left, top, all.left + box, top + box};
        paint.Sunken(b);
        paint.Frame({b.left + 1, b.top + 1, b.right - 1, b.bottom - 1}, 1, look::kText);
        RECT inside{b.left + 2, b.top + 2, b.right - 2, b.bottom - 2};
        paint.Fill(inside, s.pressed ? look::kLight : look::kFace);
        if (s.check == BST_INDETERMINATE) paint.Fill(inside, look::kLight);
        if (s.check == BST_CHECKED) {
            // A tick: down to the lower third, then up to the right.
            int n = inside.right - inside.left, unit = std::max(1, n / 9);
            LONG x0 = inside.left + unit, y0 = inside.top + n / 2 - unit;
            for (int i = 0; i < n / 3; ++i)
                paint.Fill({x0 + i, y0 + i, x0 + i + unit, y0 + i + 2 * unit}, ink);
            LONG x1 = x0 + n / 3, y1 = y0 + n / 3;
            for (int i = 0; x1 + i + unit <= inside.right - unit / 2 && y1 - i >= inside.top; ++i)
                paint.Fill({x1 + i, y1 - i, x1 + i + unit, y1 - i + 2 * unit}, ink);
        }
        int gap = At96(w, 4);
        RECT text = right ? RECT{all.left, all.top, b.left - gap, all.bottom}
                          : RECT{b.right + gap, all.top, all.right, all.bottom};
        paint.Text(text, w.title, font, lines | (right ? DT_RIGHT : DT_LEFT), ink);
        return;
    }
    // Push buttons: white with a black edge, black when held down.
    bool isDefault = type == BS_DEFPUSHBUTTON;
    paint.Fill(all, s.pressed ? look::kText : look::kFace);
    paint.Frame(all, isDefault ? 2 : 1, look::kText);
    paint.Text({all.left + 2, all.top + 1, all.right - 2, all.bottom - 1}, w.title, font,
               lines | DT_CENTER, s.pressed ? look::kFace : ink);
}

} // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = W().Get(hwnd);
    if (!w) return 0;
    DWORD type = w->style & BS_TYPEMASK;
    if (message == WM_CREATE) {
        if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_GROUPBOX &&
            !IsCheckBox(type))
            NotEmulated("BUTTON", "style " + Hex32(w->style) + " (its type)");
        w->extra = std::make_shared<ButtonState>();
        return 0;
    }
    auto* s = static_cast<ButtonState*>(w->extra.get());
    LRESULT result = 0;
    if (s && Common(hwnd, s, message, wParam, lParam, &result)) return result;
    switch (message) {
    case WM_LBUTTONDOWN:
        if (type == BS_GROUPBOX) return 0;
        s->pressed = true;
        W().SetFocus(W().Own(), hwnd);
        Invalidate(hwnd);
        return 0;
    case WM_LBUTTONUP:
        if (!s->pressed) return 0;
        s->pressed = false;
        Invalidate(hwnd);
        if (Inside(PointOf(lParam), ClientOf(*w))) Click(hwnd);
        return 0;
    case WM_KEYDOWN:
        if (type != BS_GROUPBOX && (wParam == VK_SPACE || wParam == VK_RETURN)) Click(hwnd);
        return 0;
    case BM_CLICK:
        if (type != BS_GROUPBOX) Click(hwnd);
        return 0;
    case BM_GETCHECK:
        return IsCheckBox(type) ? s->check : BST_UNCHECKED;
    case BM_SETCHECK:
        if (IsCheckBox(type)) {
            int most = type == BS_3STATE || type == BS_AUTO3STATE ? BST_INDETERMINATE : BST_CHECKED;
            s->check = std::min<int>(static_cast<int>(wParam), most);
            Invalidate(hwnd);
        }
        return 0;
    case BM_GETSTATE:
        return (IsCheckBox(type) ? s->check : 0) | (s->pressed ? BST_PUSHED : 0) |
               (s->focused ? BST_FOCUS : 0);
    case BM_SETSTATE:
        s->pressed = wParam != 0;
        Invalidate(hwnd);
        return 0;
    case BM_SETSTYLE:
        NotEmulated("BUTTON", "BM_SETSTYLE");
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        s->focused = message == WM_SETFOCUS;
        Invalidate(hwnd);
        return 0;
    case WM_SETTEXT:
        result = W().DefProc(hwnd, message, wParam, lParam);
        Invalidate(hwnd);
        return result;
    case WM_GETDLGCODE:
        return type == BS_DEFPUSHBUTTON ? DLGC_BUTTON | DLGC_DEFPUSHBUTTON
               : type == BS_PUSHBUTTON  ? DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON
               : type == BS_GROUPBOX    ? DLGC_STATIC
                                        : DLGC_BUTTON;
    case WM_PAINT:
        WithPainter(hwnd, [&](Window& win, Painter& paint) { PaintButton(win, paint, *s); });
        return 0;
    default:
        return W().DefProc(hwnd, message, wParam, lParam);
    }
}

} // namespace handset::controls_detail

namespace handset {

using namespace controls_detail;

int CheckState(Device& d, HWND button) {
    auto w = d.Get<WindowManager>().Get(button);
    if (!w || w->proc != ButtonProc) Platform::Fatal("CheckState: no button");
    return static_cast<ButtonState*>(w->extra.get())->check;
}

} // namespace handset
