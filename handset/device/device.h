// The Device: one emulated Windows Mobile phone. It owns the virtual clock,
// the scheduler that runs emulated threads one at a time, the processes and
// their handles, the accounting of what each process holds, the fault plan
// and the timeline. Tests and scenarios drive it through the first half of
// this class; the platform areas (kernel, registry, user, ...) build on the
// second half.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

#include "common/text.h"
#include "device/faults.h"
#include "device/timeline.h"

namespace handset {

class Device;
class Process;
class Registry;
class CellularNetwork;
class PimStore;
class Thread;
class MessageQueue;

// What a process can hold; the handset counts each per process.
enum class Resource {
    KernelHandle,
    RegistryKey,
    HeapBlock,
    ComObject,
    ComString,
    LineApp,
    GdiObject,
    WaveOut,
};
inline constexpr int kResourceKinds = 8;
const char* ResourceName(Resource r);

// A program as the handset knows it: its executable path and main routine.
using ProgramMain = int (*)(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine,
                            int showCommand);

// Anything a thread can wait on. The scheduler asks Signaled() when it looks
// for waits to complete, and calls Acquire() on the object that completed one.
class KernelObject : public std::enable_shared_from_this<KernelObject> {
  public:
    enum class Kind { Event, Mutex, Thread, Process, Queue, Other };
    explicit KernelObject(Kind k) : kind(k) {}
    virtual ~KernelObject() = default;
    virtual bool Signaled(const Thread& waiter) const = 0;
    virtual void Acquire(Thread& waiter) {}
    // True when the successful wait was on an abandoned mutex.
    virtual bool TakeAbandoned() { return false; }
    // The thread that owned this object ended.
    virtual void OwnerExited(Thread& owner) {}

    const Kind kind;
    std::u16string name; // empty for an unnamed object
};

class Thread final : public KernelObject {
  public:
    enum class State { Suspended, Ready, Running, Blocked, Exited };
    Thread();
    ~Thread() override;
    bool Signaled(const Thread&) const override { return state == State::Exited; }

    DWORD id = 0;
    Process* process = nullptr;
    std::function<DWORD()> routine;
    State state = State::Suspended;
    int suspendCount = 0;
    bool started = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD lastError = 0;
    uint64_t createdAt = 0;

    // The wait this thread is blocked in.
    std::vector<std::shared_ptr<KernelObject>> waitObjects;
    uint64_t waitDeadline = 0; // kNever for none
    uint64_t waitSeq = 0;      // order in which blocked threads are served
    DWORD waitResult = 0;
    bool wokenWhileSuspended = false;

    // TerminateThread and process exit unwind the thread from its wait.
    bool killed = false;
    DWORD killCode = 0;
    Thread* killer = nullptr;
    bool killerIsDriver = false;

    std::unique_ptr<MessageQueue> queue;            // made on first use of a message call
    std::vector<std::weak_ptr<KernelObject>> owned; // mutexes it has acquired

    std::condition_variable cv;
    std::thread real;
};

class Process final : public KernelObject {
  public:
    Process() : KernelObject(Kind::Process) {}
    bool Signaled(const Thread&) const override { return exited; }

    DWORD id = 0;
    std::u16string exePath;
    std::u16string commandLine;
    HINSTANCE module = nullptr;
    std::vector<Thread*> threads;
    Thread* primary = nullptr;
    bool exited = false;
    DWORD exitCode = STILL_ACTIVE;
    int held[kResourceKinds] = {};
    int heldAtExit[kResourceKinds] = {};
};

inline constexpr uint64_t kNever = UINT64_MAX;

class Device {
  public:
    struct Options {
        // GetTickCount at power-on; set it near 2^32 to cross the wrap.
        DWORD bootTick = 0;
    };

    Device();
    explicit Device(Options options);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // The device that platform calls on this thread act on. Only one Device
    // lives at a time.
    static Device& Current();
    static Device* CurrentOrNull();

    // ---- Driving: for tests and scenarios ---------------------------------

    uint64_t Now() const { return now_; } // virtual ms since power-on
    // Real-time mode paces the clock by the wall clock, for watching live:
    // a jump of the clock then takes as long as it says. Off by default.
    void SetRealTime(bool on);
    bool RealTime() const { return realTime_; }
    DWORD TickCount() const { return static_cast<DWORD>(bootTick_ + now_); }

