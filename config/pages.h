// The settings sheet: its three pages (Main, Options, Call Drop), which
// show the stored settings and save them on Apply.
#ifndef TESSARIL_CONFIG_PAGES_H
#define TESSARIL_CONFIG_PAGES_H

#include <windows.h>

// The pages' procedures. Each fills its lists and shows the stored values
// when it is made, saves and shows them again on the sheet's sibling query
// (which Apply sends), and opens the About page; each answers FALSE to all.
BOOL CALLBACK MainPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CALLBACK CallDropPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The sheet's callback: makes its menu bar once it exists, and answers the
// version query with the platform's common controls version.
int CALLBACK SettingsSheetCallback(HWND sheet, UINT message, LPARAM lParam);

// Runs the full-screen sheet from g_configState.instance until the user
// closes it, then destroys its menu bar. FALSE when it could not be made.
BOOL RunSettingsSheet();

#endif
