// Pixel views: a 16-bit RGB565 surface with the rectangle of it that may be
// drawn, and the clipping front end that blends a colour into one.
#ifndef LOCK_RENDER_PIXELVIEW_H
#define LOCK_RENDER_PIXELVIEW_H

#include <windows.h>

// x, y of the top-left pixel; the right and bottom edges are exclusive.
struct PixelRect {
    LONG x;
    LONG y;
    LONG width;
    LONG height;
};

struct PixelView {
    WORD* pixels; // pixel (0, 0)
    int pitch;    // bytes from one row to the next
    int reserved1;
    int reserved2;
    PixelRect bounds; // nothing outside it is ever drawn
};

// Blend modes for BlendArea and FillBlended; any other value paints.
enum { BlendModePaint = 0, BlendModeOverlay = 2 };

PixelRect* SetPixelRect(PixelRect* r, int x, int y, int width, int height);
PixelView* InitPixelView(PixelView* v, WORD* pixels, int pitch, int reserved1, int reserved2,
                         const PixelRect* bounds);
// Clips a to b in place; an empty result has zero width or height.
PixelRect* IntersectPixelRect(PixelRect* a, const PixelRect* b);

// Blends a width x height area at (x, y) of dst, unclipped, at transparency
// level 0..63. A mask view with pixels supplies per-pixel weights from
// (maskX, maskY) on.
void BlendArea(int level, WORD colour, const PixelView* dst, const PixelView* mask, int x, int y,
               int maskX, int maskY, int width, int height, int mode);

// Blends colour at opacity alpha (0 nothing .. 255 full) into dstRect of dst,
// clipped to dst's bounds. With a mask view and maskRect, the mask rectangle
// (clipped to the mask's bounds) sets the size, and dstRect only where it
// starts.
void FillBlended(int alpha, WORD colour, const PixelView* dst, const PixelView* mask,
                 const PixelRect* dstRect, const PixelRect* maskRect, int mode);

#endif
