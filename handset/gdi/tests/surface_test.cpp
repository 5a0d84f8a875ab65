// RGB565 surfaces: colour conversion, and fills and copies through the clip
// and the origin.
#include <gtest/gtest.h>

#include <vector>

#include "gdi/surface.h"

using namespace handset::gdi;

namespace {

// A small surface whose pixels read as one letter each, rows ending in '/',
// for whole-picture comparisons: '.' is 0, 'a' + n - 1 is n.
struct Letters {
    int width, height;
    std::vector<uint16_t> pixels;
    Surface surface;

    Letters(int w, int h) : width(w), height(h), pixels(size_t(w) * h) {
        surface = Surface::Of(pixels.data(), w, h, w * 2);
    }
    void Number() {
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint16_t>(i + 1);
    }
    std::string Text() const {
        std::string out;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint16_t p = pixels[size_t(y) * width + x];
                out += p ? char('a' + p - 1) : '.';
            }
            out += '/';
        }
        return out;
    }
};

} // namespace

TEST(Rgb565, TopBitsOfEachChannelAndBackByReplication) {
    struct Case {
        int line;
        COLORREF colour;
        uint16_t pixel;
        COLORREF back;
    } cases[] = {
        {__LINE__, RGB(0, 0, 0), 0x0000, RGB(0, 0, 0)},
        {__LINE__, RGB(255, 255, 255), 0xFFFF, RGB(255, 255, 255)},
        {__LINE__, RGB(255, 0, 0), 0xF800, RGB(255, 0, 0)},
        {__LINE__, RGB(0, 255, 0), 0x07E0, RGB(0, 255, 0)},
        {__LINE__, RGB(0, 0, 255), 0x001F, RGB(0, 0, 255)},
        {__LINE__, RGB(7, 3, 7), 0x0000, RGB(0, 0, 0)}, // truncated, not rounded
        {__LINE__, RGB(8, 4, 8), 0x0821, RGB(8, 4, 8)},
        {__LINE__, RGB(128, 128, 128), 0x8410, RGB(132, 130, 132)},
        {__LINE__, 0xFF000000 | RGB(255, 0, 0), 0xF800,
         RGB(255, 0, 0)}, // the top byte plays no part
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(c.pixel, ToRgb565(c.colour));
        EXPECT_EQ(c.back, FromRgb565(c.pixel));
    }
}

TEST(SurfaceFill, StaysInsideTheClipAndFollowsTheOrigin) {
    Letters s(8, 5);
    s.surface.clip = {2, 1, 7, 9}; // reaches below the surface
    s.surface.origin = {1, 1};
    FillSolid(s.surface, {-5, -5, 3, 2}, 1); // (-4, -4) - (4, 3) on the surface
    FillSolid(s.surface, {4, 2, 20, 20}, 2); // (5, 3) - (21, 21)
    FillSolid(s.surface, {3, 0, 2, 4}, 3);   // empty
    EXPECT_EQ("......../..aa..../..aa..../.....bb./.....bb./", s.Text());
}

TEST(SurfaceCopy, ClipsBothSidesAndHandlesOverlap) {
    // One 5 x 4 buffer, "abcde/fghij/klmno/pqrst", as both source and
    // destination; the views share an origin.
    struct Case {
        int line;
        int x, y, width, height, srcX, srcY;
        POINT origin;
        RECT clip; // of the destination
        const char* expected;
    } cases[] = {
        {__LINE__, 1, 1, 4, 3, 0, 0, {0, 0}, {0, 0, 5, 4}, "abcde/fabcd/kfghi/pklmn/"},
        {__LINE__, 0, 0, 4, 3, 1, 1, {0, 0}, {0, 0, 5, 4}, "ghije/lmnoj/qrsto/pqrst/"},
        // The source is cut at its bounds, the destination at its clip.
        {__LINE__, 2, 2, 3, 3, -1, -1, {0, 0}, {0, 0, 5, 4}, "abcde/fghij/klmno/pqrab/"},
        {__LINE__, 0, 0, 5, 4, 2, 0, {0, 0}, {1, 1, 3, 3}, "abcde/fijij/knono/pqrst/"},
        {__LINE__, -1, 0, 2, 1, 2, 3, {1, 0}, {0, 0, 5, 4}, "stcde/fghij/klmno/pqrst/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Letters s(5, 4);
        s.Number();
        Surface dst = s.surface;
        dst.origin = c.origin;
        dst.clip = c.clip;
        Surface src = s.surface;
        src.origin = c.origin;
        CopyPixels(dst, c.x, c.y, c.width, c.height, src, c.srcX, c.srcY);
        EXPECT_EQ(c.expected, s.Text());
    }
}
