// Applications and line devices: lineInitializeEx, lineNegotiateAPIVersion,
// lineGetDevCaps, lineOpen, lineClose, lineShutdown.
#include <vector>

#include <type_traits>

#include "kernel/objects.h"

#include "tapi_test.h"

using handset::Device;
using handset::Network;
using namespace tapitest;

TEST(LineInitializeEx, GivesTheAppTheDeviceCountTheVersionAndAnUnsetEvent) {
    Device d;
    Network().AddStandardLines();
    App a;
    ASSERT_EQ(0, Initialize(a, 0x00030000));
    EXPECT_NE(0u, a.app);
    EXPECT_EQ(2u, a.devices);
    EXPECT_EQ(0x00020000u, a.version) << "a higher version is capped at 2.0";
    auto event = std::dynamic_pointer_cast<handset::Event>(d.Resolve(a.event));
    ASSERT_TRUE(event) << "hEvent is an event the app can wait on";
    EXPECT_TRUE(event->manualReset);
    EXPECT_FALSE(event->signaled);
}

TEST(LineInitializeEx, RefusesWhatTheHandsetCannotNotify) {
    Device d;
    struct Case {
        const char* what;
        DWORD version, options, totalSize;
        bool nullParams;
        LONG expected;
    } cases[] = {
        {"no params", 0x00020000, LINEINITIALIZEEXOPTION_USEEVENT, 0, true,
         LONG(LINEERR_INVALPOINTER)},
        {"short params", 0x00020000, LINEINITIALIZEEXOPTION_USEEVENT, 16, false,
         LONG(LINEERR_STRUCTURETOOSMALL)},
        {"completion port", 0x00020000, LINEINITIALIZEEXOPTION_USECOMPLETIONPORT, 0, false,
         LONG(LINEERR_INVALPARAM)},
        {"no option", 0x00020000, 0, 0, false, LONG(LINEERR_INVALPARAM)},
        {"version 1.0", 0x00010000, LINEINITIALIZEEXOPTION_USEEVENT, 0, false,
         LONG(LINEERR_INCOMPATIBLEAPIVERSION)},
    };
    for (const Case& c : cases) {
        LINEINITIALIZEEXPARAMS params{};
        params.dwTotalSize = c.totalSize ? c.totalSize : sizeof params;
        params.dwOptions = c.options;
        HLINEAPP app = 0;
        DWORD devices = 0, version = c.version;
        LONG r = lineInitializeEx(&app, nullptr, nullptr, nullptr, &devices, &version,
                                  c.nullParams ? nullptr : &params);
        EXPECT_EQ(c.expected, r) << c.what << ": got 0x" << std::hex << r;
    }
    LINEINITIALIZEEXPARAMS params{sizeof params, 0, 0, LINEINITIALIZEEXOPTION_USEEVENT};
    DWORD devices = 0, version = 0x00020000;
    HLINEAPP app = 0;
    EXPECT_EQ(LONG(LINEERR_INVALPOINTER),
              lineInitializeEx(nullptr, nullptr, nullptr, nullptr, &devices, &version, &params));
    EXPECT_EQ(LONG(LINEERR_INVALPOINTER),
              lineInitializeEx(&app, nullptr, nullptr, nullptr, nullptr, &version, &params));
    EXPECT_EQ(LONG(LINEERR_INVALPOINTER),
              lineInitializeEx(&app, nullptr, nullptr, nullptr, &devices, nullptr, &params));
    EXPECT_EQ(0, Network().LineApps(0)) << "no application was made";
}

TEST(LineInitializeEx, CountsALineAppAndNotTheEventHandle) {
    Device d;
    int appsAfterInit = -1, handlesAfterInit = -1, appsAfterShutdown = -1;
    DWORD waitResult = 0;
    DWORD pid = 0;
    pid = d.StartProcess("counted", [&] {
        App a = Initialized();
        appsAfterInit = d.Held(pid, handset::kLineApp);
        handlesAfterInit = d.Held(pid, handset::kKernelHandle);
        waitResult = WaitForSingleObject(a.event, 0);
        lineShutdown(a.app);
        appsAfterShutdown = d.Held(pid, handset::kLineApp);
        return DWORD(0);
    });
    d.RunUntilExit(pid, 1000);
    EXPECT_EQ(1, appsAfterInit);
    EXPECT_EQ(0, handlesAfterInit);
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), waitResult) << "the event is unset while no message waits";
    EXPECT_EQ(0, appsAfterShutdown);
    EXPECT_EQ("nothing", d.DescribeHeld(pid));
}

