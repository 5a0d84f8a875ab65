// The live phone's web server, on cpp-httplib. Every request passes the
// Host and Origin check first; every input is read from JSON and checked
// (points inside the screen, numbers as digits, known keys, the rate)
// before it is queued, and refused with a message that says what would do.
// No request names a file: the server writes only into the session's
// output folder, under names of its own.
#include "live/server.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <regex>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "common/text.h"
#include "live_page.h"

namespace handset::live {

std::string_view Page() {
    return {reinterpret_cast<const char*>(kLivePage), kLivePageSize};
}

namespace {

using nlohmann::json;
constexpr int kEventStreams = 8; // pages open at once

const std::vector<std::pair<std::string, UINT>>& Keys() {
    static const std::vector<std::pair<std::string, UINT>> keys = {
        {"up", VK_UP},         {"down", VK_DOWN},     {"left", VK_LEFT},     {"right", VK_RIGHT},
        {"centre", VK_RETURN}, {"soft1", VK_F1},      {"soft2", VK_F2},      {"talk", VK_TTALK},
        {"end", VK_TEND},      {"app1", VK_APP1},     {"app2", VK_APP1 + 1}, {"app3", VK_APP1 + 2},
        {"app4", VK_APP1 + 3}, {"app5", VK_APP1 + 4}, {"app6", VK_APP1 + 5}};
    return keys;
}

// A refusal: its status and what would do instead.
struct Refused {
    int status;
    std::string message;
};

// The bucket of the rate: `perSecond` tokens, refilled continuously.
class Rate {
  public:
    explicit Rate(int perSecond) : perSecond_(perSecond), tokens_(perSecond) {}
    bool Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        auto now = std::chrono::steady_clock::now();
        double seconds = std::chrono::duration<double>(now - last_).count();
        last_ = now;
        tokens_ = std::min(double(perSecond_), tokens_ + seconds * perSecond_);
        if (tokens_ < 1) return false;
        tokens_ -= 1;
        return true;
    }

  private:
    std::mutex mutex_;
    int perSecond_;
    double tokens_;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

bool Loopback(const std::string& address) {
    return address == "127.0.0.1" || address == "::1" || address == "localhost";
}

// An integer field, or a refusal naming it.
long IntegerField(const json& body, const char* name, const std::string& what) {
    auto it = body.find(name);
    if (it == body.end() || !it->is_number_integer())
        throw Refused{400, what + " needs \"" + name + "\", a whole number"};
    return it->get<long>();
}

std::string TextField(const json& body, const char* name, const std::string& what) {
    auto it = body.find(name);
    if (it == body.end() || !it->is_string())
        throw Refused{400, what + " needs \"" + name + "\", a text"};
    return it->get<std::string>();
}

bool Flag(const json& body, const char* name) {
    auto it = body.find(name);
    if (it == body.end()) return false;
    if (!it->is_boolean()) throw Refused{400, "\"" + std::string(name) + "\" is true or false"};
    return it->get<bool>();
}

// Digits, at most 32 of them with a leading + counted.
std::u16string Number(const json& body, const std::string& what) {
    std::string n = TextField(body, "number", what);
    bool ok = !n.empty() && n.size() <= 32;
    for (size_t i = 0; ok && i < n.size(); ++i)
        ok = (n[i] >= '0' && n[i] <= '9') || (i == 0 && n[i] == '+' && n.size() > 1);
    if (!ok)
        throw Refused{400, "\"" + n.substr(0, 40) +
                               "\" is not a phone number: give its digits (a + may lead), at most "
                               "32, such as 07700900123"};
    return Widen(n);
}

std::string OneOf(const std::string& value, const std::vector<std::string>& allowed,
                  const std::string& what) {
    if (std::find(allowed.begin(), allowed.end(), value) != allowed.end()) return value;
    std::string list;
    for (const auto& a : allowed)
        list += (list.empty() ? "" : ", ") + a;
    throw Refused{400,
                  "unknown " + what + " \"" + value.substr(0, 40) + "\"; give one of: " + list};
}

} // namespace

struct Server::Impl {
    Session& session;
    Options options;
    httplib::Server http;
    int port = 0;
    Rate rate;
    std::atomic<int> streams{0};

