// The live phone in words: plain timeline lines, the saved scenario, and the
// opening lines made from a phone's files.
#include "live/words.h"

#include <cstdio>

#include "common/text.h"
#include "pim/store.h"
#include "pim/vcard.h"
#include "registry/registry.h"
#include "script/report.h"
#include "testing/phone.h"
#include "window/lock_window.h"

namespace handset::live {

namespace {

std::string CallWords(const std::string& state) {
    static const std::map<std::string, std::string> words = {
        {"offering", "ringing"},       {"accepted", "accepted"},
        {"dialing", "dialling"},       {"proceeding", "proceeding"},
        {"ringback", "ringing there"}, {"connected", "connected"},
        {"onhold", "on hold"},         {"busy", "busy"},
        {"disconnected", "ended"}};
    auto it = words.find(state);
    return it == words.end() ? "" : it->second;
}

std::string KeyWord(int64_t vk) {
    static const std::map<int64_t, std::string> names = {
        {VK_RETURN, "centre"}, {VK_UP, "up"},         {VK_DOWN, "down"},    {VK_LEFT, "left"},
        {VK_RIGHT, "right"},   {VK_F1, "soft1"},      {VK_F2, "soft2"},     {VK_TTALK, "talk"},
        {VK_TEND, "end"},      {VK_APP1, "app1"},     {VK_APP2, "app2"},    {VK_APP3, "app3"},
        {VK_APP4, "app4"},     {VK_APP1 + 4, "app5"}, {VK_APP1 + 5, "app6"}};
    auto it = names.find(vk);
    return it == names.end() ? std::to_string(vk) : it->second;
}

// A number the network can ring from: digits and the dialling marks only
// (no #, which a script line would read as a comment).
bool Callable(std::u16string_view number) {
    bool digit = false;
    for (char16_t c : number) {
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (std::u16string_view(u"+*()- ").find(c) == std::u16string_view::npos)
            return false;
    }
    return digit;
}

std::string Point(POINT p) {
    return std::to_string(p.x) + "," + std::to_string(p.y);
}

} // namespace

std::string ClockText(Ms t) {
    char buf[32];
    Ms s = t / 1000;
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%u:%02u:%02u", unsigned(s / 3600), unsigned(s / 60 % 60),
                      unsigned(s % 60));
    else
        std::snprintf(buf, sizeof buf, "%u:%02u", unsigned(s / 60), unsigned(s % 60));
    return buf;
}

std::string Narrator::ProgramOf(const std::string& pid) const {
    auto it = programs_.find(pid);
    return it == programs_.end() ? "the system" : it->second;
}

