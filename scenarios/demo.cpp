// The demo: Tessaril on the handset, at both screen sizes. The settings
// sheet starts the lock program, then one incoming call from a contact runs
// through the lock. Each step leaves a screenshot as a person would see it;
// the timeline and everything the speaker played are written beside them.
//
//   demo OUTDIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "commctrl/propsheet.h"
#include "config_testing.h"
#include "core/lock_sequence.h"
#include "config/res/resource.h"
#include "shell/menubar.h"
#include "shell/taskbar.h"
#include "testing/phone.h"
#include "user/controls.h"

namespace {

struct Demo {
    lockprogram::Phone& p;
    std::filesystem::path dir;
    int step = 0;

    void Shot(const std::string& name) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%02d-", ++step);
        std::string path = (dir / (prefix + name + ".png")).string();
        std::string error;
        if (!p.d.Get<handset::Screen>().SaveScreenshot(path, handset::Screen::Shot::Seen, &error))
            handset::Platform::Fatal("demo: " + error);
        std::printf("  %6.1f s  %s\n", double(p.d.Now()) / 1000.0, path.c_str());
    }
};

void Run(lockprogram::ScreenSize size, const std::filesystem::path& dir) {
    lockprogram::Phone p(size);
    Demo demo{p, dir};
    std::printf("%dx%d at %d dpi:\n", size.width, size.height, size.dpi);
    InstallConfigProgram(p.d, TessarilMain);
    demo.Shot("today");

    // The settings sheet: the State box set to Active, and Apply starts the
    // lock program.
    DWORD cfg = p.d.StartProgram(handset::kConfigProgramPath);
    p.d.RunUntilIdle();
    demo.Shot("settings");
    handset::PickComboItem(p.d, handset::FindControl(p.d, IDC_STATE), u"Active");
    handset::PressSoftKey(p.d, 0);
    auto& wm = p.Windows();
    p.d.RunUntil([&] { return wm.OpenMessageBox() != nullptr; }, 10000);
    demo.Shot("settings-saved");
    handset::AnswerMessageBox(p.d, IDOK);
    p.d.Get<handset::Taskbar>().PressOk();
    p.d.RunUntilExit(cfg, 5000);
    for (DWORD pid : p.d.ProcessIds())
        if (p.d.FindProcess(pid)->exePath == handset::kLockProgramPath) p.pid = pid;
    if (!p.pid) handset::Platform::Fatal("demo: the settings sheet did not start the lock program");
    p.d.RunFor(1000); // its start sound

    p.CallFromAnna(p.d.Now() + 1000, 240000);
    p.d.RunFor(1500);
    demo.Shot("anna-calls");
    p.d.RunFor(1500);
    p.d.RunFor(1000); // connected: the lock comes at once, the picture after its sound
    demo.Shot("locked");

    // The cheek presses End and the rest of the screen; nothing happens.
    RECT end = handset::apps::PhoneButtonRect(p.d, handset::apps::PhoneButton::End);
    handset::Tap(p.d, handset::Centre(end));
    handset::Drag(p.d, {10, 10}, {size.width - 10, size.height - 10});
    demo.Shot("taps-swallowed");

    p.d.RunFor(6000); // the screen goes dark
    demo.Shot("screen-off");
    handset::PressKey(p.d, VK_RETURN); // wakes it, still locked
    demo.Shot("woken");
    handset::PressKey(p.d, VK_RETURN); // unlocks for a while
    demo.Shot("unlocked");
    p.d.RunFor(6500); // locks again over a fresh snapshot, painted after the lock sound
    demo.Shot("locked-again");

    p.d.RunUntil([&] { return !p.SoundStarts(lockprogram::kElapsedSoundBytes).empty(); }, 200000);
    demo.Shot("interval-signal");

    for (const auto& call : p.Net().Calls())
        if (call.state == LINECALLSTATE_CONNECTED) p.Net().HangUp(call.id);
    p.d.RunFor(2000);
    demo.Shot("hung-up");

    std::string error;
    std::string wav = (dir / "speaker.wav").string();
    if (!p.d.Get<handset::Audio>().WriteSpeakerWav(wav, &error))
        handset::Platform::Fatal("demo: " + error);
    std::string json = (dir / "timeline.jsonl").string();
    std::ofstream(json) << p.d.timeline().ToJsonLines();
    std::printf("  timeline  %s\n  speaker   %s\n", json.c_str(), wav.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo OUTDIR\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    const std::filesystem::path small = out / "240x320", large = out / "480x640";
    for (const auto& dir : {small, large}) {
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        if (error) {
            std::fprintf(stderr, "demo: cannot create %s: %s\n", dir.string().c_str(),
                         error.message().c_str());
            return 1;
        }
    }
    Run({}, small);
    Run({480, 640, 192}, large);
    return 0;
}
