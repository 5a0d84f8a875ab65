// SettingsKey on the handset: what it makes, reads and writes, and that it
// holds no key and no buffer once an operation returns, however it ended.
#include <gtest/gtest.h>

#include <functional>

#include "device/device.h"
#include "kernel/heap.h"
#include "registry/registry.h"
#include "settings_key.h"

using handset::Device;

namespace {

const std::u16string kPath = u"Software\\Apps\\Tessaril";

// What the calling process holds, as "keys/blocks".
std::string Held(Device& d) {
    DWORD pid = GetCurrentProcessId();
    return std::to_string(d.Held(pid, handset::kRegistryKey)) + " keys/" +
           std::to_string(d.Held(pid, handset::kHeapBlock)) + " blocks";
}

// Between operations a SettingsKey holds its path copy and nothing else.
const std::string kIdle = "0 keys/1 blocks";

void SetRaw(Device& d, const char16_t* name, DWORD type, std::vector<BYTE> data) {
    d.Get<handset::Registry>().SetValue(HKEY_LOCAL_MACHINE, kPath, name, type, std::move(data));
}

} // namespace

TEST(SettingsKey, FirstReadOnAFreshDeviceMakesTheEmptyKeyAndNoBuffer) {
    Device d;
    d.Call([&] {
        SettingsKey key;
        EXPECT_EQ(kIdle, Held(d));
        unsigned allocs = d.faults().Calls("LocalAlloc");
        SHORT value = 77;
        EXPECT_FALSE(key.ReadDword(u"OnStartDelay", &value));
        EXPECT_EQ(77, value) << "untouched on failure";
        EXPECT_EQ(allocs, d.faults().Calls("LocalAlloc")) << "no values, no buffer";
        EXPECT_EQ(kIdle, Held(d));
        EXPECT_FALSE(key.ReadDword(u"OnStartDelay", &value));
        return DWORD(0);
    });
    EXPECT_TRUE(d.Get<handset::Registry>().KeyExists(HKEY_LOCAL_MACHINE, kPath));
    EXPECT_TRUE(d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kPath).empty());
    EXPECT_EQ(1u, d.timeline().Count("registry.create")) << "made once, opened after";
}

TEST(SettingsKey, HoldsNothingAfterAnyOperation) {
    struct Case {
        int line;
        const char* what;
        std::function<void(Device&)> setup;
        std::function<BOOL(SettingsKey&)> operation;
        BOOL want;
    } cases[] = {
        {__LINE__, "read that succeeds",
         [](Device& d) { d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, u"V", 3); },
         [](SettingsKey& k) {
             SHORT v;
             return k.ReadDword(u"V", &v);
         },
         TRUE},
        {__LINE__, "read of a missing value",
         [](Device& d) {
             d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, u"Other", 3);
         },
         [](SettingsKey& k) {
             SHORT v;
             return k.ReadDword(u"V", &v);
         },
         FALSE},
        {__LINE__, "read of a string",
         [](Device& d) {
             d.Get<handset::Registry>().SetString(HKEY_LOCAL_MACHINE, kPath, u"V", u"3");
         },
         [](SettingsKey& k) {
             SHORT v;
             return k.ReadDword(u"V", &v);
         },
         FALSE},
        {__LINE__, "read when the key cannot be opened or made",
         [](Device& d) {
             d.faults().FailAlways("RegOpenKeyExW", ERROR_ACCESS_DENIED);
             d.faults().FailAlways("RegCreateKeyExW", ERROR_ACCESS_DENIED);
         },
         [](SettingsKey& k) {
             SHORT v;
             return k.ReadDword(u"V", &v);
         },
         FALSE},
        {__LINE__, "read when the key's size cannot be asked",
         [](Device& d) {
             d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, u"V", 3);
             d.faults().FailAlways("RegQueryInfoKeyW", ERROR_ACCESS_DENIED);
         },
         [](SettingsKey& k) {
             SHORT v;
             return k.ReadDword(u"V", &v);
         },
         FALSE},
        {__LINE__, "read when the value query fails",
         [](Device& d) {
             d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, u"V", 3);
             d.faults().FailAlways("RegQueryValueExW", ERROR_ACCESS_DENIED);
         },
         [](SettingsKey& k) {
             SHORT v;
             return k.ReadDword(u"V", &v);
         },
         FALSE},
        {__LINE__, "write that succeeds", [](Device&) {},
         [](SettingsKey& k) { return k.WriteDword(u"V", 9); }, TRUE},
        {__LINE__, "write the registry refuses",
         [](Device& d) { d.faults().FailAlways("RegSetValueExW", ERROR_ACCESS_DENIED); },
         [](SettingsKey& k) { return k.WriteDword(u"V", 9); }, FALSE},
        {__LINE__, "open on its own",
         [](Device& d) { d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, u"V", 3); },
         [](SettingsKey& k) {
             BOOL ok = k.Open();
             k.Close();
             k.Close(); // twice is harmless
             return ok;
         },
         TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        DWORD pid = d.StartProcess("settings", [&] {
            SettingsKey key;
            c.setup(d);
            EXPECT_EQ(c.want, c.operation(key)) << "" << c.what;
            EXPECT_EQ(kIdle, Held(d)) << "" << c.what;
            d.faults().Clear();
            return DWORD(0);
        });
        d.RunUntilExit(pid, 1000);
        EXPECT_EQ(0, d.Held(pid, handset::kRegistryKey));
        EXPECT_EQ(0, d.Held(pid, handset::kHeapBlock)) << "path freed";
    }
}

