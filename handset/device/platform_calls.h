// The platform calls the handset emulates, each with the errors it reports
// when it fails on the phone. Every area declares its own calls in a table
// of its own (<area>/calls_table.cpp); the fault plan knows no other names,
// so a misspelt one stops the run instead of planning nothing.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string_view>
#include <vector>

namespace handset {

struct PlatformCall {
    const char* name; // as Enter() and the fault plan spell it, e.g. "RegOpenKeyExW"
    // What it reports when it fails, the likeliest first. Empty: it has no
    // failure result (a void call, GetTickCount), so it can be counted and
    // slowed but never failed.
    std::vector<DWORD> errors;
};

// An area's table, registered when the program starts: one object per area,
// at namespace scope in its calls_table.cpp. Two tables naming one call stop
// the run.
class PlatformCallTable {
  public:
    PlatformCallTable(const char* area, std::initializer_list<PlatformCall> calls);
};

// The call of that name, or null when no area declares it.
const PlatformCall* FindPlatformCall(std::string_view name);
// Every declared call, in no particular order.
std::vector<const PlatformCall*> AllPlatformCalls();

} // namespace handset
