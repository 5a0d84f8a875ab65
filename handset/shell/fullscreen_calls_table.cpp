// The shell's full-screen call and the errors it sets as its last error when
// it fails; the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable
    kFullScreenCalls("shell full screen", {
                                              {"SHFullScreen",
                                               {ERROR_INVALID_WINDOW_HANDLE, ERROR_ACCESS_DENIED,
                                                ERROR_INVALID_PARAMETER}},
                                          });

} // namespace
