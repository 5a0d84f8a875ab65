// The dialog manager: templates read from resources or memory, dialogs and
// their controls made from them, the dialog procedure and the modal loop.
#include "user/dialogs.h"

#include <algorithm>
#include <utility>

#include "device/platform.h"
#include "gdi/gdi.h"
#include "gdi/objects.h"
#include "gdi/text.h"
#include "res/resources.h"
#include "user/controls.h"
#include "user/draw.h"
#include "user/window_manager.h"

namespace handset {

namespace {

// Reading a template in memory that is no resource stops here at the latest.
constexpr size_t kUnboundedTemplate = 0x10000;

std::u16string ControlClassName(const ResId& cls, const char* call, const std::string& dialog) {
    if (!cls.IsOrdinal()) return cls.name();
    switch (cls.ordinal()) {
    case kDlgButton:
        return u"BUTTON";
    case kDlgEdit:
        return u"EDIT";
    case kDlgStatic:
        return u"STATIC";
    case kDlgComboBox:
        return u"COMBOBOX";
    case kDlgListBox:
        NotEmulated(call, dialog + ": a LISTBOX control");
    case kDlgScrollBar:
        NotEmulated(call, dialog + ": a SCROLLBAR control");
    }
    NotEmulated(call, dialog + ": control class ordinal " + std::to_string(cls.ordinal()));
}

void Refused(Platform& p, const std::string& name, const std::string& why) {
    p.timeline().Record("dialog.refused", {{"template", name}, {"why", why}});
}

// The dialog's font from its template, counted against the process as
// CreateFontIndirectW's would be.
HFONT TemplateFont(Platform& p, const DialogRequest& rq, BaseUnits* base) {
    const DialogTemplate& t = *rq.tmpl;
    Gdi& gdi = p.Get<Gdi>();
    const int pixels = MulDiv(t.pointSize, gdi.LogicalDpi(), 72);
    if (pixels > gdi::kLargestEm)
        NotEmulated(rq.call, rq.name + ": a font of " + std::to_string(t.pointSize) + " points (" +
                                 std::to_string(pixels) + " pixels; the handset draws up to " +
                                 std::to_string(gdi::kLargestEm) + ")");
    auto font = std::make_shared<gdi::FontObject>();
    font->logFont.lfHeight = -pixels;
    font->logFont.lfWeight = t.weight ? t.weight : FW_NORMAL;
    font->logFont.lfItalic = t.italic;
    std::copy_n(t.face.begin(), std::min<size_t>(t.face.size(), LF_FACESIZE - 1),
                font->logFont.lfFaceName);
    font->request.height = font->logFont.lfHeight;
    font->request.weight = font->logFont.lfWeight;
    font->request.italic = t.italic;
    font->request.faceName = t.face;
    font->request.logPixelsY = gdi.LogicalDpi();
    *base = BaseUnitsOf(gdi.Realize(*font));
    return reinterpret_cast<HFONT>(gdi.AddObject(font));
}

void DeleteFont(Platform& p, HFONT font) {
    auto object = p.Get<Gdi>().FindObject(font);
    if (object && !object->stock) p.handles().Remove(reinterpret_cast<uintptr_t>(font), kGdiObject);
}

HWND FirstTabStop(WindowManager& wm, HWND dialog) {
    for (HWND c : wm.Children(dialog))
        if (auto w = wm.Get(c); w && (w->style & WS_TABSTOP) && w->visible && w->enabled) return c;
    return nullptr;
}

bool ParseNamed(std::span<const unsigned char> bytes, const std::string& name, DialogTemplate* out,
                DWORD* error) {
    std::string why;
    if (ParseDialogTemplate(bytes, name, out, &why)) return true;
    Refused(Platform::Current(), name, why);
    *error = ERROR_INVALID_DATA;
    return false;
}

} // namespace

BaseUnits BaseUnitsOf(const gdi::Font& font) {
    static const char16_t kLetters[] = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    SIZE size = gdi::MeasureText(font, kLetters);
    return {(static_cast<int>(size.cx) / 26 + 1) / 2, static_cast<int>(font.Metrics().height)};
}

BaseUnits SystemBaseUnits(Platform& platform) {
    Gdi& gdi = platform.Get<Gdi>();
    gdi::DeviceContext probe(gdi::DeviceContext::Kind::Window);
    probe.scale = gdi.ScaleOf(platform.CurrentPid());
    return BaseUnitsOf(gdi.Realize(*gdi.FindObject(gdi.Stock(SYSTEM_FONT)), probe));
}

DialogState* DialogOf(HWND window) {
    auto w = Platform::Current().Get<WindowManager>().Get(window);
    if (!w || w->proc != DialogWindowProc || !w->extra) return nullptr;
    return static_cast<DialogState*>(w->extra.get());
}

bool DialogLong(HWND window, int index, const LONG* set, LONG* value) {
    DialogState* d = DialogOf(window);
    if (!d) return false;
    LONG* slot = index == DWL_MSGRESULT ? &d->msgResult : index == DWL_USER ? &d->user : nullptr;
    if (!slot) return false;
    *value = *slot;
    if (set) *slot = *set;
    return true;
}

bool LoadDialogTemplate(HINSTANCE instance, LPCWSTR name, DialogTemplate* out,
                        std::string* templateName, DWORD* error) {
    Platform& p = Platform::Current();
    const ResFile* file = p.Get<Resources>().Find(instance);
    if (!file) {
        *error = p.IsModule(instance) ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_INVALID_HANDLE;
        return false;
    }
    ResId id = ResId::FromPointer(name);
    *templateName = "dialog " + id.Describe();
    const ResEntry* entry = file->Find(kRtDialog, id, p.Get<Resources>().Language());
    if (!entry) {
        *error = ERROR_RESOURCE_NAME_NOT_FOUND;
        return false;
    }
    return ParseNamed(entry->data, *templateName, out, error);
}

bool ReadDialogTemplate(HINSTANCE instance, const DLGTEMPLATE* memory, DialogTemplate* out,
                        std::string* templateName, DWORD* error) {
    Platform& p = Platform::Current();
    const auto* bytes = reinterpret_cast<const unsigned char*>(memory);
    if (const ResFile* file = p.Get<Resources>().Find(instance))
        for (const ResEntry& e : file->entries())
            if (bytes >= e.data.data() && bytes < e.data.data() + e.data.size()) {
                *templateName = "dialog " + e.name.Describe();
                size_t skip = static_cast<size_t>(bytes - e.data.data());
                return ParseNamed(e.data.subspan(skip), *templateName, out, error);
            }
    *templateName = "the dialog template in memory";
    return ParseNamed({bytes, kUnboundedTemplate}, *templateName, out, error);
}

HWND CreateDialogWindow(const DialogRequest& rq, DWORD* error) {
    Platform& p = Platform::Current();
    WindowManager& wm = p.Get<WindowManager>();
    RegisterControlClasses(wm);
    const DialogTemplate& t = *rq.tmpl;
    DWORD pid = p.CurrentPid();
    if (!t.cls.IsOrdinal() || t.cls.ordinal() != 0)
        NotEmulated(rq.call, rq.name + ": a dialog class of its own (" + t.cls.Describe() + ")");
    if (!t.menu.IsOrdinal() || t.menu.ordinal() != 0)
        NotEmulated(rq.call, rq.name + ": a menu in the template (" + t.menu.Describe() + ")");

    auto state = std::make_shared<DialogState>();
    state->instance = rq.instance;
    state->name = rq.name;
    state->modal = rq.modal;
    if (t.hasFont) {
        state->font = TemplateFont(p, rq, &state->base);
        state->ownsFont = true;
    } else {
        state->base = SystemBaseUnits(p);
    }
    auto cleanup = [&] {
        if (state->ownsFont) DeleteFont(p, state->font);
        state->ownsFont = false;
    };

    RECT px = DialogUnitsToPixels({t.x, t.y, t.cx, t.cy}, state->base); // x, y, width, height
    DWORD style = t.style;
    bool child = rq.child || (style & WS_CHILD);
    auto parent = wm.Get(rq.parent);
    if (child && !parent) {
        cleanup();
        *error = ERROR_TLW_WITH_WSCHILD;
        return nullptr;
    }
    RECT rect;
    if (child) {
        style = (style & ~(WS_POPUP | WS_CAPTION)) | WS_CHILD;
        rect = {px.left, px.top, px.left + px.right, px.top + px.bottom};
    } else {
        RECT screen = wm.LogicalScreen(pid);
        LONG bar = wm.TaskbarHeight() / wm.ScaleOf(pid);
        POINT origin{0, bar};
        if (auto top = wm.TopLevel(parent)) origin = top->Origin();
        LONG x = origin.x + px.left, y = origin.y + px.top;
        if (style & DS_CENTER) {
            x = (screen.right - px.right) / 2;
            y = bar + (screen.bottom - bar - px.bottom) / 2;
        }
        rect = {x, y, x + px.right, y + px.bottom};
    }

    WindowManager::CreateArgs a;
    a.cls = wm.FindClass(u"Dialog", pid);
    a.proc = DialogWindowProc;
    a.title = t.title;
    a.style = style & ~WS_VISIBLE;
    a.exStyle = t.exStyle;
    a.rect = rect;
    a.owner = child ? nullptr : (parent ? wm.TopLevel(parent)->handle : nullptr);
    a.parent = child ? parent->handle : nullptr;
    a.instance = rq.instance;
    a.extra = state;
    HWND dialog = wm.Create(a);
    if (!dialog) {
        cleanup();
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }

    for (const DialogItem& item : t.items) {
        std::u16string className = ControlClassName(item.cls, rq.call, rq.name);
        auto cls = wm.FindClass(className.c_str(), pid);
        if (!cls) {
            Refused(p, rq.name,
                    rq.name + ": byte " + std::to_string(item.offset) + ": no window class \"" +
                        Narrow(className) + "\"");
            wm.Destroy(dialog);
            *error = ERROR_CANNOT_FIND_WND_CLASS;
            return nullptr;
        }
        RECT r = DialogUnitsToPixels({item.x, item.y, item.cx, item.cy}, state->base);
        WindowManager::CreateArgs c;
        c.cls = cls;
        const char16_t ordinalText[] = {
            0xFFFF, static_cast<char16_t>(item.text.IsOrdinal() ? item.text.ordinal() : 0), 0};
        if (item.text.IsOrdinal() && item.text.ordinal() != 0)
            c.createName = ordinalText;
        else if (!item.text.IsOrdinal())
            c.title = item.text.name();
        c.style = item.style | WS_CHILD;
        c.exStyle = item.exStyle;
        c.rect = {r.left, r.top, r.left + r.right, r.top + r.bottom};
        c.parent = dialog;
        c.menu = reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id));
        c.instance = rq.instance;
        c.param = item.data.empty() ? nullptr : const_cast<unsigned char*>(item.data.data());
        c.atBottom = true;
        HWND control = wm.Create(c);
        if (!control && !(t.style & DS_NOFAILCREATE)) {
            wm.Destroy(dialog);
            *error = ERROR_INVALID_PARAMETER;
            return nullptr;
        }
        if (auto cw = wm.Get(control); cw && state->font)
            wm.Send(cw, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    }

