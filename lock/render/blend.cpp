// Blend kernels. Every decision is taken once per call; the loops themselves
// scale only through table look-ups (the phone's CPU has no fast multiply to
// spare per pixel) and work a machine word of pixels at a time where the
// operation allows it.

#include "blend.h"

#include <string.h>

namespace {

// A machine word of pixels: two on a 32-bit CPU, four on a 64-bit one.
typedef UINT_PTR Word;
const int PixelsPerWord = (int)(sizeof(Word) / sizeof(WORD));
// 0x0001 in every 16-bit lane: multiplying a pixel by it replicates the pixel.
const Word EachLane = (Word)-1 / 0xFFFF;
// Every bit except the lowest of each channel, so that a right shift by one
// halves all three channels without a bit crossing into its neighbour.
const WORD HalveMask = 0xF7DE;

// Masks at or above this many pixels blend through full per-call tables
// indexed by destination channel and weight; smaller ones would spend more
// time building those tables than blending.
const int MaskedTableMinPixels = 4096;

inline int Red(unsigned p) { return (int)(p >> 11); }
inline int Green(unsigned p) { return (int)((p >> 5) & 63); }
inline int Blue(unsigned p) { return (int)(p & 31); }

inline int ClampLevel(int level) { return level < 0 ? 0 : (level > 63 ? 63 : level); }

inline WORD* NextRow(WORD* p, int pitch) { return (WORD*)((BYTE*)p + pitch); }
inline const WORD* NextRow(const WORD* p, int pitch) {
    return (const WORD*)((const BYTE*)p + pitch);
}

// memcpy keeps unaligned and type-punned access defined; compilers turn it
// into a single load or store.
inline Word LoadWord(const WORD* p) {
    Word w;
    memcpy(&w, p, sizeof w);
    return w;
}
inline void StoreWord(WORD* p, Word w) { memcpy(p, &w, sizeof w); }

// Pixels to handle one by one before p reaches a word boundary, at most n.
inline int HeadPixels(const WORD* p, int n) {
    int misalign = (int)((UINT_PTR)p & (sizeof(Word) - 1));
    int head = misalign == 0 ? 0 : (int)((sizeof(Word) - misalign) / sizeof(WORD));
    return head < n ? head : n;
}

// Moves channel a towards t by w/31 (or w/63) of the distance, rounded.
inline int Step31(int a, int t, int w) {
    return t >= a ? a + Scale31Table[t - a][w] : a - Scale31Table[a - t][w];
}
inline int Step63(int a, int t, int w) {
    return t >= a ? a + Scale63Table[t - a][w] : a - Scale63Table[a - t][w];
}

// Overlay effect of colour channel c on destination channel d: dark
// channels are multiplied, light ones screened, so black and white stay put.
inline int Overlay31(int d, int c) {
    return d < 16 ? 2 * Scale31Table[d][c] : 31 - 2 * Scale31Table[31 - d][31 - c];
}
inline int Overlay63(int d, int c) {
    return d < 32 ? 2 * Scale63Table[d][c] : 63 - 2 * Scale63Table[63 - d][63 - c];
}

// Effect colour per destination channel value. In paint mode it does not
// depend on the destination; overlay mode makes it.
struct EffectTables {
    BYTE r[32];
    BYTE g[64];
    BYTE b[32];
};

void PaintEffect(WORD colour, EffectTables* e) {
    memset(e->r, Red(colour), sizeof e->r);
    memset(e->g, Green(colour), sizeof e->g);
    memset(e->b, Blue(colour), sizeof e->b);
}

void OverlayEffect(WORD colour, EffectTables* e) {
    for (int d = 0; d < 32; ++d) {
        e->r[d] = (BYTE)Overlay31(d, Red(colour));
        e->b[d] = (BYTE)Overlay31(d, Blue(colour));
    }
    for (int d = 0; d < 64; ++d)
        e->g[d] = (BYTE)Overlay63(d, Green(colour));
}

// ---------------------------------------------------------------------------
// Fill with the colour (level 0, paint).

void FillRows(WORD colour, WORD* dst, int width, int height, int pitch) {
    const Word c = (Word)colour * EachLane;
    for (; height > 0; --height, dst = NextRow(dst, pitch)) {
        WORD* p = dst;
        int n = width;
        for (int head = HeadPixels(p, n); head > 0; --head, --n)
            *p++ = colour;
        for (; n >= 2 * PixelsPerWord; n -= 2 * PixelsPerWord, p += 2 * PixelsPerWord) {
            StoreWord(p, c);
            StoreWord(p + PixelsPerWord, c);
        }
        for (; n >= PixelsPerWord; n -= PixelsPerWord, p += PixelsPerWord)
            StoreWord(p, c);
        for (; n > 0; --n)
            *p++ = colour;
    }
}

// ---------------------------------------------------------------------------
// Halfway between colour and destination (level 31, paint): per channel
// (c + d) >> 1, computed as (c & d) + ((c ^ d) >> 1) with the bit that would
// cross into the next channel masked off first.

inline Word HalveWord(Word c, Word d, Word mask) { return (c & d) + (((c ^ d) & mask) >> 1); }

void HalveRows(WORD colour, WORD* dst, int width, int height, int pitch) {
    const Word c = (Word)colour * EachLane;
    const Word mask = (Word)HalveMask * EachLane;
    for (; height > 0; --height, dst = NextRow(dst, pitch)) {
        WORD* p = dst;
        int n = width;
        for (int head = HeadPixels(p, n); head > 0; --head, --n, ++p)
            *p = (WORD)HalveWord(colour, *p, HalveMask);
        for (; n >= 2 * PixelsPerWord; n -= 2 * PixelsPerWord, p += 2 * PixelsPerWord) {
            Word d0 = LoadWord(p);
            Word d1 = LoadWord(p + PixelsPerWord);
            StoreWord(p, HalveWord(c, d0, mask));
            StoreWord(p + PixelsPerWord, HalveWord(c, d1, mask));
        }
        for (; n >= PixelsPerWord; n -= PixelsPerWord, p += PixelsPerWord)
            StoreWord(p, HalveWord(c, LoadWord(p), mask));
        for (; n > 0; --n, ++p)
            *p = (WORD)HalveWord(colour, *p, HalveMask);
    }
}

// ---------------------------------------------------------------------------
// Unmasked blends at any other level, and overlay at every level: each result
// channel depends on the destination channel alone, so three small tables
// built per call hold the whole blend.

struct ChannelTables {
    WORD r[32]; // result red, already in place (<< 11)
    WORD g[64]; // result green, << 5
    WORD b[32];
};

void BuildChannelTables(const EffectTables& e, int level, ChannelTables* t) {
    if (level == 31) {
        // The unmasked kernels' exact halfway shortcut.
        for (int d = 0; d < 32; ++d) {
            t->r[d] = (WORD)(((e.r[d] + d) >> 1) << 11);
            t->b[d] = (WORD)((e.b[d] + d) >> 1);
        }
        for (int d = 0; d < 64; ++d)
            t->g[d] = (WORD)(((e.g[d] + d) >> 1) << 5);
        return;
    }
    // Level 0 falls out of this too: Scale63Table[x][0] is 0.
    for (int d = 0; d < 32; ++d) {
        t->r[d] = (WORD)(Step63(e.r[d], d, level) << 11);
        t->b[d] = (WORD)Step63(e.b[d], d, level);
    }
    for (int d = 0; d < 64; ++d)
        t->g[d] = (WORD)(Step63(e.g[d], d, level) << 5);
}

inline unsigned LookUp(const ChannelTables& t, unsigned p) {
    return t.r[p >> 11] | t.g[(p >> 5) & 63] | t.b[p & 31];
}

inline Word LookUpWord(const ChannelTables& t, Word w) {
    Word out = 0;
    for (int lane = 0; lane < PixelsPerWord; ++lane)
        out |= (Word)LookUp(t, (unsigned)(w >> (16 * lane)) & 0xFFFF) << (16 * lane);
    return out;
}

void LookUpRows(const ChannelTables& t, WORD* dst, int width, int height, int pitch) {
    for (; height > 0; --height, dst = NextRow(dst, pitch)) {
        WORD* p = dst;
        int n = width;
        for (int head = HeadPixels(p, n); head > 0; --head, --n, ++p)
            *p = (WORD)LookUp(t, *p);
        for (; n >= PixelsPerWord; n -= PixelsPerWord, p += PixelsPerWord)
            StoreWord(p, LookUpWord(t, LoadWord(p)));
        for (; n > 0; --n, ++p)
            *p = (WORD)LookUp(t, *p);
    }
}

// ---------------------------------------------------------------------------
// Masked blends. Per channel the result is a function of the destination
// channel and the mask weight (the effect colour and the level being fixed
// for the call); level 0 passes the level stage unchanged.

// Large areas: that function tabulated in full, indexed by
// (destination << weight bits) | weight.
struct MaskedTables {
    WORD r[32 * 32]; // << 11
    WORD g[64 * 64]; // << 5
    BYTE b[32 * 32];
};

void BuildMaskedTables(const EffectTables& e, int level, MaskedTables* t) {
    for (int d = 0; d < 32; ++d) {
        for (int w = 0; w < 32; ++w) {
            t->r[d * 32 + w] = (WORD)(Step63(Step31(e.r[d], d, w), d, level) << 11);
            t->b[d * 32 + w] = (BYTE)Step63(Step31(e.b[d], d, w), d, level);
        }
    }
    for (int d = 0; d < 64; ++d) {
        for (int w = 0; w < 64; ++w)
            t->g[d * 64 + w] = (WORD)(Step63(Step63(e.g[d], d, w), d, level) << 5);
    }
}

inline unsigned MaskedLookUp(const MaskedTables& t, unsigned d, unsigned m) {
    return t.r[((d >> 6) & 0x3E0) | (m >> 11)] | t.g[((d << 1) & 0xFC0) | ((m >> 5) & 0x3F)] |
           t.b[((d & 31) << 5) | (m & 31)];
}

void MaskedTableRows(const MaskedTables& t, WORD* dst, const WORD* mask, int width, int height,
                     int dstPitch, int maskPitch) {
    for (; height > 0; --height, dst = NextRow(dst, dstPitch), mask = NextRow(mask, maskPitch)) {
        for (int i = 0; i < width; ++i) {
            unsigned m = mask[i];
            if (m != 0xFFFF)
                dst[i] = (WORD)MaskedLookUp(t, dst[i], m);
        }
    }
}

// Small areas: the same function evaluated per pixel. With the effect e on
// the side of d given by the sign, the weight step moves by
// v = Scale[|d - e|][w] and the level step then by Scale63[|d - e| - v][L];
// both through tables, no multiplication.
inline int MaskedChannel(int e, int d, const BYTE* scaleRows, int rowShift, int w,
                         const BYTE* levelColumn) {
    if (d >= e) {
        int v = scaleRows[((d - e) << rowShift) + w];
        return e + v + levelColumn[d - e - v];
    }
    int v = scaleRows[((e - d) << rowShift) + w];
    return e - v - levelColumn[e - d - v];
}

void MaskedDirectRows(const EffectTables& e, int level, WORD* dst, const WORD* mask, int width,
                      int height, int dstPitch, int maskPitch) {
    BYTE levelColumn[64];
    for (int k = 0; k < 64; ++k)
        levelColumn[k] = Scale63Table[k][level];
    const BYTE* s31 = &Scale31Table[0][0];
    const BYTE* s63 = &Scale63Table[0][0];
    for (; height > 0; --height, dst = NextRow(dst, dstPitch), mask = NextRow(mask, maskPitch)) {
        for (int i = 0; i < width; ++i) {
            unsigned m = mask[i];
            if (m == 0xFFFF)
                continue;
            unsigned d = dst[i];
            int r = MaskedChannel(e.r[Red(d)], Red(d), s31, 5, Red(m), levelColumn);
            int g = MaskedChannel(e.g[Green(d)], Green(d), s63, 6, Green(m), levelColumn);
            int b = MaskedChannel(e.b[Blue(d)], Blue(d), s31, 5, Blue(m), levelColumn);
            dst[i] = (WORD)((r << 11) | (g << 5) | b);
        }
    }
}

void MaskedRows(const EffectTables& e, int level, WORD* dst, const WORD* mask, int width,
                int height, int dstPitch, int maskPitch) {
    if (width <= 0 || height <= 0)
        return;
    if ((LONGLONG)width * height >= MaskedTableMinPixels) {
        MaskedTables t;
        BuildMaskedTables(e, level, &t);
        MaskedTableRows(t, dst, mask, width, height, dstPitch, maskPitch);
    } else {
        MaskedDirectRows(e, level, dst, mask, width, height, dstPitch, maskPitch);
    }
}

} // namespace

