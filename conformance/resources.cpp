// Resources from the project's own .res files, as each program's module
// holds them: strings, finding and sizing each resource, dialog templates
// and the dialogs made from them, menus, icon groups, sounds and the
// high-resolution mark.
#include "conformance.h"

#include <string.h>

namespace {

HMODULE Config() {
    return ConformanceResources(CONFORMANCE_CONFIG_PROGRAM);
}

HMODULE Lock() {
    return ConformanceResources(CONFORMANCE_LOCK_PROGRAM);
}

void StringsOfTheConfigurationProgram() {
    for (UINT id = 0; id <= 20; ++id) {
        WCHAR text[256];
        text[0] = 0;
        int length = LoadStringW(Config(), id, text, 256);
        Observe(length, "[%u].length", id);
        if (length > 0) ObserveText(text, "[%u].text", id);
    }
}

void ShortBuffersTruncateStrings() {
    WCHAR text[16];
    memset(text, 0xFF, sizeof text);
    Observe(LoadStringW(Config(), 4, text, 8), "eight.result");
    ObserveText(text, "eight.text");
    Observe(LoadStringW(Config(), 4, text, 1), "one.result");
    SetLastError(0);
    Observe(LoadStringW(Config(), 99, text, 16), "missing.result");
}

struct Named {
    const char* name;
    int lock;
    LPCWSTR type;
    LPCWSTR id;
};

void EachResourceIsFoundWithItsSize() {
    const Named kResources[] = {
        {"dialog_about", 0, RT_DIALOG, MAKEINTRESOURCEW(105)},
        {"dialog_main", 0, RT_DIALOG, MAKEINTRESOURCEW(134)},
        {"dialog_options", 0, RT_DIALOG, MAKEINTRESOURCEW(135)},
        {"dialog_call_drop", 0, RT_DIALOG, MAKEINTRESOURCEW(138)},
        {"menu_about", 0, RT_MENU, MAKEINTRESOURCEW(1017)},
        {"menu_sheet", 0, RT_MENU, MAKEINTRESOURCEW(1019)},
        {"menubar_about", 0, RT_RCDATA, MAKEINTRESOURCEW(1017)},
        {"menubar_sheet", 0, RT_RCDATA, MAKEINTRESOURCEW(1019)},
        {"strings_0_15", 0, RT_STRING, MAKEINTRESOURCEW(1)},
        {"strings_16_31", 0, RT_STRING, MAKEINTRESOURCEW(2)},
        {"config_icon_group", 0, RT_GROUP_ICON, MAKEINTRESOURCEW(101)},
        {"config_missing_dialog", 0, RT_DIALOG, MAKEINTRESOURCEW(106)},
        {"lock_icon_group", 1, RT_GROUP_ICON, MAKEINTRESOURCEW(101)},
        {"lock_wave_131", 1, TEXT("WAVE"), MAKEINTRESOURCEW(131)},
        {"lock_wave_133", 1, TEXT("WAVE"), MAKEINTRESOURCEW(133)},
        {"lock_wave_lower_case_type", 1, TEXT("wave"), MAKEINTRESOURCEW(131)},
        {"lock_hi_res_aware", 1, TEXT("CEUX"), TEXT("HI_RES_AWARE")},
        {"lock_hi_res_aware_lower_case", 1, TEXT("CEUX"), TEXT("hi_res_aware")},
        {"lock_missing_wave", 1, TEXT("WAVE"), MAKEINTRESOURCEW(132)},
    };
    for (int i = 0; i < CONFORMANCE_COUNT(kResources); ++i) {
        const Named& r = kResources[i];
        HMODULE module = r.lock ? Lock() : Config();
        HRSRC found = FindResourceW(module, r.id, r.type);
        Observe(found != NULL, "%s.found", r.name);
        if (found) Observe(SizeofResource(module, found), "%s.size", r.name);
    }
}

const void* ResourceData(HMODULE module, LPCWSTR id, LPCWSTR type) {
    HRSRC found = FindResourceW(module, id, type);
    if (found == NULL) return NULL;
    return LockResource(LoadResource(module, found));
}

void DialogTemplatesOfThePages() {
    static const WORD kDialogs[] = {105, 134, 135, 138};
    for (int i = 0; i < CONFORMANCE_COUNT(kDialogs); ++i) {
        const DLGTEMPLATE* t =
            (const DLGTEMPLATE*)ResourceData(Config(), MAKEINTRESOURCEW(kDialogs[i]), RT_DIALOG);
        Observe(t != NULL, "%u.found", kDialogs[i]);
        if (t == NULL) continue;
        ObserveHex(t->style, "%u.style", kDialogs[i]);
        ObserveHex(t->dwExtendedStyle, "%u.exstyle", kDialogs[i]);
        Observe(t->cdit, "%u.controls", kDialogs[i]);
        Observe(t->cx, "%u.cx", kDialogs[i]);
        Observe(t->cy, "%u.cy", kDialogs[i]);
    }
}

// Windows CE's DLGPROC returns BOOL, the desktop's INT_PTR; the 64-bit
// Windows half takes this one through a cast (the result is in the same
// register either way).
BOOL CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// The dialog font "MS Shell Dlg" 8 is Tahoma at 11 pixels; dialog units
// become pixels through its base units.
void DialogsMadeFromTheTemplates() {
    static const WORD kDialogs[] = {134, 138};
    static const WORD kControls[][4] = {{1003, 1005, 1006, 0}, {1027, 1028, 0, 0}};
    for (int i = 0; i < CONFORMANCE_COUNT(kDialogs); ++i) {
        HWND dialog = CreateDialogParamW(Config(), MAKEINTRESOURCEW(kDialogs[i]), NULL,
                                         (DLGPROC)(void (*)(void))QuietDialog, 0);
        Observe(dialog != NULL, "%u.created", kDialogs[i]);
        if (dialog == NULL) continue;
        RECT units = {7, 9, 28, 17};
        Observe(MapDialogRect(dialog, &units), "%u.map.result", kDialogs[i]);
        Observe(units.left, "%u.map.left", kDialogs[i]);
        Observe(units.top, "%u.map.top", kDialogs[i]);
        Observe(units.right, "%u.map.right", kDialogs[i]);
        Observe(units.bottom, "%u.map.bottom", kDialogs[i]);
        for (int c = 0; kControls[i][c] != 0; ++c) {
            HWND control = GetDlgItem(dialog, kControls[i][c]);
            Observe(control != NULL, "%u.control_%u.found", kDialogs[i], kControls[i][c]);
            if (control)
                Observe(GetDlgCtrlID(control), "%u.control_%u.id", kDialogs[i], kControls[i][c]);
        }
        Observe(GetDlgItem(dialog, 4242) == NULL, "%u.no_such_control", kDialogs[i]);
        DestroyWindow(dialog);
    }
}

// The pages' controls as the settings pages drive them: drop-down lists
// filled item by item and searched, the check box, a drop-down's text.
void ControlsOfThePages() {
    HWND main = CreateDialogParamW(Config(), MAKEINTRESOURCEW(134), NULL,
                                   (DLGPROC)(void (*)(void))QuietDialog, 0);
    HWND state = GetDlgItem(main, 1003);
    static const WCHAR* const kItems[] = {TEXT("Active"), TEXT("Inactive"), TEXT("5 sec"),
                                          TEXT("inactive")};
    for (int i = 0; i < CONFORMANCE_COUNT(kItems); ++i)
        Observe((LONG)SendMessageW(state, CB_ADDSTRING, 0, (LPARAM)kItems[i]), "add[%d]", i);
    Observe((LONG)SendMessageW(state, CB_GETCOUNT, 0, 0), "count");
    Observe((LONG)SendMessageW(state, CB_GETCURSEL, 0, 0), "selection.initial");
    Observe((LONG)SendMessageW(state, CB_SETCURSEL, 1, 0), "select[1]");
    Observe((LONG)SendMessageW(state, CB_SETCURSEL, 9, 0), "select[9]");
    Observe((LONG)SendMessageW(state, CB_GETCURSEL, 0, 0), "selection.after_bad");
    static const WCHAR* const kFind[] = {TEXT("Inactive"), TEXT("INACTIVE"), TEXT("Inact"),
                                         TEXT("5 sec"), TEXT("Never")};
    for (int i = 0; i < CONFORMANCE_COUNT(kFind); ++i) {
        Observe((LONG)SendMessageW(state, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)kFind[i]),
                "find_exact[%d]", i);
        Observe((LONG)SendMessageW(state, CB_FINDSTRING, (WPARAM)-1, (LPARAM)kFind[i]),
                "find_prefix[%d]", i);
    }
    Observe((LONG)SendMessageW(state, CB_FINDSTRINGEXACT, 1, (LPARAM)TEXT("Inactive")),
            "find_exact_after_1");
    WCHAR text[32] = TEXT("");
    Observe((LONG)SendMessageW(state, CB_GETLBTEXTLEN, 2, 0), "text_length[2]");
    Observe((LONG)SendMessageW(state, CB_GETLBTEXT, 2, (LPARAM)text), "text[2].result");
    ObserveText(text, "text[2]");
    Observe((LONG)SendMessageW(state, CB_GETLBTEXT, 7, (LPARAM)text), "text[7].result");
    SendMessageW(state, CB_SETCURSEL, 1, 0);
    Observe(GetDlgItemTextW(main, 1003, text, 32), "selected_text.length");
    ObserveText(text, "selected_text");
    Observe((LONG)SendMessageW(state, CB_DELETESTRING, 0, 0), "delete[0]");
    Observe((LONG)SendMessageW(state, CB_GETCURSEL, 0, 0), "selection.after_delete");
    Observe(GetDlgItemTextW(main, 1003, text, 32), "list_text.length");
    ObserveText(text, "list_text");
    SendMessageW(state, CB_RESETCONTENT, 0, 0);
    Observe((LONG)SendMessageW(state, CB_GETCOUNT, 0, 0), "count.after_reset");

