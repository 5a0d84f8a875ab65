// The stored settings: each reader's name and default, the writers, and the
// tables that turn positions into milliseconds.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "device/device.h"
#include "testing/testing.h"
#include "device/seeded_test.h"
#include "kernel/heap.h"
#include "registry/registry.h"
#include "settings.h"

using handset::Device;

namespace {

const std::u16string kPath = u"Software\\Apps\\Tessaril";

struct Setting {
    const char16_t* name; // spelled here independently of the program
    int (*read)(SettingsKey&);
    BOOL (*write)(SettingsKey&, int);
    int fallback;
};

const Setting kSettings[] = {
    {u"OnStartDelay", ReadOnStartDelay, WriteOnStartDelay, 0},
    {u"TempUnlockDelay", ReadTempUnlockDelay, WriteTempUnlockDelay, 3},
    {u"RegularSoundType", ReadRegularSoundType, WriteRegularSoundType, 1},
    {u"RegularSoundDelay", ReadRegularSoundDelay, WriteRegularSoundDelay, 4},
    {u"RegularSoundBefore", ReadRegularSoundBefore, WriteRegularSoundBefore, 5},
    {u"OnSoundType", ReadOnSoundType, WriteOnSoundType, 1},
    {u"OffSoundType", ReadOffSoundType, WriteOffSoundType, 1},
    {u"TurnOffScr", ReadTurnOffScr, WriteTurnOffScr, 1},
    {u"DropIncoming", ReadDropIncoming, WriteDropIncoming, 0},
    {u"DropOutgoing", ReadDropOutgoing, WriteDropOutgoing, 0},
};

using handset::testing::N;

} // namespace

TEST(Settings, AFreshDeviceGivesEveryDefault) {
    Device d;
    d.Call([&] {
        SettingsKey key;
        for (const Setting& s : kSettings)
            EXPECT_EQ(s.fallback, s.read(key)) << N(s.name);
        EXPECT_FALSE(ReadStartAfterReset(key));
        // What the lock program makes of them.
        EXPECT_EQ(0, OnStartDelayMs(ReadOnStartDelay(key)));
        EXPECT_EQ(5000, TempUnlockDelayMs(ReadTempUnlockDelay(key)));
        EXPECT_EQ(180000, RegularSoundDelayMs(ReadRegularSoundDelay(key)));
        EXPECT_EQ(5000, RegularSoundBeforeMs(ReadRegularSoundBefore(key)));
        EXPECT_EQ(175000,
                  FirstSoundPeriodMs(ReadRegularSoundDelay(key), ReadRegularSoundBefore(key)));
        EXPECT_EQ(5000, TurnOffScrMs(ReadTurnOffScr(key)));
        EXPECT_EQ(NEVER_MS, DropDelayMs(ReadDropIncoming(key)));
        EXPECT_EQ(NEVER_MS, DropDelayMs(ReadDropOutgoing(key)));
        EXPECT_EQ(SOUND_BEEP, ReadOnSoundType(key));
        return DWORD(0);
    });
    EXPECT_TRUE(d.Get<handset::Registry>().KeyExists(HKEY_LOCAL_MACHINE, kPath))
        << "the first read made the key";
}

TEST(Settings, EachReaderReadsItsOwnValue) {
    Device d;
    int n = 0;
    for (const Setting& s : kSettings)
        d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, s.name, 100 + n++);
    d.Call([&] {
        SettingsKey key;
        int i = 0;
        for (const Setting& s : kSettings)
            EXPECT_EQ(100 + i++, s.read(key)) << N(s.name);
        return DWORD(0);
    });
}

TEST(Settings, AValueOfAnotherTypeGivesTheDefault) {
    Device d;
    for (const Setting& s : kSettings)
        d.Get<handset::Registry>().SetString(HKEY_LOCAL_MACHINE, kPath, s.name, u"2");
    d.Get<handset::Registry>().SetValue(HKEY_LOCAL_MACHINE, kPath, u"StartAfterReset", REG_BINARY,
                                        {1, 0, 0, 0});
    d.Call([&] {
        SettingsKey key;
        for (const Setting& s : kSettings)
            EXPECT_EQ(s.fallback, s.read(key)) << N(s.name);
        EXPECT_FALSE(ReadStartAfterReset(key));
        return DWORD(0);
    });
}

TEST(Settings, StartAfterResetLooksAtTheLow16Bits) {
    struct Case {
        int line;
        DWORD stored;
        BOOL want;
    } cases[] = {
        {__LINE__, 0, FALSE},     {__LINE__, 1, TRUE},     {__LINE__, 2, TRUE},
        {__LINE__, 65536, FALSE}, {__LINE__, 65537, TRUE}, {__LINE__, 0xFFFFFFFF, TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, u"StartAfterReset",
                                            c.stored);
        BOOL got = 99;
        d.Call([&] {
            SettingsKey key;
            got = ReadStartAfterReset(key);
            return DWORD(0);
        });
        EXPECT_EQ(c.want, got) << "stored " << c.stored;
    }
}

