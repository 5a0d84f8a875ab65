// A ten-minute locked call with the defaults: the lock, 600 clock repaints,
// the interval signals and the screen going dark, simulated on the handset.
// The figure is how many times faster than real time the ten minutes run,
// measured by the wall clock around the whole call.
#include <benchmark/benchmark.h>

#include "testing/phone.h"

namespace {

constexpr uint64_t kCallMs = 10 * 60 * 1000;

void BM_TenMinuteLockedCall(benchmark::State& state) {
    uint64_t repaints = 0;
    for (auto _ : state) {
        state.PauseTiming();
        lockprogram::Phone p;
        p.Start();
        p.CallFromAnna(p.d.Now(), kCallMs);
        p.d.RunFor(2000); // ringing
        size_t before = p.d.timeline().Count("timer.fire");
        state.ResumeTiming();
        p.d.RunFor(kCallMs + 1000);
        state.PauseTiming();
        repaints += p.d.timeline().Count("timer.fire") - before;
        if (g_lockState.lockWindow) state.SkipWithError("the call did not unlock at its end");
        state.ResumeTiming();
    }
    state.counters["timer_fires_per_call"] =
        benchmark::Counter(double(repaints) / double(state.iterations()));
    // Virtual ms per real ms: items are virtual milliseconds.
    state.SetItemsProcessed(int64_t(state.iterations() * (kCallMs + 1000)));
}
BENCHMARK(BM_TenMinuteLockedCall)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
