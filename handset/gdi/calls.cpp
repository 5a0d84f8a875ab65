// The GDI calls: device contexts, DIB sections, stock and made objects,
// copies, fills and text. Each sets the last error and gives its failure
// result as the phone does. Where the phone's documents leave a choice open,
// the handset's is written beside the call.
//
// Logical coordinates are pixels (the phone has no other mapping mode).
// Every drawing call is clipped to the context's rectangles: the whole
// bitmap of a memory context, the whole screen for GetDC(NULL), and what is
// visible of a window for a window's context.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "device/platform.h"
#include "device/relay.h"
#include "gdi/gdi.h"
#include "gdi/objects.h"

using handset::Enter;
using handset::Fail;
using handset::Gdi;
using handset::Hex32;
using handset::NotEmulated;
using handset::Platform;
using handset::Screen;
using handset::gdi::Bitmap;
using handset::gdi::DeviceContext;
using handset::gdi::FontObject;
using handset::gdi::Object;
using handset::gdi::ObjectType;
using handset::gdi::Surface;
using handset::gdi::Target;

namespace {

constexpr size_t kMaxDibBytes = 32u << 20; // a phone has 32 to 64 MB in all

Platform& Dev() {
    return Platform::Current();
}
Gdi& Objects() {
    return Dev().Get<Gdi>();
}

template <class T> T* As(const std::shared_ptr<Object>& o, ObjectType type) {
    return o && o->type == type ? static_cast<T*>(o.get()) : nullptr;
}

// Where the context draws; the handset draws on 16-bit pixels only.
Target DrawTarget(const char* call, const DeviceContext& dc) {
    Target t;
    if (!handset::gdi::TargetOf(dc, &t))
        NotEmulated(call, "drawing on a memory device context's 1 x 1 monochrome default bitmap");
    return t;
}

template <class Draw> void OnEachClip(const Target& t, Draw draw) {
    for (const RECT& clip : t.clips) {
        Surface s = t.surface;
        s.clip = clip;
        draw(s);
    }
}

// Colours with a palette flag in the top byte mean nothing on a 16-bit
// display without palettes.
void CheckColour(const char* call, COLORREF colour) {
    if (colour >> 24) NotEmulated(call, "COLORREF " + Hex32(colour) + " (a palette colour)");
}

const handset::gdi::Font& SelectedFont(DeviceContext& dc) {
    return Objects().Realize(*dc.selected[int(ObjectType::Font)].object, dc);
}

} // namespace

// ---- Device contexts -------------------------------------------------------------------

// A memory context starts with the 1 x 1 monochrome bitmap, as on the phone;
// a program selects a DIB section into it before drawing.
HANDSET_API(HDC, CreateCompatibleDC, (HDC hdc), (hdc)) {
    if (auto e = Enter("CreateCompatibleDC")) return Fail(*e, HDC(nullptr));
    if (hdc && !Objects().FindDC(hdc)) return Fail(ERROR_INVALID_HANDLE, HDC(nullptr));
    auto dc = std::make_shared<DeviceContext>(DeviceContext::Kind::Memory);
    Objects().SelectDefaults(*dc);
    return Objects().AddDC(std::move(dc));
}

// Only memory contexts are deleted; one from GetDC must go back through
// ReleaseDC, and DeleteDC refuses it (ERROR_INVALID_HANDLE), so that it
// stays counted until it does. The objects selected into a deleted context
// are no longer selected anywhere.
HANDSET_API(BOOL, DeleteDC, (HDC hdc), (hdc)) {
    if (auto e = Enter("DeleteDC")) return Fail(*e, FALSE);
    auto dc = Objects().FindDC(hdc);
    if (!dc || dc->kind != DeviceContext::Kind::Memory) return Fail(ERROR_INVALID_HANDLE, FALSE);
    Dev().handles().Remove(reinterpret_cast<uintptr_t>(hdc), handset::kDeviceContext);
    return TRUE;
}

