// ConfigState: the configuration program's one program-wide record, empty at
// start. The program is single-threaded; nothing else touches it.
#ifndef TESSARIL_CONFIG_STATE_H
#define TESSARIL_CONFIG_STATE_H

#include <windows.h>

struct ConfigState {
    HINSTANCE instance; // the module every string, dialog and menu is loaded from
    HWND sheetMenuBar;  // the sheet's soft keys, while the sheet is open
    HFONT boldFont;     // the About page's texts, from before the sheet to after it
    HWND aboutMenuBar;  // the About page's soft key, while it is open
    HWND mainPage;      // the Main page, which owns Apply's message
    BOOL applyFailed;   // a write of the current Apply failed
};

extern ConfigState g_configState;

#endif
