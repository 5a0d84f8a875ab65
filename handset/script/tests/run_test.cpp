// Running scripts: a failed line is reported with what was seen and the run
// goes on; a run that would pass its limits stops with its place; and the
// handset command's exit status, report and messages say what happened.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "script/run.h"

using namespace handset::script;
namespace fs = std::filesystem;

namespace {

fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::path(TEST_OUT_DIR) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

Outcome RunText(const std::string& text, const std::string& name) {
    Script s;
    std::vector<Error> errors;
    if (!Parse(text, "t.scenario", SCENARIO_DIR, &s, &errors)) {
        ADD_FAILURE() << errors[0].Text();
        return {};
    }
    return Run(s, s.sizes[0], FreshDir(name));
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Command {
    int status;
    std::string output; // stdout and stderr
};

Command RunCommand(const std::string& arguments) {
    std::string command = std::string(HANDSET_COMMAND) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, pipe))
        output.append(buf, n);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

const char* kCall = "install\nstart Tessaril\nwait 1s\ngsm call 07700900123\nwait 2s\n"
                    "gsm accept 07700900123\n"; // lines 1 to 6

} // namespace

TEST(Run, AFailedLineSaysWhatItSawAndTheRunGoesOn) {
    struct Case {
        int line;
        std::string text;
        int failedLine;
        const char* says;
        Ms lasts = 0; // how long the failed line took
    } cases[] = {
        {__LINE__, std::string(kCall) + "expect lock hidden within 1s\nexpect lock shown\n", 7,
         "expected the lock hidden within 1s; saw the lock shown", 1000},
        {__LINE__, std::string(kCall) + "expect backlight off for 2s\nexpect lock shown\n", 7,
         "expected the backlight off for 2s; saw the backlight on", 2000},
        {__LINE__, std::string(kCall) + "expect call 07700900123 onhold\nexpect lock shown\n", 7,
         "expected the call with 07700900123 onhold; saw the call with 07700900123 connected"},
        {__LINE__, std::string(kCall) + "expect last signal vibration\nexpect lock shown\n", 7,
         "saw the last signal was a sound at 3s"},
        {__LINE__,
         std::string(kCall) + "expect backlight off within 10s\nat 7s\nexpect lock shown\n", 8,
         "the clock is at 8.792s already, past 7s"},
        {__LINE__, "gsm accept\ntap 1,1\n", 1, "no call is under way"},
        {__LINE__, "tap 240,10\ntap 1,1\n", 1, "240,10 is outside the screen of 240x320"},
        {__LINE__, "answer ok\ntap 1,1\n", 1, "no message box is open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Outcome o = RunText(c.text, "failed-line");
        EXPECT_FALSE(o.Passed());
        ASSERT_EQ(1u, o.failed.size());
        const StepResult& failed = o.steps[o.failed[0]];
        EXPECT_NE(std::string::npos, failed.message.find(c.says)) << failed.message;
        EXPECT_EQ("fail-line" + std::to_string(c.failedLine) + ".png", failed.shot);
        EXPECT_EQ(c.lasts, failed.end - failed.start) << "a line keeps its length when it fails";
        EXPECT_TRUE(fs::exists(o.dir / failed.shot));
        EXPECT_EQ(StepResult::Status::Passed == o.steps.back().status ||
                      StepResult::Status::Done == o.steps.back().status,
                  true)
            << "the last line ran too";
        EXPECT_EQ("", o.stopped);
    }
}

TEST(Run, ThePictureExpectationComparesTheScreenWithAStoredShot) {
    Outcome first = RunText("shot today\n", "picture");
    fs::path stored = fs::path(TEST_OUT_DIR) / "today.png";
    fs::copy_file(first.dir / "01-today.png", stored, fs::copy_options::overwrite_existing);
    struct Case {
        int line;
        std::string text;
        const char* seen; // "" when it holds
    } cases[] = {
        {__LINE__, "expect screen like " + stored.string() + "\n", ""},
        {__LINE__, "install\nstart TessarilCfg\nexpect screen like " + stored.string() + "\n",
         "pixels differ, the first at 210,4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Outcome o = RunText(c.text, "picture");
        EXPECT_EQ(*c.seen == 0, o.Passed());
        if (*c.seen) {
            EXPECT_NE(std::string::npos, o.steps.back().message.find(c.seen))
                << o.steps.back().message;
        }
    }
}

TEST(Run, ARunawayScenarioStopsAtItsLimitNamingTheLine) {
    struct Case {
        int line;
        std::string text;
        const char* stopped;
        Ms stoppedAt; // virtual; 0: before the line would have ended
    } cases[] = {
        {__LINE__, "limit 1m\ninstall\nexpect lock shown within 2m\ntap 1,1\n",
         "t.scenario:3:1: stopped: the scenario ran into its virtual limit of 1m", 60000},
        // The cheek on the lock for an hour and a half takes longer than that.
        {__LINE__,
         std::string(kCall) + "limit 2h\nlimit wall 300ms\nrandom taps for 1h 30m\ntap 1,1\n",
         "t.scenario:9:1: stopped: the run took longer than its wall limit of 300ms", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Outcome o = RunText(c.text, "runaway");
        EXPECT_EQ(c.stopped, o.stopped.substr(0, std::string(c.stopped).size())) << o.stopped;
        if (c.stoppedAt)
            EXPECT_EQ(c.stoppedAt, o.virtualMs);
        else
            EXPECT_LT(o.virtualMs, 3000u + 5400000u);
        EXPECT_EQ(StepResult::Status::NotRun, o.steps.back().status);
        EXPECT_TRUE(fs::exists(o.dir / "report.html")) << "the report shows how far it got";
    }
}

// A recorded hand writes taps and presses in these shapes; each must replay
// exactly as the stylus and keys it stands for.
TEST(Run, ATapOrPressIsItsDownAndUpApart) {
    struct Case {
        int line;
        const char* whole;
        const char* parts;
    } cases[] = {
        {__LINE__, "tap 60,300 for 80ms\n", "stylus down 60,300\nwait 80ms\nstylus up 60,300\n"},
        {__LINE__, "press centre for 150ms\n", "key down centre\nwait 150ms\nkey up centre\n"},
        {__LINE__, "press soft1\n", "key down soft1\nwait 100ms\nkey up soft1\n"},
    };
    for (const Case& c : cases) {
        std::string start = std::string(kCall) + "wait 1s\n";
        Outcome whole = RunText(start + c.whole + "wait 1s\n", "whole");
        Outcome parts = RunText(start + c.parts + "wait 1s\n", "parts");
        std::string a = Slurp(whole.dir / "timeline.jsonl"),
                    b = Slurp(parts.dir / "timeline.jsonl");
        EXPECT_NE(std::string::npos, a.find("\"action\": \"up\"")) << "line " << c.line;
        EXPECT_EQ(a, b) << "line " << c.line;
    }
}

TEST(Command, AFailedExpectationComesFirstInTheReportWithItsScreenshot) {
    fs::path out = FreshDir("deliberate");
    Command c =
        RunCommand("run -o " + out.string() + " " SCRIPT_TEST_DIR "/deliberate-failure.scenario");
    EXPECT_EQ(1, c.status) << c.output;
    EXPECT_EQ(0u, c.output.find("FAILED")) << c.output;
    EXPECT_NE(std::string::npos,
              c.output.find("deliberate-failure.scenario:11: expected the lock hidden; saw the "
                            "lock shown"))
        << c.output;

    nlohmann::json result = nlohmann::json::parse(Slurp(out / "240x320" / "result.json"));
    EXPECT_FALSE(result["passed"]);
    EXPECT_EQ("passed", result["steps"].back()["status"]) << "the lines after it ran";

    std::string html = Slurp(out / "240x320" / "report.html");
    size_t failures = html.find("<section id=\"failures\">");
    size_t timeline = html.find("<section id=\"timeline\">");
    ASSERT_NE(std::string::npos, failures);
    EXPECT_LT(failures, timeline) << "the failure is the first thing after the verdict";
    std::string section = html.substr(failures, timeline - failures);
    EXPECT_NE(std::string::npos, section.find("deliberate-failure.scenario:11:1"));
    EXPECT_NE(std::string::npos, section.find("<img class=\"open\""));
    EXPECT_NE(std::string::npos, section.find("src=\"data:image/png;base64,iVBORw0KGgo"))
        << "the screenshot inline, as a PNG";
    EXPECT_NE(std::string::npos, html.find("<header class=\"failed\">"));
}

TEST(Command, ExitStatusAndMessages) {
    fs::path out = FreshDir("command");
    fs::path bad = out / "bad.scenario";
    std::ofstream(bad) << "install\nwait 1 s\n";
    fs::path good = out / "good.scenario";
    std::ofstream(good)
        << "install\nstart Tessaril\nwait 1s\nexpect Tessaril running\nshot started\n";
    struct Case {
        int line;
        std::string arguments;
        int status;
        std::string says;
    } cases[] = {
        {__LINE__, "check " + good.string(), 0, "ok      " + good.string()},
        {__LINE__, "check " + bad.string(), 2, bad.string() + ":2:6: \"1\" is not a duration"},
        {__LINE__, "run -o " + (out / "runs").string() + " " + good.string() + " " + bad.string(),
         2, "nothing was run"},
        {__LINE__, "run -o /proc/no/such/folder " + good.string(), 2,
         "handset: cannot create the output folder \"/proc/no/such/folder/240x320\""},
        {__LINE__, "run -o " + (out / "runs").string() + " " + good.string(), 0,
         "passed  " + good.string()},
        {__LINE__, "run " + (out / "none.scenario").string(), 2,
         (out / "none.scenario").string() + ":0:0: cannot read the script"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Command got = RunCommand(c.arguments);
        EXPECT_EQ(c.status, got.status) << got.output;
        EXPECT_NE(std::string::npos, got.output.find(c.says)) << got.output;
    }
    // What the run wrote, and nothing else: the script names no other place.
    std::vector<std::string> written;
    for (const auto& e : fs::recursive_directory_iterator(out / "runs"))
        written.push_back(fs::relative(e.path(), out / "runs").string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ((std::vector<std::string>{"240x320", "240x320/01-started.png", "240x320/report.html",
                                        "240x320/result.json", "240x320/speaker.wav",
                                        "240x320/timeline.jsonl"}),
              written);
}