TEST(Settings, ReadersWidenTheSigned16BitValue) {
    Device d;
    d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, u"TurnOffScr", 0xFFFFFFFF);
    d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, u"DropIncoming", 65536 + 3);
    d.Call([&] {
        SettingsKey key;
        EXPECT_EQ(-1, ReadTurnOffScr(key));
        EXPECT_EQ(5000, TurnOffScrMs(ReadTurnOffScr(key))) << "-1 is out of the table";
        EXPECT_EQ(3, ReadDropIncoming(key));
        EXPECT_EQ(115000, DropDelayMs(ReadDropIncoming(key)));
        return DWORD(0);
    });
}

TEST(Settings, ADwordOfTwoOrThreeBytesGivesItsFirstTwo) {
    struct Case {
        int line;
        std::vector<BYTE> stored;
        int want;
    } cases[] = {
        {__LINE__, {0x03, 0x00}, 3},
        {__LINE__, {0xFE, 0xFF}, -2},
        {__LINE__, {0x05, 0x00, 0x7F}, 5},
        {__LINE__, {0x01}, 4}, // too short: the default
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        d.Get<handset::Registry>().SetValue(HKEY_LOCAL_MACHINE, kPath, u"RegularSoundDelay",
                                            REG_DWORD, c.stored);
        int got = 99;
        d.Call([&] {
            SettingsKey key;
            got = ReadRegularSoundDelay(key);
            return DWORD(0);
        });
        EXPECT_EQ(c.want, got);
    }
}

TEST(Settings, WritersStoreUnderTheirNames) {
    Device d;
    d.Call([&] {
        SettingsKey key;
        int i = 0;
        for (const Setting& s : kSettings)
            EXPECT_TRUE(s.write(key, 10 + i++)) << N(s.name);
        EXPECT_TRUE(WriteStartAfterReset(key, 1));
        EXPECT_TRUE(WriteDropOutgoing(key, -1)) << "the last write wins";
        return DWORD(0);
    });
    int i = 0;
    for (const Setting& s : kSettings) {
        DWORD want = std::u16string(s.name) == u"DropOutgoing" ? 0xFFFFFFFF : DWORD(10 + i);
        EXPECT_EQ(
            want,
            d.Get<handset::Registry>().GetDword(HKEY_LOCAL_MACHINE, kPath, s.name).value_or(0xBAD))
            << N(s.name);
        ++i;
    }
    EXPECT_EQ(1u, d.Get<handset::Registry>()
                      .GetDword(HKEY_LOCAL_MACHINE, kPath, u"StartAfterReset")
                      .value_or(0));
    EXPECT_EQ(11u, d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kPath).size());
}

TEST(Settings, AFailedWriteReportsFalse) {
    Device d;
    d.Call([&] {
        SettingsKey key;
        d.faults().FailAlways("RegSetValueExW", ERROR_ACCESS_DENIED);
        EXPECT_FALSE(WriteOnStartDelay(key, 2));
        d.faults().Clear();
        return DWORD(0);
    });
    EXPECT_FALSE(d.Get<handset::Registry>().Get(HKEY_LOCAL_MACHINE, kPath, u"OnStartDelay"));
}

// Whatever the platform does, a reader gives the stored value or its
// default, and the process holds nothing once it ends.
TEST(Settings, UnderRandomFaultsEachReadGivesTheValueOrTheDefaultAndNothingLeaks) {
    // A close or free that fails leaks on the phone too; the plan leaves them
    // alone so that what is checked is what the program gives back itself.
    auto mayFail = [](std::string_view call) {
        return call != "RegCloseKey" && call != "LocalFree";
    };
    std::vector<uint64_t> seeds = handset::SeedsToRun({1, 2, 3, 4, 5, 6, 7, 8});
    int stored = 0, fellBack = 0;
    for (uint64_t seed : seeds) {
        HANDSET_SEED_TRACE(seed);
        Device d;
        for (const Setting& s : kSettings)
            d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, s.name, s.fallback + 1);
        DWORD pid = d.StartProcess("settings", [&] {
            d.faults().Random(seed, 0.2, mayFail);
            SettingsKey key;
            for (const Setting& s : kSettings) {
                int got = s.read(key);
                EXPECT_TRUE(got == s.fallback + 1 || got == s.fallback) << N(s.name) << " " << got;
                ++(got == s.fallback ? fellBack : stored);
            }
            return DWORD(0);
        });
        ASSERT_TRUE(d.RunUntilExit(pid, 1000));
        EXPECT_EQ(0, d.Held(pid, handset::kRegistryKey));
        EXPECT_EQ(0, d.Held(pid, handset::kHeapBlock));
    }
    if (seeds.size() > 1) { // the plan must have led both ways to mean anything
        EXPECT_GT(stored, 0);
        EXPECT_GT(fellBack, 0);
    }
}

