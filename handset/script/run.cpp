// The scenario runner: a fresh phone (the Today screen, the Phone program and
// the cellular line, as the lock program's tests begin with), then each step
// of the script through the driver, checked as it goes.
#include "script/run.h"

#include <chrono>
#include <cstring>
#include <fstream>

#include "apps/apps.h"
#include "audio/audio.h"
#include "commctrl/propsheet.h"
#include "common/prng.h"
#include "common/text.h"
#include "config_testing.h"
#include "core/lock_sequence.h"
#include "device/device.h"
#include "gdi/gdi.h"
#include "pim/store.h"
#include "power/power.h"
#include "registry/registry.h"
#include "script/driver.h"
#include "script/report.h"
#include "shell/install.h"
#include "shell/menubar.h"
#include "shell/shell.h"
#include "shell/taskbar.h"
#include "tapi/network.h"
#include "testing/lock_testing.h"
#include "testing/phone.h"
#include "user/controls.h"
#include "user/input.h"
#include "user/window_manager.h"
#include "window/lock_window.h"

namespace handset::script {

namespace {

constexpr char16_t kSettingsKey[] = u"Software\\Apps\\Tessaril";

template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;

// What an expectation saw: whether it held, and what there was.
struct Seen {
    bool ok;
    std::string expected, seen;
};

std::string Hex6(uint32_t rgb) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06X", unsigned(rgb));
    return buf;
}

bool UnderWay(const NetworkCall& c) {
    return c.state != LINECALLSTATE_IDLE && c.state != LINECALLSTATE_DISCONNECTED;
}

class Runner {
  public:
    Runner(const Script& script, ScreenSize size, std::filesystem::path dir,
           std::function<void(const Step&)> onStep)
        : s_(script), dir_(std::move(dir)), driver_(size), taps_(script.seed),
          onStep_(std::move(onStep)) {
        out_.size = size;
        out_.dir = dir_;
        out_.seed = script.seed;
        out_.steps.resize(script.steps.size());
    }

    Outcome Run() {
        wallStart_ = std::chrono::steady_clock::now();
        bool setup = true;
        for (size_t i = 0; i < s_.steps.size() && out_.stopped.empty(); ++i) {
            const Step& step = s_.steps[i];
            if (setup && !IsSetup(step.action)) {
                setup = false;
                out_.settingsStart = SettingsNow();
            }
            if (d_.Now() >= s_.virtualLimit) {
                Stop(step.at, "the scenario ran into its virtual limit of " +
                                  FormatMs(s_.virtualLimit) + "; raise it with \"limit " +
                                  FormatMs(s_.virtualLimit * 2) + "\"");
                break;
            }
            StepResult& r = out_.steps[i];
            r.start = d_.Now();
            current_ = &step;
            if (onStep_) onStep_(step);
            std::optional<std::string> failure =
                Driver::Acts(step.action) ? driver_.Act(step) : std::visit(*this, step.action);
            r.end = d_.Now();
            if (failure) {
                r.status = StepResult::Status::Failed;
                r.message = *failure;
                r.shot =
                    TakeShot("failed", step.at.line, "fail-line" + std::to_string(step.at.line));
                out_.failed.push_back(i);
            } else {
                r.status = std::holds_alternative<step::Expect>(step.action)
                               ? StepResult::Status::Passed
                               : StepResult::Status::Done;
            }
            if (out_.stopped.empty() && WallPassed()) StopForWall(step.at);
        }
        if (setup) out_.settingsStart = SettingsNow();
        out_.settingsEnd = SettingsNow();
        out_.virtualMs = d_.Now();
        out_.wallSeconds = WallSeconds();
        Write();
        return std::move(out_);
    }

    // ---- The steps: each gives the failure it met, or nothing ---------------------------
    using Result = std::optional<std::string>;

