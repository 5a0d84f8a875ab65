// The stored settings: one REG_DWORD each under the settings key, read with
// its default when the read fails, and the tables that turn a stored list
// position into milliseconds.
//
// | Value              | Default | Meaning                                  |
// | OnStartDelay       | 0       | position in the start delay table        |
// | TempUnlockDelay    | 3       | position in the temporary unlock table   |
// | RegularSoundType   | 1       | SOUND_NONE, SOUND_BEEP or SOUND_VIBRATE  |
// | RegularSoundDelay  | 4       | position in the interval table           |
// | RegularSoundBefore | 5       | position in the "first signal before" table |
// | OnSoundType        | 1       | signal kind on locking                   |
// | OffSoundType       | 1       | signal kind on unlocking                 |
// | TurnOffScr         | 1       | position in the screen-off table         |
// | DropIncoming       | 0       | position in the drop table               |
// | DropOutgoing       | 0       | position in the drop table               |
// | StartAfterReset    | 0       | non-zero: start the lock program at boot |
#ifndef TESSARIL_SETTINGS_H
#define TESSARIL_SETTINGS_H

#include <windows.h>

#include "settings_key.h"

// Value names under the settings key.
#define SETTING_ON_START_DELAY TEXT("OnStartDelay")
#define SETTING_TEMP_UNLOCK_DELAY TEXT("TempUnlockDelay")
#define SETTING_REGULAR_SOUND_TYPE TEXT("RegularSoundType")
#define SETTING_REGULAR_SOUND_DELAY TEXT("RegularSoundDelay")
#define SETTING_REGULAR_SOUND_BEFORE TEXT("RegularSoundBefore")
#define SETTING_ON_SOUND_TYPE TEXT("OnSoundType")
#define SETTING_OFF_SOUND_TYPE TEXT("OffSoundType")
#define SETTING_TURN_OFF_SCR TEXT("TurnOffScr")
#define SETTING_DROP_INCOMING TEXT("DropIncoming")
#define SETTING_DROP_OUTGOING TEXT("DropOutgoing")
#define SETTING_START_AFTER_RESET TEXT("StartAfterReset")

// Signal kinds (RegularSoundType, OnSoundType, OffSoundType).
#define SOUND_NONE 0
#define SOUND_BEEP 1
#define SOUND_VIBRATE 2

#define NEVER_MS (-1) // a time that never comes: no screen-off, no drop

// Entries in each table; a stored position below its count is valid.
#define ON_START_DELAY_COUNT 6
#define TEMP_UNLOCK_DELAY_COUNT 7
#define REGULAR_SOUND_BEFORE_COUNT 10
#define REGULAR_SOUND_DELAY_COUNT 9
#define TURN_OFF_SCR_COUNT 6
#define DROP_DELAY_COUNT 12

// Readers: the stored 16-bit value widened, or its default when the read fails.
int ReadOnStartDelay(SettingsKey& key);
int ReadTempUnlockDelay(SettingsKey& key);
int ReadRegularSoundType(SettingsKey& key);
int ReadRegularSoundDelay(SettingsKey& key);
int ReadRegularSoundBefore(SettingsKey& key);
int ReadOnSoundType(SettingsKey& key);
int ReadOffSoundType(SettingsKey& key);
int ReadTurnOffScr(SettingsKey& key);
int ReadDropIncoming(SettingsKey& key);
int ReadDropOutgoing(SettingsKey& key);
// TRUE when the value reads and its low 16 bits are not zero.
BOOL ReadStartAfterReset(SettingsKey& key);

// Position to milliseconds. A position that is negative or past the table
// gives the table's fallback, shown after each.
LONG OnStartDelayMs(int index);       // 0
LONG TempUnlockDelayMs(int index);    // 5000
LONG RegularSoundBeforeMs(int index); // 5000
LONG RegularSoundDelayMs(int index);  // 180000
LONG TurnOffScrMs(int index);         // 5000; NEVER_MS at position 0
LONG DropDelayMs(int index);          // NEVER_MS, also at position 0
// Time from the lock to the first interval signal: the interval less the
// warning before it (175000 with the defaults).
LONG FirstSoundPeriodMs(int delayIndex, int beforeIndex);

#ifdef TESSARIL_CONFIG_PROGRAM
// Writers: store a list position (or 0/1 for StartAfterReset).
BOOL WriteOnStartDelay(SettingsKey& key, int value);
BOOL WriteTempUnlockDelay(SettingsKey& key, int value);
BOOL WriteRegularSoundType(SettingsKey& key, int value);
BOOL WriteRegularSoundDelay(SettingsKey& key, int value);
BOOL WriteRegularSoundBefore(SettingsKey& key, int value);
BOOL WriteOnSoundType(SettingsKey& key, int value);
BOOL WriteOffSoundType(SettingsKey& key, int value);
BOOL WriteTurnOffScr(SettingsKey& key, int value);
BOOL WriteDropIncoming(SettingsKey& key, int value);
BOOL WriteDropOutgoing(SettingsKey& key, int value);
BOOL WriteStartAfterReset(SettingsKey& key, int value);

// Entries of the lists the settings sheet fills with "%d sec".
int OnStartDelayCount();
int TempUnlockDelayCount();
int RegularSoundBeforeCount();
#endif

#endif
