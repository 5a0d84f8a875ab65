// Text extents, lines and DrawTextW's formatting.
#include "gdi/text.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace handset::gdi {

namespace {

// One character as laid out.
struct Item {
    char32_t c;
    int advance;
    bool underline; // a prefixed character
    bool lineBreak; // CR, LF, CR LF or LF CR
};
using Items = std::vector<Item>;

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u < 0xDC00;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u < 0xE000;
}

// The code point at text[*i], moving *i past it.
char32_t Next(std::u16string_view text, size_t* i) {
    char16_t u = text[(*i)++];
    if (IsHighSurrogate(u) && *i < text.size() && IsLowSurrogate(text[*i]))
        return 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[(*i)++] - 0xDC00);
    return u;
}

Items Plain(const Font& font, std::u16string_view text) {
    Items items;
    for (size_t i = 0; i < text.size();) {
        char32_t c = Next(text, &i);
        items.push_back({c, font.Advance(c), false, false});
    }
    return items;
}

// The text as DrawTextW lays it out: line breaks as items, prefixes taken.
Items Shape(const Font& font, std::u16string_view text, UINT format) {
    bool prefixes = !(format & DT_NOPREFIX), lines = !(format & DT_SINGLELINE);
    auto isBreak = [&](char32_t c) { return lines && (c == u'\r' || c == u'\n'); };
    Items items;
    bool underlineNext = false;
    for (size_t i = 0; i < text.size();) {
        char32_t c = Next(text, &i);
        if (isBreak(c)) {
            // CR LF and LF CR are one break; CR CR and LF LF two.
            if (i < text.size() && isBreak(text[i]) && text[i] != c) ++i;
            items.push_back({c, 0, false, true});
            underlineNext = false;
            continue;
        }
        if (prefixes && c == u'&' && i < text.size()) {
            if (text[i] == u'&') {
                ++i; // "&&": one ampersand, drawn
            } else {
                underlineNext = true; // the & goes, its character is marked
                continue;
            }
        }
        items.push_back({c, font.Advance(c), underlineNext, false});
        underlineNext = false;
    }
    return items;
}

int Width(const Items& items) {
    int w = 0;
    for (const Item& item : items)
        w += item.advance;
    return w;
}

// How many leading items fit within width.
size_t Fit(const Items& line, int width) {
    int w = 0;
    size_t n = 0;
    while (n < line.size() && w + line[n].advance <= width)
        w += line[n++].advance;
    return n;
}

// Where a line too wide breaks, given that fit < line.size() items fit:
// how many items it keeps and how many it uses up.
std::pair<size_t, size_t> BreakAtSpace(const Items& line, size_t fit, bool centredOrRight) {
    auto space = [&](size_t i) { return line[i].c == u' '; };
    size_t p = fit;
    bool wordFits;
    if (fit == 0) {
        wordFits = false;
    } else if (space(fit)) {
        p = fit - 1; // the word before it just fitted
        wordFits = true;
    } else {
        while (p > 0 && !space(--p)) {}
        wordFits = p > 0 || space(0);
    }
    if (!wordFits) {
        // The first word is wider than the line: it stays whole, and the
        // space after it goes.
        p = fit;
        while (p < line.size() && !space(p))
            ++p;
        return {p, p < line.size() ? p + 1 : p};
    }
    // line[p] ends what fits: the space before the word that does not, or
    // the last letter of a word that just fitted.
    if (!centredOrRight || !space(p)) ++p;
    return {p, p < line.size() && space(p) ? p + 1 : p};
}

// Cuts the line so that what is left and "..." fit.
void Ellipsize(Items* line, int width, const Font& font) {
    int dot = font.Advance(u'.');
    int w = Width(*line);
    while (!line->empty() && w + 3 * dot > width) {
        w -= line->back().advance;
        line->pop_back();
    }
    for (int i = 0; i < 3; ++i)
        line->push_back({u'.', dot, false, false});
}

