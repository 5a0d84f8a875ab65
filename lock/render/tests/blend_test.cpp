// The six blend kernels against the plain model in blend_model.h: every
// channel pair where that is cheap, random areas (odd widths, unaligned
// starts, padded and bottom-up pitches, masks of every kind) elsewhere, and
// the results the rest of the lock screen relies on.
#include <climits>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include "blend.h"
#include "blend_model.h"
#include "common/prng.h"

using model::Kernel;

namespace {

constexpr unsigned RandomSeed = 20240611;

// A sweep colour whose three channels run through all their values as k runs
// through 0..63.
WORD SweepPixel(int k, int blueFactor, int blueOffset) {
    return model::Join({k & 31, k & 63, (k * blueFactor + blueOffset) & 31});
}

::testing::AssertionResult SamePixels(const std::vector<WORD>& actual,
                                      const std::vector<WORD>& expected, int stride) {
    size_t mismatches = 0, first = 0;
    for (size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i] && mismatches++ == 0) first = i;
    }
    if (mismatches == 0) return ::testing::AssertionSuccess();
    char text[128];
    std::snprintf(text, sizeof text,
                  "%zu pixels differ; first at row %zu column %zu: 0x%04X, model 0x%04X",
                  mismatches, first / stride, first % stride, actual[first], expected[first]);
    return ::testing::AssertionFailure() << text;
}

// A surface with guard pixels round the area a kernel may touch: a guard row
// above and below and `offset` pixels before and some after each row, so a
// stray write shows as a changed guard. Bottom-up surfaces have a negative
// pitch.
struct Surface {
    int width = 0, height = 0;
    int stride = 0; // WORDs per storage row
    int offset = 0; // pixels before the area in each row
    bool bottomUp = false;
    std::vector<WORD> pixels;

    Surface(int w, int h, int off, int after, bool up)
        : width(w), height(h), stride(off + w + after), offset(off), bottomUp(up),
          pixels(static_cast<size_t>(stride) * (h + 2)) {}

    size_t Index(int x, int y) const {
        int row = bottomUp ? height - y : y + 1;
        return static_cast<size_t>(row) * stride + offset + x;
    }
    WORD* Origin() { return &pixels[Index(0, 0)]; }
    int Pitch() const { return (bottomUp ? -stride : stride) * 2; }
    WORD At(int x, int y) const { return pixels[Index(x, y)]; }
};

// Runs kernel k over the whole area of dst (mask alongside) and checks every
// pixel of dst's storage against the model: blended inside, untouched outside.
::testing::AssertionResult RunAndCheck(Kernel k, int level, WORD colour, Surface& dst,
                                       const Surface& mask) {
    std::vector<WORD> expected = dst.pixels;
    for (int y = 0; y < dst.height; ++y) {
        for (int x = 0; x < dst.width; ++x) {
            WORD m = model::IsMasked(k) ? mask.At(x, y) : 0;
            expected[dst.Index(x, y)] = model::Pixel(k, level, colour, dst.At(x, y), m);
        }
    }
    model::Run(k, level, colour, dst.Origin(), &mask.pixels[mask.Index(0, 0)], dst.width,
               dst.height, dst.Pitch(), mask.Pitch());
    return SamePixels(dst.pixels, expected, dst.stride);
}

} // namespace

TEST(ScaleTables, HoldRoundedProducts) {
    for (int a = 0; a < 32; ++a)
        for (int b = 0; b < 32; ++b)
            ASSERT_EQ(Scale31Table[a][b], model::Scale(a, b, 31)) << "[" << a << "][" << b << "]";
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b)
            ASSERT_EQ(Scale63Table[a][b], model::Scale(a, b, 63)) << "[" << a << "][" << b << "]";
    // The rounding thresholds the blends depend on.
    EXPECT_EQ(Scale31Table[1][15], 0);
    EXPECT_EQ(Scale31Table[1][16], 1);
    EXPECT_EQ(Scale63Table[1][31], 0);
    EXPECT_EQ(Scale63Table[1][32], 1);
    EXPECT_EQ(Scale63Table[31][31], 15);
}

// Unmasked kernels: every (destination, colour) pair of every channel at
// every level, the destination laid along one row so the word-at-a-time
// paths see it.
TEST(UnmaskedKernels, MatchModelForEveryChannelPairAndLevel) {
    for (Kernel k : {Kernel::BlendFill, Kernel::OverlayFill}) {
        for (int level = 0; level < 64; ++level) {
            for (int c = 0; c < 64; ++c) {
                WORD colour = SweepPixel(c, 1, 7);
                Surface dst(64, 1, 0, 0, false);
                for (int x = 0; x < 64; ++x)
                    dst.pixels[dst.Index(x, 0)] = SweepPixel(x, 5, 0);
                ASSERT_TRUE(RunAndCheck(k, level, colour, dst, dst))
                    << model::Name(k) << " level " << level << " colour " << colour;
            }
        }
    }
}

