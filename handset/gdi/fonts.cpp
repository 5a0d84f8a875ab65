// Font files, metrics and glyphs through FreeType.
//
// Glyphs load with FT_LOAD_NO_AUTOHINT: what GDI's TrueType rasteriser does
// with each face. Where a face has an embedded bitmap strike for the size,
// the strike is the glyph and its advance (Wine's Tahoma has strikes from 8
// to 16 pixels, Tahoma Bold from 9 to 16). Where it has none, the outline is
// hinted by the face's own instructions: DejaVu has them and Wine's Tahoma
// has none, so a Tahoma outline is only scaled and its advance rounded to a
// whole pixel, as GDI does for a face without instructions. FreeType's
// default would instead run its auto-hinter on a face without instructions,
// which moves outlines and widens advances (Tahoma Bold "Press the Center
// button" at 32 pixels: 385 instead of GDI's 377). The font tests hold the
// widths this gives.
#include "gdi/fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "common/file.h"

namespace handset::gdi {

namespace {

// Rounds v * em / upem to the nearest pixel, halves away from zero.
LONG Scale(long v, int em, int upem) {
    long long n = static_cast<long long>(v) * em * 2;
    return static_cast<LONG>(n >= 0 ? (n + upem) / (2 * upem) : -((-n + upem) / (2 * upem)));
}

std::string FtError(const std::string& path, const char* what, FT_Error e) {
    const char* text = FT_Error_String(e);
    return path + ": " + what + " (FreeType error " + std::to_string(e) +
           (text ? std::string(": ") + text : "") + ")";
}

} // namespace

// The FreeType library and each font file's bytes, which the faces made from
// them point into; shared by the fonts, so a font outlives its library.
struct FontEngine {
    struct File {
        std::string path;
        std::string bytes;
        FT_Face probe = nullptr; // unsized, for the tables
    };
    FT_Library ft = nullptr;
    std::map<std::string, std::unique_ptr<File>> files; // by file name

    ~FontEngine() {
        for (auto& [name, file] : files)
            FT_Done_Face(file->probe);
        FT_Done_FreeType(ft);
    }
};

// A font's own FreeType faces at its size: 0 the Tahoma file, 1 the DejaVu
// fallback.
struct Font::Faces {
    std::shared_ptr<FontEngine> engine;
    FT_Face face[2] = {nullptr, nullptr};
    FT_Int32 loadFlags = FT_LOAD_NO_AUTOHINT;

