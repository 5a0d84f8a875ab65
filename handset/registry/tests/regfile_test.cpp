// .reg text: every construct a file can hold, the encodings, errors that
// name file and line and change nothing, and saving that loads back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "helpers.h"

using handset::Device;
using handset::RegValue;
using namespace regtest;

namespace {

std::string Load(Device& d, const std::string& text, const std::string& source = "phone.reg") {
    std::string error;
    if (!d.Get<handset::Registry>().LoadRegText(text, source, &error))
        return error.empty() ? "(no message)" : error;
    return "";
}

const std::u16string kKey = u"Software\\Apps\\Tessaril";

} // namespace

TEST(RegFileLoad, EachKindOfValueLine) {
    struct Case {
        int line;
        std::string text; // one value line under [HKEY_LOCAL_MACHINE\Software\Apps\Tessaril]
        std::u16string name;
        RegValue want;
    } cases[] = {
        {__LINE__, "\"Name\"=\"text\"", u"Name", {REG_SZ, Sz(u"text")}},
        {__LINE__, "\"Name\"=\"\"", u"Name", {REG_SZ, Sz(u"")}},
        {__LINE__, R"("Path"="C:\\Windows\\")", u"Path", {REG_SZ, Sz(u"C:\\Windows\\")}},
        {__LINE__, R"("Say"="a \"quoted\" word")", u"Say", {REG_SZ, Sz(u"a \"quoted\" word")}},
        {__LINE__, R"("Odd \"name\" \\ here"="x")", u"Odd \"name\" \\ here", {REG_SZ, Sz(u"x")}},
        {__LINE__, "\"Grüße\"=\"Привет\"", u"Grüße", {REG_SZ, Sz(u"Привет")}},
        {__LINE__, "@=\"default\"", u"", {REG_SZ, Sz(u"default")}},
        {__LINE__, "\"Delay\"=dword:0000000a", u"Delay", {REG_DWORD, Dword(10)}},
        {__LINE__, "\"Delay\"=dword:FFFFFFFF", u"Delay", {REG_DWORD, Dword(0xFFFFFFFF)}},
        {__LINE__, "\"Delay\"=dword:7", u"Delay", {REG_DWORD, Dword(7)}},
        {__LINE__, "\"Delay\" = DWORD:00010000", u"Delay", {REG_DWORD, Dword(0x10000)}},
        {__LINE__, "\"Bin\"=hex:00,ff,1A", u"Bin", {REG_BINARY, {0x00, 0xFF, 0x1A}}},
        {__LINE__, "\"Bin\"=hex:", u"Bin", {REG_BINARY, {}}},
        {__LINE__, "\"Bin\"=hex: 1 , 2 ,3", u"Bin", {REG_BINARY, {1, 2, 3}}},
        {__LINE__, "\"None\"=hex(0):", u"None", {REG_NONE, {}}},
        {__LINE__, "\"Exp\"=hex(2):25,00,41,00,25,00,00,00", u"Exp", {REG_EXPAND_SZ, Sz(u"%A%")}},
        {__LINE__,
         "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00",
         u"Multi",
         {REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}}},
        {__LINE__,
         "\"Q\"=hex(b):01,02,03,04,05,06,07,08",
         u"Q",
         {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {__LINE__, "\"Q\"=HEX(B):01", u"Q", {REG_QWORD, {1}}},
        {__LINE__, "\"Short\"=hex(4):01", u"Short", {REG_DWORD, {1}}},
        {__LINE__, "\"Own\"=hex(12345):ee", u"Own", {0x12345, {0xEE}}},
        {__LINE__,
         "\"Long\"=hex:01,02,\\\n  03,04,\\\n\t05",
         u"Long",
         {REG_BINARY, {1, 2, 3, 4, 5}}},
        {__LINE__, "\"Long\"=hex(7):61,00,\\\r\n  00,00", u"Long", {REG_MULTI_SZ, {'a', 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        std::string text =
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Apps\\Tessaril]\n" + c.text + "\n";
        ASSERT_EQ("", Load(d, text));
        auto got = d.Get<handset::Registry>().Get(HKEY_LOCAL_MACHINE, kKey, c.name);
        EXPECT_EQ(c.want, got.value_or(RegValue{0xDEAD, {}})) << "" << Describe(got);
        EXPECT_EQ(1u, d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kKey).size());
    }
}

TEST(RegFileLoad, SectionsCommentsAndDeletions) {
    Device d;
    auto& r = d.Get<handset::Registry>();
    r.SetDword(HKEY_LOCAL_MACHINE, u"Software\\Old\\Deep", u"X", 1);
    r.SetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps", u"Drop", 1);
    r.SetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps", u"Keep", 1);
    ASSERT_EQ("", Load(d, "REGEDIT4\n"
                          "; exported from a phone\n"
                          "\n"
                          "; the old settings go\n"
                          "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n"
                          "[-HKEY_LOCAL_MACHINE\\Software\\NeverWas]\n"
                          "\n"
                          "[hkey_local_machine\\Software\\Apps]\n"
                          "\"Drop\"=-\n"
                          "\"NeverWas\"=-\n"
                          "   \"Keep\"=dword:00000002   \n"
                          "\n"
                          "[HKEY_CURRENT_USER]\n"
                          "@=\"on the root\"\n"
                          "[HKEY_CLASSES_ROOT\\Empty]\n"
                          "[HKEY_USERS\\Default\\Sub]\n"
                          "\"A\"=dword:1\n"
                          "\"a\"=dword:2\n"));
    EXPECT_FALSE(r.KeyExists(HKEY_LOCAL_MACHINE, u"Software\\Old"));
    EXPECT_FALSE(r.Get(HKEY_LOCAL_MACHINE, u"Software\\Apps", u"Drop"));
    EXPECT_EQ(2u, r.GetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps", u"Keep").value_or(0));
    EXPECT_EQ("on the root",
              handset::Narrow(r.GetString(HKEY_CURRENT_USER, u"", u"").value_or(u"")));
    EXPECT_TRUE(r.KeyExists(HKEY_CLASSES_ROOT, u"Empty"));
    EXPECT_EQ(2u, r.GetDword(HKEY_USERS, u"Default\\Sub", u"A").value_or(0))
        << "the later line wins";
    EXPECT_EQ(1u, r.ValueNames(HKEY_USERS, u"Default\\Sub").size());
    EXPECT_EQ(1u, d.timeline().Count("registry.load"));
}

TEST(RegFileLoad, HeadersAndEncodings) {
    auto utf16 = [](std::u16string_view text) {
        std::string bytes = "\xFF\xFE";
        for (char16_t c : text) {
            bytes += char(c & 0xFF);
            bytes += char(c >> 8);
        }
        return bytes;
    };
    struct Case {
        int line;
        std::string text;
        std::u16string want;
    } cases[] = {
        {__LINE__, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"V\"=\"plain\"\n", u"plain"},
        {__LINE__, "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"V\"=\"crlf\"\r\n", u"crlf"},
        {__LINE__,
         "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n\"V\"=\"five\"",
         u"five"},
        {__LINE__, "\xEF\xBB\xBFREGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"V\"=\"bom \xE2\x82\xAC\"\n",
         u"bom €"},
        // Bytes that are not UTF-8 are Latin-1, as old exporters wrote them.
        {__LINE__, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"V\"=\"caf\xE9\"\n", u"café"},
        // cp1252 "À€" and "À©": not overlong UTF-8 for a NUL and a ')'.
        {__LINE__, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"V\"=\"\xC0\x80 \xC0\xA9\"\n",
         u"\u00C0\u0080 \u00C0\u00A9"},
        {__LINE__,
         utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
               u"\"V\"=\"wide Ж\"\r\n"),
         u"wide Ж"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        ASSERT_EQ("", Load(d, c.text));
        auto got = d.Get<handset::Registry>().GetString(HKEY_LOCAL_MACHINE, u"K", u"V");
        EXPECT_EQ(handset::Narrow(c.want), handset::Narrow(got.value_or(u"(none)")));
    }
}

TEST(RegFileLoad, ErrorsNameTheSourceAndLine) {
    const std::string head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n"; // lines 1-3
    struct Case {
        int line;
        std::string text;
        std::string want;
    } cases[] = {
        {__LINE__, head + "\"A\"=dword:1\n\"B\"=dward:00000001\n",
         "phone.reg:5: unknown value type 'dward'"},
        {__LINE__, "", "phone.reg:1: empty file: expected REGEDIT4"},
        {__LINE__, "; a comment first\nREGEDIT4\n",
         "phone.reg:1: not a registry file: expected REGEDIT4 or Windows Registry Editor Version "
         "5.00, found '; a comment first'"},
        {__LINE__, "\n\nREGEDIT5\n",
         "phone.reg:3: not a registry file: expected REGEDIT4 or Windows Registry Editor Version "
         "5.00, found 'REGEDIT5'"},
        {__LINE__, head + "\"A\"=dword:123456789\n",
         "phone.reg:4: bad dword '123456789': expected 1 to 8 hex digits"},
        {__LINE__, head + "\"A\"=dword:\n",
         "phone.reg:4: bad dword '': expected 1 to 8 hex digits"},
        {__LINE__, head + "\"A\"=dword:-1\n",
         "phone.reg:4: bad dword '-1': expected 1 to 8 hex digits"},
        {__LINE__, head + "\"A\"=hex:01,02,\\\n  03,zz\n",
         "phone.reg:5: bad byte 'zz' in hex data"},
        {__LINE__, head + "\"A\"=hex:01,,02\n", "phone.reg:4: empty byte in hex data"},
        {__LINE__, head + "\"A\"=hex:100\n", "phone.reg:4: bad byte '100' in hex data"},
        {__LINE__, head + "\"A\"=hex:01,\\\n",
         "phone.reg:4: hex data continues past the end of the file"},
        {__LINE__, head + "\"A\"=hex(x):01\n",
         "phone.reg:4: bad value type in 'hex(x)': expected hex(N), N in hex"},
        {__LINE__, head + "\"A\"=\"unterminated\n",
         "phone.reg:4: string without its closing quote: '\"unterminated'"},
        {__LINE__, head + "\"A\"=\"tab\\t\"\n", "phone.reg:4: unknown escape '\\t' in a string"},
        {__LINE__, head + "\"A\"=\"x\" extra\n",
         "phone.reg:4: unexpected text after the string: ' extra'"},
        {__LINE__, head + "\"A\"=\n", "phone.reg:4: value without data"},
        {__LINE__, head + "\"A\" dword:1\n", "phone.reg:4: expected '=' after the value name"},
        {__LINE__, head + "\"A\"=12\n", "phone.reg:4: bad value data '12'"},
        {__LINE__, head + "Name=dword:1\n", "phone.reg:4: unexpected text 'Name=dword:1'"},
        {__LINE__, "REGEDIT4\n\"A\"=dword:1\n", "phone.reg:2: value outside of a key section"},
        {__LINE__, "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\X]\n\"A\"=dword:1\n",
         "phone.reg:3: value under a key that is being deleted"},
        {__LINE__, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\n",
         "phone.reg:2: missing ']' at the end of "
         "'[HKEY_LOCAL_MACHINE\\Software'"},
        {__LINE__, "REGEDIT4\n[HKLM\\Software]\n", "phone.reg:2: unknown root key 'HKLM'"},
        {__LINE__, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\\\B]\n",
         "phone.reg:2: empty key name in 'HKEY_LOCAL_MACHINE\\A\\\\B'"},
        {__LINE__, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]\n",
         "phone.reg:2: key name longer than 255 characters: '" + std::string(40, 'k') + "...'"},
        {__LINE__, "REGEDIT4\n[-HKEY_CURRENT_USER]\n", "phone.reg:2: a root key cannot be deleted"},
        {__LINE__, std::string("R\0E\0G\0", 6),
         "phone.reg:1: NUL character in the text (UTF-16 "
         "without its byte-order mark?)"},
        {__LINE__, "\xFE\xFF",
         "phone.reg:1: UTF-16 big-endian text is not supported; save it as "
         "UTF-16LE or UTF-8"},
        {__LINE__, std::string("\xFF\xFER\0\n\0X", 7),
         "phone.reg:2: UTF-16 text cut in the middle of a character"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        EXPECT_EQ(c.want, Load(d, c.text));
    }
}

TEST(RegFileLoad, AnErrorChangesNothing) {
    Device d;
    auto& r = d.Get<handset::Registry>();
    r.SetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril", u"OnStartDelay", 3);
    r.SetDword(HKEY_LOCAL_MACHINE, u"Software\\Other", u"Keep", 1);
    const std::string before = r.SaveRegText();
    // Everything before the bad line would change the registry.
    std::string error;
    EXPECT_FALSE(r.LoadRegText("REGEDIT4\n"
                               "[-HKEY_LOCAL_MACHINE\\Software\\Other]\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Apps\\Tessaril]\n"
                               "\"OnStartDelay\"=dword:00000005\n"
                               "\"New\"=\"x\"\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Brand\\New]\n"
                               "\"Broken\"=hex:0g\n",
                               "settings.reg", &error));
    EXPECT_EQ("settings.reg:7: bad byte '0g' in hex data", error);
    EXPECT_EQ(before, r.SaveRegText());
    EXPECT_EQ(0u, d.timeline().Count("registry.load"));
    EXPECT_FALSE(r.LoadRegText("junk", "x.reg", nullptr)) << "the message is optional";
}

TEST(RegFileLoad, KeysHeldOpenByAProgramSeeTheFileDeleteThem) {
    Device d;
    d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps", u"V", 1);
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, u"Software\\Apps");
    ASSERT_EQ("", Load(d, "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\Software]\n"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(key, u"V", nullptr, nullptr, nullptr, &size));
    RegCloseKey(key);
}

TEST(RegFileLoad, KeysGo512LevelsDeepAndNoDeeper) {
    auto path = [](int levels) {
        std::string p = "HKEY_LOCAL_MACHINE";
        for (int i = 0; i < levels; ++i)
            p += "\\k";
        return p;
    };
    std::u16string deepest = u"k";
    for (int i = 1; i < 512; ++i)
        deepest += u"\\k";
    std::string saved;
    {
        Device d;
        ASSERT_EQ("", Load(d, "REGEDIT4\n[" + path(512) + "]\n\"V\"=dword:1\n"));
        EXPECT_EQ(
            1u, d.Get<handset::Registry>().GetDword(HKEY_LOCAL_MACHINE, deepest, u"V").value_or(0));
        saved = d.Get<handset::Registry>().SaveRegText();
        // One level more: refused with its line, and the whole file changes nothing.
        EXPECT_EQ("phone.reg:3: key path deeper than 512 levels: '" + path(11) + "...'",
                  Load(d, "REGEDIT4\n[HKEY_CURRENT_USER\\New]\n[" + path(513) + "]\n"));
        EXPECT_FALSE(d.Get<handset::Registry>().KeyExists(HKEY_CURRENT_USER, u"New"));
    }
    Device d;
    ASSERT_EQ("", Load(d, saved, "saved.reg"));
    std::string again = d.Get<handset::Registry>().SaveRegText();
    EXPECT_EQ(saved.size(), again.size());
    EXPECT_TRUE(saved == again)
        << "the deepest key saves and loads back; first difference at "
        << std::mismatch(saved.begin(), saved.end(), again.begin(), again.end()).first -
               saved.begin();
}

namespace {

// A registry with every kind of value, and names and text that need care.
void Populate(handset::Registry& r) {
    r.SetDword(HKEY_LOCAL_MACHINE, kKey, u"OnStartDelay", 0);
    r.SetDword(HKEY_LOCAL_MACHINE, kKey, u"TempUnlockDelay", 0xFFFFFFFF);
    r.SetString(HKEY_LOCAL_MACHINE, kKey, u"", u"default text");
    r.SetString(HKEY_LOCAL_MACHINE, kKey, u"Quote \"and\" \\slash", u"C:\\Path\\ \"q\"");
    r.SetString(HKEY_LOCAL_MACHINE, kKey, u"Unicode", u"Grüße Привет € \U0001F4DE");
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"TwoLines", REG_SZ, Sz(u"one\r\ntwo"));
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"NoTerminator", REG_SZ, {'a', 0, 'b', 0});
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"OddSz", REG_SZ, {'a', 0, 'b'});
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"EmbeddedNul", REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0});
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"LoneSurrogate", REG_SZ, {0x00, 0xD8, 0, 0});
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"EmptySz", REG_SZ, {});
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"ShortDword", REG_DWORD, {1, 2});
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"None", REG_NONE, {});
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"Expand", REG_EXPAND_SZ, Sz(u"%windir%"));
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"Multi", REG_MULTI_SZ,
               {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"Big", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1});
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"Q", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
    std::vector<BYTE> blob;
    for (int i = 0; i < 200; ++i)
        blob.push_back(BYTE(i * 7));
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"LongBlob", REG_BINARY, blob);
    r.SetValue(HKEY_LOCAL_MACHINE, kKey, u"Own", 0x12345, {9});
    r.CreateKey(HKEY_LOCAL_MACHINE, kKey + u"\\Empty\\Deeper");
    r.CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Zebra");
    r.CreateKey(HKEY_LOCAL_MACHINE, u"Software\\apple [x]");
    r.SetDword(HKEY_CURRENT_USER, u"", u"OnRoot", 5);
    r.SetDword(HKEY_USERS, u"Default", u"U", 6);
}

} // namespace

