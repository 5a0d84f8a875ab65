// A stand-in for the lock program's main thread: it starts the call
// monitor, records every thread message it receives with the LockState the
// message announced, and stops the monitor on WM_EXIT_PROGRAM.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "callmon/callmon.h"
#include "core/lock_state.h"
#include "device/device.h"
#include "pim/store.h"
#include "tapi/network.h"
#include "testing/lock_testing.h"

namespace harness {

struct Seen {
    UINT message;
    uint64_t at;
    std::u16string number;
    std::u16string name;
    bool incoming;
    DWORD startTick;
    HCALL call;
};

struct MainThread {
    handset::Device& d;
    DWORD pid = 0;
    DWORD tid = 0;
    BOOL started = FALSE;
    uint64_t exitAsked = 0;
    uint64_t stopped = 0;
    std::vector<Seen> seen;
    int dropsOnLock = 0;       // DropActiveCall this often on every lock
    bool dropOnUnlock = false; // and once on every unlock

    explicit MainThread(handset::Device& device) : d(device) {
        ResetLockProgramGlobals(); // globals outlive a Device
        pid = d.StartProcess("Tessaril.exe", [this] { return Run(); });
        d.RunUntilIdle();
    }

    DWORD Run() {
        tid = GetCurrentThreadId();
        MSG m;
        PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE); // the queue exists before the monitor posts
        started = StartCallMonitor(tid);
        if (!started) return 1;
        while (GetMessageW(&m, nullptr, 0, 0)) {
            if (m.message == WM_EXIT_PROGRAM) break;
            seen.push_back({m.message, d.Now(), g_lockState.callNumber, g_lockState.callerName,
                            g_lockState.isIncoming, g_lockState.callStartTick,
                            g_lockState.activeCall});
            if (m.message == WM_LOCK_SCREEN)
                for (int i = 0; i < dropsOnLock; ++i)
                    DropActiveCall();
            if (m.message == WM_UNLOCK_SCREEN && dropOnUnlock) DropActiveCall();
        }
        exitAsked = d.Now();
        StopCallMonitor();
        stopped = d.Now();
        return 0;
    }

    // Asks the stand-in to stop, as the configuration program would, and
    // runs until its process has ended.
    void Exit() {
        DWORD target = tid;
        d.Call([target] { return DWORD(PostThreadMessageW(target, WM_EXIT_PROGRAM, 0, 0)); });
        d.RunUntilExit(pid, 10000);
    }

    std::vector<UINT> Messages() const {
        std::vector<UINT> out;
        for (const Seen& s : seen)
            out.push_back(s.message);
        return out;
    }

    // The exit code of the monitor thread (the process's second thread).
    DWORD MonitorExitCode() const {
        for (const auto* e : d.timeline().Find("thread.exit"))
            if (e->pid == pid && e->tid != tid)
                return static_cast<DWORD>(std::stoul(e->Get("code")));
        return STILL_ACTIVE;
    }
};

inline std::string Describe(const std::vector<UINT>& messages) {
    std::string out;
    for (UINT m : messages) {
        out += m == WM_LOCK_SCREEN ? "lock " : m == WM_UNLOCK_SCREEN ? "unlock " : "other ";
    }
    return out;
}

} // namespace harness
