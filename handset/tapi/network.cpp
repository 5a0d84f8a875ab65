// The cellular network's calls and their states, and TAPI's applications,
// open lines, call handles and message queues.
#include "tapi/network.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "kernel/objects.h"

namespace handset {

namespace {

// Where a call may go from each state. Any call that is not idle may also go
// idle at once, as a network that loses a call reports it.
DWORD AllowedFrom(DWORD state) {
    switch (state) {
    case LINECALLSTATE_OFFERING:
        return LINECALLSTATE_ACCEPTED | LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
    case LINECALLSTATE_ACCEPTED:
        return LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
    case LINECALLSTATE_DIALING:
        return LINECALLSTATE_PROCEEDING | LINECALLSTATE_RINGBACK | LINECALLSTATE_BUSY |
               LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
    case LINECALLSTATE_PROCEEDING:
        return LINECALLSTATE_RINGBACK | LINECALLSTATE_BUSY | LINECALLSTATE_CONNECTED |
               LINECALLSTATE_DISCONNECTED;
    case LINECALLSTATE_RINGBACK:
        return LINECALLSTATE_BUSY | LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
    case LINECALLSTATE_BUSY:
        return LINECALLSTATE_DISCONNECTED;
    case LINECALLSTATE_CONNECTED:
        return LINECALLSTATE_ONHOLD | LINECALLSTATE_DISCONNECTED;
    case LINECALLSTATE_ONHOLD:
        return LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
    case LINECALLSTATE_DISCONNECTED:
        return 0;
    case LINECALLSTATE_IDLE:
        return 0;
    }
    return 0;
}

bool Ended(DWORD state) {
    return state == LINECALLSTATE_DISCONNECTED || state == LINECALLSTATE_IDLE;
}

// The usual mode of a state, as a TAPI 1.4 or later application gets it in
// dwParam2; 1.3 knew no connected or offering modes.
DWORD UsualDetail(DWORD state) {
    switch (state) {
    case LINECALLSTATE_OFFERING:
        return LINEOFFERINGMODE_ACTIVE;
    case LINECALLSTATE_CONNECTED:
        return LINECONNECTEDMODE_ACTIVE;
    case LINECALLSTATE_BUSY:
        return LINEBUSYMODE_UNKNOWN;
    case LINECALLSTATE_DISCONNECTED:
        return LINEDISCONNECTMODE_NORMAL;
    }
    return 0;
}

std::string Hex(DWORD v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(v));
    return text;
}

} // namespace

const char* CallStateName(DWORD state) {
    switch (state) {
    case LINECALLSTATE_IDLE:
        return "idle";
    case LINECALLSTATE_OFFERING:
        return "offering";
    case LINECALLSTATE_ACCEPTED:
        return "accepted";
    case LINECALLSTATE_DIALTONE:
        return "dialtone";
    case LINECALLSTATE_DIALING:
        return "dialing";
    case LINECALLSTATE_RINGBACK:
        return "ringback";
    case LINECALLSTATE_BUSY:
        return "busy";
    case LINECALLSTATE_SPECIALINFO:
        return "specialinfo";
    case LINECALLSTATE_CONNECTED:
        return "connected";
    case LINECALLSTATE_PROCEEDING:
        return "proceeding";
    case LINECALLSTATE_ONHOLD:
        return "onhold";
    case LINECALLSTATE_CONFERENCED:
        return "conferenced";
    case LINECALLSTATE_ONHOLDPENDCONF:
        return "onholdpendconf";
    case LINECALLSTATE_ONHOLDPENDTRANSFER:
        return "onholdpendtransfer";
    case LINECALLSTATE_DISCONNECTED:
        return "disconnected";
    case LINECALLSTATE_UNKNOWN:
        return "unknown";
    }
    return "?";
}

CellularNetwork::CellularNetwork(Platform& platform) : Area(platform) {}

CellularNetwork::~CellularNetwork() = default;

void ReclaimLineApp(Platform& platform, uintptr_t value, const HandleEntry&) {
    platform.Get<CellularNetwork>().Shutdown(static_cast<HLINEAPP>(value));
}

CellularNetwork& Network() {
    return Platform::Current().Get<CellularNetwork>();
}

// ---- Lines ---------------------------------------------------------------------

