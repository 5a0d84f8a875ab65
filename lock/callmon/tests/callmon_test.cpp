// The call monitor on the handset's cellular network: which call states
// lock and unlock, which line it opens, how it stops, and how it fails.
#include "harness.h"
#include "testing/testing.h"

using handset::CallId;
using handset::CallPlan;
using handset::CellularNetwork;
using handset::Device;
using harness::Describe;
using harness::MainThread;

namespace {

const UINT kLock = WM_LOCK_SCREEN;
const UINT kUnlock = WM_UNLOCK_SCREEN;

CellularNetwork& Net(Device& d) {
    return d.Get<handset::CellularNetwork>();
}

} // namespace

TEST(CallMonitor, IncomingCallFromAContactLocksWithItsDetailsAndHangUpUnlocks) {
    Device d;
    DWORD line = Net(d).AddStandardLines();
    std::string error;
    ASSERT_TRUE(
        d.Get<handset::PimStore>().LoadVcfText("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;Anna;;;\r\n"
                                               "TEL;TYPE=CELL:+44 7700 900123\r\nEND:VCARD\r\n",
                                               "anna.vcf", &error))
        << error;
    MainThread main(d);
    ASSERT_TRUE(main.started);
    Net(d).ScheduleIncoming(1000, line, u"07700900123", CallPlan{.ringMs = 2000, .talkMs = 60000});
    d.RunFor(70000);

    ASSERT_EQ("lock unlock ", Describe(main.Messages()));
    const harness::Seen& lock = main.seen[0];
    EXPECT_GE(lock.at, 3000u) << "locks when connected, not while ringing";
    EXPECT_LE(lock.at, 3001u);
    EXPECT_EQ(u"07700900123", lock.number);
    EXPECT_EQ(u"Smith, Anna", lock.name);
    EXPECT_TRUE(lock.incoming);
    EXPECT_EQ(d.TickCount() - (d.Now() - lock.at), lock.startTick) << "tick of the connection";
    EXPECT_NE(0u, lock.call);
    EXPECT_GE(main.seen[1].at, 63000u);
    EXPECT_EQ(0u, g_lockState.activeCall) << "a disconnected call is no longer droppable";

    main.Exit();
    EXPECT_EQ(0u, main.MonitorExitCode());
    EXPECT_NOTHING_HELD(d, main.pid);
    EXPECT_TRUE(Net(d).OpenLines().empty());
}

TEST(CallMonitor, OutgoingCallLocksOnConnectNotWhileDialling) {
    Device d;
    DWORD line = Net(d).AddStandardLines();
    MainThread main(d);
    CallId call = Net(d).Outgoing(line, u"5550100");
    d.RunFor(100);
    Net(d).Proceeding(call);
    d.RunFor(100);
    Net(d).Ringback(call);
    d.RunFor(2000);
    EXPECT_EQ("", Describe(main.Messages())) << "dialling, proceeding and ringback never lock";
    Net(d).Connect(call);
    d.RunFor(600);
    ASSERT_EQ("lock ", Describe(main.Messages()));
    EXPECT_FALSE(main.seen[0].incoming);
    EXPECT_EQ(u"5550100", main.seen[0].number) << "the dialled number";
    main.Exit();
}

TEST(CallMonitor, UnansweredCallOnlyUnlocks) {
    Device d;
    DWORD line = Net(d).AddStandardLines();
    MainThread main(d);
    Net(d).ScheduleIncoming(500, line, u"5550100", CallPlan{.ringMs = 20000, .answered = false});
    d.RunFor(30000);
    EXPECT_EQ("unlock ", Describe(main.Messages()));
    main.Exit();
}

TEST(CallMonitor, ResumedAndSecondCallsLockAgainWithTheirOwnDetails) {
    Device d;
    DWORD line = Net(d).AddLine(u"Cellular Line", handset::LineConfig{.maxActiveCalls = 2});
    MainThread main(d);
    CallId first = Net(d).Incoming(line, u"111111");
    Net(d).Connect(first);
    d.RunFor(1000);
    Net(d).Hold(first);
    d.RunFor(1000);
    Net(d).Resume(first);
    d.RunFor(1000);
    CallId second = Net(d).Outgoing(line, u"222222");
    d.RunFor(1000);
    Net(d).Connect(second);
    d.RunFor(1000);
    Net(d).HangUp(first);
    d.RunFor(1000);
    Net(d).HangUp(second);
    d.RunFor(1000);
    // The second call, still connected when the first ended, kept the lock.
    ASSERT_EQ("lock lock lock unlock ", Describe(main.Messages()));
    EXPECT_GT(main.seen[1].startTick, main.seen[0].startTick) << "a resumed call restarts the time";
    EXPECT_EQ(u"222222", main.seen[2].number);
    EXPECT_FALSE(main.seen[2].incoming);
    EXPECT_NE(main.seen[0].call, main.seen[2].call);
    main.Exit();
}

