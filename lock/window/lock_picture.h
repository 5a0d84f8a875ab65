// The lock picture: the veiled snapshot of the screen with the call's number,
// the caller's name and the unlock hint, composed once per lock into the
// frame surface, and the running call time drawn over a copy of it at every
// paint of the lock window.
#ifndef TESSARIL_LOCK_PICTURE_H
#define TESSARIL_LOCK_PICTURE_H

#include <windows.h>

// Veils LockState's frame surface and draws the still lines on it; FALSE,
// drawing nothing, without a 16-bit surface.
BOOL ComposeLockPicture(void);

// The lock window's WM_PAINT: copies the surface to the window and draws
// the call time over it.
void PaintLockWindow(HWND window);

// What PaintLockWindow does with its paint device context and the window's
// client rectangle.
void PaintLockPicture(HDC dc, const RECT* client);

// One text in textColour over its shadow in shadowColour, one pixel right
// and down, with the context's background mode as it is.
void DrawShadowText(HDC dc, LPCWSTR text, const RECT* rect, UINT format, COLORREF textColour,
                    COLORREF shadowColour);

#endif
