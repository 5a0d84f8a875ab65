// Reading a scenario script: the words, their values, and the checks made on
// the whole script before anything runs (files, times, limits).
#include "script/script.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "apps/apps.h"
#include "common/text.h"
#include "config/res/resource.h"
#include "config_resources.h"
#include "device/device.h"
#include "pim/vcard.h"
#include "registry/registry.h"
#include "res/resfile.h"
#include "settings.h"
#include "shell/install.h"
#include "tapi/network.h"

namespace handset::script {

std::string Describe(const Place& at) {
    return at.file + ":" + std::to_string(at.line) + ":" + std::to_string(at.column);
}

std::string FormatMs(Ms ms) {
    if (ms == 0) return "0s";
    std::string out;
    auto part = [&](Ms unit, const char* name) {
        if (ms >= unit) {
            out += (out.empty() ? "" : " ") + std::to_string(ms / unit) + name;
            ms %= unit;
        }
    };
    part(3600000, "h");
    part(60000, "m");
    if (ms >= 1000 || (ms > 0 && !out.empty())) {
        std::string s = std::to_string(ms / 1000);
        if (Ms frac = ms % 1000) {
            char buf[8];
            std::snprintf(buf, sizeof buf, ".%03u", unsigned(frac));
            std::string f = buf;
            while (f.back() == '0')
                f.pop_back();
            s += f;
        }
        out += (out.empty() ? "" : " ") + s + "s";
    } else if (ms > 0) {
        out += std::to_string(ms) + "ms";
    }
    return out;
}

// ---- Settings ---------------------------------------------------------------------------

namespace {

std::vector<std::string> SplitItems(std::u16string_view list) {
    std::vector<std::string> items;
    size_t start = 0;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == u';') {
            items.push_back(Narrow(list.substr(start, i - start)));
            start = i + 1;
        }
    return items;
}

} // namespace

const std::vector<SettingInfo>& Settings() {
    static const std::vector<SettingInfo> settings = [] {
        ResFile res;
        std::string error;
        if (!ResFile::Parse({kTessarilCfgRes, kTessarilCfgResSize}, "TessarilCfg.res", &res,
                            &error))
            Platform::Fatal("script: " + error);
        auto list = [&](uint32_t id) {
            auto s = res.String(id);
            if (!s) Platform::Fatal("script: TessarilCfg.res has no string " + std::to_string(id));
            return SplitItems(*s);
        };
        // The sheet formats these from the lock program's tables, as "%d sec".
        std::string format = Narrow(res.String(IDS_SEC_FORMAT).value_or(u"%d sec"));
        auto seconds = [&](int count, LONG (*ms)(int)) {
            std::vector<std::string> items;
            for (int i = 0; i < count; ++i) {
                char buf[64];
                std::snprintf(buf, sizeof buf, format.c_str(), int(ms(i) / 1000));
                items.push_back(buf);
            }
            return items;
        };
        std::vector<std::string> signals = list(IDS_SIGNAL_ITEMS);
        std::vector<std::string> drops = list(IDS_DROP_ITEMS);
        return std::vector<SettingInfo>{
            {SETTING_ON_START_DELAY, seconds(ON_START_DELAY_COUNT, OnStartDelayMs), 0},
            {SETTING_TEMP_UNLOCK_DELAY, seconds(TEMP_UNLOCK_DELAY_COUNT, TempUnlockDelayMs), 3},
            {SETTING_REGULAR_SOUND_TYPE, signals, 1},
            {SETTING_REGULAR_SOUND_DELAY, list(IDS_INTERVAL_ITEMS), 4},
            {SETTING_REGULAR_SOUND_BEFORE,
             seconds(REGULAR_SOUND_BEFORE_COUNT, RegularSoundBeforeMs), 5},
            {SETTING_ON_SOUND_TYPE, signals, 1},
            {SETTING_OFF_SOUND_TYPE, signals, 1},
            {SETTING_TURN_OFF_SCR, list(IDS_SCREEN_OFF_ITEMS), 1},
            {SETTING_DROP_INCOMING, drops, 0},
            {SETTING_DROP_OUTGOING, drops, 0},
            // A check box on the sheet: "Autostart after reset".
            {SETTING_START_AFTER_RESET, {"off", "on"}, 0},
        };
    }();
    return settings;
}

const SettingInfo* FindSetting(std::string_view name) {
    for (const SettingInfo& s : Settings())
        if (SameName(s.name, Widen(name))) return &s;
    return nullptr;
}

std::string ShowSetting(const SettingInfo& s, DWORD value) {
    if (value < s.items.size()) return s.items[value] + " (" + std::to_string(value) + ")";
    return std::to_string(int32_t(value)) + " (not in the list)";
}

const char16_t* ProgramPath(Program p) {
    switch (p) {
    case Program::Tessaril:
        return kLockProgramPath.data();
    case Program::TessarilCfg:
        return kConfigProgramPath.data();
    case Program::Phone:
        return apps::kPhonePath;
    case Program::Today:
        return apps::kShellPath;
    }
    return u"";
}

