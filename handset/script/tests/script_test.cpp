// Reading scenario scripts: each kind of mistake is refused with its
// file:line:column before anything runs, and the values a person writes
// (durations, settings as the sheet shows them) read as they mean.
#include <gtest/gtest.h>

#include <cstring>

#include "script/script.h"

using namespace handset::script;

namespace {

std::vector<Error> ErrorsOf(const std::string& text) {
    Script s;
    std::vector<Error> errors;
    EXPECT_FALSE(Parse(text, "t.scenario", SCENARIO_DIR, &s, &errors)) << text;
    return errors;
}

Script Parsed(const std::string& text) {
    Script s;
    std::vector<Error> errors;
    EXPECT_TRUE(Parse(text, "t.scenario", SCENARIO_DIR, &s, &errors))
        << text << (errors.empty() ? "" : errors[0].Text());
    return s;
}

} // namespace

TEST(ScriptErrors, EachNamesItsPlaceAndWhatWouldBeRight) {
    struct Case {
        int line;
        const char* text;
        const char* at;   // file:line:column
        const char* says; // a part of the message
    } cases[] = {
        {__LINE__, "install\ntapp 10,10\n", "t.scenario:2:1",
         "unknown word \"tapp\"; did you mean \"tap\"?"},
        {__LINE__, "set DropOutgoing 1 min 50 sec\n", "t.scenario:1:18",
         "\"1 min 50 sec\" is not a value of DropOutgoing"},
        {__LINE__, "set TurnOffScr 5 sec\nset Backlight 1\n", "t.scenario:2:5",
         "\"Backlight\" is not a setting"},
        {__LINE__, "wait 5 seconds\n", "t.scenario:1:6", "\"5\" is not a duration"},
        {__LINE__, "  tap 12;40\n", "t.scenario:1:7", "write X,Y in screen pixels"},
        {__LINE__, "contacts nobody.vcf\n", "t.scenario:1:10", "cannot read \"nobody.vcf\""},
        {__LINE__, "expect screen like gone.png\n", "t.scenario:1:20", "cannot read \"gone.png\""},
        {__LINE__, "at 2m\nwait 5s\nat 1m\n", "t.scenario:3:1",
         "at 1m goes back in time: the lines above reach 2m 5s"},
        {__LINE__, "wait 30m\ntap 1,1\nwait 30m\n", "t.scenario:3:1",
         "would run past its virtual limit of 1h: this line ends at 1h 0.1s"},
        {__LINE__, "limit 10s\nexpect lock shown for 11s\n", "t.scenario:2:1",
         "virtual limit of 10s"},
        {__LINE__, "shot ../outside\n", "t.scenario:1:6", "is not a shot name"},
        {__LINE__, "shot a\nshot A\n", "t.scenario:2:6", "taken already on line 1"},
        {__LINE__, "start Tessaril\n", "t.scenario:1:7", "comes before install"},
        {__LINE__, "install\nscreen both\n", "t.scenario:2:1", "before anything runs"},
        {__LINE__, "expect message \"Saved\n", "t.scenario:1:16", "no closing \""},
        {__LINE__, "gsm cal 0123\n", "t.scenario:1:5", "did you mean \"call\"?"},
        {__LINE__, "expect lock shown within\n", "t.scenario:1:19", "\"within\" is more than"},
        {__LINE__, "stylus sideways 1,2\n", "t.scenario:1:8", "is not what the stylus does"},
        {__LINE__, "key down ok\n", "t.scenario:1:10", "\"ok\" is not a key"},
        {__LINE__, "tap lock for 1s\n", "t.scenario:1:10", "\"for\" is more than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<Error> errors = ErrorsOf(c.text);
        ASSERT_EQ(1u, errors.size()) << errors[0].Text() << "\n" << errors[1].Text();
        std::string text = errors[0].Text();
        EXPECT_EQ(std::string(c.at) + ": ", text.substr(0, std::string(c.at).size() + 2)) << text;
        EXPECT_NE(std::string::npos, text.find(c.says)) << text;
    }
}

TEST(ScriptErrors, EveryMistakeOfAScriptIsListedInLineOrder) {
    std::vector<Error> errors = ErrorsOf("wiat 1s\ninstall\npress middle\nwait 2s\nanswer maybe\n");
    std::vector<std::string> at;
    for (const Error& e : errors)
        at.push_back(Describe(e.at));
    EXPECT_EQ((std::vector<std::string>{"t.scenario:1:1", "t.scenario:3:7", "t.scenario:5:8"}), at);
}

TEST(ScriptValues, SettingsReadAsTheSheetShowsThemOrAsAStoredIndex) {
    struct Case {
        int line;
        const char* written;
        const char* name;
        DWORD index;
    } cases[] = {
        {__LINE__, "DropOutgoing 1 min. 55 sec.", "DropOutgoing", 3},
        {__LINE__, "dropoutgoing \"1 MIN. 55 SEC\"", "DropOutgoing", 3},
        {__LINE__, "DropIncoming 9 min. 55 sec.", "DropIncoming", 11},
        {__LINE__, "DropIncoming 3", "DropIncoming", 3},
        {__LINE__, "TurnOffScr never", "TurnOffScr", 0},
        {__LINE__, "TurnOffScr -1", "TurnOffScr", 0xFFFFFFFF},
        {__LINE__, "OnSoundType Vibrate", "OnSoundType", 2},
        {__LINE__, "RegularSoundDelay 8 min.", "RegularSoundDelay", 7},
        {__LINE__, "TempUnlockDelay 3 sec", "TempUnlockDelay", 1},
        {__LINE__, "OnStartDelay 5 sec", "OnStartDelay", 5},
        {__LINE__, "RegularSoundBefore 15 sec", "RegularSoundBefore", 8},
        {__LINE__, "StartAfterReset on", "StartAfterReset", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Script s = Parsed(std::string("set ") + c.written + "\n");
        ASSERT_EQ(1u, s.steps.size());
        const auto& set = std::get<step::Set>(s.steps[0].action);
        EXPECT_EQ(std::u16string(c.name, c.name + std::strlen(c.name)), set.setting->name);
        EXPECT_EQ(c.index, set.value);
    }
}

TEST(ScriptValues, DurationsAddUpTheirParts) {
    struct Case {
        int line;
        const char* written;
        Ms ms;
        const char* shown;
    } cases[] = {
        {__LINE__, "500ms", 500, "500ms"},          {__LINE__, "5s", 5000, "5s"},
        {__LINE__, "1.5s", 1500, "1.5s"},           {__LINE__, "3m", 180000, "3m"},
        {__LINE__, "1m 30s", 90000, "1m 30s"},      {__LINE__, "1m 57.092s", 117092, "1m 57.092s"},
        {__LINE__, "2h 1ms", 7200001, "2h 0.001s"}, {__LINE__, "2.03s", 2030, "2.03s"},
        {__LINE__, "4.1s", 4100, "4.1s"},           {__LINE__, "0.5m", 30000, "30s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Script s = Parsed(std::string("limit 3h\nwait ") + c.written + "\n");
        EXPECT_EQ(c.ms, std::get<step::Wait>(s.steps[0].action).ms);
        EXPECT_EQ(c.shown, FormatMs(c.ms));
    }
}

TEST(ScriptValues, AnExpectationTakesItsTimeFromTheEndOfTheLine) {
    Script s = Parsed("set DropOutgoing 1 min. 55 sec.\n"
                      "expect setting DropOutgoing 1 min. 55 sec. within 1m 5s\n"
                      "expect last signal interval sound since 2m for 3s\n"
                      "expect pixel 10,20 #FF8000 # orange\n");
    ASSERT_EQ(4u, s.steps.size());
    const auto& within = std::get<step::Expect>(s.steps[1].action);
    EXPECT_EQ(step::Expect::Mode::Within, within.mode);
    EXPECT_EQ(65000u, within.ms);
    EXPECT_EQ(3u, std::get<check::Setting>(within.condition).value);
    const auto& forTime = std::get<step::Expect>(s.steps[2].action);
    EXPECT_EQ(step::Expect::Mode::For, forTime.mode);
    EXPECT_EQ(3000u, forTime.ms);
    EXPECT_EQ(120000u, *std::get<check::LastSignal>(forTime.condition).since);
    EXPECT_EQ(0xFF8000u,
              std::get<check::Pixel>(std::get<step::Expect>(s.steps[3].action).condition).rgb);
}

TEST(ScriptValues, TapsAndPressesHoldForWhatTheLineSays) {
    Script s = Parsed("tap 10,20 for 80ms\ntap 1,2\npress talk for 1.5s\npress end\n"
                      "stylus move 3,4\nkey up soft2\n");
    ASSERT_EQ(6u, s.steps.size());
    EXPECT_EQ(80u, std::get<step::Tap>(s.steps[0].action).hold);
    EXPECT_EQ(100u, std::get<step::Tap>(s.steps[1].action).hold);
    EXPECT_EQ(1500u, std::get<step::Press>(s.steps[2].action).hold);
    EXPECT_EQ(0x72u, std::get<step::Press>(s.steps[2].action).vk); // VK_TTALK
    EXPECT_EQ(0x73u, std::get<step::Press>(s.steps[3].action).vk); // VK_TEND
    const auto& move = std::get<step::Stylus>(s.steps[4].action);
    EXPECT_EQ(step::Stylus::Move::Move, move.move);
    EXPECT_EQ(3, move.point.x);
    EXPECT_EQ(4, move.point.y);
    const auto& key = std::get<step::Key>(s.steps[5].action);
    EXPECT_FALSE(key.down);
    EXPECT_EQ(0x71u, key.vk); // VK_F2
    EXPECT_EQ(1580u + 100, s.steps[0].least + s.steps[1].least + s.steps[2].least);
}
