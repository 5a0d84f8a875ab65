// Running a scenario script on a fresh handset at one screen size: each line
// through the same driver calls the tests use, expectations checked as they
// come, and everything left in the output folder: the screenshots,
// timeline.jsonl, speaker.wav and report.html.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "script/script.h"

namespace handset::script {

struct StepResult {
    enum class Status { NotRun, Done, Passed, Failed } status = Status::NotRun;
    Ms start = 0, end = 0;
    std::string message; // a failure's: what was expected and what was seen
    std::string shot;    // the screenshot's file name, for a failure
};

struct ShotTaken {
    std::string file; // in the output folder
    std::string name; // as the script names it, or "failed" for a failure's
    Ms t = 0;
    int line = 0;
};

// The settings as stored, in the order of Settings(); kNotStored where a
// value is missing (no DWORD reaches it).
inline constexpr int64_t kNotStored = -1;
using SettingsSnapshot = std::vector<int64_t>;

struct Outcome {
    ScreenSize size;
    std::filesystem::path dir;
    std::vector<StepResult> steps; // one for each of the script's steps
    std::vector<ShotTaken> shots;  // in the order they were taken
    std::vector<size_t> failed;    // steps that failed, in order
    std::string stopped;           // why the run ended early ("FILE:L:C: ..."), or ""
    std::string writeError;        // an output that could not be written
    Ms virtualMs = 0;
    double wallSeconds = 0;
    uint64_t seed = 0;
    SettingsSnapshot settingsStart, settingsEnd;

    bool Passed() const { return failed.empty() && stopped.empty() && writeError.empty(); }
};

// Runs the script at the size, writing into dir (which must exist). Each
// step is told to onStep before it runs, for a watcher of the run.
Outcome Run(const Script& script, ScreenSize size, const std::filesystem::path& dir,
            const std::function<void(const Step&)>& onStep = {});

} // namespace handset::script
