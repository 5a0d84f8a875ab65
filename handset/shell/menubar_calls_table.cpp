// The shell's menu bar and dialog set-up calls and the errors each sets as
// its last error when it fails; the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable
    kMenuBarCalls("shell menu bar",
                  {
                      // ERROR_INVALID_DATA: a malformed SHMENUBAR or MENU resource.
                      {"SHCreateMenuBar",
                       {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER,
                        ERROR_INVALID_WINDOW_HANDLE, ERROR_RESOURCE_NAME_NOT_FOUND,
                        ERROR_RESOURCE_DATA_NOT_FOUND, ERROR_INVALID_HANDLE, ERROR_INVALID_DATA}},
                      {"SHInitDialog", {ERROR_INVALID_PARAMETER, ERROR_INVALID_WINDOW_HANDLE}},
                  });

} // namespace
