// The system's control classes, in the phone's look: STATIC (text left,
// centred or right, an icon at its own size), BUTTON (push buttons, check
// boxes, group boxes), EDIT (one line) and COMBOBOX (a drop-down list, or a
// drop-down with an edit field), whose list is a popup of class ComboLBox.
// Each tells its parent what happens through WM_COMMAND, as Win32's do.
//
// The handset's choices, where Win32 leaves them open or the phone differs:
// - A tap is the stylus down and up on the control; a push button or check
//   box acts on the up inside it (a check box of BS_AUTOCHECKBOX toggles,
//   then BN_CLICKED). Controls take the focus when tapped.
// - A combo box's window is its selection field: its template height is
//   the dropped list's reach, as on Win32. The field is as high as the
//   font's cell and 6 pixels of edges; list items as high as the cell.
// - A tap on the field of a drop-down list (on the arrow of a drop-down)
//   opens the list below the field, or above it when the screen ends; a tap
//   on an item selects it and sends CBN_SELCHANGE, CBN_SELENDOK and
//   CBN_CLOSEUP; a tap beside the list closes it (CBN_SELENDCANCEL,
//   CBN_CLOSEUP) and goes nowhere else. A list longer than its reach opens
//   with the selection as its first row, or as far down as fills it.
// - A combo box of WS_VSCROLL whose list holds more items than its rows
//   gives the list a scroll bar on its right (see user/scrollbar.h): a
//   stylus down on an arrow scrolls a line, on the track beside the thumb a
//   page (both repeat while held: after 400 ms, then every 100 ms), and the
//   thumb follows the stylus, taking its moves and lift wherever they go;
//   none of them selects or closes. Without WS_VSCROLL there is no bar.
// - CB_SETCURSEL to an index outside the items clears the selection and
//   answers CB_ERR. Text typed into a drop-down's field selects the item
//   whose text is the same (ignoring case), and clears the selection when
//   none is.
// - No caret is drawn, and the edit field takes characters at its end
//   (VK_BACK takes the last one away).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/device.h"

namespace handset {

class WindowManager;

// The control classes and the dialog class, registered once for every
// process (as the system's).
void RegisterControlClasses(WindowManager& wm);

// ---- Driving: for tests and scenarios -------------------------------------------------
// The first control with the id in the topmost dialog (a visible top-level
// window with children) that has one, searching its children and theirs
// (property sheet pages) in z-order; null when none has.
HWND FindControl(Device& d, int id);
// The first control whose text is the text (ignoring case), likewise.
HWND FindControl(Device& d, std::u16string_view text);
// Where the window is on the screen, in screen pixels.
RECT ScreenRectOf(Device& d, HWND window);
// Taps the middle of the control.
void TapControl(Device& d, HWND control);

struct ComboInfo {
    std::vector<std::u16string> items;
    int selection = -1;
    bool dropped = false;
    std::u16string text; // the field's
    HWND list = nullptr; // the dropped list
    // The dropped list's first item in sight and how many rows it has.
    int firstShown = 0;
    int rowsShown = 0;
    // Its scroll bar's parts in screen pixels, when it has one.
    struct ScrollBar {
        RECT up, down, track, thumb;
    };
    std::optional<ScrollBar> scrollBar;
};
std::optional<ComboInfo> ReadCombo(Device& d, HWND combo);
// Where item i of the dropped list is, in screen pixels; scrolls it into
// sight first with taps on the list's scroll bar arrows. Fatal when the list
// is not dropped, or the item is out of sight in a list without a scroll bar.
RECT ComboItemRect(Device& d, HWND combo, int index);
// Opens the list with a tap (unless it is open) and taps the item with the
// text (ignoring case); fatal when there is none.
void PickComboItem(Device& d, HWND combo, std::u16string_view text);
// Taps the control (giving it, or a combo box's edit field, the focus) and
// types the text through the input panel, one WM_CHAR each.
void TypeText(Device& d, HWND control, std::u16string_view text);
// A check box's BM_GETCHECK, read without a message.
int CheckState(Device& d, HWND button);

} // namespace handset
