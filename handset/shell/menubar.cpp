// The menu bar: its soft keys from the program's resources, its window and
// popup menus, painted in the screen's own pixels, and SHCreateMenuBar.
#include "shell/menubar.h"

#include <aygshell.h>
#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "common/bytes.h"
#include "device/platform.h"
#include "device/relay.h"
#include "gdi/gdi.h"
#include "gdi/text.h"
#include "res/resources.h"
#include "shell/shell.h"
#include "user/draw.h"
#include "user/input.h"
#include "user/menus.h"
#include "user/window_manager.h"

namespace handset {

namespace {

// The bar's own messages, posted to it from the driver's soft-key presses.
constexpr UINT kSoftKeyDown = WM_USER + 0x7A10;
constexpr UINT kSoftKeyUp = WM_USER + 0x7A11;

constexpr COLORREF kBarTop = RGB(40, 110, 200), kBarBottom = RGB(0, 50, 130);

WindowManager& W() {
    return Platform::Current().Get<WindowManager>();
}

int Scale(Platform& p) {
    return std::max(1, p.Get<Screen>().Dpi() / 96);
}

const gdi::Font& BarFont(Platform& p, bool bold) {
    gdi::FontRequest request;
    request.height = -12 * Scale(p);
    request.weight = bold ? FW_BOLD : FW_NORMAL;
    request.logPixelsY = p.Get<Screen>().Dpi();
    std::string error;
    auto font = p.Get<Gdi>().Fonts().Open(request, &error);
    if (!font) Platform::Fatal("fonts: " + error);
    return *font; // the library keeps it
}

// Menu text without the "&" of an accelerator ("&&" is one ampersand).
std::u16string Plain(std::u16string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        out.push_back(text[i]);
    }
    return out;
}

bool Inside(POINT p, const RECT& r) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

} // namespace

struct MenuBars::Bar {
    HWND owner = nullptr;
    std::shared_ptr<Menu> menu;
    HMENU menuHandle = nullptr; // SHCMBM_GETMENU's, made on first use
    struct Button {
        std::u16string text;
        UINT id = 0;      // the resource's command id, SHCMBM_GETSUBMENU's key
        UINT command = 0; // what a press sends; 0 for a key that opens a menu
        bool enabled = true;
        int menuIndex = -1; // the menu's top-level item it opens
    };
    std::vector<Button> buttons;
    COLORREF background = kBarBottom;
    bool ownBackground = false;
    bool textMenus = false; // Pocket PC 2003's look: menus on the left, not soft keys
    bool sipButton = true;  // the input panel's button on the right (textMenus only)
    int pressed = -1;
};

MenuBars::MenuBars(Platform& platform) : Area(platform) {
    platform.Get<WindowManager>().OnSoftKey(
        [this](UINT vk, bool down) { return SoftKey(vk, down); });
}

MenuBars::Bar* MenuBars::BarOf(HWND bar) const {
    auto w = platform_.Get<WindowManager>().Get(bar);
    return w && w->proc == BarProc ? static_cast<Bar*>(w->extra.get()) : nullptr;
}

HWND MenuBars::Of(HWND window) const {
    WindowManager& wm = platform_.Get<WindowManager>();
    auto top = wm.TopLevel(wm.Get(window));
    if (!top) return nullptr;
    for (HWND b : bars_)
        if (auto w = wm.Get(b); w && w->owner == top->handle) return b;
    return nullptr;
}

std::vector<MenuBars::Key> MenuBars::Keys(HWND bar) const {
    std::vector<Key> keys;
    Bar* b = BarOf(bar);
    auto w = platform_.Get<WindowManager>().Get(bar);
    if (!b) return keys;
    RECT r = w->Physical();
    std::vector<RECT> rects = KeyRects(bar);
    for (size_t i = 0; i < b->buttons.size(); ++i) {
        const auto& button = b->buttons[i];
        const RECT& k = rects[i];
        keys.push_back({button.text,
                        button.command,
                        button.enabled,
                        button.menuIndex >= 0,
                        {r.left + k.left, r.top + k.top, r.left + k.right, r.top + k.bottom}});
    }
    return keys;
}

