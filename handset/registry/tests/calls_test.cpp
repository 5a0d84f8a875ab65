// The registry calls as device code makes them: opening and creating keys,
// values of every type, sizes and ERROR_MORE_DATA, case, the default value,
// enumeration and deletion. Made in the driver's context (process 0) where
// no process accounting is involved.
#include <gtest/gtest.h>

#include <cstring>

#include "helpers.h"

using handset::Device;
using handset::RegValue;
using namespace regtest;

namespace {

const std::u16string kApp = u"Software\\Apps\\Test";

using handset::testing::N;

} // namespace

TEST(RegOpenKeyEx, ReportsTheDocumentedErrors) {
    Device d;
    d.Get<handset::Registry>().CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Apps");
    const std::u16string longName(256, u'x');
    const std::u16string longest(255, u'y');
    d.Get<handset::Registry>().CreateKey(HKEY_LOCAL_MACHINE, longest);
    struct Case {
        int line;
        HKEY root;
        const char16_t* path;
        DWORD options;
        LONG want;
    } cases[] = {
        {__LINE__, HKEY_LOCAL_MACHINE, u"Software\\Apps", 0, ERROR_SUCCESS},
        {__LINE__, HKEY_LOCAL_MACHINE, u"sOFTWARE\\aPPS", 0, ERROR_SUCCESS},
        {__LINE__, HKEY_LOCAL_MACHINE, longest.c_str(), 0, ERROR_SUCCESS},
        {__LINE__, HKEY_LOCAL_MACHINE, u"Software\\Missing", 0, ERROR_FILE_NOT_FOUND},
        {__LINE__, HKEY_LOCAL_MACHINE, u"Missing\\Apps", 0, ERROR_FILE_NOT_FOUND},
        {__LINE__, HKEY_CURRENT_USER, u"Software\\Apps", 0, ERROR_FILE_NOT_FOUND},
        {__LINE__, HKEY_LOCAL_MACHINE, u"Software\\Apps", 1, ERROR_INVALID_PARAMETER},
        {__LINE__, HKEY_LOCAL_MACHINE, u"Software\\\\Apps", 0, ERROR_INVALID_PARAMETER},
        {__LINE__, HKEY_LOCAL_MACHINE, u"\\Software", 0, ERROR_INVALID_PARAMETER},
        {__LINE__, HKEY_LOCAL_MACHINE, u"Software\\", 0, ERROR_INVALID_PARAMETER},
        {__LINE__, HKEY_LOCAL_MACHINE, longName.c_str(), 0, ERROR_INVALID_PARAMETER},
        {__LINE__, HKEY(uintptr_t(0x1234)), u"Software", 0, ERROR_INVALID_HANDLE},
        {__LINE__, HKEY(nullptr), u"Software", 0, ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        HKEY key = HKEY(uintptr_t(0xBAD));
        SetLastError(handset::testing::kLastErrorSentinel);
        LONG r = RegOpenKeyExW(c.root, c.path, c.options, KEY_READ, &key);
        EXPECT_EQ(c.want, r);
        EXPECT_EQ(handset::testing::kLastErrorSentinel, GetLastError())
            << "the error is the result; the last error stays";
        if (r == ERROR_SUCCESS) {
            EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
        } else {
            EXPECT_EQ(HKEY(uintptr_t(0xBAD)), key) << "output untouched";
        }
    }
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, 0, nullptr));
    EXPECT_EQ(0u, d.Get<handset::Registry>().OpenHandleCount());
}

