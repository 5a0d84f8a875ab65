// The Pocket PC shell: ShellExecuteEx (execute.cpp) and the start-up list
// with the soft reset that runs it (startup.cpp). The shell's other pieces
// (full-screen windows, menu bars, dialog set-up) come in files of their own.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/area.h"

namespace handset {

class Shell final : public Area {
  public:
    using Area::Area;

    // What a shortcut in \Windows\StartUp says: start this program with
    // this command line.
    struct StartupEntry {
        std::u16string path;
        std::u16string commandLine;
    };

    // ---- Driving: for tests, scenarios and installers --------------------

    // Adds an entry to the start-up list. The program must be registered (a
    // driver's mistake, fatal, otherwise). Shortcut files are not emulated:
    // the list is kept here, lives as long as the Device and survives soft
    // resets, as the phone's object store keeps \Windows\StartUp.
    void AddStartup(std::u16string_view exePath, std::u16string_view commandLine);
    const std::vector<StartupEntry>& Startup() const { return startup_; }
    // A shortcut an installer made (in the Start menu's Programs folder, say):
    // folder\name.lnk, which starts target. Kept as the start-up list is.
    struct Shortcut {
        std::u16string folder, name, target;
    };
    void AddShortcut(std::u16string_view folder, std::u16string_view name,
                     std::u16string_view target);
    const std::vector<Shortcut>& Shortcuts() const { return shortcuts_; }

    // A soft reset: ends every process, newest first, as TerminateProcess
    // with exit code 0 would; then starts the start-up entries in the order
    // they were added, as the shell does at boot, and gives their process ids
    // in that order. The registry and every other area keep their state (the
    // phone's registry and stores are persistent); the clock runs on, and
    // programs' globals are not set back. From the driver's context only.
    std::vector<DWORD> SoftReset();

    // The Windows CE version a program was built for, as its executable's
    // header names it (0x501 for Windows Mobile 5.0, 0x420 for Pocket PC
    // 2003): the shell draws its menu bars as that platform does. A program
    // not named here was built for Windows Mobile 5.0. The program must be
    // registered (fatal otherwise).
    void SetBuiltFor(std::u16string_view exePath, DWORD wceVersion);
    // The version the process's program was built for; 0x501 for the driver.
    DWORD BuiltFor(DWORD pid) const;

    // ---- For ShellExecuteEx ------------------------------------------------

    // The handset has no file system: a folder exists when a registered
    // program lies in it or below it; the root and \Windows always exist.
    // Compared without regard to case, as the phone's file system does.
    bool FolderExists(std::u16string_view folder) const;

  private:
    std::vector<StartupEntry> startup_;
    std::vector<std::pair<std::u16string, DWORD>> builtFor_; // folded path, version
    std::vector<Shortcut> shortcuts_;
};

} // namespace handset
