// The settings sheet and its three pages. A page fills its lists when it is
// made and then shows the stored values; Apply saves every page in page
// order, Main first, shows each page's values again, and then says once
// whether everything was saved. Nothing is saved any other way: closing the
// sheet drops what was not applied.
// This file is the configuration program's alone: it sees the settings'
// writers in any build, the check of device sources as C++03 included.
#ifndef TESSARIL_CONFIG_PROGRAM
#define TESSARIL_CONFIG_PROGRAM
#endif
#include "pages.h"

#include <commctrl.h>
#include <string.h>

#include "about.h"
#include "config_state.h"
#include "control.h"
#include "res/resource.h"
#include "settings.h"
#include "string_res.h"

// The State box's items.
#define STATE_ACTIVE 0
#define STATE_INACTIVE 1

#define SHEET_PAGE_COUNT 3
// wsprintfW writes at most this many units, terminator included.
#define FORMATTED_LEN 1024

namespace {

// ---- Lists ----------------------------------------------------------------

void FillFromString(HWND page, int comboId, UINT textId) {
    WCHAR text[LIST_TEXT_LEN];
    text[0] = 0;
    LoadStringW(g_configState.instance, textId, text, LIST_TEXT_LEN);
    FillListFromString(GetDlgItem(page, comboId), text);
}

// One "%d sec" item per table entry, in table order, so that item i is entry i.
void FillWithSeconds(HWND page, int comboId, int count, LONG (*entryMs)(int)) {
    WCHAR format[LIST_TEXT_LEN];
    format[0] = 0;
    LoadStringW(g_configState.instance, IDS_SEC_FORMAT, format, LIST_TEXT_LEN);
    HWND combo = GetDlgItem(page, comboId);
    for (int i = 0; i < count; ++i) {
        WCHAR item[FORMATTED_LEN];
        wsprintfW(item, format, (int)(entryMs(i) / 1000));
        SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)item);
    }
}

// The stored index as it is: one outside the list leaves no selection.
void Select(HWND page, int comboId, int index) {
    SendDlgItemMessageW(page, comboId, CB_SETCURSEL, (WPARAM)index, 0);
}

// The selection as a 16-bit signed index: -1 for none.
int Selection(HWND page, int comboId) {
    return (SHORT)SendDlgItemMessageW(page, comboId, CB_GETCURSEL, 0, 0);
}

// ---- Saving ---------------------------------------------------------------

typedef BOOL (*Writer)(SettingsKey& key, int value);

// One Apply writes every page before it says anything: a failed write is
// noted here, and the Apply reports once after the last page.
void Write(SettingsKey& key, Writer write, int value) {
    if (!write(key, value)) g_configState.applyFailed = TRUE;
}

// The item an editable box's text names, ignoring case and the spaces around
// it: what the user typed counts as well as what was picked. FALSE when the
// text names none.
BOOL TypedChoice(HWND page, int comboId, int* index) {
    HWND combo = GetDlgItem(page, comboId);
    WCHAR text[LIST_ITEM_LEN + 1];
    text[0] = 0;
    int length = GetWindowTextW(combo, text, LIST_ITEM_LEN + 1);
    if (length >= LIST_ITEM_LEN) return FALSE; // perhaps cut short; no item is that long
    LPWSTR first = text;
    while (*first == TEXT(' '))
        ++first;
    LPWSTR end = first + wcslen(first);
    while (end > first && end[-1] == TEXT(' '))
        --end;
    *end = 0;
    if (*first == 0) return FALSE;
    LRESULT found = SendMessageW(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)first);
    if (found == CB_ERR) return FALSE;
    *index = (int)found;
    return TRUE;
}

// A text that names no item is not written: the stored value stays, and the
// reload shows it again.
void WriteTyped(SettingsKey& key, Writer write, HWND page, int comboId) {
    int index;
    if (TypedChoice(page, comboId, &index)) Write(key, write, index);
}

// After every page has written: one message, saved or not.
void ReportApply(HWND page) {
    HWND owner = g_configState.mainPage != NULL ? g_configState.mainPage : page;
    if (g_configState.applyFailed)
        ShowStringMessage(g_configState.instance, owner, IDS_SAVE_FAILED, IDS_APP_TITLE,
                          MB_ICONERROR | MB_OK);
    else
        ShowStringMessage(g_configState.instance, owner, IDS_SAVED, IDS_APP_TITLE,
                          MB_ICONINFORMATION | MB_OK);
}

// Apply: the sibling query saves and reloads every page in page order, and
// returns when the last has; then the outcome is told.
void Apply(HWND page) {
    g_configState.applyFailed = FALSE;
    SendMessageW(GetParent(page), PSM_QUERYSIBLINGS, 0, 0);
    ReportApply(page);
}

