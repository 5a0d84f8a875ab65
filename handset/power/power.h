// The phone's notification LEDs and its backlight, with their histories: the
// NLed calls and SetDevicePower (calls.cpp) act on them; tests, scenarios and
// the screen read them.
//
// The handset's phone has two notification LEDs: LED 0, a light that can
// blink, and LED 1, the vibrator, which is only on or off. The power manager
// knows one device, the backlight "BKL1:" (also by its class-qualified
// name), which supports D0 (on) and D4 (off); D1 to D3 give D0, the next
// state up that it supports, as the power manager does. The handset models
// no idle time-out, so the backlight the power manager governs stays on:
// PwrDeviceUnspecified, which gives it back, lights it.
#pragma once

#include <windows.h>
#include <nled.h>
#include <pm.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/area.h"

namespace handset {

struct LedChange {
    uint64_t at = 0; // virtual ms
    DWORD pid = 0;   // who asked; 0 for the driver
    NLED_SETTINGS_INFO settings{};
};

struct BacklightRequest {
    uint64_t at = 0;
    DWORD pid = 0;
    DWORD flags = 0;
    CEDEVICE_POWER_STATE requested = PwrDeviceUnspecified;
    CEDEVICE_POWER_STATE state = D0; // the backlight's state after it
    bool forced = false;             // a forced state holds after it
};

class Power final : public Area {
  public:
    static constexpr UINT kLedCount = 2;
    static constexpr UINT kVibrator = 1;
    static constexpr char16_t kBacklight[] = u"BKL1:";

    explicit Power(Platform& platform);

    // ---- Reading: for tests, scenarios and the screen ---------------------
    // The LED's settings now; Fatal for an LED the phone lacks.
    const NLED_SETTINGS_INFO& Led(UINT led) const;
    bool LedOn(UINT led) const { return Led(led).OffOnBlink != NLED_OFF; }
    // Every accepted NLedSetDevice, in order.
    const std::vector<LedChange>& LedHistory() const { return ledHistory_; }

    // Whether the screen is lit: a screenshot of what a person sees is dark
    // while this is false.
    bool BacklightOn() const { return backlight_ != D4; }
    CEDEVICE_POWER_STATE BacklightState() const { return backlight_; }
    bool BacklightForced() const { return backlightForced_; }
    // Every accepted SetDevicePower on the backlight, in order.
    const std::vector<BacklightRequest>& BacklightHistory() const { return backlightHistory_; }

    // ---- For the calls ---------------------------------------------------
    static bool SupportsBlink(UINT led) { return led != kVibrator; }
    // Sets the LED (settings already checked) and records it.
    void SetLed(const NLED_SETTINGS_INFO& settings);
    // Whether the name is the backlight's, bare or class-qualified.
    static bool IsBacklight(std::u16string_view name);
    // Applies a request the caller has checked, and records it.
    void SetBacklight(DWORD flags, CEDEVICE_POWER_STATE requested);

  private:
    NLED_SETTINGS_INFO leds_[kLedCount]{};
    std::vector<LedChange> ledHistory_;
    CEDEVICE_POWER_STATE backlight_ = D0;
    bool backlightForced_ = false;
    std::vector<BacklightRequest> backlightHistory_;
};

} // namespace handset
