// The report of one run: a self-contained HTML page (pictures, sound and chart
// inline, so that it opens offline by a double-click) that says at a glance
// whether the scenario passed, and shows what happened along the timeline.
#pragma once

#include <string>

#include "device/device.h"
#include "script/run.h"

namespace handset::script {

// The page for the run, read from the outcome and the device it ran on (its
// timeline, sounds, vibrations and backlight); pictures and speaker.wav are
// read from the outcome's folder.
std::string ReportHtml(const Script& script, const Outcome& outcome, Device& d);

// The outcome as JSON, for tools: result.json beside the report.
std::string ResultJson(const Script& script, const Outcome& outcome);

std::string Base64(std::string_view bytes);

// The name a person knows a program by, from its executable path
// ("\Windows\cprog.exe" is the Phone); the report and the live phone's
// timeline both speak of programs so.
std::string ProgramLabel(const std::string& exePath);

} // namespace handset::script
