// lineGetCallInfo: the fixed part, and the variable part laid out inside the
// caller's buffer with its sizes and offsets.
#include <vector>

#include "tapi_test.h"

using handset::CallOptions;
using handset::Device;
using handset::Network;
using namespace tapitest;

namespace {

constexpr DWORD kFixed = 324; // the 2.0 structure, before TAPI 3.0's tail

// An app with the cellular line open, and the handle it got for the call.
struct Watcher {
    App app;
    HLINE line = 0;
    HCALL call = 0;

    explicit Watcher(DWORD device, DWORD version = TAPI_CURRENT_VERSION)
        : app(Initialized()), line(Open(app, device, kOwner | kMonitor, kVoice, 0, version)) {}
    // The handle of the last call the app heard of.
    HCALL Take() {
        for (const LINEMESSAGE& m : Drain(app.app))
            if (m.dwMessageID == LINE_CALLSTATE) call = m.hDevice;
        return call;
    }
};

// A buffer with guard bytes, so that a write past dwTotalSize shows.
struct InfoBuffer {
    std::vector<BYTE> bytes;
    explicit InfoBuffer(DWORD total) : bytes(total + 64, 0xCC) { info()->dwTotalSize = total; }
    LINECALLINFO* info() { return reinterpret_cast<LINECALLINFO*>(bytes.data()); }
    std::u16string Text(DWORD offset, DWORD size) { return TextAt(info(), offset, size); }
    // Everything from dwUsedSize to the end of the guard is as it was.
    bool UntouchedPastUsed() {
        for (size_t i = info()->dwUsedSize; i < bytes.size(); ++i)
            if (bytes[i] != 0xCC) return false;
        return true;
    }
};

DWORD TextBytes(std::u16string_view s) {
    return static_cast<DWORD>((s.size() + 1) * 2);
}

} // namespace

TEST(LineGetCallInfo, IncomingCallHasTheCallersNumberAndNameInsideTheBuffer) {
    Device d;
    DWORD cell = Network().AddStandardLines();
    Watcher w(cell);
    CallOptions o;
    o.callerName = u"Ann Smith";
    handset::CallId id = Network().Incoming(cell, u"+441234567890", o);
    InfoBuffer b(1024);
    ASSERT_EQ(0, lineGetCallInfo(w.Take(), b.info()));
    LINECALLINFO& i = *b.info();
    EXPECT_EQ(kFixed + TextBytes(u"+441234567890") + TextBytes(u"Ann Smith"), i.dwNeededSize);
    EXPECT_EQ(i.dwNeededSize, i.dwUsedSize);
    EXPECT_EQ(kFixed, i.dwCallerIDOffset);
    EXPECT_EQ(u"+441234567890", b.Text(i.dwCallerIDOffset, i.dwCallerIDSize));
    EXPECT_EQ(u"Ann Smith", b.Text(i.dwCallerIDNameOffset, i.dwCallerIDNameSize));
    EXPECT_EQ(DWORD(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME), i.dwCallerIDFlags);
    EXPECT_EQ(0u, i.dwCalledIDSize);
    EXPECT_EQ(DWORD(LINECALLPARTYID_UNKNOWN), i.dwCalledIDFlags);
    EXPECT_EQ(w.line, i.hLine);
    EXPECT_EQ(cell, i.dwLineDeviceID);
    EXPECT_EQ(id, i.dwCallID);
    EXPECT_EQ(kVoice, i.dwMediaMode);
    EXPECT_EQ(DWORD(LINEBEARERMODE_VOICE), i.dwBearerMode);
    EXPECT_EQ(DWORD(LINECALLORIGIN_EXTERNAL), i.dwOrigin);
    EXPECT_EQ(DWORD(LINECALLREASON_DIRECT), i.dwReason);
    EXPECT_EQ(2u, i.dwNumOwners) << "the app and the phone's own call program";
    EXPECT_EQ(0u, i.dwNumMonitors);
    EXPECT_TRUE(i.dwCallStates & LINECALLSTATE_CONNECTED);
    EXPECT_TRUE(b.UntouchedPastUsed());
}

