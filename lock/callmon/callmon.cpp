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

DWORD WINAPI CallMonitorThread(LPVOID) {
    if (g_monitor.stopEvent == NULL) return (DWORD)-1;
    if (!OpenCellLine(&g_monitor.line)) return (DWORD)-1;
    for (;;) {
        // Anything but a time-out (the event set, or a broken wait) ends the watch.
        if (WaitForSingleObject(g_monitor.stopEvent, 1) != WAIT_TIMEOUT) break;
        LINEMESSAGE message;
        if (!WaitLineMessage(&g_monitor.line, &message)) continue;
        if (message.dwMessageID != LINE_CALLSTATE) continue;
        DWORD state = (DWORD)message.dwParam1;
        if (state & LINECALLSTATE_DIALING) {
            // An outgoing call locks when it connects, not while it is dialled.
        } else if (state & LINECALLSTATE_CONNECTED) {
            if (ReadCallDetails((HCALL)message.hDevice))
                PostThreadMessageW(g_monitor.mainThreadId, WM_LOCK_SCREEN, 0, 0);
        } else if (state & LINECALLSTATE_DISCONNECTED) {
            g_lockState.activeCall = 0;
            PostThreadMessageW(g_monitor.mainThreadId, WM_UNLOCK_SCREEN, 0, 0);
        }
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
