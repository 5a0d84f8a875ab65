// The lock picture on the handset, pixel by pixel: composed over a known
// screen and painted into a window's device context, at 96 and 192 dpi, it
// must equal a reference drawn here from the description of the picture: each
// channel moved halfway to white, then each line in black over a white
// shadow at its top, the time at every paint. Both platform builds run these
// tests; they differ in the name line's format.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/lock_state.h"
#include "device/device.h"
#include "gdi/gdi.h"
#include "gdi/png.h"
#include "gdi/text.h"
#include "render/frame_surface.h"
#include "testing/testing.h"
#include "window/lock_picture.h"

using handset::Device;
using handset::Gdi;
using handset::Screen;
using namespace handset::gdi;

namespace {

constexpr UINT Line = DT_CENTER | DT_VCENTER | DT_WORDBREAK;
#if TESTED_WCE >= 0x500
constexpr UINT NameLine = DT_CENTER | DT_VCENTER | DT_WORD_ELLIPSIS;
const char* const Platform = "";
#else
constexpr UINT NameLine = Line; // Pocket PC 2003 wraps the name like the rest
const char* const Platform = "_ppc2003";
#endif
const HWND LockWindow = reinterpret_cast<HWND>(0x7000);

// The screen before the lock: black and white halves over colour bars.
uint16_t Background(int x, int y, int width, int height) {
    if (y < height / 2) return x < width / 2 ? 0x0000 : 0xFFFF;
    static const uint16_t bars[] = {0xF800, 0x07E0, 0x001F, 0xFFE0, 0x07FF, 0xF81F, 0x8410};
    return bars[x * 7 / width];
}

// Each channel halfway to white, rounded down.
uint16_t Veiled(uint16_t p) {
    unsigned r = (31 + (p >> 11)) / 2, g = (63 + (p >> 5 & 63)) / 2, b = (31 + (p & 31)) / 2;
    return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

struct Picture {
    int width, height, dpi;
    std::vector<uint16_t> pixels;
    Surface surface;
    std::shared_ptr<const Font> font;

    Picture(int w, int h, int d) : width(w), height(h), dpi(d), pixels(size_t(w) * h) {
        surface = Surface::Of(pixels.data(), w, h, w * 2);
        static FontLibrary fonts;
        FontRequest request;
        request.height = -(12 * dpi) / 72;
        request.weight = 700;
        request.faceName = u"Tahoma";
        request.logPixelsY = dpi;
        std::string error;
        font = fonts.Open(request, &error);
        EXPECT_TRUE(font) << error;
    }
    int Top(int top96) const { return top96 * dpi / 96; }
    int H() const { return font->Metrics().height; }
    int Step() const { return H() + font->Metrics().internalLeading; }
    void Shadowed(std::u16string_view text, int top, UINT format) {
        TextStyle style;
        style.opaque = false;
        style.textColor = RGB(255, 255, 255);
        RECT shadow = {1, top + 1, width + 1, top + H() + 1};
        DrawFormatted(&surface, *font, text, &shadow, format, style);
        style.textColor = RGB(0, 0, 0);
        RECT rect = {0, top, width, top + H()};
        DrawFormatted(&surface, *font, text, &rect, format, style);
    }
    // The composed still picture.
    void Compose(std::u16string_view number, std::u16string_view name) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[size_t(y) * width + x] = Veiled(Background(x, y, width, height));
        Shadowed(number, Top(10), Line);
        if (!name.empty()) Shadowed(name, Top(10) + Step(), NameLine);
        Shadowed(u"Press the Center button", Top(120), Line);
        Shadowed(u"to temporarily", Top(120) + Step(), Line);
        Shadowed(u"unlock the screen", Top(120) + 2 * Step(), Line);
    }
};

// "" when equal, else how many pixels differ and the first of them.
std::string Difference(const std::vector<uint16_t>& want, const uint16_t* got, int width) {
    size_t count = 0, first = 0;
    for (size_t i = 0; i < want.size(); ++i)
        if (want[i] != got[i] && !count++) first = i;
    if (!count) return "";
    char where[96];
    std::snprintf(where, sizeof where, "first at (%zu, %zu): want 0x%04X, got 0x%04X",
                  first % width, first / width, want[first], got[first]);
    return std::to_string(count) + " pixels differ, " + where;
}

void PaintBackground(Screen& screen) {
    Surface s = screen.Pixels();
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            s.Row(y)[x] = Background(x, y, s.width, s.height);
}

void SetCall(const char16_t* number, const char16_t* name, DWORD startTick) {
    std::u16string_view n(number), c(name);
    std::copy(n.begin(), n.end(), g_lockState.callNumber);
    g_lockState.callNumber[n.size()] = 0;
    std::copy(c.begin(), c.end(), g_lockState.callerName);
    g_lockState.callerName[c.size()] = 0;
    g_lockState.callStartTick = startTick;
}

} // namespace

