// The screen: a window's device context draws only where the window is
// visible, whatever rectangles the window manager gives, and follows it when
// it moves; screenshots show the raw pixels or what a person sees.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "device/device.h"
#include "gdi/gdi.h"
#include "gdi/png.h"

using handset::Device;
using handset::Gdi;
using handset::Screen;

namespace {

constexpr uint16_t Backdrop = 0x4208;
const HWND Window = reinterpret_cast<HWND>(0x5000);

void Paint(Screen& screen, uint16_t colour) {
    handset::gdi::Surface s = screen.Pixels();
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            s.Row(y)[x] = colour;
}

bool Inside(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

std::vector<uint16_t> Framebuffer(Screen& screen) {
    handset::gdi::Surface s = screen.Pixels();
    return {s.bits, s.bits + size_t(s.width) * s.height};
}

} // namespace

TEST(WindowDC, DrawsOnlyWhereTheWindowIsVisible) {
    struct Case {
        int line;
        POINT origin;
        std::vector<RECT> visible; // screen pixels
    } cases[] = {
        {__LINE__, {20, 30}, {{20, 30, 120, 130}}},
        {__LINE__, {0, 0}, {{0, 0, 100, 100}, {50, 50, 150, 150}}},       // overlapping
        {__LINE__, {10, 10}, {{-20, -20, 50, 50}, {200, 300, 300, 400}}}, // off the screen
        {__LINE__,
         {0, 0},
         {{0, 0, 240, 100}, {0, 100, 60, 200}, {180, 100, 240, 200}, {0, 200, 240, 320}}},
        {__LINE__, {5, 5}, {}}, // wholly covered
    };
    const RECT fill = {5, 5, 200, 250}; // logical, in the window
    Device d;
    Screen& screen = d.Get<Screen>();
    d.Call([&] {
        HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
        for (const Case& c : cases) {
            SCOPED_TRACE("line " + std::to_string(c.line));
            Paint(screen, Backdrop);
            HDC dc = d.Get<Gdi>().OpenWindowDC(Window, c.origin, c.visible);
            ASSERT_TRUE(dc);
            EXPECT_TRUE(FillRect(dc, &fill, brush));
            for (int y = 0; y < screen.Height(); ++y)
                for (int x = 0; x < screen.Width(); ++x) {
                    bool visible = false;
                    for (const RECT& r : c.visible)
                        visible = visible || Inside(r, x, y);
                    bool drawn = visible && Inside(fill, x - c.origin.x, y - c.origin.y);
                    ASSERT_EQ(drawn ? 0xF800 : Backdrop, screen.Pixel(x, y))
                        << "at " << x << "," << y;
                }
            EXPECT_EQ(1, ReleaseDC(Window, dc));
        }
        DeleteObject(brush);
    });
}

TEST(WindowDC, OverlappingRectanglesBlendGlyphEdgesOnce) {
    Device d;
    Screen& screen = d.Get<Screen>();
    auto draw = [&](std::vector<RECT> visible) {
        Paint(screen, Backdrop);
        d.Call([&] {
            HDC dc = d.Get<Gdi>().OpenWindowDC(Window, {0, 0}, visible);
            LOGFONTW lf = {-32};
            HGDIOBJ previous = SelectObject(dc, CreateFontIndirectW(&lf));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(255, 255, 255));
            RECT line = {0, 10, 240, 60};
            EXPECT_EQ(39, DrawTextW(dc, u"Smooth edges", -1, &line, DT_CENTER | DT_WORDBREAK));
            DeleteObject(SelectObject(dc, previous));
            ReleaseDC(Window, dc);
        });
        return Framebuffer(screen);
    };
    std::vector<uint16_t> once = draw({{0, 0, 240, 320}});
    std::vector<uint16_t> overlapping =
        draw({{0, 0, 240, 320}, {0, 0, 240, 320}, {20, 5, 120, 50}});
    EXPECT_NE(std::vector<uint16_t>(once.size(), Backdrop), once) << "the text drew nothing";
    EXPECT_TRUE(once == overlapping) << "pixels differ where the rectangles overlap";
}

TEST(WindowDC, FollowsItsWindowWhenItMoves) {
    Device d;
    Screen& screen = d.Get<Screen>();
    Paint(screen, Backdrop);
    d.Call([&] {
        HDC dc = d.Get<Gdi>().OpenWindowDC(Window, {0, 0}, {{0, 0, 240, 320}});
        d.Get<Gdi>().MoveWindowDCs(Window, {100, 200}, {{100, 200, 240, 320}});
        RECT dot = {0, 0, 1, 1};
        FillRect(dc, &dot, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ReleaseDC(Window, dc);
    });
    EXPECT_EQ(Backdrop, screen.Pixel(0, 0));
    EXPECT_EQ(0xFFFF, screen.Pixel(100, 200));
}

TEST(Screen, ScreenshotsShowThePixelsOrWhatAPersonSees) {
    Device d;
    Screen& screen = d.Get<Screen>();
    handset::gdi::Surface s = screen.Pixels();
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            s.Row(y)[x] = uint16_t(x * 7 + y * 13);
    const std::string path = ::testing::TempDir() + "screen_test.png";
    struct Case {
        int line;
        bool lit;
        Screen::Shot shot;
        bool dark;
    } cases[] = {{__LINE__, true, Screen::Shot::Seen, false},
                 {__LINE__, false, Screen::Shot::Seen, true},
                 {__LINE__, false, Screen::Shot::Raw, false}};
    const handset::gdi::Rgb888Image raw = handset::gdi::ToRgb888(s);
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        screen.SetLit(c.lit);
        std::string error;
        ASSERT_TRUE(screen.SaveScreenshot(path, c.shot, &error)) << error;
        handset::gdi::Rgb888Image read;
        ASSERT_TRUE(handset::gdi::ReadPng(path, &read, &error)) << error;
        EXPECT_EQ(240, read.width);
        EXPECT_EQ(320, read.height);
        EXPECT_TRUE(c.dark ? read.rgb == std::vector<uint8_t>(read.rgb.size(), 0)
                           : read.rgb == raw.rgb);
    }
}
