// What the platform areas build on: the emulated threads and processes,
// kernel objects and handles, the scheduler's blocking and waking, the
// clock, the areas themselves and their per-thread states. Tests and
// scenarios drive the phone through Device (device.h), which adds the
// driving half on top of this.
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
#include <typeinfo>
#include <vector>

#include "common/text.h"
#include "device/area.h"
#include "device/faults.h"
#include "device/handles.h"
#include "device/timeline.h"

namespace handset {

class Platform;
class Process;
class Thread;

// Handles of kernel objects: events, mutexes, threads, processes.
inline constexpr HandleKind kKernelHandle{"kernel handle", "kernel handles"};

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

inline constexpr uint64_t kNever = UINT64_MAX;

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
    uint64_t waitDeadline = kNever;
    uint64_t waitSeq = 0; // order in which blocked threads are served
    DWORD waitResult = 0;
    bool wokenWhileSuspended = false;

    // TerminateThread and process exit unwind the thread from its wait.
    bool killed = false;
    DWORD killCode = 0;
    Thread* killer = nullptr;
    bool killerIsDriver = false;

    std::vector<std::weak_ptr<KernelObject>> owned; // mutexes it has acquired
    // The areas' states for this thread, by area type.
    std::map<const void*, std::unique_ptr<ThreadState>> states;

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
    // What it held when it ended, by kind.
    std::map<const HandleKind*, int> heldAtExit;
};

class Platform {
  public:
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    // The phone that platform calls on this thread act on. Only one lives
    // at a time.
    static Platform& Current();
    static Platform* CurrentOrNull();
    [[noreturn]] static void Fatal(const std::string& message);

    // ---- Areas -------------------------------------------------------------
    // The area of type A, made on first use. None is made while the areas
    // are torn down (it would never be destroyed): that is fatal.
    template <class A> A& Get() {
        static_assert(std::is_base_of_v<Area, A>, "an area derives from Area");
        if (Area* a = FindArea(&TypeKey<A>::id)) return static_cast<A&>(*a);
        if (tearingDown_) AskedInTeardown(typeid(A));
        auto made = std::make_unique<A>(*this);
        A& ref = *made;
        AddArea(&TypeKey<A>::id, std::move(made));
        return ref;
    }
    // The area of type A if it was made and has not yet gone, else null.
    template <class A> A* Find() const {
        static_assert(std::is_base_of_v<Area, A>, "an area derives from Area");
        return static_cast<A*>(FindArea(&TypeKey<A>::id));
    }
    // The thread's state of type S, made on first use.
    template <class S> S& Slot(Thread& t) {
        static_assert(std::is_base_of_v<ThreadState, S>, "a thread state derives from ThreadState");
        auto& slot = t.states[&TypeKey<S>::id];
        if (!slot) slot = std::make_unique<S>();
        return static_cast<S&>(*slot);
    }
    template <class S> S* FindSlot(Thread& t) const {
        auto it = t.states.find(&TypeKey<S>::id);
        return it == t.states.end() ? nullptr : static_cast<S*>(it->second.get());
    }

    // ---- Clock, timeline, faults -----------------------------------------
    uint64_t Now() const { return now_; } // virtual ms since power-on
    DWORD TickCount() const { return static_cast<DWORD>(bootTick_ + now_); }
    Timeline& timeline() { return timeline_; }
    FaultPlan& faults() { return faults_; }
    HandleTable& handles() { return handles_; }
    // The trace: every platform call (with its arguments, result and last
    // error), every hand-over of the baton and every timer expiry goes on the
    // timeline. Off by default.
    void SetTracing(bool on) { tracing_ = on; }
    bool Tracing() const { return tracing_; }
    const HandleTable& handles() const { return handles_; }

    // ---- The caller --------------------------------------------------------
    // The running emulated thread, or null in the driver's context (platform
    // calls made by a test between runs: process id 0, and they may not block).
    Thread* CurrentThread() const { return current_; }
    Process* CurrentProcess() const { return current_ ? current_->process : nullptr; }
    DWORD CurrentPid() const { return current_ ? current_->process->id : 0; }
    DWORD CurrentTid() const { return current_ ? current_->id : 0; }
    DWORD& LastError();

    // ---- Programs and processes ------------------------------------------
    void RegisterProgram(std::u16string_view exePath, ProgramMain main);
    bool ProgramRegistered(std::u16string_view exePath) const;
    // The module handle every process of the program gets, or null when no
    // program is registered under that path.
    HINSTANCE ProgramModule(std::u16string_view exePath) const;
    // Whether the value is the module of a registered program or of a process.
    bool IsModule(HINSTANCE module) const;
    // The paths programs are registered under, as registered.
    std::vector<std::u16string> ProgramPaths() const;
    // Starts a registered program; its process id, or 0 when none is
    // registered under that path. The main routine gets the show command
    // (SW_SHOW unless given).
    DWORD StartProgram(std::u16string_view exePath, std::u16string_view commandLine = u"",
                       int showCommand = 5);
    // Starts a bare process whose primary thread runs the routine; the
    // process ends with the routine's result.
    DWORD StartProcess(std::string_view name, std::function<DWORD()> routine);

