// The fault plan: any platform call can be made to fail with its documented
// error, always or from its Nth call on, or at random from a seed, or to take
// time before it returns. Calls are named as their areas' tables declare them
// (platform_calls.h); any other name stops the run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/prng.h"

namespace handset {

struct Fault {
    std::string function; // the platform call's name, e.g. "RegOpenKeyExW"
    DWORD error = 0;      // what the call reports; 0 with delayMs: only slow
    unsigned nth = 0;     // 0: every call; N: the Nth call after the fault was added
    unsigned times = 1;   // with nth: how many calls from the Nth on fail
    uint64_t delayMs = 0; // virtual time the call takes before it returns
    DWORD pid = 0;        // 0: any process
};

class FaultPlan {
  public:
    // Stops the run when no platform call has the fault's name, or when the
    // fault would fail a call that has no failure result (it may slow it).
    void Add(Fault fault);
    void FailAlways(std::string function, DWORD error) { Add({std::move(function), error}); }
    void FailNth(std::string function, unsigned nth, DWORD error, unsigned times = 1) {
        Add({std::move(function), error, nth, times});
    }
    void Slow(std::string function, uint64_t delayMs) {
        Add({std::move(function), 0, 0, 1, delayMs});
    }
    // From now on each call the filter admits (every call, without one)
    // fails with the probability, with one of its documented errors; the
    // seed makes the run repeat exactly. Calls without a failure result are
    // left alone. Replaces any random plan before it.
    using Filter = std::function<bool(std::string_view function)>;
    void Random(uint64_t seed, double probability, Filter filter = {});
    // The random plan's seed, while there is one.
    std::optional<uint64_t> Seed() const;

    void Clear() {
        rules_.clear();
        random_.reset();
    }

    // How often the call has been made since power-on; stops the run for a
    // name that no platform call has.
    unsigned Calls(const std::string& function) const;

    // For the platform call itself: counts the call, and says whether it
    // fails (the error) and how long it takes.
    struct Verdict {
        std::optional<DWORD> error;
        bool random = false; // the error came from the random plan
        uint64_t delayMs = 0;
    };
    Verdict Check(const char* function, DWORD pid);

  private:
    struct Rule {
        Fault fault;
        unsigned callsBefore;
    };
    struct RandomPlan {
        uint64_t seed;
        double probability;
        Filter filter;
        Prng prng;
    };
    std::vector<Rule> rules_;
    std::optional<RandomPlan> random_;
    std::map<std::string, unsigned> calls_;
};

// The first thing every platform call does: counts the call, takes its
// planned time, and gives the error to report if it is to fail. A call with
// no failure result ignores the answer: for it the plan can only count and
// slow. The name must be in its area's table (calls_table.cpp).
std::optional<DWORD> Enter(const char* function);

// Ends the run where device code asks for something the handset does not
// emulate, naming the call and what it asked for:
//   handset: not emulated: RegCreateKeyExW: dwOptions REG_OPTION_VOLATILE
// Where the phone itself refuses the request, its documented error is
// returned instead.
[[noreturn]] void NotEmulated(const char* function, const std::string& argument = {});
// "0x0000001A", for the arguments NotEmulated names.
std::string Hex32(DWORD value);

// How a call that reports through the last error fails: sets it, and gives
// the call's failure result.
void SetCallerLastError(DWORD error);
template <class R> R Fail(DWORD error, R result) {
    SetCallerLastError(error);
    return result;
}

} // namespace handset
