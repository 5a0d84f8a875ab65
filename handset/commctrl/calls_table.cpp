// The common controls' calls and the errors each sets as its last error when
// it fails; the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable kCommonControlCalls(
    "commctrl",
    {
        {"InitCommonControls", {}},
        {"InitCommonControlsEx", {ERROR_INVALID_PARAMETER}},
        // The template's errors: those of the resource calls, and
        // ERROR_INVALID_DATA for a malformed one.
        {"CreatePropertySheetPageW",
         {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER, ERROR_RESOURCE_NAME_NOT_FOUND,
          ERROR_RESOURCE_DATA_NOT_FOUND, ERROR_INVALID_HANDLE, ERROR_INVALID_DATA}},
        {"DestroyPropertySheetPage", {ERROR_INVALID_HANDLE}},
        {"PropertySheetW",
         {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER, ERROR_INVALID_HANDLE,
          ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_INVALID_DATA}},
    });

} // namespace