// ---- Main -----------------------------------------------------------------

void FillMain(HWND page) {
    g_configState.mainPage = page; // the owner of Apply's message
    FillFromString(page, IDC_STATE, IDS_STATE_ITEMS);
    FillWithSeconds(page, IDC_TEMP_UNLOCK, TempUnlockDelayCount(), TempUnlockDelayMs);
    FillWithSeconds(page, IDC_START_DELAY, OnStartDelayCount(), OnStartDelayMs);
}

void LoadMain(HWND page) {
    SettingsKey key;
    Select(page, IDC_STATE, IsLockProgramRunning() ? STATE_ACTIVE : STATE_INACTIVE);
    Select(page, IDC_TEMP_UNLOCK, ReadTempUnlockDelay(key));
    Select(page, IDC_START_DELAY, ReadOnStartDelay(key));
    SendDlgItemMessageW(page, IDC_AUTOSTART, BM_SETCHECK,
                        ReadStartAfterReset(key) ? BST_CHECKED : BST_UNCHECKED, 0);
    key.Close();
}

void SaveMain(HWND page) {
    SettingsKey key;
    Write(key, WriteTempUnlockDelay, Selection(page, IDC_TEMP_UNLOCK));
    Write(key, WriteOnStartDelay, Selection(page, IDC_START_DELAY));
    BOOL autostart = SendDlgItemMessageW(page, IDC_AUTOSTART, BM_GETCHECK, 0, 0) != 0;
    Write(key, WriteStartAfterReset, autostart ? 1 : 0);
    key.Close();

    if (Selection(page, IDC_STATE) == STATE_ACTIVE) {
        // Does nothing when it runs already.
        StartLockProgram();
        if (!IsLockProgramRunning())
            ShowStringMessage(g_configState.instance, page, IDS_START_FAILED, IDS_APP_TITLE,
                              MB_ICONERROR | MB_OK);
    } else {
        // A lock program that does not end in time shows as Active on reload.
        StopLockProgram();
    }
}

// ---- Options --------------------------------------------------------------

void FillOptions(HWND page) {
    FillFromString(page, IDC_LOCK_SIGNAL, IDS_SIGNAL_ITEMS);
    FillFromString(page, IDC_UNLOCK_SIGNAL, IDS_SIGNAL_ITEMS);
    FillFromString(page, IDC_ELAPSED_TYPE, IDS_SIGNAL_ITEMS);
    FillFromString(page, IDC_INTERVAL, IDS_INTERVAL_ITEMS);
    FillWithSeconds(page, IDC_SIGNAL_BEFORE, RegularSoundBeforeCount(), RegularSoundBeforeMs);
    FillFromString(page, IDC_SCREEN_OFF, IDS_SCREEN_OFF_ITEMS);
}

void LoadOptions(HWND page) {
    SettingsKey key;
    Select(page, IDC_LOCK_SIGNAL, ReadOnSoundType(key));
    Select(page, IDC_UNLOCK_SIGNAL, ReadOffSoundType(key));
    Select(page, IDC_ELAPSED_TYPE, ReadRegularSoundType(key));
    Select(page, IDC_INTERVAL, ReadRegularSoundDelay(key));
    Select(page, IDC_SIGNAL_BEFORE, ReadRegularSoundBefore(key));
    Select(page, IDC_SCREEN_OFF, ReadTurnOffScr(key));
    key.Close();
}

// Its boxes are editable: each saves the item its text names.
void SaveOptions(HWND page) {
    SettingsKey key;
    WriteTyped(key, WriteOnSoundType, page, IDC_LOCK_SIGNAL);
    WriteTyped(key, WriteOffSoundType, page, IDC_UNLOCK_SIGNAL);
    WriteTyped(key, WriteRegularSoundType, page, IDC_ELAPSED_TYPE);
    WriteTyped(key, WriteRegularSoundDelay, page, IDC_INTERVAL);
    WriteTyped(key, WriteRegularSoundBefore, page, IDC_SIGNAL_BEFORE);
    WriteTyped(key, WriteTurnOffScr, page, IDC_SCREEN_OFF);
    key.Close();
}

// ---- Call Drop ------------------------------------------------------------

void FillCallDrop(HWND page) {
    FillFromString(page, IDC_DROP_INCOMING, IDS_DROP_ITEMS);
    FillFromString(page, IDC_DROP_OUTGOING, IDS_DROP_ITEMS);
}

void LoadCallDrop(HWND page) {
    SettingsKey key;
    Select(page, IDC_DROP_INCOMING, ReadDropIncoming(key));
    Select(page, IDC_DROP_OUTGOING, ReadDropOutgoing(key));
    key.Close();
}

