// Tessaril's installation from install/Tessaril.inf, and the installer
// description's lines that the phone's installer would refuse.
#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "device/device.h"
#include "registry/registry.h"
#include "shell/inf.h"
#include "shell/install.h"
#include "shell/shell.h"

using handset::Device;
using handset::Registry;
using handset::Shell;

namespace {

int Lock(HINSTANCE, HINSTANCE, LPWSTR, int) {
    return 1;
}
int Config(HINSTANCE, HINSTANCE, LPWSTR, int) {
    return 2;
}

} // namespace

TEST(InstallTessaril, LeavesWhatTheInstallerDescriptionSays) {
    Device d;
    handset::InstallTessaril(d, Lock, Config);
    EXPECT_TRUE(d.ProgramRegistered(u"\\Program Files\\Tessaril\\Tessaril.exe"));
    EXPECT_TRUE(d.ProgramRegistered(u"\\Program Files\\Tessaril\\TessarilCfg.exe"));

    const auto& startup = d.Get<Shell>().Startup();
    ASSERT_EQ(1u, startup.size());
    EXPECT_EQ(u"\\Program Files\\Tessaril\\TessarilCfg.exe", startup[0].path);
    EXPECT_EQ(u"reset", startup[0].commandLine);

    const auto& shortcuts = d.Get<Shell>().Shortcuts();
    ASSERT_EQ(1u, shortcuts.size());
    EXPECT_EQ(u"\\Windows\\Start Menu\\Programs", shortcuts[0].folder);
    EXPECT_EQ(u"Tessaril", shortcuts[0].name);
    EXPECT_EQ(u"\\Program Files\\Tessaril\\TessarilCfg.exe", shortcuts[0].target);

    struct Case {
        const char16_t* name;
        DWORD value;
    } defaults[] = {
        {u"OnStartDelay", 0},      {u"TempUnlockDelay", 3},    {u"RegularSoundType", 1},
        {u"RegularSoundDelay", 4}, {u"RegularSoundBefore", 5}, {u"OnSoundType", 1},
        {u"OffSoundType", 1},      {u"TurnOffScr", 1},         {u"DropIncoming", 0},
        {u"DropOutgoing", 0},      {u"StartAfterReset", 0},
    };
    auto& registry = d.Get<Registry>();
    for (const Case& c : defaults) {
        SCOPED_TRACE(handset::Narrow(c.name));
        EXPECT_EQ(c.value,
                  registry.GetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril", c.name));
    }
    EXPECT_EQ(11u, registry.ValueNames(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril").size());
}

TEST(InstallTessaril, AReinstallKeepsTheUsersSettings) {
    Device d;
    d.Get<Registry>().SetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril", u"TurnOffScr", 4);
    handset::InstallTessaril(d, Lock, Config);
    auto& registry = d.Get<Registry>();
    EXPECT_EQ(4u,
              registry.GetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril", u"TurnOffScr"));
    EXPECT_EQ(
        3u, registry.GetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril", u"TempUnlockDelay"));
}

TEST(InstallTessaril, TheStartupShortcutStartsTheConfigurationProgramWithReset) {
    Device d;
    handset::InstallTessaril(d, Lock, Config);
    std::vector<DWORD> started = d.Get<Shell>().SoftReset();
    ASSERT_EQ(1u, started.size());
    d.RunUntilExit(started[0], 1000);
    EXPECT_EQ(2u, d.ProcessExitCode(started[0])) << "TessarilCfg's main ran";
}

namespace {

// A description that installs one program; each case below breaks one line.
const char kGood[] = R"([Version]
Signature = "$Windows NT$"
CESignature = "$Windows CE$"
[CEStrings]
AppName = "App"
InstallDir = %CE1%\%AppName%
[DefaultInstall]
CopyFiles = Files.App
AddReg = Reg.App
CEShortcuts = Links.App
[SourceDisksNames]
1 = ,"App",,.
[SourceDisksFiles]
App.exe = 1
[DestinationDirs]
Files.App = 0, %InstallDir%
Links.App = 0, %CE11%
[Files.App]
App.exe,,,0
[Reg.App]
HKLM,Software\App,Value,0x00010001,7
[Links.App]
App,0,App.exe
)";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

bool Install(Device& d, const std::string& inf, std::string* error) {
    return handset::InstallFromInf(d, inf, "App.inf", {{"App.exe", Lock}}, {}, error);
}

} // namespace

TEST(InstallFromInf, TheGoodDescriptionInstalls) {
    Device d;
    std::string error;
    ASSERT_TRUE(Install(d, kGood, &error)) << error;
    EXPECT_TRUE(d.ProgramRegistered(u"\\Program Files\\App\\App.exe"));
    EXPECT_EQ(7u, d.Get<Registry>().GetDword(HKEY_LOCAL_MACHINE, u"Software\\App", u"Value"));
}

TEST(InstallFromInf, AMalformedLineIsRefusedWithItsFileAndLine) {
    struct Case {
        int line;
        std::string from, to, error;
    } cases[] = {
        {__LINE__, "[Version]", "Stray = 1\n[Version]",
         "App.inf:1: a line before the first section"},
        {__LINE__, "\"$Windows NT$\"", "\"$Chicago$\"", "App.inf:2: Signature is \"$Windows NT$\""},
        {__LINE__, "AddReg = Reg.App", "AddReg = Reg.Missing",
         "App.inf:9: there is no section [Reg.Missing]"},
        {__LINE__, "Value,0x00010001,7", "Value,0x00020001,7",
         "App.inf:21: the flags 0x00020001: only 0x00000000 (REG_SZ) and 0x00010001 (REG_DWORD), "
         "with 0x00000002, are read here"},
        {__LINE__, "Value,0x00010001,7", "Value,0x00010001,seven",
         "App.inf:21: the REG_DWORD data seven is no 32-bit number"},
        {__LINE__, "HKLM,Software", "HKCR,Software",
         "App.inf:21: the root HKCR is not HKLM or HKCU"},
        {__LINE__, "%CE11%", "%CE9%",
         "App.inf:17: %ce9% is neither a string nor a folder read here"},
        {__LINE__, "App.exe,,,0", "Other.exe,,,0",
         "App.inf:19: Other.exe is not in [SourceDisksFiles]"},
        {__LINE__, "App,0,App.exe", "App,1,App.exe",
         "App.inf:23: only shortcuts to files (type 0) are read here"},
        {__LINE__, "App.exe = 1", "App.exe = 2",
         "App.inf:14: App.exe: its disk is not in [SourceDisksNames]"},
        {__LINE__, "[Links.App]", "[Links.App", "App.inf:22: a section header is [name]"},
        {__LINE__, "CopyFiles = Files.App", "CopyFile = Files.App",
         "App.inf:8: [DefaultInstall] CopyFile is not read here"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        std::string error;
        EXPECT_FALSE(Install(d, Replace(kGood, c.from, c.to), &error));
        EXPECT_EQ(c.error, error);
        EXPECT_FALSE(d.ProgramRegistered(u"\\Program Files\\App\\App.exe")) << "nothing installed";
    }
}

TEST(ReadShortcut, TheCountMustBeWhatFollowsTheHash) {
    struct Case {
        int line;
        const char* text;
        const char16_t* path;
        const char16_t* arguments;
        const char* error;
    } cases[] = {
        {__LINE__, "47#\"\\Program Files\\Tessaril\\TessarilCfg.exe\" reset",
         u"\\Program Files\\Tessaril\\TessarilCfg.exe", u"reset", ""},
        {__LINE__, "17#\\Windows\\calc.exe\r\n", u"\\Windows\\calc.exe", u"", ""},
        {__LINE__, "46#\"\\Program Files\\Tessaril\\TessarilCfg.exe\" reset", nullptr, nullptr,
         "x.lnk:1: the count 46 is not the 47 characters after '#'"},
        {__LINE__, "\\Windows\\calc.exe", nullptr, nullptr,
         "x.lnk:1: a shortcut is \"N#command line\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        std::string error;
        auto s = handset::ReadShortcut(c.text, "x.lnk", &error);
        EXPECT_EQ(c.path != nullptr, s.has_value());
        if (s) {
            EXPECT_EQ(c.path, s->path);
            EXPECT_EQ(c.arguments, s->arguments);
        } else {
            EXPECT_EQ(c.error, error);
        }
    }
}
