// Line messages: who hears of each call-state change, the message event,
// lineGetMessage in virtual time, lineDrop, lineDeallocateCall, and what
// TAPI takes back at shutdown and process exit.
#include <map>
#include <vector>

#include "kernel/objects.h"
#include "tapi_test.h"

using handset::CallId;
using handset::Device;
using handset::Network;
using namespace tapitest;

namespace {

bool EventSet(Device& d, HANDLE h) {
    auto event = std::dynamic_pointer_cast<handset::Event>(d.Resolve(h));
    return event && event->signaled;
}

// The call handle of the app's first LINE_APPNEWCALL.
HCALL NewCallHandle(const std::vector<LINEMESSAGE>& ms) {
    for (auto& m : ms)
        if (m.dwMessageID == LINE_APPNEWCALL) return static_cast<HCALL>(m.dwParam2);
    return 0;
}

} // namespace

TEST(LineCallState, EveryChangeReachesEachAppWithTheLineOpenWithItsOwnHandle) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App owner = Initialized(), monitor = Initialized(), irda = Initialized(), none = Initialized();
    HLINE ownerLine = Open(owner, cell, kOwner | kMonitor, kVoice, 11);
    Open(monitor, cell, kMonitor, 0, 22);
    Open(irda, 0, kMonitor, 0, 33);
    Open(none, cell, LINECALLPRIVILEGE_NONE, 0, 44);

    CallId id = net.Incoming(cell, u"123");
    net.Connect(id);
    net.HangUp(id, LINEDISCONNECTMODE_NORMAL);

    auto mo = Drain(owner.app), mm = Drain(monitor.app);
    EXPECT_EQ((std::vector<std::string>{"APPNEWCALL 4", "CALLSTATE offering 1 4",
                                        "CALLSTATE connected 1 0", "CALLSTATE disconnected 1 0",
                                        "CALLSTATE idle 0 0"}),
              Describe(mo));
    EXPECT_EQ((std::vector<std::string>{"APPNEWCALL 2", "CALLSTATE offering 1 2",
                                        "CALLSTATE connected 1 0", "CALLSTATE disconnected 1 0",
                                        "CALLSTATE idle 0 0"}),
              Describe(mm));
    HCALL ho = NewCallHandle(mo), hm = NewCallHandle(mm);
    EXPECT_NE(ho, hm) << "each app has its own handle for the call";
    EXPECT_EQ(ownerLine, mo[0].hDevice) << "LINE_APPNEWCALL names the line";
    for (size_t i = 1; i < mo.size(); ++i) {
        EXPECT_EQ(ho, mo[i].hDevice) << Describe(mo[i]);
        EXPECT_EQ(11u, mo[i].dwCallbackInstance) << Describe(mo[i]);
        EXPECT_EQ(hm, mm[i].hDevice) << Describe(mm[i]);
        EXPECT_EQ(22u, mm[i].dwCallbackInstance) << Describe(mm[i]);
    }
    EXPECT_TRUE(Drain(irda.app).empty()) << "another line's app hears nothing";
    EXPECT_TRUE(Drain(none.app).empty()) << "a line opened for outgoing calls only hears nothing";
}

TEST(LineCallState, AClosedLineHearsNoMoreAndALateOneHearsFromTheNextChange) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App early = Initialized(), stays = Initialized();
    HLINE earlyLine = Open(early, cell);
    Open(stays, cell, kMonitor, 0);
    CallId id = net.Incoming(cell, u"123");
    Drain(early.app);
    Drain(stays.app);

    ASSERT_EQ(0, lineClose(earlyLine));
    App late = Initialized();
    Open(late, cell);
    net.Connect(id);
    EXPECT_TRUE(Drain(early.app).empty());
    EXPECT_EQ(std::vector<std::string>{"CALLSTATE connected 1 0"}, Describe(Drain(stays.app)));
    EXPECT_EQ((std::vector<std::string>{"APPNEWCALL 4", "CALLSTATE connected 1 4"}),
              Describe(Drain(late.app)))
        << "the first message for a call carries the privilege";
}