void SaveCallDrop(HWND page) {
    SettingsKey key;
    Write(key, WriteDropIncoming, Selection(page, IDC_DROP_INCOMING));
    Write(key, WriteDropOutgoing, Selection(page, IDC_DROP_OUTGOING));
    key.Close();
}

// ---- The pages and the sheet ------------------------------------------------

typedef void (*PageStep)(HWND page);

// What the three pages do alike. FALSE to everything: the sheet goes on
// to pass the sibling query to the next page.
BOOL PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, PageStep fill, PageStep load,
              PageStep save) {
    switch (message) {
    case WM_INITDIALOG:
        fill(page);
        load(page);
        break;
    case WM_COMMAND:
        // The sheet hands the menu bar's commands to the page on top.
        switch (LOWORD(wParam)) {
        case IDM_APPLY:
            Apply(page);
            break;
        case IDM_ABOUT:
            ShowAboutPage(g_configState.instance);
            break;
        }
        break;
    case PSM_QUERYSIBLINGS:
        if (wParam == 0 && lParam == 0) {
            save(page);
            load(page); // what is stored now, and whether the lock program runs
        }
        break;
    }
    return FALSE;
}

UINT CALLBACK PageCallback(HWND window, UINT message, LPPROPSHEETPAGEW page) {
    return (UINT)-1; // every page is made
}

struct PageDescription {
    WORD templateId;
    DLGPROC procedure;
};

const PageDescription kPages[SHEET_PAGE_COUNT] = {
    {IDD_MAIN, MainPageProc},
    {IDD_OPTIONS, OptionsPageProc},
    {IDD_CALL_DROP, CallDropPageProc},
};

void DestroySheetMenuBar() {
    if (g_configState.sheetMenuBar == NULL) return;
    DestroyWindow(g_configState.sheetMenuBar);
    g_configState.sheetMenuBar = NULL;
}

} // namespace

BOOL CALLBACK MainPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return PageProc(page, message, wParam, lParam, FillMain, LoadMain, SaveMain);
}

BOOL CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return PageProc(page, message, wParam, lParam, FillOptions, LoadOptions, SaveOptions);
}

BOOL CALLBACK CallDropPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return PageProc(page, message, wParam, lParam, FillCallDrop, LoadCallDrop, SaveCallDrop);
}

int CALLBACK SettingsSheetCallback(HWND sheet, UINT message, LPARAM lParam) {
    switch (message) {
    case PSCB_INITIALIZED:
        DestroySheetMenuBar(); // none should be left, but never two
        g_configState.sheetMenuBar = CreateMenuBar(g_configState.instance, sheet, IDR_SHEET_MENU);
        return 0;
    case PSCB_GETVERSION:
        return COMCTL32_VERSION;
    }
    return 0;
}

BOOL RunSettingsSheet() {
    // Made with the sheet (PSP_PREMATURE), so that every page is there to
    // save on Apply, whichever tabs the user has visited.
    HPROPSHEETPAGE pages[SHEET_PAGE_COUNT];
    int made = 0;
    for (; made < SHEET_PAGE_COUNT; ++made) {
        PROPSHEETPAGEW page;
        memset(&page, 0, sizeof page);
        page.dwSize = sizeof page;
        page.dwFlags = PSP_USECALLBACK | PSP_PREMATURE;
        page.hInstance = g_configState.instance;
        page.pszTemplate = MAKEINTRESOURCE(kPages[made].templateId);
        page.pfnDlgProc = kPages[made].procedure;
        page.pfnCallback = PageCallback;
        pages[made] = CreatePropertySheetPageW(&page);
        if (pages[made] == NULL) break;
    }
    if (made < SHEET_PAGE_COUNT) {
        while (made > 0)
            DestroyPropertySheetPage(pages[--made]);
        return FALSE;
    }

    WCHAR caption[MESSAGE_CAPTION_LEN];
    caption[0] = 0;
    LoadStringW(g_configState.instance, IDS_APP_TITLE, caption, MESSAGE_CAPTION_LEN);
    PROPSHEETHEADERW sheet;
    memset(&sheet, 0, sizeof sheet);
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = PSH_USECALLBACK | PSH_MAXIMIZE;
    sheet.hInstance = g_configState.instance;
    sheet.pszCaption = caption;
    sheet.nPages = SHEET_PAGE_COUNT;
    sheet.nStartPage = 0;
    sheet.phpage = pages;
    sheet.pfnCallback = SettingsSheetCallback;
    int result = PropertySheetW(&sheet);
    DestroySheetMenuBar();
    g_configState.mainPage = NULL; // gone with the sheet
    return result >= 0 ? TRUE : FALSE;
}
