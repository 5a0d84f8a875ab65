// The tool-help calls. A snapshot is an entry of the handle table, held by
// the process that took it until CloseToolhelp32Snapshot or its exit.
#include <windows.h>
#include <tlhelp32.h>

#include "device/platform.h"
#include "device/relay.h"
#include "toolhelp/toolhelp.h"

using handset::Enter;
using handset::Fail;
using handset::kToolhelpSnapshot;
using handset::Platform;
using handset::Snapshot;
using handset::Toolhelp;

namespace {

Platform& Dev() {
    return Platform::Current();
}

std::shared_ptr<Snapshot> Find(HANDLE h) {
    return Dev().handles().Get<Snapshot>(reinterpret_cast<uintptr_t>(h), kToolhelpSnapshot);
}

// Copies the next entry of a list, or the first when asked, keeping the
// caller's dwSize. As on the phone, an entry whose dwSize is smaller than
// the structure is refused; a larger one gets the structure's bytes.
template <class Entry>
BOOL Walk(HANDLE h, Entry* out, bool first, std::vector<Entry> Snapshot::*list,
          size_t Snapshot::*next) {
    auto s = Find(h);
    if (!s) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!out || out->dwSize < sizeof(Entry)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    size_t& at = (*s).*next;
    if (first) at = 0;
    const std::vector<Entry>& entries = (*s).*list;
    if (at >= entries.size()) return Fail(ERROR_NO_MORE_FILES, FALSE);
    DWORD size = out->dwSize;
    *out = entries[at++];
    out->dwSize = size;
    return TRUE;
}

} // namespace

HANDSET_API(HANDLE, CreateToolhelp32Snapshot, (DWORD dwFlags, DWORD th32ProcessID),
            (dwFlags, th32ProcessID)) {
    if (auto e = Enter("CreateToolhelp32Snapshot")) return Fail(*e, INVALID_HANDLE_VALUE);
    // th32ProcessID names the process only for heap and module lists.
    if (dwFlags & ~DWORD(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD))
        handset::NotEmulated("CreateToolhelp32Snapshot", "dwFlags " + handset::Hex32(dwFlags));
    Platform& d = Dev();
    auto snapshot = d.Get<Toolhelp>().Take(dwFlags);
    return reinterpret_cast<HANDLE>(
        d.handles().Add(kToolhelpSnapshot, d.CurrentPid(), std::move(snapshot)));
}

HANDSET_API(BOOL, CloseToolhelp32Snapshot, (HANDLE hSnapshot), (hSnapshot)) {
    if (auto e = Enter("CloseToolhelp32Snapshot")) return Fail(*e, FALSE);
    if (!Dev().handles().Remove(reinterpret_cast<uintptr_t>(hSnapshot), kToolhelpSnapshot))
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}

HANDSET_API(BOOL, Process32First, (HANDLE hSnapshot, LPPROCESSENTRY32 lppe), (hSnapshot, lppe)) {
    if (auto e = Enter("Process32First")) return Fail(*e, FALSE);
    return Walk(hSnapshot, lppe, true, &Snapshot::processes, &Snapshot::nextProcess);
}

HANDSET_API(BOOL, Process32Next, (HANDLE hSnapshot, LPPROCESSENTRY32 lppe), (hSnapshot, lppe)) {
    if (auto e = Enter("Process32Next")) return Fail(*e, FALSE);
    return Walk(hSnapshot, lppe, false, &Snapshot::processes, &Snapshot::nextProcess);
}

HANDSET_API(BOOL, Thread32First, (HANDLE hSnapshot, LPTHREADENTRY32 lpte), (hSnapshot, lpte)) {
    if (auto e = Enter("Thread32First")) return Fail(*e, FALSE);
    return Walk(hSnapshot, lpte, true, &Snapshot::threads, &Snapshot::nextThread);
}

HANDSET_API(BOOL, Thread32Next, (HANDLE hSnapshot, LPTHREADENTRY32 lpte), (hSnapshot, lpte)) {
    if (auto e = Enter("Thread32Next")) return Fail(*e, FALSE);
    return Walk(hSnapshot, lpte, false, &Snapshot::threads, &Snapshot::nextThread);
}
