// The TAPI line functions and the LINEERR_ values each returns when it fails
// on the phone; the fault plan knows these and no others.
#include <windows.h>
#include <tapi.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable kTapiCalls(
    "tapi",
    {
        {"lineInitializeEx",
         {LINEERR_NOMEM, LINEERR_OPERATIONFAILED, LINEERR_REINIT, LINEERR_INCOMPATIBLEAPIVERSION}},
        {"lineShutdown", {LINEERR_INVALAPPHANDLE, LINEERR_NOMEM, LINEERR_UNINITIALIZED}},
        {"lineNegotiateAPIVersion",
         {LINEERR_INCOMPATIBLEAPIVERSION, LINEERR_NODRIVER, LINEERR_NOMEM,
          LINEERR_OPERATIONFAILED}},
        {"lineGetDevCaps",
         {LINEERR_NODRIVER, LINEERR_NOMEM, LINEERR_OPERATIONFAILED, LINEERR_STRUCTURETOOSMALL}},
        {"lineOpen",
         {LINEERR_ALLOCATED, LINEERR_NODRIVER, LINEERR_NOMEM, LINEERR_OPERATIONFAILED,
          LINEERR_RESOURCEUNAVAIL}},
        {"lineClose",
         {LINEERR_INVALLINEHANDLE, LINEERR_NOMEM, LINEERR_OPERATIONFAILED,
          LINEERR_RESOURCEUNAVAIL}},
        // LINEERR_OPERATIONFAILED: no message came within the time-out.
        {"lineGetMessage", {LINEERR_OPERATIONFAILED, LINEERR_INVALAPPHANDLE, LINEERR_NOMEM}},
        {"lineGetCallInfo",
         {LINEERR_INVALCALLHANDLE, LINEERR_NOMEM, LINEERR_OPERATIONFAILED, LINEERR_RESOURCEUNAVAIL,
          LINEERR_STRUCTURETOOSMALL}},
        {"lineDrop",
         {LINEERR_INVALCALLSTATE, LINEERR_INVALCALLHANDLE, LINEERR_NOMEM, LINEERR_OPERATIONFAILED,
          LINEERR_RESOURCEUNAVAIL}},
        {"lineDeallocateCall", {LINEERR_INVALCALLHANDLE, LINEERR_INVALCALLSTATE, LINEERR_NOMEM}},
    });

} // namespace
