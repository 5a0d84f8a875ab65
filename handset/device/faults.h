// The fault plan: any platform call can be made to fail with its documented
// error, always or from its Nth call on, or to take time before it returns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

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
    void Add(Fault fault);
    void FailAlways(std::string function, DWORD error) { Add({std::move(function), error}); }
    void FailNth(std::string function, unsigned nth, DWORD error, unsigned times = 1) {
        Add({std::move(function), error, nth, times});
    }
    void Slow(std::string function, uint64_t delayMs) {
        Add({std::move(function), 0, 0, 1, delayMs});
    }
    void Clear() { rules_.clear(); }

    // How often the call has been made since power-on.
    unsigned Calls(const std::string& function) const;

    // For the platform call itself: counts the call, and says whether it
    // fails (the error) and how long it takes.
    struct Verdict {
        std::optional<DWORD> error;
        uint64_t delayMs = 0;
    };
    Verdict Check(const char* function, DWORD pid);

  private:
    struct Rule {
        Fault fault;
        unsigned callsBefore;
    };
    std::vector<Rule> rules_;
    std::map<std::string, unsigned> calls_;
};

// The first thing every platform call does: counts the call, takes its
// planned time, and gives the error to report if it is to fail.
std::optional<DWORD> Enter(const char* function);

// How a call that reports through the last error fails: sets it, and gives
// the call's failure result.
void SetCallerLastError(DWORD error);
template <class R> R Fail(DWORD error, R result) {
    SetCallerLastError(error);
    return result;
}

} // namespace handset
