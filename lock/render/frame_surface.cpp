// The lock picture's off-screen surface in LockState: made screen-sized,
// top-down and 16-bit 5-6-5, released, and filled with a snapshot of the
// screen.
#include <string.h>

#include "core/lock_state.h"
#include "render/frame_surface.h"

namespace {

// A BITMAPINFO whose colour table is the three bit-field masks.
struct BitfieldsInfo {
    BITMAPINFOHEADER header;
    DWORD masks[3];
};

} // namespace

BOOL CreateFrameSurface(void) {
    FrameSurface& surface = g_lockState.surface;
    surface.dc = CreateCompatibleDC(NULL);
    if (surface.dc == NULL) {
        ReleaseFrameSurface();
        return FALSE;
    }

    BitfieldsInfo info;
    memset(&info, 0, sizeof info);
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = GetDeviceCaps(NULL, HORZRES);
    info.header.biHeight = -GetDeviceCaps(NULL, VERTRES); // rows run top-down
    info.header.biPlanes = 1;
    info.header.biBitCount = 16;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;

    void* bits = NULL;
    surface.bitmap =
        CreateDIBSection(surface.dc, (BITMAPINFO*)&info, DIB_RGB_COLORS, &bits, NULL, 0);
    surface.pixels = (WORD*)bits;
    // A bitmap that is not selected would leave the context drawing on its
    // 1 x 1 default while the surface claimed to exist: that fails too.
    if (surface.bitmap == NULL || surface.pixels == NULL ||
        SelectObject(surface.dc, surface.bitmap) == NULL) {
        ReleaseFrameSurface();
        return FALSE;
    }
    return TRUE;
}

BOOL ReleaseFrameSurface(void) {
    FrameSurface& surface = g_lockState.surface;
    if (surface.dc != NULL) DeleteDC(surface.dc);
    // With its context gone the bitmap is selected nowhere and can go.
    if (surface.bitmap != NULL) DeleteObject(surface.bitmap);
    surface.dc = NULL;
    surface.bitmap = NULL;
    surface.pixels = NULL;
    return TRUE;
}

BOOL CaptureScreen(void) {
    FrameSurface& surface = g_lockState.surface;
    if (surface.bitmap == NULL || surface.pixels == NULL) return FALSE;
    HDC screen = GetDC(NULL);
    if (screen == NULL) return FALSE;
    BitBlt(surface.dc, 0, 0, GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES), screen,
           0, 0, SRCCOPY);
    ReleaseDC(NULL, screen);
    return TRUE;
}