    Observe(IsDlgButtonChecked(main, 1006), "autostart.initial");
    Observe(CheckDlgButton(main, 1006, BST_CHECKED), "autostart.check");
    Observe(IsDlgButtonChecked(main, 1006), "autostart.checked");
    Observe((LONG)SendDlgItemMessageW(main, 1006, BM_GETCHECK, 0, 0), "autostart.get_check");
    DestroyWindow(main);

    // A drop-down with an edit field: its text is the field's.
    HWND options = CreateDialogParamW(Config(), MAKEINTRESOURCEW(135), NULL,
                                      (DLGPROC)(void (*)(void))QuietDialog, 0);
    HWND lock = GetDlgItem(options, 205);
    SendMessageW(lock, CB_ADDSTRING, 0, (LPARAM)TEXT("Sound"));
    SendMessageW(lock, CB_ADDSTRING, 0, (LPARAM)TEXT("Vibrate"));
    Observe(SetDlgItemTextW(options, 205, TEXT(" vibrate ")), "edit.set");
    Observe(GetDlgItemTextW(options, 205, text, 32), "edit.length");
    ObserveText(text, "edit.text");
    Observe((LONG)SendMessageW(lock, CB_GETCURSEL, 0, 0), "edit.selection");
    SendMessageW(lock, CB_SETCURSEL, 1, 0);
    GetDlgItemTextW(options, 205, text, 32);
    ObserveText(text, "edit.after_select");
    Observe(GetDlgItemTextW(options, 205, text, 4), "edit.short.length");
    ObserveText(text, "edit.short");
    DestroyWindow(options);
}

