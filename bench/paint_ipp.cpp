// Paints the lock window a given number of times on a locked handset, for
// callgrind to count instructions per paint (see callgrind_paint.sh). The
// first paint, which renders the time's glyphs, is left out of the count.
//   paint_ipp 240|480 [PAINTS]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/lock_state.h"
#include "device/device.h"
#include "gdi/gdi.h"
#include "render/frame_surface.h"
#include "window/lock_picture.h"

// What callgrind counts: the paints after the first.
__attribute__((noinline)) void CountedPaints(HDC window, const RECT* client, int paints) {
    for (int i = 0; i < paints; ++i)
        PaintLockPicture(window, client);
}

int main(int argc, char** argv) {
    int size = argc > 1 ? std::atoi(argv[1]) : 240;
    int paints = argc > 2 ? std::atoi(argv[2]) : 100;
    if (size != 240 && size != 480) {
        std::fprintf(stderr, "paint_ipp: the screen is 240 or 480 wide, not '%s'\n", argv[1]);
        return 2;
    }
    const int width = size, height = size * 4 / 3, dpi = size == 480 ? 192 : 96;
    handset::Device device;
    device.Get<handset::Screen>().SetSize(width, height, dpi);
    std::memcpy(g_lockState.callNumber, u"+44 20 7946 0958", 17 * sizeof(WCHAR));
    g_lockState.callStartTick = GetTickCount() - 754000;
    CreateFrameSurface();
    CaptureScreen();
    ComposeLockPicture();
    HWND lock = reinterpret_cast<HWND>(0x7000);
    HDC window = device.Get<handset::Gdi>().OpenWindowDC(lock, {0, 0}, {{0, 0, width, height}});
    RECT client = {0, 0, width, height};
    PaintLockPicture(window, &client);
    CountedPaints(window, &client, paints);
    ReleaseDC(lock, window);
    ReleaseFrameSurface();
    std::printf("%dx%d: %d paints\n", width, height, paints);
    return 0;
}
