// Text as GDI draws it on the phone: the extent of a string
// (GetTextExtentPoint32W), one line at a point (ExtTextOutW's core) and
// DrawTextW's formatting into a rectangle.
//
// Glyph coverage c (0..255) blends the text colour T into each destination
// channel D in the display's own precision (5, 6 and 5 bits):
// D' = (T * c + D * (255 - c) + 127) / 255, so full coverage gives T, none
// leaves D, and partial coverage rounds to the nearest level (halves up).
#pragma once

#include <winuser.h>

#include <string>
#include <string_view>

#include "gdi/fonts.h"
#include "gdi/surface.h"

namespace handset::gdi {

// What a device context adds to the text: its colours and background mode.
struct TextStyle {
    COLORREF textColor = 0x000000;       // SetTextColor; black by default
    COLORREF backgroundColor = 0xFFFFFF; // SetBkColor; white by default
    bool opaque = true;                  // SetBkMode: OPAQUE (the default) or TRANSPARENT
};

// GetTextExtentPoint32W: the sum of the characters' advances (no kerning, as
// GDI by default) by the font's height. A surrogate pair is one character; a
// lone surrogate draws the missing-glyph box.
SIZE MeasureText(const Font& font, std::u16string_view text);

// One line with its cell's top-left corner at logical (x, y), as
// ExtTextOutW draws it with TA_TOP | TA_LEFT. When style.opaque, the line's
// cell (x, y) - (x + width, y + height) is filled with the background colour
// first. Clipped to clip (logical) when given, and always to the surface's.
void DrawTextLine(const Surface& target, const Font& font, int x, int y, std::u16string_view text,
                  const TextStyle& style, const RECT* clip);

// The DT_ flags DrawFormatted implements: DT_LEFT, DT_CENTER, DT_RIGHT,
// DT_TOP, DT_VCENTER, DT_BOTTOM, DT_SINGLELINE, DT_WORDBREAK,
// DT_WORD_ELLIPSIS, DT_CALCRECT, DT_NOCLIP, DT_NOPREFIX, DT_HIDEPREFIX,
// DT_EXTERNALLEADING, and DT_NOFULLWIDTHCHARBREAK (which changes nothing, as
// lines only break at spaces).
constexpr UINT ImplementedFormat = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM | DT_WORDBREAK |
                                   DT_SINGLELINE | DT_NOCLIP | DT_EXTERNALLEADING | DT_CALCRECT |
                                   DT_NOPREFIX | DT_WORD_ELLIPSIS | DT_NOFULLWIDTHCHARBREAK |
                                   DT_HIDEPREFIX;

// The names of DT_ flags DrawFormatted does not implement ("DT_EXPANDTABS |
// DT_TABSTOP"), and any unknown bits in hex.
std::string FormatFlagNames(UINT flags);

// DrawTextW's core, drawing into target (nothing when target is null: a
// measuring-only device context) in the logical rectangle *rect. Returns
// what DrawTextW returns: the distance from rect->top to the bottom of the
// last line laid out (at least 1), and the line height for empty text. With
// DT_CALCRECT it draws nothing and sets rect->right to left + the widest
// line and rect->bottom to the last line's bottom (for empty text: right =
// left, bottom = top, or top + one line with DT_SINGLELINE).
//
// Win32's rules, which the tests hold:
// - Lines end at CR, LF, CR LF or LF CR, unless DT_SINGLELINE. Each line is
//   the font's height apart (plus its external leading with
//   DT_EXTERNALLEADING).
// - DT_WORDBREAK breaks a line that is too wide at the last space before the
//   first character that does not fit; the space goes, and so does one space
//   at the start of the next line. Left-aligned lines keep the spaces before
//   the break, centred and right-aligned ones all but the last. A first word
//   wider than the line stays whole (and is clipped or ellipsized).
// - DT_WORD_ELLIPSIS cuts a line that is still too wide at the end, so that
//   what is left and "..." (three periods, as DrawTextW writes it) fit, and
//   the "..." alone when nothing does.
// - DT_CENTER puts a line at (left + right - width) / 2, DT_RIGHT at right -
//   width. DT_VCENTER and DT_BOTTOM apply to DT_SINGLELINE only: the line's
//   top goes to top + (bottom - top) / 2 - height / 2, or bottom - height.
//   Divisions truncate, as C's do.
// - Unless DT_NOCLIP (which DT_CALCRECT implies), the text is clipped to the
//   rectangle and layout stops after the first line that reaches below it.
// - Unless DT_NOPREFIX, "&x" draws x underlined (at the baseline + 1, one
//   pixel high, the width of x's advance; not with DT_HIDEPREFIX), "&&" an
//   ampersand, and an "&" at the end is kept.
//
// Any other flag is not implemented: the result is 0, nothing is drawn and
// *error names the flags. So too without a rectangle.
int DrawFormatted(const Surface* target, const Font& font, std::u16string_view text, RECT* rect,
                  UINT format, const TextStyle& style, std::string* error = nullptr);

} // namespace handset::gdi
