// The Pocket PC shell's helpers as device code sees them: SHFullScreen, the
// soft-key menu bar (SHCreateMenuBar) and the set-up of a dialog as a
// full-screen page (SHInitDialog). Resource scripts include it for
// SHMENUBAR and NOMENU.
#ifndef HANDSET_AYGSHELL_H
#define HANDSET_AYGSHELL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020

BOOL WINAPI SHFullScreen(HWND hwndRequester, DWORD dwState);

// A menu bar resource: RCDATA of WORDs, the menu's id, the button count,
// then per button its image (I_IMAGENONE), command, state (TBSTATE_*),
// style (TBSTYLE_*), string id of its text, 0, and the index of the
// menu's top-level item it opens (NOMENU for none).
#define SHMENUBAR RCDATA
#define NOMENU 0xFFFF

// SHMENUBARINFO's dwFlags. With SHCMBF_HMENU nToolBarId names a MENU
// resource whose top-level items are the soft keys; without, it names the
// SHMENUBAR resource that describes them.
#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010

typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

// Makes the menu bar (its window in hwndMB) along the bottom of the screen;
// its buttons and menu items send WM_COMMAND to hwndParent.
BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi);

// Messages to a menu bar: the popup menu of a button (by command), the
// menu bar's whole menu.
#define SHCMBM_SETSUBMENU (WM_USER + 400)
#define SHCMBM_GETSUBMENU (WM_USER + 401)
#define SHCMBM_GETMENU (WM_USER + 402)

// SHINITDLGINFO's dwMask and dwFlags.
#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020

typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

// Sets a dialog up as a page of the phone: its OK button in the caption
// (SHIDIF_DONEBUTTON: a tap sends WM_COMMAND IDOK), sized to the screen
// below the taskbar, above the menu bar or over it, the input panel down.
BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);

#ifdef __cplusplus
}
#endif

#endif
