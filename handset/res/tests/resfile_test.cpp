// The .res reader: a windres-made file read completely, lookups as
// FindResource and LoadString make them, and broken files refused at the
// byte that breaks them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/text.h"
#include "res/resfile.h"
#include "res/tests/res_writer.h"
#include "res_sample.h"

using handset::ReadIconImage;
using handset::ResEntry;
using handset::ResFile;
using handset::ResId;
using handset::testing::Bytes;
using handset::testing::ResWriter;
using handset::testing::StringBlock;

namespace {

std::span<const unsigned char> Sample() {
    return {kSampleRes, kSampleResSize};
}

Bytes IconGroupData(uint16_t type, uint16_t count, std::vector<uint16_t> ids) {
    Bytes out;
    handset::PutLe16(out, 0);
    handset::PutLe16(out, type);
    handset::PutLe16(out, count);
    for (uint16_t id : ids) {
        out.insert(out.end(), {16, 16, 0, 0});
        handset::PutLe16(out, 1);
        handset::PutLe16(out, 32);
        handset::PutLe32(out, 0);
        handset::PutLe16(out, id);
    }
    return out;
}

std::string Describe(const ResEntry* e) {
    if (!e) return "(none)";
    return e->type.Describe() + " " + e->name.Describe() + " lang " + std::to_string(e->language);
}

} // namespace

TEST(ResFile, ReadsWindresOutputCompletely) {
    ResFile res;
    std::string error;
    ASSERT_TRUE(ResFile::Parse(Sample(), "sample.res", &res, &error)) << error;

    struct Want {
        int line;
        ResId type, name;
        uint16_t language;
        size_t size;
    } want[] = {
        // windres sorts by type and stores string names in capitals
        {__LINE__, u"CUSTOM", u"TABLES", 0, 6},       {__LINE__, u"WAVE", 200, 0, 6948},
        {__LINE__, handset::kRtIcon, 1, 0, 0}, // the images: sizes checked below
        {__LINE__, handset::kRtIcon, 2, 0, 0},        {__LINE__, handset::kRtIcon, 3, 0, 0},
        {__LINE__, handset::kRtIcon, 4, 0, 0},        {__LINE__, handset::kRtString, 1, 0, 0},
        {__LINE__, handset::kRtString, 2, 0, 0},      {__LINE__, handset::kRtString, 3, 0, 0},
        {__LINE__, handset::kRtString, 1, 0x0407, 0}, {__LINE__, handset::kRtGroupIcon, 101, 0, 62},
    };
    std::string listing;
    for (const ResEntry& e : res.entries())
        listing += Describe(&e) + "; ";
    ASSERT_EQ(std::size(want), res.entries().size()) << listing;
    for (const Want& w : want) {
        const ResEntry* e = res.Find(w.type, w.name, w.language);
        ASSERT_TRUE(e && e->language == w.language) << "line " << w.line << ": " << Describe(e);
        if (w.size) {
            EXPECT_EQ(w.size, e->data.size()) << "line " << w.line;
        }
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(e->data.data()) % 4) << "line " << w.line;
    }
    EXPECT_EQ((Bytes{0x34, 0x12, 0xBC, 0x9A, 0x78, 0x56}),
              Bytes(res.Find(u"Custom", u"Tables")->data.begin(),
                    res.Find(u"Custom", u"Tables")->data.end()));
    EXPECT_EQ(0, std::memcmp("RIFF", res.Find(u"WAVE", 200)->data.data(), 4));

    auto group = res.FindIconGroup(101);
    ASSERT_TRUE(group);
    std::string images;
    for (const auto& g : group->entries) {
        handset::IconImageInfo info;
        ASSERT_TRUE(g.image) << "RT_ICON " << g.iconId;
        ASSERT_TRUE(ReadIconImage(g.image->data, &info, &error)) << error;
        EXPECT_EQ(g.bytesInRes, g.image->data.size()) << "RT_ICON " << g.iconId;
        images += std::to_string(info.width) + "x" + std::to_string(info.height) + "x" +
                  std::to_string(info.bitCount) + "/" + std::to_string(g.bitCount) + " ";
    }
    EXPECT_EQ("16x16x4/4 16x16x32/32 32x32x4/4 32x32x32/32 ", images);
}

