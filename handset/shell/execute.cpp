// ShellExecuteEx: the shell's "Open" of a program file, which on the handset
// is a registered program, started with the parameters as its command line.
// What the phone's shell does beyond that (documents and their associations,
// other verbs, the error box it shows unless SEE_MASK_FLAG_NO_UI is given)
// is not emulated and stops the run.
#include <windows.h>
#include <shellapi.h>

#include "common/text.h"
#include "device/platform.h"
#include "device/relay.h"
#include "shell/shell.h"

using handset::Enter;
using handset::Fail;
using handset::NotEmulated;
using handset::Platform;

namespace {

Platform& Dev() {
    return Platform::Current();
}

bool IsOpen(std::u16string_view verb) {
    return verb.empty() || handset::FoldAscii(verb) == u"open";
}

// The phone has no current folder: a name without a leading "\" is looked
// for in \Windows.
std::u16string FullPath(std::u16string_view file) {
    if (!file.empty() && file[0] == u'\\') return std::u16string(file);
    return u"\\Windows\\" + std::u16string(file);
}

// A failed launch: hInstApp takes the matching SE_ERR_ value and the last
// error is set. Unless asked not to, the phone's shell shows its own error box.
BOOL Refuse(SHELLEXECUTEINFO* info, DWORD error) {
    bool valid = info && info->cbSize == sizeof *info;
    if (valid && error != ERROR_INVALID_PARAMETER) {
        if (!(info->fMask & SEE_MASK_FLAG_NO_UI))
            NotEmulated("ShellExecuteEx",
                        "the shell's error box (fMask without SEE_MASK_FLAG_NO_UI)");
        UINT_PTR code = error == ERROR_PATH_NOT_FOUND      ? SE_ERR_PNF
                        : error == ERROR_ACCESS_DENIED     ? SE_ERR_ACCESSDENIED
                        : error == ERROR_NOT_ENOUGH_MEMORY ? SE_ERR_OOM
                                                           : SE_ERR_FNF;
        info->hInstApp = reinterpret_cast<HINSTANCE>(code);
    }
    return Fail(error, FALSE);
}

} // namespace

// lpDirectory is ignored, as the phone has no current folder; hwnd would own
// the error box only.
HANDSET_API(BOOL, ShellExecuteEx, (LPSHELLEXECUTEINFO lpExecInfo), (lpExecInfo)) {
    if (auto e = Enter("ShellExecuteEx")) return Refuse(lpExecInfo, *e);
    if (!lpExecInfo || lpExecInfo->cbSize != sizeof(SHELLEXECUTEINFO))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    SHELLEXECUTEINFO& info = *lpExecInfo;
    if (info.fMask & ~ULONG(SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI))
        NotEmulated("ShellExecuteEx", "fMask " + handset::Hex32(info.fMask));
    if (info.lpVerb && !IsOpen(info.lpVerb))
        NotEmulated("ShellExecuteEx", "lpVerb \"" + handset::Narrow(info.lpVerb) + "\"");
    if (!info.lpFile || !*info.lpFile) return Fail(ERROR_INVALID_PARAMETER, FALSE);

    Platform& d = Dev();
    std::u16string path = FullPath(info.lpFile);
    if (!d.ProgramRegistered(path)) {
        std::u16string folder = path.substr(0, path.find_last_of(u'\\'));
        bool found = d.Get<handset::Shell>().FolderExists(folder);
        return Refuse(lpExecInfo, found ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    }
    DWORD pid = d.StartProgram(path, info.lpParameters ? info.lpParameters : u"", info.nShow);
    handset::Process* p = d.FindProcess(pid);
    info.hInstApp = p->module;
    if (info.fMask & SEE_MASK_NOCLOSEPROCESS) info.hProcess = d.AddHandle(d.SharedProcess(p));
    return TRUE;
}
