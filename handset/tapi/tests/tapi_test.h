// What the TAPI tests share: an application set up as device code sets one
// up, and messages written out so that a failed comparison shows them.
#pragma once

#include <gtest/gtest.h>
#include <tapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/device.h"
#include "testing/testing.h"
#include "tapi/network.h"

namespace tapitest {

constexpr DWORD kVoice = LINEMEDIAMODE_INTERACTIVEVOICE;
constexpr DWORD kOwner = LINECALLPRIVILEGE_OWNER;
constexpr DWORD kMonitor = LINECALLPRIVILEGE_MONITOR;

struct App {
    HLINEAPP app = 0;
    HANDLE event = nullptr;
    DWORD devices = 0;
    DWORD version = 0;
};

inline LONG Initialize(App& a, DWORD version = TAPI_CURRENT_VERSION) {
    LINEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
    a.version = version;
    LONG r = lineInitializeEx(&a.app, nullptr, nullptr, u"test", &a.devices, &a.version, &params);
    a.event = params.Handles.hEvent;
    return r;
}

inline App Initialized() {
    App a;
    LONG r = Initialize(a);
    EXPECT_EQ(0, r) << std::hex << r;
    return a;
}

inline HLINE Open(const App& a, DWORD device, DWORD privileges = kOwner | kMonitor,
                  DWORD media = kVoice, DWORD_PTR instance = 0,
                  DWORD version = TAPI_CURRENT_VERSION) {
    HLINE line = 0;
    LONG r = lineOpen(a.app, device, &line, version, 0, instance, privileges, media, nullptr);
    EXPECT_EQ(0, r) << std::hex << r;
    return line;
}

inline std::vector<LINEMESSAGE> Drain(HLINEAPP app) {
    std::vector<LINEMESSAGE> out;
    LINEMESSAGE m;
    while (lineGetMessage(app, &m, 0) == 0)
        out.push_back(m);
    return out;
}

// "CALLSTATE connected 1 0": message, then its parameters, without handles.
inline std::string Describe(const LINEMESSAGE& m) {
    auto n = [](DWORD_PTR v) { return std::to_string(v); };
    switch (m.dwMessageID) {
    case LINE_CALLSTATE:
        return "CALLSTATE " + std::string(handset::CallStateName(static_cast<DWORD>(m.dwParam1))) +
               " " + n(m.dwParam2) + " " + n(m.dwParam3);
    case LINE_APPNEWCALL:
        return "APPNEWCALL " + n(m.dwParam3);
    case LINE_REPLY:
        return "REPLY " + n(m.dwParam1) + " " + n(m.dwParam2);
    case LINE_CREATE:
        return "CREATE " + n(m.dwParam1);
    }
    return "message " + n(m.dwMessageID);
}

inline std::vector<std::string> Describe(const std::vector<LINEMESSAGE>& ms) {
    std::vector<std::string> out;
    for (auto& m : ms)
        out.push_back(Describe(m));
    return out;
}

// A text part of a TAPI structure, read from inside the buffer.
inline std::u16string TextAt(const void* base, DWORD offset, DWORD size) {
    if (size == 0) return u"";
    std::u16string s(size / 2, u'\0');
    std::memcpy(s.data(), static_cast<const BYTE*>(base) + offset, size);
    EXPECT_EQ(u'\0', s.back()) << "a text part ends with its terminator";
    s.pop_back();
    return s;
}

inline std::string Utf8(const std::u16string& s) {
    return handset::Narrow(s);
}

} // namespace tapitest