DWORD CellularNetwork::AddLine(std::u16string name, LineConfig config) {
    if (config.lowVersion > config.highVersion || config.lowVersion < kTapiLowVersion ||
        config.highVersion > kTapiHighVersion)
        Platform::Fatal("AddLine: API versions " + Hex(config.lowVersion) + ".." +
                        Hex(config.highVersion) + " are outside what TAPI speaks");
    DWORD id = LineCount();
    // Permanent ids count from 1 in order of installation, as a provider would.
    lines_.push_back({id, std::move(name), std::move(config), id + 1});
    platform_.timeline().Record("line.device", {{"device", id}, {"name", lines_.back().name}});
    for (auto& [handle, app] : apps_)
        if (app->version >= 0x00010004) Post(*app, {0, LINE_CREATE, 0, id, 0, 0});
    platform_.WakeWaiters();
    return id;
}

DWORD CellularNetwork::AddStandardLines() {
    LineConfig irda;
    irda.providerInfo = u"IrDA TSP";
    irda.mediaModes = LINEMEDIAMODE_DATAMODEM;
    irda.bearerModes = LINEBEARERMODE_DATA;
    irda.maxRate = 115200;
    AddLine(u"IrDA", irda);
    return AddLine(u"Cellular Line");
}

const CellularNetwork::Line* CellularNetwork::FindLineDevice(DWORD id) const {
    return id < lines_.size() ? &lines_[id] : nullptr;
}

const std::u16string& CellularNetwork::LineName(DWORD line) const {
    const Line* l = FindLineDevice(line);
    if (!l) Platform::Fatal("LineName: no line device " + std::to_string(line));
    return l->name;
}

DWORD CellularNetwork::FindLine(std::u16string_view name) const {
    for (const Line& l : lines_)
        if (l.name == name) return l.id;
    Platform::Fatal("FindLine: no line device is called \"" + Narrow(name) + "\"");
}

// ---- Calls: the driver's steps ---------------------------------------------------

NetworkCall* CellularNetwork::FindCall(CallId call) {
    auto it = calls_.find(call);
    return it == calls_.end() ? nullptr : &it->second;
}

NetworkCall& CellularNetwork::Get(CallId call, const char* step) {
    NetworkCall* c = FindCall(call);
    if (!c) Platform::Fatal(std::string(step) + ": no call " + std::to_string(call));
    return *c;
}

const NetworkCall& CellularNetwork::Call(CallId call) const {
    auto it = calls_.find(call);
    if (it == calls_.end()) Platform::Fatal("Call: no call " + std::to_string(call));
    return it->second;
}

CallId CellularNetwork::NewCall(DWORD line, Direction direction, std::u16string number,
                                CallOptions options, CallId id) {
    const char* step = direction == Direction::Incoming ? "Incoming" : "Outgoing";
    if (!FindLineDevice(line))
        Platform::Fatal(std::string(step) + ": no line device " + std::to_string(line));
    if (calls_.count(id))
        Platform::Fatal(std::string(step) + ": call " + std::to_string(id) + " exists");
    if (options.mediaMode == 0 || (options.mediaMode & (options.mediaMode - 1)) != 0)
        Platform::Fatal(std::string(step) + ": a call has exactly one media mode, not " +
                        Hex(options.mediaMode));
    if (options.origin == 0)
        options.origin =
            direction == Direction::Outgoing ? LINECALLORIGIN_OUTBOUND : LINECALLORIGIN_EXTERNAL;
    if (direction == Direction::Incoming && options.withheld) {
        number.clear();
        options.callerName.clear();
    }
    NetworkCall& c = calls_[id];
    c.id = id;
    c.line = line;
    c.direction = direction;
    c.number = std::move(number);
    c.options = std::move(options);
    c.startedAt = platform_.Now();
    Change(c, direction == Direction::Incoming ? LINECALLSTATE_OFFERING : LINECALLSTATE_DIALING,
           std::nullopt, step);
    return id;
}

CallId CellularNetwork::Incoming(DWORD line, std::u16string number, CallOptions options) {
    return NewCall(line, Direction::Incoming, std::move(number), std::move(options), nextCall_++);
}

CallId CellularNetwork::Outgoing(DWORD line, std::u16string number, CallOptions options) {
    return NewCall(line, Direction::Outgoing, std::move(number), std::move(options), nextCall_++);
}

