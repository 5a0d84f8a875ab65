// Starting the phone's programs, and what the driver reads of them.
#include "apps/apps.h"

#include "apps/programs.h"
#include "gdi/gdi.h"
#include "user/window_manager.h"

namespace handset::apps {

Programs& State() {
    return Platform::Current().Get<Programs>();
}

int Scale() {
    return std::max(1, Platform::Current().Get<Screen>().Dpi() / 96);
}

void FillColour(HDC dc, RECT r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void FrameColour(HDC dc, RECT r, int width, COLORREF colour) {
    FillColour(dc, {r.left, r.top, r.right, r.top + width}, colour);
    FillColour(dc, {r.left, r.bottom - width, r.right, r.bottom}, colour);
    FillColour(dc, {r.left, r.top, r.left + width, r.bottom}, colour);
    FillColour(dc, {r.right - width, r.top, r.right, r.bottom}, colour);
}

void DrawLabel(HDC dc, RECT r, std::u16string_view text, int em, bool bold, COLORREF colour,
               UINT format) {
    LOGFONTW lf{};
    lf.lfHeight = -em;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    std::char_traits<char16_t>::copy(lf.lfFaceName, u"Tahoma", 7);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, format | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
}

PhoneShell StartPhoneShell(Device& d, PhoneShellOptions options) {
    d.Get<Programs>().options = options;
    d.RegisterProgram(kShellPath, TodayMain);
    d.RegisterProgram(kPhonePath, PhoneMain);
    PhoneShell started;
    started.shell = d.StartProgram(kShellPath);
    d.RunUntilIdle();
    started.phone = d.StartProgram(kPhonePath);
    d.RunUntilIdle();
    return started;
}

HWND PhoneWindow(Device& d) {
    HWND w = d.Get<Programs>().phone.window;
    return d.Get<WindowManager>().Get(w) ? w : nullptr;
}

HWND TodayWindow(Device& d) {
    HWND w = d.Get<Programs>().today;
    return d.Get<WindowManager>().Get(w) ? w : nullptr;
}

RECT PhoneButtonRect(Device& d, PhoneButton button) {
    auto info = d.Get<WindowManager>().Info(PhoneWindow(d));
    if (!info) Platform::Fatal("PhoneButtonRect: the Phone program does not run");
    PhoneLayout l = LayOutPhone(info->rect.right - info->rect.left,
                                info->rect.bottom - info->rect.top, Scale());
    RECT r = l.buttons[static_cast<int>(button)];
    return {r.left + info->rect.left, r.top + info->rect.top, r.right + info->rect.left,
            r.bottom + info->rect.top};
}

bool PhoneMuted(Device& d) {
    return d.Get<Programs>().phone.muted;
}

} // namespace handset::apps
