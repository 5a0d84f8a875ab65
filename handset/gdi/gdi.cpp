// The Screen and Gdi areas: the framebuffer and its screenshots, stock
// objects, window device contexts, and where each device context draws.
#include "gdi/gdi.h"

#include <algorithm>

#include "device/platform.h"
#include "gdi/objects.h"
#include "res/resources.h"

namespace handset {

using gdi::Bitmap;
using gdi::DeviceContext;
using gdi::Framebuffer;
using gdi::Object;

namespace {

std::shared_ptr<Framebuffer> NewFramebuffer(int width, int height, int dpi) {
    auto fb = std::make_shared<Framebuffer>();
    fb->width = width;
    fb->height = height;
    fb->dpi = dpi;
    fb->bits.assign(static_cast<size_t>(width) * height, 0x0000);
    return fb;
}

} // namespace

// ---- Screen ------------------------------------------------------------------------

Screen::Screen(Platform& platform) : Area(platform), framebuffer_(NewFramebuffer(240, 320, 96)) {}

Screen::~Screen() = default;

void Screen::SetSize(int width, int height, int dpi) {
    if (width < 1 || width > 2048 || height < 1 || height > 2048 || dpi < 48 || dpi > 480)
        Platform::Fatal("Screen::SetSize(" + std::to_string(width) + ", " + std::to_string(height) +
                        ", " + std::to_string(dpi) +
                        "): the handset's screens are 1 to 2048 pixels a side at 48 to 480 dpi");
    // Every device context on the screen holds the framebuffer.
    if (long open = framebuffer_.use_count() - 1; open > 0)
        Platform::Fatal("Screen::SetSize: " + std::to_string(open) +
                        " device context(s) are open on the screen; set the size before "
                        "programs start");
    framebuffer_ = NewFramebuffer(width, height, dpi);
}

int Screen::Width() const {
    return framebuffer_->width;
}
int Screen::Height() const {
    return framebuffer_->height;
}
int Screen::Dpi() const {
    return framebuffer_->dpi;
}

gdi::Surface Screen::Pixels() const {
    return framebuffer_->Whole();
}

uint16_t Screen::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        Platform::Fatal("Screen::Pixel(" + std::to_string(x) + ", " + std::to_string(y) +
                        "): outside the " + std::to_string(Width()) + " x " +
                        std::to_string(Height()) + " screen");
    return framebuffer_->bits[static_cast<size_t>(y) * Width() + x];
}

gdi::Rgb888Image Screen::Picture(Shot shot) const {
    gdi::Rgb888Image image = gdi::ToRgb888(framebuffer_->Whole());
    if (shot == Shot::Seen && !lit_) std::fill(image.rgb.begin(), image.rgb.end(), 0);
    return image;
}

bool Screen::SaveScreenshot(const std::string& path, Shot shot, std::string* error) const {
    return gdi::WritePng(path, Picture(shot), error);
}

// ---- Gdi -----------------------------------------------------------------------------

Gdi::Gdi(Platform& platform) : Area(platform) {
    platform.Get<Screen>(); // made first, so it outlives every device context's area
    auto brush = [&](int index, COLORREF colour, bool hollow = false) {
        auto b = std::make_shared<gdi::Brush>();
        b->colour = colour;
        b->hollow = hollow;
        stock_[index] = AddStock(b);
    };
    brush(WHITE_BRUSH, RGB(255, 255, 255));
    brush(LTGRAY_BRUSH, RGB(192, 192, 192));
    brush(GRAY_BRUSH, RGB(128, 128, 128));
    brush(DKGRAY_BRUSH, RGB(64, 64, 64));
    brush(BLACK_BRUSH, RGB(0, 0, 0));
    brush(NULL_BRUSH, 0, true);
    auto pen = [&](int index, int style, COLORREF colour) {
        auto p = std::make_shared<gdi::Pen>();
        p->style = style;
        p->colour = colour;
        stock_[index] = AddStock(p);
    };
    pen(WHITE_PEN, PS_SOLID, RGB(255, 255, 255));
    pen(BLACK_PEN, PS_SOLID, RGB(0, 0, 0));
    pen(NULL_PEN, PS_NULL, 0);

    // The system font: Tahoma Bold at 9 points, what Pocket PC draws a
    // device context's text in until a program selects a font.
    auto font = std::make_shared<gdi::FontObject>();
    int dpi = platform.Get<Screen>().Dpi();
    font->logFont.lfHeight = -(9 * dpi / 72);
    font->logFont.lfWeight = FW_BOLD;
    const char16_t face[] = u"Tahoma";
    std::copy(std::begin(face), std::end(face), font->logFont.lfFaceName);
    font->request.height = font->logFont.lfHeight;
    font->request.weight = FW_BOLD;
    font->request.faceName = u"Tahoma";
    font->request.logPixelsY = dpi;
    stock_[SYSTEM_FONT] = AddStock(font);

    auto mono = std::make_shared<Bitmap>();
    mono->width = mono->height = 1;
    mono->bitsPerPixel = 1;
    mono->stride = 4;
    defaultBitmap_ = AddStock(mono);
}

