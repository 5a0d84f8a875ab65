// The driving half of the Device: running the clock for tests and
// scenarios, and reading back what processes hold.
#include "device/device.h"

namespace handset {

Device::Device() : Device(Options{}) {}
Device::Device(Options options) : Platform(options.bootTick) {
    SetTracing(options.trace);
}
Device::~Device() = default;

Device& Device::Current() {
    return static_cast<Device&>(Platform::Current());
}

void Device::RunUntilIdle() {
    Drive(Now(), nullptr);
}

void Device::RunFor(uint64_t ms) {
    Drive(Now() + ms, nullptr);
}

bool Device::RunUntil(const std::function<bool()>& done, uint64_t maxMs) {
    if (done()) return true;
    Drive(Now() + maxMs, &done);
    return done();
}

bool Device::RunUntilExit(DWORD pid, uint64_t maxMs) {
    return RunUntil([this, pid] { return !ProcessRunning(pid); }, maxMs);
}

DWORD Device::CallRoutine(std::function<DWORD()> routine, uint64_t maxMs) {
    DWORD pid = StartProcess("call", std::move(routine));
    RunUntilExit(pid, maxMs);
    return ProcessExitCode(pid);
}

std::vector<DWORD> Device::ThreadIds(DWORD pid) const {
    std::vector<DWORD> ids;
    if (Process* p = FindProcess(pid))
        for (Thread* t : p->threads)
            if (t->state != Thread::State::Exited) ids.push_back(t->id);
    return ids;
}

DWORD Device::PrimaryThreadId(DWORD pid) const {
    Process* p = FindProcess(pid);
    return p && p->primary ? p->primary->id : 0;
}

std::map<const HandleKind*, int> Device::HeldBy(DWORD pid) const {
    Process* p = FindProcess(pid);
    if (p && p->exited) return p->heldAtExit;
    return handles().HeldBy(pid);
}

int Device::Held(DWORD pid, const HandleKind& kind) const {
    auto held = HeldBy(pid);
    auto it = held.find(&kind);
    return it == held.end() ? 0 : it->second;
}

std::string Device::DescribeHeld(DWORD pid) const {
    return handset::DescribeHeld(HeldBy(pid));
}

} // namespace handset