void MenusOfTheSoftKeys() {
    HMENU sheet = LoadMenuW(Config(), MAKEINTRESOURCEW(1019));
    Observe(sheet != NULL, "sheet.loaded");
    Observe(GetSubMenu(sheet, 0) == NULL, "sheet.first_is_an_item");
    Observe(GetSubMenu(sheet, 1) != NULL, "sheet.second_is_a_popup");
    Observe(GetSubMenu(sheet, 2) == NULL, "sheet.no_third");
    DestroyMenu(sheet);
    HMENU about = LoadMenuW(Config(), MAKEINTRESOURCEW(1017));
    Observe(about != NULL, "about.loaded");
    Observe(GetSubMenu(about, 0) == NULL, "about.first_is_an_item");
    DestroyMenu(about);
    SetLastError(0);
    Observe(LoadMenuW(Config(), MAKEINTRESOURCEW(1018)) == NULL, "missing.null");
}

#pragma pack(push, 2)
struct IconDirectoryEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

void IconGroups() {
    for (int program = 0; program < 2; ++program) {
        const char* name = program ? "lock" : "config";
        const WORD* group = (const WORD*)ResourceData(program ? Lock() : Config(),
                                                      MAKEINTRESOURCEW(101), RT_GROUP_ICON);
        Observe(group != NULL, "%s.found", name);
        if (group == NULL) continue;
        Observe(group[1], "%s.type", name);
        Observe(group[2], "%s.count", name);
        const IconDirectoryEntry* entries = (const IconDirectoryEntry*)(group + 3);
        for (int i = 0; i < group[2]; ++i) {
            Observe(entries[i].width, "%s[%d].width", name, i);
            Observe(entries[i].bitCount, "%s[%d].bits", name, i);
            Observe(entries[i].bytes, "%s[%d].bytes", name, i);
            HRSRC image = FindResourceW(program ? Lock() : Config(),
                                        MAKEINTRESOURCEW(entries[i].id), RT_ICON);
            Observe(image != NULL &&
                        SizeofResource(program ? Lock() : Config(), image) == entries[i].bytes,
                    "%s[%d].image_size_matches", name, i);
        }
    }
}

