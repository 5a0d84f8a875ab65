// The registry calls and the error codes each returns when it fails on the
// phone; the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable kRegistryCalls(
    "registry",
    {
        {"RegOpenKeyExW", {ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_HANDLE}},
        // ERROR_ACCESS_DENIED: a key the phone's security policy protects.
        {"RegCreateKeyExW", {ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_HANDLE}},
        {"RegCloseKey", {ERROR_INVALID_HANDLE}},
        {"RegQueryInfoKeyW", {ERROR_INVALID_HANDLE, ERROR_MORE_DATA}},
        {"RegQueryValueExW", {ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA, ERROR_INVALID_HANDLE}},
        {"RegSetValueExW", {ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_HANDLE}},
        {"RegDeleteValueW", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE}},
        {"RegDeleteKeyW", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE}},
        {"RegEnumKeyExW", {ERROR_NO_MORE_ITEMS, ERROR_MORE_DATA, ERROR_INVALID_HANDLE}},
        {"RegEnumValueW", {ERROR_NO_MORE_ITEMS, ERROR_MORE_DATA, ERROR_INVALID_HANDLE}},
    });

} // namespace