TEST(RegFileSave, LoadsBackToTheSameRegistry) {
    std::string saved;
    std::vector<std::pair<std::u16string, std::optional<RegValue>>> values;
    {
        Device d;
        Populate(d.Get<handset::Registry>());
        saved = d.Get<handset::Registry>().SaveRegText();
        for (auto& name : d.Get<handset::Registry>().ValueNames(HKEY_LOCAL_MACHINE, kKey))
            values.push_back(
                {name, d.Get<handset::Registry>().Get(HKEY_LOCAL_MACHINE, kKey, name)});
    }
    ASSERT_EQ(19u, values.size());
    Device d;
    ASSERT_EQ("", Load(d, saved, "saved.reg")) << saved;
    auto& r = d.Get<handset::Registry>();
    EXPECT_EQ(saved, r.SaveRegText()) << "saving again gives the same text";
    auto names = r.ValueNames(HKEY_LOCAL_MACHINE, kKey);
    ASSERT_EQ(values.size(), names.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(handset::Narrow(values[i].first), handset::Narrow(names[i])) << "in order";
        auto got = r.Get(HKEY_LOCAL_MACHINE, kKey, values[i].first);
        EXPECT_EQ(values[i].second, got) << handset::Narrow(values[i].first) << ": "
                                         << Describe(got) << " != " << Describe(values[i].second);
    }
    EXPECT_TRUE(r.KeyExists(HKEY_LOCAL_MACHINE, kKey + u"\\Empty\\Deeper"));
    EXPECT_TRUE(r.KeyExists(HKEY_LOCAL_MACHINE, u"Software\\apple [x]"));
    EXPECT_EQ(5u, r.GetDword(HKEY_CURRENT_USER, u"", u"OnRoot").value_or(0));
    EXPECT_EQ(6u, r.GetDword(HKEY_USERS, u"Default", u"U").value_or(0));
}

