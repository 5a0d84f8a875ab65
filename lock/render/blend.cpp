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

// Unmasked areas at or above this many pixels merge their per-channel
// tables into a pair first; below it the merging would cost more than it saves.
const int PairedTablesMinPixels = 1024;
// Masks at or above this many pixels blend through full per-call tables
// indexed by destination channel and weight; smaller ones would spend more
// time building those tables than blending.
const int MaskedTableMinPixels = 4096;

inline int Red(unsigned p) {
    return (int)(p >> 11);
}
inline int Green(unsigned p) {
    return (int)((p >> 5) & 63);
}
inline int Blue(unsigned p) {
    return (int)(p & 31);
}

inline int ClampLevel(int level) {
    return level < 0 ? 0 : (level > 63 ? 63 : level);
}

inline WORD* NextRow(WORD* p, int pitch) {
    return (WORD*)((BYTE*)p + pitch);
}
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
inline void StoreWord(WORD* p, Word w) {
    memcpy(p, &w, sizeof w);
}

// Pixels to handle one by one before p reaches a word boundary, at most n.
inline int HeadPixels(const WORD* p, int n) {
    int misalign = (int)((UINT_PTR)p & (sizeof(Word) - 1));
    int head = misalign == 0 ? 0 : (int)((sizeof(Word) - misalign) / sizeof(WORD));
    return head < n ? head : n;
}

// Moves channel a towards t by w/63 of the distance, rounded.
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

inline Word HalveWord(Word c, Word d, Word mask) {
    return (c & d) + (((c ^ d) & mask) >> 1);
}

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

// Small areas: straight through the three tables.
void LookUpRows(const ChannelTables& t, WORD* dst, int width, int height, int pitch) {
    for (; height > 0; --height, dst = NextRow(dst, pitch)) {
        for (int i = 0; i < width; ++i)
            dst[i] = (WORD)LookUp(t, dst[i]);
    }
}

// Large areas: red and green are merged into one table indexed by the top
// eleven bits, leaving two look-ups a pixel; pixels go in pairs, two to a
// 32-bit load and store.
struct PairedTables {
    WORD rg[2048];
    WORD b[32];
};

void PairTables(const ChannelTables& t, PairedTables* p) {
    for (int r = 0; r < 32; ++r) {
        WORD red = t.r[r];
        WORD* row = p->rg + (r << 6);
        for (int g = 0; g < 64; ++g)
            row[g] = (WORD)(red | t.g[g]);
    }
    memcpy(p->b, t.b, sizeof p->b);
}

inline unsigned LookUp(const PairedTables& t, unsigned p) {
    return t.rg[p >> 5] | t.b[p & 31];
}

inline DWORD LookUpTwo(const PairedTables& t, DWORD two) {
    return t.rg[(two >> 5) & 0x7FF] | t.b[two & 31] |
           (DWORD)(t.rg[two >> 21] | t.b[(two >> 16) & 31]) << 16;
}

void LookUpPairedRows(const PairedTables& t, WORD* dst, int width, int height, int pitch) {
    for (; height > 0; --height, dst = NextRow(dst, pitch)) {
        WORD* p = dst;
        int n = width;
        if (((UINT_PTR)p & 2) != 0 && n > 0) {
            *p = (WORD)LookUp(t, *p);
            ++p;
            --n;
        }
        for (; n >= 4; n -= 4, p += 4) {
            DWORD two[2];
            memcpy(two, p, sizeof two);
            two[0] = LookUpTwo(t, two[0]);
            two[1] = LookUpTwo(t, two[1]);
            memcpy(p, two, sizeof two);
        }
        for (; n > 0; --n, ++p)
            *p = (WORD)LookUp(t, *p);
    }
}