TEST(SettingsKey, ReadsTheFirstTwoBytesAsASigned16BitNumber) {
    struct Case {
        int line;
        DWORD stored;
        SHORT want;
    } cases[] = {
        {__LINE__, 0, 0},           {__LINE__, 5, 5},
        {__LINE__, 0xFFFFFFFF, -1}, {__LINE__, 65536, 0},
        {__LINE__, 65537, 1},       {__LINE__, 0x7FFF, 32767},
        {__LINE__, 0x8000, -32768}, {__LINE__, 0x12345, 0x2345},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, u"V", c.stored);
        SHORT got = 99;
        BOOL ok = FALSE;
        d.Call([&] {
            SettingsKey key;
            ok = key.ReadDword(u"v", &got);
            return DWORD(0);
        });
        EXPECT_TRUE(ok);
        EXPECT_EQ(c.want, got) << "stored " << c.stored;
    }
}

TEST(SettingsKey, ALongerValueSizesTheBufferAndTheDwordStillReads) {
    Device d;
    SetRaw(d, u"Label", REG_SZ, std::vector<BYTE>(120, 'x'));
    SetRaw(d, u"Blob", REG_BINARY, std::vector<BYTE>(300, 0xEE));
    SetRaw(d, u"V", REG_DWORD, {0x05, 0x00, 0xFF, 0xFF});
    // A REG_DWORD holding more than four bytes: still only the first two count.
    SetRaw(d, u"Wide", REG_DWORD, {0x34, 0x12, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
    d.Call([&] {
        SettingsKey key;
        SHORT v = 0, wide = 0;
        EXPECT_TRUE(key.ReadDword(u"V", &v));
        EXPECT_EQ(5, v);
        EXPECT_TRUE(key.ReadDword(u"Wide", &wide));
        EXPECT_EQ(0x1234, wide);
        EXPECT_EQ(kIdle, Held(d));
        return DWORD(0);
    });
}

TEST(SettingsKey, ADwordOfFewerThanTwoBytesFailsTheRead) {
    struct Case {
        int line;
        std::vector<BYTE> data;
        bool otherValue; // a longer value beside it, so that there is a buffer
    } cases[] = {
        {__LINE__, {}, false}, // the key's longest value is 0 bytes: no buffer at all
        {__LINE__, {0x07}, false},
        {__LINE__, {}, true},
        {__LINE__, {0x07}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        SetRaw(d, u"V", REG_DWORD, c.data);
        if (c.otherValue) SetRaw(d, u"Blob", REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8});
        d.Call([&] {
            SettingsKey key;
            SHORT v = 42;
            EXPECT_FALSE(key.ReadDword(u"V", &v));
            EXPECT_EQ(42, v);
            EXPECT_EQ(kIdle, Held(d));
            return DWORD(0);
        });
    }
}

TEST(SettingsKey, WhenThePathCannotBeCopiedEveryOperationFailsCleanly) {
    Device d;
    d.Call([&] {
        d.faults().FailNth("LocalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
        SettingsKey key;
        EXPECT_EQ("0 keys/0 blocks", Held(d));
        SHORT v = 11;
        EXPECT_FALSE(key.ReadDword(u"OnStartDelay", &v));
        EXPECT_EQ(11, v);
        EXPECT_FALSE(key.WriteDword(u"OnStartDelay", 4));
        EXPECT_FALSE(key.Open());
        EXPECT_EQ("0 keys/0 blocks", Held(d));
        // A later path works again.
        EXPECT_TRUE(key.SetPath(u"Software\\Apps\\Tessaril"));
        EXPECT_TRUE(key.WriteDword(u"OnStartDelay", 4));
        EXPECT_TRUE(key.ReadDword(u"OnStartDelay", &v));
        EXPECT_EQ(4, v);
        return DWORD(0);
    });
    // Nothing was written where a missing path would have led: onto the root.
    EXPECT_TRUE(d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, u"").empty());
    EXPECT_EQ(4u, d.Get<handset::Registry>()
                      .GetDword(HKEY_LOCAL_MACHINE, kPath, u"OnStartDelay")
                      .value_or(0));
}

TEST(SettingsKey, ANewPathReplacesTheOldOneAndAFailedOneLeavesNone) {
    Device d;
    d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, u"Software\\Elsewhere", u"V", 8);
    d.Call([&] {
        SettingsKey key;
        EXPECT_TRUE(key.SetPath(u"Software\\Elsewhere"));
        EXPECT_EQ(kIdle, Held(d)) << "the old copy was freed";
        SHORT v = 0;
        EXPECT_TRUE(key.ReadDword(u"V", &v));
        EXPECT_EQ(8, v);
        d.faults().FailNth("LocalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_FALSE(key.SetPath(u"Software\\Third"));
        EXPECT_EQ("0 keys/0 blocks", Held(d));
        v = 0;
        EXPECT_FALSE(key.ReadDword(u"V", &v)) << "not the old path either";
        EXPECT_FALSE(key.SetPath(nullptr));
        return DWORD(0);
    });
    EXPECT_FALSE(d.Get<handset::Registry>().KeyExists(HKEY_LOCAL_MACHINE, u"Software\\Third"));
}

TEST(SettingsKey, WhenTheBufferCannotBeAllocatedTheReadFailsAndHoldsNothing) {
    Device d;
    d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, kPath, u"V", 3);
    d.Call([&] {
        SettingsKey key;
        d.faults().FailNth("LocalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
        SHORT v = 42;
        EXPECT_FALSE(key.ReadDword(u"V", &v));
        EXPECT_EQ(42, v);
        EXPECT_EQ(kIdle, Held(d));
        EXPECT_TRUE(key.ReadDword(u"V", &v)) << "the next read has its buffer";
        EXPECT_EQ(3, v);
        d.faults().FailAlways("LocalAlloc", ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_FALSE(key.Open());
        EXPECT_EQ(kIdle, Held(d)) << "a failed Open leaves nothing open";
        EXPECT_FALSE(key.WriteDword(u"V", 1));
        d.faults().Clear();
        return DWORD(0);
    });
    EXPECT_EQ(3u, d.Get<handset::Registry>().GetDword(HKEY_LOCAL_MACHINE, kPath, u"V").value_or(0));
}

TEST(SettingsKey, WriteStoresFourLittleEndianBytes) {
    struct Case {
        int line;
        LONG value;
        DWORD stored;
    } cases[] = {
        {__LINE__, -1, 0xFFFFFFFF},
        {__LINE__, 0, 0},
        {__LINE__, 0x12345678, 0x12345678},
        {__LINE__, -2147483647 - 1, 0x80000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        BOOL ok = FALSE;
        d.Call([&] {
            SettingsKey key;
            ok = key.WriteDword(u"V", c.value);
            return DWORD(0);
        });
        EXPECT_TRUE(ok);
        auto v = d.Get<handset::Registry>().Get(HKEY_LOCAL_MACHINE, kPath, u"V");
        ASSERT_TRUE(v);
        EXPECT_EQ(DWORD(REG_DWORD), v->type);
        EXPECT_EQ(
            c.stored,
            d.Get<handset::Registry>().GetDword(HKEY_LOCAL_MACHINE, kPath, u"V").value_or(0xBAD));
        auto writes = d.timeline().Find("registry.write");
        ASSERT_EQ(1u, writes.size());
        EXPECT_EQ(std::to_string(c.stored), writes[0]->Get("dword"));
    }
}
