// Events and mutexes: the kernel's waitable objects that device code makes.
#pragma once

#include "device/platform.h"

namespace handset {

class Event final : public KernelObject {
  public:
    Event(bool manualReset, bool signaled)
        : KernelObject(Kind::Event), manualReset(manualReset), signaled(signaled) {}
    bool Signaled(const Thread&) const override { return signaled; }
    void Acquire(Thread&) override {
        if (!manualReset) signaled = false;
    }

    const bool manualReset;
    bool signaled;
};

// A mutex is owned by a thread, recursively; a thread that ends while owning
// it abandons it, and the next wait on it reports WAIT_ABANDONED.
class Mutex final : public KernelObject {
  public:
    Mutex() : KernelObject(Kind::Mutex) {}
    bool Signaled(const Thread& waiter) const override { return !owner || owner == &waiter; }
    void Acquire(Thread& waiter) override {
        if (owner == &waiter) {
            ++count;
            return;
        }
        owner = &waiter;
        count = 1;
        waiter.owned.push_back(weak_from_this());
        if (abandoned) {
            abandoned = false;
            reportAbandoned = true;
        }
    }
    bool TakeAbandoned() override {
        bool r = reportAbandoned;
        reportAbandoned = false;
        return r;
    }
    void OwnerExited(Thread& t) override {
        if (owner != &t) return;
        owner = nullptr;
        count = 0;
        abandoned = true;
    }

    Thread* owner = nullptr;
    unsigned count = 0;
    bool abandoned = false;
    bool reportAbandoned = false;
};

} // namespace handset
