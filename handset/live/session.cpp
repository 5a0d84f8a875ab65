// The live phone's thread: it alone owns the Device. Between short runs of
// the clock it takes the queued inputs, applies each through the scenario
// driver at the virtual time it has reached, and publishes what changed.
// Splitting the clock's run at these points changes nothing the programs
// see, so a saved script that applies the same steps at the same times
// gives the same timeline.
#include "live/session.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

#include "audio/audio.h"
#include "common/text.h"
#include "gdi/gdi.h"
#include "live/words.h"
#include "pim/store.h"
#include "script/driver.h"

namespace handset::live {

namespace {

constexpr size_t kQueueBound = 64;
constexpr size_t kEventsKept = 2000;
constexpr size_t kLinesKept = 300;
constexpr size_t kSoundsKept = 16;

using nlohmann::json;

std::string Le16(unsigned v) {
    return {char(v & 0xFF), char(v >> 8 & 0xFF)};
}
std::string Le32(uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

// A WAV file of one playback, for the browser to play.
std::string Wav(const Playback& p) {
    const WAVEFORMATEX& f = p.format;
    std::string data(p.data.begin(), p.data.end());
    return "RIFF" + Le32(uint32_t(36 + data.size())) + "WAVEfmt " + Le32(16) + Le16(f.wFormatTag) +
           Le16(f.nChannels) + Le32(f.nSamplesPerSec) + Le32(f.nAvgBytesPerSec) +
           Le16(f.nBlockAlign) + Le16(f.wBitsPerSample) + "data" + Le32(uint32_t(data.size())) +
           data;
}

bool UnderWay(DWORD state) {
    return state != LINECALLSTATE_IDLE && state != LINECALLSTATE_DISCONNECTED;
}

std::u16string WithoutSpaces(std::u16string_view number) {
    std::u16string out;
    for (char16_t c : number)
        if (c != u' ') out += c;
    return out;
}

} // namespace

struct Session::Pending {
    uint64_t id;
    Input input;
    std::promise<std::optional<std::string>> done;
};

Session::Session(Options options) : options_(std::move(options)) {}

Session::~Session() {
    Stop();
}

std::optional<std::string> Session::Start() {
    std::unique_lock<std::mutex> lock(mutex_);
    thread_ = std::thread([this] { Loop(); });
    stopped_.wait(lock, [&] { return booted_ || stopped_flag_; });
    return bootError_;
}

Session::Accepted Session::Submit(const Input& input) {
    Accepted a;
    std::lock_guard<std::mutex> lock(mutex_);
    auto refuse = [&](int status, std::string why) {
        a.status = status;
        a.error = std::move(why);
        return a;
    };
    if (stopping_ || stopped_flag_) return refuse(503, "the phone is off");
    if (queue_.size() >= kQueueBound)
        return refuse(503, "the phone is busy: " + std::to_string(kQueueBound) +
                               " inputs wait already; this one was dropped");
    if (input.kind == Input::Kind::Stylus) {
        using Move = script::step::Stylus::Move;
        if (input.move == Move::Down && stylusDown_)
            return refuse(409, "the stylus is down already; lift it first");
        if (input.move != Move::Down && !stylusDown_)
            return refuse(409, "the stylus is not down; put it down first");
        stylusDown_ = input.move != Move::Up;
    }
    if (input.kind == Input::Kind::Key) {
        auto held = std::find(keysDown_.begin(), keysDown_.end(), input.vk);
        if (input.down && held != keysDown_.end())
            return refuse(409, "the key " + input.keyName + " is down already; release it first");
        if (!input.down && held == keysDown_.end())
            return refuse(409, "the key " + input.keyName + " is not down");
        if (input.down)
            keysDown_.push_back(input.vk);
        else
            keysDown_.erase(held);
    }
    auto p = std::make_shared<Pending>();
    p->id = nextInput_++;
    p->input = input;
    a.ok = true;
    a.id = p->id;
    a.done = p->done.get_future().share();
    queue_.push_back(std::move(p));
    wake_.notify_all();
    return a;
}

bool Session::Releases(const Input& input) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (input.kind == Input::Kind::Stylus)
        return input.move == script::step::Stylus::Move::Up && stylusDown_;
    if (input.kind == Input::Kind::Key)
        return !input.down &&
               std::find(keysDown_.begin(), keysDown_.end(), input.vk) != keysDown_.end();
    return false;
}

void Session::SetClock(Clock c) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_ = c;
    clockChanged_ = true;
    wake_.notify_all();
}

