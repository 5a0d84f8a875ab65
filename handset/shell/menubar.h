// The shell's soft-key menu bar (SHCreateMenuBar) and a dialog's set-up as
// a page of the phone (SHInitDialog, dialog_setup.cpp).
//
// A menu bar is a strip along the bottom of the screen, as high as the
// taskbar, owned by the window it serves (so it stays above it and goes
// with it), made on the calling thread, which then serves it. It looks as
// the platform the program was built for draws it (Shell::BuiltFor): on
// Windows Mobile 5.0 its buttons are the soft keys, the first on the left
// half, the second on the right; on Pocket PC 2003 they are menus named
// side by side from the left of a grey bar, with the input panel's button
// at its right end (unless SHCMBF_HIDESIPBUTTON). The buttons come from the
// program's resources: with SHCMBF_HMENU from a MENU,
// whose top-level items are the keys; otherwise from a SHMENUBAR resource
// (RCDATA of WORDs: the menu's id, the button count, then per button its
// image, command, state, style, string id, 0 and the index of the menu's
// top-level item it opens, NOMENU for none).
//
// A key is pressed by a tap on it (down and up on the same key) or by the
// phone's soft-key buttons (VK_TSOFT1, VK_TSOFT2) while its window is in the
// foreground. A key with a command sends WM_COMMAND (the command, 0) to the
// owner; one with a menu opens it as a popup above the key (a soft key's at
// its outer corner, a menu's at its left edge), whose items send their
// command when tapped; a tap beside the popup closes it. Pocket PC 2003
// phones had no soft-key buttons; the handset lets VK_TSOFT1 and VK_TSOFT2
// press that bar's first two menus all the same, so that one script drives
// both builds.
//
// Not emulated (the run stops, naming them): button images (nBmpId,
// I_IMAGENONE is the only image), more than two buttons, the input panel
// (a tap on Pocket PC 2003's input-panel button; on Windows Mobile 5.0
// SHCMBF_HIDESIPBUTTON changes nothing), popups within popups.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/area.h"
#include "device/device.h"

struct tagSHMENUBARINFO;

namespace handset {

struct Menu;
class Painter;

class MenuBars final : public Area {
  public:
    explicit MenuBars(Platform& platform);

    // ---- Reading and driving: for tests and scenarios ----------------------
    struct Key {
        std::u16string text;
        UINT command = 0; // 0 for a key that opens a menu
        bool enabled = true;
        bool opensMenu = false;
        RECT rect = {}; // on the screen
    };
    // The menu bar serving the window (or the top-level window it is in),
    // else null.
    HWND Of(HWND window) const;
    std::vector<Key> Keys(HWND bar) const;
    // Whether the bar has Pocket PC 2003's menus rather than soft keys.
    bool TextMenus(HWND bar) const;
    struct PopupItem {
        std::u16string text;
        UINT command = 0;
        bool enabled = true;
        bool separator = false;
        RECT rect = {}; // on the screen
    };
    // The open popup menu and its items; null and none when no menu is open.
    HWND OpenPopup() const { return popup_; }
    std::vector<PopupItem> PopupItems() const;

    // ---- For SHCreateMenuBar ------------------------------------------------------
    // The menu bar's window, or null with *error (a last error); a malformed
    // SHMENUBAR or MENU resource is refused (ERROR_INVALID_DATA, and
    // "menubar.refused" on the timeline naming it and the byte).
    HWND Make(const tagSHMENUBARINFO& info, DWORD* error);

  private:
    struct Bar;
    static LRESULT CALLBACK BarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool SoftKey(UINT vk, bool down);
    void Press(HWND bar, int key);
    void OpenMenu(HWND bar, int key);
    void ClosePopup();
    void PaintBar(HWND hwnd);
    void PaintMenus(HWND hwnd, Painter& paint);
    void PaintPopup(HWND hwnd);
    Bar* BarOf(HWND bar) const;
    int KeyAt(HWND bar, LPARAM at) const;
    std::vector<RECT> KeyRects(HWND bar) const; // in the bar's client coordinates
    RECT SipRect(HWND bar) const;               // empty when it has none
    std::vector<RECT> PopupRows() const;        // in the popup's client coordinates

    std::vector<HWND> bars_;
    HWND popup_ = nullptr;
    HWND popupBar_ = nullptr;
    int popupKey_ = -1;
    int popupPressed_ = -1;
};

// Presses soft key 0 (left) or 1 (right) with the phone's button.
void PressSoftKey(Device& d, int index);
// Taps soft key 0 or 1 of the foreground window's menu bar.
void TapSoftKey(Device& d, int index);
// Taps the item of the open popup menu with the text (ignoring case and the
// "&" of an accelerator); fatal when no menu is open or it has no such item.
void PickMenuItem(Device& d, std::u16string_view text);

} // namespace handset
