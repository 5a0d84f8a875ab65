// The LED calls and SetDevicePower: what the phone reports and refuses, and
// the states and histories the driver reads.
#include <gtest/gtest.h>

#include <nled.h>
#include <pm.h>

#include "device/device.h"
#include "power/power.h"

using handset::Device;
using handset::Power;

TEST(Leds, TwoLedsOfWhichTheVibratorOnlyGoesOnAndOff) {
    Device d;
    NLED_COUNT_INFO count = {};
    ASSERT_TRUE(NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &count));
    EXPECT_EQ(2u, count.cLeds);
    NLED_SUPPORTS_INFO supports = {Power::kVibrator};
    ASSERT_TRUE(NLedGetDeviceInfo(NLED_SUPPORTS_INFO_ID, &supports));
    EXPECT_EQ(0, supports.lCycleAdjust) << "no blinking";

    struct Case {
        int line;
        UINT id;
        NLED_SETTINGS_INFO in;
        DWORD error; // 0: taken
    } cases[] = {
        {__LINE__, NLED_SETTINGS_INFO_ID, {1, NLED_ON, 7, 7, 7, 7, 7}, 0},
        {__LINE__, NLED_SETTINGS_INFO_ID, {0, NLED_BLINK, 1000000, 500000, 500000, 1, 0}, 0},
        {__LINE__,
         NLED_SETTINGS_INFO_ID,
         {1, NLED_BLINK, 1000000, 500000, 500000, 1, 0},
         ERROR_INVALID_PARAMETER},
        {__LINE__,
         NLED_SETTINGS_INFO_ID,
         {0, NLED_BLINK, 0, 500000, 500000, 1, 0},
         ERROR_INVALID_PARAMETER},
        {__LINE__, NLED_SETTINGS_INFO_ID, {2, NLED_ON}, ERROR_INVALID_PARAMETER},
        {__LINE__, NLED_SETTINGS_INFO_ID, {0, 3}, ERROR_INVALID_PARAMETER},
        {__LINE__, NLED_SUPPORTS_INFO_ID, {0, NLED_ON}, ERROR_GEN_FAILURE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const size_t before = d.Get<Power>().LedHistory().size();
        NLED_SETTINGS_INFO in = c.in;
        SetLastError(0);
        EXPECT_EQ(c.error == 0, NLedSetDevice(c.id, &in) != FALSE);
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(before + (c.error == 0), d.Get<Power>().LedHistory().size());
    }
    NLED_SETTINGS_INFO vibrator = {Power::kVibrator};
    ASSERT_TRUE(NLedGetDeviceInfo(NLED_SETTINGS_INFO_ID, &vibrator));
    EXPECT_EQ(NLED_ON, vibrator.OffOnBlink);
    EXPECT_EQ(7, vibrator.MetaCycleOff) << "what was set is read back";
    EXPECT_TRUE(d.Get<Power>().LedOn(1));
}

TEST(Backlight, SetDevicePowerNamesTheBacklightAndForcesOrReleasesIt) {
    Device d;
    const DWORD force = POWER_NAME | POWER_FORCE;
    struct Case {
        int line;
        const char16_t* name;
        DWORD flags;
        int state;
        DWORD result;
        bool on, forced; // afterwards
    } cases[] = {
        {__LINE__, u"BKL1:", force, D4, ERROR_SUCCESS, false, true},
        {__LINE__, u"BKL1:", force, PwrDeviceUnspecified, ERROR_SUCCESS, true, false},
        {__LINE__, u"{A32942B7-920C-486b-B0E6-92A702A99B35}\\bkl1:", POWER_NAME, D4, ERROR_SUCCESS,
         false, false},
        {__LINE__, u"BKL1:", force, D2, ERROR_SUCCESS, true, true}, // D0: the next it supports
        {__LINE__, u"BKL2:", force, D4, ERROR_FILE_NOT_FOUND, true, true},
        {__LINE__, u"BKL1:", force | 0x4, D4, ERROR_INVALID_PARAMETER, true, true},
        {__LINE__, u"BKL1:", force, 5, ERROR_INVALID_PARAMETER, true, true},
        {__LINE__, u"BKL1:", force, -2, ERROR_INVALID_PARAMETER, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        d.RunFor(10);
        const size_t before = d.Get<Power>().BacklightHistory().size();
        EXPECT_EQ(c.result, SetDevicePower(const_cast<char16_t*>(c.name), c.flags,
                                           CEDEVICE_POWER_STATE(c.state)));
        EXPECT_EQ(c.on, d.Get<Power>().BacklightOn());
        EXPECT_EQ(c.forced, d.Get<Power>().BacklightForced());
        const auto& history = d.Get<Power>().BacklightHistory();
        ASSERT_EQ(before + (c.result == ERROR_SUCCESS), history.size());
        if (c.result != ERROR_SUCCESS) continue;
        EXPECT_EQ(d.Now(), history.back().at);
        EXPECT_EQ(c.state, int(history.back().requested));
    }
    EXPECT_EQ(4u, d.timeline().Count("backlight.set"));
}
