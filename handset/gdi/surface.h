// RGB565 pixels as GDI on the phone's 16-bit display sees them: a view onto a
// framebuffer or DIB section with the clip and origin of the device context
// that draws into it, COLORREF conversion, solid fills and copies.
#pragma once

#include <windef.h>

#include <cstdint>

namespace handset::gdi {

// A view, not an owner: the bits stay the caller's. Logical coordinates
// (what device code passes) become surface pixels by adding origin and
// multiplying by scale; clip is in surface pixels and nothing outside it, or
// outside the surface, is ever written. A scale above 1 is the screen of a
// program that is not high-resolution aware: each of its logical pixels is a
// scale x scale block.
struct Surface {
    uint16_t* bits = nullptr; // pixel (0, 0), rows top-down
    int width = 0, height = 0;
    int pitch = 0;  // bytes from one row to the next
    RECT clip = {}; // right and bottom exclusive
    POINT origin = {};
    int scale = 1;

    // The whole of a buffer: clip is every pixel, origin (0, 0).
    static Surface Of(uint16_t* bits, int width, int height, int pitch);

    uint16_t* Row(int y) const {
        return reinterpret_cast<uint16_t*>(reinterpret_cast<unsigned char*>(bits) +
                                           static_cast<ptrdiff_t>(y) * pitch);
    }
    // clip cut down to the surface; empty (right <= left) when nothing shows.
    RECT DrawableArea() const;
};

// Each channel keeps its top bits, as GDI does when it realises a colour on
// a 5-6-5 display: red >> 3, green >> 2, blue >> 3.
constexpr uint16_t ToRgb565(COLORREF c) {
    return static_cast<uint16_t>((c & 0xF8) << 8 | (c >> 8 & 0xFC) << 3 | (c >> 19 & 0x1F));
}
// Back to 8 bits per channel by repeating the top bits into the low ones, so
// that 0 stays 0 and full stays 255 (GetPixel, screenshots).
constexpr COLORREF FromRgb565(uint16_t p) {
    unsigned r = p >> 11, g = p >> 5 & 0x3F, b = p & 0x1F;
    return (r << 3 | r >> 2) | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2) << 16;
}

// Intersection; empty when right <= left or bottom <= top.
RECT Intersect(const RECT& a, const RECT& b);
inline bool IsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// A logical rectangle in surface pixels: moved by origin, multiplied by scale.
RECT ToSurface(const Surface& s, const RECT& logical);

// Fills a logical rectangle with one colour, clipped.
void FillSolid(const Surface& dst, const RECT& rect, uint16_t colour);

// BitBlt with SRCCOPY: width x height logical pixels from (srcX, srcY) of src
// to the logical point (x, y) of dst. The source is read through its origin
// but not its clip (only its bounds limit it); the destination is clipped.
// Source and destination may be the same surface and overlap when their
// scales are 1. A scaled source gives the top-left pixel of each block; a
// scaled destination gets a block for each source pixel.
void CopyPixels(const Surface& dst, int x, int y, int width, int height, const Surface& src,
                int srcX, int srcY);

} // namespace handset::gdi