void TableRows(const ChannelTables& t, WORD* dst, int width, int height, int pitch) {
    if ((LONGLONG)width * height >= PairedTablesMinPixels) {
        PairedTables paired;
        PairTables(t, &paired);
        LookUpPairedRows(paired, dst, width, height, pitch);
    } else {
        LookUpRows(t, dst, width, height, pitch);
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
    WORD b[32 * 32];
};

// Moves e towards d by weight w (through scaleRow = Scale[|d - e|], of
// the 31 or 63 table), then towards d again by the level (levelColumn =
// Scale63[.][L]): after the first step |d - X| is |d - e| - v, and neither
// step can overshoot, so both share one sign.
inline int MaskedChannel(int e, int d, const BYTE* scaleRow, int w, const BYTE* levelColumn) {
    int v = scaleRow[w];
    return d >= e ? e + v + levelColumn[d - e - v] : e - v - levelColumn[e - d - v];
}

void FillLevelColumn(int level, BYTE* column) {
    for (int k = 0; k < 64; ++k)
        column[k] = Scale63Table[k][level];
}

// One channel's table: entry [d][w] for every destination value d and
// weight w, shifted into the channel's place.
void BuildMaskedChannel(const BYTE* effect, int bits, const BYTE* scale, const BYTE* levelColumn,
                        int shift, WORD* out) {
    int values = 1 << bits;
    for (int d = 0; d < values; ++d, out += values) {
        int e = effect[d];
        int distance = d >= e ? d - e : e - d;
        const BYTE* row = scale + (distance << bits);
        // MaskedChannel with the sign taken out of the loop.
        if (d >= e) {
            for (int w = 0; w < values; ++w)
                out[w] = (WORD)((e + row[w] + levelColumn[distance - row[w]]) << shift);
        } else {
            for (int w = 0; w < values; ++w)
                out[w] = (WORD)((e - row[w] - levelColumn[distance - row[w]]) << shift);
        }
    }
}

void BuildMaskedTables(const EffectTables& e, int level, MaskedTables* t) {
    BYTE levelColumn[64];
    FillLevelColumn(level, levelColumn);
    BuildMaskedChannel(e.r, 5, &Scale31Table[0][0], levelColumn, 11, t->r);
    BuildMaskedChannel(e.g, 6, &Scale63Table[0][0], levelColumn, 5, t->g);
    BuildMaskedChannel(e.b, 5, &Scale31Table[0][0], levelColumn, 0, t->b);
}

inline unsigned MaskedLookUp(const MaskedTables& t, unsigned d, unsigned m) {
    return t.r[((d >> 6) & 0x3E0) | (m >> 11)] | t.g[((d << 1) & 0xFC0) | ((m >> 5) & 0x3F)] |
           t.b[((d & 31) << 5) | (m & 31)];
}

// Two pixels at once: the three indices of both are formed side by side in
// the two halves of a 32-bit value, then looked up one by one.
inline DWORD MaskedLookUpTwo(const MaskedTables& t, DWORD d, DWORD m) {
    DWORD r = ((d >> 6) & 0x03E003E0) | ((m >> 11) & 0x001F001F);
    DWORD g = ((d << 1) & 0x0FC00FC0) | ((m >> 5) & 0x003F003F);
    DWORD b = ((d & 0x001F001F) << 5) | (m & 0x001F001F);
    DWORD low = t.r[r & 0xFFFF] | t.g[g & 0xFFFF] | t.b[b & 0xFFFF];
    DWORD high = t.r[r >> 16] | t.g[g >> 16] | t.b[b >> 16];
    return low | (high << 16);
}

void MaskedTableRows(const MaskedTables& t, WORD* dst, const WORD* mask, int width, int height,
                     int dstPitch, int maskPitch) {
    for (; height > 0; --height, dst = NextRow(dst, dstPitch), mask = NextRow(mask, maskPitch)) {
        int i = 0;
        for (; i + 2 <= width; i += 2) {
            DWORD m, d;
            memcpy(&m, mask + i, sizeof m);
            if (m == 0xFFFFFFFF) continue;
            memcpy(&d, dst + i, sizeof d);
            DWORD out = MaskedLookUpTwo(t, d, m);
            if ((m & 0xFFFF) != 0xFFFF && (m >> 16) != 0xFFFF) {
                memcpy(dst + i, &out, sizeof out);
            } else {
                // One of the two is masked out and must not be written.
                WORD two[2];
                memcpy(two, &out, sizeof two);
                if (mask[i] != 0xFFFF) dst[i] = two[0];
                if (mask[i + 1] != 0xFFFF) dst[i + 1] = two[1];
            }
        }
        if (i < width && mask[i] != 0xFFFF) dst[i] = (WORD)MaskedLookUp(t, dst[i], mask[i]);
    }
}

// Small areas: the same function evaluated per pixel.
inline int MaskedChannelAt(int e, int d, const BYTE* scale, int bits, int w,
                           const BYTE* levelColumn) {
    return MaskedChannel(e, d, scale + ((d >= e ? d - e : e - d) << bits), w, levelColumn);
}

void MaskedDirectRows(const EffectTables& e, int level, WORD* dst, const WORD* mask, int width,
                      int height, int dstPitch, int maskPitch) {
    BYTE levelColumn[64];
    FillLevelColumn(level, levelColumn);
    const BYTE* s31 = &Scale31Table[0][0];
    const BYTE* s63 = &Scale63Table[0][0];
    for (; height > 0; --height, dst = NextRow(dst, dstPitch), mask = NextRow(mask, maskPitch)) {
        for (int i = 0; i < width; ++i) {
            unsigned m = mask[i];
            if (m == 0xFFFF) continue;
            unsigned d = dst[i];
            int r = MaskedChannelAt(e.r[Red(d)], Red(d), s31, 5, Red(m), levelColumn);
            int g = MaskedChannelAt(e.g[Green(d)], Green(d), s63, 6, Green(m), levelColumn);
            int b = MaskedChannelAt(e.b[Blue(d)], Blue(d), s31, 5, Blue(m), levelColumn);
            dst[i] = (WORD)((r << 11) | (g << 5) | b);
        }
    }
}

void MaskedRows(const EffectTables& e, int level, WORD* dst, const WORD* mask, int width,
                int height, int dstPitch, int maskPitch) {
    if (width <= 0 || height <= 0) return;
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
    if (width <= 0 || height <= 0) return;
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
        TableRows(t, dst, width, height, dstPitch);
    }
}

void OverlayFill(int level, WORD colour, WORD* dst, int width, int height, int dstPitch) {
    if (width <= 0 || height <= 0) return;
    level = ClampLevel(level);
    if (level == 63) return;
    EffectTables e;
    OverlayEffect(colour, &e);
    ChannelTables t;
    BuildChannelTables(e, level, &t);
    TableRows(t, dst, width, height, dstPitch);
}

void BlendFillMasked(WORD colour, WORD* dst, const WORD* mask, int width, int height, int dstPitch,
                     int maskPitch) {
    EffectTables e;
    PaintEffect(colour, &e);
    MaskedRows(e, 0, dst, mask, width, height, dstPitch, maskPitch);
}

void BlendFillMaskedLevel(int level, WORD colour, WORD* dst, const WORD* mask, int width,
                          int height, int dstPitch, int maskPitch) {
    level = ClampLevel(level);
    if (level == 63) return;
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
    if (level == 63) return;
    EffectTables e;
    OverlayEffect(colour, &e);
    MaskedRows(e, level, dst, mask, width, height, dstPitch, maskPitch);
}
