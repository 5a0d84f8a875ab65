// The phone's devices and system services a desktop does not have: the
// notification LEDs (the vibrator), the backlight's power state, and the
// tool-help snapshot's own close. The devices are no-ops that say so, in
// their result, their error and the debugger's output; the program treats
// them as it treats a phone without them.
#include <windows.h>
#include <tlhelp32.h>
#include <nled.h>
#include <pm.h>
#include <pimstore.h>

namespace {

void SayMissing(const WCHAR* what) {
    OutputDebugStringW(L"Tessaril on the desktop: ");
    OutputDebugStringW(what);
    OutputDebugStringW(L"\n");
}

} // namespace

extern "C" {

BOOL WINAPI CloseToolhelp32Snapshot(HANDLE hSnapshot) {
    return CloseHandle(hSnapshot);
}

// No LED at all: the count is 0, and every other question and setting fails.
BOOL WINAPI NLedGetDeviceInfo(UINT nInfoId, void* pOutput) {
    if (nInfoId == NLED_COUNT_INFO_ID && pOutput != nullptr) {
        static_cast<NLED_COUNT_INFO*>(pOutput)->cLeds = 0;
        return TRUE;
    }
    SayMissing(L"no notification LED (no vibration)");
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL WINAPI NLedSetDevice(UINT nDeviceId, void* pInput) {
    SayMissing(L"no notification LED (no vibration)");
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

DWORD WINAPI SetDevicePower(PVOID pvDevice, DWORD dwDeviceFlags, CEDEVICE_POWER_STATE DeviceState) {
    SayMissing(L"no power manager (the backlight stays as it is)");
    return ERROR_NOT_SUPPORTED;
}

// Pocket Outlook's class and interface: CoCreateInstance finds no such class
// on the desktop, so the caller's name stays unknown.
const CLSID CLSID_Application = {
    0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
const IID IID_IPOutlookApp = {
    0x05058F22, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};

} // extern "C"
