// The phone's own programs, which share the screen with ours: the Today
// screen (whose process, the shell, also keeps the taskbar) and the Phone
// program, which shows the current call with its Hold, Mute and End buttons
// (Hold reads Answer while a call is offered, and the talk key answers too)
// and comes to the front when a call is offered or placed. Both are Win32
// programs on the platform calls, registered under \Windows\ and run as
// processes of the handset; tests and scenarios start and read them here.
#pragma once

#include <windows.h>

#include <chrono>

#include "device/device.h"

namespace handset::apps {

inline constexpr char16_t kShellPath[] = u"\\Windows\\shell32.exe";
inline constexpr char16_t kPhonePath[] = u"\\Windows\\cprog.exe";

struct PhoneShellOptions {
    // The wall-clock moment of power-on, from which the Today screen counts
    // its date: the handset's kernel keeps no wall clock.
    std::chrono::sys_seconds powerOn =
        std::chrono::sys_days{std::chrono::year{2008} / 6 / 3} + std::chrono::hours{9};
};

struct PhoneShell {
    DWORD shell = 0; // the Today screen and the taskbar
    DWORD phone = 0;
};

// Registers both programs and starts them, the shell first, and runs the
// phone until they wait for something to do. The Phone window starts hidden.
PhoneShell StartPhoneShell(Device& d, PhoneShellOptions options = {});

// The Today screen's owner line comes from this REG_SZ value (the phone
// keeps its owner information in a binary record the handset does not
// emulate).
inline constexpr char16_t kOwnerKey[] = u"ControlPanel\\Owner"; // under HKEY_CURRENT_USER
inline constexpr char16_t kOwnerValue[] = u"Name";

enum class PhoneButton { Hold, Mute, End };
// The Phone program's window, or null while it does not run.
HWND PhoneWindow(Device& d);
// Where the button is on the screen (the Phone window's layout, visible or not).
RECT PhoneButtonRect(Device& d, PhoneButton button);
bool PhoneMuted(Device& d);
HWND TodayWindow(Device& d);

} // namespace handset::apps