void CellularNetwork::Proceeding(CallId call) {
    Change(Get(call, "Proceeding"), LINECALLSTATE_PROCEEDING, std::nullopt, "Proceeding");
}

void CellularNetwork::Ringback(CallId call) {
    Change(Get(call, "Ringback"), LINECALLSTATE_RINGBACK, std::nullopt, "Ringback");
}

void CellularNetwork::Connect(CallId call) {
    NetworkCall& c = Get(call, "Connect");
    if (c.state == LINECALLSTATE_ONHOLD)
        Platform::Fatal("Connect: call " + std::to_string(call) +
                        " is on hold; Resume takes it back");
    Change(c, LINECALLSTATE_CONNECTED, std::nullopt, "Connect");
}

void CellularNetwork::Hold(CallId call) {
    NetworkCall& c = Get(call, "Hold");
    if (c.state != LINECALLSTATE_CONNECTED)
        Platform::Fatal("Hold: call " + std::to_string(call) + " is " + CallStateName(c.state) +
                        ", not connected");
    Change(c, LINECALLSTATE_ONHOLD, std::nullopt, "Hold");
}

void CellularNetwork::Resume(CallId call) {
    NetworkCall& c = Get(call, "Resume");
    if (c.state != LINECALLSTATE_ONHOLD)
        Platform::Fatal("Resume: call " + std::to_string(call) + " is " + CallStateName(c.state) +
                        ", not on hold");
    Change(c, LINECALLSTATE_CONNECTED, std::nullopt, "Resume");
}

void CellularNetwork::Disconnect(CallId call, DWORD mode) {
    Change(Get(call, "Disconnect"), LINECALLSTATE_DISCONNECTED, mode, "Disconnect");
}

void CellularNetwork::Idle(CallId call) {
    NetworkCall& c = Get(call, "Idle");
    if (c.state != LINECALLSTATE_DISCONNECTED)
        Platform::Fatal("Idle: call " + std::to_string(call) + " is " + CallStateName(c.state) +
                        "; it goes idle after it is disconnected");
    Change(c, LINECALLSTATE_IDLE, std::nullopt, "Idle");
}

void CellularNetwork::HangUp(CallId call, DWORD mode) {
    NetworkCall& c = Get(call, "HangUp");
    Change(c, LINECALLSTATE_DISCONNECTED, mode, "HangUp");
    Change(c, LINECALLSTATE_IDLE, std::nullopt, "HangUp");
}

void CellularNetwork::SetState(CallId call, DWORD state, std::optional<DWORD> detail) {
    Change(Get(call, "SetState"), state, detail, "SetState");
}

void CellularNetwork::EndCallNow(NetworkCall& call, DWORD mode) {
    if (call.state != LINECALLSTATE_DISCONNECTED && call.state != LINECALLSTATE_IDLE)
        Change(call, LINECALLSTATE_DISCONNECTED, mode, "drop");
    if (call.state != LINECALLSTATE_IDLE) Change(call, LINECALLSTATE_IDLE, std::nullopt, "drop");
}

void CellularNetwork::Change(NetworkCall& call, DWORD state, std::optional<DWORD> detail,
                             const char* step) {
    bool first = call.state == 0;
    if (!first) {
        bool allowed = state == LINECALLSTATE_IDLE ? call.state != LINECALLSTATE_IDLE
                                                   : (AllowedFrom(call.state) & state) != 0;
        if (!allowed)
            Platform::Fatal(std::string(step) + ": call " + std::to_string(call.id) +
                            " cannot go from " + CallStateName(call.state) + " to " +
                            CallStateName(state));
    }
    call.state = state;
    call.stateDetail = detail ? *detail : UsualDetail(state);
    if (state == LINECALLSTATE_CONNECTED) call.everConnected = true;
    platform_.timeline().Record(
        "call.state",
        {{"call", call.id},
         {"line", call.line},
         {"state", CallStateName(state)},
         {"detail", call.stateDetail},
         {"number", call.number},
         {"direction", call.direction == Direction::Incoming ? "incoming" : "outgoing"}});
    Notify(call);
    auto listeners = listeners_; // a listener may remove itself
    for (auto& [id, listener] : listeners)
        listener(call);
}

