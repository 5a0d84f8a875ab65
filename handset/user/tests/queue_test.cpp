// Thread message queues: when a thread has one, posting, fetching, filters
// and WM_QUIT.
#include <gtest/gtest.h>

#include <vector>

#include "device/device.h"

using handset::Device;

TEST(MessageQueue, PostingFailsUntilTheThreadUsesAMessageCall) {
    Device d;
    static DWORD target;
    DWORD pid = d.StartProcess("receiver", [] {
        target = GetCurrentThreadId();
        Sleep(100); // no queue yet
        MSG m;
        PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE); // now it has one
        Sleep(100);
        int got = 0;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            got = static_cast<int>(m.message);
        return DWORD(got);
    });
    d.RunFor(50);
    BOOL early = TRUE;
    DWORD earlyError = 0;
    d.Call([&] {
        early = PostThreadMessageW(target, WM_USER + 1, 0, 0);
        earlyError = GetLastError();
        return DWORD(0);
    });
    d.RunFor(100);
    d.Call([] { return DWORD(PostThreadMessageW(target, WM_USER + 2, 0, 0)); });
    d.RunUntilExit(pid, 1000);
    EXPECT_FALSE(early);
    EXPECT_EQ(DWORD(ERROR_INVALID_THREAD_ID), earlyError);
    EXPECT_EQ(DWORD(WM_USER + 2), d.ProcessExitCode(pid));
    d.Call([] {
        EXPECT_FALSE(PostThreadMessageW(12345, WM_USER, 0, 0));
        EXPECT_EQ(DWORD(ERROR_INVALID_THREAD_ID), GetLastError());
        return DWORD(0);
    });
}

TEST(MessageQueue, GetMessageBlocksInOrderAndAnswersZeroForQuit) {
    Device d;
    static std::vector<UINT> seen;
    static std::vector<uint64_t> when;
    seen.clear();
    when.clear();
    static DWORD mainThread;
    DWORD pid = d.StartProcess("loop", [] {
        mainThread = GetCurrentThreadId();
        MSG m;
        PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);
        CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                Sleep(100);
                PostThreadMessageW(mainThread, WM_USER + 1, 7, 8);
                PostThreadMessageW(mainThread, WM_USER + 2, 0, 0);
                Sleep(100);
                PostThreadMessageW(mainThread, WM_QUIT, 3, 0);
                return 0;
            },
            nullptr, 0, nullptr);
        BOOL r;
        while ((r = GetMessageW(&m, nullptr, 0, 0)) != 0) {
            seen.push_back(m.message);
            when.push_back(Device::Current().Now());
        }
        return DWORD(m.wParam);
    });
    d.RunUntilExit(pid, 1000);
    EXPECT_EQ((std::vector<UINT>{WM_USER + 1, WM_USER + 2}), seen);
    EXPECT_EQ((std::vector<uint64_t>{100, 100}), when);
    EXPECT_EQ(3u, d.ProcessExitCode(pid)) << "WM_QUIT ends the loop with its wParam";
    EXPECT_EQ(3u, d.timeline().Count("message.post"));
}

TEST(MessageQueue, FilterSkipsOtherMessagesAndQuitComesLast) {
    Device d;
    d.Call([] {
        DWORD self = GetCurrentThreadId();
        MSG m;
        PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);
        PostQuitMessage(5);
        PostThreadMessageW(self, WM_USER + 1, 0, 0);
        PostThreadMessageW(self, WM_USER + 9, 0, 0);
        EXPECT_TRUE(PeekMessageW(&m, nullptr, WM_USER + 9, WM_USER + 9, PM_REMOVE));
        EXPECT_EQ(UINT(WM_USER + 9), m.message);
        EXPECT_EQ(1, GetMessageW(&m, nullptr, 0, 0));
        EXPECT_EQ(UINT(WM_USER + 1), m.message) << "posted messages come before the quit";
        EXPECT_EQ(0, GetMessageW(&m, nullptr, 0, 0));
        EXPECT_EQ(UINT(WM_QUIT), m.message);
        EXPECT_EQ(5u, m.wParam);
        EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(0, DispatchMessageW(&m)) << "thread messages are not dispatched";
        return DWORD(0);
    });
}
