// The fault plan's bookkeeping, and Enter(), the door of every platform call.
#include "device/faults.h"

#include "device/platform.h"

namespace handset {

void FaultPlan::Add(Fault fault) {
    unsigned before = Calls(fault.function);
    rules_.push_back({std::move(fault), before});
}

unsigned FaultPlan::Calls(const std::string& function) const {
    auto it = calls_.find(function);
    return it == calls_.end() ? 0 : it->second;
}

FaultPlan::Verdict FaultPlan::Check(const char* function, DWORD pid) {
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
    return verdict;
}

std::optional<DWORD> Enter(const char* function) {
    Platform& device = Platform::Current();
    FaultPlan::Verdict verdict = device.faults().Check(function, device.CurrentPid());
    // A slow call takes its time on the clock; the driver's own calls cannot wait.
    if (verdict.delayMs != 0 && device.CurrentThread())
        device.Block({}, static_cast<DWORD>(verdict.delayMs));
    return verdict.error;
}

void SetCallerLastError(DWORD error) {
    Platform::Current().LastError() = error;
}

} // namespace handset