    state->proc = rq.proc;
    HWND first = FirstTabStop(wm, dialog);
    BOOL focus =
        rq.proc ? rq.proc(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), rq.param) : TRUE;
    auto w = wm.Get(dialog);
    if (!w) {
        *error = ERROR_INVALID_PARAMETER; // the dialog procedure destroyed it
        return nullptr;
    }
    if (focus) state->focusOnShow = FirstTabStop(wm, dialog);
    if (t.style & WS_VISIBLE) {
        wm.Show(w, SW_SHOW);
        if (state->focusOnShow) wm.SetFocus(wm.Own(), std::exchange(state->focusOnShow, nullptr));
    }
    p.timeline().Record("dialog.create", {{"window", uint64_t(reinterpret_cast<uintptr_t>(dialog))},
                                          {"process", pid},
                                          {"template", rq.name},
                                          {"modal", rq.modal ? 1 : 0}});
    return dialog;
}

void RunModalLoop(HWND window, const std::function<bool()>& done) {
    WindowManager& wm = Platform::Current().Get<WindowManager>();
    MessageQueue& q = wm.Own();
    MSG m;
    while (!done() && wm.Get(window)) {
        wm.NextMessage(&m, nullptr, 0, 0);
        if (m.message == WM_QUIT) {
            // The quit is for the caller's own loop.
            q.quitPending = true;
            q.quitCode = static_cast<int>(m.wParam);
            break;
        }
        wm.TranslateKey(q, m);
        wm.Dispatch(m);
    }
}

