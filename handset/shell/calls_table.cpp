// The shell calls and the errors each sets as its last error when it fails
// on the phone; the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable
    kShellCalls("shell", {
                             // ERROR_PATH_NOT_FOUND: the folder does not exist;
                             // ERROR_INVALID_PARAMETER: no structure, a wrong cbSize or no file.
                             {"ShellExecuteEx",
                              {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY,
                               ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER}},
                         });

} // namespace
