// The Device: one emulated Windows Mobile phone, as tests and scenarios
// drive it: start programs, run the clock, and read back what each process
// holds. The platform areas build on its other half, Platform (platform.h);
// an area's own driving calls (the network's calls, the registry's values)
// are reached through Get<Area>().
#pragma once

#include "device/platform.h"

namespace handset {

class Device final : public Platform {
  public:
    struct Options {
        // GetTickCount at power-on; set it near 2^32 to cross the wrap.
        DWORD bootTick = 0;
        // Trace platform calls, hand-overs and timer expiries (SetTracing).
        bool trace = false;
    };

    Device();
    explicit Device(Options options);
    ~Device();

    static Device& Current();

    // Real-time mode paces the clock by the wall clock, for watching live:
    // a jump of the clock then takes as long as it says, divided by the
    // speed (10: ten virtual seconds in one). Off by default.
    void SetRealTime(bool on, double speed = 1) { SetRealTimeMode(on, speed); }
    bool RealTime() const { return realTime_; }

    // Runs ready threads until none is ready; the clock does not move.
    void RunUntilIdle();
    // Runs for ms of virtual time: the clock ends exactly ms later.
    void RunFor(uint64_t ms);
    // Runs until done() holds (checked at every hand-over) or maxMs pass.
    bool RunUntil(const std::function<bool()>& done, uint64_t maxMs);
    bool RunUntilExit(DWORD pid, uint64_t maxMs);
    // Runs the routine as a bare process until it ends; its result. A routine
    // without a result (a test body whose ASSERT may end it early) gives 0.
    template <class Routine> DWORD Call(Routine routine, uint64_t maxMs = 600000) {
        if constexpr (std::is_void_v<std::invoke_result_t<Routine&>>)
            return CallRoutine(
                [routine]() mutable {
                    routine();
                    return DWORD(0);
                },
                maxMs);
        else
            return CallRoutine(std::function<DWORD()>(std::move(routine)), maxMs);
    }
    DWORD CallRoutine(std::function<DWORD()> routine, uint64_t maxMs);

    std::vector<DWORD> ThreadIds(DWORD pid) const; // of its live threads
    DWORD PrimaryThreadId(DWORD pid) const;
    // What a process holds now, or held when it ended.
    int Held(DWORD pid, const HandleKind& kind) const;
    std::map<const HandleKind*, int> HeldBy(DWORD pid) const;
    std::string DescribeHeld(DWORD pid) const; // e.g. "2 kernel handles, 1 heap block"
};

} // namespace handset
