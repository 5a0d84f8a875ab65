// The dialog calls: dialogs from templates (modal and modeless), ending
// them, their controls by id, and dialog units. Failures set the last error
// as the phone does; where its documents leave the error open: no window is
// ERROR_INVALID_WINDOW_HANDLE, a window that is no dialog
// ERROR_WINDOW_NOT_DIALOG, a malformed template ERROR_INVALID_DATA (the
// timeline's "dialog.refused" says where), a template's control class that
// no one registered ERROR_CANNOT_FIND_WND_CLASS.
#include <windows.h>

#include <algorithm>
#include <utility>

#include "device/platform.h"
#include "device/relay.h"
#include "user/dialogs.h"
#include "user/window_manager.h"

using handset::DialogRequest;
using handset::DialogState;
using handset::DialogTemplate;
using handset::Enter;
using handset::Fail;
using handset::Platform;

namespace {

handset::WindowManager& Wm() {
    return handset::Wm();
}

// The control of the dialog with the id (its low 16 bits, as Win32 compares).
HWND ItemOf(HWND dialog, int id) {
    for (HWND c : Wm().Children(dialog))
        if (auto w = Wm().Get(c); w && LOWORD(w->id) == LOWORD(id)) return c;
    return nullptr;
}

// Makes the dialog from a template already read; null and the error set.
HWND Make(const char* call, HINSTANCE instance, const DialogTemplate& t, const std::string& name,
          HWND parent, DLGPROC proc, LPARAM param, bool modal, DWORD* error) {
    DialogRequest rq;
    rq.call = call;
    rq.instance = instance;
    rq.tmpl = &t;
    rq.name = name;
    rq.parent = parent;
    rq.proc = proc;
    rq.param = param;
    rq.modal = modal;
    return handset::CreateDialogWindow(rq, error);
}

} // namespace

HANDSET_API(int, DialogBoxIndirectParamW,
            (HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
             DLGPROC lpDialogFunc, LPARAM dwInitParam),
            (hInstance, hDialogTemplate, hWndParent, lpDialogFunc, dwInitParam)) {
    if (auto e = Enter("DialogBoxIndirectParamW")) return Fail(*e, -1);
    Wm().Own();
    if (!hDialogTemplate) return Fail(ERROR_INVALID_PARAMETER, -1);
    if (hWndParent && !Wm().Get(hWndParent)) return Fail(ERROR_INVALID_WINDOW_HANDLE, -1);
    DialogTemplate t;
    std::string name;
    DWORD error = 0;
    if (!handset::ReadDialogTemplate(hInstance, hDialogTemplate, &t, &name, &error))
        return Fail(error, -1);
    HWND dialog = Make("DialogBoxIndirectParamW", hInstance, t, name, hWndParent, lpDialogFunc,
                       dwInitParam, true, &error);
    if (!dialog) return Fail(error, -1);
    return handset::RunModalDialog(dialog);
}

HANDSET_API(int, DialogBoxParamW,
            (HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
             LPARAM dwInitParam),
            (hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam)) {
    if (auto e = Enter("DialogBoxParamW")) return Fail(*e, -1);
    Wm().Own();
    if (!lpTemplateName) return Fail(ERROR_INVALID_PARAMETER, -1);
    if (hWndParent && !Wm().Get(hWndParent)) return Fail(ERROR_INVALID_WINDOW_HANDLE, -1);
    DialogTemplate t;
    std::string name;
    DWORD error = 0;
    if (!handset::LoadDialogTemplate(hInstance, lpTemplateName, &t, &name, &error))
        return Fail(error, -1);
    HWND dialog = Make("DialogBoxParamW", hInstance, t, name, hWndParent, lpDialogFunc, dwInitParam,
                       true, &error);
    if (!dialog) return Fail(error, -1);
    return handset::RunModalDialog(dialog);
}

