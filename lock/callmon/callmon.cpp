// The call monitor thread and the cellular line it owns.
#include "callmon/callmon.h"

#include <string.h>

#include "core/lock_state.h"

CallMonitor g_monitor;

namespace {

const DWORD kDevCapsProbeSize = sizeof(LINEDEVCAPS); // 292 bytes, as TAPI 2.0 applications pass

const int kLineNameLen = 64; // units kept of a device's name; ours are far shorter

// The device's name equals wanted (shorter than kLineNameLen), exactly. A
// longer name is cut on reading, and so can never equal it.
BOOL LineNameIs(const LINEDEVCAPS* caps, DWORD bufferSize, LPCWSTR wanted) {
    WCHAR name[kLineNameLen];
    if (caps->dwLineNameSize == 0 ||
        !CopyTapiText(caps, caps->dwUsedSize, bufferSize, caps->dwLineNameOffset,
                      caps->dwLineNameSize, name, kLineNameLen))
        return FALSE;
    return wcscmp(name, wanted) == 0;
}

// Posts to the main thread. A message its full queue refuses is kept and
// posted again at the monitor's next wake; a newer message replaces it, as
// only the latest word about the calls counts.
void PostToMain(UINT message) {
    g_monitor.undelivered = 0;
    if (!PostThreadMessageW(g_monitor.mainThreadId, message, 0, 0)) g_monitor.undelivered = message;
}

SeenCall* FindSeenCall(HCALL call) {
    for (int i = 0; i < SEEN_CALLS_MAX; ++i)
        if (g_monitor.calls[i].call == call) return &g_monitor.calls[i];
    return NULL;
}

void ForgetCall(HCALL call) {
    SeenCall* seen = FindSeenCall(call);
    if (seen != NULL) memset(seen, 0, sizeof *seen);
}

// The call's place, made when it is new. When every place is taken (calls
// whose end never came), one not connected is given up first, else the
// one connected longest ago.
SeenCall* PlaceOfCall(HCALL call) {
    SeenCall* place = FindSeenCall(call);
    if (place == NULL) place = FindSeenCall(0);
    for (int i = 0; i < SEEN_CALLS_MAX && place == NULL; ++i)
        if (g_monitor.calls[i].state != LINECALLSTATE_CONNECTED) place = &g_monitor.calls[i];
    if (place == NULL) {
        DWORD now = GetTickCount();
        place = &g_monitor.calls[0];
        for (int i = 1; i < SEEN_CALLS_MAX; ++i)
            if (now - g_monitor.calls[i].connectedTick > now - place->connectedTick)
                place = &g_monitor.calls[i];
    }
    if (place->call != call) {
        memset(place, 0, sizeof *place);
        place->call = call;
    }
    return place;
}

// The voice call connected last among those still connected, or null.
const SeenCall* LiveVoiceCall(void) {
    const SeenCall* live = NULL;
    DWORD now = GetTickCount();
    for (int i = 0; i < SEEN_CALLS_MAX; ++i) {
        const SeenCall* c = &g_monitor.calls[i];
        if (c->call == 0 || c->state != LINECALLSTATE_CONNECTED || !c->voice) continue;
        if (live == NULL || now - c->connectedTick < now - live->connectedTick) live = c;
    }
    return live;
}

// A call has ended. While another voice call is connected the screen stays
// locked, and LockState names that call, so that the picture shows it and
// a drop ends it rather than one that is gone.
void OnCallEnded(void) {
    const SeenCall* live = LiveVoiceCall();
    if (live == NULL) {
        g_lockState.activeCall = 0;
        PostToMain(WM_UNLOCK_SCREEN);
        return;
    }
    // The lock shows that call already; a repeated lock over the window
    // would only veil its own picture a second time.
    if (g_lockState.activeCall == live->call) return;
    if (!ReadCallDetailsSince(live->call, live->connectedTick)) {
        // Without its details the lock still names it: no number rather
        // than the number of a call that has ended.
        g_lockState.activeCall = live->call;
        g_lockState.callStartTick = live->connectedTick;
        g_lockState.callNumber[0] = 0;
        g_lockState.callerName[0] = 0;
    }
    PostToMain(WM_LOCK_SCREEN);
}

} // namespace

BOOL CopyTapiText(const void* structure, DWORD usedSize, DWORD bufferSize, DWORD offset, DWORD size,
                  WCHAR* dest, int destLen) {
    if (destLen <= 0) return FALSE; // no room even for the terminator
    DWORD used = usedSize < bufferSize ? usedSize : bufferSize;
    if (offset > used || size > used - offset) return FALSE;
    const BYTE* text = (const BYTE*)structure + offset;
    DWORD units = size / sizeof(WCHAR);
    int length = 0;
    for (DWORD i = 0; i < units && length < destLen - 1; ++i) {
        WCHAR c;
        memcpy(&c, text + i * sizeof(WCHAR), sizeof c); // TAPI's texts need not be aligned
        if (c == 0) break;
        dest[length++] = c;
    }
    dest[length] = 0;
    return TRUE;
}

DWORD FindLineDevice(HLINEAPP lineApp, DWORD deviceCount, DWORD lowVersion, DWORD highVersion,
                     LPCWSTR wantedName) {
    DWORD found = NO_LINE_DEVICE;
    for (DWORD id = 0; id < deviceCount; ++id) {
        DWORD version = 0;
        LINEEXTENSIONID extension;
        if (lineNegotiateAPIVersion(lineApp, id, lowVersion, highVersion, &version, &extension) !=
            0)
            continue;
        LINEDEVCAPS probe;
        memset(&probe, 0, sizeof probe);
        probe.dwTotalSize = kDevCapsProbeSize;
        if (lineGetDevCaps(lineApp, id, version, 0, &probe) != 0) continue;

        DWORD size =
            probe.dwNeededSize > kDevCapsProbeSize ? probe.dwNeededSize : kDevCapsProbeSize;
        LINEDEVCAPS* caps = (LINEDEVCAPS*)LocalAlloc(LPTR, size);
        if (caps == NULL) continue;
        caps->dwTotalSize = size;
        // Every device is looked at: the last one of that name wins.
        if (lineGetDevCaps(lineApp, id, version, 0, caps) == 0 &&
            LineNameIs(caps, size, wantedName))
            found = id;
        LocalFree(caps);
    }
    return found;
}