const char* ProgramName(Program p) {
    switch (p) {
    case Program::Tessaril:
        return "Tessaril";
    case Program::TessarilCfg:
        return "TessarilCfg";
    case Program::Phone:
        return "Phone";
    case Program::Today:
        return "Today";
    }
    return "";
}

// ---- Reading lines ------------------------------------------------------------------------

namespace {

// The words a line may start with, for the error that meets any other.
const char* const kWords[] = {
    "screen", "limit", "seed",   "contacts", "contact", "registry", "set",   "install", "start",
    "wait",   "at",    "gsm",    "dial",     "tap",     "drag",     "press", "stylus",  "key",
    "pick",   "apply", "answer", "soft",     "shot",    "random",   "no",    "expect"};

struct Token {
    std::string text;
    int column = 0; // 1-based
    bool quoted = false;
};

// A mistake on the line being read, at a column of it.
struct LineError {
    int column;
    std::string message;
};

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Words split at spaces; "a quoted text" is one token; a # that starts the
// line or stands alone after a space begins a comment.
std::vector<Token> Tokenize(const std::string& line) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        if (line[i] == '#' && (tokens.empty() || i + 1 == line.size() ||
                               std::isspace(static_cast<unsigned char>(line[i + 1]))))
            break;
        Token t;
        t.column = int(i) + 1;
        if (line[i] == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string::npos)
                throw LineError{t.column, "this text has no closing \"; end it on the same line"};
            t.text = line.substr(i + 1, close - i - 1);
            t.quoted = true;
            i = close + 1;
        } else {
            size_t end = i;
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end])))
                ++end;
            t.text = line.substr(i, end - i);
            i = end;
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[b.size()];
}

// "did you mean X? " when one of the choices is close to what was written.
std::string Nearest(const std::string& written, const std::vector<std::string>& choices) {
    std::string best;
    size_t bestDistance = 3;
    for (const std::string& c : choices) {
        size_t d = EditDistance(Lower(written), Lower(c));
        if (d < bestDistance) bestDistance = d, best = c;
    }
    return best.empty() ? "" : "did you mean \"" + best + "\"? ";
}

std::string Join(const std::vector<std::string>& items, const char* separator = ", ") {
    std::string out;
    for (const std::string& s : items)
        out += (out.empty() ? "" : separator) + s;
    return out;
}

// The tokens of one line, read from the left.
class Cursor {
  public:
    Cursor(std::vector<Token> tokens, int lineLength)
        : tokens_(std::move(tokens)), end_(lineLength + 1) {}

    bool AtEnd() const { return i_ >= tokens_.size(); }
    int Column() const { return AtEnd() ? end_ : tokens_[i_].column; }
    const Token* Peek(size_t ahead = 0) const {
        return i_ + ahead < tokens_.size() ? &tokens_[i_ + ahead] : nullptr;
    }
    bool PeekIs(const char* word) const {
        return !AtEnd() && !tokens_[i_].quoted && Lower(tokens_[i_].text) == word;
    }
    bool Take(const char* word) {
        if (!PeekIs(word)) return false;
        ++i_;
        return true;
    }
    const Token& Next(const char* what) {
        if (AtEnd()) throw LineError{end_, "the line ends here; give " + std::string(what)};
        return tokens_[i_++];
    }
    // One of the words, lower case; the error lists them.
    std::string OneOf(const std::vector<std::string>& words, const char* what) {
        const Token& t = Next(what);
        std::string w = Lower(t.text);
        if (std::find(words.begin(), words.end(), w) != words.end()) return w;
        throw LineError{t.column, "\"" + t.text + "\" is not " + what + "; " +
                                      Nearest(t.text, words) + "write one of: " + Join(words)};
    }
    void Expect(const char* word, const std::string& why) {
        if (AtEnd()) throw LineError{end_, "the line ends here; " + why};
        if (!Take(word)) throw LineError{Column(), "\"" + Peek()->text + "\" here; " + why};
    }
    // The rest of the line, one quoted text or its words joined by spaces.
    std::string Rest(const char* what) {
        if (AtEnd()) throw LineError{end_, "the line ends here; give " + std::string(what)};
        if (tokens_[i_].quoted && i_ + 1 == tokens_.size()) return tokens_[i_++].text;
        std::string out;
        while (!AtEnd())
            out += (out.empty() ? "" : " ") + tokens_[i_++].text;
        return out;
    }
    void End() {
        if (!AtEnd())
            throw LineError{Column(), "\"" + Peek()->text +
                                          "\" is more than this line takes; remove it or "
                                          "start a new line"};
    }
    // Drops the last tokens from the line (a suffix read apart).
    void DropLast(size_t n) { tokens_.resize(tokens_.size() - n); }
    const std::vector<Token>& Tokens() const { return tokens_; }
    size_t Index() const { return i_; }

  private:
    std::vector<Token> tokens_;
    size_t i_ = 0;
    int end_;
};

constexpr const char* kDurationHelp =
    "a duration is a number and a unit, such as 500ms, 5s, 1.5s, 3m, 1h or 1m 30s";

