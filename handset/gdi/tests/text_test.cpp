// DrawTextW's layout on Tahoma at 16 pixels (line height 19, ascent 16):
// where each line's cell lands for centring, wrapping, long words, ellipses,
// line breaks, vertical centring and clipping, what DT_CALCRECT reports, and
// how glyphs blend into 565.
//
// Widths used below, in pixels: "Press the Center button" 166, "Press" 37,
// "Press the" 64, "Press the " 69, "Center button" 97, "Supercalifragilistic" 127,
// "is long" 47, "Bartholomew" 93, "Bartholome" 81, "..." 15, "a" 8, "b" 9,
// "c" 7, "File" 24, "&File" 35, "a&b" 28, "F" 8.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gdi/text.h"

using namespace handset::gdi;

namespace {

constexpr uint16_t White = 0xFFFF;
constexpr COLORREF Blue = RGB(0, 0, 255);
constexpr int LineHeight = 19;

struct Canvas {
    std::vector<uint16_t> pixels;
    Surface surface;
    explicit Canvas(uint16_t fill = White, int w = 240, int h = 320)
        : pixels(size_t(w) * h, fill), surface(Surface::Of(pixels.data(), w, h, w * 2)) {}
    uint16_t At(int x, int y) const { return pixels[size_t(y) * surface.width + x]; }
};

std::string Str(const RECT& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "}";
}

// The cells drawn, one per band of rows from top, band rows high: each the
// bounding box of the pixels no longer white (the background fill, and the
// glyphs, which stay inside it in these texts).
std::string Cells(const Canvas& c, int top, int band) {
    std::string out;
    for (int from = top; from < c.surface.height; from += band) {
        RECT box = {c.surface.width, c.surface.height, -1, -1};
        for (int y = from; y < std::min(from + band, c.surface.height); ++y)
            for (int x = 0; x < c.surface.width; ++x)
                if (c.At(x, y) != White)
                    box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                           std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
        if (box.right >= 0) out += Str(box);
    }
    return out;
}

std::shared_ptr<const Font> Tahoma16() {
    static FontLibrary fonts;
    FontRequest request;
    request.height = -16;
    request.faceName = u"Tahoma";
    std::string error;
    auto font = fonts.Open(request, &error);
    EXPECT_TRUE(font) << error;
    return font;
}

TextStyle OnBlue() {
    TextStyle style;
    style.backgroundColor = Blue;
    style.opaque = true;
    return style;
}

} // namespace