BOOL CloseCellLine(CellLine* cell) {
    if (cell->line != 0) lineClose(cell->line);
    if (cell->lineApp != 0) lineShutdown(cell->lineApp);
    cell->line = 0;
    cell->lineApp = 0;
    cell->messageEvent = NULL;
    return TRUE;
}

BOOL OpenCellLine(CellLine* cell) {
    cell->line = 0;
    cell->lineApp = 0;
    cell->messageEvent = NULL;

    LINEINITIALIZEEXPARAMS params;
    memset(&params, 0, sizeof params);
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
    HLINEAPP lineApp = 0;
    DWORD deviceCount = 0;
    DWORD version = TAPI_VERSION_2_0;
    HLINE line = 0;
    DWORD device;
    if (lineInitializeEx(&lineApp, NULL, NULL, NULL, &deviceCount, &version, &params) != 0)
        goto failed;
    cell->lineApp = lineApp;

    // With no such device the identifier is NO_LINE_DEVICE, which lineOpen rejects.
    device =
        FindLineDevice(lineApp, deviceCount, TAPI_VERSION_2_0, TAPI_VERSION_2_0, CELL_LINE_NAME);
    if (lineOpen(lineApp, device, &line, version, 0, 0,
                 LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER,
                 LINEMEDIAMODE_INTERACTIVEVOICE, NULL) != 0)
        goto failed;
    cell->line = line;
    cell->messageEvent = params.Handles.hEvent;
    return TRUE;

failed:
    CloseCellLine(cell);
    return FALSE;
}

BOOL WaitLineMessage(CellLine* cell, LINEMESSAGE* message) {
    if (WaitForSingleObject(cell->messageEvent, LINE_MESSAGE_WAIT_MS) == WAIT_TIMEOUT) return FALSE;
    return lineGetMessage(cell->lineApp, message, 0) == 0;
}

void OnCallState(HCALL call, DWORD state) {
    if (state & LINECALLSTATE_DIALING) {
        // An outgoing call locks when it connects, not while it is dialled.
    } else if (state & LINECALLSTATE_CONNECTED) {
        DWORD tick = GetTickCount();
        SeenCall* seen = PlaceOfCall(call);
        seen->state = LINECALLSTATE_CONNECTED;
        seen->connectedTick = tick;
        seen->voice = ReadCallDetailsSince(call, tick);
        if (seen->voice) PostToMain(WM_LOCK_SCREEN);
    } else if (state & LINECALLSTATE_DISCONNECTED) {
        ForgetCall(call);
        OnCallEnded();
    } else if (state & LINECALLSTATE_IDLE) {
        ForgetCall(call);
    } else {
        SeenCall* seen = FindSeenCall(call);
        if (seen != NULL) seen->state = state; // on hold, say: no longer connected
    }
}

DWORD WINAPI CallMonitorThread(LPVOID) {
    if (g_monitor.stopEvent == NULL) return (DWORD)-1;
    if (!OpenCellLine(&g_monitor.line)) return (DWORD)-1;
    memset(g_monitor.calls, 0, sizeof g_monitor.calls);
    g_monitor.undelivered = 0;
    for (;;) {
        // Anything but a time-out (the event set, or a broken wait) ends the watch.
        if (WaitForSingleObject(g_monitor.stopEvent, 1) != WAIT_TIMEOUT) break;
        if (g_monitor.undelivered != 0) PostToMain(g_monitor.undelivered);
        LINEMESSAGE message;
        if (!WaitLineMessage(&g_monitor.line, &message)) continue;
        if (message.dwMessageID != LINE_CALLSTATE) continue;
        OnCallState((HCALL)message.hDevice, (DWORD)message.dwParam1);
    }
    CloseCellLine(&g_monitor.line);
    return 0;
}

BOOL StopCallMonitor(void) {
    if (g_monitor.stopEvent != NULL) SetEvent(g_monitor.stopEvent);
    if (g_monitor.thread != NULL) {
        // A thread that does not see the stop in time is ended; its line then
        // stays open until the process ends.
        if (WaitForSingleObject(g_monitor.thread, MONITOR_STOP_WAIT_MS) == WAIT_TIMEOUT)
            TerminateThread(g_monitor.thread, (DWORD)-1);
        CloseHandle(g_monitor.thread);
        g_monitor.thread = NULL;
    }
    if (g_monitor.stopEvent != NULL) {
        CloseHandle(g_monitor.stopEvent);
        g_monitor.stopEvent = NULL;
    }
    return TRUE;
}

BOOL StartCallMonitor(DWORD mainThreadId) {
    g_monitor.stopEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (g_monitor.stopEvent == NULL) {
        StopCallMonitor();
        return FALSE;
    }
    g_monitor.thread = CreateThread(NULL, 0, CallMonitorThread, NULL, CREATE_SUSPENDED, NULL);
    if (g_monitor.thread == NULL) {
        StopCallMonitor();
        return FALSE;
    }
    g_monitor.mainThreadId = mainThreadId;
    ResumeThread(g_monitor.thread);
    return TRUE;
}