TEST(LineCallState, OlderVersionsGetNoNewCallMessageAndNoModesTheyDidNotKnow) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App v13 = Initialized(), v14 = Initialized();
    Open(v13, cell, kMonitor, 0, 0, 0x00010003);
    Open(v14, cell, kMonitor, 0, 0, 0x00010004);
    CallId id = net.Incoming(cell, u"1");
    net.Connect(id);
    EXPECT_EQ((std::vector<std::string>{"CALLSTATE offering 0 2", "CALLSTATE connected 0 0"}),
              Describe(Drain(v13.app)));
    EXPECT_EQ((std::vector<std::string>{"CALLSTATE offering 1 2", "CALLSTATE connected 1 0"}),
              Describe(Drain(v14.app)));
}

TEST(LineCallState, OwnersTakeCallsOfTheirMediaModesOnly) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App voice = Initialized(), data = Initialized();
    Open(voice, cell, kOwner | kMonitor, kVoice);
    Open(data, cell, kOwner, LINEMEDIAMODE_DATAMODEM);
    handset::CallOptions o;
    o.mediaMode = LINEMEDIAMODE_DATAMODEM;
    CallId dataCall = net.Incoming(cell, u"555", o);
    auto mv = Drain(voice.app);
    EXPECT_EQ((std::vector<std::string>{"APPNEWCALL 2", "CALLSTATE offering 1 2"}), Describe(mv));
    EXPECT_EQ((std::vector<std::string>{"APPNEWCALL 4", "CALLSTATE offering 1 4"}),
              Describe(Drain(data.app)));
    EXPECT_EQ(LONG(LINEERR_NOTOWNER), lineDrop(NewCallHandle(mv), nullptr, 0))
        << "a monitor cannot drop";
    net.HangUp(dataCall);

    net.Incoming(cell, u"777");
    EXPECT_EQ((std::vector<std::string>{"CALLSTATE disconnected 1 0", "CALLSTATE idle 0 0",
                                        "APPNEWCALL 4", "CALLSTATE offering 1 4"}),
              Describe(Drain(voice.app)))
        << "the voice call is the voice owner's";
    EXPECT_EQ(2u, Drain(data.app).size()) << "the data owner hears only its call's end";
}

TEST(LineCallState, HoldResumeAndASecondCallOnTheLine) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App a = Initialized();
    Open(a, cell);
    CallId first = net.Incoming(cell, u"111");
    net.Connect(first);
    CallId second = net.Incoming(cell, u"222"); // call waiting
    net.Hold(first);
    net.Connect(second);
    net.HangUp(second);
    net.Resume(first);
    net.HangUp(first, LINEDISCONNECTMODE_UNAVAIL);

    // Each message as "call: what", the call told by its handle.
    std::map<DWORD, std::string> names;
    std::vector<std::string> seen;
    for (const LINEMESSAGE& m : Drain(a.app)) {
        if (m.dwMessageID == LINE_APPNEWCALL) {
            names[static_cast<DWORD>(m.dwParam2)] = std::to_string(names.size() + 1);
            continue;
        }
        seen.push_back(names[m.hDevice] + ": " + Describe(m));
    }
    EXPECT_EQ(
        (std::vector<std::string>{"1: CALLSTATE offering 1 4", "1: CALLSTATE connected 1 0",
                                  "2: CALLSTATE offering 1 4", "1: CALLSTATE onhold 0 0",
                                  "2: CALLSTATE connected 1 0", "2: CALLSTATE disconnected 1 0",
                                  "2: CALLSTATE idle 0 0", "1: CALLSTATE connected 1 0",
                                  "1: CALLSTATE disconnected 2048 0", "1: CALLSTATE idle 0 0"}),
        seen);
    EXPECT_EQ(2u, names.size());
}

TEST(LineMessageEvent, IsSetWhileMessagesWaitAndResetWhenTheyAreTaken) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App a = Initialized();
    Open(a, cell);
    EXPECT_FALSE(EventSet(d, a.event));
    net.Incoming(cell, u"1"); // APPNEWCALL and CALLSTATE
    EXPECT_TRUE(EventSet(d, a.event));
    LINEMESSAGE m;
    ASSERT_EQ(0, lineGetMessage(a.app, &m, 0));
    EXPECT_TRUE(EventSet(d, a.event)) << "one message still waits";
    ASSERT_EQ(0, lineGetMessage(a.app, &m, 0));
    EXPECT_FALSE(EventSet(d, a.event));
    EXPECT_EQ(LONG(LINEERR_OPERATIONFAILED), lineGetMessage(a.app, &m, 0));

    net.Connect(1);
    EXPECT_TRUE(EventSet(d, a.event));
    ASSERT_EQ(0, lineShutdown(a.app));
    EXPECT_EQ(0u, net.PendingMessages(a.app)) << "shutdown discards them";
}