int CellularNetwork::AddListener(Listener listener) {
    listeners_[nextListener_] = std::move(listener);
    return nextListener_++;
}

void CellularNetwork::RemoveListener(int id) {
    listeners_.erase(id);
}

// ---- Calls on the clock ------------------------------------------------------------

void CellularNetwork::AtIf(uint64_t at, CallId call, DWORD fromStates,
                           std::function<void(CallId)> step) {
    platform_.At(at, [this, call, fromStates, step = std::move(step)] {
        NetworkCall* c = FindCall(call);
        if (c && (c->state & fromStates)) step(call);
    });
}

CallId CellularNetwork::ScheduleIncoming(uint64_t at, DWORD line, std::u16string number,
                                         CallPlan plan, CallOptions options) {
    CallId id = nextCall_++;
    platform_.At(at, [this, id, line, number = std::move(number), options = std::move(options)] {
        NewCall(line, Direction::Incoming, number, options, id);
    });
    uint64_t ringEnd = at + plan.ringMs;
    if (!plan.answered) {
        // The caller gives up.
        AtIf(ringEnd, id, LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED,
             [this](CallId c) { HangUp(c, LINEDISCONNECTMODE_NORMAL); });
        return id;
    }
    AtIf(ringEnd, id, LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED,
         [this](CallId c) { Connect(c); });
    AtIf(ringEnd + plan.talkMs, id, LINECALLSTATE_CONNECTED | LINECALLSTATE_ONHOLD,
         [this, mode = plan.endMode](CallId c) { HangUp(c, mode); });
    return id;
}

CallId CellularNetwork::ScheduleOutgoing(uint64_t at, DWORD line, std::u16string number,
                                         CallPlan plan, CallOptions options) {
    CallId id = nextCall_++;
    platform_.At(at, [this, id, line, number = std::move(number), options = std::move(options)] {
        NewCall(line, Direction::Outgoing, number, options, id);
    });
    AtIf(at + 500, id, LINECALLSTATE_DIALING, [this](CallId c) { Proceeding(c); });
    AtIf(at + 1500, id, LINECALLSTATE_PROCEEDING, [this](CallId c) { Ringback(c); });
    uint64_t ringEnd = at + 1500 + plan.ringMs;
    if (!plan.answered) {
        AtIf(ringEnd, id, LINECALLSTATE_RINGBACK,
             [this](CallId c) { HangUp(c, LINEDISCONNECTMODE_NOANSWER); });
        return id;
    }
    AtIf(ringEnd, id, LINECALLSTATE_RINGBACK, [this](CallId c) { Connect(c); });
    AtIf(ringEnd + plan.talkMs, id, LINECALLSTATE_CONNECTED | LINECALLSTATE_ONHOLD,
         [this, mode = plan.endMode](CallId c) { HangUp(c, mode); });
    return id;
}

// ---- Telling the applications ----------------------------------------------------

void CellularNetwork::Post(App& app, LINEMESSAGE message) {
    app.messages.push_back(message);
    app.event->signaled = true;
}

void CellularNetwork::Notify(NetworkCall& call) {
    // Lines opened during this loop cannot appear: nothing here runs device code.
    for (const OpenLine& line : open_) {
        if (line.device != call.line) continue;
        App& app = *apps_.at(line.app);
        if (deallocated_.count({line.handle, call.id})) continue;

        CallHandle* handle = nullptr;
        for (auto& [h, ch] : callHandles_)
            if (ch.line == line.handle && ch.call == call.id) handle = &ch;
        DWORD newPrivilege = 0;
        if (!handle) {
            DWORD privilege = 0;
            if ((line.privileges & LINECALLPRIVILEGE_OWNER) &&
                (line.mediaModes & call.options.mediaMode))
                privilege = LINECALLPRIVILEGE_OWNER;
            else if (line.privileges & LINECALLPRIVILEGE_MONITOR)
                privilege = LINECALLPRIVILEGE_MONITOR;
            if (privilege == 0) continue; // opened for outgoing calls only, or for other media
            HCALL value = nextCallHandle_++;
            handle = &callHandles_[value];
            *handle = {value, line.handle, line.app, call.id, privilege};
            newPrivilege = privilege;
            // TAPI 2.0 tells of a call handle made on the application's behalf.
            if (line.version >= 0x00020000)
                Post(app, {line.handle, LINE_APPNEWCALL, line.instance, 0, value, privilege});
        }
        DWORD detail = call.stateDetail;
        if (line.version < 0x00010004 &&
            (call.state == LINECALLSTATE_CONNECTED || call.state == LINECALLSTATE_OFFERING))
            detail = 0;
        Post(app,
             {handle->handle, LINE_CALLSTATE, line.instance, call.state, detail, newPrivilege});
    }
    platform_.WakeWaiters();
}

