// Taking a tool-help snapshot: the running processes and their live threads,
// copied into the phone's entry layouts.
#include "toolhelp/toolhelp.h"

#include <algorithm>

#include "device/platform.h"

namespace handset {

namespace {

constexpr LONG kNormalPriorityClass = 3; // THREAD_PRIORITY_NORMAL
constexpr LONG kNormalThreadPriority = 251;

DWORD AccessKey(DWORD pid) {
    return DWORD(1) << ((pid - 1) % 32);
}

bool Live(const Thread* t) {
    return t->state != Thread::State::Exited;
}

PROCESSENTRY32 ProcessEntry(const Process& p) {
    PROCESSENTRY32 e{};
    e.dwSize = sizeof e;
    e.cntUsage = 1;
    e.th32ProcessID = p.id;
    e.cntThreads = static_cast<DWORD>(std::count_if(p.threads.begin(), p.threads.end(), Live));
    e.pcPriClassBase = kNormalPriorityClass;
    std::u16string_view name(p.exePath);
    name = name.substr(name.find_last_of(u'\\') + 1); // npos + 1: the whole path
    name = name.substr(0, MAX_PATH - 1);
    std::copy(name.begin(), name.end(), e.szExeFile);
    e.th32MemoryBase = static_cast<DWORD>(reinterpret_cast<uintptr_t>(p.module));
    e.th32AccessKey = AccessKey(p.id);
    return e;
}

THREADENTRY32 ThreadEntry(const Thread& t) {
    THREADENTRY32 e{};
    e.dwSize = sizeof e;
    e.cntUsage = 1;
    e.th32ThreadID = t.id;
    e.th32OwnerProcessID = t.process->id;
    e.tpBasePri = kNormalThreadPriority;
    e.th32AccessKey = AccessKey(t.process->id);
    e.th32CurrentProcessID = t.process->id; // no thread is inside another process's call
    return e;
}

} // namespace

std::shared_ptr<Snapshot> Toolhelp::Take(DWORD flags) const {
    auto s = std::make_shared<Snapshot>();
    for (DWORD pid : platform_.ProcessIds()) {
        const Process& p = *platform_.FindProcess(pid);
        if (flags & TH32CS_SNAPPROCESS) s->processes.push_back(ProcessEntry(p));
        if (flags & TH32CS_SNAPTHREAD)
            for (const Thread* t : p.threads)
                if (Live(t)) s->threads.push_back(ThreadEntry(*t));
    }
    return s;
}

} // namespace handset