// All 65536 destination pixels, so that no channel leaks into the next.
TEST(UnmaskedKernels, MatchModelForEveryDestinationPixel) {
    const WORD colours[] = {0x0000, 0xFFFF, 0x7BEF, 0x8410, 0xF81F, 0x07E0, 0x1234, 0xA5C3};
    for (Kernel k : {Kernel::BlendFill, Kernel::OverlayFill}) {
        for (int level : {0, 1, 30, 31, 32, 62, 63}) {
            for (WORD colour : colours) {
                Surface dst(256, 256, 0, 0, false);
                for (int i = 0; i < 65536; ++i)
                    dst.pixels[dst.Index(i & 255, i >> 8)] = static_cast<WORD>(i);
                ASSERT_TRUE(RunAndCheck(k, level, colour, dst, dst))
                    << model::Name(k) << " level " << level << " colour " << colour;
            }
        }
    }
}

// Masked kernels: every (destination, weight) pair of every channel, for
// every colour channel value, once as one 64x64 area and once row by row,
// since large and small areas take different routes.
TEST(MaskedKernels, MatchModelForEveryDestinationAndWeightPair) {
    Surface mask(64, 64, 0, 0, false);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            mask.pixels[mask.Index(x, y)] = SweepPixel(x, 3, 1);
    auto freshDst = [] {
        Surface dst(64, 64, 1, 3, false);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                dst.pixels[dst.Index(x, y)] = SweepPixel(y, 5, 0);
        return dst;
    };
    struct Case {
        Kernel kernel;
        std::vector<int> levels;
    };
    const Case cases[] = {
        {Kernel::BlendFillMasked, {0}},
        {Kernel::OverlayFillMasked, {0}},
        {Kernel::BlendFillMaskedLevel, {1, 2, 16, 30, 31, 32, 47, 61, 62}},
        {Kernel::OverlayFillMaskedLevel, {1, 2, 16, 30, 31, 32, 47, 61, 62}},
    };
    for (const Case& c : cases) {
        for (int level : c.levels) {
            for (int k = 0; k < 64; ++k) {
                WORD colour = SweepPixel(k, 1, 7);
                Surface whole = freshDst();
                ASSERT_TRUE(RunAndCheck(c.kernel, level, colour, whole, mask))
                    << model::Name(c.kernel) << " level " << level << " colour " << colour
                    << " as one area";

                Surface rows = freshDst();
                for (int y = 0; y < 64; ++y)
                    model::Run(c.kernel, level, colour, &rows.pixels[rows.Index(0, y)],
                               &mask.pixels[mask.Index(0, y)], 64, 1, 0, 0);
                ASSERT_TRUE(SamePixels(rows.pixels, whole.pixels, rows.stride))
                    << model::Name(c.kernel) << " level " << level << " colour " << colour
                    << " row by row";
            }
        }
    }
}

// Random areas: odd widths, starts at every pixel offset within a machine
// word, padded and bottom-up pitches, levels with the special ones often,
// masks mixing 0x0000, 0xFFFF and arbitrary weights.
TEST(AllKernels, MatchModelOnRandomAreas) {
    std::printf("random seed %u\n", RandomSeed);
    handset::Prng rng(RandomSeed);
    auto uniform = [&rng](int lo, int hi) { return static_cast<int>(rng.Between(lo, hi)); };
    auto randomPixel = [&] { return static_cast<WORD>(uniform(0, 0xFFFF)); };
    auto maskPixel = [&]() -> WORD {
        switch (uniform(0, 3)) {
        case 0:
            return 0x0000;
        case 1:
            return 0xFFFF;
        default:
            return randomPixel();
        }
    };
    for (Kernel k : model::AllKernels) {
        for (int round = 0; round < 420; ++round) {
            bool large = round >= 400; // large enough for the masked table route
            int width = large ? uniform(64, 131) : uniform(1, 41);
            int height = large ? uniform(64, 80) : uniform(1, 6);
            int lowest = model::IsMasked(k) ? 1 : 0;
            int level;
            switch (uniform(0, 5)) {
            case 0:
                level = lowest;
                break;
            case 1:
                level = 31;
                break;
            case 2:
                level = 63;
                break;
            default:
                level = uniform(lowest, 63);
                break;
            }
            WORD colour = uniform(0, 7) == 0 ? (uniform(0, 1) ? 0xFFFF : 0x0000) : randomPixel();

            Surface dst(width, height, uniform(0, 7), uniform(0, 5), uniform(0, 3) == 0);
            for (WORD& p : dst.pixels)
                p = randomPixel();
            Surface mask(width, height, uniform(0, 3), uniform(0, 9), uniform(0, 3) == 0);
            for (WORD& p : mask.pixels)
                p = maskPixel();

            ASSERT_TRUE(RunAndCheck(k, level, colour, dst, mask))
                << model::Name(k) << " round " << round << " level " << level << " colour "
                << colour << " " << width << "x" << height << " offset " << dst.offset
                << (dst.bottomUp ? " bottom-up" : "") << " (seed " << RandomSeed << ")";
        }
    }
}