// One part of a duration, "1m" or "57.092s"; none when the token is not one.
std::optional<Ms> DurationPart(const std::string& text) {
    size_t unitAt = 0;
    while (unitAt < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[unitAt])) || text[unitAt] == '.'))
        ++unitAt;
    if (unitAt == 0 || unitAt == text.size()) return std::nullopt;
    std::string number = text.substr(0, unitAt), unit = Lower(text.substr(unitAt));
    double scale = unit == "ms"  ? 1
                   : unit == "s" ? 1000
                   : unit == "m" ? 60000
                   : unit == "h" ? 3600000
                                 : 0;
    if (scale == 0 || std::count(number.begin(), number.end(), '.') > 1 || number.back() == '.')
        return std::nullopt;
    // In whole milliseconds, digit by digit: "2.03s" is 2030ms exactly, as
    // FormatMs writes it (a double would make it 2029.999...).
    size_t dot = number.find('.');
    std::string whole = number.substr(0, dot),
                fraction = dot == std::string::npos ? "" : number.substr(dot + 1);
    if (whole.empty() || whole.size() > 12 || fraction.size() > 6) return std::nullopt;
    Ms step = Ms(scale), ms = std::stoull(whole) * step, tenths = 1, part = 0;
    for (char digit : fraction) {
        part = part * 10 + Ms(digit - '0');
        tenths *= 10;
    }
    if (part * step % tenths != 0) return std::nullopt; // finer than a millisecond
    ms += part * step / tenths;
    if (ms > Ms(1e12)) return std::nullopt;
    return ms;
}

// A duration of one or more parts: "1m 30s".
Ms Duration(Cursor& c) {
    const Token& first = c.Next("a duration");
    auto ms = DurationPart(first.text);
    if (!ms || first.quoted)
        throw LineError{first.column, "\"" + first.text + "\" is not a duration; " + kDurationHelp};
    while (c.Peek() && !c.Peek()->quoted)
        if (auto more = DurationPart(c.Peek()->text)) {
            *ms += *more;
            c.Next("");
        } else {
            break;
        }
    return *ms;
}

long Integer(const Token& t, long low, long high, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(t.text.c_str(), &end, 10);
    if (t.text.empty() || *end || errno == ERANGE || v < low || v > high)
        throw LineError{t.column, "\"" + t.text + "\" is not " + what};
    return v;
}

POINT Point(Cursor& c) {
    const Token& t = c.Next("a point X,Y");
    size_t comma = t.text.find(',');
    const std::string help = "\"" + t.text +
                             "\" is not a point; write X,Y in screen pixels, "
                             "such as 120,200";
    if (comma == std::string::npos) throw LineError{t.column, help};
    try {
        Token x{t.text.substr(0, comma), t.column}, y{t.text.substr(comma + 1), t.column};
        return {LONG(Integer(x, 0, 4095, "")), LONG(Integer(y, 0, 4095, ""))};
    } catch (const LineError&) {
        throw LineError{t.column, help};
    }
}

std::u16string PhoneNumber(const Token& t) {
    bool digit = false;
    for (char ch : t.text) {
        if (std::isdigit(static_cast<unsigned char>(ch)))
            digit = true;
        else if (!std::strchr("+*#()- ", ch))
            throw LineError{t.column, "\"" + t.text +
                                          "\" is not a phone number; write its digits, such as "
                                          "07700900123 or +447700900123"};
    }
    if (!digit)
        throw LineError{t.column, "\"" + t.text + "\" is not a phone number; it has no digits"};
    return Widen(t.text);
}

std::string Squeezed(std::string s) {
    std::string out;
    for (char ch : Lower(s))
        if (!std::isspace(static_cast<unsigned char>(ch))) out += ch;
    while (!out.empty() && out.back() == '.')
        out.pop_back();
    return out;
}

// A setting's value: the item as the sheet shows it (ignoring case, spaces
// and a closing full stop), or a stored index as a number.
DWORD SettingValue(const SettingInfo& s, Cursor& c) {
    int column = c.Column();
    std::string written = c.Rest("the value as the settings sheet shows it, or a stored index");
    char* end = nullptr;
    errno = 0;
    long index = std::strtol(written.c_str(), &end, 10);
    if (!written.empty() && !*end && errno != ERANGE && index >= -32768 && index <= 65535)
        return DWORD(index);
    for (size_t i = 0; i < s.items.size(); ++i)
        if (Squeezed(s.items[i]) == Squeezed(written)) return DWORD(i);
    throw LineError{
        column, "\"" + written + "\" is not a value of " + Narrow(s.name) + "; " +
                    Nearest(written, s.items) + "the sheet shows: " + Join(s.items, "; ") +
                    " (or give the stored index, 0 to " + std::to_string(s.items.size() - 1) + ")"};
}

const SettingInfo& SettingName(Cursor& c) {
    const Token& t = c.Next("a setting's name");
    if (const SettingInfo* s = FindSetting(t.text)) return *s;
    std::vector<std::string> names;
    for (const SettingInfo& s : Settings())
        names.push_back(Narrow(s.name));
    throw LineError{t.column, "\"" + t.text + "\" is not a setting; " + Nearest(t.text, names) +
                                  "the settings are: " + Join(names)};
}