TEST(LineInitializeEx, AppsLearnOfLinesAddedLater) {
    Device d;
    App a = Initialized();
    EXPECT_EQ(0u, a.devices);
    DWORD id = Network().AddLine(u"Modem");
    EXPECT_EQ(std::vector<std::string>{"CREATE 0"}, Describe(Drain(a.app)));
    EXPECT_EQ(0u, id);
}

TEST(LineNegotiateAPIVersion, PicksTheHighestVersionBothSpeak) {
    Device d;
    handset::LineConfig old;
    old.highVersion = 0x00010004;
    Network().AddLine(u"Cellular Line");
    Network().AddLine(u"Old", old);
    App a = Initialized();
    struct Case {
        HLINEAPP app;
        DWORD device, low, high;
        LONG expected;
        DWORD version;
    } cases[] = {
        {a.app, 0, 0x00010003, 0x00030000, 0, 0x00020000},
        {a.app, 0, 0x00020000, 0x00020000, 0, 0x00020000},
        {a.app, 1, 0x00010003, 0x00020000, 0, 0x00010004},
        {a.app, 1, 0x00020000, 0x00020000, LONG(LINEERR_INCOMPATIBLEAPIVERSION), 0},
        {a.app, 0, 0x00020001, 0x00030000, LONG(LINEERR_INCOMPATIBLEAPIVERSION), 0},
        {a.app, 0, 0x00010000, 0x00010002, LONG(LINEERR_INCOMPATIBLEAPIVERSION), 0},
        {a.app, 0, 0x00020000, 0x00010004, LONG(LINEERR_INCOMPATIBLEAPIVERSION), 0},
        {a.app, 2, 0x00010003, 0x00020000, LONG(LINEERR_BADDEVICEID), 0},
        {a.app + 99, 0, 0x00010003, 0x00020000, LONG(LINEERR_INVALAPPHANDLE), 0},
    };
    for (const Case& c : cases) {
        DWORD version = 0;
        LINEEXTENSIONID ext;
        std::memset(&ext, 0xAB, sizeof ext);
        LONG r = lineNegotiateAPIVersion(c.app, c.device, c.low, c.high, &version, &ext);
        EXPECT_EQ(c.expected, r) << "device " << c.device << std::hex << " range " << c.low << ".."
                                 << c.high << ": got " << r;
        if (r == 0) {
            EXPECT_EQ(c.version, version) << std::hex << "range " << c.low << ".." << c.high;
            EXPECT_EQ(0u, ext.dwExtensionID0 | ext.dwExtensionID1 | ext.dwExtensionID2 |
                              ext.dwExtensionID3);
        }
    }
    DWORD version;
    LINEEXTENSIONID ext;
    EXPECT_EQ(LONG(LINEERR_INVALPOINTER),
              lineNegotiateAPIVersion(a.app, 0, 0x10003, 0x20000, nullptr, &ext));
    EXPECT_EQ(LONG(LINEERR_INVALPOINTER),
              lineNegotiateAPIVersion(a.app, 0, 0x10003, 0x20000, &version, nullptr));
}