TEST(LineGetCallInfo, IncomingCallCanAlsoCarryTheNumberTheCallerDialled) {
    Device d;
    DWORD cell = Network().AddStandardLines();
    Watcher w(cell);
    CallOptions o;
    o.calledNumber = u"07700900123";
    Network().Incoming(cell, u"5550100", o);
    InfoBuffer b(1024);
    ASSERT_EQ(0, lineGetCallInfo(w.Take(), b.info()));
    LINECALLINFO& i = *b.info();
    EXPECT_EQ(u"5550100", b.Text(i.dwCallerIDOffset, i.dwCallerIDSize));
    EXPECT_EQ(u"07700900123", b.Text(i.dwCalledIDOffset, i.dwCalledIDSize));
    EXPECT_EQ(kFixed + TextBytes(u"5550100"), i.dwCalledIDOffset) << "after the caller's";
    EXPECT_EQ(DWORD(LINECALLPARTYID_ADDRESS), i.dwCalledIDFlags);
    EXPECT_EQ(0u, i.dwCalledIDNameSize);
    EXPECT_EQ(kFixed + TextBytes(u"5550100") + TextBytes(u"07700900123"), i.dwNeededSize);
}

TEST(LineGetCallInfo, OutgoingCallHasNoCallerIdAndTheDialledNumberAsCalledId) {
    Device d;
    DWORD cell = Network().AddStandardLines();
    Watcher w(cell);
    Network().Outgoing(cell, u"0800123456");
    InfoBuffer b(1024);
    ASSERT_EQ(0, lineGetCallInfo(w.Take(), b.info()));
    LINECALLINFO& i = *b.info();
    EXPECT_EQ(0u, i.dwCallerIDSize);
    EXPECT_EQ(0u, i.dwCallerIDOffset);
    EXPECT_EQ(DWORD(LINECALLPARTYID_UNAVAIL), i.dwCallerIDFlags);
    EXPECT_EQ(u"0800123456", b.Text(i.dwCalledIDOffset, i.dwCalledIDSize));
    EXPECT_EQ(kFixed, i.dwCalledIDOffset);
    EXPECT_EQ(DWORD(LINECALLPARTYID_ADDRESS), i.dwCalledIDFlags);
    EXPECT_EQ(DWORD(LINECALLORIGIN_OUTBOUND), i.dwOrigin);
    EXPECT_EQ(kFixed + TextBytes(u"0800123456"), i.dwNeededSize);
}

TEST(LineGetCallInfo, WithheldNumberIsBlockedAndHasNoText) {
    Device d;
    DWORD cell = Network().AddStandardLines();
    Watcher w(cell);
    CallOptions o;
    o.withheld = true;
    o.callerName = u"never shown";
    Network().Incoming(cell, u"+441234567890", o);
    InfoBuffer b(1024);
    ASSERT_EQ(0, lineGetCallInfo(w.Take(), b.info()));
    EXPECT_EQ(DWORD(LINECALLPARTYID_BLOCKED), b.info()->dwCallerIDFlags);
    EXPECT_EQ(0u, b.info()->dwCallerIDSize);
    EXPECT_EQ(0u, b.info()->dwCallerIDNameSize);
    EXPECT_EQ(kFixed, b.info()->dwNeededSize);
    EXPECT_EQ(kFixed, b.info()->dwUsedSize);
    EXPECT_TRUE(Network().Call(1).number.empty()) << "the network never had the number";
}