uint16_t Blend(uint16_t d, uint16_t t, unsigned c) {
    unsigned rest = 255 - c;
    unsigned r = ((t >> 11) * c + (d >> 11) * rest + 127) / 255;
    unsigned g = ((t >> 5 & 0x3F) * c + (d >> 5 & 0x3F) * rest + 127) / 255;
    unsigned b = ((t & 0x1F) * c + (d & 0x1F) * rest + 127) / 255;
    return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

// Blends one glyph with its bitmap's top-left at the scaled surface's
// logical pixel (x, y) (origin included): each glyph pixel is a block.
void DrawGlyphScaled(const Surface& s, const RECT& clip, int x, int y, const Glyph& g,
                     uint16_t colour) {
    int k = s.scale;
    RECT area = Intersect(clip, {x * k, y * k, (x + g.width) * k, (y + g.rows) * k});
    for (int py = area.top; py < area.bottom; ++py) {
        const uint8_t* cover = g.coverage.data() + static_cast<size_t>(py / k - y) * g.width;
        uint16_t* row = s.Row(py);
        for (int px = area.left; px < area.right; ++px) {
            unsigned c = cover[px / k - x];
            if (c == 255)
                row[px] = colour;
            else if (c)
                row[px] = Blend(row[px], colour, c);
        }
    }
}

// Blends one glyph with its bitmap's top-left at surface pixel (x, y).
void DrawGlyph(const Surface& s, const RECT& clip, int x, int y, const Glyph& g, uint16_t colour) {
    if (s.scale != 1) return DrawGlyphScaled(s, clip, x, y, g, colour);
    RECT area = Intersect(clip, {x, y, x + g.width, y + g.rows});
    if (IsEmpty(area)) return;
    for (int py = area.top; py < area.bottom; ++py) {
        const uint8_t* cover = g.coverage.data() + static_cast<size_t>(py - y) * g.width - x;
        uint16_t* row = s.Row(py);
        for (int px = area.left; px < area.right; ++px) {
            unsigned c = cover[px];
            if (c == 255)
                row[px] = colour;
            else if (c)
                row[px] = Blend(row[px], colour, c);
        }
    }
}

// One laid-out line with its cell's top-left at logical (x, y).
void DrawItems(const Surface& s, const Font& font, int x, int y, const Items& line,
               const TextStyle& style, const RECT* clip, bool underlines) {
    // area in surface pixels; x, y and what follows in logical ones, moved
    // by the origin (the same as surface pixels at scale 1).
    RECT area = s.DrawableArea();
    if (clip) area = Intersect(area, ToSurface(s, *clip));
    if (IsEmpty(area)) return;
    x += s.origin.x;
    y += s.origin.y;
    const TextMetrics& tm = font.Metrics();
    if (style.opaque) {
        Surface cell = s;
        cell.clip = area;
        cell.origin = {0, 0};
        FillSolid(cell, {x, y, x + Width(line), y + tm.height}, ToRgb565(style.backgroundColor));
    }
    uint16_t colour = ToRgb565(style.textColor);
    int baseline = y + tm.ascent;
    int pen = x;
    for (const Item& item : line) {
        const Glyph& g = font.Rendered(item.c);
        DrawGlyph(s, area, pen + g.left, baseline - g.top, g, colour);
        if (item.underline && underlines) {
            Surface under = s;
            under.clip = area;
            under.origin = {0, 0};
            FillSolid(under, {pen, baseline + 1, pen + item.advance, baseline + 2}, colour);
        }
        pen += item.advance;
    }
}

} // namespace