TEST(LineMessageEvent, WakesAWaiterWhenTheCallComes) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    uint64_t wokeAt = 0;
    DWORD result = 0;
    d.StartProcess("monitor", [&] {
        App a = Initialized();
        Open(a, cell);
        result = WaitForSingleObject(a.event, 10000);
        wokeAt = d.Now();
        return DWORD(0);
    });
    d.At(3000, [&] { net.Incoming(cell, u"1"); });
    d.RunFor(20000);
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), result);
    EXPECT_EQ(3000u, wokeAt);
}

TEST(LineGetMessage, WaitsInVirtualTimeAndTimesOut) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    std::vector<std::string> log;
    auto note = [&](const std::string& what) {
        log.push_back(std::to_string(d.Now()) + " " + what);
    };
    DWORD pid = d.StartProcess("monitor", [&] {
        App a = Initialized();
        Open(a, cell);
        LINEMESSAGE m;
        for (DWORD timeout : {10000u, 0u, 2500u, 0u, DWORD(INFINITE)}) {
            LONG r = lineGetMessage(a.app, &m, timeout);
            note(r == 0 ? Describe(m) : r == LONG(LINEERR_OPERATIONFAILED) ? "none" : "error");
        }
        return DWORD(0);
    });
    d.At(3000, [&] { net.Incoming(cell, u"1"); });
    d.At(9000, [&] { net.Connect(1); });
    d.RunUntilExit(pid, 60000);
    EXPECT_EQ((std::vector<std::string>{"3000 APPNEWCALL 4", "3000 CALLSTATE offering 1 4",
                                        "5500 none", "5500 none", "9000 CALLSTATE connected 1 0"}),
              log);
}

TEST(LineGetMessage, AShutdownFromAnotherThreadEndsTheWait) {
    Device d;
    static HLINEAPP app;
    LONG result = 0;
    uint64_t at = 0;
    d.Call([&] {
        App a = Initialized();
        app = a.app;
        HANDLE t = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                Sleep(100);
                return DWORD(lineShutdown(app));
            },
            nullptr, 0, nullptr);
        LINEMESSAGE m;
        result = lineGetMessage(a.app, &m, INFINITE);
        at = d.Now();
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        return DWORD(0);
    });
    EXPECT_EQ(LONG(LINEERR_INVALAPPHANDLE), result);
    EXPECT_EQ(100u, at);
}

TEST(LineGetMessage, Errors) {
    Device d;
    App a = Initialized();
    LINEMESSAGE m;
    EXPECT_EQ(LONG(LINEERR_INVALPOINTER), lineGetMessage(a.app, nullptr, 0));
    EXPECT_EQ(LONG(LINEERR_INVALAPPHANDLE), lineGetMessage(a.app + 1, &m, 0));
    lineShutdown(a.app);
    EXPECT_EQ(LONG(LINEERR_INVALAPPHANDLE), lineGetMessage(a.app, &m, 0));
}