TEST(LineGetDevCaps, TheProbeGivesTheNeededSizeAndTheSecondCallTheName) {
    Device d;
    Network().AddStandardLines();
    App a = Initialized();
    const DWORD fixed = offsetof(LINEDEVCAPS, PermanentLineGuid); // the 2.0 structure
    const DWORD provider = sizeof(u"Cellular TSP"), name = sizeof(u"Cellular Line");

    LINEDEVCAPS probe{};
    probe.dwTotalSize = sizeof probe;
    ASSERT_EQ(0, lineGetDevCaps(a.app, 1, 0x00020000, 0, &probe));
    EXPECT_EQ(fixed + provider + name, probe.dwNeededSize);
    // 40 bytes lie past the 2.0 part: the provider info fits, the name no longer.
    EXPECT_EQ(fixed + provider, probe.dwUsedSize);
    EXPECT_EQ(fixed, probe.dwProviderInfoOffset);
    EXPECT_EQ(u"Cellular TSP",
              TextAt(&probe, probe.dwProviderInfoOffset, probe.dwProviderInfoSize));
    EXPECT_EQ(0u, probe.dwLineNameSize);
    EXPECT_EQ(0u, probe.dwLineNameOffset);
    EXPECT_EQ(DWORD(STRINGFORMAT_UNICODE), probe.dwStringFormat);
    EXPECT_EQ(sizeof probe, probe.dwTotalSize) << "the caller's size stays";

    std::vector<BYTE> buffer(probe.dwNeededSize);
    auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
    caps->dwTotalSize = probe.dwNeededSize;
    ASSERT_EQ(0, lineGetDevCaps(a.app, 1, 0x00020000, 0, caps));
    EXPECT_EQ(caps->dwNeededSize, caps->dwUsedSize);
    EXPECT_EQ(fixed + provider, caps->dwLineNameOffset);
    EXPECT_EQ(u"Cellular Line", TextAt(caps, caps->dwLineNameOffset, caps->dwLineNameSize));
    EXPECT_EQ(DWORD(kVoice | LINEMEDIAMODE_DATAMODEM), caps->dwMediaModes);
    EXPECT_EQ(1u, caps->dwNumAddresses);
    EXPECT_EQ(DWORD(LINEADDRESSMODE_ADDRESSID), caps->dwAddressModes);
    EXPECT_EQ(0u, caps->dwUUIDropSize) << "lineDrop takes no user-user information";
}

TEST(LineGetDevCaps, NamesTellTwoCellularLinesAndTheOthersApart) {
    Device d;
    auto& net = Network();
    net.AddLine(u"IrDA");
    net.AddLine(u"Cellular Line");
    net.AddLine(u"Modem");
    net.AddLine(u"Cellular Line");
    App a = Initialized();
    std::vector<std::string> names;
    std::vector<DWORD> permanent;
    for (DWORD id = 0; id < a.devices; ++id) {
        std::vector<BYTE> buffer(1024);
        auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
        caps->dwTotalSize = 1024;
        ASSERT_EQ(0, lineGetDevCaps(a.app, id, 0x00020000, 0, caps));
        names.push_back(Utf8(TextAt(caps, caps->dwLineNameOffset, caps->dwLineNameSize)));
        permanent.push_back(caps->dwPermanentLineID);
    }
    EXPECT_EQ((std::vector<std::string>{"IrDA", "Cellular Line", "Modem", "Cellular Line"}), names);
    EXPECT_EQ((std::vector<DWORD>{1, 2, 3, 4}), permanent);
    EXPECT_EQ(1u, net.FindLine(u"Cellular Line"));
}

TEST(LineGetDevCaps, TheFixedPartIsTheNegotiatedVersions) {
    Device d;
    Network().AddLine(u"Cellular Line");
    App a = Initialized();
    struct Case {
        DWORD version, fixed;
    } cases[] = {{0x00010003, 236}, {0x00010004, 240}, {0x00020000, 252}};
    for (const Case& c : cases) {
        std::vector<BYTE> buffer(512, 0xCC);
        auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
        caps->dwTotalSize = c.fixed - 1;
        EXPECT_EQ(LONG(LINEERR_STRUCTURETOOSMALL), lineGetDevCaps(a.app, 0, c.version, 0, caps))
            << std::hex << "version " << c.version;
        caps->dwTotalSize = 512;
        ASSERT_EQ(0, lineGetDevCaps(a.app, 0, c.version, 0, caps)) << std::hex << c.version;
        EXPECT_EQ(c.fixed, caps->dwProviderInfoOffset) << std::hex << "version " << c.version;
        EXPECT_EQ(0xCC, buffer[caps->dwUsedSize]) << "nothing is written past dwUsedSize";
    }
}

// The declaration is the real header's, 292 bytes with TAPI 2.2's and 3.0's
// fields; a 2.0 application gets the 2.0 fill whichever size it passes.
TEST(LineGetDevCaps, A20ApplicationGetsThe20FixedPartWhateverItsStructuresSize) {
    EXPECT_EQ(292u, sizeof(LINEDEVCAPS));
    Device d;
    Network().AddLine(u"Cellular Line");
    App a = Initialized();
    const DWORD provider = sizeof(u"Cellular TSP"), name = sizeof(u"Cellular Line");
    struct Case {
        int line;
        DWORD total, used;
    } cases[] = {
        {__LINE__, 252, 252},            // the 2.0 structure: no room for text
        {__LINE__, 292, 252 + provider}, // the declared one: the provider fits
        {__LINE__, 252 + provider + name, 252 + provider + name},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        std::vector<BYTE> buffer(512, 0xCC);
        auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
        caps->dwTotalSize = c.total;
        ASSERT_EQ(0, lineGetDevCaps(a.app, 0, 0x00020000, 0, caps));
        EXPECT_EQ(252u + provider + name, caps->dwNeededSize);
        EXPECT_EQ(c.used, caps->dwUsedSize);
        EXPECT_EQ(c.used > 252 ? 252u : 0u, caps->dwProviderInfoOffset);
        EXPECT_EQ(0xCC, buffer[caps->dwUsedSize]) << "nothing is written past dwUsedSize";
    }
}

