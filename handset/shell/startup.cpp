// The start-up list and the soft reset that runs it, and the platform each
// program was built for.
#include "shell/shell.h"

#include <algorithm>

#include "common/text.h"
#include "device/platform.h"

namespace handset {

void Shell::AddStartup(std::u16string_view exePath, std::u16string_view commandLine) {
    if (!platform_.ProgramRegistered(exePath))
        Platform::Fatal("Shell::AddStartup: no program is registered at " + Narrow(exePath));
    startup_.push_back({std::u16string(exePath), std::u16string(commandLine)});
}

void Shell::SetBuiltFor(std::u16string_view exePath, DWORD wceVersion) {
    if (!platform_.ProgramRegistered(exePath))
        Platform::Fatal("Shell::SetBuiltFor: no program is registered at " + Narrow(exePath));
    std::u16string key = FoldAscii(exePath);
    std::erase_if(builtFor_, [&](const auto& e) { return e.first == key; });
    builtFor_.push_back({key, wceVersion});
}

DWORD Shell::BuiltFor(DWORD pid) const {
    if (Process* p = platform_.FindProcess(pid)) {
        std::u16string key = FoldAscii(p->exePath);
        for (const auto& [path, version] : builtFor_)
            if (path == key) return version;
    }
    return 0x501;
}

void Shell::AddShortcut(std::u16string_view folder, std::u16string_view name,
                        std::u16string_view target) {
    shortcuts_.push_back({std::u16string(folder), std::u16string(name), std::u16string(target)});
}

std::vector<DWORD> Shell::SoftReset() {
    if (platform_.CurrentThread()) Platform::Fatal("Shell::SoftReset called on an emulated thread");
    platform_.timeline().Record("shell.softreset");
    std::vector<DWORD> running = platform_.ProcessIds();
    for (auto it = running.rbegin(); it != running.rend(); ++it)
        if (Process* p = platform_.FindProcess(*it); p && !p->exited)
            platform_.TerminateProcessNow(p, 0);
    std::vector<DWORD> started;
    for (const StartupEntry& e : startup_) {
        DWORD pid = platform_.StartProgram(e.path, e.commandLine);
        platform_.timeline().Record(
            "shell.startup", {{"path", e.path}, {"commandLine", e.commandLine}, {"process", pid}});
        started.push_back(pid);
    }
    return started;
}

bool Shell::FolderExists(std::u16string_view folder) const {
    std::u16string want = FoldAscii(folder);
    if (want.empty() || want == u"\\windows") return true;
    want += u'\\';
    std::vector<std::u16string> paths = platform_.ProgramPaths();
    return std::any_of(paths.begin(), paths.end(), [&](const std::u16string& path) {
        return FoldAscii(path).compare(0, want.size(), want) == 0;
    });
}

} // namespace handset
