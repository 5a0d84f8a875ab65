// The TAPI 2.0 line functions. Each returns 0, a positive request id for an
// asynchronous request, or the documented LINEERR_* value. Arguments are
// checked in the order a caller would meet the errors: pointers, then
// handles and device ids, then versions, then the rest.
//
// Notification is by event only: the hidden window is not emulated, so
// lineInitializeEx stops the run for it (and for a version below 2.0, whose
// messages would come that way); completion ports get LINEERR_INVALPARAM, as
// Windows CE has none.
#include <windows.h>
#include <tapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "device/platform.h"
#include "device/relay.h"
#include "kernel/objects.h"
#include "tapi/network.h"

using handset::CallId;
using handset::CellularNetwork;
using handset::Direction;
using handset::Enter;
using handset::Network;
using handset::NetworkCall;
using handset::Platform;

namespace {

LONG Error(DWORD lineErr) {
    return static_cast<LONG>(lineErr);
}

// The variable part of a TAPI structure, after its fixed part. Each part goes
// where the one before it ended if it fits in what is left of the caller's
// buffer; one that does not fit gets size and offset 0, and the parts after
// it are still tried. dwNeededSize counts every part.
class VariablePart {
  public:
    VariablePart(void* buffer, DWORD total, DWORD fixed)
        : base_(static_cast<BYTE*>(buffer)), total_(total), used_(fixed), needed_(fixed) {}

    void Put(DWORD& size, DWORD& offset, const void* data, DWORD bytes) {
        size = 0;
        offset = 0;
        if (bytes == 0) return;
        needed_ += bytes;
        if (bytes > total_ - used_) return;
        std::memcpy(base_ + used_, data, bytes);
        size = bytes;
        offset = used_;
        used_ += bytes;
    }
    // UTF-16 with its terminator; an empty text is left out.
    void PutText(DWORD& size, DWORD& offset, std::u16string_view text) {
        std::u16string terminated(text);
        Put(size, offset, terminated.c_str(),
            text.empty() ? 0 : static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
    }

    DWORD used() const { return used_; }
    DWORD needed() const { return needed_; }

  private:
    BYTE* base_;
    DWORD total_;
    DWORD used_;
    DWORD needed_;
};

// The fixed part of each structure as of the version the application
// negotiated: what later versions added is not filled, and the variable
// part starts where that version's structure ends.
DWORD DevCapsFixedSize(DWORD version) {
    if (version < 0x00010004) return offsetof(LINEDEVCAPS, dwLineFeatures);
    if (version < 0x00020000) return offsetof(LINEDEVCAPS, dwSettableDevStatus);
    return offsetof(LINEDEVCAPS, PermanentLineGuid);
}

// The lines go up to 2.0, so TAPI 3.0's tail of each is never filled.
DWORD CallInfoFixedSize(DWORD version) {
    return version < 0x00020000 ? offsetof(LINECALLINFO, dwCallTreatment)
                                : offsetof(LINECALLINFO, dwCallerIDAddressType);
}

bool VersionFits(const CellularNetwork::Line& line, DWORD version) {
    return version >= line.config.lowVersion && version <= line.config.highVersion;
}

// What lineGetDevCaps and lineOpen check first, in TAPI's order: the
// application, the device, the negotiated version, no extension. 0 or the error.
LONG CheckDeviceCall(CellularNetwork& net, HLINEAPP hLineApp, DWORD device, DWORD version,
                     DWORD extVersion, CellularNetwork::App** app,
                     const CellularNetwork::Line** line) {
    *app = net.FindApp(hLineApp);
    if (!*app) return LINEERR_INVALAPPHANDLE;
    // Windows CE's lineOpen takes a valid device id only, with no line
    // mapper: LINEMAPPER is as unknown there as any other id, so this is the
    // phone's own error and not a gap in the handset.
    *line = net.FindLineDevice(device);
    if (!*line) return LINEERR_BADDEVICEID;
    if (!VersionFits(**line, version) || version > (*app)->version)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    if (extVersion != 0) return LINEERR_INCOMPATIBLEEXTVERSION;
    return 0;
}

std::u16string ProcessFileName() {
    handset::Process* p = Platform::Current().CurrentProcess();
    if (!p) return u"";
    return p->exePath.substr(p->exePath.find_last_of(u'\\') + 1);
}

} // namespace

HANDSET_API(LONG, lineInitializeEx,
            (LPHLINEAPP lphLineApp, HINSTANCE arg2, LINECALLBACK arg3, LPCWSTR lpszFriendlyAppName,
             LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
             LPLINEINITIALIZEEXPARAMS lpLineInitializeExParams),
            (lphLineApp, arg2, arg3, lpszFriendlyAppName, lpdwNumDevs, lpdwAPIVersion,
             lpLineInitializeExParams)) {
    if (auto e = Enter("lineInitializeEx")) return Error(*e);
    if (!lphLineApp || !lpdwNumDevs || !lpdwAPIVersion) return Error(LINEERR_INVALPOINTER);
    DWORD wanted = *lpdwAPIVersion;
    if (wanted < handset::kTapiLowVersion) return Error(LINEERR_INCOMPATIBLEAPIVERSION);
    if (wanted < 0x00020000)
        handset::NotEmulated("lineInitializeEx", "dwAPIVersion " + handset::Hex32(wanted));
    LPLINEINITIALIZEEXPARAMS params = lpLineInitializeExParams;
    if (!params) return Error(LINEERR_INVALPOINTER);
    if (params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS))
        return Error(LINEERR_STRUCTURETOOSMALL);
    if (params->dwOptions == LINEINITIALIZEEXOPTION_USEHIDDENWINDOW)
        handset::NotEmulated("lineInitializeEx",
                             "dwOptions LINEINITIALIZEEXOPTION_USEHIDDENWINDOW");
    if (params->dwOptions != LINEINITIALIZEEXOPTION_USEEVENT) return Error(LINEERR_INVALPARAM);