bool MenuBars::TextMenus(HWND bar) const {
    Bar* b = BarOf(bar);
    return b && b->textMenus;
}

// Soft keys: each half of the bar. Menus: side by side from the left, each
// as wide as its text and 6 pixels (at 96 dpi) either side.
std::vector<RECT> MenuBars::KeyRects(HWND bar) const {
    std::vector<RECT> rects;
    auto w = platform_.Get<WindowManager>().Get(bar);
    Bar* b = BarOf(bar);
    if (!w || !b) return rects;
    LONG width = w->Width(), height = w->Height();
    int s = Scale(platform_);
    LONG x = 0;
    for (size_t i = 0; i < b->buttons.size(); ++i) {
        if (!b->textMenus) {
            rects.push_back({static_cast<LONG>(i) * width / 2, 0,
                             static_cast<LONG>(i + 1) * width / 2, height});
            continue;
        }
        LONG text = gdi::MeasureText(BarFont(platform_, false), b->buttons[i].text).cx;
        rects.push_back({x, 0, x + text + 12 * s, height});
        x = rects.back().right;
    }
    return rects;
}

RECT MenuBars::SipRect(HWND bar) const {
    auto w = platform_.Get<WindowManager>().Get(bar);
    Bar* b = BarOf(bar);
    if (!w || !b || !b->textMenus || !b->sipButton) return {};
    return {w->Width() - 36 * Scale(platform_), 0, w->Width(), w->Height()};
}

int MenuBars::KeyAt(HWND bar, LPARAM at) const {
    POINT p{static_cast<SHORT>(LOWORD(at)), static_cast<SHORT>(HIWORD(at))};
    std::vector<RECT> rects = KeyRects(bar);
    for (size_t i = 0; i < rects.size(); ++i)
        if (Inside(p, rects[i])) return static_cast<int>(i);
    return -1;
}

bool MenuBars::SoftKey(UINT vk, bool down) {
    WindowManager& wm = platform_.Get<WindowManager>();
    HWND bar = Of(wm.Foreground());
    auto w = wm.Get(bar);
    if (!w || !w->visible) return false;
    wm.Post(w, down ? kSoftKeyDown : kSoftKeyUp, vk == VK_TSOFT1 ? 0 : 1, 0);
    platform_.timeline().Record("input.softkey",
                                {{"action", down ? "down" : "up"},
                                 {"key", vk == VK_TSOFT1 ? 0 : 1},
                                 {"window", uint64_t(reinterpret_cast<uintptr_t>(bar))},
                                 {"process", w->pid}});
    return true;
}

void MenuBars::Press(HWND bar, int key) {
    Bar* b = BarOf(bar);
    if (!b || key < 0 || key >= static_cast<int>(b->buttons.size())) return;
    const Bar::Button button = b->buttons[static_cast<size_t>(key)];
    if (!button.enabled) return;
    if (button.menuIndex >= 0) {
        if (popup_ && popupBar_ == bar && popupKey_ == key)
            ClosePopup();
        else
            OpenMenu(bar, key);
        return;
    }
    ClosePopup();
    platform_.timeline().Record("menubar.command",
                                {{"window", uint64_t(reinterpret_cast<uintptr_t>(bar))},
                                 {"command", DWORD(button.command)}});
    if (auto owner = W().Get(b->owner))
        W().Send(owner, WM_COMMAND, MAKEWPARAM(button.command, 0), 0);
}

