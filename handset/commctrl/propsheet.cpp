// Property sheets: pages, the sheet's window and tabs, its notifications to
// the pages, and the calls.
#include "commctrl/propsheet.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "device/platform.h"
#include "device/relay.h"
#include "gdi/gdi.h"
#include "gdi/text.h"
#include "res/resources.h"
#include "user/controls.h"
#include "user/dialogs.h"
#include "user/draw.h"
#include "user/input.h"
#include "user/window_manager.h"

namespace handset {

struct PropertySheets::Page {
    std::vector<unsigned char> bytes; // the program's PROPSHEETPAGEW, dwSize bytes
    PROPSHEETPAGEW* Psp() { return reinterpret_cast<PROPSHEETPAGEW*>(bytes.data()); }
    DialogTemplate tmpl;
    std::string name;
    std::u16string title;
    HWND window = nullptr;
    bool refused = false; // PSPCB_CREATE answered 0
    bool released = false;
};

struct PropertySheets::Sheet {
    PROPSHEETHEADERW header = {};
    std::vector<HPROPSHEETPAGE> handles;
    std::vector<std::shared_ptr<Page>> pages;
    HWND window = nullptr;
    HWND tabs = nullptr;
    int current = -1;
    int version = 0;
    bool bottom = true;
    int tabHeight = 0;
    std::shared_ptr<const gdi::Font> font;
    bool done = false;
    int result = 0;
    int restart = 0; // ID_PSRESTARTWINDOWS, ID_PSREBOOTSYSTEM
};

namespace {

uint64_t Value(HWND h) {
    return reinterpret_cast<uintptr_t>(h);
}

// A string argument, or a string resource of the instance for an ordinal.
std::u16string TextOrString(HINSTANCE instance, LPCWSTR text) {
    if (!text) return {};
    if (!IS_INTRESOURCE(text)) return text;
    const ResFile* file = Platform::Current().Get<Resources>().Find(instance);
    auto s = file ? file->String(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text)),
                                 Platform::Current().Get<Resources>().Language())
                  : std::nullopt;
    return s ? std::u16string(*s) : std::u16string();
}

// The sheet's own template as PSCB_PRECREATE shows it: a caption, the
// shell font, no controls of its own (the pages and tabs are made apart).
const std::vector<unsigned char>& SheetTemplate() {
    static const std::vector<unsigned char> bytes = [] {
        std::vector<unsigned char> t;
        auto word = [&](uint16_t v) {
            t.push_back(static_cast<unsigned char>(v));
            t.push_back(static_cast<unsigned char>(v >> 8));
        };
        auto dword = [&](uint32_t v) {
            word(static_cast<uint16_t>(v));
            word(static_cast<uint16_t>(v >> 16));
        };
        dword(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT);
        dword(0);
        word(0); // no items
        for (int i = 0; i < 4; ++i)
            word(0);
        word(0); // menu
        word(0); // class
        word(0); // title
        word(8);
        for (char16_t c : std::u16string_view(u"MS Shell Dlg"))
            word(c);
        word(0);
        return t;
    }();
    return bytes;
}

} // namespace

PropertySheets::Sheet* PropertySheets::SheetOf(HWND window) const {
    auto w = platform_.Get<WindowManager>().Get(window);
    return w && w->proc == SheetProc ? static_cast<Sheet*>(w->extra.get()) : nullptr;
}

std::shared_ptr<PropertySheets::Page> PropertySheets::MakePage(const PROPSHEETPAGEW& psp,
                                                               DWORD* error) {
    const DWORD known = PSP_DLGINDIRECT | PSP_USEHICON | PSP_USEICONID | PSP_USETITLE |
                        PSP_HASHELP | PSP_USEREFPARENT | PSP_USECALLBACK | PSP_PREMATURE;
    if (psp.dwFlags & ~known)
        NotEmulated("CreatePropertySheetPageW", "dwFlags " + Hex32(psp.dwFlags));
    auto page = std::make_shared<Page>();
    page->bytes.assign(reinterpret_cast<const unsigned char*>(&psp),
                       reinterpret_cast<const unsigned char*>(&psp) + psp.dwSize);
    bool read =
        (psp.dwFlags & PSP_DLGINDIRECT)
            ? ReadDialogTemplate(psp.hInstance, psp.pResource, &page->tmpl, &page->name, error)
            : LoadDialogTemplate(psp.hInstance, psp.pszTemplate, &page->tmpl, &page->name, error);
    if (!read) return nullptr;
    page->title =
        (psp.dwFlags & PSP_USETITLE) ? TextOrString(psp.hInstance, psp.pszTitle) : page->tmpl.title;
    if ((psp.dwFlags & PSP_USEREFPARENT) && psp.pcRefParent) ++*psp.pcRefParent;
    return page;
}