Program ProgramWord(Cursor& c, bool ours) {
    std::vector<std::string> names = {"tessaril", "tessarilcfg"};
    if (!ours) names.insert(names.end(), {"phone", "today"});
    std::string w = c.OneOf(names, "a program");
    return w == "tessaril"      ? Program::Tessaril
           : w == "tessarilcfg" ? Program::TessarilCfg
           : w == "phone"       ? Program::Phone
                                : Program::Today;
}

struct FileText {
    std::string path; // resolved
    std::string text;
};

FileText ReadNamed(const Token& t, const std::string& folder) {
    std::filesystem::path p(t.text);
    if (p.is_relative()) p = std::filesystem::path(folder) / p;
    std::ifstream in(p, std::ios::binary);
    if (!in || std::filesystem::is_directory(p))
        throw LineError{t.column, "cannot read \"" + t.text + "\" (" + p.string() + "): " +
                                      (std::filesystem::is_directory(p) ? "it is a folder"
                                                                        : std::strerror(errno)) +
                                      "; name a file beside the script or give its path"};
    std::ostringstream s;
    s << in.rdbuf();
    return {p.string(), s.str()};
}

const std::map<std::string, HKEY>& Roots() {
    static const std::map<std::string, HKEY> roots = {
        {"hklm", HKEY_LOCAL_MACHINE}, {"hkey_local_machine", HKEY_LOCAL_MACHINE},
        {"hkcu", HKEY_CURRENT_USER},  {"hkey_current_user", HKEY_CURRENT_USER},
        {"hkcr", HKEY_CLASSES_ROOT},  {"hkey_classes_root", HKEY_CLASSES_ROOT},
        {"hku", HKEY_USERS},          {"hkey_users", HKEY_USERS}};
    return roots;
}

const std::map<std::string, DWORD>& CallStates() {
    static const std::map<std::string, DWORD> states = {
        {"offering", LINECALLSTATE_OFFERING},
        {"dialing", LINECALLSTATE_DIALING},
        {"proceeding", LINECALLSTATE_PROCEEDING},
        {"ringback", LINECALLSTATE_RINGBACK},
        {"connected", LINECALLSTATE_CONNECTED},
        {"onhold", LINECALLSTATE_ONHOLD},
        {"busy", LINECALLSTATE_BUSY},
        {"disconnected", LINECALLSTATE_DISCONNECTED},
        {"idle", LINECALLSTATE_IDLE}};
    return states;
}

template <class Map> std::vector<std::string> Keys(const Map& m) {
    std::vector<std::string> keys;
    for (const auto& [k, v] : m)
        keys.push_back(k);
    return keys;
}

class Reader {
  public:
    Reader(Script& script, std::string folder) : s_(script), folder_(std::move(folder)) {}

    void Line(int number, const std::string& text) {
        Cursor c(Tokenize(text), int(text.size()));
        if (c.AtEnd()) return;
        place_ = {s_.file, number, c.Column()};
        const Token& first = *c.Peek();
        std::string word = Lower(first.text);
        c.Next("");
        if (word == "screen") return Screen(c);
        if (word == "limit") return Limit(c);
        if (word == "seed") {
            s_.seed = uint64_t(
                Integer(c.Next("a seed"), 0, 2147483647, "a seed; give a whole number from 0"));
            return c.End();
        }
        if (word == "expect") return Add(c, Expectation(c));
        if (auto action = ActionOf(word, first, c)) return Add(c, std::move(*action));
    }

    // Whole-script checks once every line is read.
    void Finish(std::vector<Error>* errors) {
        Ms clock = 0;
        for (const Step& step : s_.steps) {
            if (const auto* at = std::get_if<step::At>(&step.action)) {
                if (at->time < clock)
                    errors->push_back({step.at, "at " + FormatMs(at->time) +
                                                    " goes back in time: the lines above reach " +
                                                    FormatMs(clock) +
                                                    " at the least; give a later time, or "
                                                    "wait instead"});
                clock = std::max(clock, at->time);
            }
            clock += step.least;
            if (clock > s_.virtualLimit) {
                errors->push_back({step.at, "the scenario would run past its virtual limit of " +
                                                FormatMs(s_.virtualLimit) + ": this line ends at " +
                                                FormatMs(clock) +
                                                " at the least; raise it with \"limit " +
                                                FormatMs(clock + 60000) + "\" or shorten the run"});
                break;
            }
        }
    }

  private:
    void Add(Cursor& c, Action action) {
        c.End();
        Step step{place_, std::move(action), 0};
        step.least = Least(step.action);
        s_.steps.push_back(std::move(step));
    }