std::optional<std::string> Narrator::Say(const TimelineEntry& e, Device& d) {
    const std::string& w = e.what;
    if (w == "process.start") {
        std::string name = script::ProgramLabel(e.Get("path"));
        programs_[e.Get("process")] = name;
        if (name == "audio") return std::nullopt;
        return name + " started";
    }
    if (w == "process.exit") {
        std::string name = ProgramOf(e.Get("process"));
        if (name == "audio") return std::nullopt;
        return name + " ended";
    }
    if (w == "call.state") {
        std::string words = CallWords(e.Get("state"));
        if (words.empty()) return std::nullopt;
        std::string number = e.Get("number").empty() ? "a withheld number" : e.Get("number");
        bool incoming = e.Get("direction") == "incoming";
        return "call " + std::string(incoming ? "from " : "to ") + number + " " + words;
    }
    if (w == "window.create" && e.Get("class") == Narrow(LOCK_WINDOW_CLASS)) {
        lockWindows_.insert(e.Get("window"));
        return std::nullopt;
    }
    if ((w == "window.show" || w == "window.hide" || w == "window.destroy") &&
        lockWindows_.count(e.Get("window")))
        return std::string("lock window ") + (w == "window.show"   ? "shown"
                                              : w == "window.hide" ? "hidden"
                                                                   : "closed");
    if (w == "sound.start") {
        double bytesPerSecond =
            double(e.Number("rate")) * double(e.Number("channels")) * double(e.Number("bits")) / 8;
        auto bytes = size_t(e.Number("bytes"));
        std::string name = bytes == lockprogram::kLockSoundBytes      ? "lock chime"
                           : bytes == lockprogram::kElapsedSoundBytes ? "interval chime"
                                                                      : "a sound";
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, " %.1f s",
                      bytesPerSecond > 0 ? double(bytes) / bytesPerSecond : 0.0);
        return "sound: " + name + seconds + " (" + ProgramOf(e.Get("process")) + ")";
    }
    if (w == "backlight.set") {
        bool on = e.Number("state") != D4;
        if (backlight_ == on) return std::nullopt;
        backlight_ = on;
        return std::string("backlight ") + (on ? "on" : "off");
    }
    if (w == "led.set" && e.Number("vibrator") && e.Number("state") != NLED_OFF) return "vibration";
    if (w == "input.stylus" && e.Get("action") == "down")
        return "tap " + e.Get("x") + "," + e.Get("y") + " to " +
               (e.Number("window") ? ProgramOf(e.Get("process")) : "nothing");
    if (w == "input.key" && e.Get("action") == "down")
        return "key " + KeyWord(e.Number("vk")) + " to " +
               (e.Number("window") ? ProgramOf(e.Get("process")) : "nothing");
    if (w == "msgbox.show") return "message: \"" + e.Get("text") + "\"";
    if (w.rfind("phone.", 0) == 0 && w != "phone.mute") return "Phone: " + w.substr(6) + " pressed";
    if (w == "phone.mute") return std::string("Phone: ") + (e.Number("on") ? "muted" : "unmuted");
    (void)d;
    return std::nullopt;
}

std::string LineOf(const script::Action& action) {
    using namespace script;
    auto number = [](const std::u16string& n) { return n.empty() ? "" : " " + Narrow(n); };
    if (auto* s = std::get_if<step::Stylus>(&action))
        return std::string("stylus ") +
               (s->move == step::Stylus::Move::Down   ? "down "
                : s->move == step::Stylus::Move::Move ? "move "
                                                      : "up ") +
               Point(s->point);
    if (auto* k = std::get_if<step::Key>(&action))
        return std::string("key ") + (k->down ? "down " : "up ") + k->name;
    if (auto* t = std::get_if<step::Tap>(&action))
        return "tap " + Point(t->target.point) +
               (t->hold == 100 ? "" : " for " + FormatMs(t->hold));
    if (auto* p = std::get_if<step::Press>(&action))
        return "press " + p->name + (p->hold == 100 ? "" : " for " + FormatMs(p->hold));
    if (auto* c = std::get_if<step::IncomingCall>(&action))
        return "gsm call " + (c->withheld ? std::string("withheld") : Narrow(c->number)) +
               (c->data ? " data" : "");
    if (auto* c = std::get_if<step::Dial>(&action))
        return "dial " + Narrow(c->number) + (c->data ? " data" : "");
    if (auto* g = std::get_if<step::Gsm>(&action)) {
        static const char* const verbs[] = {"accept", "hold", "busy", "cancel"};
        return std::string("gsm ") + verbs[int(g->verb)] + number(g->number);
    }
    if (auto* s = std::get_if<step::Start>(&action))
        return std::string("start ") + script::ProgramLabel(Narrow(ProgramPath(s->program)));
    Platform::Fatal("LineOf: the live phone records no such step");
}