TEST(AllKernels, KnownResults) {
    struct Case {
        int line;
        Kernel kernel;
        int level;
        WORD colour, dst, mask, expected;
    };
    const Case cases[] = {
        // The veil: white halfway over black, the exact halving shortcut.
        {__LINE__, Kernel::BlendFill, 31, 0xFFFF, 0x0000, 0, 0x7BEF},
        // Masked kernels have no shortcut: level 31 rounds through the table.
        {__LINE__, Kernel::BlendFillMaskedLevel, 31, 0xFFFF, 0x0000, 0x0000, 0x8410},
        {__LINE__, Kernel::BlendFill, 0, 0x1234, 0xFEDC, 0, 0x1234},
        {__LINE__, Kernel::BlendFillMasked, 0, 0x1234, 0xFEDC, 0x0000, 0x1234},
        // Level 63 keeps the destination.
        {__LINE__, Kernel::BlendFill, 63, 0xFFFF, 0x0000, 0, 0x0000},
        {__LINE__, Kernel::BlendFill, 63, 0x0000, 0xA5C3, 0, 0xA5C3},
        {__LINE__, Kernel::OverlayFill, 63, 0xFFFF, 0x5A3C, 0, 0x5A3C},
        {__LINE__, Kernel::BlendFillMaskedLevel, 63, 0xFFFF, 0x0000, 0x0000, 0x0000},
        {__LINE__, Kernel::OverlayFillMaskedLevel, 63, 0x0000, 0x5A3C, 0x1234, 0x5A3C},
        // A 0xFFFF mask keeps the destination at any level.
        {__LINE__, Kernel::BlendFillMasked, 0, 0xFFFF, 0x1234, 0xFFFF, 0x1234},
        {__LINE__, Kernel::BlendFillMaskedLevel, 1, 0xFFFF, 0x1234, 0xFFFF, 0x1234},
        {__LINE__, Kernel::OverlayFillMasked, 0, 0xFFFF, 0x1234, 0xFFFF, 0x1234},
        {__LINE__, Kernel::OverlayFillMaskedLevel, 1, 0xFFFF, 0x1234, 0xFFFF, 0x1234},
        // Overlay red either side of its midpoint: dark multiplies, light screens.
        {__LINE__, Kernel::OverlayFill, 0, 31 << 11, 15 << 11, 0, 30 << 11},
        {__LINE__, Kernel::OverlayFill, 0, 0x0000, 16 << 11, 0, 1 << 11},
        {__LINE__, Kernel::OverlayFillMasked, 0, 31 << 11, 15 << 11, 0x0000, 30 << 11},
        {__LINE__, Kernel::OverlayFillMasked, 0, 0x0000, 16 << 11, 0x0000, 1 << 11},
        // Green likewise at 31/32.
        {__LINE__, Kernel::OverlayFill, 0, 63 << 5, 31 << 5, 0, 62 << 5},
        {__LINE__, Kernel::OverlayFill, 0, 0x0000, 32 << 5, 0, 1 << 5},
        // A half weight in the mask halves the move towards the effect colour.
        {__LINE__, Kernel::BlendFillMasked, 0, 0xFFFF, 0x0000, 0x8410, 0x7BEF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Surface dst(1, 1, 1, 1, false);
        dst.pixels[dst.Index(0, 0)] = c.dst;
        Surface mask(1, 1, 0, 0, false);
        mask.pixels[0] = c.mask;
        model::Run(c.kernel, c.level, c.colour, dst.Origin(), mask.pixels.data(), 1, 1, dst.Pitch(),
                   mask.Pitch());
        EXPECT_EQ(Hex{dst.At(0, 0)}, Hex{c.expected});
        EXPECT_EQ(Hex{model::Pixel(c.kernel, c.level, c.colour, c.dst, c.mask)}, Hex{c.expected})
            << "model";
    }
}

// Pure black and pure white are fixed points of overlay whatever the colour.
TEST(OverlayKernels, KeepBlackAndWhiteForEveryColour) {
    const WORD zeroMask[2] = {0x0000, 0x0000};
    for (int colour = 0; colour <= 0xFFFF; ++colour) {
        WORD row[2] = {0x0000, 0xFFFF};
        OverlayFill(0, static_cast<WORD>(colour), row, 2, 1, 4);
        ASSERT_EQ(Hex{row[0]}, Hex{0x0000}) << "colour " << colour;
        ASSERT_EQ(Hex{row[1]}, Hex{0xFFFF}) << "colour " << colour;
        WORD masked[2] = {0x0000, 0xFFFF};
        OverlayFillMasked(static_cast<WORD>(colour), masked, zeroMask, 2, 1, 4, 4);
        ASSERT_EQ(Hex{masked[0]}, Hex{0x0000}) << "colour " << colour;
        ASSERT_EQ(Hex{masked[1]}, Hex{0xFFFF}) << "colour " << colour;
    }
}

// Whole areas, small and large, that must come back exactly as they were.
TEST(AllKernels, LeaveAreaUntouchedAtLevel63OrUnderFullMask) {
    handset::Prng rng(RandomSeed + 1);
    for (Kernel k : model::AllKernels) {
        for (int size : {7, 90}) {
            Surface dst(size, size, 1, 2, false);
            for (WORD& p : dst.pixels)
                p = static_cast<WORD>(rng.Next());
            std::vector<WORD> before = dst.pixels;
            Surface fullMask(size, size, 0, 0, false);
            std::fill(fullMask.pixels.begin(), fullMask.pixels.end(), 0xFFFF);
            Surface randomMask = fullMask;
            for (WORD& p : randomMask.pixels)
                p = static_cast<WORD>(rng.Next());

            if (model::TakesLevel(k)) {
                model::Run(k, 63, 0xFFFF, dst.Origin(), randomMask.Origin(), size, size,
                           dst.Pitch(), randomMask.Pitch());
                EXPECT_TRUE(SamePixels(dst.pixels, before, dst.stride))
                    << model::Name(k) << " level 63, " << size << "x" << size;
            }
            if (model::IsMasked(k)) {
                for (int level : {1, 31}) {
                    model::Run(k, level, 0x1234, dst.Origin(), fullMask.Origin(), size, size,
                               dst.Pitch(), fullMask.Pitch());
                    EXPECT_TRUE(SamePixels(dst.pixels, before, dst.stride))
                        << model::Name(k) << " 0xFFFF mask, level " << level << ", " << size << "x"
                        << size;
                }
            }
        }
    }
}

TEST(AllKernels, DrawNothingForEmptySizes) {
    const int sizes[][2] = {{0, 4}, {4, 0}, {0, 0}, {-1, 4}, {4, -1}, {INT_MIN, 4}, {4, INT_MIN}};
    for (Kernel k : model::AllKernels) {
        for (const auto& size : sizes) {
            Surface dst(4, 4, 0, 0, false);
            std::fill(dst.pixels.begin(), dst.pixels.end(), 0x5555);
            Surface mask(4, 4, 0, 0, false);
            std::vector<WORD> before = dst.pixels;
            model::Run(k, 1, 0xFFFF, dst.Origin(), mask.Origin(), size[0], size[1], dst.Pitch(),
                       mask.Pitch());
            EXPECT_TRUE(SamePixels(dst.pixels, before, dst.stride))
                << model::Name(k) << " " << size[0] << "x" << size[1];
        }
    }
}

// Pixels under a 0xFFFF mask are not even written (the blend would give the
// same value, so only a write shows it): they lie on a read-only page and a
// write would kill the child process. The rows straddle the page edge at an
// odd pixel, so a pair of pixels is half writable and half not; pitch 0
// repeats the one row often enough for the large-area route too.
TEST(MaskedKernels, NeverWritePixelsUnderFullMask) {
    const long page = sysconf(_SC_PAGESIZE);
    auto* memory = static_cast<BYTE*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(memory, MAP_FAILED);
    ASSERT_EQ(mprotect(memory + page, page, PROT_READ), 0);
    WORD* row = reinterpret_cast<WORD*>(memory + page) - 3; // 3 writable, then read-only
    const WORD mask[9] = {0x0000, 0x1234, 0x0000, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    for (Kernel k : model::AllKernels) {
        if (!model::IsMasked(k)) continue;
        for (int height : {1, 1000}) {
            EXPECT_EXIT(
                {
                    model::Run(k, 17, 0xFFFF, row, mask, 9, height, 0, 0);
                    // One row blended once must also have drawn its first pixel.
                    bool drawn = row[0] == model::Pixel(k, 17, 0xFFFF, 0x0000, 0x0000);
                    std::exit(height > 1 || drawn ? 0 : 1);
                },
                ::testing::ExitedWithCode(0), "")
                << model::Name(k) << ", " << height << " rows";
        }
    }
    munmap(memory, 2 * page);
}