HANDSET_API(HDC, GetDC, (HWND hWnd), (hWnd)) {
    if (auto e = Enter("GetDC")) return Fail(*e, HDC(nullptr));
    if (hWnd) {
        const Gdi::WindowLookup& lookup = Objects().Lookup();
        if (!lookup) NotEmulated("GetDC", "a window's device context (no window manager yet)");
        auto place = lookup(hWnd);
        if (!place) return Fail(ERROR_INVALID_WINDOW_HANDLE, HDC(nullptr));
        return Objects().OpenWindowDC(hWnd, place->origin, std::move(place->visible), place->scale);
    }
    auto dc = std::make_shared<DeviceContext>(DeviceContext::Kind::Screen);
    dc->screen = Dev().Get<Screen>().Framebuffer();
    dc->scale = Objects().ScaleOf(Dev().CurrentPid());
    Objects().SelectDefaults(*dc);
    return Objects().AddDC(std::move(dc));
}

// 1 when released. The window must be the one the context was got for
// (NULL for the screen's); otherwise, and for a memory context, 0 and the
// context stays.
HANDSET_API(int, ReleaseDC, (HWND hWnd, HDC hDC), (hWnd, hDC)) {
    if (auto e = Enter("ReleaseDC")) return Fail(*e, 0);
    auto dc = Objects().FindDC(hDC);
    if (!dc || dc->kind == DeviceContext::Kind::Memory || dc->window != hWnd)
        return Fail(ERROR_INVALID_HANDLE, 0);
    Dev().handles().Remove(reinterpret_cast<uintptr_t>(hDC), handset::kDeviceContext);
    return 1;
}

// A null context means the screen, as the phone's programs rely on. Every
// context answers for the screen: memory contexts are compatible with it.
HANDSET_API(int, GetDeviceCaps, (HDC hdc, int index), (hdc, index)) {
    if (auto e = Enter("GetDeviceCaps")) return Fail(*e, 0);
    if (hdc && !Objects().FindDC(hdc)) return Fail(ERROR_INVALID_HANDLE, 0);
    // The process's logical screen (Gdi::ScaleOf); its size in millimetres
    // is the panel's either way.
    const Screen& screen = Dev().Get<Screen>();
    int scale = Objects().ScaleOf(Dev().CurrentPid());
    auto millimetres = [&](int pixels) {
        return (pixels * 254 + screen.Dpi() * 5) / (screen.Dpi() * 10);
    };
    switch (index) {
    case TECHNOLOGY:
        return DT_RASDISPLAY;
    case HORZSIZE:
        return millimetres(screen.Width());
    case VERTSIZE:
        return millimetres(screen.Height());
    case HORZRES:
        return screen.Width() / scale;
    case VERTRES:
        return screen.Height() / scale;
    case BITSPIXEL:
        return 16;
    case PLANES:
        return 1;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return screen.Dpi() / scale;
    }
    NotEmulated("GetDeviceCaps", "nIndex " + std::to_string(index));
}

// ---- Objects ---------------------------------------------------------------------------------