std::string ScenarioText(const std::string& opening, const std::vector<Recorded>& inputs, Ms end) {
    using namespace script;
    std::string body;
    Ms clock = 0;
    auto add = [&](Ms t, const Action& a, Ms takes) {
        body += "at " + FormatMs(t) + "\n" + LineOf(a) + "\n";
        clock = t + takes;
    };
    for (size_t i = 0; i < inputs.size(); ++i) {
        const Recorded& r = inputs[i];
        const Recorded* next = i + 1 < inputs.size() ? &inputs[i + 1] : nullptr;
        auto* s = std::get_if<step::Stylus>(&r.action);
        auto* up = next ? std::get_if<step::Stylus>(&next->action) : nullptr;
        if (s && up && s->move == step::Stylus::Move::Down && up->move == step::Stylus::Move::Up &&
            s->point.x == up->point.x && s->point.y == up->point.y) {
            step::Tap tap{{Target::Kind::Point, s->point, {}}, next->t - r.t};
            add(r.t, tap, tap.hold);
            ++i;
            continue;
        }
        auto* k = std::get_if<step::Key>(&r.action);
        auto* release = next ? std::get_if<step::Key>(&next->action) : nullptr;
        if (k && release && k->down && !release->down && k->vk == release->vk) {
            step::Press press{k->vk, k->name, next->t - r.t};
            add(r.t, press, press.hold);
            ++i;
            continue;
        }
        add(r.t, r.action, 0);
    }
    if (end > clock) body += "at " + FormatMs(end) + "\n";
    std::string limit;
    Ms last = std::max(end, clock);
    if (last + 1000 > 3600000) limit = "limit " + FormatMs(last + 60000) + "\n";
    return "# A session of the live phone, saved at " + ClockText(end) +
           ". Replay it with: handset run FILE\n" + limit + opening + body;
}

std::optional<std::string> OpeningLines(script::ScreenSize size, const std::string* vcf,
                                        const std::string& vcfName, const std::string* reg,
                                        const std::string& regName, std::string* error) {
    std::string lines;
    if (size.width != 240 || size.height != 320 || size.dpi != 96)
        lines +=
            "screen " + size.Name() +
            (size.dpi != (size.width >= 480 ? 192 : 96) ? " dpi " + std::to_string(size.dpi) : "") +
            "\n";
    if (vcf) {
        VcardResult cards;
        if (!ParseVcards(*vcf, vcfName, &cards, error)) return std::nullopt;
        for (const ContactRecord& c : cards.contacts) {
            std::u16string name = c.firstName;
            if (!c.lastName.empty()) name += (name.empty() ? u"" : u" ") + c.lastName;
            if (name.empty()) name = c.fileAs.empty() ? c.companyName : c.fileAs;
            std::string quoted;
            for (char ch : Narrow(name))
                if (ch != '"') quoted += ch;
            const std::pair<const char*, const std::u16string*> numbers[] = {
                {"mobile", &c.mobileTelephoneNumber},  {"home", &c.homeTelephoneNumber},
                {"home", &c.home2TelephoneNumber},     {"work", &c.businessTelephoneNumber},
                {"work", &c.business2TelephoneNumber}, {"car", &c.carTelephoneNumber},
                {"radio", &c.radioTelephoneNumber},    {"pager", &c.pagerNumber}};
            for (const auto& [kind, number] : numbers)
                if (!number->empty() && Callable(*number))
                    lines += "contact \"" + quoted + "\" " + kind + " " + Narrow(*number) + "\n";
        }
    }
    if (reg) {
        // Read on a registry of its own: only the settings go to the phone.
        Device scratch;
        if (!scratch.Get<Registry>().LoadRegText(*reg, regName, error)) return std::nullopt;
        for (const script::SettingInfo& s : script::Settings())
            if (auto v = scratch.Get<Registry>().GetDword(HKEY_LOCAL_MACHINE,
                                                          u"Software\\Apps\\Tessaril", s.name))
                // The stored index, which reads back exactly; the sheet's words beside it.
                lines += "set " + Narrow(s.name) + " " + std::to_string(int32_t(*v)) +
                         (*v < s.items.size() ? " # " + s.items[*v] : "") + "\n";
    }
    return lines + "install\nstart Tessaril\n";
}

} // namespace handset::live