TEST(SettingsTables, EveryPositionAndTheFallbackOutsideThem) {
    struct Table {
        int line;
        const char* name;
        LONG (*ms)(int);
        std::vector<LONG> entries;
        LONG fallback;
    } tables[] = {
        {__LINE__, "OnStartDelay", OnStartDelayMs, {0, 1000, 2000, 3000, 4000, 5000}, 0},
        {__LINE__,
         "TempUnlockDelay",
         TempUnlockDelayMs,
         {2000, 3000, 4000, 5000, 6000, 7000, 8000},
         5000},
        {__LINE__,
         "RegularSoundBefore",
         RegularSoundBeforeMs,
         {0, 1000, 2000, 3000, 4000, 5000, 7000, 10000, 15000, 20000},
         5000},
        {__LINE__,
         "RegularSoundDelay",
         RegularSoundDelayMs,
         {30000, 60000, 90000, 120000, 180000, 240000, 300000, 480000, 600000},
         180000},
        {__LINE__, "TurnOffScr", TurnOffScrMs, {-1, 5000, 10000, 15000, 20000, 25000}, 5000},
        {__LINE__,
         "Drop",
         DropDelayMs,
         {-1, 25000, 55000, 115000, 175000, 235000, 295000, 355000, 415000, 475000, 535000, 595000},
         -1},
    };
    for (const Table& t : tables) {
        for (size_t i = 0; i < t.entries.size(); ++i)
            EXPECT_EQ(t.entries[i], t.ms(int(i)))
                << "line " << t.line << ": " << t.name << "[" << i << "]";
        const int size = int(t.entries.size());
        // 65536 + k has low 16 bits k, inside the table, yet lies past it.
        for (int outside : {-1, -65536, size, size + 1, 65536, 65536 + 1, INT_MAX, INT_MIN})
            EXPECT_EQ(t.fallback, t.ms(outside))
                << "line " << t.line << ": " << t.name << "(" << outside << ")";
    }
}

TEST(SettingsTables, ListCountsMatchTheirTables) {
    struct Case {
        int line;
        int count;
        int want;
        LONG (*ms)(int);
        LONG last;
        LONG fallback;
    } cases[] = {
        {__LINE__, OnStartDelayCount(), 6, OnStartDelayMs, 5000, 0},
        {__LINE__, TempUnlockDelayCount(), 7, TempUnlockDelayMs, 8000, 5000},
        {__LINE__, RegularSoundBeforeCount(), 10, RegularSoundBeforeMs, 20000, 5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        EXPECT_EQ(c.want, c.count);
        EXPECT_EQ(c.last, c.ms(c.count - 1)) << "the last listed entry";
        EXPECT_EQ(c.fallback, c.ms(c.count)) << "one past the list";
    }
}

TEST(SettingsTables, FirstSoundPeriodIsTheIntervalLessTheWarning) {
    EXPECT_EQ(175000, FirstSoundPeriodMs(4, 5));
    EXPECT_EQ(30000, FirstSoundPeriodMs(0, 0));
    EXPECT_EQ(10000, FirstSoundPeriodMs(0, 9));
    EXPECT_EQ(600000 - 7000, FirstSoundPeriodMs(8, 6));
    EXPECT_EQ(175000, FirstSoundPeriodMs(-1, 99)) << "both fall back";
}

TEST(Settings, APhonesRegFileGivesItsTimesAndAWriteReachesTheOtherProgram) {
    Device d;
    std::string error;
    ASSERT_TRUE(
        d.Get<handset::Registry>().LoadRegText("REGEDIT4\r\n\r\n"
                                               "[HKEY_LOCAL_MACHINE\\Software\\Apps\\Tessaril]\r\n"
                                               "\"OnStartDelay\"=dword:00000002\r\n"
                                               "\"RegularSoundDelay\"=dword:00000007\r\n"
                                               "\"TurnOffScr\"=dword:00000000\r\n"
                                               "\"DropOutgoing\"=dword:00000003\r\n"
                                               "\"DropIncoming\"=dword:ffffffff\r\n",
                                               "phone.reg", &error))
        << error;
    DWORD configPid = d.StartProcess("TessarilCfg.exe", [] {
        Sleep(1000);
        SettingsKey key;
        return DWORD(WriteTurnOffScr(key, 4) ? 0 : 1);
    });
    std::vector<LONG> seen;
    d.StartProcess("Tessaril.exe", [&] {
        for (int i = 0; i < 2; ++i) {
            SettingsKey key; // read afresh every time, no signal needed
            seen.push_back(OnStartDelayMs(ReadOnStartDelay(key)));
            seen.push_back(RegularSoundDelayMs(ReadRegularSoundDelay(key)));
            seen.push_back(TurnOffScrMs(ReadTurnOffScr(key)));
            seen.push_back(DropDelayMs(ReadDropOutgoing(key)));
            seen.push_back(DropDelayMs(ReadDropIncoming(key)));
            Sleep(2000);
        }
        return DWORD(0);
    });
    d.RunFor(5000);
    EXPECT_EQ(0u, d.ProcessExitCode(configPid));
    EXPECT_EQ((std::vector<LONG>{2000, 480000, NEVER_MS, 115000, NEVER_MS, //
                                 2000, 480000, 20000, 115000, NEVER_MS}),
              seen);
    EXPECT_EQ(1u, d.timeline().Count("registry.write"));
}