TEST(RegOpenKeyEx, NullOrEmptySubkeyGivesANewHandleOnTheSameKey) {
    Device d;
    HKEY app = CreateKey(HKEY_LOCAL_MACHINE, kApp.c_str());
    ASSERT_NE(nullptr, app);
    for (const char16_t* sub : {static_cast<const char16_t*>(nullptr), u""}) {
        HKEY again = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(app, sub, 0, 0, &again));
        EXPECT_NE(app, again);
        DWORD one = 1;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(again, u"Seen", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4));
        EXPECT_EQ(
            1u, d.Get<handset::Registry>().GetDword(HKEY_LOCAL_MACHINE, kApp, u"Seen").value_or(0));
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
        d.Get<handset::Registry>().DeleteValue(HKEY_LOCAL_MACHINE, kApp, u"Seen");
    }
    // On a root as well: a real handle, distinct from the root's own value.
    HKEY root = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, 0, &root));
    EXPECT_NE(HKEY_LOCAL_MACHINE, root);
    EXPECT_FALSE(handset::Registry::IsPredefined(root));
    EXPECT_EQ(2u, d.Get<handset::Registry>().OpenHandleCount());
    RegCloseKey(root);
    RegCloseKey(app);
}

TEST(RegCreateKeyEx, MakesTheKeysAboveAndTellsNewFromExisting) {
    Device d;
    struct Case {
        int line;
        const char16_t* path;
        DWORD disposition;
    } cases[] = {
        {__LINE__, u"Software\\Apps\\Tessaril", REG_CREATED_NEW_KEY},
        {__LINE__, u"Software\\Apps\\Tessaril", REG_OPENED_EXISTING_KEY},
        {__LINE__, u"SOFTWARE\\apps\\TESSARIL", REG_OPENED_EXISTING_KEY},
        {__LINE__, u"Software\\Apps", REG_OPENED_EXISTING_KEY},
        {__LINE__, u"Software\\Apps\\Other", REG_CREATED_NEW_KEY},
        {__LINE__, u"", REG_OPENED_EXISTING_KEY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, c.path, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, &disposition));
        EXPECT_EQ(c.disposition, disposition);
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    }
    EXPECT_TRUE(d.Get<handset::Registry>().KeyExists(HKEY_LOCAL_MACHINE, u"Software"));
    EXPECT_TRUE(d.Get<handset::Registry>().KeyExists(HKEY_LOCAL_MACHINE, u"Software\\Apps"));
    auto names = d.Get<handset::Registry>().SubkeyNames(HKEY_LOCAL_MACHINE, u"Software\\Apps");
    ASSERT_EQ(2u, names.size());
    EXPECT_EQ("Tessaril", N(names[0])) << "the case it was created with";
    EXPECT_EQ("Other", N(names[1]));

    // One entry per key made by a call, naming the key as created.
    auto created = d.timeline().Find("registry.create");
    ASSERT_EQ(2u, created.size());
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\Software\\Apps\\Tessaril", created[0]->Get("key"));
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\Software\\Apps\\Other", created[1]->Get("key"));
}

TEST(RegCreateKeyEx, RejectsBadArgumentsAndMakesNothing) {
    Device d;
    HKEY key = nullptr;
    DWORD disp = 0;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A\\\\B", 0, nullptr, 0,
                                                       0, nullptr, &key, &disp));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, nullptr, 0, 0, nullptr, &key, &disp));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A", 1, nullptr, 0, 0, nullptr, &key, &disp));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A", 0, nullptr, 0x10, 0, nullptr, &key, &disp));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A", 0, nullptr, 0, 0, nullptr, nullptr, &disp));
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegCreateKeyExW(HKEY(uintptr_t(0x77)), u"A", 0, nullptr, 0, 0, nullptr, &key, &disp));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(0u, disp);
    EXPECT_FALSE(d.Get<handset::Registry>().KeyExists(HKEY_LOCAL_MACHINE, u"A"));
    EXPECT_EQ(0u, d.timeline().Count("registry.create"));
}

TEST(RegCreateKeyEx, MakesNoKeyDeeperThan512Levels) {
    Device d;
    std::u16string path = u"k"; // 511 levels
    for (int i = 1; i < 511; ++i)
        path += u"\\k";
    d.Get<handset::Registry>().CreateKey(HKEY_LOCAL_MACHINE, path);
    HKEY deep = OpenKey(HKEY_LOCAL_MACHINE, path.c_str());
    ASSERT_NE(nullptr, deep);
    HKEY key = nullptr;
    DWORD disp = 0;
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyExW(deep, u"a\\b", 0, nullptr, 0, 0, nullptr, &key, &disp));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, (path + u"\\a\\b").c_str(), 0, nullptr, 0, 0,
                              nullptr, &key, &disp));
    EXPECT_EQ(nullptr, key);
    EXPECT_FALSE(d.Get<handset::Registry>().KeyExists(HKEY_LOCAL_MACHINE, path + u"\\a"))
        << "nothing made";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(deep, u"a", 0, nullptr, 0, 0, nullptr, &key, &disp));
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disp) << "the 512th level";
    RegCloseKey(key);
    RegCloseKey(deep);
}