std::shared_future<bool> Session::JumpToNextTimer() {
    std::lock_guard<std::mutex> lock(mutex_);
    jumps_.emplace_back();
    auto f = jumps_.back().get_future().share();
    if (stopping_ || stopped_flag_) {
        jumps_.back().set_value(false);
        jumps_.pop_back();
    }
    wake_.notify_all();
    return f;
}

std::shared_future<Session::Saved> Session::Save() {
    std::lock_guard<std::mutex> lock(mutex_);
    saves_.emplace_back();
    auto f = saves_.back().get_future().share();
    if (stopping_ || stopped_flag_) {
        saves_.back().set_value({"", "", "the phone is off"});
        saves_.pop_back();
    }
    wake_.notify_all();
    return f;
}

void Session::RequestStop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
    stopped_.notify_all();
}

void Session::Stop() {
    RequestStop();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool Session::Stopped() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_flag_;
}

void Session::WaitUntilStopped() {
    std::unique_lock<std::mutex> lock(mutex_);
    stopped_.wait(lock, [&] { return stopped_flag_ || stopping_; });
}

std::shared_ptr<const Frame> Session::LatestFrame() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frame_;
}

std::vector<Event> Session::EventsAfter(uint64_t after, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    events_.wait_for(lock, wait, [&] { return eventSeq_ > after || stopped_flag_; });
    std::vector<Event> out;
    for (const Event& e : events_log_)
        if (e.seq > after) out.push_back(e);
    return out;
}

std::string Session::StateJson() {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

std::vector<Event> Session::History() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Event> lines;
    for (const Event& e : events_log_)
        if (e.name == "line") lines.push_back(e);
    if (lines.size() > kLinesKept) lines.erase(lines.begin(), lines.end() - kLinesKept);
    return lines;
}

std::optional<std::string> Session::Sound(uint64_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [sid, wav] : sounds_)
        if (sid == id) return wav;
    return std::nullopt;
}

size_t Session::ContactCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return contacts_;
}

void Session::Publish(const std::string& name, std::string json) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_log_.push_back({++eventSeq_, name, std::move(json)});
    if (events_log_.size() > kEventsKept) events_log_.pop_front();
    events_.notify_all();
}

