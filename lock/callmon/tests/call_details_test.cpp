// Call details as the monitor records them, the call drop, and the bounded
// copy of a number out of TAPI's call information.
#include "harness.h"

#include <climits>
#include <cstring>

using handset::CallId;
using handset::CallOptions;
using handset::Device;
using harness::Describe;
using harness::MainThread;

namespace {

handset::CellularNetwork& Net(Device& d) {
    return d.Get<handset::CellularNetwork>();
}

// Connects one incoming call with the options and returns what the lock saw.
std::vector<harness::Seen> ConnectIncoming(Device& d, std::u16string number, CallOptions options) {
    DWORD line = Net(d).AddStandardLines();
    MainThread main(d);
    CallId call = Net(d).Incoming(line, std::move(number), options);
    Net(d).Connect(call);
    d.RunFor(1000);
    main.Exit();
    return main.seen;
}

} // namespace

TEST(CallDetails, EveryOriginButOutboundCountsAsIncoming) {
    struct Case {
        int line;
        DWORD origin;
        bool incoming;
    } cases[] = {
        {__LINE__, LINECALLORIGIN_EXTERNAL, true},
        {__LINE__, LINECALLORIGIN_INBOUND, true},
        {__LINE__, LINECALLORIGIN_INTERNAL, true},
        {__LINE__, LINECALLORIGIN_UNKNOWN, true},
        {__LINE__, LINECALLORIGIN_UNAVAIL, true},
        {__LINE__, LINECALLORIGIN_CONFERENCE, true},
        {__LINE__, LINECALLORIGIN_OUTBOUND, false},
        {__LINE__, LINECALLORIGIN_OUTBOUND | LINECALLORIGIN_INTERNAL, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        auto seen = ConnectIncoming(d, u"5550100", CallOptions{.origin = c.origin});
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ(c.incoming, seen[0].incoming) << "origin " << c.origin;
    }
}

TEST(CallDetails, WithheldNumberStillLocksWithoutLookingUp) {
    Device d;
    d.Get<handset::PimStore>().Add({.lastName = u"Nobody"});
    auto seen = ConnectIncoming(d, u"", CallOptions{.withheld = true});
    ASSERT_EQ(1u, seen.size());
    EXPECT_TRUE(seen[0].incoming);
    EXPECT_EQ(u"", seen[0].number);
    EXPECT_EQ(u"", seen[0].name);
    EXPECT_EQ(0u, d.faults().Calls("CoInitializeEx")) << "no COM for an empty number";
}

TEST(CallDetails, TheCallerIdWinsOverTheCalledId) {
    Device d;
    d.Get<handset::PimStore>().Add({.lastName = u"Caller", .mobileTelephoneNumber = u"5550100"});
    d.Get<handset::PimStore>().Add(
        {.lastName = u"Own phone", .mobileTelephoneNumber = u"07700900123"});
    auto seen = ConnectIncoming(d, u"5550100", CallOptions{.calledNumber = u"07700900123"});
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(u"5550100", seen[0].number);
    EXPECT_EQ(u"Caller", seen[0].name);
}

TEST(CallDetails, LongNumberIsCutToFitAndStaysTerminated) {
    Device d;
    std::u16string number(40, u'7');
    number[30] = u'1';
    auto seen = ConnectIncoming(d, number, {});
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(number.substr(0, 31), seen[0].number);
}

TEST(CallDetails, OutgoingCallToAContactShowsTheDialledNumberAndName) {
    Device d;
    d.Get<handset::PimStore>().Add(
        {.firstName = u"Bo", .lastName = u"Lee", .businessTelephoneNumber = u"555-0100"});
    DWORD line = Net(d).AddStandardLines();
    MainThread main(d);
    CallId call = Net(d).Outgoing(line, u"5550100");
    Net(d).Connect(call);
    d.RunFor(1000);
    ASSERT_EQ(1u, main.seen.size());
    EXPECT_EQ(u"5550100", main.seen[0].number);
    EXPECT_EQ(u"Lee, Bo", main.seen[0].name);
    EXPECT_FALSE(main.seen[0].incoming);
    main.Exit();
}

TEST(CallDetails, UnreadableInformationRecordsNothingAndDoesNotLock) {
    for (const char* function : {"lineGetCallInfo", "LocalAlloc"}) {
        Device d;
        DWORD line = Net(d).AddStandardLines();
        MainThread main(d); // the line is open before the fault
        g_lockState.callNumber[0] = u'9';
        g_lockState.callNumber[1] = 0;
        d.faults().FailAlways(function, std::strcmp(function, "LocalAlloc") == 0
                                            ? ERROR_NOT_ENOUGH_MEMORY
                                            : static_cast<DWORD>(LINEERR_NOMEM));
        CallId call = Net(d).Incoming(line, u"5550100");
        Net(d).Connect(call);
        d.RunFor(1000);
        EXPECT_EQ("", Describe(main.Messages())) << function;
        EXPECT_EQ(u"9", std::u16string(g_lockState.callNumber)) << "untouched, " << function;
        EXPECT_EQ(0u, g_lockState.activeCall) << function;
        d.faults().Clear();
        main.Exit();
    }
}

TEST(CallDetails, DropEndsTheCallOnceAndNothingAfterTheCallEnded) {
    Device d;
    DWORD line = Net(d).AddStandardLines();
    MainThread main(d);
    main.dropsOnLock = 2;
    CallId call = Net(d).Incoming(line, u"5550100");
    Net(d).Connect(call);
    d.RunFor(2000);
    EXPECT_EQ(1u, d.faults().Calls("lineDrop")) << "the second drop asks nothing";
    EXPECT_EQ(1u, Net(d).DropRequests());
    EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), Net(d).Call(call).state);
    EXPECT_EQ("lock unlock ", Describe(main.Messages()));
    EXPECT_EQ(0u, g_lockState.activeCall);

    main.dropsOnLock = 0;
    main.dropOnUnlock = true; // the monitor has cleared the call by then
    CallId other = Net(d).Incoming(line, u"5550101");
    Net(d).Connect(other);
    d.RunFor(1000);
    Net(d).HangUp(other);
    d.RunFor(1000);
    EXPECT_EQ(1u, d.faults().Calls("lineDrop")) << "nothing to drop once the call has ended";
    main.Exit();
}

