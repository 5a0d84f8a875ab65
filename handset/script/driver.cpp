// The steps that act on the phone, moved here from the runner so that the
// live phone drives it through the same calls.
#include "script/driver.h"

#include <algorithm>

#include "apps/apps.h"
#include "commctrl/propsheet.h"
#include "common/text.h"
#include "config_testing.h"
#include "core/lock_sequence.h"
#include "gdi/gdi.h"
#include "pim/store.h"
#include "registry/registry.h"
#include "shell/install.h"
#include "shell/menubar.h"
#include "shell/shell.h"
#include "shell/taskbar.h"
#include "testing/lock_testing.h"
#include "testing/phone.h"
#include "user/controls.h"
#include "user/input.h"
#include "window/lock_window.h"

namespace handset::script {

namespace {

constexpr char16_t kSettingsKey[] = u"Software\\Apps\\Tessaril";

bool UnderWay(const NetworkCall& c) {
    return c.state != LINECALLSTATE_IDLE && c.state != LINECALLSTATE_DISCONNECTED;
}

std::string Titles(const std::vector<std::u16string>& titles) {
    std::string out;
    for (const auto& t : titles)
        out += (out.empty() ? "" : ", ") + Narrow(t);
    return out;
}

} // namespace

std::string Digits(std::u16string_view number) {
    std::string d;
    for (char16_t c : number)
        if (c >= u'0' && c <= u'9') d += char(c);
    return d;
}

Driver::Driver(ScreenSize size) {
    if (size.width != 240 || size.height != 320 || size.dpi != 96)
        d_.Get<Screen>().SetSize(size.width, size.height, size.dpi);
    cell_ = Net().AddStandardLines();
    apps::StartPhoneShell(d_);
    // The phone boots its shell again after a soft reset.
    d_.Get<Shell>().AddStartup(apps::kShellPath, u"");
    d_.Get<Shell>().AddStartup(apps::kPhonePath, u"");
}

HWND Driver::LockWindow() {
    return Windows().FindByClass(LOCK_WINDOW_CLASS);
}

bool Driver::Acts(const Action& a) {
    return !(std::holds_alternative<step::Wait>(a) || std::holds_alternative<step::At>(a) ||
             std::holds_alternative<step::Apply>(a) || std::holds_alternative<step::Shot>(a) ||
             std::holds_alternative<step::RandomTaps>(a) ||
             std::holds_alternative<step::RandomFaults>(a) ||
             std::holds_alternative<step::Expect>(a));
}

// Each step's operator gives what stood in its way, or nothing.
struct Driver::Visitor {
    using Result = std::optional<std::string>;
    Driver& dr;
    const Step& step;
    Device& d_;
    DWORD cell_;

    CellularNetwork& Net() { return dr.Net(); }
    WindowManager& Windows() { return dr.Windows(); }
    HWND LockWindow() { return dr.LockWindow(); }
    std::optional<std::string> Outside(POINT p) { return dr.Outside(p); }
    std::string OnTop() { return dr.OnTop(); }
    HWND LabelledBox(HWND label) { return dr.LabelledBox(label); }