HANDSET_API(HWND, CreateDialogIndirectParamW,
            (HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent, DLGPROC lpDialogFunc,
             LPARAM lParamInit),
            (hInstance, lpTemplate, hWndParent, lpDialogFunc, lParamInit)) {
    if (auto e = Enter("CreateDialogIndirectParamW")) return Fail(*e, HWND(nullptr));
    Wm().Own();
    if (!lpTemplate) return Fail(ERROR_INVALID_PARAMETER, HWND(nullptr));
    if (hWndParent && !Wm().Get(hWndParent))
        return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND(nullptr));
    DialogTemplate t;
    std::string name;
    DWORD error = 0;
    if (!handset::ReadDialogTemplate(hInstance, lpTemplate, &t, &name, &error))
        return Fail(error, HWND(nullptr));
    HWND dialog = Make("CreateDialogIndirectParamW", hInstance, t, name, hWndParent, lpDialogFunc,
                       lParamInit, false, &error);
    return dialog ? dialog : Fail(error, HWND(nullptr));
}

HANDSET_API(HWND, CreateDialogParamW,
            (HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
             LPARAM dwInitParam),
            (hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam)) {
    if (auto e = Enter("CreateDialogParamW")) return Fail(*e, HWND(nullptr));
    Wm().Own();
    if (!lpTemplateName) return Fail(ERROR_INVALID_PARAMETER, HWND(nullptr));
    if (hWndParent && !Wm().Get(hWndParent))
        return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND(nullptr));
    DialogTemplate t;
    std::string name;
    DWORD error = 0;
    if (!handset::LoadDialogTemplate(hInstance, lpTemplateName, &t, &name, &error))
        return Fail(error, HWND(nullptr));
    HWND dialog = Make("CreateDialogParamW", hInstance, t, name, hWndParent, lpDialogFunc,
                       dwInitParam, false, &error);
    return dialog ? dialog : Fail(error, HWND(nullptr));
}

// Marks the dialog ended with the result, hides it and enables its owner
// again; a modal dialog's loop then returns the result and destroys it. A
// modeless dialog stays until DestroyWindow.
HANDSET_API(BOOL, EndDialog, (HWND hDlg, int nResult), (hDlg, nResult)) {
    if (auto e = Enter("EndDialog")) return Fail(*e, FALSE);
    auto w = Wm().Get(hDlg);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    DialogState* d = handset::DialogOf(hDlg);
    if (!d) return Fail(ERROR_WINDOW_NOT_DIALOG, FALSE);
    d->ended = true;
    d->result = nResult;
    if (auto owner = Wm().Get(d->disabledOwner)) owner->enabled = true;
    Wm().Show(w, SW_HIDE);
    Wm().Post(w, WM_NULL, 0, 0); // wakes a modal loop waiting for a message
    return TRUE;
}

HANDSET_API(LRESULT, DefDlgProcW, (HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam),
            (hDlg, Msg, wParam, lParam)) {
    (void)Enter("DefDlgProcW"); // its result is the message's: counted and slowed only
    return handset::DialogWindowProc(hDlg, Msg, wParam, lParam);
}

// No tab or arrow-key navigation: a message for the dialog or one of its
// controls is translated and dispatched (TRUE), any other left (FALSE).
HANDSET_API(BOOL, IsDialogMessageW, (HWND hDlg, LPMSG lpMsg), (hDlg, lpMsg)) {
    (void)Enter("IsDialogMessageW"); // FALSE means "not the dialog's"
    auto dialog = Wm().Get(hDlg);
    auto target = lpMsg ? Wm().Get(lpMsg->hwnd) : nullptr;
    if (!dialog || !target) return FALSE;
    bool mine = false;
    for (auto w = target; w; w = Wm().Get(w->parent))
        if (w == dialog) mine = true;
    if (!mine) return FALSE;
    Wm().TranslateKey(Wm().Own(), *lpMsg);
    Wm().Dispatch(*lpMsg);
    return TRUE;
}

HANDSET_API(BOOL, MapDialogRect, (HWND hDlg, LPRECT lpRect), (hDlg, lpRect)) {
    if (auto e = Enter("MapDialogRect")) return Fail(*e, FALSE);
    if (!Wm().Get(hDlg)) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    DialogState* d = handset::DialogOf(hDlg);
    if (!d) return Fail(ERROR_WINDOW_NOT_DIALOG, FALSE);
    if (!lpRect) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *lpRect = handset::DialogUnitsToPixels(*lpRect, d->base);
    return TRUE;
}

