// Pixel views and the clipping front end: rectangle clipping without
// overflow, alpha to level, the choice of kernel, and where the mask lines
// up with the destination once both rectangles are clipped.
#include <climits>
#include <vector>

#include <gtest/gtest.h>

#include "blend_model.h"
#include "common/prng.h"
#include "pixelview.h"

using model::Kernel;

// Found by argument-dependent lookup from inside GoogleTest, so global.
static bool operator==(const PixelRect& a, const PixelRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

static std::ostream& operator<<(std::ostream& os, const PixelRect& r) {
    return os << "{" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << "}";
}

namespace {

PixelRect Rect(int x, int y, int w, int h) {
    return {x, y, w, h};
}

// A surface of stride x rows pixels and a view of it limited to bounds.
struct Canvas {
    int stride;
    std::vector<WORD> pixels;
    PixelView view;

    Canvas(int strideInPixels, int rows, PixelRect bounds, WORD fill)
        : stride(strideInPixels), pixels(static_cast<size_t>(strideInPixels) * rows, fill) {
        InitPixelView(&view, pixels.data(), stride * 2, 0, 0, &bounds);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    WORD& At(int x, int y) { return pixels[static_cast<size_t>(y) * stride + x]; }
};

} // namespace

TEST(PixelViews, SetAndInitFillEveryField) {
    PixelRect r{};
    EXPECT_EQ(SetPixelRect(&r, -1, 2, 30, 40), &r);
    EXPECT_EQ(r, Rect(-1, 2, 30, 40));
    EXPECT_EQ(SetPixelRect(nullptr, 1, 2, 3, 4), nullptr);

    WORD pixels[4];
    PixelView v;
    EXPECT_EQ(InitPixelView(&v, pixels, 8, 5, 6, &r), &v);
    EXPECT_EQ(v.pixels, pixels);
    EXPECT_EQ(v.pitch, 8);
    EXPECT_EQ(v.reserved1, 5);
    EXPECT_EQ(v.reserved2, 6);
    EXPECT_EQ(v.bounds, r);

    EXPECT_EQ(InitPixelView(&v, pixels, 8, 0, 0, nullptr), &v);
    EXPECT_EQ(v.bounds, Rect(0, 0, 0, 0));
    EXPECT_EQ(InitPixelView(nullptr, pixels, 8, 0, 0, &r), nullptr);
}

TEST(PixelViews, IntersectClipsWithoutOverflow) {
    struct Case {
        int line;
        PixelRect a, b, expected;
    };
    const Case cases[] = {
        {__LINE__, Rect(0, 0, 10, 10), Rect(5, 5, 10, 10), Rect(5, 5, 5, 5)},
        {__LINE__, Rect(2, 3, 4, 5), Rect(0, 0, 100, 100), Rect(2, 3, 4, 5)},
        {__LINE__, Rect(0, 0, 100, 100), Rect(2, 3, 4, 5), Rect(2, 3, 4, 5)},
        // Disjoint and touching rectangles come out empty, never negative.
        {__LINE__, Rect(0, 0, 10, 10), Rect(20, 0, 5, 10), Rect(20, 0, 0, 10)},
        {__LINE__, Rect(0, 0, 10, 10), Rect(10, 10, 5, 5), Rect(10, 10, 0, 0)},
        {__LINE__, Rect(5, 5, -3, 4), Rect(0, 0, 100, 100), Rect(5, 5, 0, 4)},
        {__LINE__, Rect(5, 5, 4, -3), Rect(0, 0, 100, 100), Rect(5, 5, 4, 0)},
        // Right and bottom edges beyond 32 bits.
        {__LINE__, Rect(INT_MAX - 5, 0, 100, 1), Rect(0, 0, INT_MAX, 1),
         Rect(INT_MAX - 5, 0, 5, 1)},
        {__LINE__, Rect(0, INT_MAX - 5, 1, 100), Rect(0, 0, 1, INT_MAX),
         Rect(0, INT_MAX - 5, 1, 5)},
        {__LINE__, Rect(INT_MAX - 5, INT_MAX - 3, INT_MAX, INT_MAX),
         Rect(INT_MAX - 10, INT_MAX - 10, INT_MAX, INT_MAX),
         Rect(INT_MAX - 5, INT_MAX - 3, INT_MAX - 5, INT_MAX - 7)},
        {__LINE__, Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), Rect(-10, -10, 20, 20),
         Rect(-10, -10, 9, 9)},
        {__LINE__, Rect(INT_MIN, 0, INT_MAX, 1), Rect(INT_MAX - 1, 0, INT_MAX, 1),
         Rect(INT_MAX - 1, 0, 0, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        PixelRect a = c.a;
        EXPECT_EQ(IntersectPixelRect(&a, &c.b), &a);
        EXPECT_EQ(a, c.expected);
    }
}

// Painting white over black through a zero mask shows the level exactly:
// the green channel comes out as 63 - level.
TEST(FillBlended, MapsAlphaToLevelAndClampsIt) {
    struct Case {
        int line;
        int alpha;
        int level; // -1: nothing drawn
    };
    const Case cases[] = {
        {__LINE__, 255, 0},
        {__LINE__, 254, 0},
        {__LINE__, 251, 0},
        {__LINE__, 250, 1},
        {__LINE__, 247, 1},
        {__LINE__, 246, 2},
        {__LINE__, 130, 30},
        {__LINE__, 129, 31},
        {__LINE__, 127, 31},
        {__LINE__, 126, 31},
        {__LINE__, 125, 32},
        {__LINE__, 5, 61},
        {__LINE__, 4, 62},
        {__LINE__, 1, 62},
        {__LINE__, 0, -1},
        // Out of range: clamped, never an index past the tables.
        {__LINE__, -1, -1},
        {__LINE__, INT_MIN, -1},
        {__LINE__, 256, 0},
        {__LINE__, 1000, 0},
        {__LINE__, INT_MAX, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Canvas dst(1, 1, Rect(0, 0, 1, 1), 0x0000);
        Canvas mask(1, 1, Rect(0, 0, 1, 1), 0x0000);
        PixelRect r = Rect(0, 0, 1, 1);
        FillBlended(c.alpha, 0xFFFF, &dst.view, &mask.view, &r, &r, 0);
        WORD expected =
            c.level < 0 ? 0x0000
            : c.level == 0
                ? model::Pixel(Kernel::BlendFillMasked, 0, 0xFFFF, 0x0000, 0x0000)
                : model::Pixel(Kernel::BlendFillMaskedLevel, c.level, 0xFFFF, 0x0000, 0x0000);
        EXPECT_EQ(Hex{dst.At(0, 0)}, Hex{expected}) << "alpha " << c.alpha << "";
    }
}

// Which kernel runs: mode 2 overlays, any other mode paints; a mask view
// without pixels counts as no mask; a mask view without a mask rectangle is
// read from its pixel (0, 0).
TEST(FillBlended, ChoosesKernelByModeAndMask) {
    PixelRect area = Rect(2, 1, 3, 2);
    struct Case {
        int line;
        int mode;
        int alpha;
        bool maskView, maskPixels, maskRect;
        WORD expected; // at every pixel of area over black, colour white
    };
    const Case cases[] = {
        {__LINE__, 0, 127, false, false, false, 0x7BEF}, // unmasked: halving shortcut
        {__LINE__, 0, 127, true, false, true, 0x7BEF},   // mask view without pixels
        {__LINE__, 0, 127, true, true, true, 0x8410},    // masked: no shortcut
        {__LINE__, 0, 127, true, true, false, 0x7BEF},   // mask without rectangle: unused
        {__LINE__, 0, 255, true, true, true, 0xFFFF},
        {__LINE__, 1, 255, false, false, false, 0xFFFF},
        {__LINE__, 3, 255, false, false, false, 0xFFFF},
        {__LINE__, -1, 255, false, false, false, 0xFFFF},
        // Overlay keeps black black, at any level, masked or not.
        {__LINE__, 2, 255, false, false, false, 0x0000},
        {__LINE__, 2, 127, false, false, false, 0x0000},
        {__LINE__, 2, 255, true, true, true, 0x0000},
        {__LINE__, 2, 127, true, true, true, 0x0000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Canvas dst(8, 4, Rect(0, 0, 8, 4), 0x0000);
        // Zero where it lines up with area from (0, 0) or from (2, 1); 0xFFFF
        // elsewhere, so a mask read from the wrong place leaves pixels alone.
        Canvas mask(8, 4, Rect(0, 0, 8, 4), 0xFFFF);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                mask.At(x + (c.maskRect ? 2 : 0), y + (c.maskRect ? 1 : 0)) = 0x0000;
        PixelView maskView = mask.view;
        if (!c.maskPixels) maskView.pixels = nullptr;
        FillBlended(c.alpha, 0xFFFF, &dst.view, c.maskView ? &maskView : nullptr, &area,
                    c.maskRect ? &area : nullptr, c.mode);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 8; ++x) {
                bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
                ASSERT_EQ(Hex{dst.At(x, y)}, Hex{inside ? c.expected : WORD{0x0000}})
                    << "at " << x << "," << y << "";
            }
        }
    }
}

// A mask view without pixels is no mask: its rectangle and bounds play no
// part, and dstRect alone, clipped to the view, is filled.
TEST(FillBlended, AMaskViewWithoutPixelsLeavesTheFillToDstRect) {
    struct Case {
        int line;
        PixelRect maskBounds, maskRect;
    } cases[] = {
        {__LINE__, Rect(0, 0, 8, 4), Rect(0, 0, 1, 1)},
        {__LINE__, Rect(0, 0, 1, 1), Rect(0, 0, 8, 4)},
        {__LINE__, Rect(5, 3, 2, 2), Rect(0, 0, 8, 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Canvas dst(8, 4, Rect(0, 0, 8, 4), 0x0000);
        PixelView mask;
        InitPixelView(&mask, nullptr, 16, 0, 0, &c.maskBounds);
        PixelRect area = Rect(2, 1, 7, 2); // its last column falls outside the view
        FillBlended(255, 0xFFFF, &dst.view, &mask, &area, &c.maskRect, 0);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 8; ++x) {
                bool inside = x >= 2 && y >= 1 && y < 3;
                ASSERT_EQ(Hex{dst.At(x, y)}, Hex{WORD(inside ? 0xFFFF : 0x0000)})
                    << "at " << x << "," << y << "";
            }
        }
    }
}

TEST(FillBlended, IgnoresMissingDestinationOrRectangle) {
    Canvas dst(4, 4, Rect(0, 0, 4, 4), 0x1234);
    PixelRect r = Rect(0, 0, 4, 4);
    FillBlended(255, 0xFFFF, nullptr, nullptr, &r, nullptr, 0);
    FillBlended(255, 0xFFFF, &dst.view, nullptr, nullptr, nullptr, 0);
    PixelView noPixels = dst.view;
    noPixels.pixels = nullptr;
    FillBlended(255, 0xFFFF, &noPixels, nullptr, &r, nullptr, 0);
    for (WORD p : dst.pixels)
        ASSERT_EQ(Hex{p}, Hex{0x1234});
}

// Unmasked: dstRect clipped to the view's bounds, nothing outside touched.
TEST(FillBlended, ClipsPlainFillToBounds) {
    struct Case {
        int line;
        PixelRect bounds, dstRect, expected;
    };
    const Case cases[] = {
        {__LINE__, Rect(0, 0, 16, 12), Rect(3, 2, 4, 5), Rect(3, 2, 4, 5)},
        {__LINE__, Rect(2, 1, 10, 8), Rect(-5, -5, 10, 10), Rect(2, 1, 3, 4)},
        {__LINE__, Rect(2, 1, 10, 8), Rect(10, 7, 10, 10), Rect(10, 7, 2, 2)},
        {__LINE__, Rect(2, 1, 10, 8), Rect(12, 1, 4, 4), Rect(0, 0, 0, 0)},
        {__LINE__, Rect(2, 1, 10, 8), Rect(3, 3, -2, 4), Rect(0, 0, 0, 0)},
        {__LINE__, Rect(2, 1, 10, 8), Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), Rect(0, 0, 0, 0)},
        {__LINE__, Rect(2, 1, 10, 8), Rect(INT_MAX - 1, 1, INT_MAX, 4), Rect(0, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Canvas dst(20, 12, c.bounds, 0x0000);
        FillBlended(255, 0xFFFF, &dst.view, nullptr, &c.dstRect, nullptr, 0);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 20; ++x) {
                const PixelRect& e = c.expected;
                bool inside = x >= e.x && x < e.x + e.width && y >= e.y && y < e.y + e.height;
                ASSERT_EQ(Hex{dst.At(x, y)}, Hex{WORD(inside ? 0xFFFF : 0x0000)})
                    << "at " << x << "," << y << "";
            }
        }
    }
}

// Masked: the clipped mask rectangle sets the size and dstRect only the
// start; whatever one clip cuts off, the other side loses too. The mask is
// a random mix of 0x0000 (paint) and 0xFFFF (keep), so any misalignment
// shows.
TEST(FillBlended, AlignsMaskWithDestinationAfterClipping) {
    struct Case {
        int line;
        PixelRect dstBounds, maskBounds, dstRect, maskRect;
        PixelRect area;   // expected destination area
        int maskX, maskY; // expected mask pixel at area's top-left
    };
    const PixelRect full = Rect(0, 0, 16, 12);
    const Case cases[] = {
        {__LINE__, full, full, Rect(4, 3, 99, 99), Rect(1, 1, 5, 4), Rect(4, 3, 5, 4), 1, 1},
        // dstRect's size plays no part.
        {__LINE__, full, full, Rect(4, 3, 1, 1), Rect(1, 1, 5, 4), Rect(4, 3, 5, 4), 1, 1},
        {__LINE__, full, full, Rect(4, 3, 0, 0), Rect(1, 1, 5, 4), Rect(4, 3, 5, 4), 1, 1},
        {__LINE__, full, full, Rect(4, 3, -7, -7), Rect(1, 1, 5, 4), Rect(4, 3, 5, 4), 1, 1},
        // Mask rectangle 2 left of / 1 above the mask bounds: the destination
        // start moves right / down by as much.
        {__LINE__, full, Rect(3, 2, 8, 6), Rect(4, 3, 0, 0), Rect(1, 2, 5, 3), Rect(6, 3, 3, 3), 3,
         2},
        {__LINE__, full, Rect(3, 2, 8, 6), Rect(4, 3, 0, 0), Rect(3, 1, 4, 3), Rect(4, 4, 4, 2), 3,
         2},
        // Mask rectangle past the mask bounds' right edge: narrower area.
        {__LINE__, full, full, Rect(4, 3, 0, 0), Rect(12, 1, 10, 2), Rect(4, 3, 4, 2), 12, 1},
        // Destination start left of / above the destination bounds: the mask
        // start moves right / down.
        {__LINE__, Rect(2, 1, 10, 8), full, Rect(0, 3, 0, 0), Rect(1, 1, 5, 4), Rect(2, 3, 3, 4), 3,
         1},
        {__LINE__, Rect(2, 1, 10, 8), full, Rect(4, -1, 0, 0), Rect(1, 1, 5, 4), Rect(4, 1, 5, 2),
         1, 3},
        // Both at once, and the right edge clipped by the destination bounds.
        {__LINE__, Rect(2, 1, 10, 8), Rect(3, 2, 8, 6), Rect(-1, 0, 0, 0), Rect(1, 1, 6, 6),
         Rect(2, 1, 3, 5), 4, 2},
        {__LINE__, full, full, Rect(13, 3, 0, 0), Rect(1, 1, 5, 4), Rect(13, 3, 3, 4), 1, 1},
        // Nothing left after clipping.
        {__LINE__, full, Rect(3, 2, 8, 6), Rect(4, 3, 0, 0), Rect(0, 0, 3, 3), Rect(0, 0, 0, 0), 0,
         0},
        {__LINE__, full, full, Rect(16, 3, 0, 0), Rect(1, 1, 5, 4), Rect(0, 0, 0, 0), 0, 0},
        {__LINE__, full, full, Rect(-5, 3, 0, 0), Rect(1, 1, 5, 4), Rect(0, 0, 0, 0), 0, 0},
    };
    handset::Prng rng(7);
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Canvas dst(20, 12, c.dstBounds, 0x0000);
        Canvas mask(18, 12, c.maskBounds, 0x0000);
        for (WORD& p : mask.pixels)
            p = rng.Chance(0.5) ? 0xFFFF : 0x0000;
        FillBlended(255, 0xFFFF, &dst.view, &mask.view, &c.dstRect, &c.maskRect, 0);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 20; ++x) {
                const PixelRect& a = c.area;
                bool inside = x >= a.x && x < a.x + a.width && y >= a.y && y < a.y + a.height;
                bool painted = inside && mask.At(c.maskX + x - a.x, c.maskY + y - a.y) == 0x0000;
                ASSERT_EQ(Hex{dst.At(x, y)}, Hex{WORD(painted ? 0xFFFF : 0x0000)})
                    << "at " << x << "," << y << "";
            }
        }
    }
}

