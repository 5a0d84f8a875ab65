// The system windows' painter and their fonts.
#include "user/draw.h"

#include <algorithm>

#include "device/platform.h"
#include "gdi/gdi.h"
#include "gdi/text.h"
#include "user/window_manager.h"

namespace handset {

Painter::Painter(Platform& platform, HDC dc) {
    if (auto context = platform.Get<Gdi>().FindDC(dc)) ok_ = gdi::TargetOf(*context, &target_);
}

gdi::Surface Painter::On(const RECT& clip) const {
    gdi::Surface s = target_.surface;
    s.clip = clip;
    return s;
}

void Painter::Fill(const RECT& r, COLORREF colour) {
    if (!ok_) return;
    for (const RECT& clip : target_.clips)
        gdi::FillSolid(On(clip), r, gdi::ToRgb565(colour));
}

void Painter::Frame(const RECT& r, int width, COLORREF colour) {
    Fill({r.left, r.top, r.right, r.top + width}, colour);
    Fill({r.left, r.bottom - width, r.right, r.bottom}, colour);
    Fill({r.left, r.top, r.left + width, r.bottom}, colour);
    Fill({r.right - width, r.top, r.right, r.bottom}, colour);
}

void Painter::Sunken(const RECT& r) {
    Fill({r.left, r.top, r.right, r.top + 1}, look::kShadow);
    Fill({r.left, r.top, r.left + 1, r.bottom}, look::kShadow);
    Fill({r.left, r.bottom - 1, r.right, r.bottom}, look::kLight);
    Fill({r.right - 1, r.top, r.right, r.bottom}, look::kLight);
}

void Painter::Text(RECT r, std::u16string_view text, const gdi::Font& font, UINT format,
                   COLORREF colour) {
    if (!ok_) return;
    gdi::TextStyle style;
    style.textColor = colour;
    style.opaque = false;
    for (const RECT& clip : target_.clips) {
        gdi::Surface s = On(clip);
        RECT box = r;
        gdi::DrawFormatted(&s, font, text, &box, format, style);
    }
}

void Painter::DownArrow(const RECT& r, COLORREF colour) {
    LONG width = std::max<LONG>(3, ((r.right - r.left) / 2) | 1); // odd: a point in the middle
    LONG rows = (width + 1) / 2;
    LONG left = (r.left + r.right - width) / 2, top = (r.top + r.bottom - rows) / 2;
    for (LONG i = 0; i < rows; ++i)
        Fill({left + i, top + i, left + width - i, top + i + 1}, colour);
}

void Painter::UpArrow(const RECT& r, COLORREF colour) {
    LONG width = std::max<LONG>(3, ((r.right - r.left) / 2) | 1);
    LONG rows = (width + 1) / 2;
    LONG left = (r.left + r.right - width) / 2, top = (r.top + r.bottom - rows) / 2;
    for (LONG i = 0; i < rows; ++i)
        Fill({left + i, top + rows - 1 - i, left + width - i, top + rows - i}, colour);
}

void Painter::Pixels(int x, int y, int width, int height, const std::vector<uint32_t>& argb) {
    if (!ok_) return;
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) {
            uint32_t p = argb[static_cast<size_t>(row) * width + col];
            unsigned a = p >> 24;
            if (a == 0) continue;
            COLORREF c = RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
            if (a < 255) {
                // Over the white face, which is what the system's windows
                // draw icons on.
                auto mix = [&](unsigned v) { return (v * a + 255 * (255 - a) + 127) / 255; };
                c = RGB(mix(GetRValue(c)), mix(GetGValue(c)), mix(GetBValue(c)));
            }
            Fill({x + col, y + row, x + col + 1, y + row + 1}, c);
        }
}

const gdi::Font& ControlFont(Platform& platform, HFONT font, HWND window) {
    Gdi& gdi = platform.Get<Gdi>();
    auto object = gdi.FindObject(font);
    if (!object || object->type != gdi::ObjectType::Font)
        object = gdi.FindObject(gdi.Stock(SYSTEM_FONT));
    auto w = platform.Get<WindowManager>().Get(window);
    gdi::DeviceContext probe(gdi::DeviceContext::Kind::Window);
    probe.scale = w ? w->scale : 1;
    return gdi.Realize(*object, probe);
}

} // namespace handset