TEST(RegDriverDeathTest, AKeyDeeperThan512LevelsEndsTheRun) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::u16string path = u"k";
    for (int i = 1; i < 513; ++i)
        path += u"\\k";
    EXPECT_DEATH(
        {
            Device d;
            d.Get<handset::Registry>().SetDword(HKEY_CURRENT_USER, path, u"V", 1);
        },
        "a key path 513 levels deep under HKEY_CURRENT_USER; keys go 512 deep at most");
}

TEST(RegCreateKeyExDeathTest, AVolatileKeyIsNotEmulated) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Device d;
            HKEY key = nullptr;
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A", 0, nullptr, REG_OPTION_VOLATILE, 0, nullptr,
                            &key, nullptr);
        },
        "not emulated: RegCreateKeyExW: dwOptions REG_OPTION_VOLATILE");
}

TEST(RegQueryValueEx, SizesAndErrorMoreData) {
    Device d;
    const std::vector<BYTE> six = {1, 2, 3, 4, 5, 6};
    d.Get<handset::Registry>().SetValue(HKEY_LOCAL_MACHINE, kApp, u"Blob", REG_BINARY, six);
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, kApp.c_str());
    ASSERT_NE(nullptr, key);
    struct Case {
        int line;
        const char16_t* name;
        bool withData;
        bool withSize;
        DWORD size;
        LONG want;
        DWORD wantSize;
        bool wantCopied;
    } cases[] = {
        {__LINE__, u"Blob", false, true, 0, ERROR_SUCCESS, 6, false},  // size only
        {__LINE__, u"Blob", false, true, 99, ERROR_SUCCESS, 6, false}, // size only, any *lpcbData
        {__LINE__, u"Blob", true, true, 5, ERROR_MORE_DATA, 6, false},
        {__LINE__, u"Blob", true, true, 0, ERROR_MORE_DATA, 6, false},
        {__LINE__, u"Blob", true, true, 6, ERROR_SUCCESS, 6, true},
        {__LINE__, u"Blob", true, true, 16, ERROR_SUCCESS, 6, true},
        {__LINE__, u"BLOB", true, true, 16, ERROR_SUCCESS, 6, true},
        {__LINE__, u"Blob", true, false, 0, ERROR_INVALID_PARAMETER, 0, false},
        {__LINE__, u"Blob", false, false, 0, ERROR_SUCCESS, 0, false}, // exists
        {__LINE__, u"Missing", true, true, 16, ERROR_FILE_NOT_FOUND, 16, false},
        {__LINE__, u"Missing", false, false, 0, ERROR_FILE_NOT_FOUND, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        BYTE buffer[16];
        std::memset(buffer, 0xAA, sizeof buffer);
        DWORD size = c.size;
        DWORD type = 0xEEEE;
        LONG r = RegQueryValueExW(key, c.name, nullptr, &type, c.withData ? buffer : nullptr,
                                  c.withSize ? &size : nullptr);
        EXPECT_EQ(c.want, r);
        if (c.withSize) {
            EXPECT_EQ(c.wantSize, size);
        }
        if (r == ERROR_SUCCESS || r == ERROR_MORE_DATA) {
            EXPECT_EQ(DWORD(REG_BINARY), type);
        }
        std::vector<BYTE> got(buffer, buffer + 6);
        EXPECT_EQ(c.wantCopied ? six : std::vector<BYTE>(6, 0xAA), got) << "" << Hex(got);
        EXPECT_EQ(0xAA, buffer[6]) << "nothing past the data";
    }
    // The type is optional.
    BYTE buffer[8];
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"Blob", nullptr, nullptr, buffer, &size));
    DWORD reserved = 0;
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryValueExW(key, u"Blob", &reserved, nullptr, buffer, &size));
    RegCloseKey(key);
}