void PropertySheets::Release(Page& page) {
    if (page.released) return;
    page.released = true;
    PROPSHEETPAGEW* psp = page.Psp();
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback)
        psp->pfnCallback(nullptr, PSPCB_RELEASE, psp);
    if ((psp->dwFlags & PSP_USEREFPARENT) && psp->pcRefParent) --*psp->pcRefParent;
}

LRESULT PropertySheets::Notify(Sheet& sheet, HWND page, UINT code, LPARAM lParam) {
    auto w = platform_.Get<WindowManager>().Get(page);
    if (!w) return 0;
    PSHNOTIFY n = {};
    n.hdr.hwndFrom = sheet.window;
    n.hdr.idFrom = 0;
    n.hdr.code = code;
    n.lParam = lParam;
    return platform_.Get<WindowManager>().Send(w, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
}

bool PropertySheets::MakePageWindow(Sheet& sheet, int index) {
    Page& page = *sheet.pages[static_cast<size_t>(index)];
    if (page.window) return true;
    if (page.refused) return false;
    PROPSHEETPAGEW* psp = page.Psp();
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback &&
        !psp->pfnCallback(nullptr, PSPCB_CREATE, psp)) {
        page.refused = true;
        return false;
    }
    DialogRequest rq;
    rq.call = "PropertySheetW";
    rq.instance = psp->hInstance;
    rq.tmpl = &page.tmpl;
    rq.name = page.name;
    rq.parent = sheet.window;
    rq.proc = psp->pfnDlgProc;
    rq.param = reinterpret_cast<LPARAM>(psp);
    rq.child = true;
    DWORD error = 0;
    HWND made = CreateDialogWindow(rq, &error);
    if (!made)
        Platform::Fatal("PropertySheetW: page " + std::to_string(index) + " (" + page.name +
                        ") could not be made: error " + std::to_string(error));
    page.window = made;
    WindowManager& wm = platform_.Get<WindowManager>();
    auto sheetWindow = wm.Get(sheet.window);
    auto w = wm.Get(made);
    // Pages fill the sheet above (or below) the tabs, as the phone's do.
    LONG top = sheetWindow->rect.top + (sheet.bottom ? 0 : sheet.tabHeight);
    LONG bottom = sheetWindow->rect.bottom - (sheet.bottom ? sheet.tabHeight : 0);
    wm.Move(w, {sheetWindow->rect.left, top, sheetWindow->rect.right, bottom}, true);
    if (index != sheet.current) wm.Show(w, SW_HIDE);
    platform_.timeline().Record(
        "propsheet.page.create",
        {{"window", Value(made)}, {"page", index}, {"template", page.name}});
    return true;
}

bool PropertySheets::SetCurrent(Sheet& sheet, int index) {
    if (index == sheet.current || index < 0 || index >= static_cast<int>(sheet.pages.size()))
        return index == sheet.current;
    WindowManager& wm = platform_.Get<WindowManager>();
    HWND old =
        sheet.current >= 0 ? sheet.pages[static_cast<size_t>(sheet.current)]->window : nullptr;
    if (old && Notify(sheet, old, PSN_KILLACTIVE, 0) != FALSE) return false;
    if (!MakePageWindow(sheet, index))
        NotEmulated("PropertySheetW", "showing page " + std::to_string(index) +
                                          ", whose callback refused PSPCB_CREATE");
    HWND now = sheet.pages[static_cast<size_t>(index)]->window;
    if (Notify(sheet, now, PSN_SETACTIVE, 0) == -1) return false;
    if (auto o = wm.Get(old)) wm.Show(o, SW_HIDE);
    sheet.current = index;
    if (auto n = wm.Get(now)) wm.Show(n, SW_SHOW);
    if (auto t = wm.Get(sheet.tabs)) wm.Invalidate(*t, nullptr, true);
    platform_.timeline().Record("propsheet.page",
                                {{"window", Value(sheet.window)}, {"page", index}});
    return true;
}

