// RGB565 surfaces: clipping, fills and copies.
#include "gdi/surface.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace handset::gdi {

Surface Surface::Of(uint16_t* bits, int width, int height, int pitch) {
    Surface s;
    s.bits = bits;
    s.width = width;
    s.height = height;
    s.pitch = pitch;
    s.clip = {0, 0, width, height};
    return s;
}

RECT Surface::DrawableArea() const {
    return Intersect(clip, RECT{0, 0, width, height});
}

RECT Intersect(const RECT& a, const RECT& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

RECT ToSurface(const Surface& s, const RECT& logical) {
    return {(logical.left + s.origin.x) * s.scale, (logical.top + s.origin.y) * s.scale,
            (logical.right + s.origin.x) * s.scale, (logical.bottom + s.origin.y) * s.scale};
}

void FillSolid(const Surface& dst, const RECT& rect, uint16_t colour) {
    RECT r = Intersect(dst.DrawableArea(), ToSurface(dst, rect));
    if (IsEmpty(r)) return;
    for (int y = r.top; y < r.bottom; ++y)
        std::fill(dst.Row(y) + r.left, dst.Row(y) + r.right, colour);
}

namespace {

// A copy between scales, one destination pixel at a time.
void CopyScaled(const Surface& dst, int x, int y, int width, int height, const Surface& src,
                int srcX, int srcY) {
    RECT d = Intersect(dst.DrawableArea(), ToSurface(dst, {x, y, x + width, y + height}));
    for (int py = d.top; py < d.bottom; ++py) {
        int ly = py / dst.scale - dst.origin.y - y + srcY; // the source's logical row
        int sy = (ly + src.origin.y) * src.scale + (src.scale == dst.scale ? py % dst.scale : 0);
        if (sy < 0 || sy >= src.height) continue;
        uint16_t* out = dst.Row(py);
        const uint16_t* in = src.Row(sy);
        for (int px = d.left; px < d.right; ++px) {
            int lx = px / dst.scale - dst.origin.x - x + srcX;
            int sx =
                (lx + src.origin.x) * src.scale + (src.scale == dst.scale ? px % dst.scale : 0);
            if (sx >= 0 && sx < src.width) out[px] = in[sx];
        }
    }
}

} // namespace

void CopyPixels(const Surface& dst, int x, int y, int width, int height, const Surface& src,
                int srcX, int srcY) {
    if (dst.scale != 1 || src.scale != 1)
        return CopyScaled(dst, x, y, width, height, src, srcX, srcY);
    // Both corners in surface pixels, then the area cut to what both allow.
    int dx = x + dst.origin.x, dy = y + dst.origin.y;
    int sx = srcX + src.origin.x, sy = srcY + src.origin.y;
    RECT d = Intersect(dst.DrawableArea(), {dx, dy, dx + width, dy + height});
    RECT s = Intersect({0, 0, src.width, src.height},
                       {d.left - dx + sx, d.top - dy + sy, d.right - dx + sx, d.bottom - dy + sy});
    if (IsEmpty(d) || IsEmpty(s)) return;
    // s is d moved into the source, then cut; move the cut back.
    int left = s.left - sx + dx, top = s.top - sy + dy;
    int w = s.right - s.left, h = s.bottom - s.top;
    size_t bytes = static_cast<size_t>(w) * sizeof(uint16_t);
    // When the destination lies after the source in memory, rows go from
    // the one last in memory (the bottom row, or the top one of a surface
    // seen bottom-up through a negative pitch), so that an overlapping row
    // is read before it is overwritten; memmove handles overlap within a row.
    bool after = std::greater<const void*>()(dst.Row(top) + left, src.Row(s.top) + s.left);
    bool upward = after == (dst.pitch > 0);
    for (int i = 0; i < h; ++i) {
        int row = upward ? h - 1 - i : i;
        std::memmove(dst.Row(top + row) + left, src.Row(s.top + row) + s.left, bytes);
    }
}

} // namespace handset::gdi
