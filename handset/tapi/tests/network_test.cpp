// The network's driving half: lines, calls on the clock, what the driver
// reads back, and the driver mistakes that end the run.
#include <vector>

#include "tapi_test.h"

using handset::CallId;
using handset::CallPlan;
using handset::Device;
using handset::Direction;
using handset::Network;
using namespace tapitest;

namespace {

// "t state detail" for each change of the call on the timeline.
std::vector<std::string> StatesOf(Device& d, CallId id) {
    std::vector<std::string> out;
    for (auto* e : d.timeline().Find("call.state"))
        if (e->Get("call") == std::to_string(id))
            out.push_back(std::to_string(e->t) + " " + e->Get("state") + " " + e->Get("detail"));
    return out;
}

} // namespace

TEST(Network, StandardLinesPutTheCellularLineSecond) {
    Device d;
    auto& net = Network();
    EXPECT_EQ(0u, net.LineCount()) << "a fresh device has no lines";
    EXPECT_EQ(1u, net.AddStandardLines());
    EXPECT_EQ(u"IrDA", net.LineName(0));
    EXPECT_EQ(u"Cellular Line", net.LineName(1));
    EXPECT_EQ(1u, net.FindLine(u"Cellular Line"));
}

TEST(Network, TheDriverReadsBackEachCall) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    d.RunFor(40);
    CallId in = net.Incoming(cell, u"123");
    CallId out = net.Outgoing(cell, u"456");
    net.Proceeding(out);
    net.Ringback(out);
    net.Connect(out);
    net.SetState(in, LINECALLSTATE_ACCEPTED);
    net.Disconnect(in, LINEDISCONNECTMODE_NOANSWER);
    auto calls = net.Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(in, calls[0].id);
    EXPECT_EQ(Direction::Incoming, calls[0].direction);
    EXPECT_EQ(u"123", calls[0].number);
    EXPECT_EQ(DWORD(LINECALLSTATE_DISCONNECTED), calls[0].state);
    EXPECT_EQ(DWORD(LINEDISCONNECTMODE_NOANSWER), calls[0].stateDetail);
    EXPECT_EQ(40u, calls[0].startedAt);
    EXPECT_FALSE(calls[0].everConnected);
    EXPECT_EQ(Direction::Outgoing, calls[1].direction);
    EXPECT_EQ(DWORD(LINECALLSTATE_CONNECTED), calls[1].state);
    EXPECT_TRUE(calls[1].everConnected);
    net.Idle(in);
    EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), net.Call(in).state);
}

TEST(Network, AScheduledIncomingCallRingsIsAnsweredAndEnds) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    CallPlan plan;
    plan.ringMs = 4000;
    plan.talkMs = 30000;
    CallId answered = net.ScheduleIncoming(1000, cell, u"111", plan);
    plan.answered = false;
    CallId missed = net.ScheduleIncoming(50000, cell, u"222", plan);
    EXPECT_TRUE(net.Calls().empty()) << "nothing has happened yet";
    d.RunFor(100000);
    EXPECT_EQ((std::vector<std::string>{"1000 offering 1", "5000 connected 1",
                                        "35000 disconnected 1", "35000 idle 0"}),
              StatesOf(d, answered));
    EXPECT_EQ(
        (std::vector<std::string>{"50000 offering 1", "54000 disconnected 1", "54000 idle 0"}),
        StatesOf(d, missed));
}

TEST(Network, AScheduledOutgoingCallDialsRingsAndIsAnsweredOrNot) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    CallPlan plan;
    plan.ringMs = 3000;
    plan.talkMs = 10000;
    plan.endMode = LINEDISCONNECTMODE_UNREACHABLE;
    CallId answered = net.ScheduleOutgoing(0, cell, u"111", plan);
    plan.answered = false;
    CallId unanswered = net.ScheduleOutgoing(20000, cell, u"222", plan);
    d.RunFor(60000);
    EXPECT_EQ(
        (std::vector<std::string>{"0 dialing 0", "500 proceeding 0", "1500 ringback 0",
                                  "4500 connected 1", "14500 disconnected 256", "14500 idle 0"}),
        StatesOf(d, answered));
    EXPECT_EQ((std::vector<std::string>{"20000 dialing 0", "20500 proceeding 0", "21500 ringback 0",
                                        "24500 disconnected 64", "24500 idle 0"}),
              StatesOf(d, unanswered));
}

TEST(Network, ScheduledStepsTheCallHasGonePastAreLeftOut) {
    Device d;
    auto& net = Network();
    DWORD cell = net.AddStandardLines();
    App a = Initialized();
    Open(a, cell);
    CallId id = net.ScheduleIncoming(100, cell, u"1", CallPlan{});
    d.RunFor(200);
    HCALL h = 0;
    for (auto& m : Drain(a.app))
        if (m.dwMessageID == LINE_CALLSTATE) h = m.hDevice;
    ASSERT_GT(lineDrop(h, nullptr, 0), 0); // rejected while it rings
    d.RunFor(100000);
    EXPECT_EQ((std::vector<std::string>{"100 offering 1", "250 disconnected 1", "250 idle 0"}),
              StatesOf(d, id));
}

TEST(NetworkDeathTest, DriverMistakesEndTheRunNamingWhatWasWrong) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto run = [](auto step) {
        Device d;
        auto& net = Network();
        DWORD cell = net.AddStandardLines();
        CallId id = net.Incoming(cell, u"1");
        step(net, id);
    };
    using Net = handset::CellularNetwork;
    EXPECT_DEATH(run([](Net& n, CallId id) { n.Hold(id); }),
                 "Hold: call 1 is offering, not connected");
    EXPECT_DEATH(run([](Net& n, CallId id) { n.Resume(id); }), "Resume: call 1 is offering");
    EXPECT_DEATH(run([](Net& n, CallId id) { n.Idle(id); }), "Idle: call 1 is offering");
    EXPECT_DEATH(run([](Net& n, CallId id) { n.Proceeding(id); }),
                 "Proceeding: call 1 cannot go from offering to proceeding");
    EXPECT_DEATH(run([](Net& n, CallId id) {
                     n.HangUp(id);
                     n.Connect(id);
                 }),
                 "Connect: call 1 cannot go from idle to connected");
    EXPECT_DEATH(run([](Net& n, CallId id) { n.Connect(id + 1); }), "Connect: no call 2");
    EXPECT_DEATH(run([](Net& n, CallId) { n.Incoming(7, u"1"); }), "Incoming: no line device 7");
    EXPECT_DEATH(run([](Net& n, CallId) { n.FindLine(u"Modem"); }),
                 "no line device is called \"Modem\"");
    EXPECT_DEATH(run([](Net& n, CallId) {
                     handset::CallOptions o;
                     o.mediaMode = LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_INTERACTIVEVOICE;
                     n.Outgoing(1, u"1", o);
                 }),
                 "exactly one media mode");
}