// The system font's base units: the width in the low word, the height in
// the high word.
HANDSET_API(LONG, GetDialogBaseUnits, (), ()) {
    (void)Enter("GetDialogBaseUnits"); // no failure result
    handset::BaseUnits base = handset::SystemBaseUnits(Platform::Current());
    return MAKELONG(base.cx, base.cy);
}

HANDSET_API(HWND, GetDlgItem, (HWND hDlg, int nIDDlgItem), (hDlg, nIDDlgItem)) {
    if (auto e = Enter("GetDlgItem")) return Fail(*e, HWND(nullptr));
    if (!Wm().Get(hDlg)) return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND(nullptr));
    HWND item = ItemOf(hDlg, nIDDlgItem);
    return item ? item : Fail(ERROR_CONTROL_ID_NOT_FOUND, HWND(nullptr));
}

HANDSET_API(int, GetDlgCtrlID, (HWND hWnd), (hWnd)) {
    if (auto e = Enter("GetDlgCtrlID")) return Fail(*e, 0);
    auto w = Wm().Get(hWnd);
    if (!w) return Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
    return w->parent ? w->id : 0;
}

HANDSET_API(LRESULT, SendDlgItemMessageW,
            (HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam),
            (hDlg, nIDDlgItem, Msg, wParam, lParam)) {
    if (auto e = Enter("SendDlgItemMessageW")) return Fail(*e, LRESULT(0));
    if (!Wm().Get(hDlg)) return Fail(ERROR_INVALID_WINDOW_HANDLE, LRESULT(0));
    auto item = Wm().Get(ItemOf(hDlg, nIDDlgItem));
    if (!item) return Fail(ERROR_CONTROL_ID_NOT_FOUND, LRESULT(0));
    return Wm().Send(item, Msg, wParam, lParam);
}

HANDSET_API(BOOL, SetDlgItemTextW, (HWND hDlg, int nIDDlgItem, LPCWSTR lpString),
            (hDlg, nIDDlgItem, lpString)) {
    if (auto e = Enter("SetDlgItemTextW")) return Fail(*e, FALSE);
    if (!Wm().Get(hDlg)) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    auto item = Wm().Get(ItemOf(hDlg, nIDDlgItem));
    if (!item) return Fail(ERROR_CONTROL_ID_NOT_FOUND, FALSE);
    return Wm().Send(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

HANDSET_API(UINT, GetDlgItemTextW, (HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax),
            (hDlg, nIDDlgItem, lpString, cchMax)) {
    if (auto e = Enter("GetDlgItemTextW")) return Fail(*e, UINT(0));
    if (!Wm().Get(hDlg)) return Fail(ERROR_INVALID_WINDOW_HANDLE, UINT(0));
    auto item = Wm().Get(ItemOf(hDlg, nIDDlgItem));
    if (!item) return Fail(ERROR_CONTROL_ID_NOT_FOUND, UINT(0));
    if (!lpString || cchMax <= 0) return 0;
    return static_cast<UINT>(Wm().Send(item, WM_GETTEXT, static_cast<WPARAM>(cchMax),
                                       reinterpret_cast<LPARAM>(lpString)));
}

HANDSET_API(BOOL, CheckDlgButton, (HWND hDlg, int nIDButton, UINT uCheck),
            (hDlg, nIDButton, uCheck)) {
    if (auto e = Enter("CheckDlgButton")) return Fail(*e, FALSE);
    if (!Wm().Get(hDlg)) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    auto item = Wm().Get(ItemOf(hDlg, nIDButton));
    if (!item) return Fail(ERROR_CONTROL_ID_NOT_FOUND, FALSE);
    Wm().Send(item, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

// BST_UNCHECKED also when it fails (no failure result).
HANDSET_API(UINT, IsDlgButtonChecked, (HWND hDlg, int nIDButton), (hDlg, nIDButton)) {
    (void)Enter("IsDlgButtonChecked");
    auto item = Wm().Get(ItemOf(hDlg, nIDButton));
    return item ? static_cast<UINT>(Wm().Send(item, BM_GETCHECK, 0, 0)) : BST_UNCHECKED;
}