bool PropertySheets::Apply(Sheet& sheet, bool ok) {
    HWND top =
        sheet.current >= 0 ? sheet.pages[static_cast<size_t>(sheet.current)]->window : nullptr;
    if (top && Notify(sheet, top, PSN_KILLACTIVE, 0) != FALSE) return false;
    for (size_t i = 0; i < sheet.pages.size(); ++i) {
        HWND page = sheet.pages[i]->window;
        if (!page) continue;
        LRESULT r = Notify(sheet, page, PSN_APPLY, ok ? TRUE : FALSE);
        if (r == PSNRET_INVALID) {
            SetCurrent(sheet, static_cast<int>(i));
            return false;
        }
        if (r == PSNRET_INVALID_NOCHANGEPAGE) return false;
    }
    return true;
}

bool PropertySheets::Cancel(Sheet& sheet) {
    HWND top =
        sheet.current >= 0 ? sheet.pages[static_cast<size_t>(sheet.current)]->window : nullptr;
    if (top && Notify(sheet, top, PSN_QUERYCANCEL, 0) != FALSE) return false;
    for (auto& page : sheet.pages)
        if (page->window) Notify(sheet, page->window, PSN_RESET, 0);
    return true;
}

std::vector<RECT> PropertySheets::TabRects(const Sheet& sheet) const {
    std::vector<RECT> rects;
    LONG x = 0;
    const LONG pad = 6; // logical pixels a side
    for (const auto& page : sheet.pages) {
        LONG width = gdi::MeasureText(*sheet.font, page->title).cx + 2 * pad;
        rects.push_back({x, 0, x + width, sheet.tabHeight});
        x += width;
    }
    return rects;
}

void PropertySheets::PaintTabs(HWND hwnd) {
    WindowManager& wm = platform_.Get<WindowManager>();
    auto w = wm.Get(hwnd);
    Sheet* sheet = SheetOf(w->parent);
    PAINTSTRUCT ps;
    HDC dc = wm.BeginPaint(w, &ps);
    Painter paint(platform_, dc);
    LONG width = w->Width(), height = w->Height();
    paint.Fill({0, 0, width, height}, look::kFace);
    std::vector<RECT> rects = TabRects(*sheet);
    // The line between the page and the tabs, open under the page on top.
    LONG edge = sheet->bottom ? 0 : height - 1;
    paint.Fill({0, edge, width, edge + 1}, look::kText);
    for (size_t i = 0; i < rects.size(); ++i) {
        RECT r = rects[i];
        bool current = static_cast<int>(i) == sheet->current;
        RECT face = sheet->bottom ? RECT{r.left, 0, r.right, r.bottom - 2}
                                  : RECT{r.left, 2, r.right, r.bottom};
        paint.Fill(face, current ? look::kFace : look::kLight);
        paint.Fill({face.left, face.top, face.left + 1, face.bottom}, look::kText);
        paint.Fill({face.right - 1, face.top, face.right, face.bottom}, look::kText);
        LONG far = sheet->bottom ? face.bottom - 1 : face.top;
        paint.Fill({face.left, far, face.right, far + 1}, look::kText);
        if (current) paint.Fill({face.left + 1, edge, face.right - 1, edge + 1}, look::kFace);
        paint.Text(face, sheet->pages[i]->title, *sheet->font,
                   DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX, look::kText);
    }
    wm.EndPaint(*w, &ps);
}