Gdi::~Gdi() = default;

HGDIOBJ Gdi::AddStock(std::shared_ptr<Object> object) {
    object->stock = true;
    return reinterpret_cast<HGDIOBJ>(
        platform_.handles().Add(kGdiObject, 0, std::move(object), /*counted=*/false));
}

HGDIOBJ Gdi::Stock(int index) const {
    return index >= 0 && index < int(std::size(stock_)) ? stock_[index] : nullptr;
}

void Gdi::SelectDefaults(DeviceContext& dc) const {
    auto select = [&](HGDIOBJ h) { dc.Select(h, FindObject(h)); };
    select(stock_[WHITE_BRUSH]);
    select(stock_[BLACK_PEN]);
    select(stock_[SYSTEM_FONT]);
    if (dc.kind == DeviceContext::Kind::Memory) select(defaultBitmap_);
}

std::shared_ptr<DeviceContext> Gdi::FindDC(HDC dc) const {
    return platform_.handles().Get<DeviceContext>(reinterpret_cast<uintptr_t>(dc), kDeviceContext);
}

std::shared_ptr<Object> Gdi::FindObject(HGDIOBJ object) const {
    return platform_.handles().Get<Object>(reinterpret_cast<uintptr_t>(object), kGdiObject);
}

HDC Gdi::AddDC(std::shared_ptr<DeviceContext> dc) {
    return reinterpret_cast<HDC>(
        platform_.handles().Add(kDeviceContext, platform_.CurrentPid(), std::move(dc)));
}

HGDIOBJ Gdi::AddObject(std::shared_ptr<Object> object) {
    return reinterpret_cast<HGDIOBJ>(
        platform_.handles().Add(kGdiObject, platform_.CurrentPid(), std::move(object)));
}

gdi::FontLibrary& Gdi::Fonts() {
    if (!fonts_) fonts_ = std::make_unique<gdi::FontLibrary>();
    return *fonts_;
}

const gdi::Font& Gdi::Realize(Object& object) {
    auto& font = static_cast<gdi::FontObject&>(object);
    if (font.stock) {
        // The system font follows the screen, whose size the driver may set
        // after this area was made.
        int dpi = platform_.Get<Screen>().Dpi();
        if (font.request.logPixelsY != dpi) {
            font.logFont.lfHeight = font.request.height = -(9 * dpi / 72);
            font.request.logPixelsY = dpi;
            font.font.reset();
        }
    }
    if (!font.font) {
        std::string error;
        font.font = Fonts().Open(font.request, &error);
        if (!font.font) Platform::Fatal("fonts: " + error);
    }
    return *font.font;
}

int Gdi::ScaleOf(DWORD pid) const {
    int dpi = platform_.Get<Screen>().Dpi();
    if (dpi < 192 || dpi % 96) return 1;
    Process* p = platform_.FindProcess(pid);
    const ResFile* res = p ? platform_.Get<Resources>().Find(p->module) : nullptr;
    if (!res) return 1;
    const ResEntry* mark = res->Find(u"CEUX", u"HI_RES_AWARE");
    bool aware = mark && mark->data.size() >= 2 && mark->data[0] == 1 && mark->data[1] == 0;
    return aware ? 1 : dpi / 96;
}

int Gdi::LogicalDpi() const {
    return platform_.Get<Screen>().Dpi() / ScaleOf(platform_.CurrentPid());
}

const gdi::Font& Gdi::Realize(Object& object, const gdi::DeviceContext& dc) {
    auto& font = static_cast<gdi::FontObject&>(object);
    if (!font.stock || dc.scale == 1) return Realize(object);
    gdi::FontRequest request = font.request;
    request.logPixelsY = platform_.Get<Screen>().Dpi() / dc.scale;
    request.height = -(9 * request.logPixelsY / 72);
    std::string error;
    auto made = Fonts().Open(request, &error);
    if (!made) Platform::Fatal("fonts: " + error);
    return *made; // the library keeps it
}

