// The relay: every platform call is defined through HANDSET_API, which
// wraps its body so that, while the Device traces, the call is recorded on
// the timeline with its arguments, result and last error, as a relay trace
// would show it. When tracing is off the wrapper costs one test.
//
//   HANDSET_API(BOOL, CloseHandle, (HANDLE hObject), (hObject)) {
//       ... the call's body ...
//   }
//
// Values are written so that the same run traces the same text: handles as
// their (device-wide, never reused) values, blocks and strings the handset
// placed in memory by their kind and number, texts quoted, a resource
// ordinal in place of a text as #131, and any other pointer as "ptr", since
// addresses differ from run to run.
#pragma once

#include <windows.h>

#include <string>
#include <tuple>
#include <type_traits>

#include "device/platform.h"

namespace handset {

// Whether the current phone traces platform calls.
bool TracingCalls();
// While the arguments of a call that takes counted strings (DrawTextW,
// GetTextExtentPoint32W, ...) are written, a text pointer is not followed:
// its text need not end in a terminator.
class CountedTextScope {
  public:
    explicit CountedTextScope(const char* function);
    ~CountedTextScope();

  private:
    bool previous_;
};
std::string TraceValue(const void* p);
std::string TraceValue(const char16_t* text);
std::string TraceValue(char16_t* buffer); // an out-buffer: its content is not yet there
template <class T> std::string TraceValue(T v) {
    if constexpr (std::is_pointer_v<T> && std::is_function_v<std::remove_pointer_t<T>>)
        return v ? "code" : "NULL"; // a routine's address differs from run to run
    else if constexpr (std::is_pointer_v<T>)
        return TraceValue(static_cast<const void*>(v));
    else if constexpr (std::is_class_v<T>)
        return "{...}"; // a structure passed by value or reference (a GUID)
    else if constexpr (std::is_enum_v<T>)
        return std::to_string(static_cast<std::underlying_type_t<T>>(v));
    else if constexpr (std::is_signed_v<T>)
        return std::to_string(static_cast<long long>(v));
    else
        return std::to_string(static_cast<unsigned long long>(v));
}
void RecordCall(const char* function, const char* names, const std::string& args,
                const std::string& result);

template <class R, class Body, class... A>
R Relay(const char* function, const char* names, Body body, const std::tuple<A...>& args) {
    if (!TracingCalls()) return body();
    std::string text;
    CountedTextScope counted(function);
    std::apply(
        [&](const auto&... a) { ((text += (text.empty() ? "" : ", ") + TraceValue(a)), ...); },
        args);
    if constexpr (std::is_void_v<R>) {
        body();
        RecordCall(function, names, text, "");
    } else {
        R result = body();
        RecordCall(function, names, text, TraceValue(result));
        return result;
    }
}

} // namespace handset

#define HANDSET_UNPAREN(...) __VA_ARGS__
#define HANDSET_API(ret, name, params, args)                                                       \
    static ret name##Body params;                                                                  \
    ret WINAPI name params {                                                                       \
        return ::handset::Relay<ret>(                                                              \
            #name, #args, [&]() -> ret { return name##Body args; }, std::make_tuple args);         \
    }                                                                                              \
    static ret name##Body params
