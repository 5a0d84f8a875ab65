// What only the configuration program does with the settings: write them,
// and size the lists it shows.
// This file is the configuration program's alone: it sees its declarations
// in any build, the check of device sources as C++03 included.
#ifndef TESSARIL_CONFIG_PROGRAM
#define TESSARIL_CONFIG_PROGRAM
#endif
#include "settings.h"

BOOL SettingsKey::WriteDword(LPCWSTR name, LONG value) {
    if (!Open()) {
        Close();
        return FALSE;
    }
    // Little-endian whatever the host, as the phone stores a REG_DWORD.
    DWORD bits = (DWORD)value;
    BYTE data[4];
    data[0] = (BYTE)(bits & 0xFF);
    data[1] = (BYTE)((bits >> 8) & 0xFF);
    data[2] = (BYTE)((bits >> 16) & 0xFF);
    data[3] = (BYTE)((bits >> 24) & 0xFF);
    LONG result = RegSetValueExW(m_key, name, 0, REG_DWORD, data, sizeof data);
    Close();
    return result == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL WriteOnStartDelay(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_ON_START_DELAY, value);
}
BOOL WriteTempUnlockDelay(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_TEMP_UNLOCK_DELAY, value);
}
BOOL WriteRegularSoundType(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_REGULAR_SOUND_TYPE, value);
}
BOOL WriteRegularSoundDelay(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_REGULAR_SOUND_DELAY, value);
}
BOOL WriteRegularSoundBefore(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_REGULAR_SOUND_BEFORE, value);
}
BOOL WriteOnSoundType(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_ON_SOUND_TYPE, value);
}
BOOL WriteOffSoundType(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_OFF_SOUND_TYPE, value);
}
BOOL WriteTurnOffScr(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_TURN_OFF_SCR, value);
}
BOOL WriteDropIncoming(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_DROP_INCOMING, value);
}
BOOL WriteDropOutgoing(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_DROP_OUTGOING, value);
}
BOOL WriteStartAfterReset(SettingsKey& key, int value) {
    return key.WriteDword(SETTING_START_AFTER_RESET, value);
}

int OnStartDelayCount() {
    return ON_START_DELAY_COUNT;
}
int TempUnlockDelayCount() {
    return TEMP_UNLOCK_DELAY_COUNT;
}
int RegularSoundBeforeCount() {
    return REGULAR_SOUND_BEFORE_COUNT;
}