HDC Gdi::OpenWindowDC(HWND window, POINT screenOrigin, std::vector<RECT> visibleScreenRects,
                      int scale) {
    auto dc = std::make_shared<DeviceContext>(DeviceContext::Kind::Window);
    dc->window = window;
    dc->screen = platform_.Get<Screen>().Framebuffer();
    dc->origin = screenOrigin;
    dc->scale = scale;
    dc->visible = gdi::Disjoint(visibleScreenRects, {0, 0, dc->screen->width, dc->screen->height});
    SelectDefaults(*dc);
    std::erase_if(windowDCs_, [](const auto& w) { return w.expired(); });
    windowDCs_.push_back(dc);
    return AddDC(std::move(dc));
}

bool Gdi::ReleaseWindowDC(HDC dc) {
    auto found = FindDC(dc);
    if (!found || found->kind != DeviceContext::Kind::Window) return false;
    return platform_.handles().Remove(reinterpret_cast<uintptr_t>(dc), kDeviceContext);
}

void Gdi::MoveWindowDCs(HWND window, POINT screenOrigin, std::vector<RECT> visibleScreenRects,
                        int scale) {
    for (const auto& weak : windowDCs_)
        if (auto dc = weak.lock(); dc && dc->window == window) {
            dc->origin = screenOrigin;
            dc->scale = scale;
            dc->visible =
                gdi::Disjoint(visibleScreenRects, {0, 0, dc->screen->width, dc->screen->height});
        }
}

// ---- Objects -------------------------------------------------------------------------

namespace gdi {

Surface Bitmap::View() {
    auto* base = reinterpret_cast<uint16_t*>(Bits());
    if (topDown) return Surface::Of(base, width, height, stride);
    auto* top = reinterpret_cast<uint16_t*>(reinterpret_cast<unsigned char*>(base) +
                                            static_cast<ptrdiff_t>(height - 1) * stride);
    return Surface::Of(top, width, height, -stride);
}

DeviceContext::~DeviceContext() {
    for (Selected& s : selected)
        if (s.object) --s.object->selections;
}

HGDIOBJ DeviceContext::Select(HGDIOBJ handle, std::shared_ptr<Object> object) {
    Selected& slot = selected[int(object->type)];
    HGDIOBJ previous = slot.handle;
    if (slot.object) --slot.object->selections;
    ++object->selections;
    slot = {handle, std::move(object)};
    return previous;
}

bool TargetOf(const DeviceContext& dc, Target* target) {
    switch (dc.kind) {
    case DeviceContext::Kind::Screen:
        target->surface = dc.screen->Whole();
        target->surface.scale = dc.scale;
        target->clips = {target->surface.clip};
        target->buffer = dc.screen.get();
        return true;
    case DeviceContext::Kind::Window:
        target->surface = dc.screen->Whole();
        target->surface.origin = dc.origin;
        target->surface.scale = dc.scale;
        target->clips = dc.visible;
        target->buffer = dc.screen.get();
        return true;
    case DeviceContext::Kind::Memory: {
        auto* bitmap = static_cast<Bitmap*>(dc.Current(ObjectType::Bitmap));
        if (!bitmap->Bits()) return false;
        target->surface = bitmap->View();
        target->clips = {target->surface.clip};
        target->buffer = bitmap;
        return true;
    }
    }
    return false;
}

namespace {

// What of p lies outside o, as up to four rectangles: the bands above and
// below o, then what is left and right of it between them.
void Subtract(const RECT& p, const RECT& o, std::vector<RECT>* out) {
    RECT i = Intersect(p, o);
    if (IsEmpty(i)) {
        out->push_back(p);
        return;
    }
    const RECT pieces[] = {{p.left, p.top, p.right, i.top},
                           {p.left, i.bottom, p.right, p.bottom},
                           {p.left, i.top, i.left, i.bottom},
                           {i.right, i.top, p.right, i.bottom}};
    for (const RECT& r : pieces)
        if (!IsEmpty(r)) out->push_back(r);
}

} // namespace

std::vector<RECT> Disjoint(const std::vector<RECT>& rects, const RECT& bounds) {
    std::vector<RECT> out;
    for (const RECT& r : rects) {
        std::vector<RECT> pieces = {Intersect(r, bounds)};
        for (const RECT& taken : out) {
            std::vector<RECT> rest;
            for (const RECT& p : pieces)
                if (!IsEmpty(p)) Subtract(p, taken, &rest);
            pieces = std::move(rest);
        }
        for (const RECT& p : pieces)
            if (!IsEmpty(p)) out.push_back(p);
    }
    return out;
}

} // namespace gdi

} // namespace handset
