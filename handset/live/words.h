// The live phone in words: the timeline as a person follows it ("3:05 lock
// window shown"), the lines a recorded input is saved as, the saved
// scenario as a whole, and the opening lines made from a phone's contacts
// and settings files.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device/device.h"
#include "script/script.h"

namespace handset::live {

using script::Ms;

// "3:05", or "1:02:03" past the hour: the clock of the timeline's lines.
std::string ClockText(Ms t);

// Turns timeline entries into the lines a person follows, one entry at a
// time; what is not worth a line gives nothing.
class Narrator {
  public:
    std::optional<std::string> Say(const TimelineEntry& e, Device& d);

  private:
    std::string ProgramOf(const std::string& pid) const;

    std::set<std::string> lockWindows_;
    std::map<std::string, std::string> programs_; // process id: program name
    std::optional<bool> backlight_;
};

// An input as it was applied: its virtual time and the step it was.
struct Recorded {
    Ms t;
    script::Action action;
};

// The line a step is written as, in the scenario language.
std::string LineOf(const script::Action& action);

// The whole script: the opening lines, then each input at its time (a
// stylus down and up at one point with nothing between them is a tap held
// that long; a key's down and up, a press), then the clock run to `end`.
std::string ScenarioText(const std::string& opening, const std::vector<Recorded>& inputs, Ms end);

// The opening lines of a session: the screen, each contact's name and
// numbers from a vCard file, each setting a REGEDIT4 file stores, then
// install and start Tessaril. Nothing, and *error, when a file does not read.
std::optional<std::string> OpeningLines(script::ScreenSize size, const std::string* vcf,
                                        const std::string& vcfName, const std::string* reg,
                                        const std::string& regName, std::string* error);

} // namespace handset::live
