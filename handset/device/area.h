// The seam through which a platform area (registry, cellular network,
// message queues, GDI, ...) plugs into the Device. An area is made on first
// use by Platform::Get<A>(), hears of every thread and process that ends, and
// is destroyed in reverse order of creation, so an area outlives every area
// made after it (including those it made itself). None is made while they
// are destroyed: an area's destructor finds another with Platform::Find<A>().
//
// Adding an area: one folder under handset/, one Area subclass with a
// constructor taking Platform&, and one add_subdirectory() line.
#pragma once

namespace handset {

class Platform;
class Process;
class Thread;

class Area {
  public:
    explicit Area(Platform& platform) : platform_(platform) {}
    virtual ~Area() = default;
    Area(const Area&) = delete;
    Area& operator=(const Area&) = delete;

    // A thread ended; its thread states are still there.
    virtual void ThreadExited(Thread& thread) {}
    // A process ended, after its threads and before the handle table takes
    // back what the process still held.
    virtual void ProcessExited(Process& process) {}

  protected:
    Platform& platform_;
};

// An area's state for one thread (a message queue, a COM apartment, ...),
// made on first use by Platform::Slot<S>() and dropped when the thread ends.
class ThreadState {
  public:
    virtual ~ThreadState() = default;
};

// A distinct address per type: the key of an area or a thread state.
template <class T> struct TypeKey { static inline const char id = 0; };

} // namespace handset
