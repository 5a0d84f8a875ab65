// The LEDs' and the backlight's states and histories.
#include "power/power.h"

#include "gdi/gdi.h"

#include "device/platform.h"

namespace handset {

namespace {

// The generic power-manageable class, which a bare device name stands for.
constexpr std::u16string_view kGenericClass = u"{A32942B7-920C-486b-B0E6-92A702A99B35}\\";

bool SameText(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (towupper(a[i]) != towupper(b[i])) return false;
    return true;
}

} // namespace

Power::Power(Platform& platform) : Area(platform) {
    for (UINT i = 0; i < kLedCount; ++i)
        leds_[i].LedNum = i;
}

const NLED_SETTINGS_INFO& Power::Led(UINT led) const {
    if (led >= kLedCount) Platform::Fatal("the phone has no LED " + std::to_string(led));
    return leds_[led];
}

void Power::SetLed(const NLED_SETTINGS_INFO& settings) {
    leds_[settings.LedNum] = settings;
    ledHistory_.push_back({platform_.Now(), platform_.CurrentPid(), settings});
    platform_.timeline().Record("led.set", {{"led", DWORD(settings.LedNum)},
                                            {"state", settings.OffOnBlink},
                                            {"vibrator", settings.LedNum == kVibrator ? 1 : 0}});
}

bool Power::IsBacklight(std::u16string_view name) {
    if (name.size() > kGenericClass.size() &&
        SameText(name.substr(0, kGenericClass.size()), kGenericClass))
        name.remove_prefix(kGenericClass.size());
    return SameText(name, kBacklight);
}

void Power::SetBacklight(DWORD flags, CEDEVICE_POWER_STATE requested) {
    if (requested == PwrDeviceUnspecified) {
        backlight_ = D0;
        backlightForced_ = false;
    } else {
        backlight_ = requested == D4 ? D4 : D0;
        backlightForced_ = (flags & POWER_FORCE) != 0;
    }
    backlightHistory_.push_back(
        {platform_.Now(), platform_.CurrentPid(), flags, requested, backlight_, backlightForced_});
    // The screen shows dark to a person while the light is off.
    platform_.Get<Screen>().SetLit(backlight_ == D0);
    platform_.timeline().Record("backlight.set", {{"requested", int(requested)},
                                                  {"state", int(backlight_)},
                                                  {"forced", backlightForced_ ? 1 : 0}});
}

} // namespace handset