TEST(RegSetValueEx, KeepsTypeAndBytesOfEveryKind) {
    Device d;
    HKEY key = CreateKey(HKEY_LOCAL_MACHINE, kApp.c_str());
    ASSERT_NE(nullptr, key);
    struct Case {
        int line;
        DWORD type;
        std::vector<BYTE> data;
    } cases[] = {
        {__LINE__, REG_NONE, {}},
        {__LINE__, REG_SZ, Sz(u"text")},
        {__LINE__, REG_SZ, {'n', 0, 'o'}}, // odd length, no terminator: kept as given
        {__LINE__, REG_EXPAND_SZ, Sz(u"%windir%\\x")},
        {__LINE__, REG_BINARY, {0, 0xFF, 0x10}},
        {__LINE__, REG_DWORD, Dword(0xDEADBEEF)},
        {__LINE__, REG_DWORD, {7}}, // short DWORD data stays short
        {__LINE__, REG_DWORD_BIG_ENDIAN, {0, 0, 0, 9}},
        {__LINE__, REG_LINK, Sz(u"\\Registry\\X")},
        {__LINE__, REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {__LINE__, REG_RESOURCE_LIST, {1, 2}},
        {__LINE__, REG_FULL_RESOURCE_DESCRIPTOR, {3}},
        {__LINE__, REG_RESOURCE_REQUIREMENTS_LIST, {4, 5, 6}},
        {__LINE__, REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {__LINE__, 0x12345, {9}}, // a type the platform does not name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"V", 0, c.type, c.data.data(),
                                                static_cast<DWORD>(c.data.size())));
        BYTE buffer[32] = {};
        DWORD size = sizeof buffer, type = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"V", nullptr, &type, buffer, &size));
        EXPECT_EQ(c.type, type);
        std::vector<BYTE> got(buffer, buffer + size);
        EXPECT_EQ(c.data, got) << "" << Hex(got);
    }
    EXPECT_EQ(1u, d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kApp).size())
        << "one value, rewritten";
    RegCloseKey(key);
}

TEST(RegSetValueEx, RejectsBadArgumentsAndWritesNothing) {
    Device d;
    HKEY key = CreateKey(HKEY_LOCAL_MACHINE, kApp.c_str());
    BYTE data[4] = {1, 2, 3, 4};
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExW(key, u"V", 0, REG_BINARY, nullptr, 4));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExW(key, u"V", 1, REG_BINARY, data, 4));
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegSetValueExW(HKEY(uintptr_t(0x99)), u"V", 0, REG_BINARY, data, 4));
    EXPECT_TRUE(d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kApp).empty());
    EXPECT_EQ(0u, d.timeline().Count("registry.write"));
    // No data at all is a value of no bytes.
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"V", 0, REG_BINARY, nullptr, 0));
    EXPECT_EQ(0u, d.Get<handset::Registry>()
                      .Get(HKEY_LOCAL_MACHINE, kApp, u"V")
                      .value_or(RegValue{0, {1}})
                      .data.size());
    RegCloseKey(key);
}

