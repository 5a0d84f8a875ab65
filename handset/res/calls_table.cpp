// The resource functions and the errors each sets as its last error when it
// fails on the phone; the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable kResourceCalls(
    "res", {
               {"FindResourceW",
                {ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_RESOURCE_TYPE_NOT_FOUND,
                 ERROR_RESOURCE_DATA_NOT_FOUND, ERROR_INVALID_HANDLE}},
               {"LoadResource", {ERROR_INVALID_HANDLE}},
               {"SizeofResource", {ERROR_INVALID_HANDLE}},
               {"LoadStringW",
                {ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER}},
           });

} // namespace