    Result operator()(const step::Wait& w) {
        Advance(w.ms);
        return {};
    }
    Result operator()(const step::At& a) {
        if (d_.Now() > a.time)
            return "the clock is at " + FormatMs(d_.Now()) + " already, past " + FormatMs(a.time) +
                   "; the steps above took longer than the script allows";
        Advance(a.time - d_.Now());
        return {};
    }
    Result operator()(const step::Apply&) {
        if (!d_.Get<PropertySheets>().Open()) return std::string("no settings sheet is open");
        PressSoftKey(d_, 0);
        // Apply may stop the lock program, which takes virtual time.
        if (!Advance(10000, [this] { return Windows().OpenMessageBox() != nullptr; })) return {};
        if (!Windows().OpenMessageBox()) return std::string("Apply showed no message within 10s");
        return {};
    }
    Result operator()(const step::Shot& shot) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%02d-", int(out_.shots.size()) + 1);
        TakeShot(shot.name, current_->at.line, prefix + shot.name);
        return {};
    }
    Result operator()(const step::RandomTaps& r) {
        // Touches at random points and times, as a cheek or a pocket makes
        // them: some held still, some dragged.
        Ms end = d_.Now() + r.ms;
        Screen& screen = d_.Get<Screen>();
        auto point = [&] {
            return POINT{LONG(taps_.Below(uint64_t(screen.Width()))),
                         LONG(taps_.Below(uint64_t(screen.Height())))};
        };
        while (d_.Now() + 500 < end && out_.stopped.empty()) {
            Windows().StylusDown(point());
            for (int m = taps_.Chance(0.3) ? int(taps_.Between(1, 6)) : 0; m > 0; --m) {
                d_.RunFor(taps_.Between(1, 40));
                Windows().StylusMove(point());
            }
            d_.RunFor(taps_.Between(1, 200));
            Windows().StylusUp(point());
            Advance(taps_.Between(0, 200));
        }
        if (d_.Now() < end) Advance(end - d_.Now());
        return {};
    }
    Result operator()(const step::RandomFaults& f) {
        if (f.probability > 0)
            d_.faults().Random(s_.seed, f.probability);
        else
            d_.faults().Clear();
        return {};
    }
    template <class Acting> Result operator()(const Acting&) {
        return driver_.Act(*current_); // never reached: Run gives these to the driver
    }
    Result operator()(const step::Expect& e) {
        since_ = d_.Now();
        Seen seen = Check(e.condition);
        if (e.mode == step::Expect::Mode::Within && !seen.ok) {
            Advance(e.ms, [&] { return Check(e.condition).ok; });
            seen = Check(e.condition);
        } else if (e.mode == step::Expect::Mode::For) {
            // The line takes its whole time whatever it sees, so that the
            // times of the lines after it stay as the script says.
            Ms end = d_.Now() + e.ms;
            if (seen.ok) {
                Advance(e.ms, [&] { return !Check(e.condition).ok; });
                seen = Check(e.condition);
            }
            if (d_.Now() < end && out_.stopped.empty()) Advance(end - d_.Now());
        }
        if (seen.ok || !out_.stopped.empty()) return {};
        std::string when = e.mode == step::Expect::Mode::Within ? " within " + FormatMs(e.ms)
                           : e.mode == step::Expect::Mode::For  ? " for " + FormatMs(e.ms)
                                                                : "";
        return "expected " + seen.expected + when + "; saw " + seen.seen;
    }