// 16-bit 5-6-5 DIB sections, top-down (negative height) or bottom-up; the
// bits are zeroed. *ppvBits is the first byte of the bits: the top row of a
// top-down bitmap, the bottom row of a bottom-up one.
HANDSET_API(HBITMAP, CreateDIBSection,
            (HDC hdc, const BITMAPINFO* pbmi, UINT iUsage, void** ppvBits, HANDLE hSection,
             DWORD dwOffset),
            (hdc, pbmi, iUsage, ppvBits, hSection, dwOffset)) {
    if (auto e = Enter("CreateDIBSection")) return Fail(*e, HBITMAP(nullptr));
    if (hdc && !Objects().FindDC(hdc)) return Fail(ERROR_INVALID_HANDLE, HBITMAP(nullptr));
    if (hSection) NotEmulated("CreateDIBSection", "hSection (bits in a file mapping)");
    if (!pbmi || (iUsage != DIB_RGB_COLORS && iUsage != DIB_PAL_COLORS))
        return Fail(ERROR_INVALID_PARAMETER, HBITMAP(nullptr));
    const BITMAPINFOHEADER& h = pbmi->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1)
        return Fail(ERROR_INVALID_PARAMETER, HBITMAP(nullptr));
    if (h.biBitCount != 16)
        NotEmulated("CreateDIBSection", "biBitCount " + std::to_string(h.biBitCount) +
                                            " (the handset's DIB sections are 16-bit 5-6-5)");
    if (h.biCompression == BI_RGB)
        NotEmulated("CreateDIBSection", "biCompression BI_RGB at 16 bits (5-5-5)");
    if (h.biCompression != BI_BITFIELDS) return Fail(ERROR_INVALID_PARAMETER, HBITMAP(nullptr));
    // The masks follow a BITMAPINFOHEADER, and sit at the same offset
    // inside the larger headers.
    DWORD masks[3];
    std::memcpy(masks, reinterpret_cast<const BYTE*>(pbmi) + sizeof(BITMAPINFOHEADER),
                sizeof masks);
    if (masks[0] != 0xF800 || masks[1] != 0x07E0 || masks[2] != 0x001F)
        NotEmulated("CreateDIBSection", "masks " + Hex32(masks[0]) + " " + Hex32(masks[1]) + " " +
                                            Hex32(masks[2]) + " (only 5-6-5)");

    long long height = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    long long stride = (static_cast<long long>(h.biWidth) * 16 + 31) / 32 * 4;
    if (height * stride > static_cast<long long>(kMaxDibBytes))
        return Fail(ERROR_NOT_ENOUGH_MEMORY, HBITMAP(nullptr));
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->width = h.biWidth;
    bitmap->height = static_cast<int>(height);
    bitmap->topDown = h.biHeight < 0;
    bitmap->stride = static_cast<int>(stride);
    bitmap->memory.assign(static_cast<size_t>(height * stride / 4), 0);
    void* bits = bitmap->Bits();
    HGDIOBJ handle = Objects().AddObject(std::move(bitmap));
    if (ppvBits) *ppvBits = bits;
    return reinterpret_cast<HBITMAP>(handle);
}

HANDSET_API(HBRUSH, CreateSolidBrush, (COLORREF color), (color)) {
    if (auto e = Enter("CreateSolidBrush")) return Fail(*e, HBRUSH(nullptr));
    CheckColour("CreateSolidBrush", color);
    auto brush = std::make_shared<handset::gdi::Brush>();
    brush->colour = color;
    return reinterpret_cast<HBRUSH>(Objects().AddObject(std::move(brush)));
}

// Width 0 is one pixel, as for every pen; the handset draws pens one pixel
// wide and solid, and stops the run where another is used.
HANDSET_API(HPEN, CreatePen, (int iStyle, int cWidth, COLORREF color), (iStyle, cWidth, color)) {
    if (auto e = Enter("CreatePen")) return Fail(*e, HPEN(nullptr));
    if ((iStyle != PS_SOLID && iStyle != PS_DASH && iStyle != PS_NULL) || cWidth < 0)
        return Fail(ERROR_INVALID_PARAMETER, HPEN(nullptr));
    CheckColour("CreatePen", color);
    auto pen = std::make_shared<handset::gdi::Pen>();
    pen->style = iStyle;
    pen->width = std::max(cWidth, 1);
    pen->colour = color;
    return reinterpret_cast<HPEN>(Objects().AddObject(std::move(pen)));
}

