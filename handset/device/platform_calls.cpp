// The registry of platform calls that the areas' tables fill at start-up.
#include "device/platform_calls.h"

#include <deque>
#include <map>
#include <string>

#include "device/platform.h"

namespace handset {

namespace {

struct Registered {
    std::deque<PlatformCall> calls; // stable addresses
    std::map<std::string_view, std::pair<const PlatformCall*, const char*>> byName;
};

// Made on first use: the tables register during static initialisation, in
// whatever order the linker gives.
Registered& Calls() {
    static Registered registered;
    return registered;
}

} // namespace

PlatformCallTable::PlatformCallTable(const char* area, std::initializer_list<PlatformCall> calls) {
    Registered& r = Calls();
    for (const PlatformCall& call : calls) {
        const PlatformCall& kept = r.calls.emplace_back(call);
        auto [it, added] = r.byName.emplace(kept.name, std::make_pair(&kept, area));
        if (!added)
            Platform::Fatal(std::string("platform call ") + call.name + " is declared by both " +
                            it->second.second + " and " + area);
    }
}

const PlatformCall* FindPlatformCall(std::string_view name) {
    const Registered& r = Calls();
    auto it = r.byName.find(name);
    return it == r.byName.end() ? nullptr : it->second.first;
}

std::vector<const PlatformCall*> AllPlatformCalls() {
    std::vector<const PlatformCall*> all;
    for (const PlatformCall& call : Calls().calls)
        all.push_back(&call);
    return all;
}

} // namespace handset
