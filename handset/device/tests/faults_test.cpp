// The fault plan's names and what it refuses: every call the areas make
// through Enter() is declared in a table, and a name no call has stops the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>

#include "device/device.h"
#include "device/platform_calls.h"
#include "registry/registry.h"

using handset::Device;

TEST(PlatformCalls, EveryCallGoesThroughEnterUnderADeclaredName) {
    // Enter("..."), and the pim objects' Begin("...") and GiveApplication("...")
    // that pass their name on to it; and every platform call defined through
    // the relay.
    const std::regex door(R"re(\b(?:Enter|Begin|GiveApplication)\("([^"]*)")re");
    const std::regex defined(R"re(\bHANDSET_API\(\s*[^,]+,\s*(\w+),)re");
    std::vector<std::string> undeclared, notEntered;
    size_t seen = 0, functions = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(HANDSET_SOURCE_DIR)) {
        const std::filesystem::path& path = entry.path();
        if (path.extension() != ".cpp" || path.string().find("/tests/") != std::string::npos)
            continue;
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        const std::string source = text.str();
        const std::string file = path.filename().string();
        std::set<std::string> entered;
        for (std::sregex_iterator it(source.begin(), source.end(), door), end; it != end; ++it) {
            ++seen;
            entered.insert((*it)[1].str());
            if (!handset::FindPlatformCall((*it)[1].str()))
                undeclared.push_back((*it)[1].str() + " in " + file);
        }
        for (std::sregex_iterator it(source.begin(), source.end(), defined), end; it != end; ++it) {
            ++functions;
            if (!entered.count((*it)[1].str()))
                notEntered.push_back((*it)[1].str() + " in " + file);
        }
    }
    // Too few would mean the scan is not looking at the areas.
    EXPECT_GT(seen, 70u);
    EXPECT_GT(functions, 60u);
    EXPECT_EQ(std::vector<std::string>{}, undeclared)
        << "declare them in the area's calls_table.cpp";
    EXPECT_EQ(std::vector<std::string>{}, notEntered)
        << "each must begin with Enter(\"<its name>\")";
    for (const handset::PlatformCall* call : handset::AllPlatformCalls())
        for (DWORD error : call->errors)
            EXPECT_NE(0u, error) << call->name << ": 0 is success, not an error";
}

TEST(FaultPlan, ACallWithoutFailureResultIsCountedAndSlowed) {
    Device d;
    d.faults().Slow("PostQuitMessage", 500);
    DWORD took = 0;
    d.Call([&] {
        DWORD start = GetTickCount();
        PostQuitMessage(0);
        took = GetTickCount() - start;
    });
    EXPECT_EQ(500u, took);
    EXPECT_EQ(1u, d.faults().Calls("PostQuitMessage"));
}

TEST(FaultPlanDeathTest, StopsTheRunForAMisspeltOrUnfailableCall) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        int line;
        std::function<void(handset::FaultPlan&)> use;
        const char* message;
    } cases[] = {
        {__LINE__, [](auto& f) { f.FailAlways("RegOpenKeyW", ERROR_ACCESS_DENIED); },
         "FaultPlan: no platform call is named \"RegOpenKeyW\""},
        {__LINE__, [](auto& f) { f.Slow("lineGetMesage", 10); },
         "FaultPlan: no platform call is named \"lineGetMesage\""},
        {__LINE__, [](auto& f) { f.Calls("LocalAloc"); },
         "FaultPlan::Calls: no platform call is named \"LocalAloc\""},
        {__LINE__, [](auto& f) { f.FailNth("PostQuitMessage", 1, ERROR_INVALID_PARAMETER); },
         "PostQuitMessage has no failure result; it can be slowed, not failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        EXPECT_DEATH(
            {
                Device d;
                c.use(d.faults());
            },
            c.message);
    }
}

namespace {

// What a run of ordinary calls gives under a random plan: one entry per
// failed call, "name error", in order.
std::vector<std::string> FailuresUnder(uint64_t seed, handset::FaultPlan::Filter filter) {
    Device d;
    d.Get<handset::Registry>().CreateKey(HKEY_LOCAL_MACHINE, u"Software");
    std::vector<std::string> failures;
    auto note = [&](const char* call, DWORD error) {
        const handset::PlatformCall* known = handset::FindPlatformCall(call);
        const auto& errors = known->errors;
        EXPECT_NE(errors.end(), std::find(errors.begin(), errors.end(), error))
            << call << " failed with " << error << ", which it does not report on the phone";
        failures.push_back(std::string(call) + " " + std::to_string(error));
    };
    d.Call([&] {
        d.faults().Random(seed, 0.3, filter);
        for (int i = 0; i < 100; ++i) {
            if (HLOCAL block = LocalAlloc(0, 8)) {
                if (LocalFree(block)) note("LocalFree", GetLastError());
            } else {
                note("LocalAlloc", GetLastError());
            }
            HKEY key = nullptr;
            if (LONG r = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, 0, &key))
                note("RegOpenKeyExW", r);
            else if (LONG r = RegCloseKey(key))
                note("RegCloseKey", r);
        }
        EXPECT_EQ(seed, d.faults().Seed().value_or(~seed));
    });
    return failures;
}

} // namespace

TEST(FaultPlan, ARandomPlanRepeatsForItsSeedAndKeepsToItsFilterAndRate) {
    std::vector<std::string> first = FailuresUnder(7, {});
    EXPECT_EQ(first, FailuresUnder(7, {})) << "the same seed gives the same failures";
    EXPECT_NE(first, FailuresUnder(8, {}));
    // About 0.3 of some 400 calls; far out in the tails either way.
    EXPECT_GT(first.size(), 80u);
    EXPECT_LT(first.size(), 160u);
    for (const std::string& f :
         FailuresUnder(7, [](std::string_view c) { return c == "LocalAlloc"; }))
        EXPECT_EQ(0u, f.rfind("LocalAlloc ", 0)) << f << " failed outside the filter";
    Device d;
    d.faults().Random(1, 1.0);
    d.faults().Clear();
    EXPECT_FALSE(d.faults().Seed().has_value()) << "Clear ends the random plan";
}
