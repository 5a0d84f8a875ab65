// The common controls as Windows CE device code sees them: the library's
// version (what a property sheet callback answers PSCB_GETVERSION with),
// the toolbar values a menu bar resource (SHMENUBAR) is written with, the
// tab control's style bits, and property sheets (prsht.h).
#ifndef HANDSET_COMMCTRL_H
#define HANDSET_COMMCTRL_H

#include "winuser.h"
#include "prsht.h"

#ifdef __cplusplus
extern "C" {
#endif

// 0x020E on Windows Mobile 5.0, 0x020C on Pocket PC 2003.
#if defined(_WIN32_WCE) && _WIN32_WCE < 0x500
#define COMCTL32_VERSION 0x020C
#else
#define COMCTL32_VERSION 0x020E
#endif

#define ICC_LISTVIEW_CLASSES 0x00000001
#define ICC_TREEVIEW_CLASSES 0x00000002
#define ICC_BAR_CLASSES 0x00000004
#define ICC_TAB_CLASSES 0x00000008
#define ICC_UPDOWN_CLASS 0x00000010
#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_DATE_CLASSES 0x00000100

typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

void WINAPI InitCommonControls(void);
BOOL WINAPI InitCommonControlsEx(LPINITCOMMONCONTROLSEX lpInitCtrls);

// Toolbar button states and styles, and the image index of a button with
// none: the fields of a SHMENUBAR resource's buttons.
#define TBSTATE_CHECKED 0x01
#define TBSTATE_PRESSED 0x02
#define TBSTATE_ENABLED 0x04
#define TBSTATE_HIDDEN 0x08
#define TBSTYLE_BUTTON 0x0000
#define TBSTYLE_SEP 0x0001
#define TBSTYLE_CHECK 0x0002
#define TBSTYLE_GROUP 0x0004
#define TBSTYLE_DROPDOWN 0x0008
#define TBSTYLE_AUTOSIZE 0x0010
#define I_IMAGENONE (-2)

// The tab control: the class, and the phone's tabs along the bottom.
#define WC_TABCONTROLW TEXT("SysTabControl32")
#define WC_TABCONTROL WC_TABCONTROLW
#define TCS_BOTTOM 0x0002
#define TCS_RIGHT 0x0002
#define TCS_FLATBUTTONS 0x0008
#define TCS_BUTTONS 0x0100
#define TCS_FIXEDWIDTH 0x0400
#define TCM_FIRST 0x1300
#define TCM_GETITEMCOUNT (TCM_FIRST + 4)
#define TCM_GETCURSEL (TCM_FIRST + 11)
#define TCM_SETCURSEL (TCM_FIRST + 12)

#ifdef __cplusplus
}
#endif

#endif