std::vector<RECT> MenuBars::PopupRows() const {
    std::vector<RECT> rows;
    Bar* b = BarOf(popupBar_);
    if (!b || popupKey_ < 0) return rows;
    const Menu& menu =
        *b->menu->items[static_cast<size_t>(b->buttons[static_cast<size_t>(popupKey_)].menuIndex)]
             .popup;
    int s = Scale(platform_);
    const gdi::Font& font = BarFont(platform_, false);
    LONG width = 80 * s;
    for (const MenuItem& item : menu.items)
        width = std::max<LONG>(width, gdi::MeasureText(font, Plain(item.text)).cx + 24 * s);
    LONG y = 2 * s;
    for (const MenuItem& item : menu.items) {
        LONG h = (item.flags & MF_SEPARATOR) ? 7 * s : font.Metrics().height + 8 * s;
        rows.push_back({2 * s, y, width - 2 * s, y + h});
        y += h;
    }
    return rows;
}

void MenuBars::OpenMenu(HWND bar, int key) {
    ClosePopup();
    Bar* b = BarOf(bar);
    const Bar::Button& button = b->buttons[static_cast<size_t>(key)];
    const MenuItem& top = b->menu->items[static_cast<size_t>(button.menuIndex)];
    for (const MenuItem& item : top.popup->items)
        if (item.popup) NotEmulated("SHCreateMenuBar", "a popup within a menu bar's popup");
    popupBar_ = bar;
    popupKey_ = key;
    std::vector<RECT> rows = PopupRows();
    int s = Scale(platform_);
    LONG width = rows.empty() ? 80 * s : rows.front().right + 2 * s;
    LONG height = (rows.empty() ? 0 : rows.back().bottom) + 2 * s;
    WindowManager& wm = platform_.Get<WindowManager>();
    auto w = wm.Get(bar);
    RECT r = w->Physical();
    // Above its soft key's outer corner, or above its menu's left edge.
    LONG left = key == 0 ? r.left : r.right - width;
    if (b->textMenus)
        left = std::min(r.left + KeyRects(bar)[static_cast<size_t>(key)].left, r.right - width);
    WindowManager::CreateArgs a;
    a.cls = wm.FindClass(u"menu_popup", w->pid);
    a.style = WS_POPUP;
    a.exStyle = WS_EX_NOACTIVATE;
    a.rect = {left, r.top - height, left + width, r.top};
    a.owner = w->owner;
    a.scale = 1;
    popup_ = wm.Create(a);
    popupPressed_ = -1;
    if (auto p = wm.Get(popup_)) {
        wm.Show(p, SW_SHOWNA);
        wm.SetDismissable(popup_);
    }
    platform_.timeline().Record("menubar.popup",
                                {{"window", uint64_t(reinterpret_cast<uintptr_t>(bar))},
                                 {"key", key},
                                 {"menu", Narrow(Plain(top.text))}});
}

void MenuBars::ClosePopup() {
    HWND popup = std::exchange(popup_, nullptr);
    popupBar_ = nullptr;
    popupKey_ = -1;
    if (auto p = platform_.Get<WindowManager>().Get(popup))
        platform_.Get<WindowManager>().Destroy(popup);
}

std::vector<MenuBars::PopupItem> MenuBars::PopupItems() const {
    std::vector<PopupItem> items;
    Bar* b = BarOf(popupBar_);
    auto p = platform_.Get<WindowManager>().Get(popup_);
    if (!b || !p) return items;
    const Menu& menu =
        *b->menu->items[static_cast<size_t>(b->buttons[static_cast<size_t>(popupKey_)].menuIndex)]
             .popup;
    std::vector<RECT> rows = PopupRows();
    RECT at = p->Physical();
    for (size_t i = 0; i < menu.items.size(); ++i) {
        const MenuItem& item = menu.items[i];
        RECT r = rows[i];
        items.push_back({Plain(item.text),
                         item.id,
                         !(item.flags & (MF_GRAYED | MF_DISABLED)),
                         (item.flags & MF_SEPARATOR) != 0,
                         {at.left + r.left, at.top + r.top, at.left + r.right, at.top + r.bottom}});
    }
    return items;
}

