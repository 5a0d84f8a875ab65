// The Pocket PC shell's helpers as device code sees them: SHFullScreen.
#ifndef HANDSET_AYGSHELL_H
#define HANDSET_AYGSHELL_H

#include "windef.h"

#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020

BOOL WINAPI SHFullScreen(HWND hwndRequester, DWORD dwState);

#endif
