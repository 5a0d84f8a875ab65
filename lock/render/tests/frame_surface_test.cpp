// The frame surface on the handset: screen-sized, top-down 5-6-5 at either
// screen size, a faithful snapshot of the screen, and all or nothing when a
// platform call fails.
#include <gtest/gtest.h>

#include <string>

#include "core/lock_state.h"
#include "device/device.h"
#include "gdi/gdi.h"
#include "render/frame_surface.h"
#include "testing/testing.h"

using handset::Device;
using handset::Screen;

TEST(FrameSurface, IsTheScreenTopDownAndTakesItsSnapshot) {
    struct Case {
        int line;
        int width, height, dpi;
    } cases[] = {{__LINE__, 240, 320, 96}, {__LINE__, 480, 640, 192}};
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        Screen& screen = d.Get<Screen>();
        screen.SetSize(c.width, c.height, c.dpi);
        handset::gdi::Surface s = screen.Pixels();
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                s.Row(y)[x] = uint16_t(x * 31 + y * 7);
        DWORD pid = 0;
        d.Call([&] {
            pid = GetCurrentProcessId();
            const FrameSurface& f = g_lockState.surface;
            ASSERT_TRUE(CreateFrameSurface());
            DIBSECTION ds;
            ASSERT_EQ(int(sizeof ds), GetObjectW(f.bitmap, sizeof ds, &ds));
            EXPECT_EQ(c.width, ds.dsBmih.biWidth);
            EXPECT_EQ(-c.height, ds.dsBmih.biHeight);
            EXPECT_EQ(16, ds.dsBm.bmBitsPixel);
            EXPECT_EQ(static_cast<void*>(f.pixels), ds.dsBm.bmBits);
            EXPECT_EQ(DWORD(0xF800), ds.dsBitfields[0]);
            ASSERT_TRUE(CaptureScreen());
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x)
                    ASSERT_EQ(screen.Pixel(x, y), f.pixels[y * ds.dsBm.bmWidthBytes / 2 + x])
                        << "at " << x << "," << y;
            EXPECT_TRUE(ReleaseFrameSurface());
            EXPECT_TRUE(ReleaseFrameSurface()) << "twice";
            EXPECT_FALSE(CaptureScreen()) << "without a surface";
        });
        EXPECT_NOTHING_HELD(d, pid);
    }
}

TEST(FrameSurface, AFailedCallLeavesNoSurfaceAndNothingHeld) {
    struct Case {
        int line;
        const char* call;
        DWORD error;
    } cases[] = {
        {__LINE__, "CreateCompatibleDC", ERROR_NOT_ENOUGH_MEMORY},
        {__LINE__, "CreateDIBSection", ERROR_NOT_ENOUGH_MEMORY},
        {__LINE__, "SelectObject", ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Device d;
        DWORD pid = 0;
        d.Call([&] {
            pid = GetCurrentProcessId();
            d.faults().FailAlways(c.call, c.error);
            EXPECT_FALSE(CreateFrameSurface());
            const FrameSurface& f = g_lockState.surface;
            EXPECT_TRUE(f.dc == nullptr && f.bitmap == nullptr && f.pixels == nullptr);
            EXPECT_FALSE(CaptureScreen());
        });
        EXPECT_NOTHING_HELD(d, pid);
    }
}

TEST(FrameSurface, CaptureWithoutTheScreenKeepsThePicture) {
    Device d;
    d.Get<Screen>().Pixels().Row(0)[0] = 0x1234;
    d.Call([&] {
        ASSERT_TRUE(CreateFrameSurface());
        d.faults().FailAlways("GetDC", ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_FALSE(CaptureScreen());
        EXPECT_EQ(0, g_lockState.surface.pixels[0]);
        ReleaseFrameSurface();
    });
}