void MenuBars::PaintBar(HWND hwnd) {
    WindowManager& wm = platform_.Get<WindowManager>();
    auto w = wm.Get(hwnd);
    Bar* b = BarOf(hwnd);
    PAINTSTRUCT ps;
    HDC dc = wm.BeginPaint(w, &ps);
    Painter paint(platform_, dc);
    if (b->textMenus) {
        PaintMenus(hwnd, paint);
        wm.EndPaint(*w, &ps);
        return;
    }
    int s = Scale(platform_);
    LONG width = w->Width(), height = w->Height();
    for (LONG y = 0; y < height; ++y) {
        int f = static_cast<int>(y * 255 / std::max<LONG>(1, height - 1));
        COLORREF c =
            b->ownBackground
                ? b->background
                : RGB(GetRValue(kBarTop) + (GetRValue(kBarBottom) - GetRValue(kBarTop)) * f / 255,
                      GetGValue(kBarTop) + (GetGValue(kBarBottom) - GetGValue(kBarTop)) * f / 255,
                      GetBValue(kBarTop) + (GetBValue(kBarBottom) - GetBValue(kBarTop)) * f / 255);
        paint.Fill({0, y, width, y + 1}, c);
    }
    const gdi::Font& font = BarFont(platform_, true);
    std::vector<RECT> keys = KeyRects(hwnd);
    for (size_t i = 0; i < b->buttons.size(); ++i) {
        const RECT& key = keys[i];
        bool open = popup_ && popupBar_ == hwnd && popupKey_ == static_cast<int>(i);
        if (b->pressed == static_cast<int>(i) || open)
            paint.Fill({key.left + s, key.top + s, key.right - s, key.bottom - s}, kBarTop);
        paint.Text(key, b->buttons[i].text, font, DT_SINGLELINE | DT_CENTER | DT_VCENTER,
                   b->buttons[i].enabled ? RGB(255, 255, 255) : RGB(140, 160, 190));
    }
    if (b->buttons.size() > 1)
        paint.Fill({width / 2, 4 * s, width / 2 + s, height - 4 * s}, kBarTop);
    wm.EndPaint(*w, &ps);
}

// Pocket PC 2003's bar: a grey strip under a dark line, its menus' names in
// black on the left (the pressed or open one in the highlight), and the
// input panel's button on the right: a keyboard with the arrow of its menu.
void MenuBars::PaintMenus(HWND hwnd, Painter& paint) {
    auto w = platform_.Get<WindowManager>().Get(hwnd);
    Bar* b = BarOf(hwnd);
    int s = Scale(platform_);
    LONG width = w->Width(), height = w->Height();
    paint.Fill({0, 0, width, height}, b->ownBackground ? b->background : look::kLight);
    paint.Fill({0, 0, width, s}, look::kShadow);
    const gdi::Font& font = BarFont(platform_, false);
    std::vector<RECT> keys = KeyRects(hwnd);
    for (size_t i = 0; i < b->buttons.size(); ++i) {
        RECT key = keys[i];
        key.top += s;
        bool open = popup_ && popupBar_ == hwnd && popupKey_ == static_cast<int>(i);
        bool hot = b->pressed == static_cast<int>(i) || open;
        if (hot) paint.Fill(key, look::kHighlight);
        paint.Text(key, b->buttons[i].text, font, DT_SINGLELINE | DT_CENTER | DT_VCENTER,
                   !b->buttons[i].enabled ? look::kGreyText
                   : hot                  ? look::kHighlightText
                                          : look::kText);
    }
    RECT sip = SipRect(hwnd);
    if (sip.right == sip.left) return;
    LONG cx = (sip.left + sip.right) / 2, cy = height / 2 + s / 2;
    RECT board{cx - 13 * s, cy - 6 * s, cx + 7 * s, cy + 6 * s};
    paint.Fill(board, look::kFace);
    paint.Frame(board, s, look::kText);
    for (LONG row = 0; row < 2; ++row)
        for (LONG col = 0; col < 5; ++col) {
            LONG x = board.left + (3 + 3 * col) * s, y = board.top + (3 + 3 * row) * s;
            paint.Fill({x, y, x + 2 * s, y + 2 * s}, look::kText);
        }
    paint.Fill({board.left + 6 * s, board.top + 9 * s, board.right - 6 * s, board.top + 10 * s},
               look::kText);
    paint.UpArrow({cx + 9 * s, cy - 3 * s, cx + 16 * s, cy + 3 * s}, look::kText);
}

