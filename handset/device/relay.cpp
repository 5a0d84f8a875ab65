// The relay's records: how arguments and results are written, and the
// timeline entry of each traced call.
#include "device/relay.h"

#include <cstdio>

namespace handset {

namespace {

thread_local bool tls_countedText = false;

// Calls whose texts come with a count instead of a terminator.
bool TakesCountedText(std::string_view function) {
    static const char* const kCalls[] = {"DrawTextW", "GetTextExtentPoint32W", "ExtTextOutW",
                                         "TextOutW", "GetTextExtentExPointW"};
    for (const char* call : kCalls)
        if (function == call) return true;
    return false;
}

} // namespace

CountedTextScope::CountedTextScope(const char* function) : previous_(tls_countedText) {
    tls_countedText = previous_ || TakesCountedText(function);
}

CountedTextScope::~CountedTextScope() {
    tls_countedText = previous_;
}

bool TracingCalls() {
    Platform* p = Platform::CurrentOrNull();
    return p && p->Tracing();
}

std::string TraceValue(const void* p) {
    if (!p) return "NULL";
    auto value = reinterpret_cast<uintptr_t>(p);
    const HandleTable& table = Platform::Current().handles();
    char buf[32];
    if (const HandleEntry* e = table.Find(value)) {
        if (table.IsSeriesValue(value)) {
            std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(value));
            return buf;
        }
        return std::string(e->kind->name) + "#" + std::to_string(e->seq);
    }
    // Small values are handles of no entry (closed ones, pseudo-handles,
    // predefined keys); they are the same in every run.
    if (value < 0x100000000ull) {
        std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(value));
        return buf;
    }
    return "ptr";
}

std::string TraceValue(const char16_t* text) {
    if (!text) return "NULL";
    // A value below 0x10000 is an ordinal (MAKEINTRESOURCE, MAKEINTATOM),
    // not an address: there is no text to read.
    if (const auto value = reinterpret_cast<uintptr_t>(text); value < 0x10000)
        return "#" + std::to_string(value);
    if (tls_countedText) return TraceValue(static_cast<const void*>(text));
    std::u16string_view s(text);
    bool cut = s.size() > 60;
    return JsonQuote(Narrow(s.substr(0, 60))) + (cut ? "..." : "");
}

std::string TraceValue(char16_t* buffer) {
    return TraceValue(static_cast<const void*>(buffer));
}

void RecordCall(const char* function, const char* names, const std::string& args,
                const std::string& result) {
    Platform& p = Platform::Current();
    std::string params(names);
    if (params.size() >= 2) params = params.substr(1, params.size() - 2); // "(a, b)"
    p.timeline().Record("call", {{"fn", function},
                                 {"params", params},
                                 {"args", args},
                                 {"result", result},
                                 {"error", p.LastError()}});
}

} // namespace handset