    void RegisterProgram(std::u16string_view exePath, ProgramMain main);
    // Starts a registered program; its process id, or 0 when none is
    // registered under that path.
    DWORD StartProgram(std::u16string_view exePath, std::u16string_view commandLine = u"");
    // Starts a bare process whose primary thread runs the routine; the
    // process ends with the routine's result.
    DWORD StartProcess(std::string_view name, std::function<DWORD()> routine);

    // Runs ready threads until none is ready; the clock does not move.
    void RunUntilIdle();
    // Runs for ms of virtual time: the clock ends exactly ms later.
    void RunFor(uint64_t ms);
    // Runs until done() holds (checked at every hand-over) or maxMs pass.
    bool RunUntil(const std::function<bool()>& done, uint64_t maxMs);
    bool RunUntilExit(DWORD pid, uint64_t maxMs);
    // Runs the routine as a bare process until it ends; its result. A routine
    // without a result (a test body whose ASSERT may end it early) gives 0.
    template <class Routine> DWORD Call(Routine routine, uint64_t maxMs = 600000) {
        if constexpr (std::is_void_v<std::invoke_result_t<Routine&>>)
            return CallRoutine(
                [routine]() mutable {
                    routine();
                    return DWORD(0);
                },
                maxMs);
        else
            return CallRoutine(std::function<DWORD()>(std::move(routine)), maxMs);
    }
    DWORD CallRoutine(std::function<DWORD()> routine, uint64_t maxMs);

    bool ProcessRunning(DWORD pid) const;
    DWORD ProcessExitCode(DWORD pid) const;        // STILL_ACTIVE while running
    std::vector<DWORD> ProcessIds() const;         // of running processes, in start order
    std::vector<DWORD> ThreadIds(DWORD pid) const; // of its live threads
    DWORD PrimaryThreadId(DWORD pid) const;
    // What a process holds now, or held when it ended.
    int Held(DWORD pid, Resource r) const;
    std::string DescribeHeld(DWORD pid) const; // e.g. "2 kernel handles, 1 heap block"

    Timeline& timeline() { return timeline_; }
    FaultPlan& faults() { return faults_; }
    Registry& registry() { return *registry_; }
    // The contact store, made on first use (defined in pim/store.cpp).
    PimStore& contacts();
    // The cellular network, made on first use (defined in tapi/network.cpp).
    CellularNetwork& network();

    // ---- For the platform areas --------------------------------------------

    // The running emulated thread, or null in the driver's context (platform
    // calls made by a test between runs: process id 0, and they may not block).
    Thread* CurrentThread() const { return current_; }
    Process* CurrentProcess() const { return current_ ? current_->process : nullptr; }
    DWORD CurrentPid() const { return current_ ? current_->process->id : 0; }
    DWORD CurrentTid() const { return current_ ? current_->id : 0; }
    DWORD& LastError();

    Thread* FindThread(DWORD tid) const;
    Process* FindProcess(DWORD pid) const;
    Process* ProcessByModule(HINSTANCE module) const;

    // Kernel handles: device-wide values, never reused, each owned by the
    // process that opened it.
    HANDLE AddHandle(std::shared_ptr<KernelObject> object);
    // A handle that a platform service holds for the process (TAPI's message
    // event, say): valid in it, but not among the handles it is counted for.
    HANDLE AddServiceHandle(std::shared_ptr<KernelObject> object, DWORD pid);
    std::shared_ptr<KernelObject> Resolve(HANDLE h) const; // also the two pseudo-handles
    bool CloseHandleOf(HANDLE h);
    // Named objects share one namespace, as on the phone.
    std::shared_ptr<KernelObject> FindNamed(const std::u16string& name) const;
    void AddNamed(const std::shared_ptr<KernelObject>& object);

    static bool IsPseudoHandle(HANDLE h);
    static HANDLE CurrentThreadPseudoHandle();
    static HANDLE CurrentProcessPseudoHandle();
    std::shared_ptr<Process> SharedProcess(Process* p) const;
    std::shared_ptr<Thread> SharedThread(Thread* t) const;

    // The local heap, one block per LocalAlloc, owned by the calling process.
    void* HeapAlloc(size_t bytes, bool zero);
    bool HeapFree(void* p);
    bool HeapSize(void* p, size_t* bytes) const;

