// The handset command: scenario scripts run on the emulated phone.
//
//   handset run [-o DIR] [--seed N] SCRIPT...   run each; a report per script and size
//   handset check SCRIPT...                     read each and report its mistakes
//   handset live [OPTIONS]                      the phone in a web page (live/live.h)
//
// Every script is read and checked before anything runs. Each run at each
// screen size has a process of its own, so that one that stops the handset
// (or outlives its wall limit) leaves the others to run. Exit status: 0
// when every script passed, 1 when one failed, 2 when nothing could run.
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "live/live.h"
#include "script/run.h"
#include "script/script.h"

namespace fs = std::filesystem;
using namespace handset::script;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: handset run [-o DIR] [--seed N] SCRIPT...\n"
                         "       handset check SCRIPT...\n"
                         "       handset live [--port N] [--listen ADDR] [--screen WxH] "
                         "[--contacts FILE.vcf] [--settings FILE.reg] [-o DIR]\n");
    return 2;
}

// The files a run writes; only these are cleared from a folder used before.
bool OursToClear(const fs::path& file) {
    std::string name = file.filename().string();
    if (name == "timeline.jsonl" || name == "speaker.wav" || name == "report.html" ||
        name == "result.json")
        return true;
    bool numbered = name.size() > 7 && std::isdigit(static_cast<unsigned char>(name[0])) &&
                    std::isdigit(static_cast<unsigned char>(name[1])) && name[2] == '-';
    bool failure = name.rfind("fail-line", 0) == 0;
    return file.extension() == ".png" && (numbered || failure);
}

// Makes the folder (and those above it) and clears a previous run's files.
bool Prepare(const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir)) {
        std::fprintf(stderr, "handset: cannot create the output folder \"%s\": %s\n",
                     dir.string().c_str(),
                     ec ? ec.message().c_str() : "a file of that name is in the way");
        return false;
    }
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.is_regular_file() && OursToClear(entry.path())) fs::remove(entry.path(), ec);
    return true;
}

struct Job {
    const Script* script;
    ScreenSize size;
    fs::path dir;
};

struct Finished {
    bool passed = false;
    std::string problem; // the first failure or why the run ended, for the terminal
    Ms virtualMs = 0;
    double wallSeconds = 0;
};

// Runs one job in a child process and reads its result.json.
Finished RunJob(const Job& job) {
    auto start = std::chrono::steady_clock::now();
    // The line the child is at, for a run that ends without its result.
    auto* line = static_cast<int*>(
        mmap(nullptr, sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (line == MAP_FAILED)
        return {false, std::string("cannot start a run: ") + std::strerror(errno)};
    *line = 0;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) return {false, std::string("cannot start a run: ") + std::strerror(errno)};
    if (child == 0) {
        Outcome o =
            Run(*job.script, job.size, job.dir, [line](const Step& s) { *line = s.at.line; });
        std::fflush(nullptr);
        _exit(o.Passed() ? 0 : 1);
    }
    // A run stops itself at its wall limit; one that cannot (a program that
    // never hands over) is ended a little after it.
    auto grace = std::chrono::milliseconds(job.script->wallLimit) + std::chrono::seconds(10);
    int status = 0;
    bool killed = false;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - start > grace) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            killed = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Finished f;
    f.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string at = job.script->file + ":" + std::to_string(*line) + ": ";
    munmap(line, sizeof(int));
    if (killed) {
        f.problem = at + "stopped: the run passed its wall limit of " +
                    FormatMs(job.script->wallLimit) + " and did not stop by itself; ended";
        return f;
    }
    if (!WIFEXITED(status)) {
        f.problem = at + "the run ended on signal " + strsignal(WTERMSIG(status)) +
                    " (the handset's message is above); it left no report";
        return f;
    }
    std::ifstream in(job.dir / "result.json");
    nlohmann::json result = nlohmann::json::parse(in, nullptr, false);
    if (result.is_discarded()) {
        f.problem = "the run left no result.json in " + job.dir.string();
        return f;
    }
    f.passed = WEXITSTATUS(status) == 0 && result.value("passed", false);
    f.virtualMs = result.value("virtualMs", Ms(0));
    f.problem = result.value("stopped", std::string());
    for (const auto& step : result["steps"])
        if (f.problem.empty() && step.value("status", "") == "FAILED")
            f.problem = job.script->file + ":" + std::to_string(step.value("line", 0)) + ": " +
                        step.value("message", "");
    return f;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "live") return handset::live::LiveMain(argc - 1, argv + 1);
    if (command != "run" && command != "check") return Usage();
    std::optional<fs::path> outDir;
    std::optional<uint64_t> seed;
    std::vector<std::string> paths;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (command == "run" && a == "-o" && i + 1 < argc)
            outDir = argv[++i];
        else if (command == "run" && a == "--seed" && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (!a.empty() && a[0] == '-')
            return Usage();
        else
            paths.push_back(a);
    }
    if (paths.empty()) return Usage();

    // Every script is read before anything runs.
    std::vector<Script> scripts(paths.size());
    size_t errors = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        std::vector<Error> found;
        if (!Load(paths[i], &scripts[i], &found)) {
            for (const Error& e : found)
                std::fprintf(stderr, "%s\n", e.Text().c_str());
            errors += found.size();
        } else if (seed) {
            scripts[i].seed = *seed;
        }
    }
    if (errors) {
        std::fprintf(stderr, "handset: %zu mistake%s; nothing was run\n", errors,
                     errors == 1 ? "" : "s");
        return 2;
    }
    if (command == "check") {
        for (const Script& s : scripts)
            std::printf("ok      %s: %zu steps\n", s.file.c_str(), s.steps.size());
        return 0;
    }

    std::vector<std::vector<Job>> jobs(scripts.size());
    for (size_t i = 0; i < scripts.size(); ++i) {
        fs::path base = !outDir               ? fs::path("out") / scripts[i].name
                        : scripts.size() == 1 ? *outDir
                                              : *outDir / scripts[i].name;
        for (const ScreenSize& size : scripts[i].sizes) {
            jobs[i].push_back({&scripts[i], size, base / size.Name()});
            if (!Prepare(jobs[i].back().dir)) return 2;
        }
    }
    bool all = true;
    for (size_t i = 0; i < scripts.size(); ++i) {
        bool passed = true;
        Ms virtualMs = 0;
        double wall = 0;
        std::vector<std::string> problems, reports;
        for (const Job& job : jobs[i]) {
            Finished f = RunJob(job);
            passed = passed && f.passed;
            virtualMs = std::max(virtualMs, f.virtualMs);
            wall += f.wallSeconds;
            if (!f.passed) problems.push_back(job.size.Name() + ": " + f.problem);
            if (fs::exists(job.dir / "report.html"))
                reports.push_back((job.dir / "report.html").string());
        }
        all = all && passed;
        std::printf("%-7s %s  %s virtual  %.2f s wall  ", passed ? "passed" : "FAILED",
                    scripts[i].file.c_str(), FormatMs(virtualMs).c_str(), wall);
        for (size_t r = 0; r < reports.size(); ++r)
            std::printf("%s%s", r ? "  " : "", reports[r].c_str());
        std::printf("\n");
        for (const std::string& p : problems)
            std::printf("        %s\n", p.c_str());
    }
    return all ? 0 : 1;
}