// Every face is Tahoma (fonts.h). The glyphs are smoothed in grey whatever
// lfQuality asks: the handset has no ClearType, whose colour fringes depend
// on the panel. Widths, escapements, underlines and strike-outs are not
// emulated.
HANDSET_API(HFONT, CreateFontIndirectW, (const LOGFONTW* lplf), (lplf)) {
    if (auto e = Enter("CreateFontIndirectW")) return Fail(*e, HFONT(nullptr));
    if (!lplf) return Fail(ERROR_INVALID_PARAMETER, HFONT(nullptr));
    if (lplf->lfWidth)
        NotEmulated("CreateFontIndirectW", "lfWidth " + std::to_string(lplf->lfWidth));
    if (lplf->lfEscapement || lplf->lfOrientation)
        NotEmulated("CreateFontIndirectW", "lfEscapement " + std::to_string(lplf->lfEscapement) +
                                               ", lfOrientation " +
                                               std::to_string(lplf->lfOrientation));
    if (lplf->lfUnderline || lplf->lfStrikeOut)
        NotEmulated("CreateFontIndirectW", "lfUnderline or lfStrikeOut");
    if (lplf->lfHeight > handset::gdi::kLargestEm || lplf->lfHeight < -handset::gdi::kLargestEm)
        NotEmulated("CreateFontIndirectW", "lfHeight " + std::to_string(lplf->lfHeight) +
                                               " (the handset draws up to 1024 pixels)");
    auto font = std::make_shared<FontObject>();
    font->logFont = *lplf;
    const WCHAR* face = lplf->lfFaceName;
    font->request.height = lplf->lfHeight;
    font->request.weight = lplf->lfWeight;
    font->request.italic = lplf->lfItalic != 0;
    font->request.faceName.assign(face, std::find(face, face + LF_FACESIZE, u'\0'));
    font->request.logPixelsY = Objects().LogicalDpi();
    Objects().Realize(*font);
    return reinterpret_cast<HFONT>(Objects().AddObject(std::move(font)));
}

// The stock objects of Windows CE; DEFAULT_PALETTE is not emulated (the
// display has no palette), any other index fails.
HANDSET_API(HGDIOBJ, GetStockObject, (int i), (i)) {
    if (auto e = Enter("GetStockObject")) return Fail(*e, HGDIOBJ(nullptr));
    if (i == DEFAULT_PALETTE) NotEmulated("GetStockObject", "DEFAULT_PALETTE");
    if (HGDIOBJ stock = Objects().Stock(i)) return stock;
    return Fail(ERROR_INVALID_PARAMETER, HGDIOBJ(nullptr));
}

// A bitmap goes into memory contexts only, and into one at a time: another
// context's bitmap, or any bitmap for a screen or window context, fails
// with ERROR_INVALID_PARAMETER. Regions are not emulated.
HANDSET_API(HGDIOBJ, SelectObject, (HDC hdc, HGDIOBJ h), (hdc, h)) {
    if (auto e = Enter("SelectObject")) return Fail(*e, HGDIOBJ(nullptr));
    auto dc = Objects().FindDC(hdc);
    auto object = Objects().FindObject(h);
    if (!dc || !object) return Fail(ERROR_INVALID_HANDLE, HGDIOBJ(nullptr));
    if (object->type == ObjectType::Bitmap) {
        bool elsewhere = !object->stock && object->selections > 0 &&
                         dc->Current(ObjectType::Bitmap) != object.get();
        if (dc->kind != DeviceContext::Kind::Memory || elsewhere)
            return Fail(ERROR_INVALID_PARAMETER, HGDIOBJ(nullptr));
    }
    return dc->Select(h, std::move(object));
}

// Stock objects are never deleted, and deleting one succeeds, as the
// phone's documents say. An object still selected into a context is not
// deleted: FALSE, with ERROR_INVALID_HANDLE, which the documents group it with.
HANDSET_API(BOOL, DeleteObject, (HGDIOBJ ho), (ho)) {
    if (auto e = Enter("DeleteObject")) return Fail(*e, FALSE);
    auto object = Objects().FindObject(ho);
    if (object && object->stock) return TRUE;
    if (!object || object->selections > 0) return Fail(ERROR_INVALID_HANDLE, FALSE);
    Dev().handles().Remove(reinterpret_cast<uintptr_t>(ho), handset::kGdiObject);
    return TRUE;
}

