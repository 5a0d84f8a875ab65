// The notification LED interface as Windows Mobile device code sees it. On
// phones with a vibrator it is one of the LEDs (LED 1 on the handset).
#ifndef HANDSET_NLED_H
#define HANDSET_NLED_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define NLED_COUNT_INFO_ID 0
#define NLED_SUPPORTS_INFO_ID 1
#define NLED_SETTINGS_INFO_ID 2

// OffOnBlink
#define NLED_OFF 0
#define NLED_ON 1
#define NLED_BLINK 2

struct NLED_COUNT_INFO {
    UINT cLeds;
};

struct NLED_SUPPORTS_INFO {
    UINT LedNum;       // from 0
    LONG lCycleAdjust; // cycle time granularity in microseconds; 0: no blinking
    BOOL fAdjustTotalCycleTime;
    BOOL fAdjustOnTime;
    BOOL fAdjustOffTime;
    BOOL fMetaCycleOn;
    BOOL fMetaCycleOff;
};

struct NLED_SETTINGS_INFO {
    UINT LedNum;
    INT OffOnBlink;      // NLED_OFF, NLED_ON, NLED_BLINK
    LONG TotalCycleTime; // of a blink, in microseconds
    LONG OnTime;
    LONG OffTime;
    INT MetaCycleOn;  // blink cycles on
    INT MetaCycleOff; // blink cycles off
};

BOOL WINAPI NLedGetDeviceInfo(UINT nInfoId, void* pOutput);
BOOL WINAPI NLedSetDevice(UINT nDeviceId, void* pInput);

#ifdef __cplusplus
}
#endif

#endif