    ~Faces() {
        for (FT_Face f : face)
            if (f) FT_Done_Face(f);
    }
};

std::vector<std::string> FontLibrary::DefaultFolders() {
    return {"/usr/share/wine/fonts", "/usr/share/fonts/truetype/dejavu"};
}

FontLibrary::FontLibrary(std::vector<std::string> folders)
    : engine_(std::make_shared<FontEngine>()), folders_(std::move(folders)) {}

FontLibrary::~FontLibrary() = default;

namespace {

// The file's loaded bytes and its probe face, loading them on first use.
FontEngine::File* LoadFile(FontEngine& engine, const std::vector<std::string>& folders,
                           const std::string& name, std::string* error) {
    auto found = engine.files.find(name);
    if (found != engine.files.end()) return found->second.get();
    if (!engine.ft) {
        if (FT_Error e = FT_Init_FreeType(&engine.ft)) {
            engine.ft = nullptr;
            *error = FtError("FreeType", "cannot start", e);
            return nullptr;
        }
    }
    auto file = std::make_unique<FontEngine::File>();
    for (const std::string& folder : folders) {
        std::filesystem::path p = std::filesystem::path(folder) / name;
        std::error_code ec;
        if (std::filesystem::exists(p, ec)) {
            file->path = p.string();
            break;
        }
    }
    if (file->path.empty()) {
        std::string where;
        for (const std::string& folder : folders)
            where += (where.empty() ? "" : ", ") + folder;
        *error = name + ": not found in " + (where.empty() ? "no folder" : where) +
                 " (fonts-wine and fonts-dejavu-core hold the phone's fonts)";
        return nullptr;
    }
    if (!ReadWholeFile(file->path, &file->bytes, error)) return nullptr;
    FT_Error e = FT_New_Memory_Face(engine.ft, reinterpret_cast<const FT_Byte*>(file->bytes.data()),
                                    static_cast<FT_Long>(file->bytes.size()), 0, &file->probe);
    if (e) {
        *error = FtError(file->path, "not a font FreeType can read", e);
        return nullptr;
    }
    if (!FT_Get_Sfnt_Table(file->probe, FT_SFNT_OS2) ||
        !FT_Get_Sfnt_Table(file->probe, FT_SFNT_HHEA)) {
        *error = file->path + ": not a TrueType font with OS/2 and hhea tables";
        FT_Done_Face(file->probe);
        return nullptr;
    }
    return engine.files.emplace(name, std::move(file)).first->second.get();
}

FT_Face SizedFace(FT_Library ft, const FontEngine::File& file, int em, bool italic,
                  std::string* error) {
    FT_Face face = nullptr;
    FT_Error e = FT_New_Memory_Face(ft, reinterpret_cast<const FT_Byte*>(file.bytes.data()),
                                    static_cast<FT_Long>(file.bytes.size()), 0, &face);
    if (!e) e = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em));
    if (e) {
        if (face) FT_Done_Face(face);
        *error = FtError(file.path, "cannot size the face", e);
        return nullptr;
    }
    if (italic) {
        FT_Matrix oblique = {0x10000, 0x0366A, 0, 0x10000}; // x += 0.2126 y
        FT_Set_Transform(face, &oblique, nullptr);
    }
    return face;
}

} // namespace

std::shared_ptr<const Font> FontLibrary::Open(const FontRequest& request, std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    bool bold = request.weight >= 600;
    FontEngine::File* main =
        LoadFile(*engine_, folders_, bold ? "tahomabd.ttf" : "tahoma.ttf", error);
    FontEngine::File* fallback =
        main ? LoadFile(*engine_, folders_, bold ? "DejaVuSans-Bold.ttf" : "DejaVuSans.ttf", error)
             : nullptr;
    if (!fallback) return nullptr;

    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(main->probe, FT_SFNT_OS2));
    const auto* hhea =
        static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(main->probe, FT_SFNT_HHEA));
    int upem = main->probe->units_per_EM;
    long cell = long(os2->usWinAscent) + os2->usWinDescent;
    int dpi = request.logPixelsY > 0 ? request.logPixelsY : 96;

    long em;
    if (request.height < 0)
        em = -static_cast<long>(request.height);
    else if (request.height > 0) // the em whose cell is nearest the height
        em = std::max(1L, (static_cast<long>(request.height) * upem * 2 + cell) / (2 * cell));
    else
        em = 9L * dpi / 72;
    if (em > kLargestEm) {
        *error = "font height " + std::to_string(request.height) + ": an em of " +
                 std::to_string(em) + " pixels is beyond the handset's " +
                 std::to_string(kLargestEm);
        return nullptr;
    }
    em = std::max(1L, em);

    auto key = std::make_tuple(bold, request.italic, static_cast<int>(em), dpi);
    if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;

    std::shared_ptr<Font> font(new Font);
    font->faces_ = std::make_unique<Font::Faces>();
    font->faces_->engine = engine_;
    for (int i = 0; i < 2; ++i) {
        font->faces_->face[i] =
            SizedFace(engine_->ft, i == 0 ? *main : *fallback, int(em), request.italic, error);
        if (!font->faces_->face[i]) return nullptr;
    }
    // A strike cannot be slanted: italics always come from the outlines.
    if (request.italic) font->faces_->loadFlags |= FT_LOAD_NO_BITMAP;
    font->em_ = int(em);
    font->faceName_ = u"Tahoma";

    TextMetrics& m = font->metrics_;
    m.ascent = Scale(os2->usWinAscent, int(em), upem);
    m.descent = Scale(os2->usWinDescent, int(em), upem);
    m.height = m.ascent + m.descent;
    m.internalLeading = m.height - int(em);
    long hheaSpan = long(hhea->Ascender) - hhea->Descender;
    m.externalLeading =
        std::max(0L, long(Scale(hhea->Line_Gap - (cell - hheaSpan), int(em), upem)));
    m.aveCharWidth = std::max(1L, long(Scale(os2->xAvgCharWidth, int(em), upem)));
    m.maxCharWidth = Scale(hhea->advance_Width_Max, int(em), upem);
    m.weight = os2->usWeightClass;
    m.digitizedAspectX = m.digitizedAspectY = dpi;
    m.firstChar = static_cast<WCHAR>(os2->usFirstCharIndex);
    m.lastChar = static_cast<WCHAR>(os2->usLastCharIndex);
    m.defaultChar =
        static_cast<WCHAR>(os2->version >= 2 && os2->usDefaultChar ? os2->usDefaultChar : 0x1F);
    m.breakChar =
        static_cast<WCHAR>(os2->version >= 2 && os2->usBreakChar ? os2->usBreakChar : 0x20);
    m.italic = request.italic ? 1 : 0;
    m.pitchAndFamily = 0x01 | 0x02 | 0x04 | 0x20;
    m.charSet = 0;

    fonts_.emplace(key, font);
    return font;
}