// Bitmaps: a DIBSECTION when the buffer holds one, else a BITMAP; without
// a buffer, the size of the fullest answer. bmHeight is positive either way
// up; dsBmih.biHeight keeps the sign the section was made with, and
// bmWidthBytes is the DIB's DWORD-aligned row. A buffer smaller than the
// structure fails with ERROR_INVALID_PARAMETER and is left untouched.
HANDSET_API(int, GetObjectW, (HGDIOBJ h, int c, LPVOID pv), (h, c, pv)) {
    if (auto e = Enter("GetObjectW")) return Fail(*e, 0);
    auto object = Objects().FindObject(h);
    if (!object) return Fail(ERROR_INVALID_HANDLE, 0);
    auto give = [&](const void* data, int size) {
        if (!pv) return size;
        if (c < size) return Fail(ERROR_INVALID_PARAMETER, 0);
        std::memcpy(pv, data, size);
        return size;
    };
    switch (object->type) {
    case ObjectType::Bitmap: {
        auto& b = static_cast<Bitmap&>(*object);
        DIBSECTION ds = {};
        ds.dsBm.bmWidth = b.width;
        ds.dsBm.bmHeight = b.height;
        ds.dsBm.bmPlanes = 1;
        ds.dsBm.bmBitsPixel = static_cast<WORD>(b.bitsPerPixel);
        if (!b.Bits()) { // the monochrome default: word-aligned rows, no bits
            ds.dsBm.bmWidthBytes = 2;
            return give(&ds.dsBm, sizeof(BITMAP));
        }
        ds.dsBm.bmWidthBytes = b.stride;
        ds.dsBm.bmBits = b.Bits();
        ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
        ds.dsBmih.biWidth = b.width;
        ds.dsBmih.biHeight = b.topDown ? -b.height : b.height;
        ds.dsBmih.biPlanes = 1;
        ds.dsBmih.biBitCount = 16;
        ds.dsBmih.biCompression = BI_BITFIELDS;
        ds.dsBmih.biSizeImage = static_cast<DWORD>(b.stride) * b.height;
        ds.dsBitfields[0] = 0xF800;
        ds.dsBitfields[1] = 0x07E0;
        ds.dsBitfields[2] = 0x001F;
        if (pv && c >= int(sizeof(DIBSECTION))) return give(&ds, sizeof(DIBSECTION));
        return pv ? give(&ds.dsBm, sizeof(BITMAP)) : int(sizeof(DIBSECTION));
    }
    case ObjectType::Brush: {
        auto& b = static_cast<handset::gdi::Brush&>(*object);
        LOGBRUSH lb = {b.hollow ? UINT(BS_NULL) : UINT(BS_SOLID), b.hollow ? 0 : b.colour, 0};
        return give(&lb, sizeof lb);
    }
    case ObjectType::Pen: {
        auto& p = static_cast<handset::gdi::Pen&>(*object);
        LOGPEN lp = {UINT(p.style), {p.width, 0}, p.colour};
        return give(&lp, sizeof lp);
    }
    case ObjectType::Font: {
        Objects().Realize(*object); // a stock font settles its size first
        return give(&static_cast<FontObject&>(*object).logFont, sizeof(LOGFONTW));
    }
    }
    return Fail(ERROR_INVALID_HANDLE, 0);
}

// ---- Drawing -----------------------------------------------------------------------------------

// SRCCOPY only. The source is read wherever it lies within its bitmap or
// the screen (a window's covered parts give what covers them); the
// destination is clipped to its context's rectangles.
HANDSET_API(BOOL, BitBlt,
            (HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop),
            (hdc, x, y, cx, cy, hdcSrc, x1, y1, rop)) {
    if (auto e = Enter("BitBlt")) return Fail(*e, FALSE);
    if (rop != SRCCOPY) NotEmulated("BitBlt", "rop " + Hex32(rop));
    auto dst = Objects().FindDC(hdc), src = Objects().FindDC(hdcSrc);
    if (!dst || !src) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (cx < 0 || cy < 0) NotEmulated("BitBlt", "a negative width or height (a mirrored copy)");
    Target to = DrawTarget("BitBlt", *dst), from = DrawTarget("BitBlt", *src);
    Surface source = from.surface;
    // Copied clip by clip, a copy within one buffer could read what an
    // earlier clip already wrote: the source area is taken aside first.
    std::vector<uint16_t> aside;
    if (to.buffer == from.buffer && to.clips.size() > 1) {
        int sx = x1 + source.origin.x, sy = y1 + source.origin.y;
        RECT area = handset::gdi::Intersect({0, 0, source.width, source.height},
                                            {sx, sy, sx + cx, sy + cy});
        if (handset::gdi::IsEmpty(area)) return TRUE;
        int w = area.right - area.left, hgt = area.bottom - area.top;
        aside.resize(static_cast<size_t>(w) * hgt);
        Surface copy = Surface::Of(aside.data(), w, hgt, w * 2);
        Surface whole = source;
        whole.origin = {0, 0};
        handset::gdi::CopyPixels(copy, 0, 0, w, hgt, whole, area.left, area.top);
        copy.origin = {source.origin.x - area.left, source.origin.y - area.top};
        source = copy;
    }
    OnEachClip(
        to, [&](const Surface& s) { handset::gdi::CopyPixels(s, x, y, cx, cy, source, x1, y1); });
    return TRUE;
}