TEST(RegSetValueEx, RecordsEachWriteOnTheTimeline) {
    Device d;
    HKEY key = CreateKey(HKEY_LOCAL_MACHINE, kApp.c_str());
    BYTE minusOne[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    auto text = Sz(u"hi");
    RegSetValueExW(key, u"OnStartDelay", 0, REG_DWORD, minusOne, 4);
    RegSetValueExW(key, u"Label", 0, REG_SZ, text.data(), static_cast<DWORD>(text.size()));
    auto writes = d.timeline().Find("registry.write");
    ASSERT_EQ(2u, writes.size());
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\Software\\Apps\\Test", writes[0]->Get("key"));
    EXPECT_EQ("OnStartDelay", writes[0]->Get("value"));
    EXPECT_EQ("4", writes[0]->Get("type"));
    EXPECT_EQ("4294967295", writes[0]->Get("dword"));
    EXPECT_EQ("Label", writes[1]->Get("value"));
    EXPECT_EQ("1", writes[1]->Get("type"));
    EXPECT_EQ("6", writes[1]->Get("bytes"));
    EXPECT_EQ("", writes[1]->Get("dword")) << "only a DWORD carries its number";
    RegCloseKey(key);
}

TEST(RegValues, NamesIgnoreCaseAndKeepTheirFirstSpellingAndPlace) {
    Device d;
    HKEY key = CreateKey(HKEY_LOCAL_MACHINE, kApp.c_str());
    DWORD v1 = 1, v2 = 2, v3 = 3;
    RegSetValueExW(key, u"Volume", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v1), 4);
    RegSetValueExW(key, u"Other", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v2), 4);
    RegSetValueExW(key, u"VOLUME", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v3), 4);
    auto names = d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kApp);
    ASSERT_EQ(2u, names.size());
    EXPECT_EQ("Volume", N(names[0]));
    EXPECT_EQ("Other", N(names[1]));
    DWORD got = 0, size = 4;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"vOlUmE", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&got), &size));
    EXPECT_EQ(3u, got);
    // Beyond ASCII too, as the phone folds Latin-1 and Cyrillic.
    RegSetValueExW(key, u"Größe\u0416", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v1), 4);
    EXPECT_EQ(
        1u,
        d.Get<handset::Registry>().GetDword(HKEY_LOCAL_MACHINE, kApp, u"GRÖßE\u0436").value_or(0));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, u"OTHER"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key, u"Other"));
    RegCloseKey(key);
}

TEST(RegValues, DefaultValueIsTheValueWithNoName) {
    Device d;
    HKEY key = CreateKey(HKEY_LOCAL_MACHINE, kApp.c_str());
    auto text = Sz(u"default");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, nullptr, 0, REG_SZ, text.data(),
                                            static_cast<DWORD>(text.size())));
    for (const char16_t* name : {static_cast<const char16_t*>(nullptr), u""}) {
        DWORD size = 0, type = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name, nullptr, &type, nullptr, &size));
        EXPECT_EQ(text.size(), size);
        EXPECT_EQ(DWORD(REG_SZ), type);
    }
    EXPECT_EQ("default",
              N(d.Get<handset::Registry>().GetString(HKEY_LOCAL_MACHINE, kApp, u"").value_or(u"")));
    DWORD values = 0, maxName = 99;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &maxName,
                     nullptr, nullptr, nullptr);
    EXPECT_EQ(1u, values) << "the default value counts once set";
    EXPECT_EQ(0u, maxName);
    WCHAR name[8] = {u'?'};
    DWORD chars = 8;
    EXPECT_EQ(ERROR_SUCCESS,
              RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, chars);
    EXPECT_EQ(0, name[0]);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, u""));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
}

