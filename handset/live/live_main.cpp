// `handset live`: reads the options and the phone's files, boots the
// session and serves it until it is stopped.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "live/live.h"
#include "live/server.h"
#include "live/session.h"
#include "live/words.h"

namespace handset::live {

namespace {

std::atomic<bool> g_interrupted{false};

void OnSignal(int) {
    g_interrupted = true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: handset live [--port N] [--listen ADDR] [--screen 240x320|480x640]\n"
                 "                    [--contacts FILE.vcf] [--settings FILE.reg] [-o DIR]\n");
    return 2;
}

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "handset live: cannot read \"%s\": %s\n", path.c_str(),
                     std::strerror(errno));
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    *text = s.str();
    return true;
}

} // namespace

int LiveMain(int argc, char** argv) {
    Server::Options server;
    script::ScreenSize size;
    std::optional<std::string> vcf, reg;
    std::string vcfName, regName;
    std::filesystem::path out = "out/live";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--port" && more) {
            char* end = nullptr;
            long port = std::strtol(argv[++i], &end, 10);
            if (*end || port < 1 || port > 65535) {
                std::fprintf(stderr, "handset live: \"%s\" is not a port; give 1 to 65535\n",
                             argv[i]);
                return 2;
            }
            server.port = int(port);
        } else if (a == "--listen" && more) {
            server.listen = argv[++i];
        } else if (a == "--screen" && more) {
            std::string s = argv[++i];
            if (s == "480x640")
                size = {480, 640, 192};
            else if (s != "240x320") {
                std::fprintf(stderr, "handset live: the screen is 240x320 or 480x640, not \"%s\"\n",
                             s.c_str());
                return 2;
            }
        } else if (a == "--contacts" && more) {
            vcfName = argv[++i];
            if (!ReadFile(vcfName, &vcf.emplace())) return 2;
        } else if (a == "--settings" && more) {
            regName = argv[++i];
            if (!ReadFile(regName, &reg.emplace())) return 2;
        } else if (a == "-o" && more) {
            out = argv[++i];
        } else {
            return Usage();
        }
    }
    std::string error;
    auto opening =
        OpeningLines(size, vcf ? &*vcf : nullptr, vcfName, reg ? &*reg : nullptr, regName, &error);
    if (!opening) {
        std::fprintf(stderr, "handset live: %s\n", error.c_str());
        return 2;
    }
    Session session({size, *opening, out});
    Server http(session, server);
    if (!http.Bind(&error)) {
        std::fprintf(stderr, "handset live: %s\n", error.c_str());
        return 2;
    }
    if (auto failed = session.Start()) {
        std::fprintf(stderr, "handset live: the phone did not start: %s\n", failed->c_str());
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::thread serving([&] { http.Run(); });
    std::printf("handset live: the phone is at %s (Ctrl-C or the page's Stop ends it)\n",
                http.Address().c_str());
    std::fflush(stdout);
    while (!g_interrupted && !session.Stopped()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (g_interrupted) session.RequestStop();
    }
    session.Stop();
    // The pages hear that the phone is off before the server goes.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    http.Stop();
    serving.join();
    std::printf("handset live: stopped; the timeline is in %s, the session's script in %s\n",
                (out / "timeline.jsonl").string().c_str(),
                (out / "session.scenario").string().c_str());
    return 0;
}

} // namespace handset::live
