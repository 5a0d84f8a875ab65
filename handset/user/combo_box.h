// The combo box's parts shared by its field (combo_box.cpp) and its dropped
// list (combo_list.cpp): their states, the list's layout, and the
// operations each side calls on the other.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "device/device.h"
#include "user/control_base.h"
#include "user/scrollbar.h"

namespace handset::controls_detail {

struct ComboState : ControlBase {
    std::vector<std::u16string> items;
    std::vector<LPARAM> data;
    int sel = -1;
    bool dropped = false;
    bool focused = false;
    HWND list = nullptr;
    HWND edit = nullptr;
    int droppedHeight = 0; // the template's height: how far the list may reach
    int itemHeight = 0;
    int top = 0;              // the list's first item in sight
    bool scrollable = false;  // WS_VSCROLL: the list has a scroll bar when it needs one
    bool settingText = false; // the combo box itself writes its edit field
};

struct ListState {
    HWND combo = nullptr;
    int hot = -1;
    ScrollPart pressed = ScrollPart::None; // the scroll bar's part under the stylus
    LONG grab = 0;                         // the stylus below the thumb's top, dragging it
    POINT stylus = {};                     // where the stylus was last
};

// The dropped list inside its one-pixel frame: the rows and, when the items
// outrun them and the combo box has WS_VSCROLL, the scroll bar on the right.
struct ListLayout {
    int rows = 1;
    RECT items = {};
    bool scrolls = false;
    ScrollRange range;
    ScrollLayout bar;
};

// Shows the selection in the field (a drop-down's edit field takes its text).
void ShowSelection(HWND hwnd, ComboState& s);

// Keeps the list's first item such that the item shows.
void ScrollTo(ComboState& s, int item, int rows);

// How many whole items the dropped list holds.
int ListRows(const Window& list, const ComboState& s);

ListLayout LayOutList(const Window& list, const ComboState& s);

// Closes the dropped list, selecting the item picked (-1: none), with the
// notifications a pick or a cancel sends.
void CloseList(HWND combo, int picked);

// Drops the list below the field, or above it when the screen ends there.
void OpenList(HWND combo);

// A rectangle of the window's client in screen pixels.
RECT ToScreen(const Window& w, const RECT& r);

// The combo box's state, for the driver; null for any other window.
ComboState* ComboOf(Device& d, HWND combo);

} // namespace handset::controls_detail
