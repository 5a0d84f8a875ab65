// The phone's fonts: LOGFONTW fields mapped onto font files, text metrics as
// GDI derives them from a face, and glyphs rendered by FreeType into 8-bit
// coverage, cached per face, size and weight.
//
// Every face name maps to Tahoma, as on the phone, where Tahoma is the one
// sans-serif family and GDI's font mapper gives the closest face it has for
// a name it does not know ("MS Shell Dlg", "MS Shell Dlg 2", "System", "Arial",
// ...). The files are Wine's metric-compatible Tahoma and Tahoma Bold
// (fonts-wine); DejaVu Sans and DejaVu Sans Bold (fonts-dejavu-core) draw the
// characters Tahoma lacks, and Tahoma's own missing-glyph box the characters
// neither has.
#pragma once

#include <windef.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace handset::gdi {

// The largest em, in pixels, the handset draws; a larger font is not emulated.
inline constexpr int kLargestEm = 1024;

// The LOGFONTW fields that choose a font on the phone.
struct FontRequest {
    // lfHeight: negative is the character height (the em) in pixels, positive
    // the cell height (ascent + descent). 0 is the phone's 9-point default:
    // an em of 9 * logPixelsY / 72 pixels, 12 at 96 dpi.
    LONG height = 0;
    // lfWeight: 600 (FW_SEMIBOLD) and more take Tahoma Bold; less, including
    // 0 (FW_DONTCARE), Tahoma. No weight is simulated.
    LONG weight = 0;
    // lfItalic: a slanted Tahoma (12 degrees, FreeType's oblique) from the
    // outlines, as GDI simulates italics for a face without an italic file.
    bool italic = false;
    std::u16string faceName; // lfFaceName; see the mapping above
    int logPixelsY = 96;     // the device's, for the default size and the aspect
};

// TEXTMETRICW's fields, as GetTextMetricsW fills them.
struct TextMetrics {
    LONG height = 0; // ascent + descent
    // usWinAscent scaled to the em, rounded. Not the VDMX table: Wine's holds
    // the glyphs' extremes (17 and 4 at 16 pixels), not Tahoma's metrics.
    LONG ascent = 0;
    LONG descent = 0;         // usWinDescent likewise
    LONG internalLeading = 0; // height - em
    // hhea lineGap less what the win metrics already add over hhea's
    // ascender and descender, scaled; never below 0 (0 for Tahoma).
    LONG externalLeading = 0;
    LONG aveCharWidth = 0;                           // OS/2 xAvgCharWidth scaled, at least 1
    LONG maxCharWidth = 0;                           // hhea advanceWidthMax scaled
    LONG weight = 0;                                 // the face's OS/2 usWeightClass: 400 or 700
    LONG overhang = 0;                               // 0 for TrueType
    LONG digitizedAspectX = 0, digitizedAspectY = 0; // the device's dpi
    WCHAR firstChar = 0, lastChar = 0;               // OS/2 usFirstCharIndex, usLastCharIndex
    WCHAR defaultChar = 0;                           // OS/2 usDefaultChar, else 0x1F
    WCHAR breakChar = 0;                             // OS/2 usBreakChar, else space
    BYTE italic = 0, underlined = 0, struckOut = 0;
    // TMPF_FIXED_PITCH (which means variable pitch) | TMPF_VECTOR |
    // TMPF_TRUETYPE | FF_SWISS.
    BYTE pitchAndFamily = 0;
    BYTE charSet = 0; // ANSI_CHARSET
};

// One character's rendered glyph: coverage 0 (none) .. 255 (full), rows
// top-down, placed relative to the pen on the baseline.
struct Glyph {
    int advance = 0; // whole pixels to the next pen position
    int left = 0;    // pen x to the bitmap's left column
    int top = 0;     // baseline up to the bitmap's top row
    int width = 0, rows = 0;
    std::vector<uint8_t> coverage; // width * rows
};

class FontLibrary;
struct FontEngine; // FreeType and the loaded files; fonts.cpp

// A face at one size and weight, as CreateFontIndirectW makes it. Fonts with
// equal requests are one object, so a font created and deleted at every paint
// keeps its glyphs. Not thread-safe: the handset's threads take turns.
class Font {
  public:
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const TextMetrics& Metrics() const { return metrics_; }
    int Em() const { return em_; } // the character height in pixels
    // What GetTextFaceW reports: always "Tahoma".
    const std::u16string& FaceName() const { return faceName_; }

    // Whole-pixel advance of one character, the fallback face's when Tahoma
    // lacks it. Measuring renders nothing.
    int Advance(char32_t c) const;
    // The glyph with its coverage, rendered on first use and kept.
    const Glyph& Rendered(char32_t c) const;

    // FreeType renders done so far: one per character and font, unless
    // DropGlyphs forgot them.
    size_t RenderCount() const { return renders_; }
    // Forgets every rendered glyph (advances too); the next use renders again.
    void DropGlyphs() const;

  private:
    friend class FontLibrary;
    struct Faces;
    struct Entry {
        Glyph glyph;
        bool rendered = false;
        int face = 0;       // which of the faces holds it
        unsigned index = 0; // its glyph there; 0 is the missing-glyph box
    };
    Font() = default;
    Entry& Lookup(char32_t c) const;

    std::unique_ptr<Faces> faces_;
    TextMetrics metrics_;
    int em_ = 0;
    std::u16string faceName_;
    mutable std::map<char32_t, Entry> glyphs_;
    mutable size_t renders_ = 0;
};

// Where the fonts come from; one per Device (or per test).
class FontLibrary {
  public:
    // Each file is looked for in these folders, in order.
    static std::vector<std::string> DefaultFolders(); // Wine's fonts, then DejaVu's
    explicit FontLibrary(std::vector<std::string> folders = DefaultFolders());
    ~FontLibrary();

    // The font for a request, shared with earlier equal requests. nullptr
    // and *error when a font file is missing or unreadable ("tahomabd.ttf:
    // not found in /usr/share/wine/fonts, ..."), or the height is beyond what
    // the handset draws (an em of more than 1024 pixels).
    std::shared_ptr<const Font> Open(const FontRequest& request, std::string* error);

  private:
    std::shared_ptr<FontEngine> engine_;
    std::vector<std::string> folders_;
    // (bold, italic, em, dpi) -> font
    std::map<std::tuple<bool, bool, int, int>, std::shared_ptr<Font>> fonts_;
};

} // namespace handset::gdi
