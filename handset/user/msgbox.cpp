// MessageBoxW: a box in the phone's look (a blue caption bar, the icon, the
// text, push buttons) owned by the caller's window, and the modal loop that
// runs the caller's messages until a button is pressed: by a tap (down and
// up on the same button), by the centre key (the default button) or by the
// driver. The box draws itself with the gdi area's drawing core rather than
// through the platform calls, as it is the platform's own: the program's
// fault plan does not reach it.
#include <windows.h>

#include <cmath>

#include "device/platform.h"
#include "device/relay.h"
#include "gdi/gdi.h"
#include "gdi/objects.h"
#include "gdi/text.h"
#include "user/window_manager.h"

namespace handset {

namespace {

constexpr UINT kAnswer = WM_USER + 0x7A00; // the driver's answer, posted to the box

struct Button {
    int id;
    const char16_t* label;
};

std::vector<Button> ButtonsOf(UINT type) {
    switch (type) {
    case MB_OK:
        return {{IDOK, u"OK"}};
    case MB_OKCANCEL:
        return {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    case MB_ABORTRETRYIGNORE:
        return {{IDABORT, u"Abort"}, {IDRETRY, u"Retry"}, {IDIGNORE, u"Ignore"}};
    case MB_YESNOCANCEL:
        return {{IDYES, u"Yes"}, {IDNO, u"No"}, {IDCANCEL, u"Cancel"}};
    case MB_YESNO:
        return {{IDYES, u"Yes"}, {IDNO, u"No"}};
    case MB_RETRYCANCEL:
        return {{IDRETRY, u"Retry"}, {IDCANCEL, u"Cancel"}};
    default:
        return {};
    }
}

// Where everything goes, in client coordinates, from the screen's size and
// density; painting lays the box out again the same way.
struct Layout {
    int scale = 1;
    RECT window = {}; // on the screen
    RECT caption = {};
    RECT icon = {}; // empty without an icon
    RECT text = {};
    std::vector<RECT> buttons;
    std::shared_ptr<const gdi::Font> font, bold, glyph;
};

std::shared_ptr<const gdi::Font> OpenFont(Gdi& gdi, int em, bool bold, int dpi) {
    gdi::FontRequest request;
    request.height = -em;
    request.weight = bold ? FW_BOLD : FW_NORMAL;
    request.logPixelsY = dpi;
    std::string error;
    auto font = gdi.Fonts().Open(request, &error);
    if (!font) Platform::Fatal("fonts: " + error);
    return font;
}

Layout LayOut(Platform& platform, std::u16string_view text, UINT style) {
    Gdi& gdi = platform.Get<Gdi>();
    const Screen& screen = platform.Get<Screen>();
    Layout l;
    int s = l.scale = std::max(1, screen.Dpi() / 96);
    l.font = OpenFont(gdi, 12 * s, false, screen.Dpi());
    l.bold = OpenFont(gdi, 12 * s, true, screen.Dpi());
    l.glyph = OpenFont(gdi, 22 * s, true, screen.Dpi());
    int margin = 6 * s, pad = 8 * s, width = screen.Width() - 2 * margin;
    l.caption = {0, 0, width, 20 * s};
    int top = l.caption.bottom + pad, left = pad;
    if (style & MB_ICONMASK) {
        l.icon = {pad, top, pad + 32 * s, top + 32 * s};
        left = l.icon.right + pad;
    }
    RECT measured{left, top, width - pad, top};
    gdi::DrawFormatted(nullptr, *l.font, text, &measured, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX,
                       {});
    l.text = {left, top, width - pad, std::max(measured.bottom, top)};
    int row = std::max(l.text.bottom, l.icon.bottom) + pad;
    auto buttons = ButtonsOf(style & MB_TYPEMASK);
    std::vector<int> widths;
    int total = 0, gap = 6 * s;
    for (const Button& b : buttons) {
        int w = std::max<int>(56 * s, gdi::MeasureText(*l.font, b.label).cx + 16 * s);
        widths.push_back(w);
        total += w;
    }
    total += gap * (static_cast<int>(buttons.size()) - 1);
    int x = (width - total) / 2;
    for (int w : widths) {
        l.buttons.push_back({x, row, x + w, row + 22 * s});
        x += w + gap;
    }
    int height = row + 22 * s + pad;
    int y = (screen.Height() - height) / 2;
    l.window = {margin, y, margin + width, y + height};
    return l;
}

// Draws on a window device context's pixels, clip by clip.
class Painter {
  public:
    explicit Painter(Platform& platform, HDC dc) {
        if (auto context = platform.Get<Gdi>().FindDC(dc)) gdi::TargetOf(*context, &target_);
    }
    void Fill(const RECT& r, COLORREF colour) {
        for (const RECT& clip : target_.clips)
            gdi::FillSolid(On(clip), r, gdi::ToRgb565(colour));
    }
    void Frame(const RECT& r, int width, COLORREF colour) {
        Fill({r.left, r.top, r.right, r.top + width}, colour);
        Fill({r.left, r.bottom - width, r.right, r.bottom}, colour);
        Fill({r.left, r.top, r.left + width, r.bottom}, colour);
        Fill({r.right - width, r.top, r.right, r.bottom}, colour);
    }
    void Disc(const RECT& r, COLORREF colour) {
        double radius = (r.right - r.left) / 2.0;
        for (int y = r.top; y < r.bottom; ++y) {
            double dy = y + 0.5 - r.top - radius;
            auto half =
                static_cast<LONG>(std::lround(std::sqrt(std::max(0.0, radius * radius - dy * dy))));
            LONG mid = (r.left + r.right) / 2;
            Fill({mid - half, y, mid + half, y + 1}, colour);
        }
    }
    void Text(RECT r, std::u16string_view text, const gdi::Font& font, UINT format,
              COLORREF colour) {
        gdi::TextStyle style;
        style.textColor = colour;
        style.opaque = false;
        for (const RECT& clip : target_.clips) {
            gdi::Surface s = On(clip);
            RECT box = r;
            gdi::DrawFormatted(&s, font, text, &box, format | DT_NOPREFIX, style);
        }
    }

  private:
    gdi::Surface On(const RECT& clip) const {
        gdi::Surface s = target_.surface;
        s.clip = clip;
        return s;
    }
    gdi::Target target_;
};

const COLORREF kCaptionBlue = RGB(16, 72, 160);
const COLORREF kButtonFace = RGB(238, 238, 238);

void PaintBox(Platform& platform, const std::shared_ptr<Window>& w, const MessageBoxInfo& box,
              int pressed) {
    WindowManager& wm = platform.Get<WindowManager>();
    PAINTSTRUCT ps;
    HDC dc = wm.BeginPaint(w, &ps);
    Layout l = LayOut(platform, box.text, box.style);
    int s = l.scale;
    Painter p(platform, dc);
    RECT all{0, 0, w->Width(), w->Height()};
    p.Fill(all, RGB(255, 255, 255));
    p.Fill(l.caption, kCaptionBlue);
    RECT captionText{l.caption.left + 6 * s, l.caption.top, l.caption.right - 6 * s,
                     l.caption.bottom};
    p.Text(captionText, box.caption, *l.bold, DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS,
           RGB(255, 255, 255));
    if (box.style & MB_ICONMASK) {
        struct Look {
            COLORREF disc, ink;
            const char16_t* mark;
        } look;
        switch (box.style & MB_ICONMASK) {
        case MB_ICONHAND:
            look = {RGB(204, 24, 24), RGB(255, 255, 255), u"\u00D7"};
            break;
        case MB_ICONQUESTION:
            look = {RGB(24, 88, 200), RGB(255, 255, 255), u"?"};
            break;
        case MB_ICONEXCLAMATION:
            look = {RGB(240, 176, 0), RGB(0, 0, 0), u"!"};
            break;
        default:
            look = {RGB(24, 88, 200), RGB(255, 255, 255), u"i"};
            break;
        }
        p.Disc(l.icon, look.disc);
        p.Text(l.icon, look.mark, *l.glyph, DT_SINGLELINE | DT_CENTER | DT_VCENTER, look.ink);
    }
    p.Text(l.text, box.text, *l.font, DT_WORDBREAK, RGB(0, 0, 0));
    int defaultIndex = static_cast<int>((box.style & MB_DEFMASK) >> 8);
    for (size_t i = 0; i < l.buttons.size(); ++i) {
        bool down = pressed == static_cast<int>(i);
        p.Fill(l.buttons[i], down ? RGB(0, 0, 0) : kButtonFace);
        p.Frame(l.buttons[i], static_cast<int>(i) == defaultIndex ? 2 * s : s, RGB(0, 0, 0));
        p.Text(l.buttons[i], ButtonsOf(box.style & MB_TYPEMASK)[i].label, *l.font,
               DT_SINGLELINE | DT_CENTER | DT_VCENTER, down ? RGB(255, 255, 255) : RGB(0, 0, 0));
    }
    p.Frame(all, s, RGB(0, 0, 0));
    wm.EndPaint(*w, &ps);
}

// The button under a client point, or -1.
int ButtonAt(const MessageBoxInfo& box, const Window& w, LPARAM at) {
    POINT p{w.rect.left + static_cast<SHORT>(LOWORD(at)),
            w.rect.top + static_cast<SHORT>(HIWORD(at))};
    for (size_t i = 0; i < box.buttonRects.size(); ++i) {
        const RECT& r = box.buttonRects[i];
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom)
            return static_cast<int>(i);
    }
    return -1;
}

LRESULT CALLBACK MessageBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Platform& platform = Platform::Current();
    WindowManager& wm = platform.Get<WindowManager>();
    auto w = wm.Get(hwnd);
    MessageBoxInfo* box = wm.FindBox(hwnd);
    if (!w || !box) return wm.DefProc(hwnd, message, wParam, lParam);
    auto answer = [&](int index, const char* by) {
        box->answer = box->buttons[static_cast<size_t>(index)];
        box->answeredBy = by;
    };
    switch (message) {
    case WM_PAINT:
        PaintBox(platform, w, *box, box->pressed);
        return 0;
    case WM_LBUTTONDOWN:
        box->pressed = ButtonAt(*box, *w, lParam);
        if (box->pressed >= 0) wm.Invalidate(*w, nullptr, false);
        return 0;
    case WM_LBUTTONUP: {
        int at = ButtonAt(*box, *w, lParam);
        if (box->pressed >= 0 && at == box->pressed) answer(at, "tap");
        if (box->pressed >= 0) wm.Invalidate(*w, nullptr, false);
        box->pressed = -1;
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            int index = static_cast<int>((box->style & MB_DEFMASK) >> 8);
            answer(std::min<int>(index, static_cast<int>(box->buttons.size()) - 1), "key");
        }
        return 0;
    case kAnswer:
        return 0; // the driver set the answer; this only wakes the loop
    default:
        return wm.DefProc(hwnd, message, wParam, lParam);
    }
}

} // namespace

