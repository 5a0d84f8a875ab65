// A deliberately plain model of the blend rule for the tests to check the
// kernels against: it rounds the products itself instead of reading the
// scale tables, and follows the rule one channel, one stage at a time.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include <gtest/gtest.h>

#include "blend.h"

namespace model {

// a * w / max, rounded to nearest (a tie cannot occur: max is odd).
inline int Scale(int a, int w, int max) {
    return static_cast<int>(std::lround(a * w / static_cast<double>(max)));
}

// Moves a towards t by w/max of the distance.
inline int Step(int a, int t, int w, int max) {
    if (t == a) return a;
    int distance = std::abs(t - a);
    return t > a ? a + Scale(distance, w, max) : a - Scale(distance, w, max);
}

struct Rgb {
    int r, g, b;
};

inline Rgb Split(WORD p) {
    return {p >> 11, (p >> 5) & 63, p & 31};
}
inline WORD Join(Rgb c) {
    return static_cast<WORD>(c.r * 2048 + c.g * 32 + c.b);
}

inline int OverlayChannel(int d, int c, int max) {
    int half = (max + 1) / 2;
    return d < half ? 2 * Scale(d, c, max) : max - 2 * Scale(max - d, max - c, max);
}

enum class Kernel {
    BlendFill,
    BlendFillMasked,
    BlendFillMaskedLevel,
    OverlayFill,
    OverlayFillMasked,
    OverlayFillMaskedLevel,
};

inline constexpr Kernel AllKernels[] = {
    Kernel::BlendFill,   Kernel::BlendFillMasked,   Kernel::BlendFillMaskedLevel,
    Kernel::OverlayFill, Kernel::OverlayFillMasked, Kernel::OverlayFillMaskedLevel,
};

inline const char* Name(Kernel k) {
    switch (k) {
    case Kernel::BlendFill:
        return "BlendFill";
    case Kernel::BlendFillMasked:
        return "BlendFillMasked";
    case Kernel::BlendFillMaskedLevel:
        return "BlendFillMaskedLevel";
    case Kernel::OverlayFill:
        return "OverlayFill";
    case Kernel::OverlayFillMasked:
        return "OverlayFillMasked";
    case Kernel::OverlayFillMaskedLevel:
        return "OverlayFillMaskedLevel";
    }
    return "?";
}

inline bool IsOverlay(Kernel k) {
    return k == Kernel::OverlayFill || k == Kernel::OverlayFillMasked ||
           k == Kernel::OverlayFillMaskedLevel;
}
inline bool IsMasked(Kernel k) {
    return k != Kernel::BlendFill && k != Kernel::OverlayFill;
}
inline bool TakesLevel(Kernel k) {
    return k != Kernel::BlendFillMasked && k != Kernel::OverlayFillMasked;
}

// The new value of destination pixel d. The mask is ignored by unmasked
// kernels and the level by the two that take none.
inline WORD Pixel(Kernel k, int level, WORD colour, WORD dst, WORD mask) {
    if (IsMasked(k) && mask == 0xFFFF) return dst;
    Rgb d = Split(dst), c = Split(colour);
    Rgb e = c;
    if (IsOverlay(k))
        e = {OverlayChannel(d.r, c.r, 31), OverlayChannel(d.g, c.g, 63),
             OverlayChannel(d.b, c.b, 31)};
    Rgb x = e;
    if (IsMasked(k)) {
        Rgb w = Split(mask);
        x = {Step(e.r, d.r, w.r, 31), Step(e.g, d.g, w.g, 63), Step(e.b, d.b, w.b, 31)};
    }
    int l = TakesLevel(k) ? level : 0;
    if (l == 0) return Join(x);
    if (!IsMasked(k) && l == 31)
        return Join({(x.r + d.r) >> 1, (x.g + d.g) >> 1, (x.b + d.b) >> 1});
    return Join({Step(x.r, d.r, l, 63), Step(x.g, d.g, l, 63), Step(x.b, d.b, l, 63)});
}

// Calls the library kernel k with its own argument list.
inline void Run(Kernel k, int level, WORD colour, WORD* dst, const WORD* mask, int width,
                int height, int dstPitch, int maskPitch) {
    switch (k) {
    case Kernel::BlendFill:
        BlendFill(level, colour, dst, width, height, dstPitch);
        break;
    case Kernel::BlendFillMasked:
        BlendFillMasked(colour, dst, mask, width, height, dstPitch, maskPitch);
        break;
    case Kernel::BlendFillMaskedLevel:
        BlendFillMaskedLevel(level, colour, dst, mask, width, height, dstPitch, maskPitch);
        break;
    case Kernel::OverlayFill:
        OverlayFill(level, colour, dst, width, height, dstPitch);
        break;
    case Kernel::OverlayFillMasked:
        OverlayFillMasked(colour, dst, mask, width, height, dstPitch, maskPitch);
        break;
    case Kernel::OverlayFillMaskedLevel:
        OverlayFillMaskedLevel(level, colour, dst, mask, width, height, dstPitch, maskPitch);
        break;
    }
}

} // namespace model

// A pixel value that GoogleTest prints in hex.
struct Hex {
    WORD value;
    bool operator==(const Hex&) const = default;
};
inline void PrintTo(Hex h, std::ostream* os) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", h.value);
    *os << text;
}