// A brush handle, or a system colour index + 1, which the handset does not
// emulate. The right and bottom edges are not filled.
HANDSET_API(int, FillRect, (HDC hDC, const RECT* lprc, HBRUSH hbr), (hDC, lprc, hbr)) {
    if (auto e = Enter("FillRect")) return Fail(*e, 0);
    auto dc = Objects().FindDC(hDC);
    if (!dc) return Fail(ERROR_INVALID_HANDLE, 0);
    if (!lprc) return Fail(ERROR_INVALID_PARAMETER, 0);
    auto value = reinterpret_cast<uintptr_t>(hbr);
    if (hbr && (value < 0x100 || (value & ~uintptr_t(0xFF)) == 0x40000000))
        NotEmulated("FillRect", "hbr " + Hex32(DWORD(value)) + " (a system colour)");
    auto* brush = As<handset::gdi::Brush>(Objects().FindObject(hbr), ObjectType::Brush);
    if (!brush) return Fail(ERROR_INVALID_HANDLE, 0);
    if (brush->hollow) return 1;
    uint16_t colour = handset::gdi::ToRgb565(brush->colour);
    OnEachClip(DrawTarget("FillRect", *dc),
               [&](const Surface& s) { handset::gdi::FillSolid(s, *lprc, colour); });
    return 1;
}

// The pen outlines the pixels from (left, top) to (right - 1, bottom - 1)
// and the brush fills inside; with a null pen the brush fills one pixel
// less each way, from (left, top) to (right - 2, bottom - 2).
HANDSET_API(BOOL, Rectangle, (HDC hdc, int left, int top, int right, int bottom),
            (hdc, left, top, right, bottom)) {
    if (auto e = Enter("Rectangle")) return Fail(*e, FALSE);
    auto dc = Objects().FindDC(hdc);
    if (!dc) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    auto* pen = static_cast<handset::gdi::Pen*>(dc->Current(ObjectType::Pen));
    auto* brush = static_cast<handset::gdi::Brush*>(dc->Current(ObjectType::Brush));
    if (pen->style == PS_DASH) NotEmulated("Rectangle", "a PS_DASH pen");
    if (pen->width > 1)
        NotEmulated("Rectangle", "a pen " + std::to_string(pen->width) + " pixels wide");
    bool outline = pen->style != PS_NULL;
    RECT inside = outline ? RECT{left + 1, top + 1, right - 1, bottom - 1}
                          : RECT{left, top, right - 1, bottom - 1};
    OnEachClip(DrawTarget("Rectangle", *dc), [&](const Surface& s) {
        if (!brush->hollow)
            handset::gdi::FillSolid(s, inside, handset::gdi::ToRgb565(brush->colour));
        if (!outline) return;
        uint16_t ink = handset::gdi::ToRgb565(pen->colour);
        for (const RECT& edge :
             {RECT{left, top, right, top + 1}, RECT{left, bottom - 1, right, bottom},
              RECT{left, top, left + 1, bottom}, RECT{right - 1, top, right, bottom}})
            handset::gdi::FillSolid(s, edge, ink);
    });
    return TRUE;
}

// ---- Text --------------------------------------------------------------------------------

HANDSET_API(int, SetBkMode, (HDC hdc, int mode), (hdc, mode)) {
    if (auto e = Enter("SetBkMode")) return Fail(*e, 0);
    auto dc = Objects().FindDC(hdc);
    if (!dc) return Fail(ERROR_INVALID_HANDLE, 0);
    if (mode != TRANSPARENT && mode != OPAQUE) return Fail(ERROR_INVALID_PARAMETER, 0);
    int previous = dc->text.opaque ? OPAQUE : TRANSPARENT;
    dc->text.opaque = mode == OPAQUE;
    return previous;
}