    // What the driver's hand takes at the least; waits for programs are extra.
    static Ms Least(const Action& a) {
        if (auto* w = std::get_if<step::Wait>(&a)) return w->ms;
        if (auto* r = std::get_if<step::RandomTaps>(&a)) return r->ms;
        if (auto* e = std::get_if<step::Expect>(&a))
            return e->mode == step::Expect::Mode::For ? e->ms : 0;
        if (auto* t = std::get_if<step::Tap>(&a)) return t->hold;
        if (auto* p = std::get_if<step::Press>(&a)) return p->hold;
        if (std::holds_alternative<step::Drag>(a)) return 300;
        if (std::holds_alternative<step::Pick>(a)) return 100;
        return 0;
    }

    void Screen(Cursor& c) {
        if (!s_.steps.empty())
            throw LineError{place_.column, "the screen is set before anything runs; move this "
                                           "line above the first action"};
        const Token& t = c.Next("a size: 240x320, 480x640 or both");
        if (Lower(t.text) == "both") {
            s_.sizes = {ScreenSize{}, ScreenSize{480, 640, 192}};
            return c.End();
        }
        int w = 0, h = 0;
        char x = 0, extra = 0;
        if (std::sscanf(t.text.c_str(), "%d%c%d%c", &w, &x, &h, &extra) != 3 || x != 'x' || w < 1 ||
            h < 1 || w > 2048 || h > 2048)
            throw LineError{t.column, "\"" + t.text +
                                          "\" is not a screen size; write WIDTHxHEIGHT "
                                          "such as 240x320 or 480x640, or both"};
        int dpi = w >= 480 ? 192 : 96;
        if (c.Take("dpi"))
            dpi = int(Integer(c.Next("the dpi"), 48, 480, "a dpi; give 48 to 480, such as 96"));
        s_.sizes = {ScreenSize{w, h, dpi}};
        c.End();
    }

    void Limit(Cursor& c) {
        bool wall = c.Take("wall");
        int column = c.Column();
        Ms ms = Duration(c);
        if (ms == 0) throw LineError{column, "a limit of 0 stops everything; give a duration"};
        (wall ? s_.wallLimit : s_.virtualLimit) = ms;
        c.End();
    }

    std::optional<Action> ActionOf(const std::string& word, const Token& first, Cursor& c) {
        if (word == "wait") return step::Wait{Duration(c)};
        if (word == "at") return step::At{Duration(c)};
        if (word == "contacts") {
            const Token& t = c.Next("a .vcf file");
            FileText f = ReadNamed(t, folder_);
            VcardResult cards;
            std::string error;
            if (!ParseVcards(f.text, t.text, &cards, &error))
                throw LineError{t.column, "\"" + t.text + "\" is not a contacts file: " + error};
            return step::Contacts{t.text, f.text};
        }
        if (word == "contact") return Contact(c);
        if (word == "registry") {
            const Token& t = c.Next("a .reg file");
            FileText f = ReadNamed(t, folder_);
            // Checked on a registry of its own, unless a phone is running.
            if (!Platform::CurrentOrNull()) {
                Device scratch;
                std::string error;
                if (!scratch.Get<handset::Registry>().LoadRegText(f.text, t.text, &error))
                    throw LineError{t.column, "\"" + t.text + "\" does not load: " + error};
            }
            return step::RegistryFile{t.text, f.text};
        }
        if (word == "set") {
            const SettingInfo& s = SettingName(c);
            return step::Set{&s, SettingValue(s, c)};
        }
        if (word == "install") {
            installed_ = true;
            return step::Install{};
        }
        if (word == "start") {
            int column = c.Column();
            Program p = ProgramWord(c, true);
            if (!installed_)
                throw LineError{column, "start " + std::string(ProgramName(p)) +
                                            " comes before install; add \"install\" above it"};
            std::u16string commandLine = c.AtEnd() ? u"" : Widen(c.Rest(""));
            return step::Start{p, commandLine};
        }
        if (word == "gsm") return Gsm(c);
        if (word == "dial") {
            step::Dial d{PhoneNumber(c.Next("the number to dial"))};
            d.data = c.Take("data");
            return d;
        }
        if (word == "tap") {
            step::Tap tap{TapTarget(c)};
            if (tap.target.kind == Target::Kind::Point && c.Take("for")) tap.hold = Duration(c);
            return tap;
        }
        if (word == "drag") {
            POINT from = Point(c);
            c.Expect("to", "write drag X,Y to X,Y");
            return step::Drag{from, Point(c)};
        }
        if (word == "press") {
            step::Press press = Press(c);
            if (c.Take("for")) press.hold = Duration(c);
            return press;
        }
        if (word == "stylus") {
            std::string m = c.OneOf({"down", "move", "up"}, "what the stylus does");
            return step::Stylus{m == "down"   ? step::Stylus::Move::Down
                                : m == "move" ? step::Stylus::Move::Move
                                              : step::Stylus::Move::Up,
                                Point(c)};
        }
        if (word == "key") {
            bool down = c.OneOf({"down", "up"}, "down or up") == "down";
            step::Press key = Press(c);
            return step::Key{down, key.vk, key.name};
        }
        if (word == "pick") {
            std::u16string item = Widen(c.Next("the item to pick, in quotes").text);
            c.Expect("in", "write pick \"ITEM\" in \"LABEL\", the label beside the box");
            return step::Pick{item, Widen(c.Next("the box's label, in quotes").text)};
        }
        if (word == "apply") return step::Apply{};
        if (word == "answer") {
            static const std::vector<std::pair<std::string, int>> buttons = {
                {"ok", IDOK},         {"cancel", IDCANCEL}, {"abort", IDABORT}, {"retry", IDRETRY},
                {"ignore", IDIGNORE}, {"yes", IDYES},       {"no", IDNO}};
            std::vector<std::string> names;
            for (auto& [n, id] : buttons)
                names.push_back(n);
            std::string b = c.OneOf(names, "a message box button");
            for (auto& [n, id] : buttons)
                if (n == b) return step::Answer{id, b};
        }
        if (word == "soft") {
            c.Expect("reset", "write soft reset");
            return step::SoftReset{};
        }
        if (word == "shot") return Shot(c);
        if (word == "random") {
            std::string what = c.OneOf({"taps", "faults"}, "something random");
            if (what == "taps") {
                c.Expect("for", "write random taps for DURATION");
                return step::RandomTaps{Duration(c)};
            }
            return step::RandomFaults{Probability(c.Next("a probability"))};
        }
        if (word == "no") {
            c.Expect("faults", "write no faults, which ends a random fault plan");
            return step::RandomFaults{0};
        }
        std::vector<std::string> words(std::begin(kWords), std::end(kWords));
        throw LineError{first.column, "unknown word \"" + first.text + "\"; " +
                                          Nearest(first.text, words) +
                                          "a line starts with one of: " + Join(words)};
    }

