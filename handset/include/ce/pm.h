// The power manager as Windows CE device code sees it: device power states
// and SetDevicePower, by which the lock program darkens the backlight "BKL1:".
#ifndef HANDSET_PM_H
#define HANDSET_PM_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum _CEDEVICE_POWER_STATE {
    PwrDeviceUnspecified = -1, // no state of the caller's: the power manager decides
    D0 = 0,                    // full on
    D1,                        // low on
    D2,                        // standby
    D3,                        // sleep
    D4,                        // off
    PwrDeviceMaximum
} CEDEVICE_POWER_STATE,
    *PCEDEVICE_POWER_STATE;

// dwDeviceFlags
#define POWER_NAME 0x00000001  // pvDevice is the device's name
#define POWER_FORCE 0x00001000 // the state holds against the power manager's own choice

// Returns ERROR_SUCCESS or the error.
DWORD WINAPI SetDevicePower(PVOID pvDevice, DWORD dwDeviceFlags, CEDEVICE_POWER_STATE DeviceState);

#ifdef __cplusplus
}
#endif

#endif