void SoundsAndTheResolutionMark() {
    static const WORD kSounds[] = {131, 133};
    for (int i = 0; i < CONFORMANCE_COUNT(kSounds); ++i) {
        const BYTE* wave =
            (const BYTE*)ResourceData(Lock(), MAKEINTRESOURCEW(kSounds[i]), TEXT("WAVE"));
        Observe(wave != NULL, "%u.found", kSounds[i]);
        if (wave == NULL) continue;
        Observe(memcmp(wave, "RIFF", 4) == 0 && memcmp(wave + 8, "WAVE", 4) == 0, "%u.riff",
                kSounds[i]);
        const WORD* format = (const WORD*)(wave + 20);
        Observe(format[0], "%u.format_tag", kSounds[i]);
        Observe(format[1], "%u.channels", kSounds[i]);
        Observe(*(const DWORD*)(wave + 24), "%u.samples_per_second", kSounds[i]);
        Observe(format[7], "%u.bits", kSounds[i]);
    }
    const WORD* mark = (const WORD*)ResourceData(Lock(), TEXT("HI_RES_AWARE"), TEXT("CEUX"));
    Observe(mark != NULL ? *mark : -1, "hi_res_aware");
}

const ConformanceCase kCases[] = {
    {"StringsOfTheConfigurationProgram", StringsOfTheConfigurationProgram, NULL},
    {"ShortBuffersTruncateStrings", ShortBuffersTruncateStrings, NULL},
    {"EachResourceIsFoundWithItsSize", EachResourceIsFoundWithItsSize, NULL},
    {"DialogTemplatesOfThePages", DialogTemplatesOfThePages, NULL},
    {"DialogsMadeFromTheTemplates", DialogsMadeFromTheTemplates, NULL},
    {"ControlsOfThePages", ControlsOfThePages, NULL},
    {"MenusOfTheSoftKeys", MenusOfTheSoftKeys, NULL},
    {"IconGroups", IconGroups, NULL},
    {"SoundsAndTheResolutionMark", SoundsAndTheResolutionMark, NULL},
};

} // namespace

extern const ConformanceArea kResourcesArea = {"resources", kCases, CONFORMANCE_COUNT(kCases)};
