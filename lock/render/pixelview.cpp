// Clipping front end for the blend kernels. Rectangles may carry any 32-bit
// coordinates, so edges and offsets are worked out in 64 bits: x + width of a
// far-off rectangle must clip, not wrap round into the surface.

#include "pixelview.h"

#include "blend.h"

namespace {

const LONGLONG MaxLong = 0x7FFFFFFF;

// A rectangle with 64-bit coordinates, for the steps in between.
struct WideRect {
    LONGLONG x;
    LONGLONG y;
    LONGLONG width;
    LONGLONG height;
};

inline LONGLONG Max(LONGLONG a, LONGLONG b) {
    return a > b ? a : b;
}
inline LONGLONG Min(LONGLONG a, LONGLONG b) {
    return a < b ? a : b;
}

WideRect Widen(const PixelRect& r) {
    WideRect w = {r.x, r.y, r.width, r.height};
    return w;
}

// Negative sizes count as empty.
WideRect Intersect(const WideRect& a, const WideRect& b) {
    WideRect r;
    r.x = Max(a.x, b.x);
    r.y = Max(a.y, b.y);
    r.width = Max(Min(a.x + a.width, b.x + b.width) - r.x, 0);
    r.height = Max(Min(a.y + a.height, b.y + b.height) - r.y, 0);
    return r;
}

bool IsEmpty(const WideRect& r) {
    return r.width <= 0 || r.height <= 0;
}

// alpha 255 is opaque (level 0); the level never reaches 63 for a visible alpha.
int LevelFromAlpha(int alpha) {
    return alpha >= 255 ? 0 : (255 - alpha) * 63 / 255;
}

bool Usable(const PixelView* v) {
    return v != NULL && v->pixels != NULL;
}

} // namespace

PixelRect* SetPixelRect(PixelRect* r, int x, int y, int width, int height) {
    if (r == NULL) return NULL;
    r->x = x;
    r->y = y;
    r->width = width;
    r->height = height;
    return r;
}

PixelView* InitPixelView(PixelView* v, WORD* pixels, int pitch, int reserved1, int reserved2,
                         const PixelRect* bounds) {
    if (v == NULL) return NULL;
    v->pixels = pixels;
    v->pitch = pitch;
    v->reserved1 = reserved1;
    v->reserved2 = reserved2;
    if (bounds != NULL)
        v->bounds = *bounds;
    else
        SetPixelRect(&v->bounds, 0, 0, 0, 0);
    return v;
}

PixelRect* IntersectPixelRect(PixelRect* a, const PixelRect* b) {
    WideRect r = Intersect(Widen(*a), Widen(*b));
    // Both corners come from the inputs and the sizes are at most a's, so
    // everything fits back; the clamp only guards that reasoning.
    a->x = (LONG)r.x;
    a->y = (LONG)r.y;
    a->width = (LONG)Min(r.width, MaxLong);
    a->height = (LONG)Min(r.height, MaxLong);
    return a;
}

void BlendArea(int level, WORD colour, const PixelView* dst, const PixelView* mask, int x, int y,
               int maskX, int maskY, int width, int height, int mode) {
    WORD* d = (WORD*)((BYTE*)dst->pixels + (INT_PTR)y * dst->pitch) + x;
    bool overlay = mode == BlendModeOverlay;
    if (Usable(mask)) {
        const WORD* m =
            (const WORD*)((const BYTE*)mask->pixels + (INT_PTR)maskY * mask->pitch) + maskX;
        if (level != 0) {
            if (overlay)
                OverlayFillMaskedLevel(level, colour, d, m, width, height, dst->pitch, mask->pitch);
            else
                BlendFillMaskedLevel(level, colour, d, m, width, height, dst->pitch, mask->pitch);
        } else {
            if (overlay)
                OverlayFillMasked(colour, d, m, width, height, dst->pitch, mask->pitch);
            else
                BlendFillMasked(colour, d, m, width, height, dst->pitch, mask->pitch);
        }
    } else if (overlay) {
        OverlayFill(level, colour, d, width, height, dst->pitch);
    } else {
        BlendFill(level, colour, d, width, height, dst->pitch);
    }
}

void FillBlended(int alpha, WORD colour, const PixelView* dst, const PixelView* mask,
                 const PixelRect* dstRect, const PixelRect* maskRect, int mode) {
    if (!Usable(dst) || dstRect == NULL) return;
    // Out-of-range alphas would index past the scale tables.
    if (alpha <= 0) return;
    if (alpha > 255) alpha = 255;
    int level = LevelFromAlpha(alpha);

    WideRect dstBounds = Widen(dst->bounds);
    if (Usable(mask) && maskRect != NULL) {
        // The clipped mask rectangle sets the size; dstRect only says where
        // the mask's first pixel lands. Whatever either clip cuts off one
        // side cuts off the other.
        WideRect wanted = Widen(*maskRect);
        WideRect m = Intersect(wanted, Widen(mask->bounds));
        WideRect start = {dstRect->x + (m.x - wanted.x), dstRect->y + (m.y - wanted.y), m.width,
                          m.height};
        WideRect area = Intersect(start, dstBounds);
        if (IsEmpty(area)) return;
        LONGLONG maskX = m.x + (area.x - start.x);
        LONGLONG maskY = m.y + (area.y - start.y);
        BlendArea(level, colour, dst, mask, (int)area.x, (int)area.y, (int)maskX, (int)maskY,
                  (int)area.width, (int)area.height, mode);
    } else {
        // A mask without its rectangle cannot be lined up or clipped, and
        // read from its (0, 0) it would run past a mask smaller than the
        // area: the fill goes without it.
        WideRect area = Intersect(Widen(*dstRect), dstBounds);
        if (IsEmpty(area)) return;
        BlendArea(level, colour, dst, NULL, (int)area.x, (int)area.y, 0, 0, (int)area.width,
                  (int)area.height, mode);
    }
}