    CellularNetwork& net = Network();
    DWORD version = wanted < handset::kTapiHighVersion ? wanted : handset::kTapiHighVersion;
    std::u16string name =
        lpszFriendlyAppName ? std::u16string(lpszFriendlyAppName) : ProcessFileName();
    CellularNetwork::App& app = net.Initialize(Platform::Current().CurrentPid(), name, version);
    *lphLineApp = app.handle;
    *lpdwNumDevs = net.LineCount();
    *lpdwAPIVersion = version;
    params->dwNeededSize = sizeof(LINEINITIALIZEEXPARAMS);
    params->dwUsedSize = sizeof(LINEINITIALIZEEXPARAMS);
    params->Handles.hEvent = app.eventHandle;
    return 0;
}

HANDSET_API(LONG, lineShutdown, (HLINEAPP hLineApp), (hLineApp)) {
    if (auto e = Enter("lineShutdown")) return Error(*e);
    CellularNetwork& net = Network();
    if (!net.FindApp(hLineApp)) return Error(LINEERR_INVALAPPHANDLE);
    net.Shutdown(hLineApp);
    return 0;
}

HANDSET_API(LONG, lineNegotiateAPIVersion,
            (HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion, DWORD dwAPIHighVersion,
             LPDWORD lpdwAPIVersion, LPLINEEXTENSIONID lpExtensionID),
            (hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion, lpdwAPIVersion,
             lpExtensionID)) {
    if (auto e = Enter("lineNegotiateAPIVersion")) return Error(*e);
    if (!lpdwAPIVersion || !lpExtensionID) return Error(LINEERR_INVALPOINTER);
    CellularNetwork& net = Network();
    CellularNetwork::App* app = net.FindApp(hLineApp);
    if (!app) return Error(LINEERR_INVALAPPHANDLE);
    const CellularNetwork::Line* line = net.FindLineDevice(dwDeviceID);
    if (!line) return Error(LINEERR_BADDEVICEID);
    // The highest version in the application's range that the line speaks.
    DWORD high = std::min({dwAPIHighVersion, line->config.highVersion, app->version});
    DWORD low = std::max(dwAPILowVersion, line->config.lowVersion);
    if (high < low) return Error(LINEERR_INCOMPATIBLEAPIVERSION);
    *lpdwAPIVersion = high;
    std::memset(lpExtensionID, 0, sizeof *lpExtensionID); // no provider extensions
    return 0;
}