// As the real header declares it: the call parameters are not const.
TEST(LineOpen, TakesTheCallParametersAsTheRealHeaderDoes) {
    using Declared = LONG(WINAPI*)(HLINEAPP, DWORD, LPHLINE, DWORD, DWORD, DWORD_PTR, DWORD, DWORD,
                                   LPLINECALLPARAMS);
    EXPECT_TRUE((std::is_same_v<Declared, decltype(&lineOpen)>));
}

TEST(LineGetDevCaps, Errors) {
    Device d;
    Network().AddLine(u"Cellular Line");
    App a = Initialized();
    LINEDEVCAPS caps{};
    caps.dwTotalSize = sizeof caps;
    SetLastError(handset::testing::kLastErrorSentinel);
    EXPECT_EQ(LONG(LINEERR_INVALAPPHANDLE), lineGetDevCaps(a.app + 1, 0, 0x20000, 0, &caps));
    EXPECT_EQ(LONG(LINEERR_BADDEVICEID), lineGetDevCaps(a.app, 1, 0x20000, 0, &caps));
    EXPECT_EQ(LONG(LINEERR_INCOMPATIBLEAPIVERSION), lineGetDevCaps(a.app, 0, 0x30000, 0, &caps));
    EXPECT_EQ(LONG(LINEERR_INCOMPATIBLEAPIVERSION), lineGetDevCaps(a.app, 0, 0x10002, 0, &caps));
    EXPECT_EQ(LONG(LINEERR_INCOMPATIBLEEXTVERSION), lineGetDevCaps(a.app, 0, 0x20000, 1, &caps));
    EXPECT_EQ(LONG(LINEERR_INVALPOINTER), lineGetDevCaps(a.app, 0, 0x20000, 0, nullptr));
    EXPECT_EQ(handset::testing::kLastErrorSentinel, GetLastError())
        << "line functions report through their result alone";
}

