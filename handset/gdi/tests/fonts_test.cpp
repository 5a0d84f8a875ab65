// Fonts: metrics as GDI derives them from Tahoma, advances with GDI's
// rounding, the face mapping and fallback, the glyph cache, and the errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

#include "gdi/fonts.h"
#include "gdi/text.h"

using handset::gdi::Font;
using handset::gdi::FontLibrary;
using handset::gdi::FontRequest;
using handset::gdi::MeasureText;

namespace {

std::shared_ptr<const Font> Open(FontLibrary& fonts, LONG height, LONG weight = 400,
                                 std::u16string face = u"Tahoma", bool italic = false) {
    std::string error;
    FontRequest request;
    request.height = height;
    request.weight = weight;
    request.faceName = face;
    request.italic = italic;
    auto font = fonts.Open(request, &error);
    EXPECT_TRUE(font) << error;
    return font;
}

} // namespace

TEST(FontMetrics, AsGdiDerivesThemFromTahoma) {
    // Tahoma: usWinAscent 2049, usWinDescent 423, 2048 units to the em,
    // hhea lineGap 0, xAvgCharWidth 1226 (Bold 1412).
    struct Case {
        int line;
        LONG height, weight;
        int em;
        LONG tmHeight, ascent, descent, internalLeading, aveCharWidth, tmWeight;
    } cases[] = {
        {__LINE__, -16, 400, 16, 19, 16, 3, 3, 10, 400}, // 12 pt at 96 dpi
        {__LINE__, -32, 400, 32, 39, 32, 7, 7, 19, 400}, // 12 pt at 192 dpi
        {__LINE__, -16, 700, 16, 19, 16, 3, 3, 11, 700},
        {__LINE__, -21, 700, 21, 25, 21, 4, 4, 14, 700}, // 12 pt at 131 dpi
        {__LINE__, 19, 400, 16, 19, 16, 3, 3, 10, 400},  // a cell height: em 19*2048/2472
        {__LINE__, 0, 400, 12, 14, 12, 2, 2, 7, 400},    // the 9-point default
        {__LINE__, -16, 599, 16, 19, 16, 3, 3, 10, 400}, // bold starts at 600
    };
    FontLibrary fonts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto font = Open(fonts, c.height, c.weight);
        if (!font) continue;
        const auto& m = font->Metrics();
        EXPECT_EQ(c.em, font->Em());
        EXPECT_EQ(c.tmHeight, m.height);
        EXPECT_EQ(c.ascent, m.ascent);
        EXPECT_EQ(c.descent, m.descent);
        EXPECT_EQ(c.internalLeading, m.internalLeading);
        EXPECT_EQ(0, m.externalLeading);
        EXPECT_EQ(c.aveCharWidth, m.aveCharWidth);
        EXPECT_EQ(c.tmWeight, m.weight);
    }
}

TEST(FontAdvances, WholePixelsPerGlyphAsGdiHasThem) {
    // At 16 pixels both Tahomas draw from their embedded strikes (Wine's
    // Tahoma Bold strike at 16 has regular widths); at 32 from outlines,
    // each advance rounded alone. DejaVu Sans Bold would take 220 at 16, and
    // FreeType's auto-hinter 385 and 345 at 32.
    struct Case {
        int line;
        LONG height, weight;
        LONG width;
    } cases[] = {
        {__LINE__, -16, 700, 166},
        {__LINE__, -16, 400, 166},
        {__LINE__, -32, 700, 377},
        {__LINE__, -32, 400, 338},
    };
    FontLibrary fonts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto font = Open(fonts, c.height, c.weight);
        if (!font) continue;
        SIZE extent = MeasureText(*font, u"Press the Center button");
        EXPECT_EQ(c.width, extent.cx);
        EXPECT_EQ(font->Metrics().height, extent.cy);
    }
}

TEST(FontFaces, EveryNameMapsToTahoma) {
    FontLibrary fonts;
    auto tahoma = Open(fonts, -16);
    for (std::u16string name : {u"MS Shell Dlg", u"MS Shell Dlg 2", u"Arial", u"", u"tahoma"}) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        auto font = Open(fonts, -16, 400, name);
        ASSERT_EQ(tahoma.get(), font.get()) << "one font object for one face, size and weight";
        EXPECT_TRUE(font->FaceName() == u"Tahoma");
    }
}

