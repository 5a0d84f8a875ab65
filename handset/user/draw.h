// Drawing for the system's own windows (dialog controls, drop-down lists,
// menus, the menu bar and property sheet tabs): the gdi area's drawing core
// on a window device context, clip by clip, in the window's logical pixels.
// The system draws past the platform calls, so the program's fault plan
// does not reach it; the phone's look is here too: white faces, black text,
// grey 3-D edges.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "gdi/fonts.h"
#include "gdi/objects.h"

namespace handset {

class Platform;

namespace look {
inline constexpr COLORREF kFace = RGB(255, 255, 255);
inline constexpr COLORREF kText = RGB(0, 0, 0);
inline constexpr COLORREF kGreyText = RGB(128, 128, 128);
inline constexpr COLORREF kShadow = RGB(128, 128, 128); // the dark side of a 3-D edge
inline constexpr COLORREF kLight = RGB(212, 208, 200);  // the light side, and button faces
inline constexpr COLORREF kHighlight = RGB(49, 106, 197);
inline constexpr COLORREF kHighlightText = RGB(255, 255, 255);
inline constexpr COLORREF kTrack = RGB(236, 236, 236); // a scroll bar's track
} // namespace look

class Painter {
  public:
    Painter(Platform& platform, HDC dc);

    void Fill(const RECT& r, COLORREF colour);
    void Frame(const RECT& r, int width, COLORREF colour);
    // A sunken 3-D edge one pixel wide: shadow above and left, light below
    // and right.
    void Sunken(const RECT& r);
    // DrawTextW's layout (DT_ flags of gdi/text.h), transparent.
    void Text(RECT r, std::u16string_view text, const gdi::Font& font, UINT format,
              COLORREF colour);
    // A triangle pointing down (a drop-down button's arrow) centred in r.
    void DownArrow(const RECT& r, COLORREF colour);
    // Pointing up (a scroll bar's upper arrow).
    void UpArrow(const RECT& r, COLORREF colour);
    // ARGB pixels (alpha 0: transparent, 255: opaque) with their top-left at
    // (x, y), blended over what is there.
    void Pixels(int x, int y, int width, int height, const std::vector<uint32_t>& argb);

  private:
    gdi::Surface On(const RECT& clip) const;
    gdi::Target target_;
    bool ok_ = false;
};

// The font a control draws with: the one WM_SETFONT gave it, or the system
// font when it has none (or it was deleted), at the window's logical dpi.
const gdi::Font& ControlFont(Platform& platform, HFONT font, HWND window);

} // namespace handset
