// The scenario language: one action or check a line, in virtual time. A
// script is read whole and checked before anything runs; each mistake is
// reported as "FILE:LINE:COLUMN: what is wrong; what would be right".
//
//   screen both                          # 240x320 at 96 dpi, then 480x640 at 192
//   contact "Anna Smith" mobile +44 7700 900123
//   set DropOutgoing 1 min. 55 sec.      # as the settings sheet shows it, or an index
//   install
//   start Tessaril
//   dial 07700900123
//   wait 2s
//   gsm accept 07700900123
//   expect lock shown within 2s
//   at 2m
//   expect call 07700900123 idle
//
// Telephony follows the Android emulator console's gsm words: `gsm call N`
// (an incoming call), `gsm accept N` (answered; a held call resumed),
// `gsm hold N`, `gsm busy N`, `gsm cancel N` (the far end hangs up); `dial
// N` is a call placed from the phone. The words are listed in kWords
// (script.cpp).
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "gdi/png.h"

namespace handset::script {

using Ms = uint64_t;

// Where something is in a script: 1-based line and column (in bytes).
struct Place {
    std::string file;
    int line = 0;
    int column = 0;
};
std::string Describe(const Place& at); // "file:line:column"

struct Error {
    Place at;
    std::string message;
    std::string Text() const { return Describe(at) + ": " + message; }
};

// "1m 57.092s", "500ms", "0s": durations as a script writes them.
std::string FormatMs(Ms ms);

struct ScreenSize {
    int width = 240, height = 320, dpi = 96;
    std::string Name() const { return std::to_string(width) + "x" + std::to_string(height); }
};

// ---- The settings, as the settings sheet shows them --------------------------------------
struct SettingInfo {
    std::u16string name;            // the registry value, e.g. u"DropOutgoing"
    std::vector<std::string> items; // the sheet's list, item i standing for index i
    DWORD defaultIndex = 0;
};
// The eleven stored settings, with the items of the configuration program's
// own lists (from its string table and the lock program's time tables).
const std::vector<SettingInfo>& Settings();
const SettingInfo* FindSetting(std::string_view name); // ignoring case
// "1 min. 55 sec. (3)", or "7 (not in the list)".
std::string ShowSetting(const SettingInfo& s, DWORD value);

// ---- Steps -----------------------------------------------------------------------------
enum class Program { Tessaril, TessarilCfg, Phone, Today };
const char16_t* ProgramPath(Program p);
const char* ProgramName(Program p);

struct Target {
    enum class Kind { Point, Lock, PhoneEnd, PhoneHold, PhoneMute, Ok, Tab, Control } kind;
    POINT point{};
    std::u16string text; // a tab's title or a control's text
};

// The things an expectation looks at.
enum class SignalKind { Any, Sound, IntervalSound, Vibration };
namespace check {
struct Lock {
    enum class State { Shown, Hidden, Gone } state;
};
struct Call {
    std::u16string number; // empty: the newest call
    DWORD state = 0;       // LINECALLSTATE_*; 0 with `none`: no call under way
    bool none = false;
};
struct Backlight {
    bool on;
};
struct LastSignal {
    SignalKind kind;
    bool none = false;       // `no signal`: nothing started since `since`
    std::optional<Ms> at;    // it started exactly then
    std::optional<Ms> since; // it started then or later
};
struct Message {
    std::optional<std::u16string> text; // none: no message box is open
};
struct Setting {
    const SettingInfo* setting;
    DWORD value;
};
struct Registry {
    HKEY root;
    std::u16string path, name;
    std::variant<DWORD, std::u16string> value;
};
struct Pixel {
    POINT point;
    uint32_t rgb; // 0xRRGGBB
};
struct Picture {
    std::optional<RECT> region; // none: the whole screen
    std::string file;           // as the script names it
    gdi::Rgb888Image image;
};
struct Process {
    Program program;
    enum class State { Running, Ended, HeldNothing } state;
};
} // namespace check
using Condition =
    std::variant<check::Lock, check::Call, check::Backlight, check::LastSignal, check::Message,
                 check::Setting, check::Registry, check::Pixel, check::Picture, check::Process>;

namespace step {
struct Wait {
    Ms ms;
};
struct At {
    Ms time;
};
struct Contacts {
    std::string file; // as named
    std::string text; // its contents, read when the script was
};
struct Contact {
    std::string vcard; // one card made from the line
};
struct RegistryFile {
    std::string file;
    std::string text;
};
struct Set {
    const SettingInfo* setting;
    DWORD value;
};
struct Install {};
struct Start {
    Program program;
    std::u16string commandLine;
};
struct IncomingCall {
    std::u16string number; // empty when withheld
    bool withheld = false;
    bool data = false;
};
struct Dial {
    std::u16string number;
    bool data = false;
};
struct Gsm {
    enum class Verb { Accept, Hold, Busy, Cancel } verb;
    std::u16string number; // empty: the only call under way
};
struct Tap {
    Target target;
    Ms hold = 100; // how long the stylus stays down
};
struct Drag {
    POINT from, to;
};
struct Press {
    UINT vk; // VK_*; VK_F1/VK_F2 are the soft keys
    std::string name;
    Ms hold = 100; // how long the key stays down
};
// The stylus or a key on its own: what a tap, a drag or a press is made of,
// for a hand that does not keep to their shapes (the live phone's).
struct Stylus {
    enum class Move { Down, Move, Up } move;
    POINT point;
};
struct Key {
    bool down;
    UINT vk;
    std::string name;
};
struct Pick {
    std::u16string item, label;
};
struct Apply {};
struct Answer {
    int button; // IDOK, ...
    std::string name;
};
struct SoftReset {};
struct Shot {
    std::string name; // also the file's: NN-name.png
};
struct RandomTaps {
    Ms ms;
};
struct RandomFaults {
    double probability; // 0: the plan is cleared
};
struct Expect {
    Condition condition;
    enum class Mode { Now, Within, For } mode = Mode::Now;
    Ms ms = 0;
};
} // namespace step
using Action = std::variant<step::Wait, step::At, step::Contacts, step::Contact, step::RegistryFile,
                            step::Set, step::Install, step::Start, step::IncomingCall, step::Dial,
                            step::Gsm, step::Tap, step::Drag, step::Press, step::Stylus, step::Key,
                            step::Pick, step::Apply, step::Answer, step::SoftReset, step::Shot,
                            step::RandomTaps, step::RandomFaults, step::Expect>;

struct Step {
    Place at; // its first word
    Action action;
    Ms least = 0; // virtual time it takes at the least
};

struct Script {
    std::string file; // as given
    std::string name; // the file's stem: out/<name>/
    std::vector<std::string> lines;
    std::vector<ScreenSize> sizes{ScreenSize{}};
    Ms virtualLimit = 3600 * 1000;
    Ms wallLimit = 120 * 1000;
    uint64_t seed = 1;
    std::vector<Step> steps;
};

// Reads the script and every file it names (relative to the script's
// folder). All or nothing: on any error *errors lists each, in line order.
bool Load(const std::string& path, Script* out, std::vector<Error>* errors);
// The same from text; files it names are read relative to `folder`.
bool Parse(std::string_view text, const std::string& file, const std::string& folder, Script* out,
           std::vector<Error>* errors);

} // namespace handset::script
