// FrameSurface: the one off-screen picture of the lock, a screen-sized,
// top-down RGB565 DIB section selected into a memory device context.
#ifndef TESSARIL_FRAME_SURFACE_H
#define TESSARIL_FRAME_SURFACE_H

#include <windows.h>

struct FrameSurface {
    HDC dc;         // memory context, compatible with the screen
    HBITMAP bitmap; // stays selected into dc for the surface's whole life
    WORD* pixels;   // first pixel of the top row
};

#endif
