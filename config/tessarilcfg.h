// TessarilCfg, the configuration program: its entry.
#ifndef TESSARIL_CONFIG_TESSARILCFG_H
#define TESSARIL_CONFIG_TESSARILCFG_H

#include <windows.h>

// The title of the sheet and the About page, by which a second start finds
// the open one (and also the lock program's start-up error box).
#define CONFIG_WINDOW_TITLE TEXT("Tessaril")

// With the command line "reset": the autostart, showing nothing. Otherwise
// brings an open sheet or About page to the front, or runs the sheet until
// the user closes it. Always 0.
int TessarilCfgMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

#endif