// ---- Applications, lines and handles ----------------------------------------------

CellularNetwork::App* CellularNetwork::FindApp(HLINEAPP app) {
    auto it = apps_.find(app);
    return it == apps_.end() ? nullptr : it->second.get();
}

CellularNetwork::OpenLine* CellularNetwork::FindOpenLine(HLINE line) {
    for (OpenLine& l : open_)
        if (l.handle == line) return &l;
    return nullptr;
}

CellularNetwork::CallHandle* CellularNetwork::FindCallHandle(HCALL call) {
    auto it = callHandles_.find(call);
    return it == callHandles_.end() ? nullptr : &it->second;
}

CellularNetwork::App& CellularNetwork::Initialize(DWORD pid, std::u16string name, DWORD version) {
    auto app = std::make_shared<App>();
    app->pid = pid;
    app->name = std::move(name);
    app->version = version;
    app->event = std::make_shared<Event>(true, false);
    // The event is TAPI's, not the application's: its handle is not counted
    // among the kernel handles the process holds. The process counts a line
    // application instead.
    app->eventHandle = platform_.AddServiceHandle(app->event, pid);
    // What the process leaves is shut down when it ends, as TAPI would.
    app->handle = static_cast<HLINEAPP>(platform_.handles().Add(kLineApp, pid, app));
    apps_[app->handle] = app;
    platform_.timeline().Record(
        "line.initialize",
        {{"app", app->handle}, {"process", pid}, {"version", app->version}, {"name", app->name}});
    return *app;
}

void CellularNetwork::ReleaseHandles(HLINE line) {
    std::vector<CallId> dropNow;
    for (auto it = callHandles_.begin(); it != callHandles_.end();) {
        if (it->second.line != line) {
            ++it;
            continue;
        }
        NetworkCall* call = FindCall(it->second.call);
        if (call && !Ended(call->state) && SoleOwner(it->second)) dropNow.push_back(call->id);
        it = callHandles_.erase(it);
    }
    // TAPI drops the calls whose sole owner goes away.
    for (CallId id : dropNow)
        EndCallNow(*FindCall(id), LINEDISCONNECTMODE_NORMAL);
    for (auto it = deallocated_.begin(); it != deallocated_.end();)
        it = it->first == line ? deallocated_.erase(it) : std::next(it);
}

void CellularNetwork::Shutdown(HLINEAPP handle) {
    auto it = apps_.find(handle);
    if (it == apps_.end()) Platform::Fatal("Shutdown: no line application " + Hex(handle));
    std::shared_ptr<App> app = it->second;
    std::vector<HLINE> lines;
    for (const OpenLine& l : open_)
        if (l.app == handle) lines.push_back(l.handle);
    for (HLINE l : lines)
        Close(l);
    apps_.erase(it);
    app->messages.clear();
    app->event->signaled = false;
    app->shutDown = true;
    platform_.CloseHandleOf(app->eventHandle);
    platform_.handles().Remove(handle, kLineApp);
    platform_.timeline().Record("line.shutdown", {{"app", handle}, {"process", app->pid}});
    platform_.WakeWaiters(); // a lineGetMessage that waits learns of it
}

HLINE CellularNetwork::Open(App& app, DWORD device, DWORD version, DWORD_PTR instance,
                            DWORD privileges, DWORD mediaModes) {
    HLINE handle = nextLine_++;
    open_.push_back({handle, app.handle, device, version, instance, privileges, mediaModes});
    platform_.timeline().Record("line.open", {{"app", app.handle},
                                              {"process", app.pid},
                                              {"line", handle},
                                              {"device", device},
                                              {"privileges", privileges},
                                              {"media", mediaModes}});
    return handle;
}

