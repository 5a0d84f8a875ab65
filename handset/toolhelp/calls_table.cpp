// The tool-help calls and the errors each sets as its last error when it
// fails on the phone; the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

// Past the last entry (or for a list the snapshot does not hold): no more
// files; an entry whose dwSize is too small: an invalid parameter.
const std::vector<DWORD> kWalkErrors = {ERROR_NO_MORE_FILES, ERROR_INVALID_HANDLE,
                                        ERROR_INVALID_PARAMETER};

const handset::PlatformCallTable
    kToolhelpCalls("toolhelp", {
                                   {"CreateToolhelp32Snapshot", {ERROR_NOT_ENOUGH_MEMORY}},
                                   {"CloseToolhelp32Snapshot", {ERROR_INVALID_HANDLE}},
                                   {"Process32First", kWalkErrors},
                                   {"Process32Next", kWalkErrors},
                                   {"Thread32First", kWalkErrors},
                                   {"Thread32Next", kWalkErrors},
                               });

} // namespace