TEST(RegFileSave, WritesReadableRegedit4InAStableOrder) {
    Device d;
    auto& r = d.Get<handset::Registry>();
    r.SetDword(HKEY_CURRENT_USER, u"Settings", u"Level", 0x1F);
    r.SetString(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril", u"Name", u"Tessaril \"1\"");
    r.SetValue(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril", u"", REG_BINARY, {0xAB, 1});
    r.CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Another");
    r.SetString(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril", u"Folded", u"Grüße \U0001F4DE");
    EXPECT_EQ("REGEDIT4\r\n"
              "\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n"
              "\r\n[HKEY_LOCAL_MACHINE\\Software\\Apps]\r\n"
              "\r\n[HKEY_LOCAL_MACHINE\\Software\\Apps\\Tessaril]\r\n"
              "\"Name\"=\"Tessaril \\\"1\\\"\"\r\n"
              "@=hex:ab,01\r\n"
              "\"Folded\"=\"Gr\xC3\xBC\xC3\x9F"
              "e \xF0\x9F\x93\x9E\"\r\n" // one sequence for a pair
              "\r\n[HKEY_LOCAL_MACHINE\\Software\\Apps\\Another]\r\n"
              "\r\n[HKEY_CURRENT_USER\\Settings]\r\n"
              "\"Level\"=dword:0000001f\r\n",
              r.SaveRegText());
}

TEST(RegFileSave, LongHexDataWrapsOntoContinuationLines) {
    Device d;
    d.Get<handset::Registry>().SetValue(HKEY_LOCAL_MACHINE, u"K", u"Blob", REG_BINARY,
                                        std::vector<BYTE>(100, 0x5A));
    std::string text = d.Get<handset::Registry>().SaveRegText();
    std::istringstream lines(text);
    std::string line;
    int continued = 0;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 81u) << line;
        if (line.size() >= 2 && line.substr(line.size() - 2) == "\\\r") ++continued;
    }
    EXPECT_GE(continued, 3) << text;
}

