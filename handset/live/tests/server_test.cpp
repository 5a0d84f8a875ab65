// The live phone's server against a session in this process: requests from
// another host or page are refused, every input is checked and refused with
// its reason, and a flood of inputs is bounded while the phone keeps its state.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "live/server.h"
#include "live/session.h"

using namespace handset::live;
using nlohmann::json;

namespace {

// A phone with Tessaril running, served on a free loopback port.
struct Live {
    Session session{{{}, "install\nstart Tessaril\n", TEST_OUT_DIR "/session"}};
    Server server{session, {}};
    std::thread serving;
    std::string host;

    Live() {
        std::string error;
        EXPECT_TRUE(server.Bind(&error)) << error;
        EXPECT_EQ(std::nullopt, session.Start());
        serving = std::thread([this] { server.Run(); });
        host = "127.0.0.1:" + std::to_string(server.Port());
    }
    ~Live() {
        session.Stop();
        server.Stop();
        serving.join();
    }
    httplib::Client Client() {
        httplib::Client c("127.0.0.1", server.Port());
        c.set_keep_alive(true);
        c.set_tcp_nodelay(true);
        return c;
    }
    httplib::Result Post(const std::string& body, httplib::Headers headers = {}) {
        return Client().Post("/input", headers, body, "application/json");
    }
    json State() { return json::parse(Client().Get("/state")->body); }
    // Polls the state until it holds.
    bool Until(const std::function<bool(const json&)>& holds) {
        for (int i = 0; i < 400; ++i) {
            if (holds(State())) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
};

} // namespace

TEST(LiveServer, AnotherHostOrPageIsRefused) {
    Live live;
    std::string own = live.host, port = std::to_string(live.server.Port());
    struct Case {
        int line;
        std::string host, origin;
        int status;
    } cases[] = {
        {__LINE__, own, "", 200},
        {__LINE__, "localhost:" + port, "", 200},
        {__LINE__, own, "http://" + own, 200},
        {__LINE__, "evil.example:" + port, "", 403},
        {__LINE__, "127.0.0.1:" + std::to_string(live.server.Port() + 1), "", 403},
        {__LINE__, "127.0.0.1", "", 403},
        {__LINE__, own, "http://evil.example", 403},
        {__LINE__, own, "null", 403},
        {__LINE__, own, "http://localhost:" + port + ".evil.example", 403},
    };
    for (const Case& c : cases) {
        httplib::Headers headers = {{"Host", c.host}};
        if (!c.origin.empty()) headers.emplace("Origin", c.origin);
        auto get = live.Client().Get("/state", headers);
        ASSERT_TRUE(get) << "line " << c.line;
        EXPECT_EQ(c.status, get->status) << "line " << c.line << ": GET " << get->body;
        auto post = live.Post(R"({"kind":"key","action":"down","key":"left"})", headers);
        EXPECT_EQ(c.status, post->status) << "line " << c.line << ": POST " << post->body;
        if (post->status == 200) live.Post(R"({"kind":"key","action":"up","key":"left"})");
    }
}

TEST(LiveServer, EachInputIsCheckedAndRefusedWithItsReason) {
    Live live;
    struct Case {
        int line;
        const char* body;
        int status;
        const char* says;
    } cases[] = {
        {__LINE__, R"({"kind":"stylus","action":"down","x":240,"y":10})", 400,
         "the point 240,10 is outside the screen of 240x320"},
        {__LINE__, R"({"kind":"stylus","action":"down","x":-1,"y":10})", 400, "outside the screen"},
        {__LINE__, R"({"kind":"stylus","action":"down","x":5,"y":320})", 400, "outside the screen"},
        {__LINE__, R"({"kind":"stylus","action":"down","x":"5","y":3})", 400,
         "needs \"x\", a whole number"},
        {__LINE__, R"({"kind":"stylus","action":"press","x":5,"y":3})", 400,
         "unknown stylus action \"press\""},
        {__LINE__, R"({"kind":"stylus","action":"up","x":5,"y":3})", 409, "the stylus is not down"},
        {__LINE__, R"({"kind":"key","action":"down","key":"home"})", 400, "unknown key \"home\""},
        {__LINE__, R"({"kind":"key","action":"up","key":"centre"})", 409, "is not down"},
        {__LINE__, R"({"kind":"call","number":"0770a900123"})", 400, "is not a phone number"},
        {__LINE__, R"({"kind":"call","number":"123456789012345678901234567890123"})", 400,
         "at most 32"},
        {__LINE__, R"({"kind":"call","number":""})", 400, "is not a phone number"},
        {__LINE__, R"({"kind":"dial","number":"+"})", 400, "is not a phone number"},
        {__LINE__, R"({"kind":"call","contact":1})", 400, "there is no contact 1"},
        {__LINE__, R"({"kind":"hangup","call":7})", 409, "no call 7 is under way"},
        {__LINE__, R"({"kind":"start","program":"../../bin/sh"})", 400, "unknown program"},
        {__LINE__, R"({"kind":"reboot"})", 400, "unknown input \"reboot\""},
        {__LINE__, R"([1,2])", 400, "a JSON object"},
        {__LINE__, "tap 1,2", 400, "not JSON"},
        {__LINE__, R"({"kind":"call","number":"+447700900123"})", 200, ""},
        {__LINE__, R"({"kind":"stylus","action":"down","x":239,"y":319})", 200, ""},
        {__LINE__, R"({"kind":"stylus","action":"down","x":10,"y":10})", 409, "down already"},
    };
    for (const Case& c : cases) {
        auto r = live.Post(c.body);
        ASSERT_TRUE(r) << "line " << c.line;
        EXPECT_EQ(c.status, r->status) << "line " << c.line << ": " << r->body;
        if (c.status != 200) {
            EXPECT_NE(std::string::npos, json::parse(r->body).value("error", "").find(c.says))
                << "line " << c.line << ": " << r->body;
        }
    }
}

TEST(LiveServer, AFloodIsBoundedAndThePhoneKeepsItsState) {
    Live live;
    ASSERT_EQ(200, live.Post(R"({"kind":"call","number":"07700900123"})")->status);
    ASSERT_EQ(200, live.Post(R"({"kind":"answer","call":1})")->status);
    ASSERT_TRUE(live.Until([](const json& s) { return s["lock"] == "shown"; })) << live.State();

    // Four clients tap the lock as fast as they can, 1000 times in all.
    std::atomic<int> accepted{0}, refused{0}, tooMany{0}, other{0};
    auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c)
        clients.emplace_back([&, c] {
            httplib::Client client = live.Client();
            for (int i = 0; i < 125; ++i)
                for (const char* move : {"down", "up"}) {
                    std::string body = R"({"kind":"stylus","action":")" + std::string(move) +
                                       R"(","x":)" + std::to_string(20 + c) + R"(,"y":100})";
                    auto r = client.Post("/input", body, "application/json");
                    int status = r ? r->status : 0;
                    if (status == 429) ++tooMany;
                    (status == 200                                     ? accepted
                     : status == 429 || status == 409 || status == 503 ? refused
                                                                       : other)++;
                }
        });
    for (auto& t : clients)
        t.join();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(0, other.load()) << "every answer is an acceptance or a refusal";
    EXPECT_GT(tooMany.load(), 0) << "a flood is refused beyond the rate";
    // At most 100 a second, after a first 100; releases of what is down come on top.
    EXPECT_LE(accepted.load(), 2 * (100 + int(100 * seconds)) + 4)
        << accepted << " accepted in " << seconds << " s";

    // The phone kept its state: the call, the lock, and it takes inputs again.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    json s = live.State();
    EXPECT_EQ("connected", s["calls"][0]["state"]) << s;
    EXPECT_EQ("shown", s["lock"]) << s;
    auto up = live.Post(R"({"kind":"stylus","action":"up","x":20,"y":100})");
    auto down = live.Post(R"({"kind":"stylus","action":"down","x":20,"y":100})");
    EXPECT_TRUE(up->status == 200 || (down && down->status == 200))
        << "the stylus is up or can be lifted: " << up->body;
}
