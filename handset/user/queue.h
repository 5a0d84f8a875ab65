// Thread message queues: the window manager's state for each thread. A
// thread gets its queue the first time it uses a message call, registers a
// window class or creates a window; until then messages posted to it fail.
//
// What GetMessageW finds, in Win32's order: messages sent from other threads
// (handled inside the call, never returned), posted messages, input (stylus
// and keys), the quit request, then WM_PAINT for a window with something to
// repaint, then WM_TIMER for a timer that has expired.
#pragma once

#include <deque>
#include <memory>

#include "device/platform.h"

namespace handset {

class WindowManager;

// A message SendMessageW hands to another thread: the sender waits on it
// until the receiver has run the window procedure. The system's own
// notices to other threads (activation, focus) do not wait.
class SentMessage final : public KernelObject {
  public:
    SentMessage() : KernelObject(Kind::Other) {}
    bool Signaled(const Thread&) const override { return done; }

    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
};

// What other threads sent to this one; signaled while anything waits, so
// that a thread waiting for its own SendMessageW's answer still serves it.
class Inbox final : public KernelObject {
  public:
    Inbox() : KernelObject(Kind::Other) {}
    bool Signaled(const Thread&) const override { return !sent.empty(); }
    std::deque<std::shared_ptr<SentMessage>> sent;
};

class MessageQueue final : public KernelObject, public ThreadState {
  public:
    MessageQueue() : KernelObject(Kind::Queue) {}
    // Signaled when something that the waiting GetMessageW's filter takes is
    // there, or a message was sent.
    bool Signaled(const Thread&) const override;

    bool Matches(const MSG& m, HWND hwnd, UINT min, UINT max) const;

    WindowManager* manager = nullptr;
    DWORD tid = 0;
    std::deque<MSG> posted;
    std::deque<MSG> input; // stylus and keys
    std::shared_ptr<Inbox> inbox = std::make_shared<Inbox>();
    bool quitPending = false;
    int quitCode = 0;
    // The filter of the GetMessageW that waits.
    HWND filterHwnd = nullptr;
    UINT filterMin = 0;
    UINT filterMax = 0;
    // The thread's active window and the window with its keyboard focus.
    HWND active = nullptr;
    HWND focus = nullptr;

    static constexpr size_t kLimit = 10000; // posted messages a queue holds
};

// The calling thread's queue, made on first use.
MessageQueue& OwnQueue();

} // namespace handset
