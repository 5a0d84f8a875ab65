// The About page and the pieces of the phone's look it shares with the
// settings sheet: the bold font, the full-screen dialog set-up and the
// soft-key menu bar.
#ifndef TESSARIL_CONFIG_ABOUT_H
#define TESSARIL_CONFIG_ABOUT_H

#include <windows.h>
#include <aygshell.h>

// What InitFullScreenDialog gives the About page (13): the caption's OK
// button, the whole screen, the input panel down.
#define ABOUT_PAGE_DIALOG_FLAGS (SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN)

// Makes g_configState.boldFont, bold Tahoma of nine points at the screen's
// vertical resolution (-12 pixels at 96 dpi), replacing one made before.
// FALSE, with nothing changed, when it cannot.
BOOL CreateBoldFont();
// Deletes the font if there is one; safe to call twice.
void DeleteBoldFont();
// Gives the control the bold font, without redrawing it.
void SetBoldFont(HWND control);

// SHInitDialog with only its flags.
BOOL InitFullScreenDialog(HWND dialog, DWORD flags);
// The soft-key menu bar of the window from the instance's menu resource id;
// its window, or NULL when it cannot be made.
HWND CreateMenuBar(HINSTANCE instance, HWND window, UINT menuId);

// Runs the About page modally, without an owner, until it is closed.
void ShowAboutPage(HINSTANCE instance);
BOOL CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

#endif
