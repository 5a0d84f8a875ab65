// The scheduler and the clock.
//
// Every emulated thread is a real thread, but only the holder of the one
// baton runs; the others wait on their own condition variable. The driver
// (the test or scenario) holds the baton between runs. A thread gives the
// baton away only inside a blocking platform call, so the order of events is
// fixed by the program alone and the same inputs give the same timeline.
//
// Timed events and wait deadlines sit in two min-heaps keyed by (due time,
// sequence); a deadline whose wait has ended stays in its heap until it
// comes up and is then dropped, so each costs O(log n). Only threads blocked
// on objects are scanned when something may have been signaled.
#include "device/scheduler.h"

#include <algorithm>

#include "device/platform.h"

namespace handset {

namespace {

thread_local Thread* tls_self = nullptr;

// Heap orders: the earliest (at, sequence) on top.
bool EventLater(const auto& a, const auto& b) {
    return a.at != b.at ? a.at > b.at : a.seq > b.seq;
}
bool DeadlineLater(const auto& a, const auto& b) {
    return a.at != b.at ? a.at > b.at : a.waitSeq > b.waitSeq;
}

} // namespace

void SetSelf(Thread* t) {
    tls_self = t;
}
Thread* Self() {
    return tls_self;
}

// ---- Waiting -----------------------------------------------------------------

DWORD Platform::Block(std::vector<std::shared_ptr<KernelObject>> objects, DWORD timeoutMs) {
    Thread* self = current_;
    if (!self)
        Fatal("a wait was made in the driver's context; run the code that waits on an emulated "
              "thread (Device::Call or StartProcess)");
    for (size_t i = 0; i < objects.size(); ++i) {
        if (!objects[i]->Signaled(*self)) continue;
        objects[i]->Acquire(*self);
        return (objects[i]->TakeAbandoned() ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) +
               static_cast<DWORD>(i);
    }
    if (timeoutMs == 0) return WAIT_TIMEOUT;
    self->waitObjects = std::move(objects);
    self->waitDeadline = timeoutMs == INFINITE ? kNever : now_ + timeoutMs;
    self->waitSeq = ++waitSeq_;
    self->state = Thread::State::Blocked;
    if (!self->waitObjects.empty()) waiting_[self->waitSeq] = self;
    if (self->waitDeadline != kNever) {
        deadlines_.push_back({self->waitDeadline, self->waitSeq, self});
        std::push_heap(deadlines_.begin(), deadlines_.end(), DeadlineLater<Deadline, Deadline>);
    }
    Thread* next = PickNext();
    SwitchTo(next, next == nullptr, true);
    if (self->killed) throw ThreadUnwind{};
    return self->waitResult;
}

void Platform::Yield() {
    Thread* self = current_;
    if (!self) return;
    self->state = Thread::State::Ready;
    ready_.push_back(self);
    Thread* next = PickNext();
    SwitchTo(next, next == nullptr, true);
    if (self->killed) throw ThreadUnwind{};
}

void Platform::WakeWaiters() {
    // In the order they began to wait; a wake may end later waits' chances
    // (an auto-reset event, a mutex), so each is asked afresh.
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        Thread* t = it->second;
        ++it; // MakeReady takes t out
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

void Platform::StopWaiting(Thread* t) {
    if (t->waitSeq) waiting_.erase(t->waitSeq);
    t->waitObjects.clear();
    t->waitDeadline = kNever;
}

void Platform::MakeReady(Thread* t) {
    StopWaiting(t);
    if (t->suspendCount > 0) {
        t->state = Thread::State::Suspended;
        t->wokenWhileSuspended = t->started;
        return;
    }
    t->state = Thread::State::Ready;
    ready_.push_back(t);
}

// ---- Time ----------------------------------------------------------------------

void Platform::At(uint64_t at, std::function<void()> fn) {
    timed_.push_back({std::max(at, now_), ++timedSeq_, std::move(fn)});
    std::push_heap(timed_.begin(), timed_.end(), EventLater<TimedEvent, TimedEvent>);
}

uint64_t Platform::NextDue() {
    // Deadlines of waits that ended otherwise are dropped as they surface.
    while (!deadlines_.empty()) {
        const Deadline& d = deadlines_.front();
        if (d.thread->state == Thread::State::Blocked && d.thread->waitSeq == d.waitSeq) break;
        std::pop_heap(deadlines_.begin(), deadlines_.end(), DeadlineLater<Deadline, Deadline>);
        deadlines_.pop_back();
    }
    uint64_t due = kNever;
    if (!timed_.empty()) due = timed_.front().at;
    if (!deadlines_.empty()) due = std::min(due, deadlines_.front().at);
    return due;
}

void Platform::FireDue() {
    struct OnClock {
        bool& on;
        bool was = on;
        explicit OnClock(bool& flag) : on(flag) { on = true; }
        ~OnClock() { on = was; }
    } clock(onTheClock_);
    // Scheduled events first: what they signal completes waits that end at
    // the same moment.
    while (!timed_.empty() && timed_.front().at <= now_) {
        std::pop_heap(timed_.begin(), timed_.end(), EventLater<TimedEvent, TimedEvent>);
        auto fn = std::move(timed_.back().fn);
        if (tracing_) timeline_.Record("sched.timer", {{"seq", timed_.back().seq}});
        timed_.pop_back();
        fn();
    }
    while (!deadlines_.empty() && deadlines_.front().at <= now_) {
        std::pop_heap(deadlines_.begin(), deadlines_.end(), DeadlineLater<Deadline, Deadline>);
        Deadline d = deadlines_.back();
        deadlines_.pop_back();
        Thread* t = d.thread;
        if (t->state != Thread::State::Blocked || t->waitSeq != d.waitSeq) continue;
        t->waitResult = WAIT_TIMEOUT;
        if (tracing_) timeline_.Record("sched.timeout", {{"thread", t->id}});
        MakeReady(t);
    }
}

void Platform::SetRealTimeMode(bool on, double speed) {
    if (!(speed > 0)) Fatal("SetRealTime: the speed must be above 0");
    realTime_ = on;
    realSpeed_ = speed;
    realBase_ = std::chrono::steady_clock::now();
    virtualBase_ = now_;
}

void Platform::AdvanceTo(uint64_t t) {
    if (t <= now_) return;
    if (realTime_)
        std::this_thread::sleep_until(
            realBase_ +
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double, std::milli>(double(t - virtualBase_) / realSpeed_)));
    now_ = t;
}

// ---- The baton -----------------------------------------------------------------

Thread* Platform::PickNext() {
    for (;;) {
        if (done_ && (*done_)()) return nullptr;
        if (!ready_.empty()) {
            Thread* t = ready_.front();
            ready_.pop_front();
            t->state = Thread::State::Running;
            if (tracing_) timeline_.Record("sched.run", {{"thread", t->id}});
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

void Platform::SwitchTo(Thread* next, bool nextIsDriver, bool selfWaits) {
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

void Platform::WaitForTurn(Thread* self) {
    std::unique_lock<std::mutex> lock(baton_);
    self->cv.wait(lock, [&] { return current_ == self; });
}

void Platform::Drive(uint64_t limit, const std::function<bool()>* done) {
    if (tls_self) Fatal("the device was driven from one of its own threads");
    limit_ = limit;
    done_ = done;
    Thread* next = PickNext();
    if (next) SwitchTo(next, false, true);
    done_ = nullptr;
}

} // namespace handset
