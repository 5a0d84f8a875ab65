// The resource functions on a program given the sample .res: lookups by
// ordinal, "#n" and name, the errors of each way to miss, LoadStringW's two
// forms and languages, and what Attach refuses.
#include <gtest/gtest.h>

#include "common/text.h"
#include "device/device.h"
#include "res/resources.h"
#include "res/tests/res_writer.h"
#include "res_sample.h"

using handset::Device;
using handset::Resources;

namespace {

const char16_t kExe[] = u"\\Program Files\\Sample\\Sample.exe";

int NoMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    return 0;
}

// A device with the sample program registered and given its resources.
HINSTANCE RegisterSample(Device& d) {
    d.RegisterProgram(kExe, NoMain);
    std::string error;
    EXPECT_TRUE(d.Get<Resources>().Attach(kExe, {kSampleRes, kSampleResSize}, "sample.res", &error))
        << error;
    return d.ProgramModule(kExe);
}

} // namespace

TEST(ResourceCalls, FindLoadAndSizeByOrdinalNumberTextAndName) {
    Device d;
    HINSTANCE module = RegisterSample(d);
    HMODULE noResources = nullptr; // a bare process's module
    d.Call([&] { noResources = GetModuleHandleW(nullptr); });
    const handset::ResFile* file = d.Get<Resources>().Find(module);
    const handset::ResEntry* wave = file->Find(u"WAVE", 200);
    const handset::ResEntry* tables = file->Find(u"Custom", u"Tables");
    struct Case {
        int line;
        HMODULE module;
        LPCWSTR name, type;
        DWORD error;                 // 0: found
        const handset::ResEntry* is; // what is found
    } cases[] = {
        {__LINE__, module, MAKEINTRESOURCE(200), u"WAVE", 0, wave},
        {__LINE__, module, u"#200", u"wave", 0, wave},
        {__LINE__, module, u"TABLES", u"Custom", 0, tables},
        {__LINE__, module, MAKEINTRESOURCE(201), u"WAVE", ERROR_RESOURCE_NAME_NOT_FOUND},
        {__LINE__, module, MAKEINTRESOURCE(200), u"SOUND", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {__LINE__, noResources, MAKEINTRESOURCE(200), u"WAVE", ERROR_RESOURCE_DATA_NOT_FOUND},
        {__LINE__, nullptr, MAKEINTRESOURCE(200), u"WAVE", ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        SetLastError(0);
        HRSRC found = FindResourceW(c.module, c.name, c.type);
        EXPECT_EQ(c.error, GetLastError());
        ASSERT_EQ(c.error == 0, found != nullptr);
        if (!found) continue;
        EXPECT_EQ(c.is->data.data(), LoadResource(c.module, found)) << "the bytes, in place";
        EXPECT_EQ(c.is->data.size(), SizeofResource(c.module, found));
    }
    EXPECT_EQ(6u, tables->data.size());
    HRSRC sound = FindResourceW(module, MAKEINTRESOURCE(200), u"WAVE");
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadResource(noResources, sound)) << "an entry of another module";
    EXPECT_EQ(DWORD(ERROR_RESOURCE_DATA_NOT_FOUND), GetLastError());
    EXPECT_EQ(0u, SizeofResource(module, reinterpret_cast<HRSRC>(&noResources)));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(ResourceCalls, LoadStringCopiesCutsAndPrefersTheUserLanguage) {
    Device d;
    HINSTANCE module = RegisterSample(d);
    struct Case {
        int line;
        uint16_t language;
        UINT id;
        int size;
        std::u16string want;
        DWORD error;
    } cases[] = {
        {__LINE__, 0x0409, 1, 64, u"Tessaril", 0},
        {__LINE__, 0x0407, 1, 64, u"Tessaril (Deutsch)", 0},
        {__LINE__, 0x0409, 16, 64, u"Grüße ☎", 0},
        {__LINE__, 0x0409, 2, 8, u"Program", 0}, // cut, and terminated
        {__LINE__, 0x0409, 3, 64, u"untouched", ERROR_RESOURCE_NAME_NOT_FOUND},   // empty slot
        {__LINE__, 0x0409, 300, 64, u"untouched", ERROR_RESOURCE_NAME_NOT_FOUND}, // no block
        {__LINE__, 0x0409, 1, 0, u"untouched", ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        d.Get<Resources>().SetLanguage(c.language);
        WCHAR buffer[64] = u"untouched";
        SetLastError(0);
        int n = LoadStringW(module, c.id, buffer, c.size);
        EXPECT_EQ(c.error ? 0 : int(c.want.size()), n);
        EXPECT_EQ(handset::Narrow(c.want), handset::Narrow(buffer));
        EXPECT_EQ(c.error, GetLastError());
    }
    d.Get<Resources>().SetLanguage(0x0409);
    int address = LoadStringW(module, 2, nullptr, 0);
    ASSERT_NE(0, address);
    const auto* text = reinterpret_cast<const char16_t*>(uintptr_t(address));
    ASSERT_EQ(23, text[-1]) << "the length word before the string";
    EXPECT_EQ("Program settings saved.", handset::Narrow(std::u16string_view(text, 23)));
}

// The address form points into the module's read-only string tables, as
// WCHARs are aligned there, even after a block of an odd byte count.
TEST(ResourceCalls, LoadStringsAddressIsAlignedAfterABlockOfAnOddSize) {
    using handset::testing::StringBlock;
    handset::testing::Bytes odd = StringBlock({u"A"});
    odd.push_back(0); // 35 bytes: a block may run on past its 16 strings
    handset::testing::ResWriter w;
    w.Add(6, 1, 0x0409, odd);
    w.Add(6, 2, 0x0409, StringBlock({u"Hi"}));
    Device d;
    d.RegisterProgram(kExe, NoMain);
    std::string error;
    ASSERT_TRUE(d.Get<Resources>().Attach(kExe, w.bytes, "odd.res", &error)) << error;
    HINSTANCE module = d.ProgramModule(kExe);
    for (UINT id : {0u, 16u}) {
        SCOPED_TRACE(id);
        const int address = LoadStringW(module, id, nullptr, 0);
        ASSERT_NE(0, address);
        EXPECT_EQ(0, address % 2) << std::hex << address;
        const auto* text = reinterpret_cast<const char16_t*>(uintptr_t(address));
        EXPECT_EQ(id ? "Hi" : "A", handset::Narrow(std::u16string_view(text, id ? 2 : 1)));
    }
}

TEST(ResourceCalls, AttachRefusesABrokenImageAnUnknownProgramAndASecondImage) {
    Device d;
    d.RegisterProgram(kExe, NoMain);
    std::vector<unsigned char> cut(kSampleRes, kSampleRes + 40);
    std::string error;
    EXPECT_FALSE(d.Get<Resources>().Attach(kExe, cut, "cut.res", &error));
    EXPECT_EQ("cut.res: byte 36: header size 52 runs past the end of the file (8 bytes left)",
              error);
    EXPECT_EQ(nullptr, d.Get<Resources>().Find(d.ProgramModule(kExe)));
    EXPECT_FALSE(
        d.Get<Resources>().Attach(u"\\None.exe", {kSampleRes, kSampleResSize}, "a.res", &error));
    EXPECT_EQ("a.res: no program is registered as \\None.exe", error);
    ASSERT_TRUE(
        d.Get<Resources>().Attach(kExe, {kSampleRes, kSampleResSize}, "sample.res", &error));
    EXPECT_FALSE(
        d.Get<Resources>().Attach(kExe, {kSampleRes, kSampleResSize}, "again.res", &error));
    EXPECT_EQ("again.res: \\Program Files\\Sample\\Sample.exe has its resources already", error);
}