HANDSET_API(LONG, lineGetDevCaps,
            (HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
             LPLINEDEVCAPS lpLineDevCaps),
            (hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpLineDevCaps)) {
    if (auto e = Enter("lineGetDevCaps")) return Error(*e);
    if (!lpLineDevCaps) return Error(LINEERR_INVALPOINTER);
    CellularNetwork& net = Network();
    CellularNetwork::App* app = nullptr;
    const CellularNetwork::Line* line = nullptr;
    if (LONG error =
            CheckDeviceCall(net, hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, &app, &line))
        return Error(error);
    DWORD fixed = DevCapsFixedSize(dwAPIVersion);
    DWORD total = lpLineDevCaps->dwTotalSize;
    if (total < fixed) return Error(LINEERR_STRUCTURETOOSMALL);

    const handset::LineConfig& config = line->config;
    bool voice = (config.mediaModes & LINEMEDIAMODE_INTERACTIVEVOICE) != 0;
    LINEDEVCAPS caps{};
    caps.dwTotalSize = total;
    VariablePart var(lpLineDevCaps, total, fixed);
    var.PutText(caps.dwProviderInfoSize, caps.dwProviderInfoOffset, config.providerInfo);
    caps.dwPermanentLineID = line->permanentId;
    var.PutText(caps.dwLineNameSize, caps.dwLineNameOffset, line->name);
    caps.dwStringFormat = STRINGFORMAT_UNICODE;
    caps.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    caps.dwNumAddresses = 1;
    caps.dwBearerModes = config.bearerModes;
    caps.dwMaxRate = (config.bearerModes & LINEBEARERMODE_DATA) ? config.maxRate : 0;
    caps.dwMediaModes = config.mediaModes;
    caps.dwMaxNumActiveCalls = config.maxActiveCalls;
    // A cellular line answers a waiting call by holding the one it has.
    caps.dwAnswerMode = voice ? LINEANSWERMODE_HOLD : LINEANSWERMODE_NONE;
    caps.dwRingModes = voice ? 1 : 0;
    // No UUI sizes, no terminals, no line features: none of it is emulated.
    caps.dwNeededSize = var.needed();
    caps.dwUsedSize = var.used();
    std::memcpy(lpLineDevCaps, &caps, fixed);
    return 0;
}

HANDSET_API(LONG, lineOpen,
            (HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion,
             DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
             DWORD dwMediaModes, LPLINECALLPARAMS const arg9),
            (hLineApp, dwDeviceID, lphLine, dwAPIVersion, dwExtVersion, dwCallbackInstance,
             dwPrivileges, dwMediaModes, arg9)) {
    if (auto e = Enter("lineOpen")) return Error(*e);
    if (!lphLine) return Error(LINEERR_INVALPOINTER);
    CellularNetwork& net = Network();
    CellularNetwork::App* app = nullptr;
    const CellularNetwork::Line* line = nullptr;
    if (LONG error =
            CheckDeviceCall(net, hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, &app, &line))
        return Error(error);
    // Windows CE takes call privileges alone here; the desktop's open
    // options (LINEOPENOPTION_*) are as invalid to it as any other bit.
    switch (dwPrivileges) {
    case LINECALLPRIVILEGE_NONE:
    case LINECALLPRIVILEGE_MONITOR:
    case LINECALLPRIVILEGE_OWNER:
    case LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER:
        break;
    default:
        return Error(LINEERR_INVALPRIVSELECT);
    }
    if (dwPrivileges & LINECALLPRIVILEGE_OWNER) {
        constexpr DWORD kKnownModes = 0x0000FFFE; // LINEMEDIAMODE_UNKNOWN .. _VIDEO
        DWORD takes = line->config.mediaModes | LINEMEDIAMODE_UNKNOWN;
        if (dwMediaModes == 0 || (dwMediaModes & ~kKnownModes) || (dwMediaModes & ~takes))
            return Error(LINEERR_INVALMEDIAMODE);
    } else {
        dwMediaModes = 0; // only owners take calls by media mode
    }
    *lphLine =
        net.Open(*app, dwDeviceID, dwAPIVersion, dwCallbackInstance, dwPrivileges, dwMediaModes);
    return 0;
}

