// report.html: the verdict and the failed expectations first, then the
// timeline chart (a small SVG writer: one lane per thing a person follows),
// the screenshots, the script line by line, the speaker and the settings.
// Everything is inline; the page's only script opens a picture full size.
#include "script/report.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "audio/audio.h"
#include "common/text.h"
#include "power/power.h"
#include "testing/phone.h"
#include "window/lock_window.h"

namespace handset::script {

std::string Base64(std::string_view bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t n = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 |
                     uint8_t(bytes[i + 2]);
        out += kDigits[n >> 18];
        out += kDigits[(n >> 12) & 63];
        out += kDigits[(n >> 6) & 63];
        out += kDigits[n & 63];
    }
    if (size_t rest = bytes.size() - i) {
        uint32_t n = uint32_t(uint8_t(bytes[i])) << 16 |
                     (rest > 1 ? uint32_t(uint8_t(bytes[i + 1])) << 8 : 0);
        out += kDigits[n >> 18];
        out += kDigits[(n >> 12) & 63];
        out += rest > 1 ? kDigits[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

namespace {

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// "1:57.092": times in the report's tables line up.
std::string Clock(Ms ms) {
    char buf[32];
    if (ms >= 3600000)
        std::snprintf(buf, sizeof buf, "%u:%02u:%02u.%03u", unsigned(ms / 3600000),
                      unsigned(ms / 60000 % 60), unsigned(ms / 1000 % 60), unsigned(ms % 1000));
    else
        std::snprintf(buf, sizeof buf, "%u:%02u.%03u", unsigned(ms / 60000),
                      unsigned(ms / 1000 % 60), unsigned(ms % 1000));
    return buf;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string PngUri(const std::filesystem::path& path) {
    return "data:image/png;base64," + Base64(ReadFile(path));
}

const char* StatusName(StepResult::Status s) {
    switch (s) {
    case StepResult::Status::NotRun:
        return "not run";
    case StepResult::Status::Done:
        return "done";
    case StepResult::Status::Passed:
        return "passed";
    case StepResult::Status::Failed:
        return "FAILED";
    }
    return "";
}

// ---- The chart ----------------------------------------------------------------------------

struct Bar {
    Ms from, to;
    std::string colour, label, title;
};
struct Tick {
    Ms at;
    std::string colour, title;
    enum class Shape { Line, Key, Shot, Failure } shape = Shape::Line;
    int shot = -1; // the screenshot it opens
};
struct Lane {
    std::string label;
    std::vector<Bar> bars;
    std::vector<Tick> ticks;
};

const std::map<std::string, std::string>& ProgramColours() {
    static const std::map<std::string, std::string> colours = {
        {"Tessaril", "#d9480f"}, {"TessarilCfg", "#2b8a3e"}, {"Phone", "#1c7ed6"},
        {"Today", "#868e96"},    {"audio", "#ae3ec9"},       {"nothing", "#212529"}};
    return colours;
}

std::string CallColour(const std::string& state) {
    static const std::map<std::string, std::string> colours = {
        {"offering", "#f59f00"},   {"accepted", "#f59f00"}, {"dialing", "#ffd43b"},
        {"proceeding", "#fcc419"}, {"ringback", "#fab005"}, {"connected", "#2f9e44"},
        {"onhold", "#74c0fc"},     {"busy", "#e03131"},     {"disconnected", "#adb5bd"}};
    auto it = colours.find(state);
    return it == colours.end() ? "#ced4da" : it->second;
}

const char* TimerName(int64_t id) {
    switch (id) {
    case 1:
        return "temporary unlock";
    case 2:
        return "interval signal";
    case 3:
        return "screen off";
    case 4:
        return "clock";
    case 5:
        return "call drop";
    }
    return "timer";
}

class ChartData {
  public:
    ChartData(const Script& s, const Outcome& o, Device& d)
        : end_(std::max<Ms>(o.virtualMs, 1000)) {
        Programs(d);
        ScriptLanes(s, o);
        Calls(d);
        LockWindow(d);
        Backlight(d);
        Signals(d);
        Input(d);
        Timers(d);
    }
    std::vector<Lane> lanes;
    Ms End() const { return end_; }

  private:
    void Programs(Device& d) {
        for (const TimelineEntry* e : d.timeline().Find("process.start"))
            programs_[e->Get("process")] = ProgramLabel(e->Get("path"));
    }
    std::string ProgramName(const std::string& pid) {
        auto it = programs_.find(pid);
        return it == programs_.end() ? "nothing" : it->second;
    }

    void ScriptLanes(const Script& s, const Outcome& o) {
        Lane steps{"script"}, shots{"screenshots"};
        for (size_t i = 0; i < s.steps.size(); ++i) {
            const StepResult& r = o.steps[i];
            if (r.status == StepResult::Status::NotRun) continue;
            bool failed = r.status == StepResult::Status::Failed;
            std::string title = "line " + std::to_string(s.steps[i].at.line) + " at " +
                                Clock(r.start) + ": " + s.lines[size_t(s.steps[i].at.line - 1)];
            if (r.end > r.start + 50)
                steps.bars.push_back({r.start, r.end, failed ? "#ffa8a8" : "#dee2e6", "", title});
            steps.ticks.push_back({r.start, failed ? "#e03131" : "#495057", title,
                                   failed ? Tick::Shape::Failure : Tick::Shape::Line});
        }
        for (size_t i = 0; i < o.shots.size(); ++i) {
            const ShotTaken& shot = o.shots[i];
            bool failure = shot.name == "failed";
            shots.ticks.push_back({shot.t, failure ? "#e03131" : "#1971c2",
                                   (failure ? "failure at line " : shot.name + ", line ") +
                                       std::to_string(shot.line) + ", " + Clock(shot.t),
                                   Tick::Shape::Shot, int(i)});
        }
        lanes.push_back(std::move(steps));
        lanes.push_back(std::move(shots));
    }

    void Calls(Device& d) {
        struct Change {
            Ms t;
            std::string state;
        };
        std::map<int64_t, std::vector<Change>> calls;
        std::map<int64_t, std::string> names;
        for (const TimelineEntry* e : d.timeline().Find("call.state")) {
            calls[e->Number("call")].push_back({e->t, e->Get("state")});
            std::string number = e->Get("number").empty() ? "withheld" : e->Get("number");
            names[e->Number("call")] = "call " + e->Get("call") + " " +
                                       (e->Get("direction") == "incoming" ? "from " : "to ") +
                                       number;
        }
        for (auto& [id, changes] : calls) {
            Lane lane{names[id]};
            for (size_t i = 0; i < changes.size(); ++i) {
                if (changes[i].state == "idle") break;
                Ms to = i + 1 < changes.size() ? changes[i + 1].t : end_;
                lane.bars.push_back({changes[i].t, std::max(to, changes[i].t + 1),
                                     CallColour(changes[i].state), changes[i].state,
                                     changes[i].state + " from " + Clock(changes[i].t)});
            }
            lanes.push_back(std::move(lane));
        }
    }

    void LockWindow(Device& d) {
        Lane lane{"lock window"};
        std::string cls = Narrow(LOCK_WINDOW_CLASS);
        std::optional<Ms> made, shown;
        auto close = [&](Ms t) {
            if (shown)
                lane.bars.push_back({*shown, t, "#364fc7", "shown", "shown from " + Clock(*shown)});
            shown.reset();
        };
        for (const TimelineEntry& e : d.timeline().Entries()) {
            if (e.what == "window.create" && e.Get("class") == cls) {
                lockWindows_.insert(e.Get("window"));
                made = e.t;
            }
            if (!lockWindows_.count(e.Get("window"))) continue;
            if (e.what == "window.show" && !shown) shown = e.t;
            if (e.what == "window.hide") close(e.t);
            if (e.what == "window.destroy") {
                close(e.t);
                if (made)
                    lane.bars.insert(lane.bars.begin(),
                                     {*made, e.t, "#dbe4ff", "", "lock window alive"});
                made.reset();
            }
        }
        close(end_);
        if (made)
            lane.bars.insert(lane.bars.begin(), {*made, end_, "#dbe4ff", "", "lock window alive"});
        lanes.push_back(std::move(lane));
    }

    void Backlight(Device& d) {
        Lane lane{"backlight"};
        Ms from = 0;
        bool on = true;
        auto segment = [&](Ms to) {
            if (to > from)
                lane.bars.push_back({from, to, on ? "#fff3bf" : "#343a40", on ? "on" : "off",
                                     std::string(on ? "on" : "off") + " from " + Clock(from)});
        };
        for (const BacklightRequest& r : d.Get<Power>().BacklightHistory()) {
            bool now = r.state != D4;
            if (now == on) continue;
            segment(r.at);
            from = r.at;
            on = now;
        }
        segment(end_);
        lanes.push_back(std::move(lane));
    }

    void Signals(Device& d) {
        Lane sounds{"sounds"}, vibration{"vibration"};
        for (const Playback& p : d.Get<Audio>().Playbacks()) {
            bool interval = p.data.size() == lockprogram::kElapsedSoundBytes;
            bool lock = p.data.size() == lockprogram::kLockSoundBytes;
            std::string name = interval ? "interval sound" : lock ? "lock sound" : "sound";
            sounds.bars.push_back({p.start, std::max(p.end, p.start + 1),
                                   interval ? "#f08c00" : "#e64980", name,
                                   name + " " + Clock(p.start) + " to " + Clock(p.end) + " (" +
                                       ProgramLabel(Narrow(p.program)) + ")"});
        }
        std::optional<Ms> on;
        for (const LedChange& c : d.Get<Power>().LedHistory()) {
            if (c.settings.LedNum != Power::kVibrator) continue;
            bool now = c.settings.OffOnBlink != NLED_OFF;
            if (now && !on) on = c.at;
            if (!now && on) {
                vibration.bars.push_back({*on, std::max(c.at, *on + 1), "#7048e8", "",
                                          "vibration " + Clock(*on) + " to " + Clock(c.at)});
                on.reset();
            }
        }
        if (on)
            vibration.bars.push_back({*on, end_, "#7048e8", "", "vibration from " + Clock(*on)});
        lanes.push_back(std::move(sounds));
        lanes.push_back(std::move(vibration));
    }

    void Input(Device& d) {
        Lane lane{"taps and keys"};
        for (const TimelineEntry& e : d.timeline().Entries()) {
            bool tap = e.what == "input.stylus", key = e.what == "input.key",
                 soft = e.what == "input.softkey";
            if (!(tap || key || soft) || e.Get("action") != "down") continue;
            std::string program = e.Number("window") ? ProgramName(e.Get("process")) : "nothing";
            std::string what = tap   ? "tap " + e.Get("x") + "," + e.Get("y")
                               : key ? "key " + KeyName(e.Number("vk"))
                                     : "soft key " + std::to_string(e.Number("key") + 1);
            auto colour = ProgramColours().find(program);
            lane.ticks.push_back({e.t,
                                  colour == ProgramColours().end() ? "#212529" : colour->second,
                                  what + " at " + Clock(e.t) + " to " + program,
                                  tap ? Tick::Shape::Line : Tick::Shape::Key});
        }
        lanes.push_back(std::move(lane));
    }

    static std::string KeyName(int64_t vk) {
        switch (vk) {
        case VK_RETURN:
            return "centre";
        case VK_UP:
            return "up";
        case VK_DOWN:
            return "down";
        case VK_LEFT:
            return "left";
        case VK_RIGHT:
            return "right";
        }
        if (vk >= VK_APP1 && vk < VK_APP1 + 6) return "app" + std::to_string(vk - VK_APP1 + 1);
        return std::to_string(vk);
    }

    void Timers(Device& d) {
        std::map<int64_t, Lane> timers;
        std::map<int64_t, std::pair<Ms, std::string>> armed; // id: since, period
        auto lane = [&](int64_t id) -> Lane& {
            Lane& l = timers[id];
            if (l.label.empty()) l.label = "timer " + std::to_string(id) + " " + TimerName(id);
            return l;
        };
        auto disarm = [&](int64_t id, Ms t) {
            auto it = armed.find(id);
            if (it == armed.end()) return;
            lane(id).bars.push_back(
                {it->second.first, std::max(t, it->second.first + 1), "#96f2d7", "",
                 std::string(TimerName(id)) + " every " + FormatMs(std::stoull(it->second.second)) +
                     " from " + Clock(it->second.first)});
            armed.erase(it);
        };
        for (const TimelineEntry& e : d.timeline().Entries()) {
            if (!lockWindows_.count(e.Get("window"))) continue;
            int64_t id = e.Number("id");
            if (e.what == "timer.set") {
                disarm(id, e.t);
                armed[id] = {e.t, e.Get("period")};
                lane(id);
            } else if (e.what == "timer.kill") {
                disarm(id, e.t);
            } else if (e.what == "timer.fire") {
                lane(id).ticks.push_back(
                    {e.t, "#087f5b", std::string(TimerName(id)) + " fired at " + Clock(e.t)});
            } else if (e.what == "window.destroy") {
                for (auto it = armed.begin(); it != armed.end();)
                    disarm((it++)->first, e.t);
            }
        }
        for (auto it = armed.begin(); it != armed.end();)
            disarm((it++)->first, end_);
        for (auto& [id, l] : timers)
            lanes.push_back(std::move(l));
    }

    Ms end_;
    std::map<std::string, std::string> programs_; // pid: program
    std::set<std::string> lockWindows_;
};

constexpr int kLaneHeight = 22;
constexpr int kAxisHeight = 24;
constexpr int kLabelWidth = 190;

// White on dark fills, near black on light ones.
const char* TextOn(const std::string& fill) {
    unsigned rgb = 0;
    std::sscanf(fill.c_str(), "#%6x", &rgb);
    double luminance = 0.299 * (rgb >> 16) + 0.587 * ((rgb >> 8) & 255) + 0.114 * (rgb & 255);
    return luminance > 150 ? "#212529" : "#ffffff";
}

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

// The lane labels and the chart, two SVGs side by side: the chart scrolls
// sideways under fixed labels.
std::string ChartHtml(const ChartData& data) {
    const double end = double(data.End());
    const int width = std::clamp(int(end / 1000 * 8), 900, 8000);
    auto x = [&](Ms t) { return 8 + double(t) * double(width - 16) / end; };
    const int height = kAxisHeight + int(data.lanes.size()) * kLaneHeight + 4;
    std::ostringstream labels, chart;
    labels << "<svg class=\"labels\" width=\"" << kLabelWidth << "\" height=\"" << height << "\">";
    chart << "<svg class=\"chart\" width=\"" << width << "\" height=\"" << height << "\">";
    // The axis: a tick every nice step at least 80 pixels apart.
    static const Ms steps[] = {100,   200,   500,    1000,   2000,   5000,   10000,   15000,
                               30000, 60000, 120000, 300000, 600000, 900000, 1800000, 3600000};
    Ms step = steps[std::size(steps) - 1];
    for (Ms s : steps)
        if (double(s) * double(width - 16) / end >= 80) {
            step = s;
            break;
        }
    for (Ms t = 0; double(t) <= end; t += step) {
        chart << "<line x1=\"" << Num(x(t)) << "\" y1=\"" << kAxisHeight - 6 << "\" x2=\""
              << Num(x(t)) << "\" y2=\"" << height << "\" class=\"grid\"/>";
        chart << "<text x=\"" << Num(x(t) + 3) << "\" y=\"14\" class=\"axis\">"
              << Escape(FormatMs(t)) << "</text>";
    }
    for (size_t i = 0; i < data.lanes.size(); ++i) {
        const Lane& lane = data.lanes[i];
        int top = kAxisHeight + int(i) * kLaneHeight;
        labels << "<text x=\"" << kLabelWidth - 8 << "\" y=\"" << top + 15
               << "\" text-anchor=\"end\">" << Escape(lane.label) << "</text>";
        chart << "<rect x=\"0\" y=\"" << top << "\" width=\"" << width << "\" height=\""
              << kLaneHeight << "\" class=\"" << (i % 2 ? "odd" : "even") << "\"/>";
        for (const Bar& b : lane.bars) {
            double left = x(b.from), w = std::max(1.5, x(b.to) - left);
            chart << "<g><title>" << Escape(b.title) << "</title><rect x=\"" << Num(left)
                  << "\" y=\"" << top + 3 << "\" width=\"" << Num(w) << "\" height=\""
                  << kLaneHeight - 6 << "\" fill=\"" << b.colour << "\"/>";
            if (!b.label.empty() && w > double(b.label.size()) * 6.5 + 6)
                chart << "<text x=\"" << Num(left + 3) << "\" y=\"" << top + 15
                      << "\" class=\"in-bar\" fill=\"" << TextOn(b.colour) << "\">"
                      << Escape(b.label) << "</text>";
            chart << "</g>";
        }
        for (const Tick& t : lane.ticks) {
            double at = x(t.at);
            chart << "<g><title>" << Escape(t.title) << "</title>";
            switch (t.shape) {
            case Tick::Shape::Line:
                chart << "<rect x=\"" << Num(at - 0.75) << "\" y=\"" << top + 3
                      << "\" width=\"1.5\" height=\"" << kLaneHeight - 6 << "\" fill=\"" << t.colour
                      << "\"/>";
                break;
            case Tick::Shape::Key:
                chart << "<rect x=\"" << Num(at - 3.5) << "\" y=\"" << top + 7
                      << "\" width=\"7\" height=\"8\" fill=\"" << t.colour << "\"/>";
                break;
            case Tick::Shape::Failure:
                chart << "<path d=\"M" << Num(at) << " " << top + 4 << " l6 13 h-12 z\" fill=\""
                      << t.colour << "\"/>";
                break;
            case Tick::Shape::Shot:
                chart << "<circle cx=\"" << Num(at) << "\" cy=\"" << top + 11
                      << "\" r=\"6\" fill=\"" << t.colour << "\" class=\"open\" data-shot=\""
                      << t.shot << "\"/>";
                break;
            }
            chart << "</g>";
        }
    }
    labels << "</svg>";
    chart << "</svg>";
    std::ostringstream legend;
    legend << "<p class=\"legend\">Taps (lines) and keys (squares) by the program that got them: ";
    for (const auto& [name, colour] : ProgramColours())
        legend << "<span><i style=\"background:" << colour << "\"></i>" << Escape(name)
               << "</span> ";
    legend << " &middot; hover over anything for its times; click a screenshot's dot to see it</p>";
    return legend.str() + "<div class=\"timeline\">" + labels.str() + "<div class=\"scroll\">" +
           chart.str() + "</div></div>";
}

const char* kStyle = R"(
body { font: 14px/1.45 system-ui, sans-serif; margin: 0; color: #212529; background: #f8f9fa; }
header { padding: 16px 24px; color: white; }
header.passed { background: #2b8a3e; } header.failed { background: #c92a2a; }
header h1 { margin: 0; font-size: 22px; } header p { margin: 4px 0 0; }
.verdict { font-size: 18px; font-weight: 600; }
section { background: white; margin: 16px 24px; padding: 12px 16px; border-radius: 6px;
          box-shadow: 0 1px 3px rgba(0,0,0,.12); }
h2 { margin: 0 0 8px; font-size: 17px; }
.failure { border-left: 4px solid #e03131; padding: 6px 12px; margin: 10px 0; background: #fff5f5;
           display: flex; gap: 16px; align-items: flex-start; }
.failure img { width: 160px; border: 1px solid #adb5bd; cursor: zoom-in; }
.failure code, td.text { font-family: ui-monospace, monospace; white-space: pre; }
.stopped { color: #c92a2a; font-weight: 600; }
.timeline { display: flex; font-size: 12px; }
.timeline .scroll { overflow-x: auto; flex: 1; }
.labels text { fill: #343a40; }
.chart .even { fill: #ffffff; } .chart .odd { fill: #f1f3f5; }
.chart .grid { stroke: #dee2e6; } .chart .axis { fill: #868e96; }
.chart .in-bar { font-size: 11px; pointer-events: none; }
.chart .open { cursor: zoom-in; stroke: white; stroke-width: 1.5; }
.legend span { margin-right: 10px; white-space: nowrap; }
.legend i { display: inline-block; width: 10px; height: 10px; margin-right: 4px; }
.shots { display: flex; flex-wrap: wrap; gap: 14px; }
.shots figure { margin: 0; text-align: center; font-size: 12px; }
.shots img { width: 160px; border: 1px solid #adb5bd; cursor: zoom-in; display: block; }
.shots figure.fail img { border: 2px solid #e03131; }
table { border-collapse: collapse; width: 100%; }
td, th { padding: 2px 8px; text-align: left; vertical-align: top; border-bottom: 1px solid #f1f3f5; }
th { font-weight: 600; color: #495057; }
td.num { color: #adb5bd; text-align: right; width: 3em; } td.time { color: #495057; width: 7em; }
tr.failed td { background: #fff5f5; } tr.failed td.status { color: #c92a2a; font-weight: 600; }
tr.passed td.status { color: #2b8a3e; } tr.notrun td { color: #adb5bd; }
td.message { color: #c92a2a; white-space: normal; }
tr.changed td { background: #fff9db; }
#viewer { display: none; position: fixed; inset: 0; background: rgba(0,0,0,.85); z-index: 9;
          align-items: center; justify-content: center; flex-direction: column; color: white; cursor: zoom-out; }
#viewer.open { display: flex; } #viewer img { max-width: 95vw; max-height: 88vh; image-rendering: pixelated; }
)";

const char* kScript = R"(
const viewer = document.getElementById('viewer');
function show(img) {
  viewer.querySelector('img').src = img.src;
  viewer.querySelector('p').textContent = img.alt;
  viewer.classList.add('open');
}
document.querySelectorAll('img.open').forEach(img => img.onclick = () => show(img));
document.querySelectorAll('circle.open').forEach(c =>
  c.onclick = () => show(document.getElementById('shot-' + c.dataset.shot)));
viewer.onclick = () => viewer.classList.remove('open');
document.onkeydown = e => { if (e.key === 'Escape') viewer.classList.remove('open'); };
)";

} // namespace

std::string ReportHtml(const Script& s, const Outcome& o, Device& d) {
    std::ostringstream h;
    const ScreenSize& size = o.size;
    std::string title = s.name + " " + size.Name();
    size_t expectations = 0;
    for (const Step& step : s.steps)
        expectations += std::holds_alternative<step::Expect>(step.action);
    h << "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" << Escape(title)
      << ": " << (o.Passed() ? "passed" : "FAILED") << "</title><style>" << kStyle
      << "</style></head><body>\n";

    // The verdict.
    h << "<header class=\"" << (o.Passed() ? "passed" : "failed") << "\"><h1>" << Escape(s.name)
      << " &middot; " << size.width << " x " << size.height << " at " << size.dpi << " dpi</h1>";
    h << "<p class=\"verdict\">";
    if (o.Passed())
        h << "Passed: " << expectations << " expectation" << (expectations == 1 ? "" : "s")
          << " held";
    else
        h << "Failed: " << o.failed.size() << " of " << s.steps.size() << " lines failed"
          << (o.stopped.empty() ? "" : "; the run stopped early");
    double ratio = o.wallSeconds > 0 ? double(o.virtualMs) / 1000 / o.wallSeconds : 0;
    h << "</p><p>" << Escape(s.file) << " &middot; " << Escape(FormatMs(o.virtualMs))
      << " of virtual time, run in " << Num(o.wallSeconds * 1000) << " ms of wall time ("
      << int64_t(ratio) << " times real time) before this page was written &middot; seed " << o.seed
      << "</p></header>\n";

    // What failed, first, with the screen as it was.
    if (!o.Passed()) {
        h << "<section id=\"failures\"><h2>What failed</h2>";
        if (!o.stopped.empty()) h << "<p class=\"stopped\">" << Escape(o.stopped) << "</p>";
        if (!o.writeError.empty()) h << "<p class=\"stopped\">" << Escape(o.writeError) << "</p>";
        for (size_t i : o.failed) {
            const Step& step = s.steps[i];
            const StepResult& r = o.steps[i];
            h << "<div class=\"failure\">";
            if (!r.shot.empty())
                h << "<img class=\"open\" alt=\"" << Escape(Describe(step.at)) << " at "
                  << Clock(r.end) << "\" src=\"" << PngUri(o.dir / r.shot) << "\">";
            h << "<div><p><a href=\"#line-" << step.at.line << "\">" << Escape(Describe(step.at))
              << "</a> at " << Clock(r.end) << "</p><p><code>"
              << Escape(s.lines[size_t(step.at.line - 1)]) << "</code></p><p>" << Escape(r.message)
              << "</p></div></div>";
        }
        h << "</section>\n";
    }

    // The timeline.
    ChartData chart(s, o, d);
    h << "<section id=\"timeline\"><h2>Timeline</h2>" << ChartHtml(chart) << "</section>\n";

    // The screenshots in order.
    h << "<section id=\"screenshots\"><h2>Screenshots</h2><div class=\"shots\">";
    for (size_t i = 0; i < o.shots.size(); ++i) {
        const ShotTaken& shot = o.shots[i];
        bool failure = shot.name == "failed";
        std::string caption = (failure ? "failed, line " : shot.name + ", line ") +
                              std::to_string(shot.line) + ", " + Clock(shot.t);
        h << "<figure" << (failure ? " class=\"fail\"" : "") << "><img class=\"open\" id=\"shot-"
          << i << "\" alt=\"" << Escape(caption) << "\" src=\"" << PngUri(o.dir / shot.file)
          << "\"><figcaption>" << Escape(caption) << "</figcaption></figure>";
    }
    if (o.shots.empty())
        h << "<p>The script takes no screenshots (add <code>shot NAME</code>).</p>";
    h << "</div></section>\n";

    // The script, line by line.
    h << "<section id=\"script\"><h2>Script</h2><table><tr><th></th><th>time</th><th>result</th>"
         "<th>line</th></tr>";
    std::map<int, size_t> stepOfLine;
    for (size_t i = 0; i < s.steps.size(); ++i)
        stepOfLine[s.steps[i].at.line] = i;
    for (size_t l = 0; l < s.lines.size(); ++l) {
        int line = int(l) + 1;
        auto it = stepOfLine.find(line);
        const StepResult* r = it == stepOfLine.end() ? nullptr : &o.steps[it->second];
        std::string cls = !r                                        ? ""
                          : r->status == StepResult::Status::Failed ? "failed"
                          : r->status == StepResult::Status::Passed ? "passed"
                          : r->status == StepResult::Status::NotRun ? "notrun"
                                                                    : "";
        h << "<tr id=\"line-" << line << "\" class=\"" << cls << "\"><td class=\"num\">" << line
          << "</td><td class=\"time\">"
          << (r && r->status != StepResult::Status::NotRun ? Clock(r->start) : "")
          << "</td><td class=\"status\">" << (r ? StatusName(r->status) : "")
          << "</td><td class=\"text\">" << Escape(s.lines[l]) << "</td></tr>";
        if (r && r->status == StepResult::Status::Failed)
            h << "<tr class=\"failed\"><td></td><td></td><td></td><td class=\"message\">"
              << Escape(r->message) << "</td></tr>";
    }
    h << "</table></section>\n";

    // The speaker.
    h << "<section id=\"speaker\"><h2>Speaker</h2>";
    std::string wav = ReadFile(o.dir / "speaker.wav");
    if (d.Get<Audio>().Playbacks().empty())
        h << "<p>Nothing was played.</p>";
    else
        h << "<audio controls preload=\"metadata\" src=\"data:audio/wav;base64," << Base64(wav)
          << "\"></audio><p>Everything the speaker played, along the timeline from power-on.</p>";
    h << "</section>\n";

    // The settings at the start and at the end.
    h << "<section id=\"settings\"><h2>Settings</h2><p>As the settings sheet shows them, with "
         "the stored index; those that changed during the run are marked.</p><table><tr>"
         "<th>setting</th><th>at the start</th><th>at the end</th></tr>";
    const auto& settings = Settings();
    for (size_t i = 0; i < settings.size(); ++i) {
        // What the programs read: the stored value, or the default where none is.
        auto effective = [&](int64_t v) {
            return v != kNotStored ? DWORD(v) : settings[i].defaultIndex;
        };
        auto show = [&](int64_t v) {
            return ShowSetting(settings[i], effective(v)) + (v != kNotStored ? "" : ", not stored");
        };
        int64_t start = i < o.settingsStart.size() ? o.settingsStart[i] : kNotStored;
        int64_t end = i < o.settingsEnd.size() ? o.settingsEnd[i] : kNotStored;
        h << "<tr" << (effective(start) != effective(end) ? " class=\"changed\"" : "") << "><td>"
          << Escape(Narrow(settings[i].name)) << "</td><td>" << Escape(show(start)) << "</td><td>"
          << Escape(show(end)) << "</td></tr>";
    }
    h << "</table></section>\n";

    h << "<div id=\"viewer\"><img alt=\"\"><p></p></div><script>" << kScript
      << "</script></body></html>\n";
    return h.str();
}

std::string ResultJson(const Script& s, const Outcome& o) {
    nlohmann::json steps = nlohmann::json::array();
    for (size_t i = 0; i < s.steps.size(); ++i) {
        const StepResult& r = o.steps[i];
        steps.push_back({{"line", s.steps[i].at.line},
                         {"column", s.steps[i].at.column},
                         {"status", StatusName(r.status)},
                         {"start", r.start},
                         {"end", r.end},
                         {"message", r.message},
                         {"shot", r.shot}});
    }
    nlohmann::json shots = nlohmann::json::array();
    for (const ShotTaken& shot : o.shots)
        shots.push_back(
            {{"file", shot.file}, {"name", shot.name}, {"t", shot.t}, {"line", shot.line}});
    nlohmann::json result = {{"script", s.file},
                             {"size", o.size.Name()},
                             {"dpi", o.size.dpi},
                             {"passed", o.Passed()},
                             {"stopped", o.stopped},
                             {"virtualMs", o.virtualMs},
                             {"wallSeconds", o.wallSeconds},
                             {"seed", o.seed},
                             {"steps", steps},
                             {"shots", shots}};
    return result.dump(1) + "\n";
}

std::string ProgramLabel(const std::string& exePath) {
    std::string name = exePath.substr(exePath.find_last_of('\\') + 1);
    if (name.size() > 4 && name.substr(name.size() - 4) == ".exe") name.resize(name.size() - 4);
    if (name == "cprog") return "Phone";
    if (name == "shell32") return "Today";
    return name;
}

} // namespace handset::script