TEST(DrawFormatted, PlacesLinesAsDrawTextWDoes) {
    constexpr UINT Hint = DT_CENTER | DT_VCENTER | DT_WORDBREAK;     // 0x15
    constexpr UINT Name = DT_CENTER | DT_VCENTER | DT_WORD_ELLIPSIS; // 0x40005
    struct Case {
        int line;
        std::u16string text;
        RECT rect;
        UINT format;
        int result;
        std::string cells; // one band per line from rect.top; one band in all for DT_SINGLELINE
    } cases[] = {
        // Centred on the lock screen's line: (240 - 166) / 2.
        {__LINE__, u"Press the Center button", {0, 10, 240, 29}, Hint, 19, "{37,10,203,29}"},
        // Wrapped at the space before the word that does not fit; centred
        // lines drop the space, left-aligned ones keep it.
        {__LINE__,
         u"Press the Center button",
         {0, 0, 100, 60},
         DT_CENTER | DT_WORDBREAK,
         38,
         "{18,0,82,19}{1,19,98,38}"},
        {__LINE__,
         u"Press the Center button",
         {0, 0, 100, 60},
         DT_WORDBREAK,
         38,
         "{0,0,69,19}{0,19,97,38}"},
        // A word wider than the line stays whole: clipped, unless DT_NOCLIP.
        {__LINE__,
         u"Supercalifragilistic is long",
         {0, 0, 60, 60},
         DT_WORDBREAK | DT_NOCLIP,
         38,
         "{0,0,127,19}{0,19,47,38}"},
        {__LINE__,
         u"Supercalifragilistic is long",
         {0, 0, 60, 60},
         DT_WORDBREAK,
         38,
         "{0,0,60,19}{0,19,47,38}"},
        // The name line: cut so that what is left and "..." fit.
        {__LINE__, u"Bartholomew Fitzgerald", {0, 0, 108, 19}, Name, 19, "{0,0,108,19}"},
        {__LINE__, u"Bartholomew Fitzgerald", {0, 0, 107, 19}, Name, 19, "{5,0,101,19}"},
        {__LINE__, u"Bartholomew Fitzgerald", {0, 0, 10, 19}, Name, 19, "{0,0,10,19}"},
        {__LINE__, u"Bartholomew", {0, 0, 240, 19}, Name, 19, "{73,0,166,19}"},
        // Four lines in a one-line rectangle: the first below it is laid out
        // (and clipped away), the rest not.
        {__LINE__, u"Press the Center button", {0, 0, 60, 19}, Hint, 38, "{11,0,48,19}"},
        // DT_VCENTER moves single lines only: 50 - 19 / 2.
        {__LINE__,
         u"Press the Center button",
         {0, 0, 240, 100},
         DT_SINGLELINE | Hint,
         60,
         "{37,41,203,60}"},
        {__LINE__, u"Press the Center button", {0, 0, 240, 100}, Hint, 19, "{37,0,203,19}"},
        {__LINE__,
         u"Press the Center button",
         {0, 0, 240, 7},
         DT_SINGLELINE | Hint,
         13,
         "{37,0,203,7}"},
        {__LINE__,
         u"Press the Center button",
         {0, 0, 240, 100},
         DT_SINGLELINE | DT_BOTTOM,
         100,
         "{0,81,166,100}"},
        {__LINE__, u"Press the Center button", {0, 0, 240, 19}, DT_RIGHT, 19, "{74,0,240,19}"},
        // Clipped at the rectangle's edges.
        {__LINE__, u"Press the Center button", {20, 5, 60, 15}, 0, 19, "{20,5,60,15}"},
        {__LINE__, u"Press the Center button", {20, 5, 60, 15}, DT_NOCLIP, 19, "{20,5,186,24}"},
        // CR LF is one break and LF LF two; a break at the end makes no line.
        {__LINE__, u"a\r\nb\n\nc", {0, 0, 240, 100}, 0, 76, "{0,0,8,19}{0,19,9,38}{0,57,7,76}"},
        {__LINE__, u"c\n", {0, 0, 240, 100}, 0, 19, "{0,0,7,19}"},
        {__LINE__, u"\r\r", {0, 0, 240, 100}, 0, 38, ""},
        {__LINE__, u"", {0, 0, 240, 100}, DT_CENTER, 19, ""},
    };
    auto font = Tahoma16();
    ASSERT_TRUE(font);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Canvas canvas;
        RECT rect = c.rect;
        std::string error;
        int result =
            DrawFormatted(&canvas.surface, *font, c.text, &rect, c.format, OnBlue(), &error);
        EXPECT_EQ(c.result, result) << error;
        EXPECT_EQ(Str(c.rect), Str(rect)) << "only DT_CALCRECT changes the rectangle";
        bool single = c.format & DT_SINGLELINE;
        EXPECT_EQ(c.cells, Cells(canvas, single ? 0 : c.rect.top, single ? 320 : LineHeight));
    }
}

TEST(DrawFormatted, CalcRectReportsTheTextsBoxAndDrawsNothing) {
    struct Case {
        int line;
        std::u16string text;
        UINT format;
        int result;
        RECT after; // from {10, 20, 110, 20}
    } cases[] = {
        {__LINE__, u"Press the Center button", DT_CENTER | DT_WORDBREAK, 38, {10, 20, 107, 58}},
        {__LINE__, u"Press the Center button", DT_SINGLELINE, 19, {10, 20, 176, 39}},
        {__LINE__, u"Supercalifragilistic is long", DT_WORDBREAK, 38, {10, 20, 137, 58}},
        {__LINE__, u"Bartholomew Fitzgerald", DT_WORD_ELLIPSIS, 19, {10, 20, 106, 39}},
        {__LINE__, u"a\nb", 0, 38, {10, 20, 19, 58}},
        {__LINE__, u"", 0, 19, {10, 20, 10, 20}},
        {__LINE__, u"", DT_SINGLELINE, 19, {10, 20, 10, 39}},
        // Prefixes: "&x" is x, "&&" one ampersand, an "&" at the end stays.
        {__LINE__, u"&File", 0, 19, {10, 20, 34, 39}},
        {__LINE__, u"&File", DT_NOPREFIX, 19, {10, 20, 45, 39}},
        {__LINE__, u"a&&b", 0, 19, {10, 20, 38, 39}},
        {__LINE__, u"File&", 0, 19, {10, 20, 45, 39}},
    };
    auto font = Tahoma16();
    ASSERT_TRUE(font);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Canvas canvas;
        RECT rect = {10, 20, 110, 20};
        int result =
            DrawFormatted(&canvas.surface, *font, c.text, &rect, c.format | DT_CALCRECT, OnBlue());
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(Str(c.after), Str(rect));
        EXPECT_EQ("", Cells(canvas, 0, 320));
    }
}