TEST(RegQueryInfoKey, LongestValueDataIsTakenAcrossAllTypes) {
    Device d;
    auto& r = d.Get<handset::Registry>();
    r.SetDword(HKEY_LOCAL_MACHINE, kApp, u"A", 1);                                   // 4 bytes
    r.SetString(HKEY_LOCAL_MACHINE, kApp, u"LongerName", u"twelve chars");           // 26 bytes
    r.SetValue(HKEY_LOCAL_MACHINE, kApp, u"Bin", REG_BINARY, std::vector<BYTE>(30)); // 30 bytes
    r.SetValue(HKEY_LOCAL_MACHINE, kApp, u"Empty", REG_NONE, {});
    r.CreateKey(HKEY_LOCAL_MACHINE, kApp + u"\\Sub");
    r.CreateKey(HKEY_LOCAL_MACHINE, kApp + u"\\Sub\\Deeper\\AndDeeper"); // not a direct subkey
    r.CreateKey(HKEY_LOCAL_MACHINE, kApp + u"\\Subkey7");
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, kApp.c_str());
    DWORD subkeys = 0, maxSubkey = 0, maxClass = 9, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, &maxClass,
                               &values, &maxName, &maxData, nullptr, nullptr));
    EXPECT_EQ(2u, subkeys);
    EXPECT_EQ(7u, maxSubkey) << "characters, no terminator";
    EXPECT_EQ(0u, maxClass);
    EXPECT_EQ(4u, values);
    EXPECT_EQ(10u, maxName) << "characters, no terminator";
    EXPECT_EQ(30u, maxData) << "bytes of the longest data, whatever its type";

    // The longest shrinks when it goes, and grows with a rewrite.
    r.DeleteValue(HKEY_LOCAL_MACHINE, kApp, u"Bin");
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &maxData, nullptr, nullptr);
    EXPECT_EQ(26u, maxData);
    r.SetValue(HKEY_LOCAL_MACHINE, kApp, u"a", REG_DWORD, std::vector<BYTE>(40));
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &maxData, nullptr, nullptr);
    EXPECT_EQ(40u, maxData);

    // A key without values: zero.
    HKEY sub = OpenKey(key, u"Sub");
    maxData = 77;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyW(sub, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, &maxData, nullptr, nullptr));
    EXPECT_EQ(0u, maxData);
    // Every output is optional.
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr));
    DWORD reserved = 0;
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryInfoKeyW(key, nullptr, nullptr, &reserved, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(sub);
    RegCloseKey(key);
}

TEST(RegQueryInfoKey, ClassAndErrorMoreData) {
    Device d;
    HKEY key = nullptr;
    DWORD disp = 0;
    WCHAR klass[] = u"Settings";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"K\\Child", 0, klass, 0, 0,
                                             nullptr, &key, &disp));
    struct Case {
        int line;
        DWORD chars;
        LONG want;
        DWORD wantChars;
        const char* wantText;
    } cases[] = {
        {__LINE__, 16, ERROR_SUCCESS, 8, "Settings"},
        {__LINE__, 9, ERROR_SUCCESS, 8, "Settings"},
        {__LINE__, 8, ERROR_MORE_DATA, 8, "????"}, // no room for the terminator
        {__LINE__, 0, ERROR_MORE_DATA, 8, "????"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        WCHAR buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), u'?');
        DWORD chars = c.chars, values = 99;
        EXPECT_EQ(c.want, RegQueryInfoKeyW(key, buffer, &chars, nullptr, nullptr, nullptr, nullptr,
                                           &values, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(c.wantChars, chars);
        EXPECT_EQ(0u, values) << "counts are given either way";
        std::u16string text(buffer, buffer + std::strlen(c.wantText));
        EXPECT_EQ(c.wantText, N(text));
    }
    DWORD chars = 0;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyW(key, nullptr, &chars, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(8u, chars) << "the length alone";
    WCHAR buffer[4];
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryInfoKeyW(key, buffer, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr));
    // The parent sees the longest class among its subkeys.
    HKEY parent = OpenKey(HKEY_LOCAL_MACHINE, u"K");
    DWORD maxClass = 0;
    RegQueryInfoKeyW(parent, nullptr, nullptr, nullptr, nullptr, nullptr, &maxClass, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(8u, maxClass);
    RegCloseKey(parent);
    RegCloseKey(key);
}

TEST(RegEnum, KeysAndValuesInCreationOrderThenNoMoreItems) {
    Device d;
    auto& r = d.Get<handset::Registry>();
    for (const char16_t* name : {u"Zeta", u"alpha", u"Mid"})
        r.CreateKey(HKEY_LOCAL_MACHINE, kApp + u"\\" + name);
    r.SetDword(HKEY_LOCAL_MACHINE, kApp, u"z", 1);
    r.SetString(HKEY_LOCAL_MACHINE, kApp, u"A", u"x");
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, kApp.c_str());

    std::vector<std::string> keys;
    for (DWORD i = 0;; ++i) {
        WCHAR name[32];
        DWORD chars = 32;
        LONG res = RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (res == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(ERROR_SUCCESS, res);
        keys.push_back(N(std::u16string(name, chars)));
        ASSERT_LT(i, 10u);
    }
    EXPECT_EQ((std::vector<std::string>{"Zeta", "alpha", "Mid"}), keys);

    std::vector<std::string> values;
    for (DWORD i = 0;; ++i) {
        WCHAR name[32];
        DWORD chars = 32, type = 0;
        BYTE data[16];
        DWORD size = sizeof data;
        LONG res = RegEnumValueW(key, i, name, &chars, nullptr, &type, data, &size);
        if (res == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(ERROR_SUCCESS, res);
        values.push_back(N(std::u16string(name, chars)) + ":" + std::to_string(type) + ":" +
                         std::to_string(size));
        ASSERT_LT(i, 10u);
    }
    EXPECT_EQ((std::vector<std::string>{"z:4:4", "A:1:4"}), values);
    RegCloseKey(key);
}

TEST(RegEnum, SmallBuffersGetErrorMoreDataAndAreLeftAlone) {
    Device d;
    auto& r = d.Get<handset::Registry>();
    r.CreateKey(HKEY_LOCAL_MACHINE, kApp + u"\\Child");
    r.SetValue(HKEY_LOCAL_MACHINE, kApp, u"Value", REG_BINARY, {1, 2, 3, 4, 5});
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, kApp.c_str());

    WCHAR name[8];
    std::fill(std::begin(name), std::end(name), u'?');
    DWORD chars = 5; // "Child" needs 6 with its terminator
    EXPECT_EQ(ERROR_MORE_DATA,
              RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, chars);
    EXPECT_EQ(u'?', name[0]);
    chars = 6;
    EXPECT_EQ(ERROR_SUCCESS,
              RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, chars);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS,
              RegEnumKeyExW(key, 1, name, &chars, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegEnumKeyExW(key, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr));

    std::fill(std::begin(name), std::end(name), u'?');
    chars = 5; // "Value" needs 6
    BYTE data[8];
    std::fill(std::begin(data), std::end(data), 0xAA);
    DWORD size = sizeof data;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, data, &size));
    EXPECT_EQ(u'?', name[0]);
    chars = 6;
    size = 4; // the data needs 5
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, data, &size));
    EXPECT_EQ(5u, size) << "the size the data needs";
    EXPECT_EQ(0xAA, data[0]);
    size = 5;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, data, &size));
    EXPECT_EQ("Value", N(std::u16string(name, chars)));
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3, 4, 5}), std::vector<BYTE>(data, data + size));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS,
              RegEnumValueW(key, 1, name, &chars, nullptr, nullptr, data, &size));
    RegCloseKey(key);
}