void CellularNetwork::Close(HLINE line) {
    auto it = std::find_if(open_.begin(), open_.end(),
                           [&](const OpenLine& l) { return l.handle == line; });
    if (it == open_.end()) Platform::Fatal("Close: no open line " + Hex(line));
    OpenLine closed = *it;
    open_.erase(it);
    ReleaseHandles(line);
    platform_.timeline().Record("line.close",
                                {{"app", closed.app}, {"line", line}, {"device", closed.device}});
}

bool CellularNetwork::TakeMessage(App& app, LINEMESSAGE* out) {
    if (app.messages.empty()) return false;
    *out = app.messages.front();
    app.messages.pop_front();
    if (app.messages.empty()) app.event->signaled = false;
    return true;
}

bool CellularNetwork::SoleOwner(const CallHandle& handle) const {
    if (handle.privilege != LINECALLPRIVILEGE_OWNER) return false;
    return NumOwners(handle.call) == 1;
}

DWORD CellularNetwork::NumOwners(CallId call) const {
    DWORD n = phoneOwnsCalls_ ? 1 : 0;
    for (auto& [h, ch] : callHandles_)
        if (ch.call == call && ch.privilege == LINECALLPRIVILEGE_OWNER) ++n;
    return n;
}

DWORD CellularNetwork::NumMonitors(CallId call) const {
    DWORD n = 0;
    for (auto& [h, ch] : callHandles_)
        if (ch.call == call && ch.privilege == LINECALLPRIVILEGE_MONITOR) ++n;
    return n;
}

DWORD CellularNetwork::RequestDrop(const CallHandle& handle) {
    NetworkCall& call = Get(handle.call, "lineDrop");
    DWORD request = nextRequest_++;
    ++call.dropRequests;
    call.dropPending = true;
    platform_.timeline().Record(
        "call.drop",
        {{"call", call.id}, {"line", call.line}, {"hcall", handle.handle}, {"request", request}});
    CallId id = call.id;
    HLINEAPP appHandle = handle.app;
    HLINE lineHandle = handle.line;
    platform_.At(platform_.Now() + dropDelayMs_, [this, id, appHandle, lineHandle, request] {
        // The radio takes the hang-up first; then the network clears the call.
        if (App* app = FindApp(appHandle)) {
            OpenLine* line = FindOpenLine(lineHandle);
            Post(*app, {0, LINE_REPLY, line ? line->instance : 0, request, 0, 0});
            platform_.WakeWaiters();
        }
        NetworkCall* call = FindCall(id);
        call->dropPending = false;
        EndCallNow(*call, LINEDISCONNECTMODE_NORMAL);
    });
    return request;
}

void CellularNetwork::Deallocate(HCALL call) {
    auto it = callHandles_.find(call);
    if (it == callHandles_.end()) Platform::Fatal("Deallocate: no call handle " + Hex(call));
    deallocated_.insert({it->second.line, it->second.call});
    callHandles_.erase(it);
}

// ---- Reading -------------------------------------------------------------------------

std::vector<NetworkCall> CellularNetwork::Calls() const {
    std::vector<NetworkCall> out;
    for (auto& [id, c] : calls_)
        out.push_back(c);
    return out;
}

unsigned CellularNetwork::DropRequests() const {
    unsigned n = 0;
    for (auto& [id, c] : calls_)
        n += c.dropRequests;
    return n;
}

std::vector<OpenLineInfo> CellularNetwork::OpenLines() const {
    std::vector<OpenLineInfo> out;
    for (const OpenLine& l : open_)
        out.push_back(
            {apps_.at(l.app)->pid, l.app, l.handle, l.device, l.privileges, l.mediaModes});
    return out;
}

int CellularNetwork::LineApps(DWORD pid) const {
    int n = 0;
    for (auto& [h, app] : apps_)
        if (app->pid == pid) ++n;
    return n;
}

int CellularNetwork::CallHandles(DWORD pid) const {
    int n = 0;
    for (auto& [h, ch] : callHandles_)
        if (apps_.at(ch.app)->pid == pid) ++n;
    return n;
}

size_t CellularNetwork::PendingMessages(HLINEAPP app) const {
    auto it = apps_.find(app);
    return it == apps_.end() ? 0 : it->second->messages.size();
}

} // namespace handset
