// The cellular network: the line devices, the calls on them, and TAPI's own
// bookkeeping behind the line functions (applications, open lines, call
// handles, message queues). Tests and scenarios drive it through the first
// half of this class; lines.cpp builds the line functions on the second.
//
// Choices the line functions rely on:
// - Lines exist only as the driver adds them; AddStandardLines() gives the
//   usual phone ("IrDA" as device 0, "Cellular Line" as device 1), so that
//   programs have to find the cellular line by name.
// - Driver steps take effect at once, at the current virtual time. A step the
//   call's state does not allow, an unknown line or an unknown call is a
//   driver mistake and ends the run through Platform::Fatal.
// - Each application that has the line open with owner or monitor privilege
//   gets its own call handle, made when it first hears of the call, and a
//   LINE_CALLSTATE for every state change from then on. Owner privilege goes
//   to every application whose lineOpen asked for owner with the call's media
//   mode; the others with monitor privilege monitor. An application that opens
//   the line while a call is under way hears of it from its next change on.
// - The phone's own call program owns every call, as on the phone, so an
//   application is never a call's sole owner: closing a line or deallocating
//   a handle never drops a call, and dwNumOwners counts the phone. Scenarios
//   whose phone program opens the line itself turn this off.
// - A TAPI 2.0 line gets LINE_APPNEWCALL before the first LINE_CALLSTATE of a
//   new handle; that first LINE_CALLSTATE carries the privilege in dwParam3.
//   Lines opened as 1.3 get no connected or offering modes in dwParam2.
// - lineDrop is asynchronous: after the drop delay (50 ms unless set) the
//   dropping application gets LINE_REPLY, then every application hears
//   DISCONNECTED (NORMAL) and IDLE; a call dropped while disconnected goes
//   to IDLE alone. An idle call, or one already being dropped, cannot be
//   dropped (LINEERR_INVALCALLSTATE).
// - lineClose and lineShutdown stop new messages for the line; lineShutdown
//   also discards what waits. The message event is manual-reset, set while
//   the application's queue holds anything.
#pragma once

#include <windows.h>
#include <tapi.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "device/platform.h"

namespace handset {

class Event;

// API versions the handset's TAPI speaks; each line may narrow them.
inline constexpr DWORD kTapiLowVersion = 0x00010003;
inline constexpr DWORD kTapiHighVersion = 0x00020000;

struct LineConfig {
    std::u16string providerInfo = u"Cellular TSP";
    DWORD mediaModes = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;
    DWORD bearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA;
    DWORD maxRate = 9600; // bits per second of a data call
    DWORD maxActiveCalls = 1;
    DWORD lowVersion = kTapiLowVersion;
    DWORD highVersion = kTapiHighVersion;
};

// The states the network reports; LINECALLINFO's dwCallStates.
inline constexpr DWORD kReportedCallStates =
    LINECALLSTATE_IDLE | LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED | LINECALLSTATE_DIALING |
    LINECALLSTATE_PROCEEDING | LINECALLSTATE_RINGBACK | LINECALLSTATE_BUSY |
    LINECALLSTATE_CONNECTED | LINECALLSTATE_ONHOLD | LINECALLSTATE_DISCONNECTED;

using CallId = DWORD; // the network's own number for a call, from 1; dwCallID

enum class Direction { Incoming, Outgoing };

struct CallOptions {
    DWORD mediaMode = LINEMEDIAMODE_INTERACTIVEVOICE; // LINEMEDIAMODE_DATAMODEM for a data call
    DWORD origin = 0; // 0: OUTBOUND for an outgoing call, EXTERNAL for an incoming one
    DWORD reason = LINECALLREASON_DIRECT;
    bool withheld = false;     // incoming: the caller withholds the number (and name)
    std::u16string callerName; // incoming: the name the network gives with the number
    std::u16string calledName; // outgoing: the name the network gives for the dialled number
    std::u16string display;    // the network's display text, if any
    // Incoming: the number the caller dialled (the phone's own, or one of
    // its numbers), when the network reports it as the called ID; by
    // default it does not.
    std::u16string calledNumber;
};

// A whole call on the clock, for ScheduleIncoming and ScheduleOutgoing.
struct CallPlan {
    // Incoming: offering this long, then answered or given up by the caller.
    // Outgoing: ringback this long, then answered or not by the far end.
    uint64_t ringMs = 5000;
    bool answered = true;
    uint64_t talkMs = 60000;                   // connected this long, then the far end hangs up
    DWORD endMode = LINEDISCONNECTMODE_NORMAL; // how the far end's hang-up is reported
};

// A call as the driver sees it.
struct NetworkCall {
    CallId id = 0;
    DWORD line = 0; // device id
    Direction direction = Direction::Incoming;
    std::u16string number; // the caller's (empty when withheld) or the dialled one
    CallOptions options;
    DWORD state = 0;       // LINECALLSTATE_*
    DWORD stateDetail = 0; // the last state's mode, e.g. the disconnect mode
    uint64_t startedAt = 0;
    unsigned dropRequests = 0; // lineDrop requests accepted for it
    bool dropPending = false;
    bool everConnected = false;
};

// An open line as the driver sees it, for leak checks.
struct OpenLineInfo {
    DWORD pid = 0;
    HLINEAPP app = 0;
    HLINE line = 0;
    DWORD device = 0;
    DWORD privileges = 0;
    DWORD mediaModes = 0;
};

const char* CallStateName(DWORD state);

// A line application a process has initialised; one it leaves is shut
// down when it ends.
void ReclaimLineApp(Platform& platform, uintptr_t value, const HandleEntry& entry);
inline constexpr HandleKind kLineApp{"TAPI line application", "TAPI line applications",
                                     ReclaimLineApp};

class CellularNetwork final : public Area {
  public:
    explicit CellularNetwork(Platform& platform);
    ~CellularNetwork();
    CellularNetwork(const CellularNetwork&) = delete;
    CellularNetwork& operator=(const CellularNetwork&) = delete;

