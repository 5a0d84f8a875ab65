// Dialog templates as the resource compiler writes them (DIALOG and
// DIALOGEX), read into one form, and dialog units turned into pixels.
//
// DIALOG: DLGTEMPLATE (style, extended style, item count, x, y, cx, cy);
// the menu, the class (each WORD 0 for none, 0xFFFF and an ordinal, or a
// string ending in 0) and the title; with DS_SETFONT the point size and the
// face; then each item DWORD-aligned: DLGITEMTEMPLATE (style, extended style,
// x, y, cx, cy, WORD id), its class and text (an ordinal or a string) and a
// WORD count of creation data bytes, which follow.
// DIALOGEX starts with WORD 1, WORD 0xFFFF, then the help id, extended
// style, style, item count and place; its font adds a weight, an italic
// flag and a character set; its items start with a help id, extended style
// and style, and have a DWORD id.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "res/resfile.h"

namespace handset {

// The predefined control classes' ordinals in a template.
enum : uint16_t {
    kDlgButton = 0x80,
    kDlgEdit = 0x81,
    kDlgStatic = 0x82,
    kDlgListBox = 0x83,
    kDlgScrollBar = 0x84,
    kDlgComboBox = 0x85,
};

struct DialogItem {
    DWORD style = 0, exStyle = 0, helpId = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    ResId cls;  // one of the ordinals above, or a class name
    ResId text; // a string, or an ordinal (an SS_ICON's icon)
    std::vector<unsigned char> data;
    uint32_t offset = 0; // in the template, for messages
};

struct DialogTemplate {
    bool extended = false;
    DWORD style = 0, exStyle = 0, helpId = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    ResId menu; // ordinal 0: none
    ResId cls;  // ordinal 0: the system's dialog class
    std::u16string title;
    bool hasFont = false; // DS_SETFONT
    WORD pointSize = 0;
    WORD weight = 0;
    bool italic = false;
    std::u16string face;
    std::vector<DialogItem> items;
};

// Reads a template of at most bytes.size() bytes. False, with *error as
// "NAME: byte N: what" (N from the template's start, where the reading
// broke: never past the end), when it is cut off or malformed: a header,
// string or item past the end, an extended template whose version is not 1,
// creation data past the end.
bool ParseDialogTemplate(std::span<const unsigned char> bytes, std::string_view name,
                         DialogTemplate* out, std::string* error);

// A dialog's base units, as Win32 derives them from its font: the average
// width of the 52 letters a-z and A-Z ((total / 26 + 1) / 2) and the font's
// height (tmHeight). MapDialogRect multiplies by them: x * cx / 4 and
// y * cy / 8, rounded as MulDiv rounds (half away from zero).
struct BaseUnits {
    int cx = 0, cy = 0;
};
int MulDiv(int number, int numerator, int denominator);
RECT DialogUnitsToPixels(const RECT& units, BaseUnits base);

} // namespace handset