    Impl(Session& s, Options o) : session(s), options(std::move(o)), rate(options.perSecond) {}

    // The hosts this server answers to: its own address, and localhost
    // when that is loopback.
    bool HostAllowed(const std::string& host) const {
        std::string p = ":" + std::to_string(port);
        if (host.size() <= p.size() || host.compare(host.size() - p.size(), p.size(), p) != 0)
            return false;
        std::string name = host.substr(0, host.size() - p.size());
        if (name == options.listen || (name == "[" + options.listen + "]")) return true;
        if (Loopback(options.listen) && (name == "localhost" || name == "127.0.0.1")) return true;
        // Listening everywhere: any address written as an address, never a name,
        // so that a name made to point here cannot reach it.
        if (options.listen == "0.0.0.0" || options.listen == "::")
            return name == "localhost" ||
                   std::regex_match(name, std::regex(R"(\d{1,3}(\.\d{1,3}){3}|\[[0-9a-fA-F:]+\])"));
        return false;
    }

    static void Reply(httplib::Response& res, int status, const json& body) {
        res.status = status;
        res.set_content(body.dump(), "application/json");
    }
    static void Refuse(httplib::Response& res, const Refused& r) {
        Reply(res, r.status, json{{"error", r.message}});
    }

    Input ReadInput(const json& body) {
        if (!body.is_object()) throw Refused{400, "the input is a JSON object with a \"kind\""};
        std::string kind = OneOf(TextField(body, "kind", "an input"),
                                 {"stylus", "key", "call", "dial", "answer", "hold", "resume",
                                  "busy", "hangup", "start"},
                                 "input");
        Input in{};
        if (kind == "stylus") {
            in.kind = Input::Kind::Stylus;
            std::string a = OneOf(TextField(body, "action", "a stylus input"),
                                  {"down", "move", "up"}, "stylus action");
            in.move = a == "down"   ? script::step::Stylus::Move::Down
                      : a == "move" ? script::step::Stylus::Move::Move
                                    : script::step::Stylus::Move::Up;
            long x = IntegerField(body, "x", "a stylus input");
            long y = IntegerField(body, "y", "a stylus input");
            if (x < 0 || y < 0 || x >= session.Width() || y >= session.Height())
                throw Refused{400, "the point " + std::to_string(x) + "," + std::to_string(y) +
                                       " is outside the screen of " +
                                       std::to_string(session.Width()) + "x" +
                                       std::to_string(session.Height())};
            in.point = {LONG(x), LONG(y)};
        } else if (kind == "key") {
            in.kind = Input::Kind::Key;
            in.down = OneOf(TextField(body, "action", "a key input"), {"down", "up"},
                            "key action") == "down";
            std::string name = TextField(body, "key", "a key input");
            std::vector<std::string> names;
            for (const auto& [n, vk] : Keys())
                names.push_back(n);
            in.keyName = OneOf(name, names, "key");
            for (const auto& [n, vk] : Keys())
                if (n == in.keyName) in.vk = vk;
        } else if (kind == "call") {
            in.kind = Input::Kind::Call;
            in.data = Flag(body, "data");
            if (Flag(body, "withheld")) {
                in.withheld = true;
            } else if (body.contains("contact")) {
                long c = IntegerField(body, "contact", "a call from a contact");
                size_t count = session.ContactCount();
                if (c < 1 || size_t(c) > count)
                    throw Refused{400, "there is no contact " + std::to_string(c) +
                                           "; the phone has " + std::to_string(count)};
                in.contact = size_t(c);
            } else {
                in.number = Number(body, "a call");
            }
        } else if (kind == "dial") {
            in.kind = Input::Kind::Dial;
            in.number = Number(body, "a dialled call");
            in.data = Flag(body, "data");
        } else if (kind == "start") {
            in.kind = Input::Kind::Start;
            OneOf(TextField(body, "program", "start"), {"TessarilCfg"}, "program to start");
        } else {
            in.kind = Input::Kind::Network;
            using Verb = script::step::Gsm::Verb;
            in.verb = kind == "hold"     ? Verb::Hold
                      : kind == "busy"   ? Verb::Busy
                      : kind == "hangup" ? Verb::Cancel
                                         : Verb::Accept;
            long id = IntegerField(body, "call", "the far end's " + kind);
            if (id < 1 || id > 1000000) throw Refused{400, "\"call\" is a call's number from 1"};
            in.call = uint32_t(id);
        }
        return in;
    }

