// What only the phone has: the cellular line through TAPI, Pocket Outlook's
// contacts, the notification LEDs, the power manager and the Pocket PC
// shell's taskbar. Windows has none
// of them (the Windows build's stand-ins say so), so Wine cannot judge
// these and only the handset runs them.
#include "conformance.h"

#include <aygshell.h>
#include <nled.h>
#include <objbase.h>
#include <pimstore.h>
#include <pm.h>
#include <string.h>
#include <tapi.h>

namespace {

void TapiFindsTheCellularLine() {
    HLINEAPP app = 0;
    DWORD devices = 0, version = 0x00020000;
    LINEINITIALIZEEXPARAMS params;
    memset(&params, 0, sizeof params);
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
    Observe(lineInitializeEx(&app, NULL, NULL, TEXT("Conformance"), &devices, &version, &params),
            "initialize");
    Observe(version, "version");
    Observe(params.Handles.hEvent != NULL, "event");
    LINEDEVCAPS caps;
    memset(&caps, 0, sizeof caps);
    caps.dwTotalSize = sizeof caps;
    for (DWORD d = 0; d < devices; ++d) {
        DWORD negotiated = 0;
        LINEEXTENSIONID extension;
        Observe(lineNegotiateAPIVersion(app, d, 0x00010004, 0x00020000, &negotiated, &extension),
                "device[%lu].negotiate", (unsigned long)d);
        Observe(negotiated, "device[%lu].negotiated", (unsigned long)d);
        Observe(lineGetDevCaps(app, d, negotiated, 0, &caps), "device[%lu].caps", (unsigned long)d);
        Observe(caps.dwUsedSize, "device[%lu].used", (unsigned long)d);
    }
    Observe(sizeof(LINECALLINFO), "sizeof_LINECALLINFO");
    Observe(sizeof(LINEDEVCAPS), "sizeof_LINEDEVCAPS");
    Observe(lineShutdown(app), "shutdown");
}

void PocketOutlookIsThere() {
    Observe(CoInitializeEx(NULL, COINIT_MULTITHREADED), "initialize");
    IPOutlookApp* app = NULL;
    HRESULT hr = CoCreateInstance(CLSID_Application, NULL, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                                  (void**)&app);
    ObserveHex((DWORD)hr, "create");
    if (SUCCEEDED(hr)) {
        ObserveHex((DWORD)app->Logon(0), "logon");
        app->Logoff();
        app->Release();
    }
    CoUninitialize();
}

void LedsAndBacklight() {
    NLED_COUNT_INFO count;
    memset(&count, 0, sizeof count);
    Observe(NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &count), "count.result");
    Observe(count.cLeds, "count");
    NLED_SETTINGS_INFO settings;
    memset(&settings, 0, sizeof settings);
    settings.LedNum = 1;
    settings.OffOnBlink = NLED_ON;
    Observe(NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings), "vibrator_on");
    settings.OffOnBlink = NLED_OFF;
    Observe(NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings), "vibrator_off");
    Observe(SetDevicePower((PVOID)TEXT("BKL1:"), POWER_NAME | POWER_FORCE, D4), "backlight_off");
    Observe(SetDevicePower((PVOID)TEXT("BKL1:"), POWER_NAME | POWER_FORCE, D0), "backlight_on");
}

LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// The shell hides its taskbar for the window in the foreground only.
void ShellHidesTheTaskbarForTheForeground() {
    WNDCLASSW windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = Plain;
    windowClass.lpszClassName = TEXT("ConformanceFull");
    RegisterClassW(&windowClass);
    HWND back = CreateWindowExW(0, TEXT("ConformanceFull"), TEXT(""), WS_POPUP | WS_VISIBLE, 0, 0,
                                10, 10, NULL, NULL, NULL, NULL);
    HWND front = CreateWindowExW(0, TEXT("ConformanceFull"), TEXT(""), WS_POPUP | WS_VISIBLE, 0, 0,
                                 10, 10, NULL, NULL, NULL, NULL);
    SetForegroundWindow(front);
    SetLastError(0);
    Observe(SHFullScreen(back, SHFS_HIDETASKBAR), "background.result");
    Observe(GetLastError(), "background.error");
    Observe(SHFullScreen(front, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON), "foreground.result");
    Observe(SHFullScreen(front, SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR), "both.result");
    Observe(GetLastError(), "both.error");
    Observe(SHFullScreen(NULL, SHFS_SHOWTASKBAR), "no_window.result");
    Observe(GetLastError(), "no_window.error");
    DestroyWindow(front);
    DestroyWindow(back);
}

const ConformanceCase kCases[] = {
    {"TapiFindsTheCellularLine", TapiFindsTheCellularLine, "Windows has no cellular line"},
    {"PocketOutlookIsThere", PocketOutlookIsThere, "Windows has no Pocket Outlook"},
    {"LedsAndBacklight", LedsAndBacklight, "Windows has no notification LEDs or power manager"},
    {"ShellHidesTheTaskbarForTheForeground", ShellHidesTheTaskbarForTheForeground,
     "Windows has no Pocket PC taskbar"},
};

} // namespace

extern const ConformanceArea kHandsetOnlyArea = {"phone", kCases, CONFORMANCE_COUNT(kCases)};
