// Tool-help snapshots: copies of the process and thread lists, taken when
// asked and walked by Process32First/Next and Thread32First/Next (calls.cpp).
// Processes that start or end afterwards do not change a snapshot.
//
// Choices where the phone's values cannot carry over:
// - szExeFile holds the executable's file name alone, as the phone's kernel
//   fills it ("Tessaril.exe"); the Windows CE 6.0 reference says so, the 5.0
//   page's "path and file name" is not what phones give.
// - th32MemoryBase is the program's module handle, the address its
//   resources are read from; th32AccessKey, which on the phone is the bit of
//   the process's slot, is bit (pid - 1) mod 32; th32DefaultHeapID is 0, as
//   the handset keeps no heap list to name a heap in.
// - Threads run at the normal priority: pcPriClassBase THREAD_PRIORITY_NORMAL,
//   tpBasePri 251 (its place among the 256 levels), tpDeltaPri 0.
// - A snapshot handed to CloseHandle is not closed (ERROR_INVALID_HANDLE):
//   on the phone that leaks it, here it stays held where tests see it.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <memory>
#include <vector>

#include "device/area.h"
#include "device/handles.h"

namespace handset {

inline constexpr HandleKind kToolhelpSnapshot{"tool-help snapshot", "tool-help snapshots"};

struct Snapshot {
    std::vector<PROCESSENTRY32> processes; // in start order
    std::vector<THREADENTRY32> threads;    // by process, then in creation order
    // The entry the next Process32Next / Thread32Next gives; First starts over.
    size_t nextProcess = 0;
    size_t nextThread = 0;
};

class Toolhelp final : public Area {
  public:
    using Area::Area;
    // The lists the flags ask for, as they are now; TH32CS_SNAPPROCESS and
    // TH32CS_SNAPTHREAD only (the caller stops the run for anything else).
    std::shared_ptr<Snapshot> Take(DWORD flags) const;
};

} // namespace handset