// A mask rectangle starting 2^31 - 20 left of the mask bounds moves the
// destination start that far right of dstRect: past 32 bits, so nothing may
// be drawn, even into bounds that reach left of the view's origin where a
// wrapped-round start would land.
TEST(FillBlended, DestinationStartDoesNotWrapRound) {
    std::vector<WORD> buffer(64, 0x0000);
    PixelView dst;
    PixelRect dstBounds = Rect(-32, 0, 64, 1);
    InitPixelView(&dst, buffer.data() + 32, 128, 0, 0, &dstBounds);
    Canvas mask(16, 1, Rect(0, 0, 16, 1), 0x0000);
    PixelRect maskRect = Rect(INT_MIN + 20, 0, INT_MAX, 1);
    PixelRect dstRect = Rect(INT_MAX, 0, 1, 1);
    FillBlended(255, 0xFFFF, &dst, &mask.view, &dstRect, &maskRect, 0);
    for (size_t i = 0; i < buffer.size(); ++i)
        ASSERT_EQ(Hex{buffer[i]}, Hex{0x0000}) << "pixel " << i;

    // The same geometry within reach draws the mask's 16 pixels from
    // dstRect.x + 20.
    maskRect = Rect(-20, 0, 100, 1);
    dstRect = Rect(-10, 0, 1, 1);
    FillBlended(255, 0xFFFF, &dst, &mask.view, &dstRect, &maskRect, 0);
    for (int i = 0; i < 64; ++i) {
        bool painted = i - 32 >= 10 && i - 32 < 26;
        ASSERT_EQ(Hex{buffer[i]}, Hex{WORD(painted ? 0xFFFF : 0x0000)}) << "pixel " << i;
    }
}