  private:
    // ---- Expectations ---------------------------------------------------------------------
    Seen Check(const Condition& c) {
        return std::visit(
            Overloaded{
                [&](const check::Lock& l) -> Seen {
                    HWND w = LockWindow();
                    auto info = w ? Windows().Info(w) : std::nullopt;
                    std::string now = !info           ? "no lock window"
                                      : info->visible ? "the lock shown"
                                                      : "the lock hidden";
                    const char* want[] = {"the lock shown", "the lock hidden", "no lock window"};
                    std::string expected = want[int(l.state)];
                    return {now == expected, expected, now};
                },
                [&](const check::Call& c) { return CheckCall(c); },
                [&](const check::Backlight& b) -> Seen {
                    bool on = d_.Get<Power>().BacklightOn();
                    auto word = [](bool lit) {
                        return std::string("the backlight ") + (lit ? "on" : "off");
                    };
                    return {on == b.on, word(b.on), word(on)};
                },
                [&](const check::LastSignal& s) { return CheckSignal(s); },
                [&](const check::Message& m) -> Seen {
                    const MessageBoxInfo* box = Windows().OpenMessageBox();
                    std::string now =
                        box ? "the message \"" + Narrow(box->text) + "\"" : "no message";
                    if (!m.text) return {!box, "no message", now};
                    return {box && box->text == *m.text, "the message \"" + Narrow(*m.text) + "\"",
                            now};
                },
                [&](const check::Setting& s) -> Seen {
                    auto v = d_.Get<Registry>().GetDword(HKEY_LOCAL_MACHINE, kSettingsKey,
                                                         s.setting->name);
                    std::string name = Narrow(s.setting->name) + " ";
                    return {v && *v == s.value, name + ShowSetting(*s.setting, s.value),
                            v ? name + ShowSetting(*s.setting, *v) : name + "not stored"};
                },
                [&](const check::Registry& r) -> Seen {
                    auto& reg = d_.Get<Registry>();
                    std::string name = Narrow(r.path) + "\\" + Narrow(r.name);
                    if (auto* want = std::get_if<DWORD>(&r.value)) {
                        auto v = reg.GetDword(r.root, r.path, r.name);
                        return {v && *v == *want, name + " = " + std::to_string(*want),
                                v ? name + " = " + std::to_string(*v)
                                  : name + " missing or not a DWORD"};
                    }
                    const auto& want = std::get<std::u16string>(r.value);
                    auto v = reg.GetString(r.root, r.path, r.name);
                    return {v && *v == want, name + " = \"" + Narrow(want) + "\"",
                            v ? name + " = \"" + Narrow(*v) + "\""
                              : name + " missing or not a text"};
                },
                [&](const check::Pixel& p) -> Seen {
                    if (auto outside = Outside(p.point)) return {false, Hex6(p.rgb), *outside};
                    gdi::Rgb888Image pic = d_.Get<Screen>().Picture();
                    size_t at = (size_t(p.point.y) * size_t(pic.width) + size_t(p.point.x)) * 3;
                    uint32_t rgb = uint32_t(pic.rgb[at]) << 16 | uint32_t(pic.rgb[at + 1]) << 8 |
                                   pic.rgb[at + 2];
                    std::string where =
                        " at " + std::to_string(p.point.x) + "," + std::to_string(p.point.y);
                    return {rgb == p.rgb, Hex6(p.rgb) + where, Hex6(rgb) + where};
                },
                [&](const check::Picture& p) { return CheckPicture(p); },
                [&](const check::Process& p) { return CheckProcess(p); },
            },
            c);
    }

    Seen CheckCall(const check::Call& want) {
        std::vector<NetworkCall> calls = Net().Calls();
        if (want.none) {
            for (const NetworkCall& c : calls)
                if (UnderWay(c))
                    return {false, "no call under way",
                            "the call with " + Narrow(c.number) + " " + CallStateName(c.state)};
            return {true, "no call under way", "none"};
        }
        std::string who =
            want.number.empty() ? "the newest call" : "the call with " + Narrow(want.number);
        std::string expected = who + " " + CallStateName(want.state);
        const NetworkCall* found = nullptr;
        for (const NetworkCall& c : calls)
            if (want.number.empty() || Digits(c.number) == Digits(want.number)) found = &c;
        if (!found) return {false, expected, "no such call"};
        return {found->state == want.state, expected, who + " " + CallStateName(found->state)};
    }