TEST(LockPicture, ComposedAndPaintedAsDescribed) {
    struct Case {
        int line;
        int width, height, dpi;
        const char16_t* number;
        const char16_t* name;
        DWORD bootTick;
        DWORD elapsedMs;
        const char16_t* time;
    } cases[] = {
        {__LINE__, 240, 320, 96, u"+44 20 7946 0958", u"Ann Smith", 5000, 0, u"0 min. 0 sec."},
        {__LINE__, 240, 320, 96, u"555 0100", u"", 5000, 61000, u"1 min. 1 sec."}, // no name line
        {__LINE__, 240, 320, 96, u"", u"Bartholomew Fitzgerald-Smythe-Worthington", 5000, 3600000,
         u"60 min. 0 sec."},
        {__LINE__, 240, 320, 96, u"555 0100", u"Ann", 0xFFFFFFFF - 500, 61000, u"1 min. 1 sec."},
        {__LINE__, 480, 640, 192, u"+44 20 7946 0958", u"Bartholomew Fitzgerald-Smythe-Worthington",
         5000, 999, u"0 min. 0 sec."},
        {__LINE__, 480, 640, 192, u"555 0100", u"", 0xFFFFF000, 3600000, u"60 min. 0 sec."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d(Device::Options{.bootTick = c.bootTick});
        Screen& screen = d.Get<Screen>();
        screen.SetSize(c.width, c.height, c.dpi);
        PaintBackground(screen);
        Picture want(c.width, c.height, c.dpi);
        want.Compose(c.number, c.name);
        DWORD pid = 0;
        d.Call(
            [&] {
                pid = GetCurrentProcessId();
                SetCall(c.number, c.name, GetTickCount());
                ASSERT_TRUE(CreateFrameSurface());
                ASSERT_TRUE(CaptureScreen());
                ASSERT_TRUE(ComposeLockPicture());
                EXPECT_EQ("", Difference(want.pixels, g_lockState.surface.pixels, c.width))
                    << "the composed picture";

                Sleep(c.elapsedMs);
                HDC dc = d.Get<Gdi>().OpenWindowDC(LockWindow, {0, 0}, {{0, 0, c.width, c.height}});
                RECT client = {0, 0, c.width, c.height};
                PaintLockPicture(dc, &client);
                ReleaseDC(LockWindow, dc);
                ReleaseFrameSurface();
            },
            c.elapsedMs + 1000);
        want.Shadowed(c.time, want.Top(60), Line);
        EXPECT_EQ("", Difference(want.pixels, screen.Pixels().bits, c.width))
            << "the painted screen";
        EXPECT_NOTHING_HELD(d, pid);
    }
}

TEST(LockPicture, WithoutASurfaceOnlyTheTimeIsDrawn) {
    Device d;
    Screen& screen = d.Get<Screen>();
    PaintBackground(screen);
    Picture want(240, 320, 96);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x)
            want.pixels[size_t(y) * 240 + x] = Background(x, y, 240, 320);
    want.Shadowed(u"0 min. 5 sec.", 60, Line);
    d.Call([&] {
        SetCall(u"555 0100", u"", GetTickCount());
        ReleaseFrameSurface();
        EXPECT_FALSE(ComposeLockPicture());
        Sleep(5000);
        HDC dc = d.Get<Gdi>().OpenWindowDC(LockWindow, {0, 0}, {{0, 0, 240, 320}});
        RECT client = {0, 0, 240, 320};
        PaintLockPicture(dc, &client);
        ReleaseDC(LockWindow, dc);
    });
    EXPECT_EQ("", Difference(want.pixels, screen.Pixels().bits, 240));
}

// Pictures to look at: the lock over the test pattern at both sizes, with a
// name that does not fit, as the person on the call would see it.
TEST(LockPicture, LeavesScreenshotsToLookAt) {
    struct Case {
        int width, height, dpi;
    } cases[] = {{240, 320, 96}, {480, 640, 192}};
    for (const Case& c : cases) {
        Device d;
        Screen& screen = d.Get<Screen>();
        screen.SetSize(c.width, c.height, c.dpi);
        PaintBackground(screen);
        DWORD exit = d.Call(
            [&] {
                SetCall(u"+44 20 7946 0958", u"Bartholomew Fitzgerald-Smythe-Worthington",
                        GetTickCount());
                CreateFrameSurface();
                CaptureScreen();
                ComposeLockPicture();
                Sleep(754000);
                HDC dc = d.Get<Gdi>().OpenWindowDC(LockWindow, {0, 0}, {{0, 0, c.width, c.height}});
                RECT client = {0, 0, c.width, c.height};
                PaintLockPicture(dc, &client);
                ReleaseDC(LockWindow, dc);
                ReleaseFrameSurface();
            },
            800000);
        EXPECT_EQ(0u, exit) << "the paint did not finish";
        std::string path = std::string(LOCK_PICTURE_DIR) + "/lock_picture_" +
                           std::to_string(c.width) + "x" + std::to_string(c.height) + Platform +
                           ".png";
        std::string error;
        EXPECT_TRUE(screen.SaveScreenshot(path, Screen::Shot::Seen, &error)) << error;
    }
}