TEST(LineDrop, OnlyAnOwnerDropsOnceAndTheNetworkEndsTheCallShortlyAfter) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App owner = Initialized(), monitor = Initialized();
    Open(owner, cell, kOwner | kMonitor, kVoice, 7);
    Open(monitor, cell, kMonitor, 0);
    CallId id = net.Incoming(cell, u"123");
    net.Connect(id);
    HCALL ho = NewCallHandle(Drain(owner.app)), hm = NewCallHandle(Drain(monitor.app));

    EXPECT_EQ(LONG(LINEERR_NOTOWNER), lineDrop(hm, nullptr, 0));
    EXPECT_EQ(LONG(LINEERR_INVALCALLHANDLE), lineDrop(0, nullptr, 0));
    EXPECT_EQ(LONG(LINEERR_USERUSERINFOTOOBIG), lineDrop(ho, "bye", 3));
    LONG request = lineDrop(ho, nullptr, 0);
    ASSERT_GT(request, 0);
    EXPECT_EQ(DWORD(LINECALLSTATE_CONNECTED), net.Call(id).state) << "the drop is asynchronous";
    EXPECT_TRUE(Drain(owner.app).empty());
    EXPECT_EQ(LONG(LINEERR_INVALCALLSTATE), lineDrop(ho, nullptr, 0))
        << "while the drop is under way";

    d.RunFor(net.DropDelay());
    auto mo = Drain(owner.app);
    EXPECT_EQ((std::vector<std::string>{"REPLY " + std::to_string(request) + " 0",
                                        "CALLSTATE disconnected 1 0", "CALLSTATE idle 0 0"}),
              Describe(mo));
    EXPECT_EQ(7u, mo[0].dwCallbackInstance);
    EXPECT_EQ((std::vector<std::string>{"CALLSTATE disconnected 1 0", "CALLSTATE idle 0 0"}),
              Describe(Drain(monitor.app)));
    EXPECT_EQ(LONG(LINEERR_INVALCALLSTATE), lineDrop(ho, nullptr, 0)) << "an idle call";
    EXPECT_EQ(1u, net.Call(id).dropRequests);
    EXPECT_EQ(1u, net.DropRequests());
    auto drops = d.timeline().Find("call.drop");
    ASSERT_EQ(1u, drops.size());
    EXPECT_EQ(std::to_string(request), drops[0]->Get("request"));
    EXPECT_EQ(0u, drops[0]->t);
    EXPECT_EQ(net.DropDelay(), d.timeline().Find("call.state").back()->t);

    CallId next = net.Incoming(cell, u"456");
    LONG second = lineDrop(NewCallHandle(Drain(owner.app)), nullptr, 0);
    EXPECT_GT(second, request) << "request ids grow";
    d.RunFor(net.DropDelay());
    EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), net.Call(next).state) << "an offered call can be dropped";
}

TEST(LineDrop, TheFarEndHangingUpFirstEndsTheCallOnce) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App a = Initialized();
    Open(a, cell);
    CallId id = net.Incoming(cell, u"1");
    net.Connect(id);
    LONG request = lineDrop(NewCallHandle(Drain(a.app)), nullptr, 0);
    net.HangUp(id, LINEDISCONNECTMODE_NORMAL);
    d.RunFor(net.DropDelay());
    EXPECT_EQ((std::vector<std::string>{"CALLSTATE disconnected 1 0", "CALLSTATE idle 0 0",
                                        "REPLY " + std::to_string(request) + " 0"}),
              Describe(Drain(a.app)));
}

TEST(LineDeallocateCall, EndsTheAppsHoldOnTheCall) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App a = Initialized(), m = Initialized();
    HLINE first = Open(a, cell);
    Open(m, cell, kMonitor, 0);
    CallId id = net.Incoming(cell, u"1");
    HCALL h = NewCallHandle(Drain(a.app));
    Drain(m.app);
    EXPECT_EQ(2, net.CallHandles(0));
    EXPECT_EQ(0, lineDeallocateCall(h)) << "the phone still owns the call";
    net.Connect(id);
    EXPECT_TRUE(Drain(a.app).empty()) << "no more messages for a deallocated call";
    EXPECT_EQ(1u, Drain(m.app).size());
    EXPECT_EQ(1, net.CallHandles(0));

    // Without the phone's own call program the app can be the sole owner.
    net.SetPhoneOwnsCalls(false);
    ASSERT_EQ(0, lineClose(first));
    HLINE line = Open(a, cell);
    CallId other = net.Incoming(cell, u"2");
    HCALL sole = NewCallHandle(Drain(a.app));
    Drain(m.app);
    EXPECT_EQ(LONG(LINEERR_INVALCALLSTATE), lineDeallocateCall(sole));
    EXPECT_EQ(0, lineClose(line));
    EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), net.Call(other).state)
        << "closing drops the sole owner's calls";
    EXPECT_EQ((std::vector<std::string>{"CALLSTATE disconnected 1 0", "CALLSTATE idle 0 0"}),
              Describe(Drain(m.app)));
}