LRESULT CALLBACK PropertySheets::TabsProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Platform& p = Platform::Current();
    PropertySheets& sheets = p.Get<PropertySheets>();
    WindowManager& wm = p.Get<WindowManager>();
    auto w = wm.Get(hwnd);
    Sheet* sheet = w ? sheets.SheetOf(w->parent) : nullptr;
    if (!sheet) return wm.DefProc(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        sheets.PaintTabs(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONUP: {
        POINT at{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        std::vector<RECT> rects = sheets.TabRects(*sheet);
        for (size_t i = 0; i < rects.size(); ++i)
            if (at.x >= rects[i].left && at.x < rects[i].right) {
                sheets.SetCurrent(*sheet, static_cast<int>(i));
                break;
            }
        return 0;
    }
    case TCM_GETCURSEL:
        return sheet->current;
    case TCM_GETITEMCOUNT:
        return static_cast<LRESULT>(sheet->pages.size());
    default:
        return wm.DefProc(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK PropertySheets::SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Platform& p = Platform::Current();
    PropertySheets& sheets = p.Get<PropertySheets>();
    WindowManager& wm = p.Get<WindowManager>();
    auto w = wm.Get(hwnd);
    auto keep = w ? w->extra : nullptr;
    Sheet* sheet = w && w->proc == SheetProc ? static_cast<Sheet*>(keep.get()) : nullptr;
    if (!sheet) return wm.DefProc(hwnd, message, wParam, lParam);
    auto close = [&](int result) {
        sheet->done = true;
        sheet->result = result;
        p.timeline().Record("propsheet.close", {{"window", Value(hwnd)}, {"result", result}});
    };
    HWND top =
        sheet->current >= 0 ? sheet->pages[static_cast<size_t>(sheet->current)]->window : nullptr;
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && lParam == 0) {
            if (sheets.Apply(*sheet, true)) close(1);
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL && lParam == 0) {
            if (sheets.Cancel(*sheet)) close(0);
            return 0;
        }
        // The menu bar's commands and the like: the page on top's.
        if (auto page = wm.Get(top)) return wm.Send(page, WM_COMMAND, wParam, lParam);
        return 0;
    case WM_CLOSE:
        if (sheets.Cancel(*sheet)) close(0);
        return 0;
    case PSM_QUERYSIBLINGS:
        for (auto& page : sheet->pages)
            if (auto pw = wm.Get(page->window))
                if (LRESULT r = wm.Send(pw, PSM_QUERYSIBLINGS, wParam, lParam)) return r;
        return 0;
    case PSM_CHANGED:
    case PSM_UNCHANGED:
    case PSM_CANCELTOCLOSE:
        return 0; // the phone's sheet has no Apply button to enable
    case PSM_APPLY:
        return sheets.Apply(*sheet, false) ? TRUE : FALSE;
    case PSM_SETCURSEL: {
        int index = static_cast<int>(wParam);
        if (lParam)
            for (size_t i = 0; i < sheet->handles.size(); ++i)
                if (reinterpret_cast<LPARAM>(sheet->handles[i]) == lParam)
                    index = static_cast<int>(i);
        return sheets.SetCurrent(*sheet, index) ? TRUE : FALSE;
    }
    case PSM_PRESSBUTTON:
        if (wParam == PSBTN_OK && sheets.Apply(*sheet, true)) close(1);
        if (wParam == PSBTN_CANCEL && sheets.Cancel(*sheet)) close(0);
        if (wParam == PSBTN_APPLYNOW) sheets.Apply(*sheet, false);
        if (wParam != PSBTN_OK && wParam != PSBTN_CANCEL && wParam != PSBTN_APPLYNOW)
            NotEmulated("PropertySheetW", "PSM_PRESSBUTTON " + std::to_string(wParam));
        return 0;
    case PSM_RESTARTWINDOWS:
        sheet->restart |= ID_PSRESTARTWINDOWS;
        return 0;
    case PSM_REBOOTSYSTEM:
        sheet->restart |= ID_PSREBOOTSYSTEM;
        return 0;
    case PSM_GETCURRENTPAGEHWND:
        return reinterpret_cast<LRESULT>(top);
    case PSM_GETTABCONTROL:
        return reinterpret_cast<LRESULT>(sheet->tabs);
    case PSM_SETTITLEW:
        w->title = (wParam & PSH_PROPTITLE ? u"Properties for " : u"") +
                   TextOrString(sheet->header.hInstance, reinterpret_cast<LPCWSTR>(lParam));
        return 0;
    case WM_ERASEBKGND: {
        Painter(p, reinterpret_cast<HDC>(wParam))
            .Fill({0, 0, w->Width(), w->Height()}, look::kFace);
        return 1;
    }
    default:
        if (message >= PSM_SETCURSEL && message <= PSM_SETTITLEW + 10)
            NotEmulated("PropertySheetW", "message " + Hex32(message));
        return wm.DefProc(hwnd, message, wParam, lParam);
    }
}

int PropertySheets::Run(const PROPSHEETHEADERW& header, std::vector<HPROPSHEETPAGE> handles) {
    Platform& p = platform_;
    WindowManager& wm = p.Get<WindowManager>();
    Gdi& gdi = p.Get<Gdi>();
    RegisterControlClasses(wm);
    wm.AddSystemClass(u"SysTabControl32", TabsProc, nullptr);
    DWORD pid = p.CurrentPid();
    auto sheet = std::make_shared<Sheet>();
    sheet->header = header;
    sheet->handles = handles;
    for (HPROPSHEETPAGE h : handles)
        sheet->pages.push_back(
            p.handles().Get<Page>(reinterpret_cast<uintptr_t>(h), kPropSheetPage));
    PFNPROPSHEETCALLBACK callback =
        (header.dwFlags & PSH_USECALLBACK) ? header.pfnCallback : nullptr;

    if (callback) sheet->version = callback(nullptr, PSCB_GETVERSION, 0);
    sheet->bottom = sheet->version >= 0x020C;
    std::u16string title = TextOrString(header.hInstance, header.pszCaption);
    if (header.dwFlags & PSH_PROPTITLE) title = u"Properties for " + title;
    if (callback) {
        WCHAR buffer[257] = {};
        callback(nullptr, PSCB_GETTITLE, reinterpret_cast<LPARAM>(buffer));
        if (buffer[0]) title = buffer;
        std::vector<unsigned char> precreate = SheetTemplate();
        callback(nullptr, PSCB_PRECREATE, reinterpret_cast<LPARAM>(precreate.data()));
    }

    gdi::FontRequest request;
    request.height = -MulDiv(8, gdi.LogicalDpi(), 72);
    request.logPixelsY = gdi.LogicalDpi();
    std::string error;
    sheet->font = gdi.Fonts().Open(request, &error);
    if (!sheet->font) Platform::Fatal("fonts: " + error);
    sheet->tabHeight = sheet->font->Metrics().height + 8;

    // The screen between the taskbar and the menu bar, maximized or not:
    // the phone's sheets fill it.
    RECT screen = wm.LogicalScreen(pid);
    int scale = wm.ScaleOf(pid);
    RECT place{0, wm.TaskbarHeight() / scale, screen.right,
               screen.bottom - wm.MenuBarHeight() / scale};
    WindowManager::CreateArgs a;
    a.cls = wm.FindClass(u"Dialog", pid);
    a.proc = SheetProc;
    a.title = title;
    a.style = WS_POPUP | WS_CAPTION;
    a.exStyle = WS_EX_CAPTIONOKBTN;
    a.rect = place;
    a.owner = wm.TopLevel(wm.Get(header.hwndParent))
                  ? wm.TopLevel(wm.Get(header.hwndParent))->handle
                  : nullptr;
    a.instance = header.hInstance;
    a.extra = sheet;
    sheet->window = wm.Create(a);
    if (!sheet->window) return -1;
    open_.push_back(sheet->window);
    WindowManager::CreateArgs t;
    t.cls = wm.FindClass(u"SysTabControl32", pid);
    t.style = WS_CHILD | WS_VISIBLE | (sheet->bottom ? TCS_BOTTOM : 0);
    LONG height = place.bottom - place.top;
    t.rect = sheet->bottom ? RECT{0, height - sheet->tabHeight, screen.right, height}
                           : RECT{0, 0, screen.right, sheet->tabHeight};
    t.parent = sheet->window;
    t.atBottom = true;
    sheet->tabs = wm.Create(t);
    p.timeline().Record("propsheet.open", {{"window", Value(sheet->window)},
                                           {"process", pid},
                                           {"pages", DWORD(sheet->pages.size())},
                                           {"version", sheet->version}});

    auto owner = wm.Get(a.owner);
    bool ownerWasEnabled = owner && owner->enabled;
    if (owner) owner->enabled = false;
    PROPSHEETHEADERW copy = header;
    if (callback) callback(sheet->window, PSCB_INITIALIZED, reinterpret_cast<LPARAM>(&copy));
    int start = 0;
    if (header.dwFlags & PSH_USEPSTARTPAGE) {
        for (size_t i = 0; i < sheet->pages.size(); ++i)
            if (header.pStartPage &&
                sheet->pages[i]->title == std::u16string_view(header.pStartPage))
                start = static_cast<int>(i);
    } else if (header.nStartPage < sheet->pages.size()) {
        start = static_cast<int>(header.nStartPage);
    }
    for (size_t i = 0; i < sheet->pages.size() && wm.Get(sheet->window); ++i)
        if ((sheet->pages[i]->Psp()->dwFlags & PSP_PREMATURE) || static_cast<int>(i) == start)
            MakePageWindow(*sheet, static_cast<int>(i));
    if (auto sw = wm.Get(sheet->window)) {
        SetCurrent(*sheet, start);
        wm.Show(sw, SW_SHOW);
        RunModalLoop(sheet->window, [&] { return sheet->done; });
    }

    if (auto o = wm.Get(a.owner); o && ownerWasEnabled) o->enabled = true;
    if (wm.Get(sheet->window)) wm.Destroy(sheet->window);
    std::erase(open_, sheet->window);
    for (size_t i = 0; i < sheet->pages.size(); ++i) {
        if (sheet->pages[i]) Release(*sheet->pages[i]);
        p.handles().Remove(reinterpret_cast<uintptr_t>(sheet->handles[i]), kPropSheetPage);
    }
    if (auto o = wm.Get(a.owner); o && o->visible) wm.SetForeground(o, false);
    return sheet->result | sheet->restart;
}

std::optional<PropertySheets::SheetInfo> PropertySheets::Open() const {
    WindowManager& wm = platform_.Get<WindowManager>();
    for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
        Sheet* sheet = SheetOf(*it);
        if (!sheet) continue;
        SheetInfo info;
        info.window = sheet->window;
        info.tabs = sheet->tabs;
        info.current = sheet->current;
        info.version = sheet->version;
        info.tabsAtBottom = sheet->bottom;
        auto tabs = wm.Get(sheet->tabs);
        for (size_t i = 0; i < sheet->pages.size(); ++i) {
            info.titles.push_back(sheet->pages[i]->title);
            info.pages.push_back(sheet->pages[i]->window);
        }
        if (tabs) {
            RECT at = tabs->Physical();
            for (RECT r : TabRects(*sheet))
                info.tabRects.push_back(
                    {at.left + r.left * tabs->scale, at.top + r.top * tabs->scale,
                     at.left + r.right * tabs->scale, at.top + r.bottom * tabs->scale});
        }
        return info;
    }
    return std::nullopt;
}

