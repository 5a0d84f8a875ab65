// The live phone: one handset driven in real time on a thread of its own,
// the only thread that touches it. Inputs from the page are queued to it
// and applied there as steps of the scenario language, each recorded with
// its virtual time, so that what a person did is saved as a script that
// `handset run` replays to the same timeline. It publishes what the page
// shows: the screen's frames, the timeline in plain words, the sounds and
// the phone's state, behind one mutex.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "script/script.h"

namespace handset::live {

using script::Ms;

// What a person does in the page, checked by the server before it comes here.
struct Input {
    enum class Kind {
        Stylus,  // move: down, move or up at point
        Key,     // down or up of vk
        Call,    // an incoming call: number, contact or withheld; data
        Dial,    // a call placed from the phone: number; data
        Network, // the far end of call `call`: verb
        Start,   // TessarilCfg on the phone
    } kind;
    script::step::Stylus::Move move = script::step::Stylus::Move::Down;
    POINT point{};
    bool down = false;
    UINT vk = 0;
    std::string keyName;
    std::u16string number;
    bool withheld = false;
    bool data = false;
    script::step::Gsm::Verb verb = script::step::Gsm::Verb::Accept;
    uint32_t call = 0;  // the network's id of the call
    size_t contact = 0; // a call from the panel's contact at this place, from 1
};

// One frame of the screen as a person sees it (black while the backlight
// is off): RGB, rows top-down.
struct Frame {
    uint64_t seq = 0;
    uint64_t input = 0; // the last input applied before it was taken
    Ms t = 0;
    int width = 0, height = 0;
    bool lit = true;
    std::vector<uint8_t> rgb;
};

// Something for the page: a timeline line, a sound, the state, a new frame.
struct Event {
    uint64_t seq;
    std::string name; // "line", "sound", "state", "frame", "stopped"
    std::string json;
};

class Session {
  public:
    struct Options {
        script::ScreenSize size;
        // The lines run before anything else: contacts, settings, install,
        // start Tessaril. They open every saved scenario.
        std::string setup;
        std::filesystem::path out; // timeline and saved scenarios go here
        Ms slice = 5;              // wall ms the clock runs between looks at the queue
    };
    enum class Clock { Paused, RealTime, Fast };

    explicit Session(Options options);
    ~Session();

    // Boots the phone and starts its thread; what went wrong, or nothing.
    std::optional<std::string> Start();

    // ---- From any thread ---------------------------------------------------------------
    struct Accepted {
        bool ok = false;
        int status = 200;  // an HTTP status for a refusal
        std::string error; // a refusal's message
        uint64_t id = 0;
        std::shared_future<std::optional<std::string>> done; // what stood in its way, if any
    };
    // Queues the input; refused at once when the stylus or key is not in the
    // state it needs, or the queue is full. A release of what is down is
    // never refused for the rate.
    Accepted Submit(const Input& input);
    // Whether the input releases something held down (never rate-limited).
    bool Releases(const Input& input);

    void SetClock(Clock c);
    // Runs the clock to its next timer at once; false when nothing is due.
    std::shared_future<bool> JumpToNextTimer();
    // The script of the session so far, saved beside its timeline in the
    // output folder; the script's text, and the file's name.
    struct Saved {
        std::string text, name;
        std::string error;
    };
    std::shared_future<Saved> Save();
    // Ends the programs, writes the timeline and the script, stops the thread.
    void Stop();
    // The same, without waiting for it.
    void RequestStop();
    bool Stopped();
    // Waits until the session stopped (from the page, a signal or the phone).
    void WaitUntilStopped();

    std::shared_ptr<const Frame> LatestFrame();
    // Events after `after`, waiting up to `wait` for one; the newest seq seen.
    std::vector<Event> EventsAfter(uint64_t after, std::chrono::milliseconds wait);
    // The state as JSON, and the recent timeline lines, for a page that opens.
    std::string StateJson();
    std::vector<Event> History();
    // The WAV of sound `id`, while it is among the recent ones.
    std::optional<std::string> Sound(uint64_t id);
    int Width() const { return options_.size.width; }
    int Height() const { return options_.size.height; }
    size_t ContactCount();
    std::filesystem::path Out() const { return options_.out; }

  private:
    struct Pending;

    void Loop();
    void Publish(const std::string& name, std::string json);

    Options options_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;   // the phone's thread: inputs, clock, stop
    std::condition_variable events_; // waiters for events
    std::condition_variable stopped_;
    std::deque<std::shared_ptr<Pending>> queue_;
    uint64_t nextInput_ = 1;
    bool stylusDown_ = false;
    std::vector<UINT> keysDown_;
    Clock clock_ = Clock::RealTime;
    bool clockChanged_ = false;
    std::vector<std::promise<bool>> jumps_;
    std::vector<std::promise<Saved>> saves_;
    bool stopping_ = false, stopped_flag_ = false;
    std::optional<std::string> bootError_;
    bool booted_ = false;

    // Published, under mutex_.
    std::shared_ptr<const Frame> frame_;
    std::deque<Event> events_log_;
    uint64_t eventSeq_ = 0;
    std::string state_;
    std::deque<std::pair<uint64_t, std::string>> sounds_; // id, WAV
    size_t contacts_ = 0;
};

} // namespace handset::live
