// The font's own answer for the text widths the conformance suite measures:
// at each size of text_table.h, the sum of the advances of Tahoma's embedded
// bitmap strike, read with FreeType from Wine's font files, written as the
// text area's keys so that conformance_compare judges the handset by them.
//
//   conformance_font TRANSCRIPT
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <string>

#include "text_table.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: conformance_font TRANSCRIPT\n");
        return 2;
    }
    FT_Library library;
    if (FT_Init_FreeType(&library)) return 1;
    const char* files[] = {"/usr/share/wine/fonts/tahoma.ttf",
                           "/usr/share/wine/fonts/tahomabd.ttf"};
    FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    int lines = 0;
    for (const TextSize& size : kTextSizes) {
        FT_Face face;
        if (FT_New_Face(library, files[size.bold], 0, &face)) {
            std::fprintf(stderr, "conformance_font: cannot open %s\n", files[size.bold]);
            return 1;
        }
        bool strike = false;
        for (int i = 0; i < face->num_fixed_sizes; ++i)
            strike |= face->available_sizes[i].y_ppem == size.em * 64;
        if (!strike || FT_Set_Pixel_Sizes(face, 0, size.em)) {
            std::fprintf(stderr, "conformance_font: %s has no %d-pixel strike\n", files[size.bold],
                         size.em);
            return 1;
        }
        for (size_t s = 0; s < sizeof kTextSamples / sizeof kTextSamples[0]; ++s) {
            long width = 0;
            for (const char* c = kTextSamples[s]; *c; ++c) {
                // The strike's glyph: FT_LOAD_DEFAULT prefers an embedded
                // bitmap at a strike's size. The strikes leave the space out
                // (it has no pixels); its advance is the outline's, scaled
                // and rounded to a whole pixel.
                if (FT_Load_Char(face, static_cast<unsigned char>(*c), FT_LOAD_DEFAULT)) return 1;
                if (face->glyph->format == FT_GLYPH_FORMAT_BITMAP)
                    width += face->glyph->advance.x >> 6;
                else if (*c == ' ')
                    width += (face->glyph->linearHoriAdvance + 0x8000) >> 16;
                else {
                    std::fprintf(stderr, "conformance_font: '%c' at %d has no bitmap\n", *c,
                                 size.em);
                    return 1;
                }
            }
            std::fprintf(out, "text.WidthsAtBitmapSizes.%s%d.[%zu].cx = %ld\n",
                         size.bold ? "bold" : "normal", size.em, s, width);
            ++lines;
        }
        FT_Done_Face(face);
    }
    std::fclose(out);
    FT_Done_FreeType(library);
    std::printf("conformance_font: %d widths from the strikes\n", lines);
    return 0;
}