Font::~Font() = default;

Font::Entry& Font::Lookup(char32_t c) const {
    auto found = glyphs_.find(c);
    if (found != glyphs_.end()) return found->second;
    Entry e;
    e.index = FT_Get_Char_Index(faces_->face[0], c);
    if (!e.index) {
        if (FT_UInt other = FT_Get_Char_Index(faces_->face[1], c)) {
            e.face = 1;
            e.index = other;
        }
    }
    // A glyph that fails to load keeps advance 0 and draws nothing.
    FT_Face face = faces_->face[e.face];
    if (!FT_Load_Glyph(face, e.index, faces_->loadFlags))
        e.glyph.advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    return glyphs_.emplace(c, std::move(e)).first->second;
}

int Font::Advance(char32_t c) const {
    return Lookup(c).glyph.advance;
}

const Glyph& Font::Rendered(char32_t c) const {
    Entry& e = Lookup(c);
    if (e.rendered) return e.glyph;
    e.rendered = true;
    ++renders_;
    FT_Face face = faces_->face[e.face];
    if (FT_Load_Glyph(face, e.index, faces_->loadFlags)) return e.glyph;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL))
        return e.glyph;
    // Strikes are 1-bit; FT_Bitmap_Convert gives one byte per pixel with
    // values up to num_grays - 1, stretched here to 0..255.
    FT_Bitmap gray;
    FT_Bitmap_Init(&gray);
    if (!FT_Bitmap_Convert(faces_->engine->ft, &slot->bitmap, &gray, 1) && gray.num_grays > 1) {
        Glyph& g = e.glyph;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int>(gray.width);
        g.rows = static_cast<int>(gray.rows);
        g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
        size_t stride = static_cast<size_t>(std::abs(gray.pitch));
        for (int y = 0; y < g.rows; ++y) {
            // A negative pitch stores the bottom row first.
            const unsigned char* row =
                gray.buffer + stride * (gray.pitch >= 0 ? y : g.rows - 1 - y);
            for (int x = 0; x < g.width; ++x)
                g.coverage[static_cast<size_t>(y) * g.width + x] =
                    static_cast<uint8_t>(row[x] * 255 / (gray.num_grays - 1));
        }
    }
    FT_Bitmap_Done(faces_->engine->ft, &gray);
    return e.glyph;
}

void Font::DropGlyphs() const {
    glyphs_.clear();
}

} // namespace handset::gdi