    // ---- Driving: for tests and scenarios ---------------------------------

    // Adds a line device; its device id (0, 1, ...). Applications that are
    // initialized already get LINE_CREATE.
    DWORD AddLine(std::u16string name, LineConfig config = {});
    // "IrDA" (device 0, data only) and "Cellular Line" (device 1); the
    // cellular line's id.
    DWORD AddStandardLines();
    DWORD LineCount() const { return static_cast<DWORD>(lines_.size()); }
    const std::u16string& LineName(DWORD line) const;
    // The first line of that name; Fatal when there is none.
    DWORD FindLine(std::u16string_view name) const;

    // A call comes in: OFFERING.
    CallId Incoming(DWORD line, std::u16string number, CallOptions options = {});
    // The phone dials: DIALING.
    CallId Outgoing(DWORD line, std::u16string number, CallOptions options = {});
    void Proceeding(CallId call); // DIALING -> PROCEEDING
    void Ringback(CallId call);   // DIALING or PROCEEDING -> RINGBACK
    // The user answers an offered call, or the far end answers a dialled one.
    void Connect(CallId call);
    void Hold(CallId call);   // CONNECTED -> ONHOLD
    void Resume(CallId call); // ONHOLD -> CONNECTED
    // Either side hangs up: DISCONNECTED with the mode, and IDLE after it.
    void Disconnect(CallId call, DWORD mode = LINEDISCONNECTMODE_NORMAL);
    void Idle(CallId call);
    void HangUp(CallId call, DWORD mode = LINEDISCONNECTMODE_NORMAL); // both at once
    // Any other change the call's state allows (BUSY, ACCEPTED, ...); no
    // detail: the state's usual mode.
    void SetState(CallId call, DWORD state, std::optional<DWORD> detail = std::nullopt);

    // A whole call on the clock from `at`; its id is fixed now. Steps that the
    // call has gone past by then (say, a lineDrop ended it) are left out.
    // Outgoing: DIALING, PROCEEDING 500 ms later, RINGBACK 1 s after that.
    CallId ScheduleIncoming(uint64_t at, DWORD line, std::u16string number, CallPlan plan = {},
                            CallOptions options = {});
    CallId ScheduleOutgoing(uint64_t at, DWORD line, std::u16string number, CallPlan plan = {},
                            CallOptions options = {});

    // How long after a lineDrop the network reports the call ended.
    void SetDropDelay(uint64_t ms) { dropDelayMs_ = ms; }
    uint64_t DropDelay() const { return dropDelayMs_; }
    void SetPhoneOwnsCalls(bool owns) { phoneOwnsCalls_ = owns; }

