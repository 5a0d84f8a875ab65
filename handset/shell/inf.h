// An installer description in the format the Windows Mobile CAB wizard
// reads (.inf), turned into what the phone's installer does with the CAB
// made from it: the files it copies where, the registry values it writes,
// the shortcuts it makes. Only what a program's installation needs is read:
//
//   [Version]           Signature "$Windows NT$", CESignature "$Windows CE$"
//   [CEStrings]         AppName, InstallDir (and [Strings]): %name% in values
//   [CEDevice]          VersionMin, VersionMax (numbers)
//   [DefaultInstall]    CopyFiles, AddReg, CEShortcuts: lists of sections
//   [SourceDisksNames]  [SourceDisksFiles]: where each file comes from
//   [DestinationDirs]   section = 0, folder, with %CE1% \Program Files,
//                       %CE4% \Windows\StartUp, %CE11% the Start menu's
//                       Programs folder
//   copy sections       file,,,0
//   AddReg sections     root,key,value,flags,data: HKLM or HKCU; flags
//                       0x00000000 (REG_SZ) or 0x00010001 (REG_DWORD), with
//                       0x00000002 to keep an existing value
//   shortcut sections   name,0,file[,folder]
//
// Anything else is refused, naming the file and line: "Tessaril.inf:12: ...".
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace handset {

struct InfInstall {
    struct File {
        std::string source;          // the file's name in the CAB
        std::u16string folder;       // where it is copied
        std::u16string Path() const; // folder\source
    };
    struct RegistryValue {
        HKEY root;
        std::u16string key, name;
        DWORD type; // REG_DWORD or REG_SZ
        DWORD number;
        std::u16string text;
        bool keepExisting;
    };
    struct Shortcut {
        std::u16string folder, name; // the shortcut file is folder\name.lnk
        std::u16string target;       // the copied file it starts
    };
    std::vector<File> files;
    std::vector<RegistryValue> registry;
    std::vector<Shortcut> shortcuts;
};

// What the description says, or nothing and the first error in *error.
std::optional<InfInstall> ReadInf(std::string_view text, std::string_view fileName,
                                  std::string* error);

// A Windows CE shortcut file: "N#command line", N the length of what follows
// the '#'. The program's path (quoted when it has spaces) and its arguments.
struct ShortcutFile {
    std::u16string path;
    std::u16string arguments;
};
std::optional<ShortcutFile> ReadShortcut(std::string_view text, std::string_view fileName,
                                         std::string* error);

} // namespace handset