    step::Contact Contact(Cursor& c) {
        const Token& name = c.Next("the contact's name, in quotes");
        static const std::map<std::string, std::string> kinds = {
            {"mobile", "CELL"}, {"home", "HOME"},   {"work", "WORK"},
            {"car", "CAR"},     {"radio", "RADIO"}, {"pager", "PAGER"}};
        std::string type = "CELL";
        if (c.Peek() && kinds.count(Lower(c.Peek()->text))) type = kinds.at(Lower(c.Next("").text));
        const Token& number = c.Next("the contact's number");
        std::string digits = number.text;
        while (!c.AtEnd())
            digits += " " + c.Next("").text;
        PhoneNumber({digits, number.column});
        // "Anna Smith": the last word is the family name.
        std::string given = name.text, family;
        if (size_t space = name.text.rfind(' '); space != std::string::npos)
            given = name.text.substr(0, space), family = name.text.substr(space + 1);
        else
            family = name.text, given.clear();
        return {"BEGIN:VCARD\r\nVERSION:3.0\r\nN:" + family + ";" + given + ";;;\r\nFN:" +
                name.text + "\r\nTEL;TYPE=" + type + ":" + digits + "\r\nEND:VCARD\r\n"};
    }

    Action Gsm(Cursor& c) {
        std::string verb = c.OneOf({"call", "accept", "hold", "busy", "cancel"}, "a gsm word");
        if (verb == "call") {
            step::IncomingCall call;
            if (c.Take("withheld"))
                call.withheld = true;
            else
                call.number = PhoneNumber(c.Next("the caller's number, or withheld"));
            call.data = c.Take("data");
            return call;
        }
        step::Gsm g{};
        g.verb = verb == "accept" ? step::Gsm::Verb::Accept
                 : verb == "hold" ? step::Gsm::Verb::Hold
                 : verb == "busy" ? step::Gsm::Verb::Busy
                                  : step::Gsm::Verb::Cancel;
        if (!c.AtEnd()) g.number = PhoneNumber(c.Next(""));
        return g;
    }

    Target TapTarget(Cursor& c) {
        const Token* t = c.Peek();
        if (!t) c.Next("what to tap: X,Y, lock, phone end, ok, tab \"NAME\" or \"TEXT\"");
        if (t->quoted) return {Target::Kind::Control, {}, Widen(c.Next("").text)};
        if (std::isdigit(static_cast<unsigned char>(t->text[0])))
            return {Target::Kind::Point, Point(c), {}};
        std::string w = c.OneOf({"lock", "phone", "ok", "tab"}, "something to tap");
        if (w == "lock") return {Target::Kind::Lock};
        if (w == "ok") return {Target::Kind::Ok};
        if (w == "tab") return {Target::Kind::Tab, {}, Widen(c.Next("the tab's title").text)};
        std::string b = c.OneOf({"end", "hold", "mute"}, "a button of the Phone program");
        return {b == "end"    ? Target::Kind::PhoneEnd
                : b == "hold" ? Target::Kind::PhoneHold
                              : Target::Kind::PhoneMute};
    }