// Call A ("111111") is connected, then call B ("222222") comes; one of them
// ends. While a voice call is still connected the screen stays locked and
// LockState names that call, timed from its own connection.
TEST(CallMonitor, WhenOneOfTwoCallsEndsTheLockStaysWithTheOneStillConnected) {
    enum Second { Rejected, AnsweredWithAHeld, AnsweredBesideA };
    struct Case {
        int line;
        Second second;
        char ends;           // 'A' or 'B'
        const char* failing; // fails from the end on, or null
        std::string messages;
        std::u16string number; // in LockState afterwards
        char named;            // the call activeCall names: 'A', 'B' or 0
    } cases[] = {
        {__LINE__, Rejected, 'B', nullptr, "lock ", u"111111", 'A'},
        // the held caller hangs up: the lock already shows B
        {__LINE__, AnsweredWithAHeld, 'A', nullptr, "lock lock ", u"222222", 'B'},
        // only the held call is left: the user must be able to take it back
        {__LINE__, AnsweredWithAHeld, 'B', nullptr, "lock lock unlock ", u"222222", 0},
        {__LINE__, AnsweredBesideA, 'B', nullptr, "lock lock lock ", u"111111", 'A'},
        {__LINE__, AnsweredBesideA, 'A', nullptr, "lock lock ", u"222222", 'B'},
        // A's details cannot be read again: no number rather than B's
        {__LINE__, AnsweredBesideA, 'B', "lineGetCallInfo", "lock lock lock ", u"", 'A'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        DWORD line = Net(d).AddLine(u"Cellular Line", handset::LineConfig{.maxActiveCalls = 2});
        MainThread main(d);
        CallId a = Net(d).Incoming(line, u"111111");
        d.RunFor(1000);
        Net(d).Connect(a);
        d.RunFor(4000);
        CallId b = Net(d).Incoming(line, u"222222");
        d.RunFor(1000);
        if (c.second == AnsweredWithAHeld) Net(d).Hold(a);
        if (c.second != Rejected) Net(d).Connect(b);
        d.RunFor(1000);
        if (c.failing) d.faults().FailAlways(c.failing, static_cast<DWORD>(LINEERR_NOMEM));
        Net(d).HangUp(c.ends == 'A' ? a : b,
                      c.second == Rejected ? LINEDISCONNECTMODE_REJECT : LINEDISCONNECTMODE_NORMAL);
        d.RunFor(1000);
        d.faults().Clear();

        EXPECT_EQ(c.messages, Describe(main.Messages()));
        EXPECT_EQ(c.number, std::u16string(g_lockState.callNumber));
        const auto* named = Net(d).FindCallHandle(g_lockState.activeCall);
        EXPECT_EQ(c.named == 'A' ? a : c.named == 'B' ? b : 0u, named ? named->call : 0u);
        if (c.named == 'A') {
            EXPECT_EQ(main.seen[0].startTick, g_lockState.callStartTick)
                << "A's time counts from A's connection";
        }
        main.Exit();
    }
}

// Calls the line never reports ended fill every place the monitor keeps;
// twelve at once overrun nothing, and the last connected keeps the lock.
TEST(CallMonitor, TwelveCallsAtOnceOverrunNothing) {
    Device d;
    DWORD line = Net(d).AddLine(u"Cellular Line", handset::LineConfig{.maxActiveCalls = 12});
    MainThread main(d);
    std::vector<CallId> calls;
    for (int i = 0; i < 12; ++i) {
        calls.push_back(Net(d).Incoming(line, u"55501" + handset::Widen(std::to_string(10 + i))));
        Net(d).Connect(calls.back());
        d.RunFor(1000);
    }
    for (CallId call : calls) {
        Net(d).HangUp(call);
        d.RunFor(1000);
    }
    std::string locks;
    for (int i = 0; i < 12; ++i)
        locks += "lock ";
    EXPECT_EQ(locks + "unlock ", Describe(main.Messages()));
    EXPECT_EQ(0u, g_lockState.activeCall);
    main.Exit();
}

// The main thread's queue refuses a post: the message is posted again at
// each of the monitor's wakes until it goes; a lock for a new call takes
// the place of an unlock still waiting.
TEST(CallMonitor, AMessageTheQueueRefusesIsPostedAgainUntilDelivered) {
    struct Case {
        int line;
        unsigned refusals; // of the posts from the hang-up on
        bool newCall;      // connects 700 ms after the hang-up, the queue full until 710
        std::string messages;
        uint64_t lastAt; // the last message, after the hang-up
    } cases[] = {
        {__LINE__, 1, false, "lock unlock ", 1},
        // refused at the hang-up and at the wakes 1, 2 and 503 ms after it
        {__LINE__, 4, false, "lock unlock ", 1004},
        {__LINE__, 1000, true, "lock lock ", 1204},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        DWORD line = Net(d).AddStandardLines();
        MainThread main(d);
        CallId call = Net(d).Incoming(line, u"5550100");
        Net(d).Connect(call);
        d.RunFor(1000);
        d.faults().Add({.function = "PostThreadMessageW",
                        .error = ERROR_NOT_ENOUGH_MEMORY,
                        .nth = 1,
                        .times = c.refusals,
                        .pid = main.pid});
        uint64_t hungUp = d.Now();
        Net(d).HangUp(call);
        if (c.newCall) {
            d.RunFor(700);
            Net(d).Connect(Net(d).Incoming(line, u"5550101"));
            d.RunFor(10);
            d.faults().Clear();
        }
        d.RunFor(3000);
        EXPECT_EQ(c.messages, Describe(main.Messages()));
        EXPECT_EQ(c.lastAt, main.seen.back().at - hungUp);
        main.Exit();
    }
}

TEST(CallMonitor, DataCallNeverLocks) {
    Device d;
    DWORD line = Net(d).AddStandardLines();
    MainThread main(d);
    CallId call = Net(d).Incoming(line, u"5550100",
                                  handset::CallOptions{.mediaMode = LINEMEDIAMODE_DATAMODEM});
    Net(d).Connect(call);
    d.RunFor(1000);
    EXPECT_EQ("", Describe(main.Messages()));
    EXPECT_EQ(0u, g_lockState.activeCall);
    main.Exit();
}

TEST(CallMonitor, OpensTheLastOfSeveralCellularLines) {
    Device d;
    Net(d).AddLine(u"Cellular Line");
    Net(d).AddLine(u"IrDA");
    Net(d).AddLine(u"Cellular Line");
    Net(d).AddLine(u"Cellular Line 2"); // not the same name
    MainThread main(d);
    auto open = Net(d).OpenLines();
    ASSERT_EQ(1u, open.size());
    EXPECT_EQ(2u, open[0].device);
    EXPECT_EQ(DWORD(LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER), open[0].privileges);
    EXPECT_EQ(DWORD(LINEMEDIAMODE_INTERACTIVEVOICE), open[0].mediaModes);
    main.Exit();
}

TEST(CallMonitor, StopIsSeenWithinHalfASecondAndClosesTheLine) {
    Device d;
    Net(d).AddStandardLines();
    MainThread main(d);
    d.RunFor(12345); // well into its waits
    main.Exit();
    EXPECT_LE(main.stopped - main.exitAsked, 501u);
    EXPECT_EQ(0u, main.MonitorExitCode());
    EXPECT_EQ(0u, d.timeline().Count("thread.terminate"));
    EXPECT_NOTHING_HELD(d, main.pid);
}

TEST(CallMonitor, ThreadThatDoesNotStopIsTerminatedAfterASecond) {
    Device d;
    DWORD line = Net(d).AddStandardLines();
    MainThread main(d);
    d.faults().Slow("lineGetMessage", 60000); // the monitor hangs in TAPI
    Net(d).Incoming(line, u"5550100");
    d.RunFor(100);
    main.Exit();
    EXPECT_EQ(1000u, main.stopped - main.exitAsked);
    EXPECT_EQ(1u, d.timeline().Count("thread.terminate"));
    EXPECT_EQ(0xFFFFFFFFu, main.MonitorExitCode());
    EXPECT_EQ(1, d.Held(main.pid, handset::kLineApp))
        << "a terminated monitor leaves its line open";
}

TEST(CallMonitor, TapiFailuresEndTheThreadWithMinusOneAndPostNothing) {
    struct Case {
        int line;
        const char* function; // made to fail, or null
        DWORD error;
        const char16_t* lineName;
    } cases[] = {
        {__LINE__, "lineInitializeEx", LINEERR_NOMEM, u"Cellular Line"},
        {__LINE__, nullptr, 0, u"Modem"}, // no cellular line
        {__LINE__, "lineOpen", LINEERR_RESOURCEUNAVAIL, u"Cellular Line"},
        {__LINE__, "lineGetDevCaps", LINEERR_NOMEM, u"Cellular Line"},
        {__LINE__, "lineNegotiateAPIVersion", LINEERR_INCOMPATIBLEAPIVERSION, u"Cellular Line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        DWORD line = Net(d).AddLine(c.lineName);
        if (c.function) d.faults().FailAlways(c.function, static_cast<DWORD>(c.error));
        MainThread main(d);
        EXPECT_TRUE(main.started);
        CallId call = Net(d).Incoming(line, u"5550100");
        Net(d).Connect(call);
        d.RunFor(2000);
        Net(d).HangUp(call);
        d.RunFor(2000);
        EXPECT_EQ("", Describe(main.Messages()));
        EXPECT_EQ(0xFFFFFFFFu, main.MonitorExitCode());
        EXPECT_EQ(0, d.Held(main.pid, handset::kLineApp)) << "TAPI shut down";
        main.Exit();
        EXPECT_EQ(0, d.Held(main.pid, handset::kKernelHandle));
    }
}

TEST(CallMonitor, StartFailsCleanlyWhenItsEventOrThreadCannotBeMade) {
    for (const char* function : {"CreateEventW", "CreateThread"}) {
        Device d;
        Net(d).AddStandardLines();
        d.faults().FailAlways(function, ERROR_NOT_ENOUGH_MEMORY);
        MainThread main(d);
        d.RunUntilExit(main.pid, 1000);
        EXPECT_FALSE(main.started) << function;
        EXPECT_EQ(0, d.Held(main.pid, handset::kKernelHandle)) << function;
        EXPECT_EQ(1u, d.timeline().Count("thread.start")) << "no monitor thread, " << function;
    }
}

TEST(CallMonitor, StopWithoutStartIsHarmless) {
    Device d;
    EXPECT_EQ(0u, d.Call([] { return DWORD(StopCallMonitor() && StopCallMonitor() ? 0 : 1); }));
}

// The same scripted call, traced twice: every platform call with its
// arguments, result and last error, every hand-over and every timer expiry
// comes out the same.
TEST(CallMonitor, ATracedCallTracesTheSameTwice) {
    auto run = [](std::string* lineOpen) {
        Device d(Device::Options{.trace = true});
        DWORD line = Net(d).AddStandardLines();
        MainThread main(d);
        Net(d).ScheduleIncoming(1000, line, u"07700900123",
                                CallPlan{.ringMs = 2000, .talkMs = 500});
        d.RunFor(5000);
        main.Exit();
        for (const auto* e : d.timeline().Find("call"))
            if (e->Get("fn") == "lineOpen") *lineOpen = e->Get("args") + " -> " + e->Get("result");
        EXPECT_GT(d.timeline().Count("sched.run"), 10u);
        EXPECT_GT(d.timeline().Count("sched.timer"), 0u);
        return d.timeline().ToJsonLines();
    };
    std::string open1, open2;
    std::string first = run(&open1), second = run(&open2);
    EXPECT_EQ(std::hash<std::string>{}(first), std::hash<std::string>{}(second))
        << "first:\n"
        << first.substr(0, 4000) << "\nsecond:\n"
        << second.substr(0, 4000);
    // The application handle (a DWORD, so in decimal), the cellular line
    // (device 1), its out-pointer, API 2.0, owner and monitor privileges with
    // the voice media mode; success.
    size_t comma = open1.find(',');
    ASSERT_NE(std::string::npos, comma) << open1;
    EXPECT_EQ(std::string::npos, open1.substr(0, comma).find_first_not_of("0123456789")) << open1;
    EXPECT_EQ(", 1, ptr, 131072, 0, 0, 6, 4, NULL -> 0", open1.substr(comma)) << open1;
}
