// The configuration program's entry: the autostart mode, the single-instance
// test, and the sheet with the bold font around it.
#include "tessarilcfg.h"

#include "about.h"
#include "config_state.h"
#include "control.h"
#include "pages.h"

ConfigState g_configState;

int TessarilCfgMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand) {
    if (IsAutostartCommandLine(commandLine)) {
        RunAutostart();
        return 0;
    }
    // Before anything of the program-wide record is touched: the open copy
    // may be using it.
    HWND open = FindWindowW(NULL, CONFIG_WINDOW_TITLE);
    if (open != NULL) {
        // The lowest bit brings its owned windows (a message box) along.
        SetForegroundWindow((HWND)((ULONG_PTR)open | 1));
        return 0;
    }
    g_configState.instance = instance;
    g_configState.sheetMenuBar = NULL;
    g_configState.boldFont = NULL;
    g_configState.aboutMenuBar = NULL;
    g_configState.mainPage = NULL;
    g_configState.applyFailed = FALSE;
    CreateBoldFont(); // without it the About page's texts keep the dialog font
    RunSettingsSheet();
    DeleteBoldFont();
    return 0;
}
