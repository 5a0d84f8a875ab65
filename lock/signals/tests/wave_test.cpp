// ParseWaveImage on images in other orders, with extra chunks, odd lengths,
// truncation and lies: what it finds, and that it stays inside the image.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "signals/signals.h"

namespace {

using Bytes = std::vector<BYTE>;

void Put32(Bytes& out, DWORD v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(BYTE(v >> (8 * i)));
}

// "RIFF", a length, the form type, then the chunks as given.
struct Image {
    Bytes bytes;
    explicit Image(const char* form = "WAVE", const char* riff = "RIFF") {
        bytes.insert(bytes.end(), riff, riff + 4);
        Put32(bytes, 0); // the RIFF length, which the parser does not rely on
        bytes.insert(bytes.end(), form, form + 4);
    }
    // A chunk declaring `length` and holding `held` bytes of data (its
    // length when -1), with the pad byte after an odd length.
    Image& Chunk(const char* id, DWORD length, long held = -1, bool pad = true) {
        bytes.insert(bytes.end(), id, id + 4);
        Put32(bytes, length);
        const size_t n = held < 0 ? length : size_t(held);
        for (size_t i = 0; i < n; ++i)
            bytes.push_back(BYTE(i == 0 && std::strncmp(id, "fmt ", 4) == 0 ? 1 : 0x40 + i % 32));
        if (pad && (n & 1)) bytes.push_back(0);
        return *this;
    }
    Image& Cut(size_t size) {
        bytes.resize(size);
        return *this;
    }
};

bool AllZero(const WaveImage& w) {
    static const WaveImage zero = {};
    return std::memcmp(&w, &zero, sizeof w) == 0;
}

} // namespace

TEST(ParseWaveImage, FindsFormatAndDataWhereverTheyAreAndNeverLeavesTheImage) {
    struct Case {
        int line;
        Bytes image;
        bool ok;
        DWORD dataOffset, dataLength;
    } cases[] = {
        {__LINE__, Image().Chunk("fmt ", 16).Chunk("data", 100).bytes, true, 44, 100},
        {__LINE__, Image().Chunk("data", 100).Chunk("fmt ", 16).bytes, true, 20, 100},
        {__LINE__, Image().Chunk("fmt ", 16).Chunk("LIST", 26).Chunk("data", 8).bytes, true, 78, 8},
        // odd lengths are padded: the next chunk starts one byte later
        {__LINE__, Image().Chunk("junk", 3).Chunk("fmt ", 16).Chunk("data", 5).bytes, true, 56, 5},
        {__LINE__, Image().Chunk("fmt ", 18).Chunk("data", 2).bytes, true, 46, 2}, // with cbSize
        {__LINE__, Image().Chunk("fmt ", 16).Chunk("data", 4).Chunk("data", 6).bytes, true, 56, 6},
        // a "data" length beyond the image is cut to what is there
        {__LINE__, Image().Chunk("fmt ", 16).Chunk("data", 1000, 10).bytes, true, 44, 10},
        {__LINE__, Image().Chunk("fmt ", 16).Chunk("data", 0).bytes, true, 44, 0},
        // a "fmt " shorter than 16 bytes is no format, declared or cut
        {__LINE__, Image().Chunk("fmt ", 14).Chunk("data", 4).bytes, false},
        {__LINE__, Image().Chunk("data", 4).Chunk("fmt ", 16, 10).bytes, false},
        {__LINE__, Image().Chunk("fmt ", 14).Chunk("fmt ", 16).Chunk("data", 4).bytes, true, 66, 4},
        // a chunk header cut off ends the walk
        {__LINE__, Image().Chunk("fmt ", 16).Chunk("data", 4).Cut(40).bytes, false},
        // lengths that run past the end, or wrap around, end it too
        {__LINE__, Image().Chunk("fmt ", 16).Chunk("junk", 0xFFFFFFFF, 4).Chunk("data", 4).bytes,
         false},
        {__LINE__, Image().Chunk("fmt ", 16).Chunk("junk", 0xFFFFFFF0, 0).Chunk("data", 4).bytes,
         false},
        {__LINE__, Image().Chunk("fmt ", 16).bytes, false},
        {__LINE__, Image("AVI ").Chunk("fmt ", 16).Chunk("data", 4).bytes, false},
        {__LINE__, Image("WAVE", "RIFX").Chunk("fmt ", 16).Chunk("data", 4).bytes, false},
        {__LINE__, Image().Cut(11).bytes, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        // Exactly the image's bytes on the heap, so that a read past them is
        // a fault the sanitizers report.
        std::unique_ptr<BYTE[]> bytes(new BYTE[c.image.size()]);
        std::memcpy(bytes.get(), c.image.data(), c.image.size());
        WaveImage w;
        std::memset(&w, 0xA5, sizeof w); // whatever was there before
        ASSERT_EQ(c.ok, ParseWaveImage(&w, bytes.get(), DWORD(c.image.size())) != FALSE);
        if (!c.ok) {
            EXPECT_TRUE(AllZero(w)) << "a failed parse leaves the image cleared";
            continue;
        }
        EXPECT_EQ(c.image.size(), w.totalSize);
        EXPECT_EQ(0, std::memcmp(w.formType, "WAVE", 4));
        EXPECT_EQ(1, w.formatBlock[0]) << "the format block is the fmt chunk's";
        EXPECT_EQ(c.dataOffset, w.dataOffset);
        EXPECT_EQ(c.dataLength, w.dataLength);
        EXPECT_EQ(bytes.get() + c.dataOffset, w.data);
    }
}
