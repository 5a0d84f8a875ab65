// The lock window's paint: the picture through BeginPaint's device context.
// Its own file, so that programs and tests that do not paint a window link
// without the window manager's BeginPaint.
#include "window/lock_picture.h"

void PaintLockWindow(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc == NULL) return;
    RECT client;
    if (GetClientRect(window, &client)) PaintLockPicture(dc, &client);
    EndPaint(window, &paint);
}