TEST(DrawFormatted, UnderlinesThePrefixedCharacter) {
    auto font = Tahoma16();
    ASSERT_TRUE(font);
    // "&File" left-aligned at the top: F's 8-pixel advance, underlined one
    // pixel below the baseline (row 17); DT_HIDEPREFIX leaves it out.
    for (UINT format : {0u, UINT(DT_HIDEPREFIX)}) {
        SCOPED_TRACE(format);
        Canvas canvas;
        RECT rect = {0, 0, 240, 19};
        DrawFormatted(&canvas.surface, *font, u"&File", &rect, format, TextStyle{});
        std::string row;
        for (int x = 0; x < 12; ++x)
            row += canvas.At(x, 17) == 0 ? '#' : '.';
        EXPECT_EQ(format ? "............" : "########....", row);
    }
}

TEST(DrawFormatted, StaysInTheSurfacesClipAndFollowsItsOrigin) {
    auto font = Tahoma16();
    ASSERT_TRUE(font);
    Canvas canvas;
    canvas.surface.clip = {0, 0, 30, 320};
    RECT rect = {0, 0, 240, 19};
    DrawFormatted(&canvas.surface, *font, u"Press the", &rect, DT_NOCLIP, OnBlue());
    EXPECT_EQ("{0,0,30,19}", Cells(canvas, 0, 320))
        << "DT_NOCLIP still keeps to the surface's clip";

    Canvas moved;
    moved.surface.origin = {5, 7};
    DrawFormatted(&moved.surface, *font, u"File", &rect, 0, OnBlue());
    EXPECT_EQ("{5,7,29,26}", Cells(moved, 0, 320));
}

TEST(DrawFormatted, TransparentLeavesTheBackground) {
    auto font = Tahoma16();
    ASSERT_TRUE(font);
    Canvas canvas(0x1234);
    TextStyle style = OnBlue();
    style.opaque = false;
    RECT rect = {0, 0, 240, 19};
    DrawFormatted(&canvas.surface, *font, u"Press", &rect, 0, style);
    int changed = 0, black = 0;
    for (uint16_t p : canvas.pixels) {
        changed += p != 0x1234;
        black += p == 0;
    }
    EXPECT_EQ(changed, black) << "a 1-bit strike: each pixel is the text colour or untouched";
    EXPECT_GT(black, 50);
}

TEST(DrawFormatted, UnimplementedFlagsFailLoudly) {
    auto font = Tahoma16();
    ASSERT_TRUE(font);
    Canvas canvas;
    RECT rect = {0, 0, 240, 19};
    std::string error;
    EXPECT_EQ(0, DrawFormatted(&canvas.surface, *font, u"Press", &rect,
                               DT_CENTER | DT_END_ELLIPSIS | DT_EXPANDTABS, OnBlue(), &error));
    EXPECT_EQ("DrawTextW: DT_EXPANDTABS | DT_END_ELLIPSIS not implemented by the handset", error);
    EXPECT_EQ("", Cells(canvas, 0, 320));
}

TEST(DrawTextLine, BlendsCoverageToTheNearestLevelPerChannel) {
    // At 32 pixels Tahoma is an anti-aliased outline: black on white makes
    // each channel 31 * (255 - c) / 255 (63 for green), rounded to nearest.
    FontLibrary fonts;
    FontRequest request;
    request.height = -32;
    std::string error;
    auto font = fonts.Open(request, &error);
    ASSERT_TRUE(font) << error;
    Canvas canvas;
    TextStyle style;
    style.opaque = false;
    DrawTextLine(canvas.surface, *font, 0, 0, u"O", style, nullptr);
    const Glyph& g = font->Rendered(U'O');
    int partial = 0;
    for (int y = 0; y < g.rows; ++y) {
        for (int x = 0; x < g.width; ++x) {
            int c = g.coverage[size_t(y) * g.width + x];
            uint16_t p = canvas.At(g.left + x, font->Metrics().ascent - g.top + y);
            partial += c > 0 && c < 255;
            int exact31 = 31 * (255 - c), exact63 = 63 * (255 - c); // times 255
            ASSERT_LE(std::abs((p >> 11) * 255 - exact31), 127) << "coverage " << c << " " << p;
            ASSERT_LE(std::abs((p >> 5 & 63) * 255 - exact63), 127) << "coverage " << c << " " << p;
            ASSERT_LE(std::abs((p & 31) * 255 - exact31), 127) << "coverage " << c << " " << p;
        }
    }
    EXPECT_GT(partial, 20);
}
