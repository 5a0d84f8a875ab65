// The fault plan's bookkeeping, Enter(), the door of every platform call, and
// NotEmulated(), the one way out for what the handset does not do.
#include "device/faults.h"

#include <cstdio>
#include <cstdlib>

#include "device/platform.h"
#include "device/platform_calls.h"

namespace handset {

namespace {

const PlatformCall& Known(std::string_view function, const char* asker) {
    const PlatformCall* call = FindPlatformCall(function);
    if (!call)
        Platform::Fatal(std::string(asker) + ": no platform call is named \"" +
                        std::string(function) + "\"");
    return *call;
}

} // namespace

void FaultPlan::Add(Fault fault) {
    const PlatformCall& call = Known(fault.function, "FaultPlan");
    if (fault.error != 0 && call.errors.empty())
        Platform::Fatal("FaultPlan: " + fault.function +
                        " has no failure result; it can be slowed, not failed");
    unsigned before = Calls(fault.function);
    rules_.push_back({std::move(fault), before});
}

void FaultPlan::Random(uint64_t seed, double probability, Filter filter) {
    random_.emplace(RandomPlan{seed, probability, std::move(filter), Prng(seed)});
}

std::optional<uint64_t> FaultPlan::Seed() const {
    if (!random_) return std::nullopt;
    return random_->seed;
}

unsigned FaultPlan::Calls(const std::string& function) const {
    Known(function, "FaultPlan::Calls");
    auto it = calls_.find(function);
    return it == calls_.end() ? 0 : it->second;
}

FaultPlan::Verdict FaultPlan::Check(const char* function, DWORD pid) {
    const PlatformCall& known = Known(function, "Enter");
    unsigned call = ++calls_[function];
    Verdict verdict;
    for (const Rule& rule : rules_) {
        const Fault& f = rule.fault;
        if (f.function != function || (f.pid != 0 && f.pid != pid)) continue;
        unsigned index = call - rule.callsBefore; // 1 for the first call after Add
        bool hit = f.nth == 0 || (index >= f.nth && index < f.nth + f.times);
        if (!hit) continue;
        verdict.delayMs += f.delayMs;
        if (f.error != 0 && !verdict.error) verdict.error = f.error;
    }
    // The random plan draws only for the calls it may fail, so that what it
    // does to one call does not depend on how often others were made.
    if (!verdict.error && random_ && !known.errors.empty() &&
        (!random_->filter || random_->filter(function)) &&
        random_->prng.Chance(random_->probability)) {
        verdict.error = known.errors[random_->prng.Below(known.errors.size())];
        verdict.random = true;
    }
    return verdict;
}

std::optional<DWORD> Enter(const char* function) {
    Platform& device = Platform::Current();
    FaultPlan::Verdict verdict = device.faults().Check(function, device.CurrentPid());
    if (verdict.random)
        device.timeline().Record("fault.random", {{"call", function}, {"error", *verdict.error}});
    // A slow call takes its time on the clock; the driver's own calls cannot wait.
    if (verdict.delayMs != 0 && device.CurrentThread())
        device.Block({}, static_cast<DWORD>(verdict.delayMs));
    return verdict.error;
}

void SetCallerLastError(DWORD error) {
    Platform::Current().LastError() = error;
}

void NotEmulated(const char* function, const std::string& argument) {
    if (argument.empty())
        std::fprintf(stderr, "handset: not emulated: %s\n", function);
    else
        std::fprintf(stderr, "handset: not emulated: %s: %s\n", function, argument.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string Hex32(DWORD value) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

} // namespace handset