HANDSET_API(COLORREF, SetBkColor, (HDC hdc, COLORREF color), (hdc, color)) {
    if (auto e = Enter("SetBkColor")) return Fail(*e, COLORREF(CLR_INVALID));
    auto dc = Objects().FindDC(hdc);
    if (!dc) return Fail(ERROR_INVALID_HANDLE, COLORREF(CLR_INVALID));
    CheckColour("SetBkColor", color);
    return std::exchange(dc->text.backgroundColor, color);
}

HANDSET_API(COLORREF, SetTextColor, (HDC hdc, COLORREF color), (hdc, color)) {
    if (auto e = Enter("SetTextColor")) return Fail(*e, COLORREF(CLR_INVALID));
    auto dc = Objects().FindDC(hdc);
    if (!dc) return Fail(ERROR_INVALID_HANDLE, COLORREF(CLR_INVALID));
    CheckColour("SetTextColor", color);
    return std::exchange(dc->text.textColor, color);
}

HANDSET_API(BOOL, GetTextMetricsW, (HDC hdc, LPTEXTMETRICW lptm), (hdc, lptm)) {
    if (auto e = Enter("GetTextMetricsW")) return Fail(*e, FALSE);
    auto dc = Objects().FindDC(hdc);
    if (!dc) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!lptm) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const handset::gdi::TextMetrics& m = SelectedFont(*dc).Metrics();
    *lptm = {m.height,           m.ascent,       m.descent,   m.internalLeading, m.externalLeading,
             m.aveCharWidth,     m.maxCharWidth, m.weight,    m.overhang,        m.digitizedAspectX,
             m.digitizedAspectY, m.firstChar,    m.lastChar,  m.defaultChar,     m.breakChar,
             m.italic,           m.underlined,   m.struckOut, m.pitchAndFamily,  m.charSet};
    return TRUE;
}

HANDSET_API(BOOL, GetTextExtentPoint32W, (HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl),
            (hdc, lpString, c, psizl)) {
    if (auto e = Enter("GetTextExtentPoint32W")) return Fail(*e, FALSE);
    auto dc = Objects().FindDC(hdc);
    if (!dc) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (c < 0 || (!lpString && c > 0) || !psizl) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *psizl = handset::gdi::MeasureText(SelectedFont(*dc), std::u16string_view(lpString, c));
    return TRUE;
}

// cchText -1: the text runs to its terminator. The format flags are those
// gdi/text.h implements; any other stops the run, naming it.
HANDSET_API(int, DrawTextW, (HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format),
            (hdc, lpchText, cchText, lprc, format)) {
    if (auto e = Enter("DrawTextW")) return Fail(*e, 0);
    auto dc = Objects().FindDC(hdc);
    if (!dc) return Fail(ERROR_INVALID_HANDLE, 0);
    if (!lprc || cchText < -1 || (!lpchText && cchText != 0))
        return Fail(ERROR_INVALID_PARAMETER, 0);
    if (UINT missing = format & ~handset::gdi::ImplementedFormat)
        NotEmulated("DrawTextW", "uFormat " + handset::gdi::FormatFlagNames(missing));
    std::u16string_view text =
        cchText == -1 ? std::u16string_view(lpchText) : std::u16string_view(lpchText, cchText);
    const handset::gdi::Font& font = SelectedFont(*dc);
    if (format & DT_CALCRECT)
        return handset::gdi::DrawFormatted(nullptr, font, text, lprc, format, dc->text);
    Target target = DrawTarget("DrawTextW", *dc);
    int height = 0;
    if (target.clips.empty()) { // nothing shows; the layout still answers
        RECT rect = *lprc;
        return handset::gdi::DrawFormatted(nullptr, font, text, &rect, format, dc->text);
    }
    OnEachClip(target, [&](const Surface& s) {
        RECT rect = *lprc;
        height = handset::gdi::DrawFormatted(&s, font, text, &rect, format, dc->text);
    });
    return height;
}