    step::Press Press(Cursor& c) {
        static const std::vector<std::pair<std::string, UINT>> keys = {
            {"centre", VK_RETURN}, {"center", VK_RETURN}, {"up", VK_UP},
            {"down", VK_DOWN},     {"left", VK_LEFT},     {"right", VK_RIGHT},
            {"soft1", VK_F1},      {"soft2", VK_F2},      {"app1", VK_APP1},
            {"app2", VK_APP1 + 1}, {"app3", VK_APP1 + 2}, {"app4", VK_APP1 + 3},
            {"app5", VK_APP1 + 4}, {"app6", VK_APP1 + 5}, {"talk", VK_TTALK},
            {"end", VK_TEND}};
        std::vector<std::string> names;
        for (auto& [n, vk] : keys)
            names.push_back(n);
        std::string k = c.OneOf(names, "a key");
        for (auto& [n, vk] : keys)
            if (n == k) return {vk, n};
        return {};
    }

    step::Shot Shot(Cursor& c) {
        const Token& t = c.Next("the shot's name");
        // A plain file name: nothing a script names may leave its output folder.
        bool plain = !t.text.empty() && t.text.size() <= 64 && t.text[0] != '.' &&
                     std::all_of(t.text.begin(), t.text.end(), [](char ch) {
                         return std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' ||
                                ch == '_' || ch == '.';
                     });
        if (!plain)
            throw LineError{t.column, "\"" + t.text +
                                          "\" is not a shot name; use letters, digits, "
                                          "- and _ (up to 64), such as locked-again"};
        if (auto it = shots_.find(Lower(t.text)); it != shots_.end())
            throw LineError{t.column, "the shot \"" + t.text + "\" is taken already on line " +
                                          std::to_string(it->second) + "; give it another name"};
        shots_[Lower(t.text)] = place_.line;
        return {t.text};
    }

    static double Probability(const Token& t) {
        std::string s = t.text;
        bool percent = !s.empty() && s.back() == '%';
        if (percent) s.pop_back();
        char* end = nullptr;
        double p = std::strtod(s.c_str(), &end);
        if (s.empty() || *end || !(p >= 0) || (percent ? p > 100 : p > 1))
            throw LineError{t.column, "\"" + t.text +
                                          "\" is not a probability; give 0 to 1 "
                                          "or a percentage, such as 0.02 or 2%"};
        return percent ? p / 100 : p;
    }

    // expect CONDITION [within DURATION | for DURATION]
    step::Expect Expectation(Cursor& c) {
        step::Expect e{check::Lock{}};
        // The suffix first: a setting's value runs to the end of the line.
        const auto& tokens = c.Tokens();
        for (size_t i = tokens.size(); i-- > c.Index();) {
            std::string w = Lower(tokens[i].text);
            if (tokens[i].quoted || (w != "within" && w != "for")) continue;
            Cursor suffix({tokens.begin() + i + 1, tokens.end()}, 0);
            if (suffix.AtEnd() || !DurationPart(suffix.Peek()->text)) break;
            e.ms = Duration(suffix);
            if (!suffix.AtEnd()) break;
            e.mode = w == "within" ? step::Expect::Mode::Within : step::Expect::Mode::For;
            c.DropLast(tokens.size() - i);
            break;
        }
        e.condition = ConditionOf(c);
        return e;
    }