void TapTab(Device& d, int index) {
    auto sheet = d.Get<PropertySheets>().Open();
    if (!sheet) Platform::Fatal("TapTab: no property sheet is open");
    if (index < 0 || index >= static_cast<int>(sheet->tabRects.size()))
        Platform::Fatal("TapTab(" + std::to_string(index) + "): the sheet has " +
                        std::to_string(sheet->tabRects.size()) + " tabs");
    Tap(d, Centre(sheet->tabRects[static_cast<size_t>(index)]));
}

} // namespace handset

using handset::Enter;
using handset::Fail;
using handset::Platform;
using handset::PropertySheets;

HANDSET_API(void, InitCommonControls, (), ()) {
    (void)Enter("InitCommonControls"); // nothing to do: the classes are the system's
}

HANDSET_API(BOOL, InitCommonControlsEx, (LPINITCOMMONCONTROLSEX lpInitCtrls), (lpInitCtrls)) {
    if (auto e = Enter("InitCommonControlsEx")) return Fail(*e, FALSE);
    if (!lpInitCtrls || lpInitCtrls->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    return TRUE;
}

// The template is read now: a missing or malformed one fails here (the
// resource errors, ERROR_INVALID_DATA). A dwSize below the structure's:
// ERROR_INVALID_PARAMETER.
HANDSET_API(HPROPSHEETPAGE, CreatePropertySheetPageW, (LPCPROPSHEETPAGEW lppsp), (lppsp)) {
    if (auto e = Enter("CreatePropertySheetPageW")) return Fail(*e, HPROPSHEETPAGE(nullptr));
    if (!lppsp || lppsp->dwSize < sizeof(PROPSHEETPAGEW))
        return Fail(ERROR_INVALID_PARAMETER, HPROPSHEETPAGE(nullptr));
    Platform& p = Platform::Current();
    DWORD error = 0;
    auto page = p.Get<PropertySheets>().MakePage(*lppsp, &error);
    if (!page) return Fail(error, HPROPSHEETPAGE(nullptr));
    return reinterpret_cast<HPROPSHEETPAGE>(
        p.handles().Add(handset::kPropSheetPage, p.CurrentPid(), page));
}

// A page that a sheet holds goes when the sheet closes; this is for pages
// never given to one.
HANDSET_API(BOOL, DestroyPropertySheetPage, (HPROPSHEETPAGE hPSPage), (hPSPage)) {
    if (auto e = Enter("DestroyPropertySheetPage")) return Fail(*e, FALSE);
    Platform& p = Platform::Current();
    auto page = p.handles().Get<PropertySheets::Page>(reinterpret_cast<uintptr_t>(hPSPage),
                                                      handset::kPropSheetPage);
    if (!page) return Fail(ERROR_INVALID_HANDLE, FALSE);
    p.Get<PropertySheets>().Release(*page);
    p.handles().Remove(reinterpret_cast<uintptr_t>(hPSPage), handset::kPropSheetPage);
    return TRUE;
}

// Errors the documents leave open: no header, a dwSize below its size, no
// pages or more than MAXPROPPAGES: ERROR_INVALID_PARAMETER; a page handle
// that is none: ERROR_INVALID_HANDLE; a page's template: as
// CreatePropertySheetPageW. Each failure returns -1.
HANDSET_API(int, PropertySheetW, (LPCPROPSHEETHEADERW lppsph), (lppsph)) {
    if (auto e = Enter("PropertySheetW")) return Fail(*e, -1);
    Platform& p = Platform::Current();
    handset::Wm().Own();
    if (!lppsph || lppsph->dwSize < sizeof(PROPSHEETHEADERW) || lppsph->nPages == 0 ||
        lppsph->nPages > MAXPROPPAGES || !lppsph->ppsp)
        return Fail(ERROR_INVALID_PARAMETER, -1);
    if (lppsph->dwFlags & PSH_WIZARD) handset::NotEmulated("PropertySheetW", "PSH_WIZARD");
    if (lppsph->dwFlags & PSH_MODELESS) handset::NotEmulated("PropertySheetW", "PSH_MODELESS");
    const DWORD known = PSH_PROPTITLE | PSH_USEHICON | PSH_USEICONID | PSH_PROPSHEETPAGE |
                        PSH_USEPSTARTPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK | PSH_HASHELP |
                        PSH_MAXIMIZE;
    if (lppsph->dwFlags & ~known)
        handset::NotEmulated("PropertySheetW", "dwFlags " + handset::Hex32(lppsph->dwFlags));
    PropertySheets& sheets = p.Get<PropertySheets>();
    std::vector<HPROPSHEETPAGE> pages;
    auto drop = [&] {
        for (HPROPSHEETPAGE h : pages)
            if (auto page = p.handles().Get<PropertySheets::Page>(reinterpret_cast<uintptr_t>(h),
                                                                  handset::kPropSheetPage)) {
                sheets.Release(*page);
                p.handles().Remove(reinterpret_cast<uintptr_t>(h), handset::kPropSheetPage);
            }
    };
    if (lppsph->dwFlags & PSH_PROPSHEETPAGE) {
        // Each page's dwSize says where the next one starts.
        const auto* at = reinterpret_cast<const unsigned char*>(lppsph->ppsp);
        for (UINT i = 0; i < lppsph->nPages; ++i) {
            const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(at);
            if (psp->dwSize < sizeof(PROPSHEETPAGEW)) {
                drop();
                return Fail(ERROR_INVALID_PARAMETER, -1);
            }
            DWORD error = 0;
            auto page = sheets.MakePage(*psp, &error);
            if (!page) {
                drop();
                return Fail(error, -1);
            }
            pages.push_back(reinterpret_cast<HPROPSHEETPAGE>(
                p.handles().Add(handset::kPropSheetPage, p.CurrentPid(), page)));
            at += psp->dwSize;
        }
    } else {
        for (UINT i = 0; i < lppsph->nPages; ++i) {
            HPROPSHEETPAGE h = lppsph->phpage[i];
            if (!p.handles().Find(reinterpret_cast<uintptr_t>(h), handset::kPropSheetPage))
                return Fail(ERROR_INVALID_HANDLE, -1);
            pages.push_back(h);
        }
    }
    return sheets.Run(*lppsph, pages);
}
