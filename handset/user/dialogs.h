// The dialog manager: dialogs made from templates (a program's RT_DIALOG
// resources or templates in memory), their controls, the dialog procedure
// behind DefDlgProcW, and the modal loop of DialogBox. The calls are in
// dialog_calls.cpp; the controls in controls.cpp and the files it names.
//
// How the handset places a dialog, where the phone leaves it open:
// - Dialog units become pixels through the template's font (DS_SETFONT:
//   its point size at the process's logical dpi; every face is Tahoma), or
//   the system font without one, by Win32's base units (dialog_template.h).
// - A top-level dialog has no caption or frame of its own: the phone shows
//   its title in the taskbar. Its x and y count from its owner's top-left,
//   or from the work area's (below the taskbar) without an owner; DS_CENTER
//   centres it in the work area. SHInitDialog (the shell) sizes it to the
//   screen.
// - Controls are made in template order, each below the ones before it (the
//   tab order), get WM_SETFONT with the dialog's font, then the dialog gets
//   WM_INITDIALOG; TRUE gives the focus to the first visible, enabled
//   WS_TABSTOP control.
// - The modal loop disables the owner, runs the thread's messages (its
//   other windows keep theirs, and the clock runs) until EndDialog, which
//   hides the dialog and enables the owner again; then the dialog goes.
//   WM_QUIT ends the loop and is posted again for the caller's own loop.
// - IsDialogMessageW moves nothing between controls (no tab or arrow-key
//   navigation): it dispatches the dialog's messages.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "gdi/fonts.h"
#include "user/dialog_template.h"

namespace handset {

class Platform;

// A dialog window's own state (Window::extra).
struct DialogState {
    DLGPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    BaseUnits base;
    HFONT font = nullptr;  // WM_GETFONT's
    bool ownsFont = false; // made from the template: deleted with the dialog
    LONG msgResult = 0;    // DWL_MSGRESULT
    LONG user = 0;         // DWL_USER
    bool modal = false;
    bool ended = false;
    int result = 0;
    HWND disabledOwner = nullptr; // the modal loop's, enabled again by EndDialog
    HWND focusOnShow = nullptr;   // WM_INITDIALOG's TRUE, before the dialog shows
    std::string name;             // the template's, for messages
};

struct DialogRequest {
    const char* call = "dialogs"; // the platform call making it, named when the run stops
    HINSTANCE instance = nullptr;
    const DialogTemplate* tmpl = nullptr;
    std::string name;
    HWND parent = nullptr; // the owner; the parent of a child dialog
    DLGPROC proc = nullptr;
    LPARAM param = 0;
    // A child dialog (a property sheet's page, DS_CONTROL or WS_CHILD):
    // WS_POPUP and WS_CAPTION go, WS_CHILD comes.
    bool child = false;
    bool modal = false;
};

// Makes the dialog, its controls and its font, and runs WM_INITDIALOG; null
// with *error (a last error) when a control's class is missing or the
// dialog procedure destroyed it.
HWND CreateDialogWindow(const DialogRequest& request, DWORD* error);

// The template: a dialog resource of the instance, by name or ordinal; or
// one in memory, read within the resource it lies in when it is one (a
// LoadResource address) and named after it. False with *error (a last
// error) and the timeline's "dialog.refused" (its "why" names the template
// and the byte) when there is none or it is malformed.
bool LoadDialogTemplate(HINSTANCE instance, LPCWSTR name, DialogTemplate* out,
                        std::string* templateName, DWORD* error);
bool ReadDialogTemplate(HINSTANCE instance, const DLGTEMPLATE* memory, DialogTemplate* out,
                        std::string* templateName, DWORD* error);

// The modal loop on a made dialog: shows it, disables its owner, runs the
// thread's messages until EndDialog, destroys it; EndDialog's result.
int RunModalDialog(HWND dialog);
// The loop itself, for the property sheet: until done() holds.
void RunModalLoop(HWND window, const std::function<bool()>& done);

DialogState* DialogOf(HWND window);
// DWL_MSGRESULT and DWL_USER of a dialog: reads, or sets when `set` is
// given; *value is the previous value. False when the window is no dialog
// or the index is not a dialog's.
bool DialogLong(HWND window, int index, const LONG* set, LONG* value);
// The system font's base units (GetDialogBaseUnits), at the calling
// process's dpi.
BaseUnits SystemBaseUnits(Platform& platform);
// Base units of a font at a dpi.
BaseUnits BaseUnitsOf(const gdi::Font& font);

// DefDlgProcW, the dialog windows' procedure: the DLGPROC first, then the
// default: a white background, WM_CLOSE as IDCANCEL, WM_SETFONT and
// WM_GETFONT.
LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace handset