    void Account(Resource r, int delta) { Account(CurrentPid(), r, delta); }
    void Account(DWORD pid, Resource r, int delta);

    // Threads. New threads go to the end of the ready queue when resumed.
    Thread* CreateThreadIn(Process* p, std::function<DWORD()> routine, bool suspended);
    void Resume(Thread* t);
    void Suspend(Thread* t);
    // Ends another thread at once, or the calling thread (does not return).
    void Kill(Thread* t, DWORD code);
    // Ends every thread of the process; the calling thread last.
    void TerminateProcessNow(Process* p, DWORD code);
    [[noreturn]] void ExitCurrentThread(DWORD code);

    // Blocks the calling thread until one of the objects is signaled (its
    // index) or the time-out passes (WAIT_TIMEOUT). No objects: a sleep.
    DWORD Block(std::vector<std::shared_ptr<KernelObject>> objects, DWORD timeoutMs);
    void Yield();
    // To call after anything that may complete a wait.
    void WakeWaiters();

    // Runs fn on the clock at virtual time `at` (not before now).
    void At(uint64_t at, std::function<void()> fn);

    // Called with the process id when a process ends, after its threads.
    void OnProcessExit(std::function<void(DWORD pid)> hook);

    [[noreturn]] static void Fatal(const std::string& message);

  private:
    struct Timed {
        uint64_t at;
        uint64_t seq;
        std::function<void()> fn;
    };

    Process* NewProcess(std::u16string exePath, std::u16string commandLine, HINSTANCE module);
    void StartPrimary(Process* p, std::function<DWORD()> routine);
    void ThreadEntry(Thread* t);
    void FinishThread(Thread* t);
    void EndOtherThreads(Process* p, DWORD code);
    void ProcessEnded(Process* p, DWORD code);

    void Drive(uint64_t limit, const std::function<bool()>* done);
    Thread* PickNext(); // null: the driver's turn
    void SwitchTo(Thread* next, bool nextIsDriver, bool selfWaits);
    void WaitForTurn(Thread* self);
    uint64_t NextDue() const;
    void AdvanceTo(uint64_t t); // moves the clock, in real time when asked
    void FireDue();
    void MakeReady(Thread* t);

    std::mutex baton_;
    std::condition_variable driverCv_;
    Thread* current_ = nullptr; // the emulated thread holding the baton
    bool driverTurn_ = true;

    uint64_t now_ = 0;
    DWORD bootTick_ = 0;
    uint64_t limit_ = 0;
    const std::function<bool()>* done_ = nullptr;
    bool shuttingDown_ = false;
    bool realTime_ = false;
    std::chrono::steady_clock::time_point realBase_;
    uint64_t virtualBase_ = 0;

    std::deque<Thread*> ready_;
    uint64_t waitSeq_ = 0;
    std::vector<Timed> timed_;
    uint64_t timedSeq_ = 0;

    std::map<std::u16string, ProgramMain> programs_;
    std::map<std::u16string, HINSTANCE> programModules_;
    std::map<std::u16string, std::u16string> programPaths_;
    std::vector<std::shared_ptr<Process>> processes_;
    std::vector<std::shared_ptr<Thread>> threads_;
    DWORD nextPid_ = 1;
    DWORD nextTid_ = 100;
    uintptr_t nextModule_ = 0x10000;

    struct HandleEntry {
        std::shared_ptr<KernelObject> object;
        DWORD owner;
        bool counted; // against the owner's kernel handles
    };
    std::map<uintptr_t, HandleEntry> handles_;
    uintptr_t nextHandle_ = 0x1000;
    std::map<std::u16string, std::weak_ptr<KernelObject>> named_;

    struct HeapBlock {
        std::unique_ptr<unsigned char[]> data;
        size_t size;
        DWORD owner;
    };
    std::map<void*, HeapBlock> heap_;

    DWORD driverLastError_ = 0;
    std::vector<std::function<void(DWORD)>> exitHooks_;

    FaultPlan faults_;
    Timeline timeline_;
    std::unique_ptr<Registry> registry_;
    // Shared, so that its deleter comes from pim/ and device.cpp needs no
    // part of it; after the registry, so that it goes while the rest stands.
    std::shared_ptr<PimStore> contacts_;
    // Shared, so that its deleter comes from tapi/ and device.cpp needs no
    // part of it.
    std::shared_ptr<CellularNetwork> network_;
};

} // namespace handset