    // The program's signals: its sounds and the vibrator's pulses, by start.
    struct Signal {
        Ms at;
        SignalKind kind;
    };
    std::vector<Signal> Signals() {
        std::vector<Signal> all;
        for (const Playback& p : d_.Get<Audio>().Playbacks())
            if (p.pid != 0)
                all.push_back({p.start, p.data.size() == lockprogram::kElapsedSoundBytes
                                            ? SignalKind::IntervalSound
                                            : SignalKind::Sound});
        for (const LedChange& c : d_.Get<Power>().LedHistory())
            if (c.settings.LedNum == Power::kVibrator && c.settings.OffOnBlink != NLED_OFF)
                all.push_back({c.at, SignalKind::Vibration});
        std::stable_sort(all.begin(), all.end(),
                         [](const Signal& a, const Signal& b) { return a.at < b.at; });
        return all;
    }
    static std::string SignalName(SignalKind k) {
        return k == SignalKind::IntervalSound ? "the interval sound"
               : k == SignalKind::Vibration   ? "a vibration"
               : k == SignalKind::Sound       ? "a sound"
                                              : "a signal";
    }
    Seen CheckSignal(const check::LastSignal& want) {
        std::vector<Signal> all = Signals();
        const Signal* last = all.empty() ? nullptr : &all.back();
        std::string seen =
            last ? "the last signal was " + SignalName(last->kind) + " at " + FormatMs(last->at)
                 : "no signal yet";
        if (want.none) {
            Ms since = want.since.value_or(since_);
            return {!last || last->at < since, "no signal since " + FormatMs(since), seen};
        }
        std::string expected = "the last signal " + SignalName(want.kind);
        bool ok = last && (last->kind == want.kind || (want.kind == SignalKind::Sound &&
                                                       last->kind == SignalKind::IntervalSound));
        if (want.at) expected += " at " + FormatMs(*want.at), ok = ok && last->at == *want.at;
        if (want.since)
            expected += " since " + FormatMs(*want.since), ok = ok && last->at >= *want.since;
        return {ok, expected, seen};
    }

    Seen CheckPicture(const check::Picture& want) {
        gdi::Rgb888Image pic = d_.Get<Screen>().Picture();
        RECT r = want.region.value_or(RECT{0, 0, pic.width, pic.height});
        std::string expected = (want.region ? "the region like " : "the screen like ") + want.file;
        if (r.right > pic.width || r.bottom > pic.height || want.image.width != r.right - r.left ||
            want.image.height != r.bottom - r.top)
            return {false, expected,
                    "a screen of " + std::to_string(pic.width) + "x" + std::to_string(pic.height) +
                        ", which the picture does not fit"};
        int differ = 0;
        POINT first{};
        for (LONG y = r.top; y < r.bottom; ++y)
            for (LONG x = r.left; x < r.right; ++x) {
                const uint8_t* a = &pic.rgb[(size_t(y) * size_t(pic.width) + size_t(x)) * 3];
                const uint8_t* b =
                    &want.image
                         .rgb[(size_t(y - r.top) * size_t(want.image.width) + size_t(x - r.left)) *
                              3];
                if (std::memcmp(a, b, 3) != 0 && differ++ == 0) first = {x, y};
            }
        return {differ == 0, expected,
                differ ? std::to_string(differ) + " pixels differ, the first at " +
                             std::to_string(first.x) + "," + std::to_string(first.y)
                       : "the same"};
    }

    Seen CheckProcess(const check::Process& want) {
        std::string name = ProgramName(want.program);
        DWORD pid = LastProcess(want.program);
        bool running = pid && d_.ProcessRunning(pid);
        std::string now = !pid      ? name + " never started"
                          : running ? name + " running"
                                    : name + " ended";
        switch (want.state) {
        case check::Process::State::Running:
            return {running, name + " running", now};
        case check::Process::State::Ended:
            return {pid && !running, name + " ended", now};
        case check::Process::State::HeldNothing: {
            std::string expected = "nothing held by " + name + " after it ended";
            if (!pid || running) return {false, expected, now};
            for (const auto& [kind, n] : d_.HeldBy(pid))
                if (n != 0) return {false, expected, name + " held " + d_.DescribeHeld(pid)};
            return {true, expected, "nothing held"};
        }
        }
        return {false, "", ""};
    }

    // ---- Helpers --------------------------------------------------------------------------
    static bool IsSetup(const Action& a) {
        return std::holds_alternative<step::Set>(a) ||
               std::holds_alternative<step::RegistryFile>(a) ||
               std::holds_alternative<step::Contacts>(a) ||
               std::holds_alternative<step::Contact>(a);
    }