    // Called after every change of a call's state, wherever it came from:
    // the phone's own call program follows the calls through it. The id is
    // for RemoveListener.
    using Listener = std::function<void(const NetworkCall&)>;
    int AddListener(Listener listener);
    void RemoveListener(int id);

    // ---- Reading ------------------------------------------------------------

    std::vector<NetworkCall> Calls() const;      // every call so far, in order of id
    const NetworkCall& Call(CallId call) const;  // Fatal when unknown
    unsigned DropRequests() const;               // over all calls
    std::vector<OpenLineInfo> OpenLines() const; // in order of opening
    int LineApps(DWORD pid) const;               // TAPI applications the process has initialized
    int CallHandles(DWORD pid) const;            // call handles its applications hold
    size_t PendingMessages(HLINEAPP app) const;

    // ---- For the line functions -------------------------------------------

    struct Line {
        DWORD id;
        std::u16string name;
        LineConfig config;
        DWORD permanentId;
    };

    // An application from lineInitializeEx. It is the object lineGetMessage
    // waits on: signalled while messages wait or once it is shut down.
    class App final : public KernelObject {
      public:
        App() : KernelObject(Kind::Other) {}
        bool Signaled(const Thread&) const override { return !messages.empty() || shutDown; }

        HLINEAPP handle = 0;
        DWORD pid = 0;
        std::u16string name;
        DWORD version = 0;
        std::shared_ptr<Event> event; // TAPI's: set while messages wait
        HANDLE eventHandle = nullptr;
        std::deque<LINEMESSAGE> messages;
        bool shutDown = false;
    };

    struct OpenLine {
        HLINE handle;
        HLINEAPP app;
        DWORD device;
        DWORD version;
        DWORD_PTR instance;
        DWORD privileges;
        DWORD mediaModes;
    };

    struct CallHandle {
        HCALL handle;
        HLINE line;
        HLINEAPP app;
        CallId call;
        DWORD privilege; // LINECALLPRIVILEGE_OWNER or _MONITOR
    };

    const Line* FindLineDevice(DWORD id) const;
    App* FindApp(HLINEAPP app);
    OpenLine* FindOpenLine(HLINE line);
    CallHandle* FindCallHandle(HCALL call);
    NetworkCall* FindCall(CallId call);

    App& Initialize(DWORD pid, std::u16string name, DWORD version);
    void Shutdown(HLINEAPP app);
    HLINE Open(App& app, DWORD device, DWORD version, DWORD_PTR instance, DWORD privileges,
               DWORD mediaModes);
    void Close(HLINE line);
    bool TakeMessage(App& app, LINEMESSAGE* out);
    // Accepts a drop; the network ends the call after the drop delay. The
    // request id.
    DWORD RequestDrop(const CallHandle& handle);
    void Deallocate(HCALL call);
    bool SoleOwner(const CallHandle& handle) const;
    DWORD NumOwners(CallId call) const;
    DWORD NumMonitors(CallId call) const;

  private:
    NetworkCall& Get(CallId call, const char* step);
    CallId NewCall(DWORD line, Direction direction, std::u16string number, CallOptions options,
                   CallId id);
    // The one door for state changes: checks the step, records it and tells
    // every application that has the line open.
    void Change(NetworkCall& call, DWORD state, std::optional<DWORD> detail, const char* step);
    void Notify(NetworkCall& call);
    void Post(App& app, LINEMESSAGE message);
    void ReleaseHandles(HLINE line);
    void EndCallNow(NetworkCall& call, DWORD mode);
    void AtIf(uint64_t at, CallId call, DWORD fromStates, std::function<void(CallId)> step);

    std::vector<Line> lines_;
    std::map<CallId, NetworkCall> calls_;
    CallId nextCall_ = 1;

    std::map<HLINEAPP, std::shared_ptr<App>> apps_;
    std::vector<OpenLine> open_; // in order of opening: the order messages go out in
    std::map<HCALL, CallHandle> callHandles_;
    std::set<std::pair<HLINE, CallId>> deallocated_; // no new handle for these
    HLINE nextLine_ = 0x00020001;
    HCALL nextCallHandle_ = 0x00030001;
    DWORD nextRequest_ = 1;

    std::map<int, Listener> listeners_;
    int nextListener_ = 1;
    uint64_t dropDelayMs_ = 50;
    bool phoneOwnsCalls_ = true;
};

// The network of the current phone.
CellularNetwork& Network();

} // namespace handset
