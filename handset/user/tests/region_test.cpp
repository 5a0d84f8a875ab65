// Regions: one canonical form for the same pixels, whatever made them.
#include <gtest/gtest.h>

#include "user/region.h"

using handset::Region;

TEST(Region, TheSamePixelsGiveTheSameRectangles) {
    const RECT a{0, 0, 10, 10}, b{5, 5, 15, 15}, hole{2, 2, 8, 8};
    struct Case {
        int line;
        Region region;
        const char* expected;
    } cases[] = {
        {__LINE__, Region::Of({a, b}), "(0,0)-(10,5) (0,5)-(15,10) (5,10)-(15,15)"},
        {__LINE__, Region::Of({b, a, a}), "(0,0)-(10,5) (0,5)-(15,10) (5,10)-(15,15)"},
        {__LINE__, Region(a) - Region(hole), "(0,0)-(10,2) (0,2)-(2,8) (8,2)-(10,8) (0,8)-(10,10)"},
        {__LINE__, Region(a) - Region(hole) + Region(hole), "(0,0)-(10,10)"},
        {__LINE__, Region::Of({{0, 0, 5, 10}, {5, 0, 10, 10}}), "(0,0)-(10,10)"},
        {__LINE__, Region(a) & Region(b), "(5,5)-(10,10)"},
        {__LINE__, Region(a) - Region(a), "empty"},
        {__LINE__, Region(RECT{3, 3, 3, 9}), "empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(c.expected, c.region.ToString());
    }
    EXPECT_TRUE((Region(a) - Region(b)) + Region(b) == Region::Of({a, b}));
}
