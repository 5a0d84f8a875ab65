// Property sheets: pages made from dialog templates (CreatePropertySheetPageW)
// and the sheet that shows one page at a time with a tab for each
// (PropertySheetW), in the phone's manner: the sheet fills the screen between
// the taskbar and the menu bar, its OK button is the taskbar's, and a
// program that answers PSCB_GETVERSION with COMCTL32_VERSION (0x20C or more)
// gets flat tabs along the bottom; an older answer puts them at the top.
//
// What the sheet does, as Win32 orders it:
// - Before it exists: PSCB_GETVERSION, PSCB_GETTITLE (a title the callback
//   writes replaces the caption), PSCB_PRECREATE with the sheet's template.
//   Then the tabs; PSCB_INITIALIZED with the header; the pages marked
//   PSP_PREMATURE and the start page, in page order, each after its callback
//   answers PSPCB_CREATE with nonzero (WM_INITDIALOG's lParam is the sheet's
//   copy of its PROPSHEETPAGEW, the program's own bytes after it included);
//   then PSN_SETACTIVE to the start page, which shows.
// - A tap on a tab: PSN_KILLACTIVE to the page on top (nonzero in
//   DWL_MSGRESULT keeps it), the new page made if it was not, PSN_SETACTIVE
//   (-1 refuses), and it shows.
// - OK (the taskbar's button, or WM_COMMAND IDOK): PSN_KILLACTIVE to the page
//   on top (nonzero stops), then PSN_APPLY with lParam TRUE to every page
//   made so far, in page order; PSNRET_INVALID shows that page and stops,
//   PSNRET_INVALID_NOCHANGEPAGE stops. Then the sheet closes: 1.
// - Cancel (WM_COMMAND IDCANCEL, WM_CLOSE): PSN_QUERYCANCEL to the page on
//   top (nonzero stops), PSN_RESET to every page made, in order; 0.
// - PSM_QUERYSIBLINGS goes to the pages made, in page order, until one
//   answers nonzero, which is the answer. Any other WM_COMMAND (the menu
//   bar's) goes to the page on top.
// - When it closes the pages are destroyed (PSPCB_RELEASE to each), and so
//   are the HPROPSHEETPAGEs it was given.
//
// Not emulated (the run stops, naming them): wizards, modeless sheets,
// adding and removing pages, a page whose callback refused PSPCB_CREATE
// being shown.
#pragma once

#include <windows.h>
#include <prsht.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/area.h"
#include "device/device.h"
#include "device/handles.h"

namespace handset {

inline constexpr HandleKind kPropSheetPage{"property sheet page", "property sheet pages"};

class PropertySheets final : public Area {
  public:
    using Area::Area;

    // ---- Reading: for tests and scenarios -------------------------------------------
    struct SheetInfo {
        HWND window = nullptr;
        HWND tabs = nullptr;
        int current = -1;
        int version = 0; // what PSCB_GETVERSION answered
        bool tabsAtBottom = false;
        std::vector<std::u16string> titles;
        std::vector<HWND> pages;    // null for a page not made yet
        std::vector<RECT> tabRects; // on the screen
    };
    // The open sheet (the newest), or none.
    std::optional<SheetInfo> Open() const;

    // ---- For the calls ------------------------------------------------------------------
    struct Page;
    struct Sheet;
    // A page from the program's PROPSHEETPAGEW; null with *error (a last error).
    std::shared_ptr<Page> MakePage(const PROPSHEETPAGEW& psp, DWORD* error);
    int Run(const PROPSHEETHEADERW& header, std::vector<HPROPSHEETPAGE> pages);
    // PSPCB_RELEASE and the page's own reference counting.
    void Release(Page& page);

  private:
    static LRESULT CALLBACK SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK TabsProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    Sheet* SheetOf(HWND window) const;
    bool MakePageWindow(Sheet& sheet, int index);
    bool SetCurrent(Sheet& sheet, int index);
    LRESULT Notify(Sheet& sheet, HWND page, UINT code, LPARAM lParam);
    bool Apply(Sheet& sheet, bool ok);
    bool Cancel(Sheet& sheet);
    std::vector<RECT> TabRects(const Sheet& sheet) const; // in the tabs' client coordinates
    void PaintTabs(HWND hwnd);

    std::vector<HWND> open_;
};

// Taps the tab of the open sheet's page index.
void TapTab(Device& d, int index);

} // namespace handset
