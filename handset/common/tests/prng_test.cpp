// The PRNG: the published reference outputs, and ranges that stay in range
// without favouring any part of it.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "common/prng.h"

using handset::Prng;
using handset::SplitMix64;

TEST(Prng, GivesTheReferenceImplementationsFirstOutputs) {
    // Outputs of the authors' splitmix64.c and xoshiro256starstar.c.
    SplitMix64 mix(1477776061723855037u);
    for (uint64_t want : std::initializer_list<uint64_t>{
             1985237415132408290u, 2979275885539914483u, 13511426838097143398u,
             8488337342461049707u, 15141737807933549159u})
        EXPECT_EQ(want, mix.Next());
    Prng x = Prng::FromState({1, 2, 3, 4});
    for (uint64_t want : std::initializer_list<uint64_t>{
             11520u, 0u, 1509978240u, 1215971899390074240u, 1216172134540287360u,
             607988272756665600u, 16172922978634559625u, 8476171486693032832u,
             10595114339597558777u, 2904607092377533576u})
        EXPECT_EQ(want, x.Next());
}

TEST(Prng, BelowStaysBelowAndSpreadsEvenly) {
    struct Case {
        int line;
        uint64_t n;
    } cases[] = {
        {__LINE__, 1},
        {__LINE__, 2},
        {__LINE__, 3},
        {__LINE__, 10},
        {__LINE__, 1000},
        {__LINE__, 0xAAAAAAAAAAAAAAABu}, // a plain modulo would give its low third twice
        {__LINE__, UINT64_MAX},
    };
    constexpr int kBuckets = 10;
    constexpr int kDraws = 200000;
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        Prng rng(c.line);
        int buckets = c.n < kBuckets ? static_cast<int>(c.n) : kBuckets;
        std::vector<int> seen(buckets);
        for (int i = 0; i < kDraws; ++i) {
            uint64_t v = rng.Below(c.n);
            ASSERT_LT(v, c.n);
            ++seen[static_cast<int>(static_cast<unsigned __int128>(v) * buckets / c.n)];
        }
        // Chi-square against a flat spread; the bound is far out in its tail.
        double expected = double(kDraws) / buckets, chi = 0;
        for (int count : seen)
            chi += (count - expected) * (count - expected) / expected;
        double bound = (buckets - 1) + 8 * std::sqrt(2.0 * (buckets - 1)) + 1;
        EXPECT_LT(chi, bound) << "n " << c.n;
    }
}

TEST(Prng, BetweenReachesBothEndsAndChanceKeepsItsRate) {
    Prng rng(42);
    int64_t lowest = 100, highest = -100;
    for (int i = 0; i < 1000; ++i) {
        int64_t v = rng.Between(-3, 3);
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    EXPECT_EQ(-3, lowest);
    EXPECT_EQ(3, highest);
    int hits = 0;
    for (int i = 0; i < 100000; ++i)
        hits += rng.Chance(0.25);
    EXPECT_NEAR(25000, hits, 1000);
}
