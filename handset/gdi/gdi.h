// The phone's screen and GDI's objects. The Screen area is the display: an
// RGB565 framebuffer, its size and dpi, its backlight, and screenshots. The
// Gdi area holds what processes make and draw with (device contexts, DIB
// sections, brushes, pens, fonts) and gives the window manager device
// contexts on windows. The platform calls (calls.cpp) act on both.
//
// As on the phone there is no compositor: every device context on the screen
// or on a window draws straight into the one framebuffer, and a window's is
// clipped to the parts of the screen that no window above it covers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/area.h"
#include "device/handles.h"
#include "gdi/fonts.h"
#include "gdi/png.h"
#include "gdi/surface.h"

namespace handset {

class Platform;

// Bitmaps, brushes, pens and fonts a process made; stock objects are
// entries too, held by no process and never counted.
inline constexpr HandleKind kGdiObject{"GDI object", "GDI objects"};
// Memory device contexts, and those on the screen and on windows until
// they are released.
inline constexpr HandleKind kDeviceContext{"device context", "device contexts"};

namespace gdi {
struct Framebuffer;
struct DeviceContext;
struct Object;
} // namespace gdi

class Screen final : public Area {
  public:
    explicit Screen(Platform& platform);
    ~Screen() override;

    // ---- Driving: for tests and scenarios ------------------------------------
    // The display is 240 x 320 at 96 dpi until the driver sets another size,
    // which it does before programs start (480, 640, 192 for a VGA phone).
    // Width and height run from 1 to 2048 and dpi from 48 to 480; anything
    // else, or a change while a device context is open on the screen, is the
    // driver's mistake and fatal. The new framebuffer is black.
    void SetSize(int width, int height, int dpi);
    int Width() const;
    int Height() const;
    int Dpi() const;

    // The framebuffer itself, for a test to paint what is on the screen and
    // to read what programs drew.
    gdi::Surface Pixels() const;
    // One pixel; fatal outside the screen.
    uint16_t Pixel(int x, int y) const;

    // The backlight, which the power area switches. Lit at power-on.
    void SetLit(bool lit) { lit_ = lit; }
    bool Lit() const { return lit_; }

    // Seen: what a person sees, black while the backlight is off (the panel
    // shows nothing readable without it). Raw: the framebuffer's pixels.
    enum class Shot { Seen, Raw };
    gdi::Rgb888Image Picture(Shot shot = Shot::Seen) const;
    // A PNG file of the picture; false and "PATH: cannot write PNG: ..." in
    // *error when it cannot be written.
    bool SaveScreenshot(const std::string& path, Shot shot, std::string* error) const;

    // For the Gdi area: the framebuffer that device contexts on the screen
    // share while they are open.
    const std::shared_ptr<gdi::Framebuffer>& Framebuffer() const { return framebuffer_; }

  private:
    std::shared_ptr<gdi::Framebuffer> framebuffer_;
    bool lit_ = true;
};

class Gdi final : public Area {
  public:
    explicit Gdi(Platform& platform);
    ~Gdi() override;

    // ---- For the window manager ------------------------------------------------
    // A device context on a window, owned by the calling process: its
    // logical (0, 0) is screenOrigin on the screen, and it draws only inside
    // visibleScreenRects (screen pixels; they may overlap and reach off the
    // screen: the context keeps their union within the screen). GetDC(hwnd)
    // and BeginPaint hand it out; ReleaseDC or ReleaseWindowDC ends it.
    // A scale above 1 is the window of a process that is not high-resolution
    // aware: screenOrigin is then on its logical screen (ScaleOf).
    HDC OpenWindowDC(HWND window, POINT screenOrigin, std::vector<RECT> visibleScreenRects,
                     int scale = 1);
    // Ends a window's device context (EndPaint); false when dc is not one.
    bool ReleaseWindowDC(HDC dc);
    // The window moved or was covered or uncovered: its open device contexts
    // draw at the new place from now on.
    void MoveWindowDCs(HWND window, POINT screenOrigin, std::vector<RECT> visibleScreenRects,
                       int scale = 1);

    // Where GetDC(hwnd) finds a window: its client area's origin on the
    // screen and what of it is visible, or nothing for a handle that is no
    // window (GetDC then fails with ERROR_INVALID_WINDOW_HANDLE). Until the
    // window manager sets it, GetDC on a window is not emulated.
    struct WindowPlace {
        POINT origin;
        std::vector<RECT> visible;
        int scale = 1;
    };
    using WindowLookup = std::function<std::optional<WindowPlace>(HWND)>;
    void SetWindowLookup(WindowLookup lookup) { lookup_ = std::move(lookup); }
    const WindowLookup& Lookup() const { return lookup_; }

    // ---- The logical screen of a process --------------------------------------------
    // Physical pixels per logical pixel for the process: on a screen of 192
    // dpi or another multiple of 96, a program that is not high-resolution
    // aware sees a 96-dpi screen of half (a third, ...) the size, and what it
    // draws is pixel-doubled. Aware are the programs whose resources hold
    // CEUX HI_RES_AWARE with the 16-bit value 1, and every process without
    // resources (the handset's own programs, a test's bare processes).
    int ScaleOf(DWORD pid) const;
    // The calling process's dpi, as GetDeviceCaps gives it.
    int LogicalDpi() const;

    // ---- For the GDI calls --------------------------------------------------------
    std::shared_ptr<gdi::DeviceContext> FindDC(HDC dc) const;
    std::shared_ptr<gdi::Object> FindObject(HGDIOBJ object) const;
    // A new device context counted against the calling process.
    HDC AddDC(std::shared_ptr<gdi::DeviceContext> dc);
    HGDIOBJ AddObject(std::shared_ptr<gdi::Object> object);
    // The stock object of a GetStockObject index, or null for none.
    HGDIOBJ Stock(int index) const;
    HGDIOBJ DefaultBitmap() const { return defaultBitmap_; }
    // A fresh context's selections: white brush, black pen, system font, and
    // for a memory context the 1 x 1 monochrome bitmap.
    void SelectDefaults(gdi::DeviceContext& dc) const;
    gdi::FontLibrary& Fonts();
    // The font's face at its size, made on first use; fatal when the font
    // files are missing (the handset's installation, not the phone, is broken).
    const gdi::Font& Realize(gdi::Object& font);
    // As the context draws it: the stock font at the context's logical dpi.
    const gdi::Font& Realize(gdi::Object& font, const gdi::DeviceContext& dc);

  private:
    HGDIOBJ AddStock(std::shared_ptr<gdi::Object> object);

    HGDIOBJ stock_[16] = {};
    HGDIOBJ defaultBitmap_ = nullptr;
    std::unique_ptr<gdi::FontLibrary> fonts_;
    std::vector<std::weak_ptr<gdi::DeviceContext>> windowDCs_;
    WindowLookup lookup_;
};

} // namespace handset
