// A ten-minute locked call as a scenario script against the same call driven
// by the C++ fixture, each timed whole: a fresh phone, Tessaril installed and
// started, Anna's call rung, answered, held for ten minutes and hung up; the
// script's run also writes its screenshot, timeline, speaker.wav and report.
// The figure is how many times faster than real time each runs.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "script/run.h"
#include "summary.h"
#include "testing/phone.h"

namespace {

constexpr uint64_t kTalkMs = 10 * 60 * 1000;

const char* kScript = R"(contact "Anna Smith" mobile +44 7700 900123
install
start Tessaril
wait 1s
gsm call 07700900123
wait 2s
gsm accept 07700900123
expect lock shown within 100ms
shot locked
wait 10m
gsm cancel 07700900123
expect lock gone within 2s
)";

void BM_Script(benchmark::State& state) {
    using namespace handset::script;
    Script script;
    std::vector<Error> errors;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "script_bench";
    std::filesystem::create_directories(dir);
    uint64_t virtualMs = 0;
    for (auto _ : state) {
        if (!Parse(kScript, "call.scenario", ".", &script, &errors))
            return state.SkipWithError(errors[0].Text().c_str());
        Outcome o = Run(script, script.sizes[0], dir);
        if (!o.Passed()) return state.SkipWithError("the scenario failed");
        virtualMs += o.virtualMs;
    }
    std::filesystem::remove_all(dir);
    // Items are virtual milliseconds: items per second / 1000 is the ratio.
    state.SetItemsProcessed(int64_t(virtualMs));
}
BENCHMARK(BM_Script)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Fixture(benchmark::State& state) {
    uint64_t virtualMs = 0;
    for (auto _ : state) {
        lockprogram::Phone p;
        p.Start();
        p.CallFromAnna(p.d.Now(), kTalkMs);
        p.d.RunFor(2000 + kTalkMs + 2000);
        if (g_lockState.lockWindow) return state.SkipWithError("the call did not unlock");
        virtualMs += p.d.Now();
    }
    state.SetItemsProcessed(int64_t(virtualMs));
}
BENCHMARK(BM_Fixture)->Unit(benchmark::kMillisecond)->UseRealTime();

void PrintSummary(const bench::Figures& rates) {
    std::printf("\n  ten-minute locked call, times faster than real time (the goal: 1000)\n");
    for (const auto& [name, rate] : rates)
        std::printf("  %-10s %8.0f\n", name.c_str(), rate / 1000);
}

} // namespace

int main(int argc, char** argv) {
    return bench::RunWithSummary(
        argc, argv,
        [](const bench::Run& r) {
            return r.run_name.function_name == "BM_Script" ? std::string("script")
                                                           : std::string("fixture");
        },
        bench::Counter("items_per_second"), PrintSummary);
}
