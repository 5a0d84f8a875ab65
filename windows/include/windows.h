// The desktop's windows.h with the Windows CE names device code and its
// resource scripts use beyond it (a script gets the desktop's winresrc.h
// through windows.h, never winuser.h, so they are added here).
#ifndef TESSARIL_WINDOWS_WINDOWS_H
#define TESSARIL_WINDOWS_WINDOWS_H

#include_next <windows.h>

// The OK button in a Pocket PC dialog's caption. The desktop has no such
// button and gives the bit no meaning, so it is ignored there.
#ifndef WS_EX_CAPTIONOKBTN
#define WS_EX_CAPTIONOKBTN 0x80000000L
#endif

#endif