TEST(LineOpen, ChecksDevicePrivilegesAndMediaModes) {
    Device d;
    Network().AddStandardLines(); // 0 IrDA (data only), 1 Cellular Line
    App a = Initialized();
    struct Case {
        const char* what;
        DWORD device, privileges, media, version, ext;
        LONG expected;
    } cases[] = {
        {"owner and monitor", 1, kOwner | kMonitor, kVoice, 0x20000, 0, 0},
        {"monitor needs no media", 1, kMonitor, 0, 0x20000, 0, 0},
        {"none: outgoing calls only", 1, LINECALLPRIVILEGE_NONE, 0, 0x20000, 0, 0},
        {"owner of unknown media", 1, kOwner, LINEMEDIAMODE_UNKNOWN, 0x20000, 0, 0},
        {"version 1.4", 1, kMonitor, 0, 0x10004, 0, 0},
        {"LINEMAPPER", LINEMAPPER, kMonitor, 0, 0x20000, 0, LONG(LINEERR_BADDEVICEID)},
        {"past the last", 2, kMonitor, 0, 0x20000, 0, LONG(LINEERR_BADDEVICEID)},
        {"no privilege", 1, 0, kVoice, 0x20000, 0, LONG(LINEERR_INVALPRIVSELECT)},
        {"none with owner", 1, LINECALLPRIVILEGE_NONE | kOwner, kVoice, 0x20000, 0,
         LONG(LINEERR_INVALPRIVSELECT)},
        {"unknown privilege", 1, 0x8, kVoice, 0x20000, 0, LONG(LINEERR_INVALPRIVSELECT)},
        {"open option: CE has none", 1, kMonitor | LINEOPENOPTION_SINGLEADDRESS, 0, 0x20000, 0,
         LONG(LINEERR_INVALPRIVSELECT)},
        {"owner of nothing", 1, kOwner, 0, 0x20000, 0, LONG(LINEERR_INVALMEDIAMODE)},
        {"owner of fax", 1, kOwner, LINEMEDIAMODE_G3FAX, 0x20000, 0, LONG(LINEERR_INVALMEDIAMODE)},
        {"owner of voice on IrDA", 0, kOwner, kVoice, 0x20000, 0, LONG(LINEERR_INVALMEDIAMODE)},
        {"owner of a bad bit", 1, kOwner, kVoice | 1, 0x20000, 0, LONG(LINEERR_INVALMEDIAMODE)},
        {"version 3.0", 1, kMonitor, 0, 0x30000, 0, LONG(LINEERR_INCOMPATIBLEAPIVERSION)},
        {"extension", 1, kMonitor, 0, 0x20000, 1, LONG(LINEERR_INCOMPATIBLEEXTVERSION)},
    };
    size_t opened = 0;
    for (const Case& c : cases) {
        HLINE line = 0;
        LONG r =
            lineOpen(a.app, c.device, &line, c.version, c.ext, 0, c.privileges, c.media, nullptr);
        EXPECT_EQ(c.expected, r) << c.what << ": got 0x" << std::hex << r;
        if (r == 0) {
            ++opened;
            EXPECT_NE(0u, line) << c.what;
        }
    }
    EXPECT_EQ(opened, Network().OpenLines().size());
    HLINE line;
    EXPECT_EQ(LONG(LINEERR_INVALAPPHANDLE),
              lineOpen(a.app + 1, 1, &line, 0x20000, 0, 0, kMonitor, 0, nullptr));
    EXPECT_EQ(LONG(LINEERR_INVALPOINTER),
              lineOpen(a.app, 1, nullptr, 0x20000, 0, 0, kMonitor, 0, nullptr));
}

TEST(LinesDeathTest, TheHiddenWindowIsNotEmulated) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto init = [](DWORD version, DWORD options) {
        Device d;
        LINEINITIALIZEEXPARAMS params{sizeof params, 0, 0, options};
        HLINEAPP app = 0;
        DWORD devices = 0;
        lineInitializeEx(&app, nullptr, nullptr, nullptr, &devices, &version, &params);
    };
    EXPECT_DEATH(
        init(0x20000, LINEINITIALIZEEXOPTION_USEHIDDENWINDOW),
        "not emulated: lineInitializeEx: dwOptions LINEINITIALIZEEXOPTION_USEHIDDENWINDOW");
    EXPECT_DEATH(init(0x10004, LINEINITIALIZEEXOPTION_USEEVENT),
                 "not emulated: lineInitializeEx: dwAPIVersion 0x00010004");
}

TEST(LineCloseAndShutdown, HandlesGoAwayOnceAndTheDriverSeesIt) {
    Device d;
    auto& net = Network();
    net.AddStandardLines();
    App a = Initialized(), b = Initialized();
    HLINE la = Open(a, 1), lb = Open(b, 1, kMonitor, 0), lb0 = Open(b, 0, kMonitor, 0);
    ASSERT_EQ(3u, net.OpenLines().size());
    EXPECT_EQ(lb, net.OpenLines()[1].line);
    EXPECT_EQ(DWORD(kMonitor), net.OpenLines()[1].privileges);

    EXPECT_EQ(0, lineClose(la));
    EXPECT_EQ(LONG(LINEERR_INVALLINEHANDLE), lineClose(la));
    EXPECT_EQ(LONG(LINEERR_INVALLINEHANDLE), lineClose(a.app)) << "an app handle is no line handle";
    EXPECT_EQ(0, lineShutdown(b.app));
    EXPECT_EQ(LONG(LINEERR_INVALAPPHANDLE), lineShutdown(b.app));
    EXPECT_EQ(LONG(LINEERR_INVALLINEHANDLE), lineClose(lb)) << "shutdown closed the app's lines";
    EXPECT_EQ(LONG(LINEERR_INVALLINEHANDLE), lineClose(lb0));
    EXPECT_TRUE(net.OpenLines().empty());
    EXPECT_EQ(nullptr, d.Resolve(b.event)) << "TAPI's event goes with the app";
    EXPECT_EQ(3u, d.timeline().Count("line.close")) << "one by lineClose, two by lineShutdown";
    EXPECT_EQ(3u, d.timeline().Count("line.open"));
}