void MenuBars::PaintPopup(HWND hwnd) {
    WindowManager& wm = platform_.Get<WindowManager>();
    auto w = wm.Get(hwnd);
    PAINTSTRUCT ps;
    HDC dc = wm.BeginPaint(w, &ps);
    Painter paint(platform_, dc);
    int s = Scale(platform_);
    RECT all{0, 0, w->Width(), w->Height()};
    paint.Fill(all, look::kFace);
    paint.Frame(all, s, look::kText);
    std::vector<PopupItem> items = PopupItems();
    std::vector<RECT> rows = PopupRows();
    const gdi::Font& font = BarFont(platform_, false);
    for (size_t i = 0; i < items.size() && i < rows.size(); ++i) {
        RECT r = rows[i];
        if (items[i].separator) {
            LONG mid = (r.top + r.bottom) / 2;
            paint.Fill({r.left + 2 * s, mid, r.right - 2 * s, mid + s}, look::kShadow);
            continue;
        }
        bool hot = popupPressed_ == static_cast<int>(i) && items[i].enabled;
        if (hot) paint.Fill(r, look::kHighlight);
        paint.Text({r.left + 8 * s, r.top, r.right, r.bottom}, items[i].text, font,
                   DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
                   !items[i].enabled ? look::kGreyText
                   : hot             ? look::kHighlightText
                                     : look::kText);
    }
    wm.EndPaint(*w, &ps);
}

