// FrameSurface: the one off-screen picture of the lock, a screen-sized,
// top-down RGB565 DIB section selected into a memory device context, and the
// operations on LockState's surface that make, release and fill it.
#ifndef TESSARIL_FRAME_SURFACE_H
#define TESSARIL_FRAME_SURFACE_H

#include <windows.h>

struct FrameSurface {
    HDC dc;         // memory context, compatible with the screen
    HBITMAP bitmap; // stays selected into dc for the surface's whole life
    WORD* pixels;   // first pixel of the top row
};

// Makes the surface at the screen's size; the caller releases the previous
// one first. On failure every member is null.
BOOL CreateFrameSurface(void);
// Deletes whatever exists and nulls the members; always TRUE, and safe to
// call again.
BOOL ReleaseFrameSurface(void);
// Copies the whole screen into the surface; FALSE, the surface unchanged,
// without a surface or the screen's device context.
BOOL CaptureScreen(void);

#endif
