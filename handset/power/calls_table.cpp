// The notification LED calls and the power manager's SetDevicePower, with
// the errors each reports when it fails on the phone; the fault plan knows
// these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable
    kPowerCalls("power", {
                             {"NLedGetDeviceInfo", {ERROR_INVALID_PARAMETER, ERROR_GEN_FAILURE}},
                             {"NLedSetDevice", {ERROR_INVALID_PARAMETER, ERROR_GEN_FAILURE}},
                             // ERROR_ACCESS_DENIED: an untrusted caller.
                             {"SetDevicePower",
                              {ERROR_WRITE_FAULT, ERROR_FILE_NOT_FOUND, ERROR_INVALID_PARAMETER,
                               ERROR_ACCESS_DENIED}},
                         });

} // namespace