HANDSET_API(LONG, lineClose, (HLINE hLine), (hLine)) {
    if (auto e = Enter("lineClose")) return Error(*e);
    CellularNetwork& net = Network();
    if (!net.FindOpenLine(hLine)) return Error(LINEERR_INVALLINEHANDLE);
    net.Close(hLine);
    return 0;
}

HANDSET_API(LONG, lineGetMessage, (HLINEAPP hLineApp, LPLINEMESSAGE lpMessage, DWORD dwTimeout),
            (hLineApp, lpMessage, dwTimeout)) {
    if (auto e = Enter("lineGetMessage")) return Error(*e);
    if (!lpMessage) return Error(LINEERR_INVALPOINTER);
    Platform& d = Platform::Current();
    CellularNetwork& net = Network();
    CellularNetwork::App* found = net.FindApp(hLineApp);
    if (!found) return Error(LINEERR_INVALAPPHANDLE);
    // Held here, so that a lineShutdown from another thread during the wait
    // leaves something to wake up on.
    std::shared_ptr<handset::KernelObject> app = found->shared_from_this();
    uint64_t deadline = dwTimeout == INFINITE ? handset::kNever : d.Now() + dwTimeout;
    for (;;) {
        if (found->shutDown) return Error(LINEERR_INVALAPPHANDLE);
        if (net.TakeMessage(*found, lpMessage)) return 0;
        if (d.Now() >= deadline) return Error(LINEERR_OPERATIONFAILED);
        // Another thread of the application may take the message first; then
        // this one waits on for the rest of its time.
        DWORD wait =
            deadline == handset::kNever ? INFINITE : static_cast<DWORD>(deadline - d.Now());
        d.Block({app}, wait);
    }
}