MessageBoxInfo* WindowManager::FindBox(HWND window) {
    for (auto it = boxes_.rbegin(); it != boxes_.rend(); ++it)
        if (it->window == window) return &*it;
    return nullptr;
}

const MessageBoxInfo* WindowManager::OpenMessageBox() const {
    for (auto it = boxes_.rbegin(); it != boxes_.rend(); ++it)
        if (it->window && it->answer == 0) return &*it;
    return nullptr;
}

void WindowManager::AnswerMessageBox(int button) {
    const MessageBoxInfo* open = OpenMessageBox();
    if (!open)
        Platform::Fatal("AnswerMessageBox(" + std::to_string(button) + "): no message box is open");
    MessageBoxInfo* box = FindBox(open->window);
    if (std::find(box->buttons.begin(), box->buttons.end(), button) == box->buttons.end())
        Platform::Fatal("AnswerMessageBox(" + std::to_string(button) + "): the open box \"" +
                        Narrow(box->caption) + "\" has no such button");
    box->answer = button;
    box->answeredBy = "driver";
    if (auto w = Get(box->window)) Post(w, kAnswer, 0, 0);
}

int WindowManager::RunMessageBox(HWND owner, std::u16string text, std::u16string caption,
                                 UINT style) {
    MessageQueue& q = Own();
    AddSystemClass(u"Dialog", MessageBoxProc, nullptr);
    Layout l = LayOut(platform_, text, style);

    MessageBoxInfo info;
    info.pid = platform_.CurrentPid();
    info.text = text;
    info.caption = caption;
    info.style = style;
    for (const Button& b : ButtonsOf(style & MB_TYPEMASK))
        info.buttons.push_back(b.id);
    for (RECT r : l.buttons) {
        r.left += l.window.left;
        r.right += l.window.left;
        r.top += l.window.top;
        r.bottom += l.window.top;
        info.buttonRects.push_back(r);
    }
    boxes_.push_back(info);
    size_t index = boxes_.size() - 1;

    // The owner takes no input while its box is up.
    auto ownerWindow = Get(owner);
    bool ownerWasEnabled = ownerWindow && ownerWindow->enabled;
    if (ownerWindow) ownerWindow->enabled = false;
    CreateArgs args;
    args.exStyle = (style & (MB_TOPMOST | MB_SYSTEMMODAL)) ? WS_EX_TOPMOST : 0;
    args.cls = FindClass(u"Dialog", 0);
    args.title = caption;
    args.style = WS_POPUP;
    args.rect = l.window;
    args.owner = ownerWindow ? owner : nullptr;
    HWND box = Create(args);
    boxes_[index].window = box;
    platform_.timeline().Record("msgbox.show",
                                {{"window", uint64_t(reinterpret_cast<uintptr_t>(box))},
                                 {"process", info.pid},
                                 {"text", text},
                                 {"caption", caption},
                                 {"style", DWORD(style)}});
    Show(Get(box), SW_SHOW);

    MSG m;
    for (;;) {
        MessageBoxInfo* mine = FindBox(box);
        if (mine->answer) break;
        NextMessage(&m, nullptr, 0, 0);
        if (m.message == WM_QUIT) {
            // The quit is for the caller's own loop; the box closes unanswered.
            q.quitPending = true;
            q.quitCode = static_cast<int>(m.wParam);
            FindBox(box)->answeredBy = "quit";
            break;
        }
        TranslateKey(q, m);
        Dispatch(m);
    }
    MessageBoxInfo& done = *FindBox(box);
    int answer = done.answer;
    std::string by = done.answeredBy;
    if (auto o = Get(owner); o && ownerWindow) o->enabled = ownerWasEnabled;
    Destroy(box);
    if (auto o = Get(owner); o && o->visible) SetForeground(o, false);
    platform_.timeline().Record("msgbox.answer",
                                {{"window", uint64_t(reinterpret_cast<uintptr_t>(box))},
                                 {"process", info.pid},
                                 {"button", answer},
                                 {"by", by}});
    return answer;
}

} // namespace handset

