// The Device's scheduler, clock, processes, handles and accounting.
//
// Every emulated thread is a real thread, but only the holder of the one
// baton runs; the others wait on their own condition variable. The driver
// (the test or scenario) holds the baton between runs. A thread gives the
// baton away only inside a blocking platform call, so the order of events is
// fixed by the program alone and the same inputs give the same timeline.
#include "device/device.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "registry/registry.h"
#include "user/queue.h"

namespace handset {

namespace {

Device* g_device = nullptr;
thread_local Thread* tls_self = nullptr;

// Thrown inside a killed thread's wait to unwind it. Device frames are built
// without exceptions, so none of their destructors run, as on the phone.
struct ThreadUnwind {};

constexpr uintptr_t kCurrentThreadPseudo = 0x41; // SH_CURTHREAD + SYS_HANDLE_BASE
constexpr uintptr_t kCurrentProcessPseudo = 0x42;

std::u16string FoldCase(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

} // namespace

Thread::Thread() : KernelObject(Kind::Thread) {}
Thread::~Thread() = default;

const char* ResourceName(Resource r) {
    switch (r) {
    case Resource::KernelHandle:
        return "kernel handle";
    case Resource::RegistryKey:
        return "registry key";
    case Resource::HeapBlock:
        return "heap block";
    case Resource::ComObject:
        return "COM object";
    case Resource::ComString:
        return "contact string";
    case Resource::LineApp:
        return "TAPI line application";
    case Resource::GdiObject:
        return "GDI object";
    case Resource::WaveOut:
        return "wave output";
    }
    return "?";
}

Device::Device() : Device(Options{}) {}

Device::Device(Options options)
    : bootTick_(options.bootTick), timeline_(*this), registry_(std::make_unique<Registry>(*this)) {
    if (g_device) Fatal("a second Device was made while one still lives");
    g_device = this;
}

Device::~Device() {
    shuttingDown_ = true;
    // End what still runs, newest process first, so that nothing is left
    // waiting on a condition variable that is about to go away.
    for (auto it = processes_.rbegin(); it != processes_.rend(); ++it) {
        Process* p = it->get();
        for (Thread* t : p->threads)
            if (t->state != Thread::State::Exited) Kill(t, 0);
    }
    for (auto& t : threads_)
        if (t->real.joinable()) t->real.join();
    heap_.clear();
    g_device = nullptr;
}

Device& Device::Current() {
    if (!g_device) Fatal("a platform call was made with no Device");
    return *g_device;
}

Device* Device::CurrentOrNull() {
    return g_device;
}

void Device::Fatal(const std::string& message) {
    std::fprintf(stderr, "handset: fatal: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

DWORD& Device::LastError() {
    return current_ ? current_->lastError : driverLastError_;
}

// ---- Programs and processes ------------------------------------------------

void Device::RegisterProgram(std::u16string_view exePath, ProgramMain main) {
    auto key = FoldCase(exePath);
    programs_[key] = main;
    if (!programModules_.count(key)) {
        programModules_[key] = reinterpret_cast<HINSTANCE>(nextModule_);
        nextModule_ += 0x10000;
    }
    programPaths_[key] = std::u16string(exePath);
}

Process* Device::NewProcess(std::u16string exePath, std::u16string commandLine, HINSTANCE module) {
    auto p = std::make_shared<Process>();
    p->id = nextPid_++;
    p->exePath = std::move(exePath);
    p->commandLine = std::move(commandLine);
    p->module = module;
    processes_.push_back(p);
    timeline_.Record("process.start", {{"process", p->id}, {"path", p->exePath}});
    return p.get();
}

void Device::StartPrimary(Process* p, std::function<DWORD()> routine) {
    // When the main routine returns the process ends, as ExitProcess would
    // end it, with the threads it still has.
    auto main = [this, p, routine = std::move(routine)] {
        DWORD code = routine();
        EndOtherThreads(p, code);
        return code;
    };
    p->primary = CreateThreadIn(p, std::move(main), false);
}

DWORD Device::StartProgram(std::u16string_view exePath, std::u16string_view commandLine) {
    auto key = FoldCase(exePath);
    auto it = programs_.find(key);
    if (it == programs_.end()) return 0;
    ProgramMain main = it->second;
    HINSTANCE module = programModules_[key];
    Process* p = NewProcess(programPaths_[key], std::u16string(commandLine), module);
    StartPrimary(p, [p, main, module] {
        return static_cast<DWORD>(main(module, nullptr, p->commandLine.data(), 5));
    });
    return p->id;
}

DWORD Device::StartProcess(std::string_view name, std::function<DWORD()> routine) {
    std::u16string path = Widen(name);
    if (path.find(u'\\') == std::u16string::npos) path = u"\\Windows\\" + path;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(nextModule_);
    nextModule_ += 0x10000;
    Process* p = NewProcess(path, u"", module);
    StartPrimary(p, std::move(routine));
    return p->id;
}

void Device::EndOtherThreads(Process* p, DWORD code) {
    for (size_t i = 0; i < p->threads.size(); ++i) {
        Thread* t = p->threads[i];
        if (t != current_ && t->state != Thread::State::Exited) Kill(t, code);
    }
}

void Device::TerminateProcessNow(Process* p, DWORD code) {
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

void Device::ProcessEnded(Process* p, DWORD code) {
    p->exitCode = code;
    std::copy(std::begin(p->held), std::end(p->held), std::begin(p->heldAtExit));
    // The kernel takes back what the process still held.
    // By index: a hook may make an area that registers a hook of its own.
    for (size_t i = 0; i < exitHooks_.size(); ++i)
        exitHooks_[i](p->id);
    for (auto it = heap_.begin(); it != heap_.end();) {
        if (it->second.owner == p->id) {
            Account(p->id, Resource::HeapBlock, -1);
            it = heap_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = handles_.begin(); it != handles_.end();) {
        if (it->second.owner == p->id) {
            if (it->second.counted) Account(p->id, Resource::KernelHandle, -1);
            it = handles_.erase(it);
        } else {
            ++it;
        }
    }
    p->exited = true;
    timeline_.Record("process.exit", {{"process", p->id}, {"code", code}});
    WakeWaiters();
}

bool Device::ProcessRunning(DWORD pid) const {
    Process* p = FindProcess(pid);
    return p && !p->exited;
}

DWORD Device::ProcessExitCode(DWORD pid) const {
    Process* p = FindProcess(pid);
    return p ? p->exitCode : STILL_ACTIVE;
}

std::vector<DWORD> Device::ProcessIds() const {
    std::vector<DWORD> ids;
    for (auto& p : processes_)
        if (!p->exited) ids.push_back(p->id);
    return ids;
}

std::vector<DWORD> Device::ThreadIds(DWORD pid) const {
    std::vector<DWORD> ids;
    if (Process* p = FindProcess(pid))
        for (Thread* t : p->threads)
            if (t->state != Thread::State::Exited) ids.push_back(t->id);
    return ids;
}

DWORD Device::PrimaryThreadId(DWORD pid) const {
    Process* p = FindProcess(pid);
    return p && p->primary ? p->primary->id : 0;
}

Thread* Device::FindThread(DWORD tid) const {
    for (auto& t : threads_)
        if (t->id == tid) return t.get();
    return nullptr;
}

Process* Device::FindProcess(DWORD pid) const {
    for (auto& p : processes_)
        if (p->id == pid) return p.get();
    return nullptr;
}

Process* Device::ProcessByModule(HINSTANCE module) const {
    for (auto& p : processes_)
        if (p->module == module && !p->exited) return p.get();
    return nullptr;
}

std::shared_ptr<Process> Device::SharedProcess(Process* p) const {
    for (auto& sp : processes_)
        if (sp.get() == p) return sp;
    return nullptr;
}

std::shared_ptr<Thread> Device::SharedThread(Thread* t) const {
    for (auto& st : threads_)
        if (st.get() == t) return st;
    return nullptr;
}

// ---- Accounting --------------------------------------------------------------

void Device::Account(DWORD pid, Resource r, int delta) {
    if (Process* p = FindProcess(pid)) p->held[static_cast<int>(r)] += delta;
}

int Device::Held(DWORD pid, Resource r) const {
    Process* p = FindProcess(pid);
    if (!p) return 0;
    return p->exited ? p->heldAtExit[static_cast<int>(r)] : p->held[static_cast<int>(r)];
}

std::string Device::DescribeHeld(DWORD pid) const {
    std::string out;
    for (int i = 0; i < kResourceKinds; ++i) {
        int n = Held(pid, static_cast<Resource>(i));
        if (n == 0) continue;
        if (!out.empty()) out += ", ";
        out += std::to_string(n) + " " + ResourceName(static_cast<Resource>(i));
        if (n != 1) out += "s";
    }
    return out.empty() ? "nothing" : out;
}

void Device::OnProcessExit(std::function<void(DWORD)> hook) {
    exitHooks_.push_back(std::move(hook));
}

// ---- Handles -----------------------------------------------------------------

HANDLE Device::AddHandle(std::shared_ptr<KernelObject> object) {
    uintptr_t value = nextHandle_;
    nextHandle_ += 4;
    handles_[value] = {std::move(object), CurrentPid(), true};
    Account(Resource::KernelHandle, +1);
    return reinterpret_cast<HANDLE>(value);
}

HANDLE Device::AddServiceHandle(std::shared_ptr<KernelObject> object, DWORD pid) {
    uintptr_t value = nextHandle_;
    nextHandle_ += 4;
    handles_[value] = {std::move(object), pid, false};
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> Device::Resolve(HANDLE h) const {
    auto value = reinterpret_cast<uintptr_t>(h);
    if (value == kCurrentThreadPseudo) return current_ ? SharedThread(current_) : nullptr;
    if (value == kCurrentProcessPseudo)
        return current_ ? SharedProcess(current_->process) : nullptr;
    auto it = handles_.find(value);
    return it == handles_.end() ? nullptr : it->second.object;
}

bool Device::IsPseudoHandle(HANDLE h) {
    auto value = reinterpret_cast<uintptr_t>(h);
    return value == kCurrentThreadPseudo || value == kCurrentProcessPseudo;
}

HANDLE Device::CurrentThreadPseudoHandle() {
    return reinterpret_cast<HANDLE>(kCurrentThreadPseudo);
}
HANDLE Device::CurrentProcessPseudoHandle() {
    return reinterpret_cast<HANDLE>(kCurrentProcessPseudo);
}

bool Device::CloseHandleOf(HANDLE h) {
    auto it = handles_.find(reinterpret_cast<uintptr_t>(h));
    if (it == handles_.end()) return false;
    if (it->second.counted) Account(it->second.owner, Resource::KernelHandle, -1);
    // The object may go now; keep it alive until the entry is gone.
    auto object = std::move(it->second.object);
    handles_.erase(it);
    return true;
}

std::shared_ptr<KernelObject> Device::FindNamed(const std::u16string& name) const {
    auto it = named_.find(name);
    return it == named_.end() ? nullptr : it->second.lock();
}

void Device::AddNamed(const std::shared_ptr<KernelObject>& object) {
    named_[object->name] = object;
}

// ---- Heap ----------------------------------------------------------------------

void* Device::HeapAlloc(size_t bytes, bool zero) {
    // Zero-size blocks are real blocks, as LocalAlloc(0) gives one.
    auto block = std::make_unique<unsigned char[]>(bytes ? bytes : 1);
    if (zero)
        std::fill(block.get(), block.get() + (bytes ? bytes : 1), 0);
    else
        std::fill(block.get(), block.get() + (bytes ? bytes : 1), 0xCD);
    void* p = block.get();
    heap_[p] = {std::move(block), bytes, CurrentPid()};
    Account(Resource::HeapBlock, +1);
    return p;
}

bool Device::HeapFree(void* p) {
    auto it = heap_.find(p);
    if (it == heap_.end()) return false;
    Account(it->second.owner, Resource::HeapBlock, -1);
    heap_.erase(it);
    return true;
}

bool Device::HeapSize(void* p, size_t* bytes) const {
    auto it = heap_.find(p);
    if (it == heap_.end()) return false;
    *bytes = it->second.size;
    return true;
}

// ---- Threads -------------------------------------------------------------------

Thread* Device::CreateThreadIn(Process* p, std::function<DWORD()> routine, bool suspended) {
    auto t = std::make_shared<Thread>();
    t->id = nextTid_++;
    t->process = p;
    t->routine = std::move(routine);
    t->suspendCount = suspended ? 1 : 0;
    t->createdAt = now_;
    threads_.push_back(t);
    p->threads.push_back(t.get());
    Thread* raw = t.get();
    timeline_.Record("thread.start",
                     {{"thread", raw->id}, {"process", p->id}, {"suspended", suspended ? 1 : 0}});
    raw->real = std::thread([this, raw] { ThreadEntry(raw); });
    if (!suspended) MakeReady(raw);
    return raw;
}

void Device::ThreadEntry(Thread* t) {
    tls_self = t;
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

void Device::FinishThread(Thread* t) {
    if (t->killed) t->exitCode = t->killCode;
    t->state = Thread::State::Exited;
    t->queue.reset();
    auto owned = std::move(t->owned);
    for (auto& w : owned)
        if (auto object = w.lock()) object->OwnerExited(*t);
    timeline_.Record("thread.exit", {{"thread", t->id}, {"code", t->exitCode}});
    Process* p = t->process;
    bool last = std::all_of(p->threads.begin(), p->threads.end(),
                            [](Thread* o) { return o->state == Thread::State::Exited; });
    if (last) ProcessEnded(p, t->exitCode);
    WakeWaiters();
    tls_self = nullptr;
    if (t->killer || t->killerIsDriver) {
        SwitchTo(t->killer, t->killerIsDriver, false);
    } else {
        Thread* next = PickNext();
        SwitchTo(next, next == nullptr, false);
    }
}

void Device::MakeReady(Thread* t) {
    t->waitObjects.clear();
    t->waitDeadline = kNever;
    if (t->suspendCount > 0) {
        t->state = Thread::State::Suspended;
        t->wokenWhileSuspended = t->started;
        return;
    }
    t->state = Thread::State::Ready;
    ready_.push_back(t);
}

void Device::Resume(Thread* t) {
    if (t->suspendCount == 0) return;
    if (--t->suspendCount > 0) return;
    if (t->state == Thread::State::Suspended) {
        t->wokenWhileSuspended = false;
        MakeReady(t);
    }
}

void Device::Suspend(Thread* t) {
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

void Device::Kill(Thread* t, DWORD code) {
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

void Device::ExitCurrentThread(DWORD code) {
    if (!current_) Fatal("ExitThread called in the driver's context");
    current_->exitCode = code;
    throw ThreadUnwind{};
}

// ---- Waiting -----------------------------------------------------------------

DWORD Device::Block(std::vector<std::shared_ptr<KernelObject>> objects, DWORD timeoutMs) {
    Thread* self = current_;
    auto satisfied = [&](Thread& waiter) -> int {
        for (size_t i = 0; i < objects.size(); ++i)
            if (objects[i]->Signaled(waiter)) return static_cast<int>(i);
        return -1;
    };
    if (!self) {
        // The driver may look, but never wait.
        static Thread driverProbe;
        int i = satisfied(driverProbe);
        if (i >= 0) {
            objects[i]->Acquire(driverProbe);
            return (objects[i]->TakeAbandoned() ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
        }
        if (timeoutMs != 0) Fatal("a platform call would block in the driver's context");
        return WAIT_TIMEOUT;
    }
    int i = satisfied(*self);
    if (i >= 0) {
        objects[i]->Acquire(*self);
        return (objects[i]->TakeAbandoned() ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
    }
    if (timeoutMs == 0) return WAIT_TIMEOUT;
    self->waitObjects = std::move(objects);
    self->waitDeadline = timeoutMs == INFINITE ? kNever : now_ + timeoutMs;
    self->waitSeq = ++waitSeq_;
    self->state = Thread::State::Blocked;
    Thread* next = PickNext();
    SwitchTo(next, next == nullptr, true);
    if (self->killed) throw ThreadUnwind{};
    return self->waitResult;
}

void Device::Yield() {
    Thread* self = current_;
    if (!self) return;
    self->state = Thread::State::Ready;
    ready_.push_back(self);
    Thread* next = PickNext();
    SwitchTo(next, next == nullptr, true);
    if (self->killed) throw ThreadUnwind{};
}

void Device::WakeWaiters() {
    std::vector<Thread*> blocked;
    for (auto& t : threads_)
        if (t->state == Thread::State::Blocked && !t->waitObjects.empty())
            blocked.push_back(t.get());
    std::sort(blocked.begin(), blocked.end(),
              [](Thread* a, Thread* b) { return a->waitSeq < b->waitSeq; });
    for (Thread* t : blocked) {
        for (size_t i = 0; i < t->waitObjects.size(); ++i) {
            auto& object = t->waitObjects[i];
            if (!object->Signaled(*t)) continue;
            object->Acquire(*t);
            DWORD base = object->TakeAbandoned() ? WAIT_ABANDONED_0 : WAIT_OBJECT_0;
            t->waitResult = base + static_cast<DWORD>(i);
            MakeReady(t);
            break;
        }
    }
}

void Device::At(uint64_t at, std::function<void()> fn) {
    timed_.push_back({std::max(at, now_), ++timedSeq_, std::move(fn)});
}

uint64_t Device::NextDue() const {
    uint64_t due = kNever;
    for (auto& e : timed_)
        due = std::min(due, e.at);
    for (auto& t : threads_)
        if (t->state == Thread::State::Blocked) due = std::min(due, t->waitDeadline);
    return due;
}

void Device::FireDue() {
    // Scheduled events first: what they signal completes waits that end at
    // the same moment.
    for (;;) {
        auto it =
            std::min_element(timed_.begin(), timed_.end(), [](const Timed& a, const Timed& b) {
                return a.at != b.at ? a.at < b.at : a.seq < b.seq;
            });
        if (it == timed_.end() || it->at > now_) break;
        auto fn = std::move(it->fn);
        timed_.erase(it);
        fn();
    }
    std::vector<Thread*> expired;
    for (auto& t : threads_)
        if (t->state == Thread::State::Blocked && t->waitDeadline <= now_)
            expired.push_back(t.get());
    std::sort(expired.begin(), expired.end(), [](Thread* a, Thread* b) {
        return a->waitDeadline != b->waitDeadline ? a->waitDeadline < b->waitDeadline
                                                  : a->waitSeq < b->waitSeq;
    });
    for (Thread* t : expired) {
        t->waitResult = WAIT_TIMEOUT;
        MakeReady(t);
    }
}

void Device::SetRealTime(bool on) {
    realTime_ = on;
    realBase_ = std::chrono::steady_clock::now();
    virtualBase_ = now_;
}

void Device::AdvanceTo(uint64_t t) {
    if (t <= now_) return;
    if (realTime_)
        std::this_thread::sleep_until(realBase_ + std::chrono::milliseconds(t - virtualBase_));
    now_ = t;
}

// ---- The baton -----------------------------------------------------------------

Thread* Device::PickNext() {
    for (;;) {
        if (done_ && (*done_)()) return nullptr;
        if (!ready_.empty()) {
            Thread* t = ready_.front();
            ready_.pop_front();
            t->state = Thread::State::Running;
            return t;
        }
        if (shuttingDown_) return nullptr;
        uint64_t due = NextDue();
        if (due == kNever || due > limit_) {
            AdvanceTo(limit_);
            return nullptr;
        }
        AdvanceTo(due);
        FireDue();
    }
}

void Device::SwitchTo(Thread* next, bool nextIsDriver, bool selfWaits) {
    Thread* self = tls_self;
    std::unique_lock<std::mutex> lock(baton_);
    if (nextIsDriver) {
        current_ = nullptr;
        driverTurn_ = true;
        driverCv_.notify_all();
    } else {
        current_ = next;
        driverTurn_ = false;
        next->cv.notify_all();
    }
    if (!selfWaits) return;
    if (self)
        self->cv.wait(lock, [&] { return current_ == self; });
    else
        driverCv_.wait(lock, [&] { return driverTurn_; });
}

void Device::WaitForTurn(Thread* self) {
    std::unique_lock<std::mutex> lock(baton_);
    self->cv.wait(lock, [&] { return current_ == self; });
}

// ---- Driving -------------------------------------------------------------------

void Device::Drive(uint64_t limit, const std::function<bool()>* done) {
    if (tls_self) Fatal("the device was driven from one of its own threads");
    limit_ = limit;
    done_ = done;
    Thread* next = PickNext();
    if (next) SwitchTo(next, false, true);
    done_ = nullptr;
}

void Device::RunUntilIdle() {
    Drive(now_, nullptr);
}

void Device::RunFor(uint64_t ms) {
    Drive(now_ + ms, nullptr);
}

bool Device::RunUntil(const std::function<bool()>& done, uint64_t maxMs) {
    if (done()) return true;
    Drive(now_ + maxMs, &done);
    return done();
}

bool Device::RunUntilExit(DWORD pid, uint64_t maxMs) {
    return RunUntil([this, pid] { return !ProcessRunning(pid); }, maxMs);
}

DWORD Device::CallRoutine(std::function<DWORD()> routine, uint64_t maxMs) {
    DWORD pid = StartProcess("call", std::move(routine));
    RunUntilExit(pid, maxMs);
    return ProcessExitCode(pid);
}

} // namespace handset
