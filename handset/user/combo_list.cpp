// A combo box's dropped list (class ComboLBox): opening and closing it,
// its rows and scroll bar, the stylus on them, and the driver's way to an
// item.
#include "user/controls.h"

#include <algorithm>
#include <utility>

#include "device/platform.h"
#include "user/combo_box.h"
#include "user/input.h"

namespace handset::controls_detail {

namespace {

// The scroll bar's repeat while an arrow or the track is held: the first
// after 400 ms, then every 100 ms, as long as the stylus stays on the part.
constexpr UINT kRepeatTimer = 1;
constexpr UINT kRepeatFirstMs = 400, kRepeatMs = 100;

} // namespace

void ScrollTo(ComboState& s, int item, int rows) {
    if (item < 0) return;
    if (item < s.top) s.top = item;
    if (item >= s.top + rows) s.top = item - rows + 1;
}

int ListRows(const Window& list, const ComboState& s) {
    return std::max(1, (list.Height() - 2) / std::max(1, s.itemHeight));
}

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

namespace {

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

} // namespace

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

RECT ToScreen(const Window& w, const RECT& r) {
    RECT phys = w.Physical();
    int k = w.scale;
    return {phys.left + k * r.left, phys.top + k * r.top, phys.left + k * r.right,
            phys.top + k * r.bottom};
}

} // namespace handset::controls_detail

namespace handset {

using namespace controls_detail;

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

} // namespace handset