TEST(CallDetails, AFailedDropStillEndsTheRecordOfTheCall) {
    Device d;
    DWORD line = Net(d).AddStandardLines();
    MainThread main(d);
    main.dropsOnLock = 2;
    d.faults().FailAlways("lineDrop", static_cast<DWORD>(LINEERR_OPERATIONFAILED));
    CallId call = Net(d).Incoming(line, u"5550100");
    Net(d).Connect(call);
    d.RunFor(1000);
    EXPECT_EQ("lock ", Describe(main.Messages()));
    EXPECT_EQ(DWORD(LINECALLSTATE_CONNECTED), Net(d).Call(call).state) << "the drop failed";
    EXPECT_EQ(0u, g_lockState.activeCall);
    EXPECT_EQ(1u, d.faults().Calls("lineDrop")) << "the second drop asks nothing";
    d.faults().Clear();
    main.Exit();
}

TEST(CallDetails, NumberIsCopiedOnlyFromInsideTheFilledBuffer) {
    alignas(LINECALLINFO) BYTE buffer[512] = {};
    auto* info = reinterpret_cast<LINECALLINFO*>(buffer);
    const char16_t text[] = u"0123456789012345678901234567890123456789"; // 40 units
    std::memcpy(buffer + 400, text, 82);
    info->dwTotalSize = sizeof buffer;
    info->dwUsedSize = 482;
    struct Case {
        int line;
        DWORD offset, size;
        BOOL ok;
        std::u16string expected;
    } cases[] = {
        {__LINE__, 400, 82, TRUE, std::u16string(text).substr(0, 31)}, // cut to 31 units
        {__LINE__, 400, 10, TRUE, u"01234"},                           // no terminator in the part
        {__LINE__, 400, 11, TRUE, u"01234"},                           // odd size: whole units only
        {__LINE__, 400, 84, FALSE, u"unchanged"},                      // runs past the used size
        {__LINE__, 483, 2, FALSE, u"unchanged"},                       // starts past it
        {__LINE__, 0xFFFFFFF0u, 0x20, FALSE, u"unchanged"},            // wraps round
        {__LINE__, 482, 0, TRUE, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        WCHAR dest[CALL_NUMBER_LEN + 1];
        for (auto& u : dest)
            u = u'#';
        std::memcpy(dest, u"unchanged", 20);
        EXPECT_EQ(c.ok,
                  CopyCallInfoText(info, sizeof buffer, c.offset, c.size, dest, CALL_NUMBER_LEN));
        EXPECT_EQ(c.expected, std::u16string(dest));
        EXPECT_EQ(u'#', dest[CALL_NUMBER_LEN]) << "nothing past the field";
    }
    info->dwUsedSize = 4096; // more than the buffer: the buffer's end counts
    WCHAR dest[CALL_NUMBER_LEN] = u"x";
    EXPECT_FALSE(CopyCallInfoText(info, sizeof buffer, 500, 20, dest, CALL_NUMBER_LEN));
}

TEST(CallDetails, NoTextIsCopiedIntoADestinationWithoutRoom) {
    const char16_t text[] = u"5550100";
    struct Case {
        int line;
        int destLen;
        BOOL ok;
        std::u16string want; // the destination afterwards; '#' is untouched
    } cases[] = {
        {__LINE__, INT_MIN, FALSE, u"####"},
        {__LINE__, -1, FALSE, u"####"},
        {__LINE__, 0, FALSE, u"####"},
        {__LINE__, 1, TRUE, std::u16string(u"\0###", 4)},
        {__LINE__, 3, TRUE, std::u16string(u"55\0#", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        WCHAR dest[4] = {u'#', u'#', u'#', u'#'};
        EXPECT_EQ(c.ok, CopyTapiText(text, sizeof text, sizeof text, 0, 14, dest, c.destLen));
        EXPECT_EQ(c.want, std::u16string(dest, 4));
    }
}