TEST(RegFileSave, ANameWithALineBreakIsReportedNotWritten) {
    Device d;
    d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, u"K", u"two\nlines", 1);
    std::string path = ::testing::TempDir() + "linebreak.reg";
    std::string error;
    EXPECT_FALSE(d.Get<handset::Registry>().SaveRegFile(path, &error));
    EXPECT_EQ(
        path +
            ": a value name with a line break cannot be written: HKEY_LOCAL_MACHINE\\K two\nlines",
        error);
}

TEST(RegFileFiles, SaveThenLoadAFileAndReportAMissingOne) {
    std::string path = ::testing::TempDir() + "tessaril_registry_test.reg";
    {
        Device d;
        Populate(d.Get<handset::Registry>());
        std::string error;
        ASSERT_TRUE(d.Get<handset::Registry>().SaveRegFile(path, &error)) << error;
    }
    Device d;
    std::string error;
    ASSERT_TRUE(d.Get<handset::Registry>().LoadRegFile(path, &error)) << error;
    EXPECT_EQ(0xFFFFFFFFu, d.Get<handset::Registry>()
                               .GetDword(HKEY_LOCAL_MACHINE, kKey, u"TempUnlockDelay")
                               .value_or(0));
    std::remove(path.c_str());

    EXPECT_FALSE(d.Get<handset::Registry>().LoadRegFile(path, &error));
    EXPECT_EQ(path + ": cannot open: No such file or directory", error);
    // An error in a file names the file.
    {
        std::ofstream out(path, std::ios::binary);
        out << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"V\"=dward:1\n";
    }
    EXPECT_FALSE(d.Get<handset::Registry>().LoadRegFile(path, &error));
    EXPECT_EQ(path + ":3: unknown value type 'dward'", error);
    std::remove(path.c_str());
}