std::string FormatFlagNames(UINT flags) {
    static const struct {
        UINT flag;
        const char* name;
    } names[] = {{DT_EXPANDTABS, "DT_EXPANDTABS"},       {DT_TABSTOP, "DT_TABSTOP"},
                 {DT_INTERNAL, "DT_INTERNAL"},           {DT_EDITCONTROL, "DT_EDITCONTROL"},
                 {DT_PATH_ELLIPSIS, "DT_PATH_ELLIPSIS"}, {DT_END_ELLIPSIS, "DT_END_ELLIPSIS"},
                 {DT_MODIFYSTRING, "DT_MODIFYSTRING"},   {DT_RTLREADING, "DT_RTLREADING"},
                 {DT_PREFIXONLY, "DT_PREFIXONLY"}};
    std::string out;
    for (const auto& n : names) {
        if (!(flags & n.flag)) continue;
        out += (out.empty() ? "" : " | ") + std::string(n.name);
        flags &= ~n.flag;
    }
    if (flags) {
        char unknown[16];
        std::snprintf(unknown, sizeof unknown, "0x%X", flags);
        out += (out.empty() ? "" : " | ") + std::string(unknown);
    }
    return out;
}

SIZE MeasureText(const Font& font, std::u16string_view text) {
    return {Width(Plain(font, text)), font.Metrics().height};
}

void DrawTextLine(const Surface& target, const Font& font, int x, int y, std::u16string_view text,
                  const TextStyle& style, const RECT* clip) {
    DrawItems(target, font, x, y, Plain(font, text), style, clip, false);
}

int DrawFormatted(const Surface* target, const Font& font, std::u16string_view text, RECT* rect,
                  UINT format, const TextStyle& style, std::string* error) {
    if (!rect) {
        if (error) *error = "DrawTextW: no rectangle";
        return 0;
    }
    if (UINT missing = format & ~ImplementedFormat) {
        if (error)
            *error = "DrawTextW: " + FormatFlagNames(missing) + " not implemented by the handset";
        return 0;
    }
    if (format & DT_SINGLELINE) format &= ~DT_WORDBREAK;
    const TextMetrics& tm = font.Metrics();
    int lineHeight = tm.height + (format & DT_EXTERNALLEADING ? tm.externalLeading : 0);
    bool calc = format & DT_CALCRECT;
    if (text.empty()) {
        if (calc) {
            rect->right = rect->left;
            rect->bottom = rect->top + (format & DT_SINGLELINE ? lineHeight : 0);
        }
        return lineHeight;
    }
    bool noclip = calc || (format & DT_NOCLIP);
    bool draw = target && !calc;
    Items items = Shape(font, text, format);
    int width = rect->right - rect->left;
    int x = rect->left, y = rect->top, widest = 0;
    size_t pos = 0;
    bool last;
    do {
        last = !noclip && y + lineHeight > rect->bottom;
        size_t end = pos;
        while (end < items.size() && !items[end].lineBreak)
            ++end;
        Items line(items.begin() + pos, items.begin() + end);
        size_t next = end;
        bool broken = false;
        size_t fit = Fit(line, width);
        if (fit < line.size() && (format & DT_WORDBREAK)) {
            auto [keep, used] = BreakAtSpace(line, fit, format & (DT_CENTER | DT_RIGHT));
            line.resize(keep);
            next = pos + used;
            broken = true;
        }
        if ((format & DT_WORD_ELLIPSIS) && Width(line) > width) Ellipsize(&line, width, font);
        int cx = Width(line);
        if (format & DT_CENTER)
            x = (rect->left + rect->right - cx) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - cx;
        if (format & DT_SINGLELINE) {
            if (format & DT_VCENTER)
                y = rect->top + (rect->bottom - rect->top) / 2 - tm.height / 2;
            else if (format & DT_BOTTOM)
                y = rect->bottom - tm.height;
        }
        if (draw)
            DrawItems(*target, font, x, y, line, style, noclip ? nullptr : rect,
                      !(format & DT_HIDEPREFIX));
        widest = std::max(widest, cx);
        y += lineHeight;
        // A line that ended at a break takes the break with it; a line
        // broken at a space leaves a break after it for a line of its own.
        if (!broken && next < items.size()) ++next;
        pos = next;
    } while (pos < items.size() && !last);

    int height = y - rect->top;
    if (calc) {
        rect->right = rect->left + widest;
        rect->bottom = y;
    }
    return height ? height : 1;
}

} // namespace handset::gdi
