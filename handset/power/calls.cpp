// The notification LED calls and SetDevicePower. The documentation leaves
// the drivers' errors open; the handset answers as the sample LED driver
// does, ERROR_GEN_FAILURE for an information id it does not know, and
// ERROR_INVALID_PARAMETER for a missing record, an LED the phone lacks or a
// setting the LED cannot take (blinking the vibrator, a blink without its
// times).
#include <windows.h>
#include <nled.h>
#include <pm.h>

#include "device/platform.h"
#include "device/relay.h"
#include "power/power.h"

using handset::Enter;
using handset::Fail;
using handset::Platform;
using handset::Power;

namespace {

Power& Pwr() {
    return Platform::Current().Get<Power>();
}

} // namespace

HANDSET_API(BOOL, NLedGetDeviceInfo, (UINT nInfoId, void* pOutput), (nInfoId, pOutput)) {
    if (auto e = Enter("NLedGetDeviceInfo")) return Fail(*e, FALSE);
    if (!pOutput) return Fail(DWORD(ERROR_INVALID_PARAMETER), FALSE);
    switch (nInfoId) {
    case NLED_COUNT_INFO_ID:
        static_cast<NLED_COUNT_INFO*>(pOutput)->cLeds = Power::kLedCount;
        return TRUE;
    case NLED_SUPPORTS_INFO_ID: {
        auto* out = static_cast<NLED_SUPPORTS_INFO*>(pOutput);
        if (out->LedNum >= Power::kLedCount) return Fail(DWORD(ERROR_INVALID_PARAMETER), FALSE);
        const BOOL blinks = Power::SupportsBlink(out->LedNum);
        out->lCycleAdjust = blinks ? 1000 : 0;
        out->fAdjustTotalCycleTime = out->fAdjustOnTime = out->fAdjustOffTime = blinks;
        out->fMetaCycleOn = out->fMetaCycleOff = blinks;
        return TRUE;
    }
    case NLED_SETTINGS_INFO_ID: {
        auto* out = static_cast<NLED_SETTINGS_INFO*>(pOutput);
        if (out->LedNum >= Power::kLedCount) return Fail(DWORD(ERROR_INVALID_PARAMETER), FALSE);
        *out = Pwr().Led(out->LedNum);
        return TRUE;
    }
    }
    return Fail(DWORD(ERROR_GEN_FAILURE), FALSE);
}

HANDSET_API(BOOL, NLedSetDevice, (UINT nDeviceId, void* pInput), (nDeviceId, pInput)) {
    if (auto e = Enter("NLedSetDevice")) return Fail(*e, FALSE);
    if (nDeviceId != NLED_SETTINGS_INFO_ID) return Fail(DWORD(ERROR_GEN_FAILURE), FALSE);
    if (!pInput) return Fail(DWORD(ERROR_INVALID_PARAMETER), FALSE);
    const auto& in = *static_cast<const NLED_SETTINGS_INFO*>(pInput);
    const bool known =
        in.LedNum < Power::kLedCount &&
        (in.OffOnBlink == NLED_OFF || in.OffOnBlink == NLED_ON || in.OffOnBlink == NLED_BLINK);
    if (!known) return Fail(DWORD(ERROR_INVALID_PARAMETER), FALSE);
    // The blink times count only for a blink.
    if (in.OffOnBlink == NLED_BLINK &&
        (!Power::SupportsBlink(in.LedNum) || in.TotalCycleTime <= 0 || in.OnTime <= 0 ||
         in.OffTime <= 0))
        return Fail(DWORD(ERROR_INVALID_PARAMETER), FALSE);
    Pwr().SetLed(in);
    return TRUE;
}

// The power manager reports through its result and leaves the last error.
HANDSET_API(DWORD, SetDevicePower,
            (PVOID pvDevice, DWORD dwDeviceFlags, CEDEVICE_POWER_STATE DeviceState),
            (pvDevice, dwDeviceFlags, DeviceState)) {
    if (auto e = Enter("SetDevicePower")) return *e;
    if (!pvDevice || (dwDeviceFlags & ~DWORD(POWER_NAME | POWER_FORCE)) != 0)
        return ERROR_INVALID_PARAMETER;
    if (!(dwDeviceFlags & POWER_NAME))
        handset::NotEmulated("SetDevicePower", "dwDeviceFlags without POWER_NAME");
    if (DeviceState < PwrDeviceUnspecified || DeviceState >= PwrDeviceMaximum)
        return ERROR_INVALID_PARAMETER;
    if (!Power::IsBacklight(static_cast<const char16_t*>(pvDevice))) return ERROR_FILE_NOT_FOUND;
    Pwr().SetBacklight(dwDeviceFlags, DeviceState);
    return ERROR_SUCCESS;
}
