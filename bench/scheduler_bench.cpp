// The handset's scheduler: hand-overs between two emulated threads, and
// timer expiries with 10, 100 and 1000 timers pending. Each runs beside a
// baseline on the same machine: a bare condition-variable ping-pong between
// two real threads (the floor of a hand-over, which the handset's baton
// builds on), and a bare binary heap doing the same pops and pushes.
//
// Expiries per second should not fall with the number pending beyond the
// log n of the heap.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "device/device.h"

namespace {

// Two emulated threads wake each other through two auto-reset events; one
// round trip is two hand-overs.
void BM_HandsetHandover(benchmark::State& state) {
    handset::Device d;
    HANDLE ping = nullptr, pong = nullptr;
    bool stop = false;
    uint64_t rounds = 0;
    DWORD pid = d.StartProcess("pingpong", [&] {
        ping = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        pong = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        HANDLE t = CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                auto* events = static_cast<HANDLE*>(p);
                for (;;) {
                    WaitForSingleObject(events[0], INFINITE);
                    SetEvent(events[1]);
                }
            },
            &ping, 0, nullptr);
        CloseHandle(t);
        while (!stop) {
            SetEvent(ping);
            WaitForSingleObject(pong, INFINITE);
            ++rounds;
            if (rounds % 1000 == 0) Sleep(1); // the driver's turn comes at each ms
        }
        return DWORD(0);
    });
    d.RunUntilIdle();
    for (auto _ : state) {
        uint64_t before = rounds;
        d.RunFor(1);
        benchmark::DoNotOptimize(rounds - before);
    }
    state.SetItemsProcessed(static_cast<int64_t>(rounds * 2));
    stop = true;
    d.RunUntilExit(pid, 10);
}
BENCHMARK(BM_HandsetHandover)->UseRealTime();

// The same round trips between two real threads with a mutex and two
// condition variables.
void BM_CondvarHandover(benchmark::State& state) {
    std::mutex m;
    std::condition_variable cv;
    int turn = 0; // 0: main, 1: partner, 2: stop
    std::thread partner([&] {
        std::unique_lock lock(m);
        for (;;) {
            cv.wait(lock, [&] { return turn != 0; });
            if (turn == 2) return;
            turn = 0;
            cv.notify_all();
        }
    });
    uint64_t rounds = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            std::unique_lock lock(m);
            turn = 1;
            cv.notify_all();
            cv.wait(lock, [&] { return turn == 0; });
        }
        rounds += 1000;
    }
    {
        std::lock_guard lock(m);
        turn = 2;
    }
    cv.notify_all();
    partner.join();
    state.SetItemsProcessed(static_cast<int64_t>(rounds * 2));
}
BENCHMARK(BM_CondvarHandover)->UseRealTime();

// n timers pending on the clock, each re-arming itself n ms on when it
// fires, so n stay pending while the clock runs.
void BM_HandsetTimerExpiries(benchmark::State& state) {
    const auto n = static_cast<uint64_t>(state.range(0));
    handset::Device d;
    uint64_t fired = 0;
    std::function<void(uint64_t)> arm = [&](uint64_t at) {
        d.At(at, [&, at] {
            ++fired;
            arm(at + n);
        });
    };
    for (uint64_t i = 0; i < n; ++i)
        arm(i + 1);
    for (auto _ : state)
        d.RunFor(1000);
    state.SetItemsProcessed(static_cast<int64_t>(fired));
}
BENCHMARK(BM_HandsetTimerExpiries)->Arg(10)->Arg(100)->Arg(1000);

// The same pops and pushes on a bare heap of n due times.
void BM_HeapExpiries(benchmark::State& state) {
    const auto n = static_cast<uint64_t>(state.range(0));
    std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> heap;
    for (uint64_t i = 0; i < n; ++i)
        heap.push(i + 1);
    uint64_t fired = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            uint64_t at = heap.top();
            heap.pop();
            heap.push(at + n);
            ++fired;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(fired));
}
BENCHMARK(BM_HeapExpiries)->Arg(10)->Arg(100)->Arg(1000);

// n emulated threads sleeping in turn: every expiry ends a wait and hands
// the baton over.
void BM_HandsetSleepers(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    handset::Device d;
    uint64_t woken = 0;
    bool stop = false;
    std::pair<uint64_t*, int> ctx{&woken, n};
    DWORD pid = d.StartProcess("sleepers", [&] {
        for (int i = 1; i < n; ++i) {
            HANDLE t = CreateThread(
                nullptr, 0,
                [](LPVOID p) -> DWORD {
                    auto* ctx = static_cast<std::pair<uint64_t*, int>*>(p);
                    for (;;) {
                        Sleep(static_cast<DWORD>(ctx->second));
                        ++*ctx->first;
                    }
                },
                &ctx, 0, nullptr);
            CloseHandle(t);
        }
        while (!stop) {
            Sleep(static_cast<DWORD>(n));
            ++woken;
        }
        return DWORD(0);
    });
    d.RunUntilIdle();
    for (auto _ : state)
        d.RunFor(static_cast<uint64_t>(n) * 10);
    state.SetItemsProcessed(static_cast<int64_t>(woken));
    stop = true;
    d.RunUntilExit(pid, static_cast<uint64_t>(n) + 1);
}
BENCHMARK(BM_HandsetSleepers)->Arg(10)->Arg(100)->Arg(1000)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