TEST(FontFaces, DejaVuDrawsWhatTahomaLacks) {
    FontLibrary fonts;
    auto font = Open(fonts, -16);
    ASSERT_TRUE(font);
    // U+4E2D and U+4E2E are in neither face: both are Tahoma's box.
    const auto& box = font->Rendered(U'\u4E2D');
    EXPECT_EQ(box.coverage, font->Rendered(U'\u4E2E').coverage);
    for (char32_t c : {U'\u2192', U'\u2605', U'\U0001F600'}) {
        SCOPED_TRACE(static_cast<unsigned>(c));
        const auto& g = font->Rendered(c);
        EXPECT_FALSE(g.coverage.empty());
        EXPECT_NE(box.coverage, g.coverage) << "drawn as the missing-glyph box";
    }
    EXPECT_EQ(font->Advance(U'\U0001F600'), MeasureText(*font, u"\U0001F600").cx)
        << "a surrogate pair is one character";
}

TEST(FontFaces, BoldAt16IsTheStrikeAndAt32AntiAliased) {
    FontLibrary fonts;
    auto levels = [](const handset::gdi::Glyph& g) {
        std::set<int> seen(g.coverage.begin(), g.coverage.end());
        return seen.size();
    };
    auto strike = Open(fonts, -16, 700), outline = Open(fonts, -32, 700);
    ASSERT_TRUE(strike && outline);
    EXPECT_EQ(2u, levels(strike->Rendered(U'P'))) << "a 1-bit strike: coverage 0 and 255 only";
    EXPECT_LT(2u, levels(outline->Rendered(U'P')));
}

TEST(FontFaces, ItalicSlantsTheOutline) {
    FontLibrary fonts;
    auto upright = Open(fonts, -32), italic = Open(fonts, -32, 400, u"Tahoma", true);
    ASSERT_TRUE(upright && italic);
    EXPECT_NE(upright.get(), italic.get());
    EXPECT_EQ(1, italic->Metrics().italic);
    const auto &u = upright->Rendered(U'l'), &i = italic->Rendered(U'l');
    // A 23-pixel stem leaning by 0.21 of its height.
    EXPECT_GE(i.width, u.width + 4) << "upright " << u.width << " italic " << i.width;
    EXPECT_EQ(upright->Advance(U'l'), italic->Advance(U'l'));
}

TEST(FontCache, EqualRequestsShareRenderedGlyphs) {
    FontLibrary fonts;
    auto first = Open(fonts, -32, 700);
    ASSERT_TRUE(first);
    for (char16_t c : std::u16string(u"12:32"))
        first->Rendered(c);
    size_t renders = first->RenderCount();
    EXPECT_EQ(4u, renders) << "'2' twice is rendered once";
    auto again = Open(fonts, -32, 700); // CreateFontIndirectW at the next paint
    EXPECT_EQ(first.get(), again.get());
    for (char16_t c : std::u16string(u"12:35"))
        again->Rendered(c);
    EXPECT_EQ(renders + 1, again->RenderCount()) << "only '5' is new";
    again->DropGlyphs();
    again->Rendered(u'1');
    EXPECT_EQ(renders + 2, again->RenderCount());
}

TEST(FontErrors, NameTheMissingFileAndWhereItWasLookedFor) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("gdi_fonts_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::copy_file("/usr/share/wine/fonts/tahoma.ttf", dir / "tahoma.ttf",
                  fs::copy_options::overwrite_existing);
    std::ofstream(dir / "tahomabd.ttf") << "not a font";
    struct Case {
        int line;
        std::vector<std::string> folders;
        LONG height, weight;
        std::string says;
    } cases[] = {
        {__LINE__, {"/a", "/b"}, -16, 400, "tahoma.ttf: not found in /a, /b (fonts-wine and"},
        {__LINE__, {dir.string()}, -16, 400, "DejaVuSans.ttf: not found in " + dir.string()},
        {__LINE__, {dir.string()}, -16, 700, (dir / "tahomabd.ttf").string() + ": not a font"},
        {__LINE__, FontLibrary::DefaultFolders(), -5000, 400, "font height -5000: an em of 5000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        FontLibrary fonts(c.folders);
        FontRequest request;
        request.height = c.height;
        request.weight = c.weight;
        std::string error;
        EXPECT_FALSE(fonts.Open(request, &error));
        EXPECT_EQ(0u, error.rfind(c.says, 0)) << error;
    }
    fs::remove_all(dir);
}
