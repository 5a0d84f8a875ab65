// The lock picture's still part, its time text and the shadowed lines both
// are drawn with.
#include <string.h>

#include "core/lock_state.h"
#include "render/frame_surface.h"
#include "render/pixelview.h"
#include "window/lock_picture.h"

#ifndef _WIN32_WCE
#error "_WIN32_WCE names the platform: 0x501 for Windows Mobile 5.0, 0x420 for Pocket PC 2003"
#endif

namespace {

// Every line is centred on the full width, one text line high, and wraps at
// words (clipped below that line).
const UINT kLineFormat = DT_CENTER | DT_VCENTER | DT_WORDBREAK;
// The name stays on its line and ends in "..." where it is too long; the
// Pocket PC 2003 build wraps it like the other lines.
#if _WIN32_WCE >= 0x500
const UINT kNameFormat = DT_CENTER | DT_VCENTER | DT_WORD_ELLIPSIS;
#else
const UINT kNameFormat = kLineFormat;
#endif

const int kVeilAlpha = 127; // each channel halfway to white
const COLORREF kTextColour = RGB(0, 0, 0);
const COLORREF kShadowColour = RGB(255, 255, 255);

// Tops of the number, time and hint lines on a 96-dpi screen. A denser
// screen has taller lines, so the tops grow with it: unscaled, the name
// line (10 + H + IL) would run into the time (60) at 192 dpi.
const int kNumberTop = 10;
const int kTimeTop = 60;
const int kHintTop = 120;

int ScaledTop(int top, int dpi) {
    return dpi > 0 ? top * dpi / 96 : top;
}

// Tahoma Bold at 12 points for the given dots per inch.
HFONT CreatePictureFont(int dpi) {
    LOGFONTW font;
    memset(&font, 0, sizeof font);
    font.lfHeight = -(12 * dpi) / 72;
    font.lfWeight = FW_BOLD;
    font.lfQuality = CLEARTYPE_QUALITY;
    font.lfPitchAndFamily = FF_SWISS | DEFAULT_PITCH;
    wcscpy(font.lfFaceName, TEXT("Tahoma"));
    return CreateFontIndirectW(&font);
}

void DrawLine(HDC dc, LPCWSTR text, LONG left, LONG right, int top, LONG height, UINT format) {
    RECT rect = {left, top, right, top + height};
    DrawShadowText(dc, text, &rect, format, kTextColour, kShadowColour);
}

} // namespace

BOOL ComposeLockPicture(void) {
    const FrameSurface& surface = g_lockState.surface;
    if (surface.pixels == NULL || surface.bitmap == NULL) return FALSE;
    BITMAP bitmap;
    if (GetObjectW(surface.bitmap, sizeof bitmap, &bitmap) == 0 || bitmap.bmBitsPixel != 16)
        return FALSE;

    PixelRect all;
    SetPixelRect(&all, 0, 0, bitmap.bmWidth, bitmap.bmHeight);
    PixelView view;
    InitPixelView(&view, surface.pixels, bitmap.bmWidthBytes, 0, 0, &all);
    FillBlended(kVeilAlpha, 0xFFFF, &view, NULL, &all, NULL, BlendModePaint);

    int dpi = GetDeviceCaps(NULL, LOGPIXELSY);
    HFONT font = CreatePictureFont(dpi);
    int oldMode = SetBkMode(surface.dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(surface.dc, font);
    // Without metrics there is no line to place: the veil stays alone.
    TEXTMETRICW metrics;
    BOOL drawn = GetTextMetricsW(surface.dc, &metrics);
    if (drawn) {
        LONG height = metrics.tmHeight;
        LONG step = metrics.tmHeight + metrics.tmInternalLeading;
        int numberTop = ScaledTop(kNumberTop, dpi);
        int hintTop = ScaledTop(kHintTop, dpi);
        DrawLine(surface.dc, g_lockState.callNumber, 0, bitmap.bmWidth, numberTop, height,
                 kLineFormat);
        if (g_lockState.callerName[0] != 0)
            DrawLine(surface.dc, g_lockState.callerName, 0, bitmap.bmWidth, numberTop + step,
                     height, kNameFormat);
        DrawLine(surface.dc, TEXT("Press the Center button"), 0, bitmap.bmWidth, hintTop, height,
                 kLineFormat);
        DrawLine(surface.dc, TEXT("to temporarily"), 0, bitmap.bmWidth, hintTop + step, height,
                 kLineFormat);
        DrawLine(surface.dc, TEXT("unlock the screen"), 0, bitmap.bmWidth, hintTop + 2 * step,
                 height, kLineFormat);
    }
    SelectObject(surface.dc, oldFont);
    SetBkMode(surface.dc, oldMode);
    DeleteObject(font);
    return drawn;
}

void PaintLockPicture(HDC dc, const RECT* client) {
    // The clean picture first: it also covers the previous paint's time.
    BitBlt(dc, client->left, client->top, client->right - client->left,
           client->bottom - client->top, g_lockState.surface.dc, 0, 0, SRCCOPY);

    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    HFONT font = CreatePictureFont(dpi);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, font);
    TEXTMETRICW metrics;
    if (GetTextMetricsW(dc, &metrics)) {
        // Unsigned, so that a wrap of the tick count between the
        // connection and now does no harm.
        DWORD seconds = (GetTickCount() - g_lockState.callStartTick) / 1000;
        WCHAR text[32];
        wsprintfW(text, TEXT("%d min. %d sec."), (int)(seconds / 60), (int)(seconds % 60));
        DrawLine(dc, text, client->left, client->right, ScaledTop(kTimeTop, dpi), metrics.tmHeight,
                 kLineFormat);
    }
    SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
    DeleteObject(font);
}

void DrawShadowText(HDC dc, LPCWSTR text, const RECT* rect, UINT format, COLORREF textColour,
                    COLORREF shadowColour) {
    int length = (int)wcslen(text);
    COLORREF oldColour = SetTextColor(dc, shadowColour);
    RECT shadow = {rect->left + 1, rect->top + 1, rect->right + 1, rect->bottom + 1};
    DrawTextW(dc, text, length, &shadow, format);
    SetTextColor(dc, textColour);
    RECT place = *rect;
    DrawTextW(dc, text, length, &place, format);
    if (oldColour != CLR_INVALID) SetTextColor(dc, oldColour);
}