    Thread* FindThread(DWORD tid) const;
    Process* FindProcess(DWORD pid) const;
    Process* ProcessByModule(HINSTANCE module) const;
    std::shared_ptr<Process> SharedProcess(Process* p) const;
    std::shared_ptr<Thread> SharedThread(Thread* t) const;
    std::vector<DWORD> ProcessIds() const; // of running processes, in start order
    bool ProcessRunning(DWORD pid) const;
    DWORD ProcessExitCode(DWORD pid) const; // STILL_ACTIVE while running

    // ---- Kernel handles ----------------------------------------------------
    // Device-wide values, never reused, each owned by the process that opened it.
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

    // ---- Threads -------------------------------------------------------------
    // New threads go to the end of the ready queue when resumed.
    Thread* CreateThreadIn(Process* p, std::function<DWORD()> routine, bool suspended);
    void Resume(Thread* t);
    void Suspend(Thread* t);
    // Ends another thread at once, or the calling thread (does not return).
    void Kill(Thread* t, DWORD code);
    // Ends every thread of the process; the calling thread last.
    void TerminateProcessNow(Process* p, DWORD code);
    [[noreturn]] void ExitCurrentThread(DWORD code);

    // ---- Scheduling ----------------------------------------------------------
    // Blocks the calling thread until one of the objects is signaled (its
    // index) or the time-out passes (WAIT_TIMEOUT). No objects: a sleep. The
    // driver's context cannot block: that is fatal.
    DWORD Block(std::vector<std::shared_ptr<KernelObject>> objects, DWORD timeoutMs);
    void Yield();
    // To call after anything that may complete a wait.
    void WakeWaiters();
    // Runs fn on the clock at virtual time `at` (not before now).
    void At(uint64_t at, std::function<void()> fn);
    // When the clock next has something to do (a timed event or the end of a
    // wait with a time-out); kNever when nothing is due. For the driver.
    uint64_t NextDueTime() { return NextDue(); }
    // True while the clock fires its timed events and ends waits: what is
    // recorded then is the clock's (process 0), not the thread's that moved
    // it, so that a run split at any quiet moment records the same.
    bool OnTheClock() const { return onTheClock_; }

  protected:
    explicit Platform(DWORD bootTick);
    ~Platform();

    // Runs emulated threads until the clock would pass `limit` or done()
    // holds; the driver's side of the baton.
    void Drive(uint64_t limit, const std::function<bool()>* done);
    void SetRealTimeMode(bool on, double speed);
    bool realTime_ = false;
    double realSpeed_ = 1;

  private:
    struct TimedEvent {
        uint64_t at;
        uint64_t seq;
        std::function<void()> fn;
    };
    struct Deadline {
        uint64_t at;
        uint64_t waitSeq; // the wait it ends; stale once the thread moved on
        Thread* thread;
    };

    Area* FindArea(const void* key) const;
    void AddArea(const void* key, std::unique_ptr<Area> area);
    [[noreturn]] static void AskedInTeardown(const std::type_info& area);

    Process* NewProcess(std::u16string exePath, std::u16string commandLine, HINSTANCE module);
    void StartPrimary(Process* p, std::function<DWORD()> routine);
    void ThreadEntry(Thread* t);
    void FinishThread(Thread* t);
    void EndOtherThreads(Process* p, DWORD code);
    void ProcessEnded(Process* p, DWORD code);

    Thread* PickNext(); // null: the driver's turn
    void SwitchTo(Thread* next, bool nextIsDriver, bool selfWaits);
    void WaitForTurn(Thread* self);
    uint64_t NextDue();
    void AdvanceTo(uint64_t t); // moves the clock, in real time when asked
    void FireDue();
    void MakeReady(Thread* t);
    void StopWaiting(Thread* t);

    // The baton.
    std::mutex baton_;
    std::condition_variable driverCv_;
    Thread* current_ = nullptr; // the emulated thread holding the baton
    bool driverTurn_ = true;

    // The clock and the scheduler.
    uint64_t now_ = 0;
    DWORD bootTick_ = 0;
    uint64_t limit_ = 0;
    const std::function<bool()>* done_ = nullptr;
    bool shuttingDown_ = false;
    bool onTheClock_ = false;
    std::chrono::steady_clock::time_point realBase_;
    uint64_t virtualBase_ = 0;
    std::deque<Thread*> ready_;
    uint64_t waitSeq_ = 0;
    std::map<uint64_t, Thread*> waiting_; // threads blocked on objects, by waitSeq
    std::vector<TimedEvent> timed_;       // a min-heap by (at, seq)
    uint64_t timedSeq_ = 0;
    std::vector<Deadline> deadlines_; // a min-heap by (at, waitSeq)

    // Programs, processes, threads.
    std::map<std::u16string, ProgramMain> programs_;
    std::map<std::u16string, HINSTANCE> programModules_;
    std::map<std::u16string, std::u16string> programPaths_;
    std::map<DWORD, std::shared_ptr<Process>> processes_;
    std::map<DWORD, std::shared_ptr<Thread>> threads_;
    DWORD nextPid_ = 1;
    DWORD nextTid_ = 100;
    uintptr_t nextModule_ = 0x10000;

    HandleTable handles_;
    std::map<std::u16string, std::weak_ptr<KernelObject>> named_;
    DWORD driverLastError_ = 0;
    bool tracing_ = false;

    FaultPlan faults_;
    Timeline timeline_;
    // Areas in order of creation; destroyed in reverse.
    std::vector<std::pair<const void*, std::unique_ptr<Area>>> areas_;
    bool tearingDown_ = false; // the areas are going
};

} // namespace handset