TEST(LineGetCallInfo, PartsThatDoNotFitAreLeftOutAndLaterOnesStillTried) {
    Device d;
    DWORD cell = Network().AddStandardLines();
    Watcher w(cell);
    CallOptions o;
    o.callerName = u"Ann";
    o.display = u"Call waiting";
    Network().Incoming(cell, u"+4412345678901234567890", o);
    HCALL call = w.Take();
    const DWORD number = TextBytes(u"+4412345678901234567890"), name = TextBytes(u"Ann"),
                display = TextBytes(u"Call waiting");
    struct Case {
        DWORD total;
        bool numberFits, nameFits, displayFits;
    } cases[] = {
        {kFixed, false, false, false},
        {kFixed + name, false, true, false},      // the number is too long, the name fits
        {kFixed + number - 1, false, true, true}, // one byte short of the number
        {kFixed + number, true, false, false},
        {kFixed + number + name, true, true, false},
        {kFixed + name + display, false, true, true}, // past a part left out
        {kFixed + number + name + display, true, true, true},
    };
    for (const Case& c : cases) {
        InfoBuffer b(c.total);
        ASSERT_EQ(0, lineGetCallInfo(call, b.info())) << "total " << c.total;
        LINECALLINFO& i = *b.info();
        SCOPED_TRACE("total " + std::to_string(c.total));
        EXPECT_EQ(kFixed + number + name + display, i.dwNeededSize);
        DWORD used = kFixed + (c.numberFits ? number : 0) + (c.nameFits ? name : 0) +
                     (c.displayFits ? display : 0);
        EXPECT_EQ(used, i.dwUsedSize);
        EXPECT_EQ(c.numberFits ? number : 0, i.dwCallerIDSize);
        EXPECT_EQ(c.nameFits ? name : 0, i.dwCallerIDNameSize);
        EXPECT_EQ(c.displayFits ? display : 0, i.dwDisplaySize);
        if (!c.numberFits) {
            EXPECT_EQ(0u, i.dwCallerIDOffset);
        }
        if (c.nameFits) {
            EXPECT_EQ(u"Ann", b.Text(i.dwCallerIDNameOffset, i.dwCallerIDNameSize));
        } else {
            EXPECT_EQ(0u, i.dwCallerIDNameOffset);
        }
        if (c.displayFits) {
            EXPECT_EQ(u"Call waiting", b.Text(i.dwDisplayOffset, i.dwDisplaySize));
        }
        EXPECT_EQ(DWORD(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME), i.dwCallerIDFlags)
            << "the flags say what the network gave, whether it fits or not";
        EXPECT_TRUE(b.UntouchedPastUsed());
    }
}

TEST(LineGetCallInfo, NumbersOfAnyLength) {
    Device d;
    DWORD cell = Network().AddStandardLines();
    Watcher w(cell);
    for (size_t length : {1u, 20u, 500u}) {
        std::u16string number(length, u'7');
        number[0] = u'+';
        Network().Incoming(cell, number);
        InfoBuffer b(5120);
        ASSERT_EQ(0, lineGetCallInfo(w.Take(), b.info()));
        EXPECT_EQ(kFixed + TextBytes(number), b.info()->dwNeededSize) << "length " << length;
        EXPECT_EQ(number, b.Text(b.info()->dwCallerIDOffset, b.info()->dwCallerIDSize));
    }
    Network().Incoming(cell, u"");
    InfoBuffer b(1024);
    ASSERT_EQ(0, lineGetCallInfo(w.Take(), b.info()));
    EXPECT_EQ(DWORD(LINECALLPARTYID_UNKNOWN), b.info()->dwCallerIDFlags)
        << "no number, not withheld";
    EXPECT_EQ(0u, b.info()->dwCallerIDSize);
}

TEST(LineGetCallInfo, OriginReasonAndMediaAreTheNetworks) {
    Device d;
    DWORD cell = Network().AddStandardLines();
    Watcher w(cell);
    CallOptions o;
    o.origin = LINECALLORIGIN_INBOUND | LINECALLORIGIN_EXTERNAL;
    o.reason = LINECALLREASON_FWDNOANSWER;
    Network().Incoming(cell, u"123", o);
    InfoBuffer b(1024);
    ASSERT_EQ(0, lineGetCallInfo(w.Take(), b.info()));
    EXPECT_EQ(DWORD(LINECALLORIGIN_INBOUND | LINECALLORIGIN_EXTERNAL), b.info()->dwOrigin);
    EXPECT_EQ(DWORD(LINECALLREASON_FWDNOANSWER), b.info()->dwReason);

    CallOptions data;
    data.mediaMode = LINEMEDIAMODE_DATAMODEM;
    Network().Incoming(cell, u"456", data);
    InfoBuffer c(1024);
    ASSERT_EQ(0, lineGetCallInfo(w.Take(), c.info()));
    EXPECT_EQ(DWORD(LINEMEDIAMODE_DATAMODEM), c.info()->dwMediaMode);
    EXPECT_EQ(DWORD(LINEBEARERMODE_DATA), c.info()->dwBearerMode);
    EXPECT_EQ(9600u, c.info()->dwRate);
    EXPECT_EQ(1u, c.info()->dwNumOwners) << "a voice owner only monitors a data call";
    EXPECT_EQ(1u, c.info()->dwNumMonitors);
}

