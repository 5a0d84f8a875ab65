// Small helpers the registry tests share.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "device/device.h"
#include "testing/testing.h"
#include "registry/registry.h"

namespace regtest {

// Value data as the phone stores a string: UTF-16LE with its terminator.
inline std::vector<BYTE> Sz(std::u16string_view text) {
    std::vector<BYTE> out;
    for (char16_t c : text) {
        out.push_back(BYTE(c));
        out.push_back(BYTE(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

inline std::vector<BYTE> Dword(DWORD v) {
    return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)};
}

using handset::testing::Hex;

inline std::string Describe(const std::optional<handset::RegValue>& v) {
    if (!v) return "(no value)";
    return "type " + std::to_string(v->type) + ": " + Hex(v->data);
}

// Opens a key in the calling context; null when it cannot be opened.
inline HKEY OpenKey(HKEY root, const char16_t* path) {
    HKEY key = nullptr;
    return RegOpenKeyExW(root, path, 0, 0, &key) == ERROR_SUCCESS ? key : nullptr;
}

inline HKEY CreateKey(HKEY root, const char16_t* path) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG r =
        RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    return r == ERROR_SUCCESS ? key : nullptr;
}

} // namespace regtest