TEST(LineCleanup, ProcessExitShutsDownWhatTheProcessLeftOpen) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    static HLINEAPP left;
    DWORD pid = d.StartProcess("leaky", [&] {
        App a = Initialized();
        left = a.app;
        Open(a, cell);
        Sleep(1000); // the call comes meanwhile
        return DWORD(0);
    });
    d.At(500, [&] { net.Incoming(cell, u"1"); });
    d.RunUntil([&] { return net.CallHandles(pid) == 1; }, 1000);
    EXPECT_EQ(1u, net.OpenLines().size());
    EXPECT_EQ(pid, net.OpenLines()[0].pid);
    d.RunUntilExit(pid, 2000);
    EXPECT_EQ(1, d.Held(pid, handset::kLineApp)) << "what it held at exit stays visible";
    EXPECT_EQ(0, d.Held(pid, handset::kKernelHandle)) << "TAPI's event is not the process's";
    EXPECT_TRUE(net.OpenLines().empty());
    EXPECT_EQ(0, net.LineApps(pid));
    EXPECT_EQ(0, net.CallHandles(pid));
    EXPECT_EQ(LONG(LINEERR_INVALAPPHANDLE), lineShutdown(left));
    EXPECT_EQ(DWORD(LINECALLSTATE_OFFERING), net.Call(1).state) << "the phone still has the call";
}

TEST(LineFaults, APlannedFailureComesBackAsTheResult) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    d.faults().FailNth("lineInitializeEx", 1, LINEERR_NOMEM);
    App failed;
    EXPECT_EQ(LONG(LINEERR_NOMEM), Initialize(failed));
    EXPECT_EQ(0, net.LineApps(0));
    App a = Initialized();
    Open(a, cell);
    net.Incoming(cell, u"1");
    HCALL h = NewCallHandle(Drain(a.app));
    d.faults().FailAlways("lineDrop", LINEERR_RESOURCEUNAVAIL);
    EXPECT_EQ(LONG(LINEERR_RESOURCEUNAVAIL), lineDrop(h, nullptr, 0));
    EXPECT_EQ(0u, net.DropRequests()) << "a failed drop asks nothing of the network";
    EXPECT_EQ(1u, d.faults().Calls("lineDrop"));

    d.faults().Slow("lineGetMessage", 250);
    uint64_t at = 0;
    d.Call([&] {
        LINEMESSAGE m;
        lineGetMessage(a.app, &m, 0);
        at = d.Now();
        return DWORD(0);
    });
    EXPECT_EQ(250u, at) << "a slow call takes its time on the clock";
}

TEST(LineTimeline, RecordsCallStatesAndLineOpensAndCloses) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App a = Initialized();
    HLINE line = Open(a, cell);
    CallId id = net.Outgoing(cell, u"0800");
    net.HangUp(id, LINEDISCONNECTMODE_BUSY);
    lineClose(line);
    std::vector<std::string> states;
    for (auto* e : d.timeline().Find("call.state"))
        states.push_back(e->Get("call") + " " + e->Get("state") + " " + e->Get("detail") + " " +
                         e->Get("number") + " " + e->Get("direction"));
    EXPECT_EQ(
        (std::vector<std::string>{"1 dialing 0 0800 outgoing", "1 disconnected 32 0800 outgoing",
                                  "1 idle 0 0800 outgoing"}),
        states);
    ASSERT_EQ(1u, d.timeline().Count("line.open"));
    EXPECT_EQ(std::to_string(cell), d.timeline().Find("line.open")[0]->Get("device"));
    EXPECT_EQ(std::to_string(line), d.timeline().Find("line.close")[0]->Get("line"));
}

TEST(LineDrop, ADisconnectedCallIsDroppedToIdle) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App owner = Initialized();
    Open(owner, cell, kOwner | kMonitor, kVoice, 0);
    CallId id = net.Incoming(cell, u"123");
    net.Connect(id);
    net.Disconnect(id, LINEDISCONNECTMODE_BUSY);
    HCALL h = NewCallHandle(Drain(owner.app));
    LONG request = lineDrop(h, nullptr, 0);
    ASSERT_GT(request, 0) << "only an idle call cannot be dropped";
    d.RunFor(net.DropDelay());
    EXPECT_EQ(
        (std::vector<std::string>{"REPLY " + std::to_string(request) + " 0", "CALLSTATE idle 0 0"}),
        Describe(Drain(owner.app)))
        << "no second DISCONNECTED";
    EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), net.Call(id).state);
}
