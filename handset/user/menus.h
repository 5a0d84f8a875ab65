// Menus: MENU and MENUEX resources read into a tree, and the menu handles
// that LoadMenuW gives a process (counted as what it holds until
// DestroyMenu). The shell's menu bar builds its soft keys and popups on them.
//
// MENU: WORD version 0 and header size 0, then items: WORD flags (MF_POPUP,
// MF_END on the last of its level, MF_GRAYED, ...), for a command its WORD
// id, then its text ending in 0; a popup's items follow it. MENUEX: WORD
// version 1 and the offset to the items (4 or more), a DWORD help id; each
// item DWORD-aligned: DWORD type, state and id, WORD flags (0x80 the last,
// 0x01 a popup), its text, and for a popup a DWORD help id and its items.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/handles.h"

namespace handset {

class Platform;

struct Menu;
struct MenuItem {
    UINT id = 0;
    std::u16string text;
    UINT flags = 0; // MF_GRAYED, MF_CHECKED, MF_SEPARATOR, MF_POPUP
    std::shared_ptr<Menu> popup;
    HMENU handle = nullptr; // the popup's, once GetSubMenu gave it out
};
struct Menu {
    std::vector<MenuItem> items;
};

void ReclaimMenu(Platform& platform, uintptr_t value, const HandleEntry& entry);
inline constexpr HandleKind kMenu{"menu", "menus", ReclaimMenu};

// False with *error "NAME: byte N: what" (N where the reading broke, never
// past the end) when it is cut off or malformed: an item or text past the
// end, a popup without items, nesting deeper than 16, a version that is
// neither 0 nor 1.
bool ParseMenu(std::span<const unsigned char> bytes, std::string_view name, Menu* out,
               std::string* error);

// The menu resource of the module; null with *error (a last error) when
// there is none, and the timeline's "menu.refused" when it is malformed.
std::shared_ptr<Menu> LoadMenuResource(HINSTANCE instance, LPCWSTR name, DWORD* error);

// A handle of the calling process for the menu (counted), or for one of its
// popups (not counted: it goes with the menu).
HMENU AddMenuHandle(Platform& platform, std::shared_ptr<Menu> menu);
std::shared_ptr<Menu> FindMenu(Platform& platform, HMENU handle);
// The popup's handle, made on first use.
HMENU SubMenuHandle(Platform& platform, MenuItem& item);
// Takes the menu's handle and its popups' away; false when it is none.
bool RemoveMenu(Platform& platform, HMENU handle);

} // namespace handset
