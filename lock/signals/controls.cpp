// The vibration pulse and the backlight: small synchronous device requests
// whose results change nothing for the user, so none is checked.
#include "signals/signals.h"

#include <nled.h>
#include <pm.h>
#include <string.h>

void SetNotificationLed(UINT led, BOOL on) {
    NLED_SETTINGS_INFO settings;
    memset(&settings, 0, sizeof settings);
    settings.LedNum = led;
    NLedGetDeviceInfo(NLED_SETTINGS_INFO_ID, &settings); // keeps the blink times as they are
    settings.OffOnBlink = on ? NLED_ON : NLED_OFF;
    NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings);
}

void VibratePulse(void) {
    SetNotificationLed(VIBRATOR_LED, TRUE);
    Sleep(VIBRATION_PULSE_MS);
    SetNotificationLed(VIBRATOR_LED, FALSE);
}

void BacklightOff(void) {
    SetDevicePower((PVOID)BACKLIGHT_DEVICE, POWER_NAME | POWER_FORCE, D4);
}

void BacklightOn(void) {
    SetDevicePower((PVOID)BACKLIGHT_DEVICE, POWER_NAME | POWER_FORCE, D0);
    // Released, the system's own backlight time-out governs it again.
    SetDevicePower((PVOID)BACKLIGHT_DEVICE, POWER_NAME | POWER_FORCE, PwrDeviceUnspecified);
}