// The declaration is the real header's, 344 bytes with TAPI 3.0's tail; a
// 2.0 application gets the 2.0 fill whichever size it passes.
TEST(LineGetCallInfo, A20ApplicationGetsThe20FixedPartWhateverItsStructuresSize) {
    EXPECT_EQ(344u, sizeof(LINECALLINFO));
    Device d;
    DWORD cell = Network().AddStandardLines();
    Watcher w(cell, 0x00020000);
    Network().Incoming(cell, u"+441234567890");
    HCALL call = w.Take();
    const DWORD number = TextBytes(u"+441234567890");
    struct Case {
        int line;
        DWORD total, used;
    } cases[] = {
        {__LINE__, 324, 324},           // the 2.0 structure: no room for the number
        {__LINE__, 344, 324},           // the declared one: 20 bytes, still no room
        {__LINE__, 324 + 28, 324 + 28}, // the number just fits after the 2.0 part
        {__LINE__, 1024, 324 + 28},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        InfoBuffer b(c.total);
        ASSERT_EQ(0, lineGetCallInfo(call, b.info()));
        LINECALLINFO& i = *b.info();
        EXPECT_EQ(324u + number, i.dwNeededSize);
        EXPECT_EQ(c.used, i.dwUsedSize);
        EXPECT_EQ(c.used > 324 ? 324u : 0u, i.dwCallerIDOffset);
        EXPECT_EQ(c.total, i.dwTotalSize);
        EXPECT_TRUE(b.UntouchedPastUsed()) << "TAPI 3.0's fields are not written";
    }
}

TEST(LineGetCallInfo, Errors) {
    Device d;
    DWORD cell = Network().AddStandardLines();
    Watcher w(cell);
    Watcher old(cell, 0x00010004);
    Network().Incoming(cell, u"123");
    HCALL call = w.Take();
    InfoBuffer b(kFixed - 1);
    EXPECT_EQ(LONG(LINEERR_STRUCTURETOOSMALL), lineGetCallInfo(call, b.info()));
    EXPECT_EQ(LONG(LINEERR_INVALPOINTER), lineGetCallInfo(call, nullptr));
    EXPECT_EQ(LONG(LINEERR_INVALCALLHANDLE), lineGetCallInfo(w.line, b.info())) << "a line handle";
    EXPECT_EQ(LONG(LINEERR_INVALCALLHANDLE), lineGetCallInfo(0, b.info()));

    // A 1.4 line's structure ends before dwCallTreatment.
    const DWORD fixed14 = offsetof(LINECALLINFO, dwCallTreatment);
    InfoBuffer small(fixed14);
    ASSERT_EQ(0, lineGetCallInfo(old.Take(), small.info()));
    EXPECT_EQ(fixed14 + TextBytes(u"123"), small.info()->dwNeededSize);
    InfoBuffer fits(fixed14 + 8);
    ASSERT_EQ(0, lineGetCallInfo(old.call, fits.info()));
    EXPECT_EQ(fixed14, fits.info()->dwCallerIDOffset);

    Network().HangUp(1);
    w.Take();
    EXPECT_EQ(0, lineDeallocateCall(call));
    EXPECT_EQ(LONG(LINEERR_INVALCALLHANDLE), lineGetCallInfo(call, b.info())) << "deallocated";
    EXPECT_EQ(LONG(LINEERR_INVALCALLHANDLE), lineDeallocateCall(call));
}