    CellularNetwork& Net() { return driver_.Net(); }
    WindowManager& Windows() { return driver_.Windows(); }
    HWND LockWindow() { return driver_.LockWindow(); }
    DWORD LastProcess(Program p) { return driver_.LastProcess(p); }
    std::optional<std::string> Outside(POINT p) { return driver_.Outside(p); }

    SettingsSnapshot SettingsNow() {
        SettingsSnapshot snapshot;
        for (const SettingInfo& s : Settings())
            if (auto v = d_.Get<Registry>().GetDword(HKEY_LOCAL_MACHINE, kSettingsKey, s.name))
                snapshot.push_back(int64_t(*v));
            else
                snapshot.push_back(kNotStored);
        return snapshot;
    }

    std::string TakeShot(const std::string& name, int line, const std::string& stem) {
        std::string file = stem + ".png";
        std::string error;
        if (!d_.Get<Screen>().SaveScreenshot((dir_ / file).string(), Screen::Shot::Seen, &error)) {
            if (out_.writeError.empty()) out_.writeError = error;
            return "";
        }
        out_.shots.push_back({file, name, d_.Now(), line});
        return file;
    }

    // Runs the clock for ms, or until `until` holds; false when the run had
    // to stop (a limit).
    bool Advance(Ms ms, const std::function<bool()>& until = {}) {
        Ms target = d_.Now() + ms;
        bool capped = target > s_.virtualLimit;
        if (capped) target = std::max(d_.Now(), s_.virtualLimit);
        d_.RunUntil([&] { return WallPassed() || (until && until()); }, target - d_.Now());
        if (WallPassed()) {
            StopForWall(current_->at);
            return false;
        }
        if (capped && !(until && until())) {
            Stop(current_->at, "the scenario ran into its virtual limit of " +
                                   FormatMs(s_.virtualLimit) +
                                   " on this line; raise it with "
                                   "\"limit " +
                                   FormatMs(s_.virtualLimit * 2) + "\"");
            return false;
        }
        return true;
    }

    double WallSeconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart_).count();
    }
    bool WallPassed() const { return WallSeconds() * 1000 > double(s_.wallLimit); }
    void StopForWall(const Place& at) {
        Stop(at, "the run took longer than its wall limit of " + FormatMs(s_.wallLimit) +
                     " (at virtual " + FormatMs(d_.Now()) + "); raise it with \"limit wall " +
                     FormatMs(s_.wallLimit * 2) + "\"");
    }
    void Stop(const Place& at, const std::string& why) {
        if (out_.stopped.empty()) out_.stopped = Describe(at) + ": stopped: " + why;
    }

    void Write() {
        std::string error;
        auto fail = [&](const std::string& e) {
            if (out_.writeError.empty()) out_.writeError = e;
        };
        std::ofstream((dir_ / "timeline.jsonl").string()) << d_.timeline().ToJsonLines();
        if (!d_.Get<Audio>().WriteSpeakerWav((dir_ / "speaker.wav").string(), &error)) fail(error);
        std::ofstream((dir_ / "result.json").string()) << ResultJson(s_, out_);
        std::string html = ReportHtml(s_, out_, d_);
        std::ofstream report((dir_ / "report.html").string(), std::ios::binary);
        report << html;
        if (!report.flush()) fail((dir_ / "report.html").string() + ": cannot write");
    }

    const Script& s_;
    std::filesystem::path dir_;
    Driver driver_;
    Device& d_ = driver_.device();
    Outcome out_;
    Prng taps_;
    const Step* current_ = nullptr;
    Ms since_ = 0; // when the expectation being checked began
    std::chrono::steady_clock::time_point wallStart_;
    std::function<void(const Step&)> onStep_;
};

} // namespace

Outcome Run(const Script& script, ScreenSize size, const std::filesystem::path& dir,
            const std::function<void(const Step&)>& onStep) {
    return Runner(script, size, dir, onStep).Run();
}

} // namespace handset::script
