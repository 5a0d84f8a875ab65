// Programs, processes and threads: how they start, how they end, and the
// kernel handles that name them. When a process ends, the areas hear of it
// and the handle table takes back what it still held.
#include <algorithm>

#include "common/text.h"
#include "device/platform.h"
#include "device/scheduler.h"

namespace handset {

namespace {

constexpr uintptr_t kCurrentThreadPseudo = 0x41; // SH_CURTHREAD + SYS_HANDLE_BASE
constexpr uintptr_t kCurrentProcessPseudo = 0x42;

} // namespace

// ---- Programs and processes ------------------------------------------------

void Platform::RegisterProgram(std::u16string_view exePath, ProgramMain main) {
    auto key = FoldAscii(exePath);
    programs_[key] = main;
    if (!programModules_.count(key)) {
        programModules_[key] = reinterpret_cast<HINSTANCE>(nextModule_);
        nextModule_ += 0x10000;
    }
    programPaths_[key] = std::u16string(exePath);
}

bool Platform::ProgramRegistered(std::u16string_view exePath) const {
    return programs_.count(FoldAscii(exePath)) != 0;
}

HINSTANCE Platform::ProgramModule(std::u16string_view exePath) const {
    auto it = programModules_.find(FoldAscii(exePath));
    return it == programModules_.end() ? nullptr : it->second;
}

bool Platform::IsModule(HINSTANCE module) const {
    if (!module) return false;
    for (auto& [path, m] : programModules_)
        if (m == module) return true;
    for (auto& [id, p] : processes_)
        if (p->module == module) return true;
    return false;
}

Process* Platform::NewProcess(std::u16string exePath, std::u16string commandLine,
                              HINSTANCE module) {
    auto p = std::make_shared<Process>();
    p->id = nextPid_++;
    p->exePath = std::move(exePath);
    p->commandLine = std::move(commandLine);
    p->module = module;
    processes_[p->id] = p;
    timeline_.Record("process.start",
                     {{"process", p->id}, {"path", p->exePath}, {"commandLine", p->commandLine}});
    return p.get();
}

void Platform::StartPrimary(Process* p, std::function<DWORD()> routine) {
    // When the main routine returns the process ends, as ExitProcess would
    // end it, with the threads it still has.
    auto main = [this, p, routine = std::move(routine)] {
        DWORD code = routine();
        EndOtherThreads(p, code);
        return code;
    };
    p->primary = CreateThreadIn(p, std::move(main), false);
}

std::vector<std::u16string> Platform::ProgramPaths() const {
    std::vector<std::u16string> paths;
    for (auto& [key, path] : programPaths_)
        paths.push_back(path);
    return paths;
}

DWORD Platform::StartProgram(std::u16string_view exePath, std::u16string_view commandLine,
                             int showCommand) {
    auto key = FoldAscii(exePath);
    auto it = programs_.find(key);
    if (it == programs_.end()) return 0;
    ProgramMain main = it->second;
    HINSTANCE module = programModules_[key];
    Process* p = NewProcess(programPaths_[key], std::u16string(commandLine), module);
    StartPrimary(p, [p, main, module, showCommand] {
        return static_cast<DWORD>(main(module, nullptr, p->commandLine.data(), showCommand));
    });
    return p->id;
}

DWORD Platform::StartProcess(std::string_view name, std::function<DWORD()> routine) {
    std::u16string path = Widen(name);
    if (path.find(u'\\') == std::u16string::npos) path = u"\\Windows\\" + path;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(nextModule_);
    nextModule_ += 0x10000;
    Process* p = NewProcess(path, u"", module);
    StartPrimary(p, std::move(routine));
    return p->id;
}

void Platform::EndOtherThreads(Process* p, DWORD code) {
    for (size_t i = 0; i < p->threads.size(); ++i) {
        Thread* t = p->threads[i];
        if (t != current_ && t->state != Thread::State::Exited) Kill(t, code);
    }
}

void Platform::TerminateProcessNow(Process* p, DWORD code) {
    // Others first; the caller itself last, as it does not come back.
    bool self = false;
    for (size_t i = 0; i < p->threads.size(); ++i) {
        Thread* t = p->threads[i];
        if (t->state == Thread::State::Exited) continue;
        if (t == current_)
            self = true;
        else
            Kill(t, code);
    }
    if (self) Kill(current_, code);
}

void Platform::ProcessEnded(Process* p, DWORD code) {
    p->exitCode = code;
    p->heldAtExit = handles_.HeldBy(p->id);
    // By index: a hook may make an area.
    for (size_t i = 0; i < areas_.size(); ++i)
        areas_[i].second->ProcessExited(*p);
    handles_.Reclaim(*this, p->id);
    p->exited = true;
    timeline_.Record("process.exit", {{"process", p->id}, {"code", code}});
    WakeWaiters();
}

bool Platform::ProcessRunning(DWORD pid) const {
    Process* p = FindProcess(pid);
    return p && !p->exited;
}

DWORD Platform::ProcessExitCode(DWORD pid) const {
    Process* p = FindProcess(pid);
    return p ? p->exitCode : STILL_ACTIVE;
}

std::vector<DWORD> Platform::ProcessIds() const {
    std::vector<DWORD> ids;
    for (auto& [id, p] : processes_)
        if (!p->exited) ids.push_back(id);
    return ids;
}

Thread* Platform::FindThread(DWORD tid) const {
    auto it = threads_.find(tid);
    return it == threads_.end() ? nullptr : it->second.get();
}

Process* Platform::FindProcess(DWORD pid) const {
    auto it = processes_.find(pid);
    return it == processes_.end() ? nullptr : it->second.get();
}

Process* Platform::ProcessByModule(HINSTANCE module) const {
    for (auto& [id, p] : processes_)
        if (p->module == module && !p->exited) return p.get();
    return nullptr;
}

std::shared_ptr<Process> Platform::SharedProcess(Process* p) const {
    auto it = p ? processes_.find(p->id) : processes_.end();
    return it != processes_.end() && it->second.get() == p ? it->second : nullptr;
}

std::shared_ptr<Thread> Platform::SharedThread(Thread* t) const {
    auto it = t ? threads_.find(t->id) : threads_.end();
    return it != threads_.end() && it->second.get() == t ? it->second : nullptr;
}

// ---- Kernel handles ------------------------------------------------------------

HANDLE Platform::AddHandle(std::shared_ptr<KernelObject> object) {
    return reinterpret_cast<HANDLE>(handles_.Add(kKernelHandle, CurrentPid(), std::move(object)));
}

HANDLE Platform::AddServiceHandle(std::shared_ptr<KernelObject> object, DWORD pid) {
    return reinterpret_cast<HANDLE>(handles_.Add(kKernelHandle, pid, std::move(object), false));
}

std::shared_ptr<KernelObject> Platform::Resolve(HANDLE h) const {
    auto value = reinterpret_cast<uintptr_t>(h);
    if (value == kCurrentThreadPseudo) return SharedThread(current_);
    if (value == kCurrentProcessPseudo)
        return current_ ? SharedProcess(current_->process) : nullptr;
    return handles_.Get<KernelObject>(value, kKernelHandle);
}

bool Platform::IsPseudoHandle(HANDLE h) {
    auto value = reinterpret_cast<uintptr_t>(h);
    return value == kCurrentThreadPseudo || value == kCurrentProcessPseudo;
}

HANDLE Platform::CurrentThreadPseudoHandle() {
    return reinterpret_cast<HANDLE>(kCurrentThreadPseudo);
}
HANDLE Platform::CurrentProcessPseudoHandle() {
    return reinterpret_cast<HANDLE>(kCurrentProcessPseudo);
}

bool Platform::CloseHandleOf(HANDLE h) {
    return handles_.Remove(reinterpret_cast<uintptr_t>(h), kKernelHandle);
}

std::shared_ptr<KernelObject> Platform::FindNamed(const std::u16string& name) const {
    auto it = named_.find(name);
    return it == named_.end() ? nullptr : it->second.lock();
}

void Platform::AddNamed(const std::shared_ptr<KernelObject>& object) {
    named_[object->name] = object;
}

// ---- Threads -------------------------------------------------------------------

Thread* Platform::CreateThreadIn(Process* p, std::function<DWORD()> routine, bool suspended) {
    auto t = std::make_shared<Thread>();
    t->id = nextTid_++;
    t->process = p;
    t->routine = std::move(routine);
    t->suspendCount = suspended ? 1 : 0;
    t->createdAt = now_;
    threads_[t->id] = t;
    p->threads.push_back(t.get());
    Thread* raw = t.get();
    timeline_.Record("thread.start",
                     {{"thread", raw->id}, {"process", p->id}, {"suspended", suspended ? 1 : 0}});
    raw->real = std::thread([this, raw] { ThreadEntry(raw); });
    if (!suspended) MakeReady(raw);
    return raw;
}

void Platform::ThreadEntry(Thread* t) {
    SetSelf(t);
    WaitForTurn(t);
    t->started = true;
    if (!t->killed) {
        try {
            t->exitCode = t->routine();
        } catch (const ThreadUnwind&) {
            // ExitThread or TerminateThread set the exit code.
        }
    }
    FinishThread(t);
}

void Platform::FinishThread(Thread* t) {
    if (t->killed) t->exitCode = t->killCode;
    t->state = Thread::State::Exited;
    StopWaiting(t);
    for (size_t i = 0; i < areas_.size(); ++i)
        areas_[i].second->ThreadExited(*t);
    t->states.clear();
    auto owned = std::move(t->owned);
    for (auto& w : owned)
        if (auto object = w.lock()) object->OwnerExited(*t);
    timeline_.Record("thread.exit", {{"thread", t->id}, {"code", t->exitCode}});
    Process* p = t->process;
    bool last = std::all_of(p->threads.begin(), p->threads.end(),
                            [](Thread* o) { return o->state == Thread::State::Exited; });
    if (last) ProcessEnded(p, t->exitCode);
    WakeWaiters();
    SetSelf(nullptr);
    if (t->killer || t->killerIsDriver) {
        SwitchTo(t->killer, t->killerIsDriver, false);
    } else {
        Thread* next = PickNext();
        SwitchTo(next, next == nullptr, false);
    }
}

void Platform::Resume(Thread* t) {
    if (t->suspendCount == 0) return;
    if (--t->suspendCount > 0) return;
    if (t->state == Thread::State::Suspended) {
        t->wokenWhileSuspended = false;
        MakeReady(t);
    }
}

void Platform::Suspend(Thread* t) {
    ++t->suspendCount;
    if (t->state == Thread::State::Ready) {
        ready_.erase(std::remove(ready_.begin(), ready_.end(), t), ready_.end());
        t->state = Thread::State::Suspended;
    } else if (t == current_) {
        t->state = Thread::State::Suspended;
        Thread* next = PickNext();
        SwitchTo(next, next == nullptr, true);
        if (t->killed) throw ThreadUnwind{};
    }
}

void Platform::Kill(Thread* t, DWORD code) {
    if (t->state == Thread::State::Exited) return;
    if (t == current_) {
        t->exitCode = code;
        throw ThreadUnwind{};
    }
    t->killed = true;
    t->killCode = code;
    ready_.erase(std::remove(ready_.begin(), ready_.end(), t), ready_.end());
    t->killer = current_;
    t->killerIsDriver = current_ == nullptr;
    // The victim unwinds from where it waits and hands the baton back.
    SwitchTo(t, false, true);
}

void Platform::ExitCurrentThread(DWORD code) {
    if (!current_) Fatal("ExitThread called in the driver's context");
    current_->exitCode = code;
    throw ThreadUnwind{};
}

} // namespace handset
