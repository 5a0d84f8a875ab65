// Blend kernels for 16-bit RGB565 surfaces (red 15-11, green 10-5, blue 4-0).
//
// Every kernel works in place, row by row, and clips nothing: the caller
// hands it an area that lies inside the surface. A width or height of zero or
// less draws nothing. Pitches are in bytes.
//
// The transparency level (0..63) is the share of the existing destination
// pixel that survives: 0 applies the effect fully, 63 leaves the pixel as it
// was. Paint mode blends towards the colour; overlay mode first derives an
// effect colour from each destination channel (darkening dark channels,
// lightening light ones) and blends towards that.
//
// Mask pixels hold per-channel destination weights in RGB565 layout: 0x0000
// applies the effect fully, 0xFFFF leaves the pixel untouched (not even
// written), anything between moves each channel back towards the
// destination by its own weight.
#ifndef LOCK_RENDER_BLEND_H
#define LOCK_RENDER_BLEND_H

#include <windows.h>

// [a][b] = (a*b + 15) / 31: scales a 5-bit value by b/31, rounded.
extern const BYTE Scale31Table[32][32];
// [a][b] = (a*b + 31) / 63: scales a 6-bit value by b/63, rounded.
extern const BYTE Scale63Table[64][64];

void BlendFill(int level, WORD colour, WORD* dst, int width, int height, int dstPitch);
void BlendFillMasked(WORD colour, WORD* dst, const WORD* mask, int width, int height, int dstPitch,
                     int maskPitch);
void BlendFillMaskedLevel(int level, WORD colour, WORD* dst, const WORD* mask, int width,
                          int height, int dstPitch, int maskPitch);

void OverlayFill(int level, WORD colour, WORD* dst, int width, int height, int dstPitch);
void OverlayFillMasked(WORD colour, WORD* dst, const WORD* mask, int width, int height,
                       int dstPitch, int maskPitch);
void OverlayFillMaskedLevel(int level, WORD colour, WORD* dst, const WORD* mask, int width,
                            int height, int dstPitch, int maskPitch);

#endif