    Result operator()(const step::Contacts& c) {
        std::string error;
        if (!d_.Get<PimStore>().LoadVcfText(c.text, c.file, &error)) return error;
        return {};
    }
    Result operator()(const step::Contact& c) {
        std::string error;
        std::string source = "line " + std::to_string(step.at.line);
        if (!d_.Get<PimStore>().LoadVcfText(c.vcard, source, &error)) return error;
        return {};
    }
    Result operator()(const step::RegistryFile& r) {
        std::string error;
        if (!d_.Get<Registry>().LoadRegText(r.text, r.file, &error)) return error;
        return {};
    }
    Result operator()(const step::Set& set) {
        d_.Get<Registry>().SetDword(HKEY_LOCAL_MACHINE, kSettingsKey, set.setting->name, set.value);
        return {};
    }
    Result operator()(const step::Install&) {
        RegisterLockProgram(d_);
        InstallConfigProgram(d_, TessarilMain);
        return {};
    }
    Result operator()(const step::Start& start) {
        if (!d_.StartProgram(ProgramPath(start.program), start.commandLine))
            return std::string(ProgramName(start.program)) + " is not installed";
        d_.RunUntilIdle();
        return {};
    }
    Result operator()(const step::IncomingCall& call) {
        CallOptions options;
        options.withheld = call.withheld;
        if (call.data) options.mediaMode = LINEMEDIAMODE_DATAMODEM;
        Net().Incoming(cell_, call.number, options);
        d_.RunUntilIdle();
        return {};
    }
    Result operator()(const step::Dial& dial) {
        CallOptions options;
        if (dial.data) options.mediaMode = LINEMEDIAMODE_DATAMODEM;
        CallId id = Net().Outgoing(cell_, dial.number, options);
        // The network's progress, as ScheduleOutgoing makes it; the far end
        // answers only when the script says so.
        // (The events outlive this visitor: they hold the driver.)
        Driver* driver = &dr;
        d_.At(d_.Now() + 500, [driver, id] {
            if (driver->Net().Call(id).state == LINECALLSTATE_DIALING) driver->Net().Proceeding(id);
        });
        d_.At(d_.Now() + 1500, [driver, id] {
            if (driver->Net().Call(id).state == LINECALLSTATE_PROCEEDING)
                driver->Net().Ringback(id);
        });
        d_.RunUntilIdle();
        return {};
    }
    Result operator()(const step::Gsm& g) {
        std::vector<NetworkCall> live;
        for (const NetworkCall& c : Net().Calls())
            if (UnderWay(c) && (g.number.empty() || Digits(c.number) == Digits(g.number)))
                live.push_back(c);
        if (live.empty())
            return g.number.empty() ? std::string("no call is under way")
                                    : "no call with " + Narrow(g.number) + " is under way";
        if (live.size() > 1)
            return std::to_string(live.size()) + " calls are under way; name the number";
        const NetworkCall& c = live[0];
        std::string is = "the call with " + Narrow(c.number) + " is " + CallStateName(c.state);
        switch (g.verb) {
        case step::Gsm::Verb::Accept:
            if (c.state == LINECALLSTATE_ONHOLD)
                Net().Resume(c.id);
            else if (c.state == LINECALLSTATE_CONNECTED || c.state == LINECALLSTATE_BUSY)
                return is + "; there is nothing to accept";
            else
                Net().Connect(c.id);
            break;
        case step::Gsm::Verb::Hold:
            if (c.state != LINECALLSTATE_CONNECTED) return is + "; only a connected call is held";
            Net().Hold(c.id);
            break;
        case step::Gsm::Verb::Busy:
            if (c.direction != Direction::Outgoing || c.state == LINECALLSTATE_CONNECTED ||
                c.state == LINECALLSTATE_ONHOLD)
                return is + "; only a call being dialled meets a busy line";
            if (c.state != LINECALLSTATE_BUSY) Net().SetState(c.id, LINECALLSTATE_BUSY);
            Net().HangUp(c.id, LINEDISCONNECTMODE_BUSY);
            break;
        case step::Gsm::Verb::Cancel:
            Net().HangUp(c.id);
            break;
        }
        d_.RunUntilIdle();
        return {};
    }
    Result operator()(const step::Tap& tap) {
        const Target& t = tap.target;
        WindowManager& wm = Windows();
        switch (t.kind) {
        case Target::Kind::Point:
            if (auto outside = Outside(t.point)) return outside;
            handset::Tap(d_, t.point, tap.hold);
            return {};
        case Target::Kind::Lock: {
            HWND lock = LockWindow();
            if (!lock || !wm.Info(lock)->visible)
                return std::string("the lock window is not shown");
            handset::Tap(d_, Centre(ScreenRectOf(d_, lock)));
            return {};
        }
        case Target::Kind::PhoneEnd:
        case Target::Kind::PhoneHold:
        case Target::Kind::PhoneMute: {
            if (!apps::PhoneWindow(d_)) return std::string("the Phone program does not run");
            auto button = t.kind == Target::Kind::PhoneEnd    ? apps::PhoneButton::End
                          : t.kind == Target::Kind::PhoneHold ? apps::PhoneButton::Hold
                                                              : apps::PhoneButton::Mute;
            handset::Tap(d_, Centre(apps::PhoneButtonRect(d_, button)));
            return {};
        }
        case Target::Kind::Ok: {
            Taskbar& bar = d_.Get<Taskbar>();
            if (!bar.OkButtonShown()) return std::string("the taskbar shows no OK button");
            handset::Tap(d_, Centre(bar.OkButtonRect()));
            return {};
        }
        case Target::Kind::Tab: {
            auto sheet = d_.Get<PropertySheets>().Open();
            if (!sheet) return std::string("no settings sheet is open");
            for (size_t i = 0; i < sheet->titles.size(); ++i)
                if (SameName(sheet->titles[i], t.text)) {
                    TapTab(d_, int(i));
                    return {};
                }
            return "the sheet has no tab \"" + Narrow(t.text) + "\"; its tabs are " +
                   Titles(sheet->titles);
        }
        case Target::Kind::Control: {
            HWND control = FindControl(d_, t.text);
            if (!control) return "no control reads \"" + Narrow(t.text) + "\"" + OnTop();
            // A label stands for the box beside it, as a person means it.
            if (auto info = wm.Info(control); info && SameName(info->className, u"Static"))
                if (HWND box = LabelledBox(control)) control = box;
            TapControl(d_, control);
            return {};
        }
        }
        return {};
    }
    Result operator()(const step::Drag& drag) {
        if (auto outside = Outside(drag.from)) return outside;
        if (auto outside = Outside(drag.to)) return outside;
        handset::Drag(d_, drag.from, drag.to);
        return {};
    }
    Result operator()(const step::Press& press) {
        PressKey(d_, press.vk, press.hold);
        return {};
    }
    Result operator()(const step::Stylus& s) {
        if (auto outside = Outside(s.point)) return outside;
        switch (s.move) {
        case step::Stylus::Move::Down:
            Windows().StylusDown(s.point);
            break;
        case step::Stylus::Move::Move:
            Windows().StylusMove(s.point);
            break;
        case step::Stylus::Move::Up:
            Windows().StylusUp(s.point);
            break;
        }
        d_.RunUntilIdle();
        return {};
    }
    Result operator()(const step::Key& k) {
        if (k.down)
            Windows().KeyDown(k.vk);
        else
            Windows().KeyUp(k.vk);
        d_.RunUntilIdle();
        return {};
    }
    Result operator()(const step::Pick& pick) {
        HWND label = FindControl(d_, pick.label);
        if (!label) return "no label reads \"" + Narrow(pick.label) + "\"" + OnTop();
        HWND box = LabelledBox(label);
        if (!box) return "no list box follows the label \"" + Narrow(pick.label) + "\"";
        auto combo = ReadCombo(d_, box);
        std::vector<std::string> items;
        for (const std::u16string& item : combo->items) {
            if (SameName(item, pick.item)) {
                PickComboItem(d_, box, pick.item);
                return {};
            }
            items.push_back(Narrow(item));
        }
        std::string list;
        for (const std::string& item : items)
            list += (list.empty() ? "" : "; ") + item;
        return "the box \"" + Narrow(pick.label) + "\" has no item \"" + Narrow(pick.item) +
               "\"; its items are: " + list;
    }
    Result operator()(const step::Answer& a) {
        const MessageBoxInfo* box = Windows().OpenMessageBox();
        if (!box) return std::string("no message box is open");
        if (std::find(box->buttons.begin(), box->buttons.end(), a.button) == box->buttons.end())
            return "the message box \"" + Narrow(box->text) + "\" has no " + a.name + " button";
        handset::AnswerMessageBox(d_, a.button);
        return {};
    }
    Result operator()(const step::SoftReset&) {
        d_.Get<Shell>().SoftReset();
        // A reset clears the programs' memory; the handset keeps their
        // globals for the whole run, so they go back to zero here, before
        // the start-up programs run.
        ResetLockProgramGlobals();
        d_.RunUntilIdle();
        return {};
    }
    template <class Other> Result operator()(const Other&) {
        Platform::Fatal("Driver::Act: a step of the runner's was given to the driver");
    }
};

std::optional<std::string> Driver::Act(const Step& step) {
    return std::visit(Visitor{*this, step, d_, cell_}, step.action);
}

std::vector<NetworkCall> Driver::CallsUnderWay() {
    std::vector<NetworkCall> live;
    for (const NetworkCall& c : Net().Calls())
        if (UnderWay(c)) live.push_back(c);
    return live;
}

DWORD Driver::LastProcess(Program p) {
    std::string path = Narrow(ProgramPath(p));
    DWORD pid = 0;
    for (const TimelineEntry* e : d_.timeline().Find("process.start"))
        if (e->Get("path") == path) pid = DWORD(e->Number("process"));
    return pid;
}

std::optional<std::string> Driver::Outside(POINT p) {
    Screen& screen = d_.Get<Screen>();
    if (p.x < screen.Width() && p.y < screen.Height()) return std::nullopt;
    return std::to_string(p.x) + "," + std::to_string(p.y) + " is outside the screen of " +
           std::to_string(screen.Width()) + "x" + std::to_string(screen.Height());
}

std::string Driver::OnTop() {
    auto sheet = d_.Get<PropertySheets>().Open();
    if (!sheet || sheet->current < 0) return " in the dialog on top";
    return " on the sheet's page " + Narrow(sheet->titles[size_t(sheet->current)]) +
           " (its tabs are " + Titles(sheet->titles) + "; tap one first)";
}

// In the dialog's order, as a dialog's mnemonics find it.
HWND Driver::LabelledBox(HWND label) {
    WindowManager& wm = Windows();
    auto info = wm.Info(label);
    if (!info || !info->parent) return nullptr;
    std::vector<HWND> siblings = wm.Children(info->parent); // topmost first: template order
    auto it = std::find(siblings.begin(), siblings.end(), label);
    for (; it != siblings.end(); ++it)
        if (ReadCombo(d_, *it)) return *it;
    return nullptr;
}

} // namespace handset::script