using handset::Enter;
using handset::Fail;
using handset::NotEmulated;

// Fails with ERROR_INVALID_PARAMETER for a button set the phone does not
// have, and ERROR_INVALID_WINDOW_HANDLE for an owner that is no window.
HANDSET_API(int, MessageBoxW, (HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType),
            (hWnd, lpText, lpCaption, uType)) {
    if (auto e = Enter("MessageBoxW")) return Fail(*e, 0);
    handset::WindowManager& wm = handset::Wm();
    wm.Own();
    if (hWnd && !wm.Get(hWnd)) return Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
    if ((uType & MB_TYPEMASK) > MB_RETRYCANCEL) return Fail(ERROR_INVALID_PARAMETER, 0);
    UINT known = MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK | MB_APPLMODAL | MB_SYSTEMMODAL |
                 MB_SETFOREGROUND | MB_TOPMOST;
    if (uType & ~known) NotEmulated("MessageBoxW", "uType " + handset::Hex32(uType));
    if ((uType & MB_ICONMASK) > MB_ICONASTERISK)
        NotEmulated("MessageBoxW", "uType icon " + handset::Hex32(uType & MB_ICONMASK));
    if (((uType & MB_DEFMASK) >> 8) >= handset::ButtonsOf(uType & MB_TYPEMASK).size())
        NotEmulated("MessageBoxW", "uType default button " + handset::Hex32(uType & MB_DEFMASK));
    return wm.RunMessageBox(hWnd, lpText ? lpText : u"", lpCaption ? lpCaption : u"Error", uType);
}