int RunModalDialog(HWND dialog) {
    Platform& p = Platform::Current();
    WindowManager& wm = p.Get<WindowManager>();
    auto w = wm.Get(dialog);
    auto keep = w->extra; // the state outlives the window
    auto* state = static_cast<DialogState*>(keep.get());
    if (auto owner = wm.Get(w->owner); owner && owner->enabled) {
        owner->enabled = false;
        state->disabledOwner = owner->handle;
    }
    if (!state->ended) {
        wm.Show(w, SW_SHOW);
        if (state->focusOnShow) wm.SetFocus(wm.Own(), std::exchange(state->focusOnShow, nullptr));
    }
    RunModalLoop(dialog, [&] { return state->ended; });
    if (auto owner = wm.Get(state->disabledOwner)) owner->enabled = true;
    HWND owner = w->owner;
    if (wm.Get(dialog)) wm.Destroy(dialog);
    if (auto o = wm.Get(owner); o && o->visible) wm.SetForeground(o, false);
    p.timeline().Record("dialog.end", {{"window", uint64_t(reinterpret_cast<uintptr_t>(dialog))},
                                       {"process", w->pid},
                                       {"result", state->result}});
    return state->result;
}

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Platform& p = Platform::Current();
    WindowManager& wm = p.Get<WindowManager>();
    auto w = wm.Get(hwnd);
    if (!w) return 0;
    auto keep = w->extra; // the dialog procedure may destroy the window
    auto* state = static_cast<DialogState*>(keep.get());
    if (state && state->proc) {
        state->msgResult = 0;
        BOOL handled = state->proc(hwnd, message, wParam, lParam);
        if (handled) {
            switch (message) {
            case WM_INITDIALOG:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORLISTBOX:
            case WM_CTLCOLORBTN:
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSTATIC:
                return handled;
            default:
                return state->msgResult;
            }
        }
        if (!wm.Get(hwnd)) return 0;
    }
    switch (message) {
    case WM_ERASEBKGND: {
        Painter painter(p, reinterpret_cast<HDC>(wParam));
        painter.Fill({0, 0, w->Width(), w->Height()}, look::kFace);
        return 1;
    }
    case WM_CLOSE:
        wm.Post(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return 0;
    case WM_SETFONT:
        if (state) state->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return state ? reinterpret_cast<LRESULT>(state->font) : 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && w->tid == p.CurrentTid()) {
            MessageQueue& q = wm.Own();
            auto focus = wm.Get(q.focus);
            if (!focus || focus->handle == hwnd || !wm.TopLevel(focus) ||
                wm.TopLevel(focus)->handle != hwnd) {
                HWND first = FirstTabStop(wm, hwnd);
                wm.SetFocus(q, first ? first : hwnd);
            }
        }
        return 0;
    case WM_DESTROY:
        if (state && state->ownsFont) {
            DeleteFont(p, state->font);
            state->ownsFont = false;
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
        return 0;
    default:
        return wm.DefProc(hwnd, message, wParam, lParam);
    }
}

} // namespace handset