LRESULT CALLBACK MenuBars::BarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Platform& p = Platform::Current();
    MenuBars& bars = p.Get<MenuBars>();
    WindowManager& wm = p.Get<WindowManager>();
    auto w = wm.Get(hwnd);
    Bar* b = bars.BarOf(hwnd);
    if (!w || !b) return wm.DefProc(hwnd, message, wParam, lParam);
    auto repaint = [&] { wm.Invalidate(*w, nullptr, false); };
    switch (message) {
    case WM_PAINT:
        bars.PaintBar(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        b->pressed = bars.KeyAt(hwnd, lParam);
        repaint();
        return 0;
    case WM_LBUTTONUP: {
        int key = bars.KeyAt(hwnd, lParam);
        int was = std::exchange(b->pressed, -1);
        repaint();
        if (key >= 0 && key == was) bars.Press(hwnd, key);
        POINT at{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        if (Inside(at, bars.SipRect(hwnd)))
            NotEmulated("menu bar", "the input panel's button (the input panel)");
        return 0;
    }
    case kSoftKeyDown:
        b->pressed = static_cast<int>(wParam);
        repaint();
        return 0;
    case kSoftKeyUp:
        b->pressed = -1;
        repaint();
        bars.Press(hwnd, static_cast<int>(wParam));
        return 0;
    case SHCMBM_GETMENU:
        if (!b->menu) return 0;
        if (!b->menuHandle)
            b->menuHandle = reinterpret_cast<HMENU>(p.handles().Add(kMenu, w->pid, b->menu, false));
        return reinterpret_cast<LRESULT>(b->menuHandle);
    case SHCMBM_GETSUBMENU:
        for (auto& button : b->buttons)
            if (button.menuIndex >= 0 && static_cast<LPARAM>(button.id) == lParam)
                return reinterpret_cast<LRESULT>(
                    SubMenuHandle(p, b->menu->items[static_cast<size_t>(button.menuIndex)]));
        return 0;
    case WM_DESTROY:
        if (bars.popupBar_ == hwnd) bars.ClosePopup();
        if (b->menuHandle) p.handles().Remove(reinterpret_cast<uintptr_t>(b->menuHandle), kMenu);
        if (b->menu)
            for (MenuItem& item : b->menu->items)
                if (item.handle)
                    p.handles().Remove(
                        reinterpret_cast<uintptr_t>(std::exchange(item.handle, nullptr)), kMenu);
        std::erase(bars.bars_, hwnd);
        p.timeline().Record("menubar.destroy",
                            {{"window", uint64_t(reinterpret_cast<uintptr_t>(hwnd))}});
        return 0;
    default:
        if (message >= WM_USER + 400 && message < WM_USER + 410)
            NotEmulated("menu bar", "message " + Hex32(message));
        return wm.DefProc(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK MenuBars::PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Platform& p = Platform::Current();
    MenuBars& bars = p.Get<MenuBars>();
    WindowManager& wm = p.Get<WindowManager>();
    auto w = wm.Get(hwnd);
    if (!w || hwnd != bars.popup_) return wm.DefProc(hwnd, message, wParam, lParam);
    auto rowAt = [&](LPARAM at) {
        POINT pt{static_cast<SHORT>(LOWORD(at)), static_cast<SHORT>(HIWORD(at))};
        std::vector<RECT> rows = bars.PopupRows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (Inside(pt, rows[i])) return static_cast<int>(i);
        return -1;
    };
    switch (message) {
    case WM_PAINT:
        bars.PaintPopup(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
        if (int row = rowAt(lParam); row != bars.popupPressed_) {
            bars.popupPressed_ = row;
            wm.Invalidate(*w, nullptr, false);
        }
        return 0;
    case WM_LBUTTONUP: {
        int row = rowAt(lParam);
        std::vector<PopupItem> items = bars.PopupItems();
        if (row < 0 || items[static_cast<size_t>(row)].separator ||
            !items[static_cast<size_t>(row)].enabled)
            return 0;
        Bar* b = bars.BarOf(bars.popupBar_);
        HWND bar = bars.popupBar_;
        HWND owner = b ? b->owner : nullptr;
        UINT command = items[static_cast<size_t>(row)].command;
        bars.ClosePopup();
        if (auto barWindow = wm.Get(bar)) wm.Invalidate(*barWindow, nullptr, false);
        p.timeline().Record(
            "menubar.command",
            {{"window", uint64_t(reinterpret_cast<uintptr_t>(bar))}, {"command", DWORD(command)}});
        if (auto o = wm.Get(owner)) wm.Send(o, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        return 0;
    }
    case WM_CANCELMODE: {
        HWND bar = bars.popupBar_;
        bars.ClosePopup();
        if (auto barWindow = wm.Get(bar)) wm.Invalidate(*barWindow, nullptr, false);
        return 0;
    }
    default:
        return wm.DefProc(hwnd, message, wParam, lParam);
    }
}

HWND MenuBars::Make(const SHMENUBARINFO& info, DWORD* error) {
    Platform& p = platform_;
    WindowManager& wm = p.Get<WindowManager>();
    auto bar = std::make_shared<Bar>();
    auto ownerWindow = wm.TopLevel(wm.Get(info.hwndParent));
    bar->owner = ownerWindow->handle;
    if (info.dwFlags & SHCMBF_COLORBK) {
        bar->background = info.clrBk;
        bar->ownBackground = true;
    }
    bar->textMenus = p.Get<Shell>().BuiltFor(p.CurrentPid()) < 0x500;
    bar->sipButton = !(info.dwFlags & SHCMBF_HIDESIPBUTTON);
    const ResFile* file = p.Get<Resources>().Find(info.hInstRes);
    auto refuse = [&](const std::string& what, const std::string& why) {
        p.timeline().Record("menubar.refused", {{"resource", what}, {"why", why}});
        *error = ERROR_INVALID_DATA;
        return nullptr;
    };
    if (!(info.dwFlags & SHCMBF_EMPTYBAR)) {
        if (!file) {
            *error =
                p.IsModule(info.hInstRes) ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_INVALID_HANDLE;
            return nullptr;
        }
        uint16_t language = p.Get<Resources>().Language();
        auto text = [&](UINT id) {
            auto s = file->String(id, language);
            return s ? std::u16string(*s) : std::u16string();
        };
        if (info.dwFlags & SHCMBF_HMENU) {
            bar->menu = LoadMenuResource(info.hInstRes, MAKEINTRESOURCE(info.nToolBarId), error);
            if (!bar->menu) return nullptr;
            for (size_t i = 0; i < bar->menu->items.size(); ++i) {
                const MenuItem& item = bar->menu->items[i];
                Bar::Button b;
                b.text = Plain(item.text);
                b.enabled = !(item.flags & (MF_GRAYED | MF_DISABLED));
                b.id = item.id;
                if (item.popup)
                    b.menuIndex = static_cast<int>(i);
                else
                    b.command = item.id;
                bar->buttons.push_back(b);
            }
        } else {
            std::string name = "menu bar " + std::to_string(info.nToolBarId);
            const ResEntry* e =
                file->Find(kRtRcData, static_cast<uint16_t>(info.nToolBarId), language);
            if (!e) {
                *error = ERROR_RESOURCE_NAME_NOT_FOUND;
                return nullptr;
            }
            auto d = e->data;
            if (d.size() < 4)
                return refuse(name, name + ": byte 0: shorter than its menu id and button count");
            uint16_t menuId = GetLe16(d.data()), count = GetLe16(d.data() + 2);
            if (d.size() < 4 + 14 * size_t(count))
                return refuse(name, name + ": byte " + std::to_string(d.size()) + ": " +
                                        std::to_string(count) + " buttons need " +
                                        std::to_string(4 + 14 * count) + " bytes");
            if (menuId) {
                bar->menu = LoadMenuResource(info.hInstRes, MAKEINTRESOURCE(menuId), error);
                if (!bar->menu) return nullptr;
            }
            for (uint16_t i = 0; i < count; ++i) {
                const unsigned char* at = d.data() + 4 + 14 * i;
                size_t offset = 4 + 14 * size_t(i);
                auto image = static_cast<int16_t>(GetLe16(at));
                if (image != I_IMAGENONE)
                    NotEmulated("SHCreateMenuBar", name + ": button " + std::to_string(i + 1) +
                                                       " has image " + std::to_string(image));
                Bar::Button b;
                b.id = b.command = GetLe16(at + 2);
                b.enabled = (GetLe16(at + 4) & TBSTATE_ENABLED) != 0;
                UINT stringId = GetLe16(at + 8);
                uint16_t menuIndex = GetLe16(at + 12);
                if (menuIndex != NOMENU) {
                    if (!bar->menu || menuIndex >= bar->menu->items.size() ||
                        !bar->menu->items[menuIndex].popup)
                        return refuse(name, name + ": byte " + std::to_string(offset + 12) +
                                                ": button " + std::to_string(i + 1) +
                                                " opens item " + std::to_string(menuIndex) +
                                                ", which is no popup of menu " +
                                                std::to_string(menuId));
                    b.menuIndex = menuIndex;
                    b.command = 0;
                }
                b.text = stringId ? text(stringId) : std::u16string();
                if (b.text.empty() && b.menuIndex >= 0)
                    b.text = Plain(bar->menu->items[menuIndex].text);
                if (stringId && text(stringId).empty())
                    return refuse(name, name + ": byte " + std::to_string(offset + 8) +
                                            ": button " + std::to_string(i + 1) + " names string " +
                                            std::to_string(stringId) + ", which the module lacks");
                bar->buttons.push_back(b);
            }
        }
    }
    if (bar->buttons.size() > 2)
        NotEmulated("SHCreateMenuBar",
                    std::to_string(bar->buttons.size()) + " buttons (two soft keys at most)");
    wm.AddSystemClass(u"menu_worker", BarProc, nullptr);
    wm.AddSystemClass(u"menu_popup", PopupProc, nullptr);
    RECT screen = wm.ScreenRect();
    LONG height = wm.MenuBarHeight();
    WindowManager::CreateArgs a;
    a.cls = wm.FindClass(u"menu_worker", p.CurrentPid());
    a.style = WS_POPUP;
    a.exStyle = WS_EX_NOACTIVATE;
    a.rect = {0, screen.bottom - height, screen.right, screen.bottom};
    a.owner = bar->owner;
    a.scale = 1;
    a.extra = bar;
    HWND window = wm.Create(a);
    if (!window) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    bars_.push_back(window);
    if (!(info.dwFlags & SHCMBF_HIDDEN)) wm.Show(wm.Get(window), SW_SHOWNA);
    p.timeline().Record("menubar.create",
                        {{"window", uint64_t(reinterpret_cast<uintptr_t>(window))},
                         {"owner", uint64_t(reinterpret_cast<uintptr_t>(bar->owner))},
                         {"resource", DWORD(info.nToolBarId)},
                         {"keys", DWORD(bar->buttons.size())},
                         {"look", bar->textMenus ? "menus" : "soft keys"}});
    return window;
}

void PressSoftKey(Device& d, int index) {
    PressKey(d, index == 0 ? VK_TSOFT1 : VK_TSOFT2);
}

void TapSoftKey(Device& d, int index) {
    MenuBars& bars = d.Get<MenuBars>();
    HWND bar = bars.Of(d.Get<WindowManager>().Foreground());
    auto keys = bars.Keys(bar);
    if (index < 0 || index >= static_cast<int>(keys.size()))
        Platform::Fatal("TapSoftKey(" + std::to_string(index) +
                        "): the foreground window's menu bar has " + std::to_string(keys.size()) +
                        " keys");
    Tap(d, Centre(keys[static_cast<size_t>(index)].rect));
}

void PickMenuItem(Device& d, std::u16string_view text) {
    MenuBars& bars = d.Get<MenuBars>();
    if (!bars.OpenPopup())
        Platform::Fatal("PickMenuItem(\"" + Narrow(text) + "\"): no menu is open");
    for (const auto& item : bars.PopupItems())
        if (!item.separator && SameText(item.text, Plain(text))) {
            Tap(d, Centre(item.rect));
            return;
        }
    Platform::Fatal("PickMenuItem(\"" + Narrow(text) + "\"): the open menu has no such item");
}

} // namespace handset

using handset::Enter;
using handset::Fail;

// Errors the documents leave open, as the handset answers them: no
// structure or a cbSize of neither layout ERROR_INVALID_PARAMETER; no owner
// window ERROR_INVALID_WINDOW_HANDLE; the resource errors of the menu and
// the SHMENUBAR resource.
HANDSET_API(BOOL, SHCreateMenuBar, (SHMENUBARINFO * pmbi), (pmbi)) {
    if (auto e = Enter("SHCreateMenuBar")) return Fail(*e, FALSE);
    handset::Platform& p = handset::Platform::Current();
    handset::WindowManager& wm = p.Get<handset::WindowManager>();
    wm.Own();
    // The layout before clrBk (Pocket PC 2002) and the one with it.
    if (!pmbi ||
        (pmbi->cbSize != sizeof(SHMENUBARINFO) && pmbi->cbSize != offsetof(SHMENUBARINFO, clrBk)))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!wm.Get(pmbi->hwndParent)) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    const DWORD known =
        SHCMBF_EMPTYBAR | SHCMBF_HIDDEN | SHCMBF_HIDESIPBUTTON | SHCMBF_COLORBK | SHCMBF_HMENU;
    if (pmbi->dwFlags & ~known)
        handset::NotEmulated("SHCreateMenuBar", "dwFlags " + handset::Hex32(pmbi->dwFlags));
    if ((pmbi->dwFlags & SHCMBF_COLORBK) && pmbi->cbSize < sizeof(SHMENUBARINFO))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (pmbi->nBmpId || pmbi->cBmpImages)
        handset::NotEmulated("SHCreateMenuBar",
                             "nBmpId " + std::to_string(pmbi->nBmpId) + " (button images)");
    DWORD error = 0;
    HWND bar = p.Get<handset::MenuBars>().Make(*pmbi, &error);
    if (!bar) return Fail(error, FALSE);
    pmbi->hwndMB = bar;
    return TRUE;
}
