// Call details: what the lock needs to know of a connected call, and the
// call drop.
#include <string.h>

#include "callmon/callmon.h"
#include "contacts/contacts.h"
#include "core/lock_state.h"

namespace {

const DWORD kCallInfoSize = 5120; // information beyond this is not asked for again

} // namespace

BOOL CopyCallInfoText(const LINECALLINFO* info, DWORD bufferSize, DWORD offset, DWORD size,
                      WCHAR* dest, int destLen) {
    return CopyTapiText(info, info->dwUsedSize, bufferSize, offset, size, dest, destLen);
}

BOOL ReadCallDetails(HCALL call) {
    return ReadCallDetailsSince(call, GetTickCount());
}

BOOL ReadCallDetailsSince(HCALL call, DWORD connectedTick) {
    LINECALLINFO* info = (LINECALLINFO*)LocalAlloc(LMEM_FIXED, kCallInfoSize);
    if (info == NULL) return FALSE;
    memset(info, 0, kCallInfoSize);
    info->dwTotalSize = kCallInfoSize;
    if (lineGetCallInfo(call, info) != 0 || info->dwMediaMode != LINEMEDIAMODE_INTERACTIVEVOICE) {
        LocalFree(info);
        return FALSE;
    }

    // Every origin but outbound (inbound, internal, unknown, ...) counts as incoming.
    g_lockState.isIncoming = (info->dwOrigin & LINECALLORIGIN_OUTBOUND) == 0;
    g_lockState.activeCall = call;
    g_lockState.callStartTick = connectedTick;
    g_lockState.callNumber[0] = 0;
    g_lockState.callerName[0] = 0;

    // An incoming call shows the caller's number; an outgoing one, which has
    // no caller ID, the dialled number. A part that lies outside the buffer
    // counts as absent, like one TAPI could not place.
    BOOL haveNumber = FALSE;
    if (info->dwCallerIDSize != 0)
        haveNumber =
            CopyCallInfoText(info, kCallInfoSize, info->dwCallerIDOffset, info->dwCallerIDSize,
                             g_lockState.callNumber, CALL_NUMBER_LEN);
    if (!haveNumber && info->dwCalledIDSize != 0)
        CopyCallInfoText(info, kCallInfoSize, info->dwCalledIDOffset, info->dwCalledIDSize,
                         g_lockState.callNumber, CALL_NUMBER_LEN);

    if (g_lockState.callNumber[0] != 0) LookUpCallerName();
    LocalFree(info);
    return TRUE;
}

BOOL IsIncomingCall(void) {
    return g_lockState.isIncoming ? TRUE : FALSE;
}

void DropActiveCall(void) {
    if (g_lockState.activeCall == 0) return;
    // A call that has ended already makes the drop fail; that changes nothing.
    lineDrop(g_lockState.activeCall, NULL, 0);
    g_lockState.activeCall = 0;
}
