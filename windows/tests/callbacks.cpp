// Each callback device code hands the platform, declared as device code
// declares it. Built with -DCALLBACK_CASE=n, and with -DLEAVE_OUT_CALLBACK
// for the same declaration without CALLBACK (or WINAPI), which the real
// headers must refuse on i686, where the platform calls it __stdcall.
#include <windows.h>
#include <commctrl.h>

#ifdef LEAVE_OUT_CALLBACK
#define CONVENTION
#else
#define CONVENTION CALLBACK
#endif

#if CALLBACK_CASE == 1 // a window procedure
LRESULT CONVENTION Procedure(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}
void Use() {
    WNDCLASSW c = {};
    c.lpfnWndProc = Procedure;
    RegisterClassW(&c);
}
#elif CALLBACK_CASE == 2 // a dialog procedure
INT_PTR CONVENTION Procedure(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}
void Use() {
    DialogBoxParamW(NULL, L"x", NULL, Procedure, 0);
}
#elif CALLBACK_CASE == 3 // a thread's routine
DWORD CONVENTION Procedure(LPVOID) {
    return 0;
}
void Use() {
    CreateThread(NULL, 0, Procedure, NULL, 0, NULL);
}
#elif CALLBACK_CASE == 4 // a property sheet's callback
int CONVENTION Procedure(HWND, UINT, LPARAM) {
    return 0;
}
void Use() {
    PROPSHEETHEADERW h = {};
    h.pfnCallback = Procedure;
}
#elif CALLBACK_CASE == 5 // a property sheet page's callback
UINT CONVENTION Procedure(HWND, UINT, LPPROPSHEETPAGEW) {
    return 0;
}
void Use() {
    PROPSHEETPAGEW p = {};
    p.pfnCallback = Procedure;
}
#elif CALLBACK_CASE == 6 // a timer's procedure
void CONVENTION Procedure(HWND, UINT, UINT_PTR, DWORD) {}
void Use() {
    SetTimer(NULL, 1, 10, Procedure);
}
#endif
