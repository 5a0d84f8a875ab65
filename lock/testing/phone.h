// A handset with the phone's own programs, a contact, the cellular line and
// Tessaril installed: what the lock program's tests, its benchmark and the
// demo begin with.
#pragma once

#include <string>
#include <vector>

#include "apps/apps.h"
#include "audio/audio.h"
#include "core/lock_state.h"
#include "device/device.h"
#include "gdi/gdi.h"
#include "pim/store.h"
#include "power/power.h"
#include "registry/registry.h"
#include "shell/install.h"
#include "tapi/network.h"
#include "testing/lock_testing.h"
#include "user/input.h"
#include "user/window_manager.h"

namespace lockprogram {

// Sizes of the data of WAVE 131 (the lock sound) and 133 (the interval sound).
inline constexpr size_t kLockSoundBytes = 17444;
inline constexpr size_t kElapsedSoundBytes = 6904;

struct ScreenSize {
    int width = 240, height = 320, dpi = 96;
};

struct Phone {
    handset::Device d;
    DWORD cell = 0;
    DWORD pid = 0;

    explicit Phone(ScreenSize size = ScreenSize{}) {
        if (size.width != 240) d.Get<handset::Screen>().SetSize(size.width, size.height, size.dpi);
        cell = Net().AddStandardLines();
        std::string error;
        if (!Contacts().LoadVcfText(
                "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;Anna;;;\r\nTEL;TYPE=CELL:+44 7700 900123\r\n"
                "END:VCARD\r\n",
                "anna.vcf", &error))
            handset::Platform::Fatal(error);
        handset::apps::StartPhoneShell(d);
        RegisterLockProgram(d);
    }

    handset::CellularNetwork& Net() { return d.Get<handset::CellularNetwork>(); }
    handset::PimStore& Contacts() { return d.Get<handset::PimStore>(); }
    handset::WindowManager& Windows() { return d.Get<handset::WindowManager>(); }

    void SetSetting(const char16_t* name, DWORD value) {
        d.Get<handset::Registry>().SetDword(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Tessaril", name,
                                            value);
    }

    // Starts Tessaril and lets it play its start sound.
    DWORD Start() {
        pid = d.StartProgram(handset::kLockProgramPath);
        d.RunFor(1000);
        return pid;
    }

    // A call from Anna, connected at `at` + 2000 ms.
    handset::CallId CallFromAnna(uint64_t at, uint64_t talkMs) {
        return Net().ScheduleIncoming(at, cell, u"07700900123",
                                      handset::CallPlan{.ringMs = 2000, .talkMs = talkMs});
    }

    // The program's playbacks of a sound, by its data size, their start times.
    std::vector<uint64_t> SoundStarts(size_t bytes) {
        std::vector<uint64_t> at;
        for (const auto& p : d.Get<handset::Audio>().Playbacks())
            if (p.pid == pid && p.data.size() == bytes) at.push_back(p.start);
        return at;
    }

    // When the lock program set each timer id, with its period.
    std::vector<std::string> TimersSet() {
        std::vector<std::string> out;
        for (const auto* e : d.timeline().Find("timer.set"))
            if (e->pid == pid)
                out.push_back(e->Get("id") + "@" + std::to_string(e->t) + "/" + e->Get("period"));
        return out;
    }

    uint64_t FirstTime(const char* what) {
        for (const auto* e : d.timeline().Find(what))
            if (e->pid == pid) return e->t;
        return 0;
    }

    bool LockShown() {
        HWND w = g_lockState.lockWindow;
        return w && Windows().Info(w) && Windows().Info(w)->visible;
    }

    void Post(UINT message) {
        DWORD tid = d.PrimaryThreadId(pid);
        d.Call([tid, message] { PostThreadMessageW(tid, message, 0, 0); });
    }
};

} // namespace lockprogram
