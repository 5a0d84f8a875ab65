// Reading the settings, and the time tables behind the stored positions.
#include "settings.h"

namespace {

// The stored value, or the default when it cannot be read.
int ReadSetting(SettingsKey& key, LPCWSTR name, int fallback) {
    SHORT value;
    if (!key.ReadDword(name, &value)) return fallback;
    return value;
}

// The short tables fit 16 bits, as the settings sheet lists them.
const SHORT kOnStartDelayMs[] = {0, 1000, 2000, 3000, 4000, 5000};
const SHORT kTempUnlockDelayMs[] = {2000, 3000, 4000, 5000, 6000, 7000, 8000};
const LONG kRegularSoundBeforeMs[] = {0, 1000, 2000, 3000, 4000, 5000, 7000, 10000, 15000, 20000};
const LONG kRegularSoundDelayMs[] = {30000,  60000,  90000,  120000, 180000,
                                     240000, 300000, 480000, 600000};
const LONG kTurnOffScrMs[] = {NEVER_MS, 5000, 10000, 15000, 20000, 25000};
const LONG kDropDelayMs[] = {NEVER_MS, 25000,  55000,  115000, 175000, 235000,
                             295000,   355000, 415000, 475000, 535000, 595000};

// The counts in settings.h are what the settings sheet lists: they must
// match the tables (a negative array size otherwise).
#define COUNT_OF(table) (sizeof(table) / sizeof((table)[0]))
typedef char OnStartDelayCountMatches[COUNT_OF(kOnStartDelayMs) == ON_START_DELAY_COUNT ? 1 : -1];
typedef char
    TempUnlockCountMatches[COUNT_OF(kTempUnlockDelayMs) == TEMP_UNLOCK_DELAY_COUNT ? 1 : -1];
typedef char
    BeforeCountMatches[COUNT_OF(kRegularSoundBeforeMs) == REGULAR_SOUND_BEFORE_COUNT ? 1 : -1];
typedef char
    DelayCountMatches[COUNT_OF(kRegularSoundDelayMs) == REGULAR_SOUND_DELAY_COUNT ? 1 : -1];
typedef char TurnOffCountMatches[COUNT_OF(kTurnOffScrMs) == TURN_OFF_SCR_COUNT ? 1 : -1];
typedef char DropCountMatches[COUNT_OF(kDropDelayMs) == DROP_DELAY_COUNT ? 1 : -1];

// A position indexes the table only when it lies inside it. (Its low 16
// bits alone do not do: 65536 has them 0 but lies far past any table.)
BOOL InTable(int index, int count) {
    return index >= 0 && index < count;
}

} // namespace

int ReadOnStartDelay(SettingsKey& key) {
    return ReadSetting(key, SETTING_ON_START_DELAY, 0);
}
int ReadTempUnlockDelay(SettingsKey& key) {
    return ReadSetting(key, SETTING_TEMP_UNLOCK_DELAY, 3);
}
int ReadRegularSoundType(SettingsKey& key) {
    return ReadSetting(key, SETTING_REGULAR_SOUND_TYPE, SOUND_BEEP);
}
int ReadRegularSoundDelay(SettingsKey& key) {
    return ReadSetting(key, SETTING_REGULAR_SOUND_DELAY, 4);
}
int ReadRegularSoundBefore(SettingsKey& key) {
    return ReadSetting(key, SETTING_REGULAR_SOUND_BEFORE, 5);
}
int ReadOnSoundType(SettingsKey& key) {
    return ReadSetting(key, SETTING_ON_SOUND_TYPE, SOUND_BEEP);
}
int ReadOffSoundType(SettingsKey& key) {
    return ReadSetting(key, SETTING_OFF_SOUND_TYPE, SOUND_BEEP);
}
int ReadTurnOffScr(SettingsKey& key) {
    return ReadSetting(key, SETTING_TURN_OFF_SCR, 1);
}
int ReadDropIncoming(SettingsKey& key) {
    return ReadSetting(key, SETTING_DROP_INCOMING, 0);
}
int ReadDropOutgoing(SettingsKey& key) {
    return ReadSetting(key, SETTING_DROP_OUTGOING, 0);
}

BOOL ReadStartAfterReset(SettingsKey& key) {
    SHORT value;
    if (!key.ReadDword(SETTING_START_AFTER_RESET, &value)) return FALSE;
    return value != 0 ? TRUE : FALSE;
}

LONG OnStartDelayMs(int index) {
    return InTable(index, ON_START_DELAY_COUNT) ? kOnStartDelayMs[index] : 0;
}

LONG TempUnlockDelayMs(int index) {
    return InTable(index, TEMP_UNLOCK_DELAY_COUNT) ? kTempUnlockDelayMs[index] : 5000;
}

LONG RegularSoundBeforeMs(int index) {
    return InTable(index, REGULAR_SOUND_BEFORE_COUNT) ? kRegularSoundBeforeMs[index] : 5000;
}

LONG RegularSoundDelayMs(int index) {
    return InTable(index, REGULAR_SOUND_DELAY_COUNT) ? kRegularSoundDelayMs[index] : 180000;
}

LONG TurnOffScrMs(int index) {
    return InTable(index, TURN_OFF_SCR_COUNT) ? kTurnOffScrMs[index] : 5000;
}

LONG DropDelayMs(int index) {
    return InTable(index, DROP_DELAY_COUNT) ? kDropDelayMs[index] : NEVER_MS;
}

LONG FirstSoundPeriodMs(int delayIndex, int beforeIndex) {
    return RegularSoundDelayMs(delayIndex) - RegularSoundBeforeMs(beforeIndex);
}