    void Routes() {
        http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
            std::string host = req.get_header_value("Host");
            if (!HostAllowed(host)) {
                Reply(res, 403, json{{"error", "this server answers only to its own address"}});
                return httplib::Server::HandlerResponse::Handled;
            }
            if (req.has_header("Origin") && req.get_header_value("Origin") != "http://" + host) {
                Reply(res, 403, json{{"error", "requests from other pages are refused"}});
                return httplib::Server::HandlerResponse::Handled;
            }
            res.set_header("Cache-Control", "no-store");
            res.set_header("X-Frame-Options", "DENY");
            res.set_header("X-Content-Type-Options", "nosniff");
            return httplib::Server::HandlerResponse::Unhandled;
        });

        http.Get("/", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Content-Security-Policy",
                           "default-src 'self'; script-src 'unsafe-inline'; style-src "
                           "'unsafe-inline'; img-src 'self' data: blob:; media-src 'self' blob:");
            res.set_content(std::string(Page()), "text/html; charset=utf-8");
        });
        http.Get("/favicon.ico",
                 [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
        http.Get("/state", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(session.StateJson(), "application/json");
        });
        http.Get("/frame", [this](const httplib::Request&, httplib::Response& res) {
            auto f = session.LatestFrame();
            if (!f) return Reply(res, 503, json{{"error", "the phone has not drawn yet"}});
            res.set_header("X-Frame-Seq", std::to_string(f->seq));
            res.set_header("X-Frame-Input", std::to_string(f->input));
            res.set_header("X-Frame-Width", std::to_string(f->width));
            res.set_header("X-Frame-Height", std::to_string(f->height));
            res.set_header("X-Frame-Lit", f->lit ? "1" : "0");
            res.set_content(std::string(f->rgb.begin(), f->rgb.end()), "application/octet-stream");
        });
        http.Get(R"(/sound/(\d{1,9}))",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     auto wav = session.Sound(std::stoull(req.matches[1].str()));
                     if (!wav)
                         return Reply(res, 404, json{{"error", "that sound is no longer kept"}});
                     res.set_content(*wav, "audio/wav");
                 });
        http.Get("/events", [this](const httplib::Request&, httplib::Response& res) {
            if (streams.fetch_add(1) >= kEventStreams) {
                streams.fetch_sub(1);
                return Reply(res, 503, json{{"error", "too many pages are open on the phone"}});
            }
            auto last = std::make_shared<uint64_t>(0);
            auto first = std::make_shared<bool>(true);
            res.set_chunked_content_provider(
                "text/event-stream",
                [this, last, first](size_t, httplib::DataSink& sink) {
                    std::string out;
                    auto add = [&](const Event& e) {
                        out += "event: " + e.name + "\ndata: " + e.json + "\n\n";
                    };
                    if (*first) {
                        *first = false;
                        auto history = session.History();
                        std::vector<Event> all =
                            session.EventsAfter(0, std::chrono::milliseconds(0));
                        if (!all.empty()) *last = all.back().seq;
                        for (const Event& e : history)
                            add(e);
                        add({0, "state", session.StateJson()});
                        add({0, "frame", "{}"});
                    } else {
                        auto events = session.EventsAfter(*last, std::chrono::seconds(10));
                        for (const Event& e : events) {
                            *last = e.seq;
                            add(e);
                        }
                        if (out.empty()) out = ": still here\n\n";
                    }
                    if (!sink.write(out.data(), out.size())) return false;
                    if (session.Stopped() &&
                        session.EventsAfter(*last, std::chrono::milliseconds(0)).empty()) {
                        sink.done();
                    }
                    return true;
                },
                [this](bool) { streams.fetch_sub(1); });
        });

        http.Post("/input", [this](const httplib::Request& req, httplib::Response& res) {
            try {
                json body = json::parse(req.body, nullptr, false);
                if (body.is_discarded()) throw Refused{400, "the body is not JSON"};
                Input in = ReadInput(body);
                if (!session.Releases(in) && !rate.Take())
                    throw Refused{429, "too many inputs: at most " +
                                           std::to_string(options.perSecond) +
                                           " a second; this one was dropped"};
                Session::Accepted a = session.Submit(in);
                if (!a.ok) throw Refused{a.status, a.error};
                // The stylus and keys are checked in full already: the page
                // need not wait for the phone to take them.
                if (in.kind == Input::Kind::Stylus || in.kind == Input::Kind::Key)
                    return Reply(res, 200, json{{"id", a.id}});
                if (a.done.wait_for(std::chrono::seconds(2)) != std::future_status::ready)
                    return Reply(res, 202, json{{"id", a.id}, {"queued", true}});
                if (auto failure = a.done.get()) throw Refused{409, *failure};
                Reply(res, 200, json{{"id", a.id}});
            } catch (const Refused& r) {
                Refuse(res, r);
            }
        });
        http.Post("/clock", [this](const httplib::Request& req, httplib::Response& res) {
            try {
                json body = json::parse(req.body, nullptr, false);
                if (!body.is_object())
                    throw Refused{400, "the body is a JSON object with \"clock\""};
                std::string c = OneOf(TextField(body, "clock", "the clock"),
                                      {"pause", "realtime", "fast", "next"}, "clock");
                if (!rate.Take()) throw Refused{429, "too many changes of the clock"};
                if (c == "next") {
                    auto jumped = session.JumpToNextTimer();
                    if (jumped.wait_for(std::chrono::seconds(5)) != std::future_status::ready ||
                        !jumped.get())
                        throw Refused{409, "no timer is due: nothing on the phone waits for time"};
                } else {
                    session.SetClock(c == "pause"  ? Session::Clock::Paused
                                     : c == "fast" ? Session::Clock::Fast
                                                   : Session::Clock::RealTime);
                }
                Reply(res, 200, json{{"clock", c}});
            } catch (const Refused& r) {
                Refuse(res, r);
            }
        });
        http.Post("/save", [this](const httplib::Request&, httplib::Response& res) {
            if (!rate.Take()) return Refuse(res, {429, "too many saves"});
            auto saved = session.Save();
            if (saved.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
                return Refuse(res, {503, "the phone did not answer"});
            Session::Saved s = saved.get();
            if (s.text.empty()) return Refuse(res, {503, s.error});
            Reply(res, s.error.empty() ? 200 : 500,
                  json{{"name", s.name}, {"text", s.text}, {"error", s.error}});
        });
        http.Post("/stop", [this](const httplib::Request&, httplib::Response& res) {
            session.RequestStop();
            Reply(res, 200, json{{"stopping", true}});
        });
    }
};