void Session::Loop() {
    script::Script opening;
    std::vector<script::Error> errors;
    if (!script::Parse(options_.setup, "opening", ".", &opening, &errors)) {
        std::lock_guard<std::mutex> lock(mutex_);
        bootError_ = errors[0].Text();
        stopped_flag_ = true;
        stopped_.notify_all();
        return;
    }
    script::ScreenSize size = opening.sizes[0];
    options_.size = size;
    script::Driver driver(size);
    Device& d = driver.device();
    for (const script::Step& step : opening.steps)
        if (auto failure = driver.Act(step)) {
            std::lock_guard<std::mutex> lock(mutex_);
            bootError_ = script::Describe(step.at) + ": " + *failure;
            stopped_flag_ = true;
            stopped_.notify_all();
            return;
        }

    // The contacts the panel calls from: each name with its first number.
    json contacts = json::array();
    std::vector<std::u16string> contactNumbers;
    const PimStore& store = d.Get<PimStore>();
    for (size_t i = 0; i < store.Count(); ++i) {
        const ContactRecord& c = *store.At(i);
        std::u16string number;
        for (const auto* n : {&c.mobileTelephoneNumber, &c.homeTelephoneNumber,
                              &c.businessTelephoneNumber, &c.carTelephoneNumber})
            if (number.empty()) number = *n;
        if (number.empty()) continue;
        std::u16string name = c.firstName;
        if (!c.lastName.empty()) name += (name.empty() ? u"" : u" ") + c.lastName;
        contacts.push_back({{"name", Narrow(name)}, {"number", Narrow(number)}});
        contactNumbers.push_back(WithoutSpaces(number));
    }

    Narrator narrator;
    size_t entriesSeen = 0, playbacksSeen = 0, saves = 0;
    uint64_t applied = 0, frames = 0, soundIds = 0;
    std::vector<Recorded> recorded;
    std::vector<uint16_t> pixels;
    bool lit = true;
    std::string lastState;
    auto lastStateAt = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    Clock mode = Clock::RealTime;
    Screen& screen = d.Get<Screen>();

    auto publishFrame = [&] {
        gdi::Surface s = screen.Pixels();
        std::vector<uint16_t> now(size_t(s.width) * size_t(s.height));
        for (int y = 0; y < s.height; ++y)
            std::memcpy(&now[size_t(y) * size_t(s.width)], s.Row(y), size_t(s.width) * 2);
        if (now == pixels && screen.Lit() == lit && frames) return;
        pixels = std::move(now);
        lit = screen.Lit();
        auto f = std::make_shared<Frame>();
        gdi::Rgb888Image pic = screen.Picture(Screen::Shot::Seen);
        f->seq = ++frames;
        f->input = applied;
        f->t = d.Now();
        f->width = pic.width;
        f->height = pic.height;
        f->lit = lit;
        f->rgb = std::move(pic.rgb);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            frame_ = f;
        }
        Publish("frame", json{{"seq", f->seq}, {"input", f->input}}.dump());
    };
    auto publishLines = [&] {
        const auto& entries = d.timeline().Entries();
        for (; entriesSeen < entries.size(); ++entriesSeen)
            if (auto text = narrator.Say(entries[entriesSeen], d))
                Publish("line", json{{"t", entries[entriesSeen].t},
                                     {"clock", ClockText(entries[entriesSeen].t)},
                                     {"text", *text}}
                                    .dump());
        const auto& playbacks = d.Get<Audio>().Playbacks();
        for (; playbacksSeen < playbacks.size(); ++playbacksSeen) {
            const Playback& p = playbacks[playbacksSeen];
            uint64_t id = ++soundIds;
            double seconds = p.format.nAvgBytesPerSec
                                 ? double(p.data.size()) / double(p.format.nAvgBytesPerSec)
                                 : 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                sounds_.emplace_back(id, Wav(p));
                if (sounds_.size() > kSoundsKept) sounds_.pop_front();
            }
            Publish("sound", json{{"id", id}, {"seconds", seconds}}.dump());
        }
    };
    auto publishState = [&](bool force) {
        json calls = json::array();
        for (const NetworkCall& c : driver.Net().Calls())
            if (UnderWay(c.state))
                calls.push_back(
                    {{"id", c.id},
                     {"number", Narrow(c.number)},
                     {"direction", c.direction == Direction::Incoming ? "incoming" : "outgoing"},
                     {"data", c.options.mediaMode != LINEMEDIAMODE_INTERACTIVEVOICE},
                     {"state", CallStateName(c.state)}});
        HWND lockWindow = driver.LockWindow();
        auto info = lockWindow ? driver.Windows().Info(lockWindow) : std::nullopt;
        json state = {{"clock", mode == Clock::Paused ? "paused"
                                : mode == Clock::Fast ? "fast"
                                                      : "realtime"},
                      {"lit", screen.Lit()},
                      {"lock", !info           ? "none"
                               : info->visible ? "shown"
                                               : "hidden"},
                      {"calls", calls},
                      {"width", size.width},
                      {"height", size.height},
                      {"contacts", contacts},
                      {"inputs", recorded.size()}};
        std::string without = state.dump();
        auto wall = std::chrono::steady_clock::now();
        if (!force && without == lastState && wall - lastStateAt < std::chrono::milliseconds(250))
            return;
        lastState = without;
        lastStateAt = wall;
        state["t"] = d.Now();
        state["time"] = ClockText(d.Now());
        std::string text = state.dump();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            state_ = text;
        }
        Publish("state", text);
    };
    auto publishAll = [&](bool force) {
        publishFrame();
        publishLines();
        publishState(force);
    };

    // One input, at the time the clock has reached.
    auto apply = [&](Pending& p) -> std::optional<std::string> {
        const Input& in = p.input;
        script::Action action = script::step::Install{};
        switch (in.kind) {
        case Input::Kind::Stylus:
            action = script::step::Stylus{in.move, in.point};
            break;
        case Input::Kind::Key:
            action = script::step::Key{in.down, in.vk, in.keyName};
            break;
        case Input::Kind::Call:
            action = script::step::IncomingCall{in.number, in.withheld, in.data};
            break;
        case Input::Kind::Dial:
            action = script::step::Dial{in.number, in.data};
            break;
        case Input::Kind::Network: {
            std::optional<std::u16string> number;
            for (const NetworkCall& c : driver.Net().Calls())
                if (c.id == in.call && UnderWay(c.state)) number = c.number;
            if (!number) return "no call " + std::to_string(in.call) + " is under way";
            action = script::step::Gsm{in.verb, *number};
            break;
        }
        case Input::Kind::Start:
            action = script::step::Start{script::Program::TessarilCfg, u""};
            break;
        }
        Ms t = d.Now();
        auto failure = driver.Act(script::Step{{"live", 0, 0}, action, 0});
        if (!failure) recorded.push_back({t, std::move(action)});
        return failure;
    };

    auto save = [&]() -> Saved {
        std::string text = ScenarioText(options_.setup, recorded, d.Now());
        std::string name = "session-" + std::to_string(++saves);
        std::error_code ec;
        std::filesystem::create_directories(options_.out, ec);
        std::ofstream script(options_.out / (name + ".scenario"), std::ios::binary);
        script << text;
        std::ofstream timeline(options_.out / (name + ".timeline.jsonl"), std::ios::binary);
        timeline << d.timeline().ToJsonLines();
        if (!script.flush() || !timeline.flush())
            return {text, name + ".scenario",
                    "cannot write into the output folder " + options_.out.string()};
        std::printf("handset live: saved %s\n",
                    (options_.out / (name + ".scenario")).string().c_str());
        std::fflush(stdout);
        return {text, name + ".scenario", ""};
    };

    {
        std::lock_guard<std::mutex> lock(mutex_);
        contacts_ = contactNumbers.size();
        booted_ = true;
        stopped_.notify_all();
    }
    d.SetRealTime(true, 1);
    publishAll(true);

    for (;;) {
        std::deque<std::shared_ptr<Pending>> batch;
        std::vector<std::promise<bool>> jumps;
        std::vector<std::promise<Saved>> saving;
        bool stop, changed;
        Clock want;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            batch.swap(queue_);
            jumps.swap(jumps_);
            saving.swap(saves_);
            stop = stopping_;
            want = clock_;
            changed = clockChanged_;
            clockChanged_ = false;
        }
        for (auto& p : batch) {
            if (p->input.kind == Input::Kind::Call && p->input.contact)
                p->input.number = contactNumbers.at(p->input.contact - 1);
            auto failure = apply(*p);
            applied = p->id;
            publishAll(false);
            p->done.set_value(failure);
        }
        double speed = mode == Clock::Fast ? 10 : 1;
        if (changed) {
            mode = want;
            speed = mode == Clock::Fast ? 10 : 1;
            d.SetRealTime(true, speed);
            publishState(true);
        }
        for (auto& j : jumps) {
            uint64_t due = d.NextDueTime();
            if (due == kNever) {
                j.set_value(false);
                continue;
            }
            d.SetRealTime(false);
            d.RunFor(due - d.Now());
            d.SetRealTime(true, speed);
            publishAll(true);
            j.set_value(true);
        }
        for (auto& s : saving)
            s.set_value(save());
        if (stop) break;
        if (mode == Clock::Paused) {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(100), [&] {
                return !queue_.empty() || stopping_ || clockChanged_ || !jumps_.empty() ||
                       !saves_.empty();
            });
            lock.unlock();
            publishAll(false);
            continue;
        }
        d.RunFor(Ms(double(options_.slice) * speed));
        publishAll(false);
    }

    // Stopping: the programs end, newest first, and the timeline is written.
    std::vector<DWORD> running = d.ProcessIds();
    for (auto it = running.rbegin(); it != running.rend(); ++it)
        if (Process* p = d.FindProcess(*it); p && !p->exited) d.TerminateProcessNow(p, 0);
    d.RunUntilIdle();
    std::error_code ec;
    std::filesystem::create_directories(options_.out, ec);
    std::ofstream(options_.out / "timeline.jsonl", std::ios::binary) << d.timeline().ToJsonLines();
    std::ofstream(options_.out / "session.scenario", std::ios::binary)
        << ScenarioText(options_.setup, recorded, d.Now());
    publishLines();
    Publish("stopped", json{{"time", ClockText(d.Now())}}.dump());
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& p : queue_)
        p->done.set_value("the phone is off");
    queue_.clear();
    for (auto& j : jumps_)
        j.set_value(false);
    jumps_.clear();
    for (auto& s : saves_)
        s.set_value({"", "", "the phone is off"});
    saves_.clear();
    stopped_flag_ = true;
    stopped_.notify_all();
    events_.notify_all();
}

} // namespace handset::live
