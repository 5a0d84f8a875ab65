// What GDI handles stand for: the framebuffer, bitmaps, brushes, pens, fonts
// and device contexts, and where a device context draws. The Gdi area and
// its calls share these; device code sees only handles.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "gdi/fonts.h"
#include "gdi/surface.h"
#include "gdi/text.h"

namespace handset::gdi {

// The screen's pixels, rows top-down and packed.
struct Framebuffer {
    int width = 0, height = 0, dpi = 96;
    std::vector<uint16_t> bits;
    Surface Whole() { return Surface::Of(bits.data(), width, height, width * 2); }
};

enum class ObjectType { Bitmap, Brush, Pen, Font };
inline constexpr int kObjectTypes = 4;

struct Object {
    explicit Object(ObjectType t) : type(t) {}
    virtual ~Object() = default;
    const ObjectType type;
    bool stock = false; // never counted, never deleted
    int selections = 0; // device contexts it is selected into
};

// A DIB section, or a memory context's 1 x 1 monochrome default bitmap (no
// bits). Rows are DWORD-aligned, as a DIB's are.
struct Bitmap final : Object {
    Bitmap() : Object(ObjectType::Bitmap) {}
    int width = 0, height = 0; // height > 0 either way up
    bool topDown = false;
    int bitsPerPixel = 16;
    int stride = 0;               // bytes from one row to the next in memory
    std::vector<uint32_t> memory; // the bits, zeroed when made
    void* Bits() { return memory.empty() ? nullptr : memory.data(); }
    // Pixel rows top-down: a bottom-up bitmap is seen with a negative pitch.
    Surface View();
};

struct Brush final : Object {
    Brush() : Object(ObjectType::Brush) {}
    bool hollow = false; // NULL_BRUSH: fills nothing
    COLORREF colour = 0;
};

struct Pen final : Object {
    Pen() : Object(ObjectType::Pen) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF colour = 0;
};

struct FontObject final : Object {
    FontObject() : Object(ObjectType::Font) {}
    LOGFONTW logFont = {};
    FontRequest request;
    std::shared_ptr<const Font> font; // realised on first use
};

struct DeviceContext {
    enum class Kind { Screen, Window, Memory };
    explicit DeviceContext(Kind k) : kind(k) {}
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    const Kind kind;
    HWND window = nullptr;               // Window: whose it is
    std::shared_ptr<Framebuffer> screen; // Screen, Window: what it draws on
    POINT origin = {};                   // Window: logical (0, 0) on the (logical) screen
    std::vector<RECT> visible;           // Window: disjoint screen rectangles
    int scale = 1;                       // Screen, Window: the process's (Gdi::ScaleOf)

    struct Selected {
        HGDIOBJ handle = nullptr;
        std::shared_ptr<Object> object;
    };
    Selected selected[kObjectTypes];
    // Puts the object in its slot; the handle it replaces.
    HGDIOBJ Select(HGDIOBJ handle, std::shared_ptr<Object> object);
    Object* Current(ObjectType type) const { return selected[int(type)].object.get(); }

    TextStyle text;
};

// Where a device context draws: a surface with the context's origin, the
// disjoint rectangles of it (surface pixels) that may be drawn, and the
// pixels' owner, by which a copy knows its source and destination overlap.
struct Target {
    Surface surface;
    std::vector<RECT> clips;
    const void* buffer = nullptr;
};
// False for a memory context still holding its default monochrome bitmap:
// the handset draws only on 16-bit pixels.
bool TargetOf(const DeviceContext& dc, Target* target);

// The union of the rectangles within bounds, as disjoint rectangles, so
// that nothing is drawn twice (twice-blended glyph edges would darken).
std::vector<RECT> Disjoint(const std::vector<RECT>& rects, const RECT& bounds);

} // namespace handset::gdi
