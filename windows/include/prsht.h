// The desktop's prsht.h with the values Windows CE gives the sheet. Two of
// them mean something else on the desktop: PSH_MAXIMIZE is the desktop's
// PSH_WIZARD, and the desktop sends PSCB_BUTTONPRESSED where the phone asks
// PSCB_GETVERSION. Device code's PropertySheetW is therefore the stand-in's,
// which turns the phone's meanings into the desktop's before comctl32 sees
// them (windows/standins/commctrl.cpp).
#ifndef TESSARIL_WINDOWS_PRSHT_H
#define TESSARIL_WINDOWS_PRSHT_H

#include_next <prsht.h>

#ifndef RC_INVOKED
#define PSH_MAXIMIZE 0x00002000
#define PSCB_GETVERSION 3
#define PSCB_GETTITLE 4
#define PSCB_GETLINKTEXT 5

#ifdef __cplusplus
extern "C" {
#endif

INT_PTR WINAPI StandInPropertySheetW(LPCPROPSHEETHEADERW header);

#ifdef __cplusplus
}
#endif

// The stand-in itself calls comctl32's.
#ifndef TESSARIL_STANDINS
#define PropertySheetW StandInPropertySheetW
#endif
#endif

#endif