    Condition ConditionOf(Cursor& c) {
        std::vector<std::string> words = {"lock",     "call",        "no",      "backlight",
                                          "last",     "message",     "setting", "registry",
                                          "pixel",    "screen",      "region",  "nothing",
                                          "tessaril", "tessarilcfg", "phone",   "today"};
        int column = c.Column();
        std::string w = c.OneOf(words, "something to expect");
        if (w == "lock") {
            std::string s = c.OneOf({"shown", "hidden", "gone"}, "a state of the lock window");
            return check::Lock{s == "shown"    ? check::Lock::State::Shown
                               : s == "hidden" ? check::Lock::State::Hidden
                                               : check::Lock::State::Gone};
        }
        if (w == "call") {
            check::Call call;
            if (c.Peek() && !CallStates().count(Lower(c.Peek()->text)))
                call.number = PhoneNumber(c.Next(""));
            call.state = CallStates().at(c.OneOf(Keys(CallStates()), "a call state"));
            return call;
        }
        if (w == "no") {
            std::string what = c.OneOf({"call", "signal", "message"}, "what there is none of");
            if (what == "call") return check::Call{u"", 0, true};
            if (what == "message") return check::Message{};
            check::LastSignal s{SignalKind::Any, true};
            if (c.Take("since")) s.since = Duration(c);
            return s;
        }
        if (w == "backlight") return check::Backlight{c.OneOf({"on", "off"}, "on or off") == "on"};
        if (w == "last") {
            c.Expect("signal", "write last signal sound, interval sound or vibration");
            check::LastSignal s{};
            std::string k = c.OneOf({"sound", "interval", "vibration"}, "a signal");
            if (k == "interval") c.Expect("sound", "write interval sound");
            s.kind = k == "sound"      ? SignalKind::Sound
                     : k == "interval" ? SignalKind::IntervalSound
                                       : SignalKind::Vibration;
            if (c.Take("at"))
                s.at = Duration(c);
            else if (c.Take("since"))
                s.since = Duration(c);
            return s;
        }
        if (w == "message") return check::Message{Widen(c.Next("the message's text").text)};
        if (w == "setting") {
            const SettingInfo& s = SettingName(c);
            return check::Setting{&s, SettingValue(s, c)};
        }
        if (w == "registry") return RegistryCheck(c);
        if (w == "pixel") {
            POINT p = Point(c);
            const Token& t = c.Next("a colour #RRGGBB");
            unsigned rgb = 0;
            char extra = 0;
            if (t.text.size() != 7 || std::sscanf(t.text.c_str(), "#%6x%c", &rgb, &extra) != 1)
                throw LineError{t.column, "\"" + t.text +
                                              "\" is not a colour; write #RRGGBB, "
                                              "such as #FFFFFF"};
            return check::Pixel{p, rgb};
        }
        if (w == "screen" || w == "region") {
            check::Picture pic;
            if (w == "region") {
                POINT at = Point(c);
                const Token& t = c.Next("the region's size WxH");
                int rw = 0, rh = 0;
                char x = 0, extra = 0;
                if (std::sscanf(t.text.c_str(), "%d%c%d%c", &rw, &x, &rh, &extra) != 3 ||
                    x != 'x' || rw < 1 || rh < 1)
                    throw LineError{t.column, "\"" + t.text +
                                                  "\" is not a size; write WxH, such "
                                                  "as 100x40"};
                pic.region = RECT{at.x, at.y, at.x + rw, at.y + rh};
            }
            c.Expect("like", "write screen like FILE.png or region X,Y WxH like FILE.png");
            const Token& f = c.Next("a .png file");
            FileText file = ReadNamed(f, folder_);
            std::string error;
            if (!gdi::ReadPng(file.path, &pic.image, &error)) throw LineError{f.column, error};
            if (pic.region && (pic.image.width != pic.region->right - pic.region->left ||
                               pic.image.height != pic.region->bottom - pic.region->top))
                throw LineError{f.column, "\"" + f.text + "\" is " +
                                              std::to_string(pic.image.width) + "x" +
                                              std::to_string(pic.image.height) +
                                              "; the region is not; give a picture of its size"};
            pic.file = f.text;
            return pic;
        }
        if (w == "nothing") {
            c.Expect("held", "write nothing held by PROGRAM");
            c.Expect("by", "write nothing held by PROGRAM");
            return check::Process{ProgramWord(c, false), check::Process::State::HeldNothing};
        }
        // expect PROGRAM running|ended
        Cursor again({Token{w, column}}, 0);
        Program p = ProgramWord(again, false);
        std::string s = c.OneOf({"running", "ended"}, "running or ended");
        return check::Process{p, s == "running" ? check::Process::State::Running
                                                : check::Process::State::Ended};
    }

    check::Registry RegistryCheck(Cursor& c) {
        const Token& t = c.Next("a registry value ROOT\\KEY\\VALUE");
        size_t first = t.text.find('\\'), last = t.text.rfind('\\');
        auto root = first == std::string::npos ? Roots().end()
                                               : Roots().find(Lower(t.text.substr(0, first)));
        if (root == Roots().end() || last == first)
            throw LineError{t.column, "\"" + t.text +
                                          "\" is not a registry value; write "
                                          "ROOT\\KEY\\VALUE, such as "
                                          "HKLM\\Software\\Apps\\Tessaril\\TurnOffScr"};
        check::Registry r{root->second, Widen(t.text.substr(first + 1, last - first - 1)),
                          Widen(t.text.substr(last + 1)), DWORD(0)};
        c.Expect("=", "write = and the value: a number or a \"text\"");
        const Token& v = c.Next("the value: a number or a \"text\"");
        if (v.quoted)
            r.value = Widen(v.text);
        else
            r.value = DWORD(Integer(v, -2147483647, 4294967295L, "a number; quote a text"));
        return r;
    }

    Script& s_;
    std::string folder_;
    Place place_;
    bool installed_ = false;
    std::map<std::string, int> shots_;
};

} // namespace

bool Parse(std::string_view text, const std::string& file, const std::string& folder, Script* out,
           std::vector<Error>* errors) {
    Script s;
    s.file = file;
    s.name = std::filesystem::path(file).stem().string();
    std::vector<Error> found;
    Reader reader(s, folder);
    std::istringstream in{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        s.lines.push_back(line);
        try {
            reader.Line(number, line);
        } catch (const LineError& e) {
            found.push_back({{file, number, e.column}, e.message});
        }
    }
    if (found.empty()) reader.Finish(&found);
    if (!found.empty()) {
        *errors = std::move(found);
        return false;
    }
    *out = std::move(s);
    return true;
}

bool Load(const std::string& path, Script* out, std::vector<Error>* errors) {
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        *errors = {
            {{path, 0, 0},
             std::string("cannot read the script: ") +
                 (std::filesystem::is_directory(path) ? "it is a folder" : std::strerror(errno))}};
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string folder = std::filesystem::path(path).parent_path().string();
    return Parse(text.str(), path, folder.empty() ? "." : folder, out, errors);
}

} // namespace handset::script