TEST(RegDeleteKey, TakesTheSubkeysWithIt) {
    Device d;
    auto& r = d.Get<handset::Registry>();
    r.SetDword(HKEY_LOCAL_MACHINE, u"Software\\A\\B\\C", u"Deep", 1);
    r.SetDword(HKEY_LOCAL_MACHINE, u"Software\\Keep", u"Stay", 2);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\a"));
    EXPECT_FALSE(r.KeyExists(HKEY_LOCAL_MACHINE, u"Software\\A"));
    EXPECT_FALSE(r.KeyExists(HKEY_LOCAL_MACHINE, u"Software\\A\\B\\C"));
    EXPECT_EQ(2u, r.GetDword(HKEY_LOCAL_MACHINE, u"Software\\Keep", u"Stay").value_or(0));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\A"));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(HKEY_LOCAL_MACHINE, nullptr));
    EXPECT_TRUE(r.KeyExists(HKEY_LOCAL_MACHINE, u"Software"));
    auto deleted = d.timeline().Find("registry.delete");
    ASSERT_EQ(1u, deleted.size());
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\Software\\A", deleted[0]->Get("key"));

    // Made again, it is a new key: nothing of the old one comes back.
    r.CreateKey(HKEY_LOCAL_MACHINE, u"Software\\A");
    EXPECT_TRUE(r.SubkeyNames(HKEY_LOCAL_MACHINE, u"Software\\A").empty());
}
