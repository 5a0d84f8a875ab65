// Thread message queues: a thread state of the Messages area. A thread gets
// its queue the first time it uses a message call; until then messages
// posted to it fail.
#pragma once

#include <deque>

#include "device/platform.h"

namespace handset {

class MessageQueue final : public KernelObject, public ThreadState {
  public:
    MessageQueue() : KernelObject(Kind::Queue) {}
    // Signaled when a message that the waiting GetMessageW's filter takes is there.
    bool Signaled(const Thread&) const override;

    // Takes (or, without remove, copies) the first message that the filter
    // lets through; posted messages come before a pending quit.
    bool Take(MSG* out, HWND hwnd, UINT min, UINT max, bool remove);
    bool Matches(const MSG& m, HWND hwnd, UINT min, UINT max) const;

    std::deque<MSG> posted;
    bool quitPending = false;
    int quitCode = 0;
    // The filter of the GetMessageW that waits.
    HWND filterHwnd = nullptr;
    UINT filterMin = 0;
    UINT filterMax = 0;

    static constexpr size_t kLimit = 10000; // posted messages a queue holds
};

class Messages final : public Area {
  public:
    using Area::Area;
    // The calling thread's queue, made on first use.
    MessageQueue& Own();
    // The thread's queue, or null when it has none yet.
    MessageQueue* Of(Thread& t) { return platform_.FindSlot<MessageQueue>(t); }
};

// The calling thread's queue, made on first use.
MessageQueue& OwnQueue();

} // namespace handset
