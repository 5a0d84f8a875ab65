// The window, control and menu-bar constants the resource script uses, with
// the platform's values: windres cannot read the platform headers, which are
// C++, so the script takes them from here.
#ifndef TESSARIL_CONFIG_RCDEFS_H
#define TESSARIL_CONFIG_RCDEFS_H

#define WS_POPUP 0x80000000L
#define WS_CAPTION 0x00C00000L
#define WS_VSCROLL 0x00200000L
#define WS_TABSTOP 0x00010000L
// The shell's extended style: an OK button in the caption.
#define WS_EX_CAPTIONOKBTN 0x80000000L

#define SS_ICON 0x00000003L
#define SS_CENTERIMAGE 0x00000200L
#define CBS_DROPDOWN 0x0002L
#define CBS_DROPDOWNLIST 0x0003L

// A menu bar (SHMENUBAR) is RCDATA: the menu's id, the button count, then per
// button its image, command, state, style, text string, 0 and the index of
// the menu's top-level entry it opens (NOMENU for none).
#define SHMENUBAR RCDATA
#define I_IMAGENONE (-2)
#define NOMENU 0xFFFF
#define TBSTATE_ENABLED 0x04
#define TBSTYLE_BUTTON 0x00
#define TBSTYLE_DROPDOWN 0x08
#define TBSTYLE_AUTOSIZE 0x10

#endif
