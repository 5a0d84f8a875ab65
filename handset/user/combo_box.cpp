// The COMBOBOX class: its field (a drop-down list's selection, or a
// drop-down's edit field and arrow), its items and messages; and the
// driver's reading, picking and typing on it.
#include "user/controls.h"

#include <algorithm>
#include <utility>

#include "device/platform.h"
#include "user/combo_box.h"
#include "user/input.h"

namespace handset::controls_detail {

namespace {

constexpr int kComboEditId = 1001; // a drop-down's edit field, as Win32 numbers it

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

} // namespace

void ShowSelection(HWND hwnd, ComboState& s) {
    if (s.edit)
        SetEditText(s, s.sel >= 0 ? std::u16string_view(s.items[static_cast<size_t>(s.sel)])
                                  : std::u16string_view());
    Invalidate(hwnd);
}

namespace {

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
            at = static_cast<int>(std::upper_bound(s->items.begin(), s->items.end(), text,
                                                   [](const auto& a, const auto& b) {
                                                       return FoldAscii(a) < FoldAscii(b);
                                                   }) -
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

} // namespace

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

ComboState* ComboOf(Device& d, HWND combo) {
    auto w = d.Get<WindowManager>().Get(combo);
    return w && w->proc == ComboProc ? static_cast<ComboState*>(w->extra.get()) : nullptr;
}

} // namespace handset::controls_detail

namespace handset {

using namespace controls_detail;

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

} // namespace handset
