// What the phone's programs share inside the handset: their main routines,
// the state the driver reads, and drawing helpers on the platform calls.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "apps/apps.h"
#include "device/area.h"
#include "tapi/network.h"

namespace handset::apps {

int TodayMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);
int PhoneMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

// The Phone program's state, where the driver can read it.
struct PhoneState {
    HWND window = nullptr;
    DWORD tid = 0;
    CallId call = 0; // the call shown; 0 for none
    bool connected = false;
    uint64_t connectedAt = 0;
    bool ended = false;
    uint64_t endedAt = 0;
    bool muted = false;
    int pressed = -1; // the button the stylus is down on
    int listener = 0; // on the cellular network
};

class Programs final : public Area {
  public:
    using Area::Area;
    PhoneShellOptions options;
    PhoneState phone;
    HWND today = nullptr;
    std::u16string todayDate; // as the Today screen last painted it
};

Programs& State();

// The screen's density over the standard 96 dpi: 1 or 2.
int Scale();

// Drawing through the platform calls, as any program draws.
void FillColour(HDC dc, RECT r, COLORREF colour);
void FrameColour(HDC dc, RECT r, int width, COLORREF colour);
void DrawLabel(HDC dc, RECT r, std::u16string_view text, int em, bool bold, COLORREF colour,
               UINT format);

// The Phone window's buttons in client coordinates, Hold, Mute, End.
struct PhoneLayout {
    RECT status, name, number, time;
    RECT buttons[3];
};
PhoneLayout LayOutPhone(LONG width, LONG height, int scale);

} // namespace handset::apps
