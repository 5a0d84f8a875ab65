// Tessaril's installation on the handset, as the phone's installer makes it
// from the CAB: what install/Tessaril.inf says, followed.
#include "shell/install.h"

#include "TessarilInf.h"
#include "TessarilResetLnk.h"
#include "common/text.h"
#include "registry/registry.h"
#include "shell/inf.h"
#include "shell/shell.h"

namespace handset {

namespace {

std::string_view Embedded(const unsigned char* bytes, std::size_t size) {
    return {reinterpret_cast<const char*>(bytes), size};
}

} // namespace

bool InstallFromInf(Platform& platform, std::string_view inf, std::string_view infName,
                    const std::map<std::string, ProgramMain>& programs,
                    const std::map<std::string, std::string_view>& files, std::string* error) {
    std::optional<InfInstall> install = ReadInf(inf, infName, error);
    if (!install) return false;
    auto& shell = platform.Get<Shell>();
    std::vector<ShortcutFile> startup;
    std::vector<std::pair<std::u16string, ProgramMain>> copied;
    for (const InfInstall::File& f : install->files) {
        if (FoldAscii(f.folder) == u"\\windows\\startup") {
            auto text = files.find(f.source);
            if (text == files.end()) {
                *error = std::string(infName) + ": " + f.source + " is not in the CAB";
                return false;
            }
            std::optional<ShortcutFile> s = ReadShortcut(text->second, f.source, error);
            if (!s) return false;
            startup.push_back(*s);
            continue;
        }
        auto main = programs.find(f.source);
        if (main == programs.end()) {
            *error = std::string(infName) + ": no program is given for " + f.source;
            return false;
        }
        copied.push_back({f.Path(), main->second});
    }
    // Nothing is installed until all of it has been read.
    for (const auto& [path, main] : copied)
        platform.RegisterProgram(path, main);
    for (const ShortcutFile& s : startup) {
        if (!platform.ProgramRegistered(s.path)) {
            *error = std::string(infName) + ": the start-up shortcut names " + Narrow(s.path) +
                     ", which is not installed";
            return false;
        }
        shell.AddStartup(s.path, s.arguments);
    }
    auto& registry = platform.Get<Registry>();
    for (const InfInstall::RegistryValue& r : install->registry) {
        if (r.keepExisting && registry.Get(r.root, r.key, r.name)) continue;
        if (r.type == REG_DWORD)
            registry.SetDword(r.root, r.key, r.name, r.number);
        else
            registry.SetString(r.root, r.key, r.name, r.text);
    }
    for (const InfInstall::Shortcut& s : install->shortcuts)
        shell.AddShortcut(s.folder, s.name, s.target);
    return true;
}

void InstallTessaril(Platform& platform, ProgramMain lockMain, ProgramMain configMain) {
    if (!lockMain || !configMain) Platform::Fatal("InstallTessaril: both main routines are needed");
    std::string error;
    if (!InstallFromInf(platform, Embedded(kTessarilInf, kTessarilInfSize), "Tessaril.inf",
                        {{"Tessaril.exe", lockMain}, {"TessarilCfg.exe", configMain}},
                        {{"TessarilReset.lnk", Embedded(kTessarilResetLnk, kTessarilResetLnkSize)}},
                        &error))
        Platform::Fatal("InstallTessaril: " + error);
}

} // namespace handset
