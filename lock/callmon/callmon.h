// The call monitor: a background thread on the phone's cellular line that
// turns call-state changes into WM_LOCK_SCREEN and WM_UNLOCK_SCREEN for the
// main thread. It never touches the user interface.
#ifndef TESSARIL_CALLMON_H
#define TESSARIL_CALLMON_H

#include <windows.h>
#include <tapi.h>

#define CELL_LINE_NAME TEXT("Cellular Line")
#define TAPI_VERSION_2_0 0x00020000
#define NO_LINE_DEVICE ((DWORD)-1)
#define MONITOR_STOP_WAIT_MS 1000 // how long a stop waits before it terminates the thread
#define LINE_MESSAGE_WAIT_MS 500  // how long the thread waits for a line message

// The open cellular line.
struct CellLine {
    HLINE line;          // from lineOpen; 0 when closed
    HLINEAPP lineApp;    // from lineInitializeEx; 0 when shut down
    HANDLE messageEvent; // set by TAPI while messages wait; TAPI's own, never closed here
};

// A call the monitor has heard of on the line and that has not ended yet.
// The monitor sees every state change, so it keeps these itself to know,
// when one call ends, whether another is still connected.
struct SeenCall {
    HCALL call;          // 0: a free place
    DWORD state;         // the last LINECALLSTATE reported for it
    DWORD connectedTick; // GetTickCount when it last became connected
    BOOL voice;          // that connection was a voice call whose details were read
};
#define SEEN_CALLS_MAX 8 // a phone holds two or three calls at most

// The monitor's program-wide record; the main thread starts and stops it.
struct CallMonitor {
    HANDLE stopEvent; // manual reset, set by the main thread to end the monitor
    HANDLE thread;
    DWORD mainThreadId; // written before the thread first runs
    CellLine line;
    SeenCall calls[SEEN_CALLS_MAX];
    UINT undelivered; // the last message the main thread's queue refused; 0 for none
};
extern CallMonitor g_monitor;

// Starts the thread, which posts its messages to mainThreadId.
BOOL StartCallMonitor(DWORD mainThreadId);
// Stops the thread and frees what the monitor holds; safe when nothing was started.
BOOL StopCallMonitor(void);
// 0 after an orderly stop, -1 when the line could not be opened.
DWORD WINAPI CallMonitorThread(LPVOID unused);

// Copies a text part of a TAPI structure (bufferSize bytes, usedSize of them
// filled) into dest, reading only inside what TAPI filled and cutting a text
// that does not fit destLen units with its terminator. FALSE, with nothing
// written, when the part lies outside or destLen leaves no room for the
// terminator.
BOOL CopyTapiText(const void* structure, DWORD usedSize, DWORD bufferSize, DWORD offset, DWORD size,
                  WCHAR* dest, int destLen);

BOOL OpenCellLine(CellLine* cell);
BOOL CloseCellLine(CellLine* cell);
// The last device whose name equals wantedName exactly, or NO_LINE_DEVICE.
DWORD FindLineDevice(HLINEAPP lineApp, DWORD deviceCount, DWORD lowVersion, DWORD highVersion,
                     LPCWSTR wantedName);
// Waits for a line message for up to LINE_MESSAGE_WAIT_MS; TRUE when one was fetched.
BOOL WaitLineMessage(CellLine* cell, LINEMESSAGE* message);
// Acts on one LINE_CALLSTATE: locks for a connected voice call; when a call
// is disconnected, locks for a voice call still connected on the line or
// else unlocks.
void OnCallState(HCALL call, DWORD state);

// Call details (call_details.cpp). TRUE when the call is a voice call whose
// direction, handle, start tick, number and contact name are now in LockState.
BOOL ReadCallDetails(HCALL call);
// The same for a call connected at connectedTick.
BOOL ReadCallDetailsSince(HCALL call, DWORD connectedTick);
BOOL IsIncomingCall(void);
// CopyTapiText for the call information.
BOOL CopyCallInfoText(const LINECALLINFO* info, DWORD bufferSize, DWORD offset, DWORD size,
                      WCHAR* dest, int destLen);
// Ends the recorded call, once.
void DropActiveCall(void);

#endif
