// A test picture for people to look at: lock-screen-like lines in both
// weights, centred with a shadow, and a wrapped paragraph with characters
// from the fallback face, at 240 x 320 and at 480 x 640 with every size
// doubled. Written to gdi_picture_WxH.png in the build folder; the test
// holds the centring of every centred line's ink.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gdi/png.h"
#include "gdi/text.h"

using namespace handset::gdi;

namespace {

struct Line {
    std::u16string text;
    int top; // at scale 1
    bool bold;
    UINT format;
};

const Line Lines[] = {
    {u"+44 20 7946 0958", 10, true, DT_CENTER | DT_VCENTER | DT_WORDBREAK},
    {u"Bartholomew Fitzgerald-Smythe-Worthington", 32, true,
     DT_CENTER | DT_VCENTER | DT_WORD_ELLIPSIS},
    {u"1 min. 5 sec.", 60, true, DT_CENTER | DT_VCENTER | DT_WORDBREAK},
    {u"Press the Center button", 120, true, DT_CENTER | DT_VCENTER | DT_WORDBREAK},
    {u"to temporarily", 142, true, DT_CENTER | DT_VCENTER | DT_WORDBREAK},
    {u"unlock the screen", 164, false, DT_CENTER | DT_VCENTER | DT_WORDBREAK},
};
const std::u16string Paragraph =
    u"Regular Tahoma, left-aligned and wrapped at spaces: the cheek taps nothing "
    u"while a call is locked. Fallback \u2192 \u2605 \u2713 and a box \u4E2D.";

// A stand-in for the captured screen under a white veil: bands of colour,
// each channel moved halfway to white.
void PaintBackground(const Surface& s) {
    for (int y = 0; y < s.height; ++y) {
        uint16_t* row = s.Row(y);
        for (int x = 0; x < s.width; ++x) {
            unsigned r = (x * 31 / s.width), g = ((y / (s.height / 8)) % 2) * 40 + 10, b = 31 - r;
            row[x] =
                static_cast<uint16_t>(((31 + r) / 2) << 11 | ((63 + g) / 2) << 5 | (31 + b) / 2);
        }
    }
}

// Black text with a white shadow one pixel right and down, as the lock
// picture draws it.
void ShadowText(const Surface& s, const Font& font, std::u16string_view text, RECT rect,
                UINT format) {
    TextStyle style;
    style.opaque = false;
    style.textColor = RGB(255, 255, 255);
    RECT shadow = {rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
    DrawFormatted(&s, font, text, &shadow, format, style);
    style.textColor = RGB(0, 0, 0);
    DrawFormatted(&s, font, text, &rect, format, style);
}

// The columns of the band that differ from the background, as (first, last).
std::pair<int, int> InkColumns(const Surface& s, const std::vector<uint16_t>& background, int top,
                               int bottom) {
    int first = s.width, last = -1;
    for (int y = std::max(top, 0); y < std::min(bottom, s.height); ++y)
        for (int x = 0; x < s.width; ++x)
            if (s.Row(y)[x] != background[size_t(y) * s.width + x]) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

void DrawPicture(int scale) {
    const int width = 240 * scale, height = 320 * scale;
    std::vector<uint16_t> bits(size_t(width) * height);
    Surface s = Surface::Of(bits.data(), width, height, width * 2);
    PaintBackground(s);
    const std::vector<uint16_t> background = bits;

    FontLibrary fonts;
    std::string error;
    FontRequest request;
    request.height = -16 * scale;
    request.faceName = u"Tahoma";
    request.weight = 700;
    auto bold = fonts.Open(request, &error);
    request.weight = 400;
    auto regular = fonts.Open(request, &error);
    ASSERT_TRUE(bold && regular) << error;

    for (const Line& line : Lines) {
        const Font& font = line.bold ? *bold : *regular;
        int top = line.top * scale;
        ShadowText(s, font, line.text, {0, top, width, top + font.Metrics().height}, line.format);
    }
    RECT box = {12 * scale, 200 * scale, width - 12 * scale, height - 12 * scale};
    FillSolid(s, box, ToRgb565(RGB(255, 255, 224)));
    TextStyle plain;
    plain.opaque = false;
    RECT inner = {box.left + 4 * scale, box.top + 4 * scale, box.right - 4 * scale,
                  box.bottom - 4 * scale};
    DrawFormatted(&s, *regular, Paragraph, &inner, DT_WORDBREAK, plain);

    // Each centred line's ink sits in the middle: the margins left and right
    // differ by the side bearings and the shadow, a few pixels at most.
    for (const Line& line : Lines) {
        SCOPED_TRACE(std::string(line.text.begin(), line.text.end()));
        const Font& font = line.bold ? *bold : *regular;
        int top = line.top * scale;
        auto [first, last] = InkColumns(s, background, top, top + font.Metrics().height);
        ASSERT_LE(first, last) << "nothing drawn";
        int left = first, right = width - 1 - last;
        EXPECT_LE(std::abs(left - right), 3 * scale) << "margins " << left << " and " << right;
    }

    std::string path = std::string(GDI_PICTURE_DIR) + "/gdi_picture_" + std::to_string(width) +
                       "x" + std::to_string(height) + ".png";
    EXPECT_TRUE(WritePng(path, s, &error)) << error;
}

} // namespace

TEST(Picture, At240x320) {
    DrawPicture(1);
}

TEST(Picture, At480x640WithSizesDoubled) {
    DrawPicture(2);
}
