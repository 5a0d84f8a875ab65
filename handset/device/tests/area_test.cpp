// The seam: an area made in the test itself plugs in, hears of ended
// threads and processes, keeps thread states, and goes in reverse order of
// creation; the handle table takes back what a process left, newest first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device.h"

using handset::Area;
using handset::Device;
using handset::HandleEntry;
using handset::HandleKind;
using handset::Platform;
using handset::Process;
using handset::Thread;

namespace {

std::vector<std::string>* g_log = nullptr;

void Note(const std::string& s) {
    if (g_log) g_log->push_back(s);
}

struct Lower final : Area {
    explicit Lower(Platform& p) : Area(p) { Note("lower made"); }
    ~Lower() override { Note("lower gone"); }
};

// Makes Lower while it is made, so Lower must outlive it.
struct Upper final : Area {
    explicit Upper(Platform& p) : Area(p) {
        p.Get<Lower>();
        Note("upper made");
    }
    ~Upper() override { Note("upper gone"); }
    void ThreadExited(Thread& t) override {
        Note("thread exit, state " + std::string(p().FindSlot<Counter>(t) ? "there" : "gone"));
    }
    void ProcessExited(Process& process) override {
        Note("process " + std::to_string(process.id) + " exit, holds " +
             std::to_string(p().handles().Held(process.id, kThing)));
    }
    Platform& p() { return platform_; }

    struct Counter final : handset::ThreadState {
        ~Counter() override { Note("state gone"); }
        int n = 0;
    };
    static inline const HandleKind kThing{"thing", "things"};
};

} // namespace

TEST(Area, PlugsInHearsOfExitsAndGoesInReverseOrder) {
    std::vector<std::string> log;
    g_log = &log;
    {
        Device d;
        DWORD pid = d.StartProcess("user", [&] {
            Platform& p = Platform::Current();
            Upper& up = p.Get<Upper>();
            EXPECT_EQ(&up, &p.Get<Upper>()) << "one area of a type";
            p.Slot<Upper::Counter>(*p.CurrentThread()).n++;
            EXPECT_EQ(1, p.Slot<Upper::Counter>(*p.CurrentThread()).n);
            p.handles().Add(Upper::kThing, p.CurrentPid(), nullptr);
            return DWORD(0);
        });
        d.RunUntilExit(pid, 1000);
        Note("run over");
        EXPECT_EQ(0, d.Held(pid + 1, Upper::kThing));
        EXPECT_EQ(1, d.Held(pid, Upper::kThing)) << "what it held at exit stays visible";
        EXPECT_EQ(0, d.handles().Held(pid, Upper::kThing)) << "and was taken back";
    }
    g_log = nullptr;
    std::vector<std::string> want = {"lower made",
                                     "upper made",
                                     "thread exit, state there",
                                     "state gone",
                                     "process 1 exit, holds 1",
                                     "run over",
                                     "upper gone",
                                     "lower gone"};
    EXPECT_EQ(want, log);
}

namespace {

// Asks for Lower when it goes; made before Lower, it outlives it.
struct Early final : Area {
    explicit Early(Platform& p) : Area(p) {}
    ~Early() override { platform_.Get<Lower>(); }
};

} // namespace

// An area made while the areas go would never be destroyed: that stops the
// run, naming the area.
TEST(AreaDeathTest, NoAreaIsMadeWhileTheAreasAreTornDown) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto run = [] {
        Device d;
        d.Get<Early>();
        d.Get<Lower>();
    };
    EXPECT_DEATH(run(), "fatal: the area .*Lower was asked for while the areas are torn down");
}

namespace {

std::vector<uintptr_t>* g_reclaimed = nullptr;
void NoteReclaim(Platform& p, uintptr_t value, const HandleEntry&) {
    g_reclaimed->push_back(value);
    // A hook may take other entries with it, as TAPI's shutdown closes its event.
    p.handles().Remove(value - 4);
}
const HandleKind kPair{"pair", "pairs", NoteReclaim};
const HandleKind kPlain{"plain", "plains"};

} // namespace

TEST(HandleTable, ReclaimsNewestFirstThroughEachKindsHook) {
    Device d;
    std::vector<uintptr_t> reclaimed;
    g_reclaimed = &reclaimed;
    uintptr_t first = 0, second = 0;
    DWORD pid = d.StartProcess("holder", [&] {
        auto& t = Platform::Current().handles();
        DWORD self = Platform::Current().CurrentPid();
        t.Add(kPlain, self, nullptr);
        first = t.Add(kPair, self, nullptr);
        t.Add(kPlain, self, nullptr, false); // uncounted
        second = t.Add(kPair, self, nullptr);
        EXPECT_EQ(2, t.Held(self, kPair));
        EXPECT_EQ(1, t.Held(self, kPlain)) << "the uncounted entry is not counted";
        EXPECT_FALSE(t.AddAt(first, kPlain, self, nullptr)) << "a value is never taken twice";
        return DWORD(0);
    });
    d.RunUntilExit(pid, 1000);
    g_reclaimed = nullptr;
    EXPECT_EQ((std::vector<uintptr_t>{second, first}), reclaimed);
    EXPECT_EQ("2 pairs, 1 plain", d.DescribeHeld(pid));
    EXPECT_EQ(0u, d.handles().Size());
}