Server::Server(Session& session, Options options)
    : impl_(std::make_unique<Impl>(session, std::move(options))) {
    impl_->http.set_payload_max_length(4096);
    impl_->http.set_tcp_nodelay(true);
    impl_->http.set_keep_alive_max_count(10000);
    impl_->http.new_task_queue = [] { return new httplib::ThreadPool(16); };
    impl_->Routes();
}

Server::~Server() {
    Stop();
}

bool Server::Bind(std::string* error) {
    if (impl_->options.port)
        impl_->port = impl_->http.bind_to_port(impl_->options.listen, impl_->options.port)
                          ? impl_->options.port
                          : -1;
    else
        impl_->port = impl_->http.bind_to_any_port(impl_->options.listen);
    if (impl_->port <= 0) {
        *error = "cannot listen on " + impl_->options.listen + ":" +
                 std::to_string(impl_->options.port) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

int Server::Port() const {
    return impl_->port;
}

std::string Server::Address() const {
    std::string host = impl_->options.listen;
    if (host == "0.0.0.0") host = "127.0.0.1";
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    return "http://" + host + ":" + std::to_string(impl_->port) + "/";
}

void Server::Run() {
    impl_->http.listen_after_bind();
}

void Server::Stop() {
    impl_->http.stop();
}

} // namespace handset::live