HANDSET_API(LONG, lineGetCallInfo, (HCALL hCall, LPLINECALLINFO lpCallInfo), (hCall, lpCallInfo)) {
    if (auto e = Enter("lineGetCallInfo")) return Error(*e);
    if (!lpCallInfo) return Error(LINEERR_INVALPOINTER);
    CellularNetwork& net = Network();
    CellularNetwork::CallHandle* handle = net.FindCallHandle(hCall);
    if (!handle) return Error(LINEERR_INVALCALLHANDLE);
    const CellularNetwork::OpenLine& line = *net.FindOpenLine(handle->line);
    const NetworkCall& call = *net.FindCall(handle->call);
    DWORD fixed = CallInfoFixedSize(line.version);
    DWORD total = lpCallInfo->dwTotalSize;
    if (total < fixed) return Error(LINEERR_STRUCTURETOOSMALL);

    const handset::CallOptions& o = call.options;
    bool data = o.mediaMode == LINEMEDIAMODE_DATAMODEM;
    LINECALLINFO info{};
    info.dwTotalSize = total;
    info.hLine = line.handle;
    info.dwLineDeviceID = line.device;
    info.dwAddressID = 0;
    info.dwBearerMode = data ? LINEBEARERMODE_DATA : LINEBEARERMODE_VOICE;
    info.dwRate = data ? net.FindLineDevice(line.device)->config.maxRate : 0;
    info.dwMediaMode = o.mediaMode;
    info.dwCallID = call.id;
    info.dwCallStates = handset::kReportedCallStates;
    info.dwOrigin = o.origin;
    info.dwReason = o.reason;
    info.dwNumOwners = net.NumOwners(call.id);
    info.dwNumMonitors = net.NumMonitors(call.id);
    info.dwTrunk = 0xFFFFFFFF; // unknown

    VariablePart var(lpCallInfo, total, fixed);
    if (call.direction == Direction::Incoming) {
        if (o.withheld)
            info.dwCallerIDFlags = LINECALLPARTYID_BLOCKED;
        else if (call.number.empty() && o.callerName.empty())
            info.dwCallerIDFlags = LINECALLPARTYID_UNKNOWN;
        else
            info.dwCallerIDFlags = (call.number.empty() ? 0 : LINECALLPARTYID_ADDRESS) |
                                   (o.callerName.empty() ? 0 : LINECALLPARTYID_NAME);
        var.PutText(info.dwCallerIDSize, info.dwCallerIDOffset, call.number);
        var.PutText(info.dwCallerIDNameSize, info.dwCallerIDNameOffset, o.callerName);
        info.dwCalledIDFlags =
            o.calledNumber.empty() ? LINECALLPARTYID_UNKNOWN : LINECALLPARTYID_ADDRESS;
        var.PutText(info.dwCalledIDSize, info.dwCalledIDOffset, o.calledNumber);
    } else {
        // The phone's own number is not known to the network's call reports.
        info.dwCallerIDFlags = LINECALLPARTYID_UNAVAIL;
        info.dwCalledIDFlags =
            LINECALLPARTYID_ADDRESS | (o.calledName.empty() ? 0 : LINECALLPARTYID_NAME);
        var.PutText(info.dwCalledIDSize, info.dwCalledIDOffset, call.number);
        var.PutText(info.dwCalledIDNameSize, info.dwCalledIDNameOffset, o.calledName);
    }
    info.dwConnectedIDFlags = LINECALLPARTYID_UNKNOWN;
    info.dwRedirectionIDFlags = LINECALLPARTYID_UNKNOWN;
    info.dwRedirectingIDFlags = LINECALLPARTYID_UNKNOWN;
    var.PutText(info.dwDisplaySize, info.dwDisplayOffset, o.display);
    info.dwNeededSize = var.needed();
    info.dwUsedSize = var.used();
    std::memcpy(lpCallInfo, &info, fixed);
    return 0;
}

HANDSET_API(LONG, lineDrop, (HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize),
            (hCall, lpsUserUserInfo, dwSize)) {
    if (auto e = Enter("lineDrop")) return Error(*e);
    CellularNetwork& net = Network();
    CellularNetwork::CallHandle* handle = net.FindCallHandle(hCall);
    if (!handle) return Error(LINEERR_INVALCALLHANDLE);
    if (handle->privilege != LINECALLPRIVILEGE_OWNER) return Error(LINEERR_NOTOWNER);
    const NetworkCall& call = *net.FindCall(handle->call);
    // Any state but idle can be dropped: a disconnected call goes idle, as
    // applications drop it on DISCONNECTED. Not twice at once, though.
    if (call.state == LINECALLSTATE_IDLE || call.dropPending) return Error(LINEERR_INVALCALLSTATE);
    // The line takes no user-user information with a drop (dwUUIDropSize 0).
    if (lpsUserUserInfo && dwSize != 0) return Error(LINEERR_USERUSERINFOTOOBIG);
    return static_cast<LONG>(net.RequestDrop(*handle));
}

HANDSET_API(LONG, lineDeallocateCall, (HCALL hCall), (hCall)) {
    if (auto e = Enter("lineDeallocateCall")) return Error(*e);
    CellularNetwork& net = Network();
    CellularNetwork::CallHandle* handle = net.FindCallHandle(hCall);
    if (!handle) return Error(LINEERR_INVALCALLHANDLE);
    const NetworkCall& call = *net.FindCall(handle->call);
    if (call.state != LINECALLSTATE_IDLE && net.SoleOwner(*handle))
        return Error(LINEERR_INVALCALLSTATE);
    net.Deallocate(hCall);
    return 0;
}