TEST(ResFile, StringsByIdAndLanguage) {
    ResFile res;
    ASSERT_TRUE(ResFile::Parse(Sample(), "sample.res", &res, nullptr));
    struct Case {
        int line;
        uint32_t id;
        uint16_t language;
        std::optional<std::u16string> want;
    } cases[] = {
        {__LINE__, 1, 0, u"Tessaril"},
        {__LINE__, 2, 0, u"Program settings saved."},
        {__LINE__, 15, 0, u"last of block 1"},
        {__LINE__, 16, 0, u"Grüße ☎"},
        {__LINE__, 40, 0, u"Tab\there"},
        {__LINE__, 3, 0, u""},           // in a block, never written
        {__LINE__, 47, 0, u""},          // last of block 3
        {__LINE__, 48, 0, std::nullopt}, // block 4 is missing
        {__LINE__, 1, 0x0407, u"Tessaril (Deutsch)"},
        {__LINE__, 2, 0x0407, u""},         // German block 1 holds only string 1
        {__LINE__, 1, 0x0807, u"Tessaril"}, // Swiss German: neutral before German
        {__LINE__, 16, 0x0407, u"Grüße ☎"}, // no German block 2: the neutral one
        {__LINE__, 0x10000, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        auto got = res.String(c.id, c.language);
        EXPECT_EQ(c.want.has_value(), got.has_value());
        if (got && c.want) {
            EXPECT_EQ(handset::Narrow(*c.want), handset::Narrow(*got));
        }
    }
}

TEST(ResFile, FindComparesAsFindResource) {
    ResWriter w;
    w.Add(u"WAVE", 131, 0x0409, {1});
    w.Add(u"WAVE", 131, 0x0407, {2});
    w.Add(u"WAVE", 131, 0x0809, {3});
    w.Add(u"CEUX", u"HI_RES_AWARE", 0x0409, {4});
    w.Add(10, 131, 0x0409, {5});
    ResFile res;
    std::string error;
    ASSERT_TRUE(ResFile::Parse(w.bytes, "ids.res", &res, &error)) << error;
    auto ptr = [](uintptr_t v) { return reinterpret_cast<const char16_t*>(v); };
    struct Case {
        int line;
        ResId type, name;
        uint16_t language;
        int want; // the data byte, 0 for none
    } cases[] = {
        {__LINE__, u"wave", 131, 0x0407, 2},
        {__LINE__, u"WAVE", 131, 0x0809, 3},
        {__LINE__, u"WAVE", 131, 0x0C09, 1}, // same primary language: the first
        {__LINE__, u"WAVE", 131, 0x040C, 1}, // none alike: the first in the file
        {__LINE__, ResId::FromPointer(u"Wave"), ResId::FromPointer(u"#131"), 0x0407, 2},
        {__LINE__, ResId::FromPointer(ptr(10)), ResId::FromPointer(ptr(131)), 0x0409, 5},
        {__LINE__, u"ceux", u"hi_res_aware", 0, 4},
        {__LINE__, u"CEUX", u"HI_RES_AWAR", 0, 0},
        {__LINE__, u"WAVE", u"131", 0, 0}, // a name, not the ordinal
        {__LINE__, u"WAVE", ResId::FromPointer(u"#131x"), 0, 0},
        {__LINE__, 10, 132, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        const ResEntry* e = res.Find(c.type, c.name, c.language);
        EXPECT_EQ(c.want, e ? e->data[0] : 0)
            << "" << c.type.Describe() << " " << c.name.Describe();
    }
}

TEST(ResFile, BrokenFilesAreRefusedAtTheByteThatBreaksThem) {
    auto withEntry = [](const ResId& type, const ResId& name, const Bytes& data) {
        ResWriter w;
        w.Add(type, name, 0, data);
        return w.bytes;
    };
    auto set32 = [](Bytes b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
        return b;
    };
    auto fill = [](Bytes b, size_t from, size_t to, unsigned char v) {
        std::fill(b.begin() + from, b.begin() + to, v);
        return b;
    };
    const Bytes one = withEntry(10, 1, {1, 2, 3, 4, 5, 6}); // header at 32, data at 64
    struct Case {
        int line;
        Bytes bytes;
        size_t offset;
        std::string what;
    } cases[] = {
        {__LINE__, {}, 0, "empty file"},
        {__LINE__, Bytes(one.begin() + 32, one.end()), 0, "must begin with the empty entry"},
        {__LINE__, set32(one, 0, 4), 0, "must begin with the empty entry"},
        {__LINE__, Bytes(one.begin(), one.begin() + 37), 32, "header cut off"},
        {__LINE__, set32(one, 36, 28), 36, "below the smallest header"},
        {__LINE__, set32(one, 36, 34), 36, "not a multiple of 4"},
        {__LINE__, set32(one, 36, 400), 36, "runs past the end of the file"},
        {__LINE__, set32(one, 36, 36), 36, "does not fit its fields, which take 32"},
        {__LINE__, set32(one, 32, 9), 32, "data size 9 runs past the end"},
        {__LINE__, set32(one, 32, 0xFFFFFFFF), 32, "data size 4294967295 runs past the end"},
        {__LINE__, Bytes(one.begin(), one.end() - 1), 70, "padding after the data"},
        {__LINE__, fill(withEntry(u"AB", 1, {}), 40, 68, 'X'), 40, "type is not ended"},
        {__LINE__, set32(one, 40, 0), 40, "type is an empty string"},
        {__LINE__, set32(withEntry(10, u"AB", {}), 44, 0), 44, "name is an empty string"},
        {__LINE__,
         [&] {
             ResWriter w;
             w.Add(u"WAVE", 131, 0, {1});
             w.Add(u"wave", 131, 0, {2});
             return w.bytes;
         }(),
         76, "a second \"wave\" 131 in language 0 (the first at byte 32)"},
        {__LINE__, withEntry(6, 1, Bytes(30, 0)), 94, "ends after 15 of its 16 strings"},
        {__LINE__,
         [] {
             Bytes block = StringBlock({u"ok", u"cut"});
             block.resize(block.size() - 2 * 14 - 2);
             ResWriter w;
             w.Add(6, 1, 0, block);
             return w.bytes;
         }(),
         70, "string of 3 characters runs past its block"},
        {__LINE__, withEntry(14, 1, {0, 0, 1, 0}), 64, "shorter than its 6-byte head"},
        {__LINE__, withEntry(14, 1, IconGroupData(2, 0, {})), 64, "not reserved 0, type 1"},
        {__LINE__, withEntry(14, 1, IconGroupData(1, 2, {1})), 68, "of 2 images runs past"},
        {__LINE__, withEntry(14, 1, IconGroupData(1, 1, {7})), 82, "RT_ICON 7, which is missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        ResFile res;
        std::string error;
        EXPECT_FALSE(ResFile::Parse(c.bytes, "bad.res", &res, &error));
        const std::string at = "bad.res: byte " + std::to_string(c.offset) + ": ";
        EXPECT_TRUE(error.starts_with(at) && error.find(c.what) != std::string::npos)
            << "" << error;
        EXPECT_TRUE(res.entries().empty()) << "the output was touched";
    }
}

TEST(ResFile, EveryCutThroughAnEntryIsRefused) {
    ResFile whole;
    ASSERT_TRUE(ResFile::Parse(Sample(), "sample.res", &whole, nullptr));
    std::vector<size_t> ends;
    for (const ResEntry& e : whole.entries())
        ends.push_back(e.headerOffset);
    ends.push_back(kSampleResSize);
    // A cut at an entry boundary leaves a shorter valid file, unless it
    // parts an icon group from its images; every other cut is refused,
    // at an offset within what is left.
    for (size_t n = 0; n < kSampleResSize; ++n) {
        if (std::find(ends.begin(), ends.end(), n) != ends.end()) continue;
        ResFile res;
        std::string error;
        ASSERT_FALSE(ResFile::Parse(Sample().first(n), "cut.res", &res, &error)) << n;
        size_t offset = std::stoul(error.substr(std::string("cut.res: byte ").size()));
        ASSERT_LE(offset, n) << error;
    }
}

TEST(IconImage, HeaderChecks) {
    auto image = [](int width, int height, int bits, size_t size) {
        Bytes b;
        handset::PutLe32(b, 40);
        handset::PutLe32(b, uint32_t(width));
        handset::PutLe32(b, uint32_t(height));
        handset::PutLe16(b, 1);
        handset::PutLe16(b, uint16_t(bits));
        b.resize(size, 0);
        return b;
    };
    Bytes png = image(16, 32, 32, 100);
    std::memcpy(png.data(), "\x89PNG\r\n\x1a\n", 8);
    Bytes planes = image(16, 32, 4, 400);
    planes[12] = 2;
    Bytes compressed = image(16, 32, 8, 2000);
    compressed[16] = 1;
    struct Case {
        int line;
        Bytes bytes;
        std::string want; // "WxHxBITS palette colour mask" or the error
    } cases[] = {
        // 16 px at 4 bpp: rows of 8 bytes, mask rows of 4; 40 + 64 + 128 + 64
        {__LINE__, image(16, 32, 4, 296), "16x16x4 16 128 64"},
        {__LINE__, image(16, 32, 4, 295), "byte 295: palette, bitmap and mask need 296"},
        {__LINE__, image(48, 96, 8, 40 + 1024 + 48 * 48 + 8 * 48), "48x48x8 256 2304 384"},
        {__LINE__, image(20, 40, 1, 40 + 8 + 80 + 80), "20x20x1 2 80 80"},
        {__LINE__, image(32, 64, 32, 40 + 4096 + 128), "32x32x32 0 4096 128"},
        {__LINE__, image(16, 31, 32, 2000), "byte 8: height 31"},
        {__LINE__, image(0, 32, 32, 2000), "byte 4: width 0"},
        {__LINE__, image(16, 32, 5, 2000), "byte 14: 5 bits per pixel"},
        {__LINE__, planes, "byte 12: 2 planes"},
        {__LINE__, compressed, "byte 16: compression 1"},
        {__LINE__, png, "byte 0: a PNG image"},
        {__LINE__, image(16, 32, 32, 39), "byte 0: image of 39 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        handset::IconImageInfo info;
        std::string got;
        if (ReadIconImage(c.bytes, &info, &got))
            got = std::to_string(info.width) + "x" + std::to_string(info.height) + "x" +
                  std::to_string(info.bitCount) + " " + std::to_string(info.paletteColours) + " " +
                  std::to_string(info.colourBytes) + " " + std::to_string(info.maskBytes);
        EXPECT_TRUE(got.starts_with(c.want)) << "" << got;
    }
}
