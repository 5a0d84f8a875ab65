// The control classes: static text and icons, buttons and check boxes, the
// one-line edit field, combo boxes and their drop-down lists; and the
// driver's reading and tapping of them.
#include "user/controls.h"

#include <algorithm>
#include <utility>

#include "device/platform.h"
#include "gdi/gdi.h"
#include "gdi/text.h"
#include "res/resources.h"
#include "user/dialogs.h"
#include "user/draw.h"
#include "user/icons.h"
#include "user/input.h"
#include "user/scrollbar.h"
#include "user/window_manager.h"

namespace handset {

namespace {

constexpr int kComboEditId = 1001; // a drop-down's edit field, as Win32 numbers it

Platform& P() {
    return Platform::Current();
}
WindowManager& W() {
    return P().Get<WindowManager>();
}

template <class S> S* StateOf(HWND hwnd) {
    auto w = W().Get(hwnd);
    return w ? static_cast<S*>(w->extra.get()) : nullptr;
}

// WM_COMMAND to the parent: the control's id and the notification code.
void Notify(HWND hwnd, WORD code) {
    auto w = W().Get(hwnd);
    if (!w) return;
    if (auto parent = W().Get(w->parent))
        W().Send(parent, WM_COMMAND, MAKEWPARAM(w->id, code), reinterpret_cast<LPARAM>(hwnd));
}

// SameText's case rule, for sorting.
std::u16string Fold(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

bool Inside(POINT p, const RECT& r) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

POINT PointOf(LPARAM lParam) {
    return {static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
}

RECT ClientOf(const Window& w) {
    return {0, 0, w.Width(), w.Height()};
}

// Pixels at 96 dpi in the window's logical pixels.
int At96(const Window& w, int pixels) {
    int dpi = P().Get<Screen>().Dpi() / w.scale;
    return pixels * dpi / 96;
}

void Invalidate(HWND hwnd) {
    if (auto w = W().Get(hwnd)) W().Invalidate(*w, nullptr, true);
}

struct ControlBase {
    HFONT font = nullptr;
};

// Messages every control answers alike; whether it was one of them.
bool Common(HWND hwnd, ControlBase* s, UINT message, WPARAM wParam, LPARAM lParam,
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

// ---- STATIC ---------------------------------------------------------------------------

struct StaticState : ControlBase {
    IconPixels icon;
    bool hasIcon = false;
};

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

// ---- BUTTON ---------------------------------------------------------------------------

struct ButtonState : ControlBase {
    int check = BST_UNCHECKED;
    bool pressed = false;
    bool focused = false;
};

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

// ---- EDIT -----------------------------------------------------------------------------

struct EditState : ControlBase {
    size_t limit = 30000;
    bool focused = false;
};

void EditChanged(HWND hwnd) {
    Notify(hwnd, EN_UPDATE);
    Invalidate(hwnd);
    Notify(hwnd, EN_CHANGE);
}

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

// ---- COMBOBOX and its list --------------------------------------------------------------

struct ComboState : ControlBase {
    std::vector<std::u16string> items;
    std::vector<LPARAM> data;
    int sel = -1;
    bool dropped = false;
    bool focused = false;
    HWND list = nullptr;
    HWND edit = nullptr;
    int droppedHeight = 0; // the template's height: how far the list may reach
    int itemHeight = 0;
    int top = 0;              // the list's first item in sight
    bool scrollable = false;  // WS_VSCROLL: the list has a scroll bar when it needs one
    bool settingText = false; // the combo box itself writes its edit field
};

struct ListState {
    HWND combo = nullptr;
    int hot = -1;
    ScrollPart pressed = ScrollPart::None; // the scroll bar's part under the stylus
    LONG grab = 0;                         // the stylus below the thumb's top, dragging it
    POINT stylus = {};                     // where the stylus was last
};

// The scroll bar's repeat while an arrow or the track is held: the first
// after 400 ms, then every 100 ms, as long as the stylus stays on the part.
constexpr UINT kRepeatTimer = 1;
constexpr UINT kRepeatFirstMs = 400, kRepeatMs = 100;

int FindItem(const ComboState& s, std::u16string_view text, int after, bool exact) {
    int n = static_cast<int>(s.items.size());
    for (int k = 1; k <= n; ++k) {
        int i = (after + k) % n;
        if (i < 0) i += n;
        const std::u16string& item = s.items[static_cast<size_t>(i)];
        bool match =
            exact ? SameText(item, text)
                  : item.size() >= text.size() && SameText(item.substr(0, text.size()), text);
        if (match) return i;
    }
    return CB_ERR;
}

int ArrowWidth(const Window& w, const ComboState& s) {
    return std::max(At96(w, 13), s.itemHeight);
}

RECT ArrowRect(const Window& w, const ComboState& s) {
    return {w.Width() - 1 - ArrowWidth(w, s), 1, w.Width() - 1, w.Height() - 1};
}

// The field's height from the font; the edit field inside it.
void LayOutCombo(const std::shared_ptr<Window>& w, ComboState& s) {
    s.itemHeight = ControlFont(P(), s.font, w->handle).Metrics().height;
    int field = s.itemHeight + 6;
    if (w->Height() != field)
        W().Move(w, {w->rect.left, w->rect.top, w->rect.right, w->rect.top + field}, true);
    if (auto e = W().Get(s.edit)) {
        RECT a = ArrowRect(*w, s);
        W().Move(e,
                 {w->rect.left + 3, w->rect.top + 3, w->rect.left + a.left - 1, w->rect.bottom - 3},
                 true);
    }
}

void SetEditText(ComboState& s, std::u16string_view text) {
    auto e = W().Get(s.edit);
    if (!e) return;
    s.settingText = true;
    std::u16string copy(text);
    W().Send(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
    s.settingText = false;
}

void ShowSelection(HWND hwnd, ComboState& s) {
    if (s.edit)
        SetEditText(s, s.sel >= 0 ? std::u16string_view(s.items[static_cast<size_t>(s.sel)])
                                  : std::u16string_view());
    Invalidate(hwnd);
}

// Keeps the list's first item such that the item shows.
void ScrollTo(ComboState& s, int item, int rows) {
    if (item < 0) return;
    if (item < s.top) s.top = item;
    if (item >= s.top + rows) s.top = item - rows + 1;
}

int ListRows(const Window& list, const ComboState& s) {
    return std::max(1, (list.Height() - 2) / std::max(1, s.itemHeight));
}

// The dropped list inside its one-pixel frame: the rows and, when the items
// outrun them and the combo box has WS_VSCROLL, the scroll bar on the right.
struct ListLayout {
    int rows = 1;
    RECT items = {};
    bool scrolls = false;
    ScrollRange range;
    ScrollLayout bar;
};

ListLayout LayOutList(const Window& list, const ComboState& s) {
    ListLayout l;
    l.rows = ListRows(list, s);
    l.items = {1, 1, list.Width() - 1, list.Height() - 1};
    l.range = {static_cast<int>(s.items.size()), l.rows, s.top};
    l.scrolls = s.scrollable && l.range.count > l.rows;
    if (l.scrolls) {
        l.items.right -= At96(list, 13); // SM_CXVSCROLL
        l.bar = LayOutScrollBar({l.items.right, 1, list.Width() - 1, list.Height() - 1}, l.range,
                                At96(list, 8));
    }
    return l;
}

void CloseList(HWND combo, int picked) {
    auto w = W().Get(combo);
    auto keep = w ? w->extra : nullptr;
    auto* s = static_cast<ComboState*>(keep.get());
    if (!s || !s->dropped) return;
    s->dropped = false;
    if (picked >= 0) {
        s->sel = picked;
        ShowSelection(combo, *s);
        Notify(combo, CBN_SELCHANGE);
    }
    Notify(combo, picked >= 0 ? CBN_SELENDOK : CBN_SELENDCANCEL);
    if (auto list = W().Get(std::exchange(s->list, nullptr))) W().Destroy(list->handle);
    Notify(combo, CBN_CLOSEUP);
    Invalidate(combo);
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

void OpenList(HWND combo) {
    auto w = W().Get(combo);
    auto* s = static_cast<ComboState*>(w->extra.get());
    if (s->dropped) return;
    Notify(combo, CBN_DROPDOWN);
    if (!W().Get(combo)) return;
    int n = static_cast<int>(s->items.size());
    int reach = std::max(s->itemHeight, s->droppedHeight - w->Height() - 2);
    int rows = std::clamp(reach / std::max(1, s->itemHeight), 1, std::max(1, n));
    int height = rows * s->itemHeight + 2;
    RECT screen = W().LogicalScreen(w->pid);
    LONG y = w->rect.bottom;
    if (y + height > screen.bottom) y = w->rect.top - height;
    // The selection at the top, unless that leaves rows empty at the end.
    s->top = std::clamp(s->sel, 0, std::max(0, n - rows));
    auto state = std::make_shared<ListState>();
    state->combo = combo;
    state->hot = s->sel;
    WindowManager::CreateArgs a;
    a.cls = W().FindClass(u"ComboLBox", w->pid);
    a.style = WS_POPUP;
    a.rect = {w->rect.left, y, w->rect.right, y + height};
    a.owner = W().TopLevel(w)->handle;
    a.scale = w->scale;
    a.extra = state;
    s->list = W().Create(a);
    s->dropped = true;
    if (auto list = W().Get(s->list)) {
        W().Show(list, SW_SHOWNA);
        W().SetDismissable(s->list);
    }
    Invalidate(combo);
}

// Scrolls the list as a press on the scroll bar's part does; whether it moved.
bool ScrollBy(ComboState& s, const ListLayout& l, ScrollPart part) {
    int step = 0;
    switch (part) {
    case ScrollPart::UpArrow:
        step = -1;
        break;
    case ScrollPart::DownArrow:
        step = 1;
        break;
    case ScrollPart::PageUp:
        step = -l.rows;
        break;
    case ScrollPart::PageDown:
        step = l.rows;
        break;
    default:
        return false;
    }
    int top = std::clamp(s.top + step, 0, l.range.Last());
    return std::exchange(s.top, top) != top;
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = W().Get(hwnd);
    if (!w) return 0;
    auto* l = static_cast<ListState*>(w->extra.get());
    auto* s = l ? StateOf<ComboState>(l->combo) : nullptr;
    if (!s) return W().DefProc(hwnd, message, wParam, lParam);
    ListLayout layout = LayOutList(*w, *s);
    auto itemAt = [&](POINT p) {
        if (!Inside(p, layout.items)) return -1;
        int i = s->top + (p.y - layout.items.top) / std::max(1, s->itemHeight);
        return i < static_cast<int>(s->items.size()) ? i : -1;
    };
    POINT p = PointOf(lParam);
    switch (message) {
    case WM_LBUTTONDOWN:
        l->stylus = p;
        l->pressed = layout.scrolls ? ScrollPartAt(layout.bar, p) : ScrollPart::None;
        if (l->pressed != ScrollPart::None) {
            W().CaptureStylus(hwnd);
            if (l->pressed == ScrollPart::Thumb)
                l->grab = p.y - layout.bar.thumb.top;
            else {
                ScrollBy(*s, layout, l->pressed);
                W().SetTimer(hwnd, w->tid, kRepeatTimer, kRepeatFirstMs, nullptr);
            }
            Invalidate(hwnd);
            return 0;
        }
        [[fallthrough]];
    case WM_MOUSEMOVE:
        l->stylus = p;
        if (l->pressed == ScrollPart::Thumb) {
            int top = ScrollPosForThumb(layout.bar, layout.range, p.y - l->grab);
            if (std::exchange(s->top, top) != top) Invalidate(hwnd);
        } else if (l->pressed == ScrollPart::None) {
            if (int i = itemAt(p); i >= 0 && i != l->hot) {
                l->hot = i;
                Invalidate(hwnd);
            }
        }
        return 0;
    case WM_TIMER:
        if (wParam != kRepeatTimer) return 0;
        // Held on the track, the repeat stops once the thumb reaches the stylus.
        if (ScrollPartAt(layout.bar, l->stylus) == l->pressed && ScrollBy(*s, layout, l->pressed))
            Invalidate(hwnd);
        W().SetTimer(hwnd, w->tid, kRepeatTimer, kRepeatMs, nullptr);
        return 0;
    case WM_LBUTTONUP:
        if (l->pressed != ScrollPart::None) {
            l->pressed = ScrollPart::None;
            W().KillTimer(hwnd, w->tid, kRepeatTimer);
            Invalidate(hwnd);
            return 0;
        }
        if (int i = itemAt(p); i >= 0) CloseList(l->combo, i);
        return 0;
    case WM_CANCELMODE:
        CloseList(l->combo, -1);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        WithPainter(hwnd, [&](Window& win, Painter& paint) {
            RECT all = ClientOf(win);
            paint.Fill(all, look::kFace);
            paint.Frame(all, 1, look::kText);
            const gdi::Font& font = ControlFont(P(), s->font, l->combo);
            for (int r = 0; r < layout.rows && s->top + r < static_cast<int>(s->items.size());
                 ++r) {
                int i = s->top + r;
                LONG top = layout.items.top + r * s->itemHeight;
                RECT row{layout.items.left, top, layout.items.right, top + s->itemHeight};
                bool hot = i == l->hot;
                if (hot) paint.Fill(row, look::kHighlight);
                paint.Text({row.left + 2, row.top, row.right - 2, row.bottom},
                           s->items[static_cast<size_t>(i)], font,
                           DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
                           hot ? look::kHighlightText : look::kText);
            }
            if (layout.scrolls) PaintScrollBar(paint, layout.bar, l->pressed);
        });
        return 0;
    default:
        return W().DefProc(hwnd, message, wParam, lParam);
    }
}

LRESULT ComboMessage(HWND hwnd, const std::shared_ptr<Window>& w, ComboState* s, UINT message,
                     WPARAM wParam, LPARAM lParam) {
    int n = static_cast<int>(s->items.size());
    auto valid = [&](WPARAM i) { return static_cast<int>(i) >= 0 && static_cast<int>(i) < n; };
    switch (message) {
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
        if (!lParam) return CB_ERR;
        std::u16string text(reinterpret_cast<LPCWSTR>(lParam));
        int at = n;
        if (message == CB_INSERTSTRING) {
            int asked = static_cast<int>(wParam);
            if (asked > n) return CB_ERR;
            if (asked >= 0) at = asked;
        } else if (w->style & CBS_SORT) {
            at = static_cast<int>(
                std::upper_bound(s->items.begin(), s->items.end(), text,
                                 [](const auto& a, const auto& b) { return Fold(a) < Fold(b); }) -
                s->items.begin());
        }
        s->items.insert(s->items.begin() + at, std::move(text));
        s->data.insert(s->data.begin() + at, 0);
        if (s->sel >= at) ++s->sel;
        if (auto list = W().Get(s->list)) W().Invalidate(*list, nullptr, true);
        return at;
    }
    case CB_DELETESTRING:
        if (!valid(wParam)) return CB_ERR;
        s->items.erase(s->items.begin() + static_cast<ptrdiff_t>(wParam));
        s->data.erase(s->data.begin() + static_cast<ptrdiff_t>(wParam));
        if (s->sel == static_cast<int>(wParam))
            s->sel = -1;
        else if (s->sel > static_cast<int>(wParam))
            --s->sel;
        ShowSelection(hwnd, *s);
        return n - 1;
    case CB_RESETCONTENT:
        s->items.clear();
        s->data.clear();
        s->sel = -1;
        ShowSelection(hwnd, *s);
        return CB_OKAY;
    case CB_GETCOUNT:
        return n;
    case CB_GETCURSEL:
        return s->sel;
    case CB_SETCURSEL:
        // Outside the items: no selection, and CB_ERR.
        s->sel = valid(wParam) ? static_cast<int>(wParam) : -1;
        ShowSelection(hwnd, *s);
        return s->sel >= 0 ? s->sel : CB_ERR;
    case CB_GETLBTEXT: {
        if (!valid(wParam) || !lParam) return CB_ERR;
        const std::u16string& item = s->items[wParam];
        auto* out = reinterpret_cast<LPWSTR>(lParam);
        std::copy(item.begin(), item.end(), out);
        out[item.size()] = 0;
        return static_cast<LRESULT>(item.size());
    }
    case CB_GETLBTEXTLEN:
        return valid(wParam) ? static_cast<LRESULT>(s->items[wParam].size()) : CB_ERR;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
        if (!lParam || n == 0) return CB_ERR;
        int found = FindItem(*s, reinterpret_cast<LPCWSTR>(lParam), static_cast<int>(wParam),
                             message == CB_FINDSTRINGEXACT);
        if (message == CB_SELECTSTRING && found != CB_ERR) {
            s->sel = found;
            ShowSelection(hwnd, *s);
        }
        return found;
    }
    case CB_GETITEMDATA:
        return valid(wParam) ? s->data[wParam] : CB_ERR;
    case CB_SETITEMDATA:
        if (!valid(wParam)) return CB_ERR;
        s->data[wParam] = lParam;
        return CB_OKAY;
    case CB_GETITEMHEIGHT:
        return static_cast<int>(wParam) == -1 ? w->Height() : s->itemHeight;
    case CB_SHOWDROPDOWN:
        if (wParam)
            OpenList(hwnd);
        else
            CloseList(hwnd, -1);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return s->dropped ? TRUE : FALSE;
    case CB_LIMITTEXT:
        if (auto e = W().Get(s->edit)) W().Send(e, EM_LIMITTEXT, wParam, 0);
        return TRUE;
    case CB_GETEDITSEL:
    case CB_SETEDITSEL:
        return 0; // the edit field keeps no selection
    }
    NotEmulated("COMBOBOX", "message " + Hex32(message));
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = W().Get(hwnd);
    if (!w) return 0;
    if (message == WM_CREATE) {
        DWORD type = w->style & 3;
        if (type == CBS_SIMPLE) NotEmulated("COMBOBOX", "CBS_SIMPLE");
        if (w->style & CBS_OWNERDRAWFIXED) NotEmulated("COMBOBOX", "CBS_OWNERDRAWFIXED");
        auto s = std::make_shared<ComboState>();
        w->extra = s;
        s->droppedHeight = w->Height();
        s->scrollable = (w->style & WS_VSCROLL) != 0;
        if (type == CBS_DROPDOWN) {
            WindowManager::CreateArgs a;
            a.cls = W().FindClass(u"EDIT", w->pid);
            a.style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
            a.rect = {0, 0, 1, 1};
            a.parent = hwnd;
            a.menu = reinterpret_cast<HMENU>(static_cast<uintptr_t>(kComboEditId));
            s->edit = W().Create(a);
        }
        LayOutCombo(w, *s);
        return 0;
    }
    auto keep = w->extra;
    auto* s = static_cast<ComboState*>(keep.get());
    if (!s) return W().DefProc(hwnd, message, wParam, lParam);
    if (message >= CB_GETEDITSEL && message <= CB_FINDSTRINGEXACT)
        return ComboMessage(hwnd, w, s, message, wParam, lParam);
    switch (message) {
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (auto e = W().Get(s->edit)) W().Send(e, WM_SETFONT, wParam, lParam);
        LayOutCombo(w, *s);
        if (LOWORD(lParam)) Invalidate(hwnd);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(s->font);
    case WM_ERASEBKGND:
        return 1; // the paint fills it all
    case WM_ENABLE:
        if (auto e = W().Get(s->edit)) e->enabled = wParam != 0;
        Invalidate(hwnd);
        return 0;
    case WM_LBUTTONDOWN:
        if (s->dropped) {
            CloseList(hwnd, -1);
            return 0;
        }
        if (s->edit) {
            W().SetFocus(W().Own(), s->edit);
            if (!Inside(PointOf(lParam), ArrowRect(*w, *s))) return 0;
        } else {
            W().SetFocus(W().Own(), hwnd);
        }
        OpenList(hwnd);
        return 0;
    case WM_KEYDOWN:
        if (s->dropped && wParam == VK_RETURN) {
            CloseList(hwnd, s->sel);
        } else if ((wParam == VK_DOWN || wParam == VK_UP) && !s->items.empty()) {
            int n = static_cast<int>(s->items.size());
            int next = std::clamp(s->sel + (wParam == VK_DOWN ? 1 : -1), 0, n - 1);
            if (next != s->sel) {
                s->sel = next;
                ShowSelection(hwnd, *s);
                // An open list follows the selection into sight.
                if (auto list = W().Get(s->list)) {
                    static_cast<ListState*>(list->extra.get())->hot = next;
                    ScrollTo(*s, next, ListRows(*list, *s));
                    Invalidate(list->handle);
                }
                Notify(hwnd, CBN_SELCHANGE);
            }
        }
        return 0;
    case WM_SETFOCUS:
        if (auto e = W().Get(s->edit)) {
            W().SetFocus(W().Own(), e->handle);
            return 0;
        }
        s->focused = true;
        Notify(hwnd, CBN_SETFOCUS);
        Invalidate(hwnd);
        return 0;
    case WM_KILLFOCUS:
        if (s->edit) return 0;
        s->focused = false;
        if (s->dropped && reinterpret_cast<HWND>(wParam) != s->list) CloseList(hwnd, -1);
        Notify(hwnd, CBN_KILLFOCUS);
        Invalidate(hwnd);
        return 0;
    case WM_COMMAND:
        // From the edit field.
        if (reinterpret_cast<HWND>(lParam) == s->edit && s->edit) {
            switch (HIWORD(wParam)) {
            case EN_CHANGE:
                if (!s->settingText) {
                    auto e = W().Get(s->edit);
                    int found = s->items.empty() ? CB_ERR : FindItem(*s, e->title, -1, true);
                    s->sel = found == CB_ERR ? -1 : found;
                    Notify(hwnd, CBN_EDITUPDATE);
                    Notify(hwnd, CBN_EDITCHANGE);
                }
                break;
            case EN_SETFOCUS:
                s->focused = true;
                Notify(hwnd, CBN_SETFOCUS);
                break;
            case EN_KILLFOCUS:
                s->focused = false;
                if (s->dropped) CloseList(hwnd, -1);
                Notify(hwnd, CBN_KILLFOCUS);
                break;
            }
        }
        return 0;
    case WM_SETTEXT:
        if (s->edit) {
            SetEditText(*s, lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"");
            return TRUE;
        } else {
            int found = s->items.empty() || !lParam
                            ? CB_ERR
                            : FindItem(*s, reinterpret_cast<LPCWSTR>(lParam), -1, true);
            if (found == CB_ERR) return CB_ERR;
            s->sel = found;
            ShowSelection(hwnd, *s);
            return TRUE;
        }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        std::u16string text;
        if (auto e = W().Get(s->edit))
            text = e->title;
        else if (s->sel >= 0)
            text = s->items[static_cast<size_t>(s->sel)];
        if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(text.size());
        if (!wParam || !lParam) return 0;
        size_t copied = std::min<size_t>(text.size(), wParam - 1);
        auto* out = reinterpret_cast<LPWSTR>(lParam);
        std::copy_n(text.begin(), copied, out);
        out[copied] = 0;
        return static_cast<LRESULT>(copied);
    }
    case WM_DESTROY:
        if (auto list = W().Get(std::exchange(s->list, nullptr))) W().Destroy(list->handle);
        s->dropped = false;
        return 0;
    case WM_PAINT:
        WithPainter(hwnd, [&](Window& win, Painter& paint) {
            RECT all = ClientOf(win);
            paint.Fill(all, look::kFace);
            paint.Sunken(all);
            RECT arrow = ArrowRect(win, *s);
            paint.Fill(arrow, s->dropped ? look::kShadow : look::kLight);
            paint.DownArrow(arrow, win.enabled ? look::kText : look::kGreyText);
            if (s->edit) return; // the edit field draws the text
            RECT field{2, 2, arrow.left - 1, all.bottom - 2};
            bool highlight = s->focused && !s->dropped;
            if (highlight) paint.Fill(field, look::kHighlight);
            if (s->sel >= 0)
                paint.Text({field.left + 2, field.top, field.right - 1, field.bottom},
                           s->items[static_cast<size_t>(s->sel)], ControlFont(P(), s->font, hwnd),
                           DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
                           !win.enabled ? look::kGreyText
                           : highlight  ? look::kHighlightText
                                        : look::kText);
        });
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    default:
        return W().DefProc(hwnd, message, wParam, lParam);
    }
}

// ---- Finding controls for the driver ---------------------------------------------------

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

// A rectangle of the window's client in screen pixels.
RECT ToScreen(const Window& w, const RECT& r) {
    RECT phys = w.Physical();
    int k = w.scale;
    return {phys.left + k * r.left, phys.top + k * r.top, phys.left + k * r.right,
            phys.top + k * r.bottom};
}

ComboState* ComboOf(Device& d, HWND combo) {
    auto w = d.Get<WindowManager>().Get(combo);
    return w && w->proc == ComboProc ? static_cast<ComboState*>(w->extra.get()) : nullptr;
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

std::optional<ComboInfo> ReadCombo(Device& d, HWND combo) {
    ComboState* s = ComboOf(d, combo);
    if (!s) return std::nullopt;
    ComboInfo info;
    info.items = s->items;
    info.selection = s->sel;
    info.dropped = s->dropped;
    info.list = s->list;
    if (auto list = d.Get<WindowManager>().Get(s->list)) {
        ListLayout l = LayOutList(*list, *s);
        info.firstShown = s->top;
        info.rowsShown = l.rows;
        if (l.scrolls)
            info.scrollBar =
                ComboInfo::ScrollBar{ToScreen(*list, l.bar.up), ToScreen(*list, l.bar.down),
                                     ToScreen(*list, l.bar.track), ToScreen(*list, l.bar.thumb)};
    }
    if (auto e = d.Get<WindowManager>().Get(s->edit))
        info.text = e->title;
    else if (s->sel >= 0)
        info.text = s->items[static_cast<size_t>(s->sel)];
    return info;
}

RECT ComboItemRect(Device& d, HWND combo, int index) {
    WindowManager& wm = d.Get<WindowManager>();
    ComboState* s = ComboOf(d, combo);
    if (!s || !wm.Get(s->list))
        Platform::Fatal("ComboItemRect: the combo box's list is not dropped");
    if (index < 0 || index >= static_cast<int>(s->items.size()))
        Platform::Fatal("ComboItemRect: no item " + std::to_string(index));
    // Out of sight: taps on the scroll bar's arrows, a line at a time, as a
    // person would.
    for (;;) {
        s = ComboOf(d, combo);
        auto list = s ? wm.Get(s->list) : nullptr;
        if (!list) Platform::Fatal("ComboItemRect: the list closed while scrolling");
        ListLayout l = LayOutList(*list, *s);
        if (index >= s->top && index < s->top + l.rows) {
            LONG top = l.items.top + (index - s->top) * s->itemHeight;
            return ToScreen(*list, {l.items.left, top, l.items.right, top + s->itemHeight});
        }
        if (!l.scrolls)
            Platform::Fatal("ComboItemRect: item " + std::to_string(index) +
                            " is out of sight and the list has no scroll bar");
        int before = s->top;
        Tap(d, Centre(ToScreen(*list, index < s->top ? l.bar.up : l.bar.down)));
        if (ComboOf(d, combo) == s && s->top == before)
            Platform::Fatal("ComboItemRect: a tap on the scroll bar's arrow did not scroll");
    }
}

void PickComboItem(Device& d, HWND combo, std::u16string_view text) {
    ComboState* s = ComboOf(d, combo);
    if (!s) Platform::Fatal("PickComboItem: no combo box " + std::to_string(uintptr_t(combo)));
    int index = -1;
    for (size_t i = 0; i < s->items.size(); ++i)
        if (SameText(s->items[i], text)) index = static_cast<int>(i);
    if (index < 0)
        Platform::Fatal("PickComboItem: the combo box has no item \"" + Narrow(text) + "\"");
    if (!s->dropped) {
        auto w = d.Get<WindowManager>().Get(combo);
        RECT arrow = ArrowRect(*w, *s);
        RECT phys = w->Physical();
        Tap(d, {phys.left + w->scale * (arrow.left + arrow.right) / 2,
                phys.top + w->scale * (arrow.top + arrow.bottom) / 2});
    }
    if (!s->dropped) Platform::Fatal("PickComboItem: a tap did not open the list");
    Tap(d, Centre(ComboItemRect(d, combo, index)));
}

void TypeText(Device& d, HWND control, std::u16string_view text) {
    HWND target = control;
    if (ComboState* s = ComboOf(d, control); s && s->edit) target = s->edit;
    TapControl(d, target);
    WindowManager& wm = d.Get<WindowManager>();
    for (char16_t c : text) {
        wm.Char(c);
        d.RunUntilIdle();
    }
}

int CheckState(Device& d, HWND button) {
    auto w = d.Get<WindowManager>().Get(button);
    if (!w || w->proc != ButtonProc) Platform::Fatal("CheckState: no button");
    return static_cast<ButtonState*>(w->extra.get())->check;
}

} // namespace handset
