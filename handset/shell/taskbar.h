// The shell's taskbar: the strip at the top of the screen with the Start
// icon, the title of the foreground window and the input-panel button, and
// the full-screen state that SHFullScreen (fullscreen.cpp) sets.
//
// The taskbar is a topmost window of the shell program (the Today screen's
// process, handset/apps), which creates it with CreateWindow() and paints it
// in its message loop. SHFullScreen works without it too: the state is kept
// here and the window follows it when there is one.
//
// The shell's choices, where the documents leave them open:
// - SHFS_HIDETASKBAR puts the taskbar at the very bottom of the z-order, out
//   of the topmost band; SHFS_SHOWTASKBAR puts it back on top.
// - The full screen belongs to the window that asked for it: when another
//   window comes to the foreground, the shell shows the taskbar, the Start
//   icon and the input-panel button again.
// - While the Start icon is hidden, a tap on the taskbar goes to the window
//   that hid it (WM_LBUTTONDOWN and WM_LBUTTONUP, in its client
//   coordinates). With the icon shown, a tap on it would open the Start
//   menu, and one on the input-panel button the input panel: neither is
//   emulated.
#pragma once

#include <windows.h>

#include "device/area.h"

namespace handset {

class Taskbar final : public Area {
  public:
    explicit Taskbar(Platform& platform);

    // ---- Reading: for tests and scenarios -------------------------------------
    bool OnTop() const { return onTop_; }
    bool SipButtonShown() const { return sipButton_; }
    bool StartIconShown() const { return startIcon_; }
    HWND Window() const { return window_; }
    // The strip's places, in screen (and its client) coordinates.
    RECT StartIconRect() const;
    RECT SipButtonRect() const;

    // ---- For the shell program ---------------------------------------------------
    // Registers the taskbar's class and makes its window on the calling
    // thread, which then serves it.
    HWND MakeWindow();

    // ---- For SHFullScreen ------------------------------------------------------------
    void FullScreen(HWND requester, DWORD state);

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HWND hwnd);
    void Tapped(UINT message, LPARAM at);
    void ForegroundChanged(HWND foreground);
    void Refresh();

    HWND window_ = nullptr;
    HWND requester_ = nullptr;
    bool onTop_ = true;
    bool sipButton_ = true;
    bool startIcon_ = true;
};

} // namespace handset