// ---------------------------------------------------------------------------

void BlendFill(int level, WORD colour, WORD* dst, int width, int height, int dstPitch) {
    if (width <= 0 || height <= 0)
        return;
    level = ClampLevel(level);
    if (level == 0) {
        FillRows(colour, dst, width, height, dstPitch);
    } else if (level == 31) {
        HalveRows(colour, dst, width, height, dstPitch);
    } else if (level != 63) { // 63 keeps every pixel as it is
        EffectTables e;
        PaintEffect(colour, &e);
        ChannelTables t;
        BuildChannelTables(e, level, &t);
        LookUpRows(t, dst, width, height, dstPitch);
    }
}

void OverlayFill(int level, WORD colour, WORD* dst, int width, int height, int dstPitch) {
    if (width <= 0 || height <= 0)
        return;
    level = ClampLevel(level);
    if (level == 63)
        return;
    EffectTables e;
    OverlayEffect(colour, &e);
    ChannelTables t;
    BuildChannelTables(e, level, &t);
    LookUpRows(t, dst, width, height, dstPitch);
}

void BlendFillMasked(WORD colour, WORD* dst, const WORD* mask, int width, int height,
                     int dstPitch, int maskPitch) {
    EffectTables e;
    PaintEffect(colour, &e);
    MaskedRows(e, 0, dst, mask, width, height, dstPitch, maskPitch);
}

void BlendFillMaskedLevel(int level, WORD colour, WORD* dst, const WORD* mask, int width,
                          int height, int dstPitch, int maskPitch) {
    level = ClampLevel(level);
    if (level == 63)
        return;
    EffectTables e;
    PaintEffect(colour, &e);
    MaskedRows(e, level, dst, mask, width, height, dstPitch, maskPitch);
}

void OverlayFillMasked(WORD colour, WORD* dst, const WORD* mask, int width, int height,
                       int dstPitch, int maskPitch) {
    EffectTables e;
    OverlayEffect(colour, &e);
    MaskedRows(e, 0, dst, mask, width, height, dstPitch, maskPitch);
}

void OverlayFillMaskedLevel(int level, WORD colour, WORD* dst, const WORD* mask, int width,
                            int height, int dstPitch, int maskPitch) {
    level = ClampLevel(level);
    if (level == 63)
        return;
    EffectTables e;
    OverlayEffect(colour, &e);
    MaskedRows(e, level, dst, mask, width, height, dstPitch, maskPitch);
}
