// The lock program's compiled resources, read as the phone reads them: the
// two signal sounds in the format and length the signals are timed for, the
// high-resolution mark and the icon group with its nine images.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>
#include <tuple>

#include "common/bytes.h"
#include "lock_resources.h"
#include "res/resfile.h"
#include "testing/testing.h"

using handset::GetLe16;
using handset::GetLe32;
using handset::ResEntry;
using handset::ResFile;

namespace {

const ResFile& Resources() {
    static ResFile res =
        handset::testing::ParsedResources({kTessarilRes, kTessarilResSize}, "Tessaril.res");
    return res;
}

std::vector<double> Samples(const ResEntry& wave) {
    std::vector<double> out;
    for (size_t at = 44; at + 1 < wave.data.size(); at += 2)
        out.push_back(int16_t(GetLe16(wave.data.data() + at)) / 32768.0);
    return out;
}

// The frequency from 500 to 1000 Hz, in 2 Hz steps, with the most energy in
// samples [from, to).
int StrongestFrequency(const std::vector<double>& s, size_t from, size_t to) {
    int best = 0;
    double bestPower = -1;
    for (int f = 500; f <= 1000; f += 2) {
        double re = 0, im = 0;
        for (size_t i = from; i < to; ++i) {
            double phase = 2 * std::numbers::pi * f * double(i) / 11025;
            re += s[i] * std::cos(phase);
            im += s[i] * std::sin(phase);
        }
        if (re * re + im * im > bestPower) best = f, bestPower = re * re + im * im;
    }
    return best;
}

double Rms(const std::vector<double>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += s[i] * s[i];
    return std::sqrt(sum / double(to - from));
}

} // namespace

TEST(LockResources, HoldExactlyTheSoundsMarkAndIcon) {
    std::set<std::string> got;
    for (const ResEntry& e : Resources().entries())
        got.insert(e.type.Describe() + " " + e.name.Describe() + " " + std::to_string(e.language));
    std::set<std::string> want = {"\"WAVE\" 131 0", "\"WAVE\" 133 0", "\"CEUX\" \"HI_RES_AWARE\" 0",
                                  "14 101 0"};
    for (int icon = 1; icon <= 9; ++icon)
        want.insert("3 " + std::to_string(icon) + " 0");
    EXPECT_EQ(want, got);
}

TEST(LockResources, WavesHaveTheFormatAndLengthOfTheSignals) {
    struct Case {
        int line;
        uint16_t id;
        uint32_t dataBytes;
    } cases[] = {
        {__LINE__, 131, 17444}, // 8722 samples, 0.791 s
        {__LINE__, 133, 6904},  // 3452 samples, 0.313 s
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        const ResEntry* wave = Resources().Find(u"WAVE", c.id);
        ASSERT_TRUE(wave);
        const unsigned char* p = wave->data.data();
        ASSERT_EQ(c.dataBytes + 44, wave->data.size());
        auto text = [&](size_t at) {
            return std::string(reinterpret_cast<const char*>(p + at), 4);
        };
        EXPECT_EQ("RIFF", text(0));
        EXPECT_EQ(wave->data.size() - 8, GetLe32(p + 4));
        EXPECT_EQ("WAVE", text(8));
        EXPECT_EQ("fmt ", text(12));
        EXPECT_EQ(16u, GetLe32(p + 16));
        // tag, channels, rate, bytes/s, block align, bits
        auto format = std::make_tuple(GetLe16(p + 20), GetLe16(p + 22), GetLe32(p + 24),
                                      GetLe32(p + 28), GetLe16(p + 32), GetLe16(p + 34));
        EXPECT_EQ(std::make_tuple(1, 1, 11025u, 22050u, 2, 16), format);
        EXPECT_EQ("data", text(36));
        EXPECT_EQ(c.dataBytes, GetLe32(p + 40));
    }
}

TEST(LockResources, TheChimeAndTheBeepSoundAsDescribed) {
    const size_t ms = 11025 / 1000; // samples per millisecond, near enough
    struct Case {
        int line;
        uint16_t id;
        size_t from, to; // the window, in ms
        int low, high;   // its strongest frequency, Hz
    } cases[] = {
        {__LINE__, 131, 0, 85, 700, 860},    // first strike
        {__LINE__, 131, 100, 300, 680, 860}, // second strike
        {__LINE__, 133, 0, 200, 680, 720},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        auto s = Samples(*Resources().Find(u"WAVE", c.id));
        int f = StrongestFrequency(s, c.from * ms, c.to * ms);
        EXPECT_TRUE(f >= c.low && f <= c.high) << "" << f << " Hz";
    }
    for (uint16_t id : {131, 133}) {
        auto s = Samples(*Resources().Find(u"WAVE", id));
        double peak = 0;
        for (double v : s)
            peak = std::max(peak, std::fabs(v));
        EXPECT_TRUE(peak > 0.5 && peak < 0.8) << id << ": peak " << peak;
        // Soft edges: no click at either end; faded out by the last 50 ms.
        EXPECT_LT(std::fabs(s.front()), 0.01) << id;
        EXPECT_LT(std::fabs(s.back()), 0.01) << id;
        double loud = Rms(s, 0, 100 * ms), tail = Rms(s, s.size() - 50 * ms, s.size());
        EXPECT_LT(tail, loud / 50) << id << ": rms " << loud << " then " << tail;
    }
}

TEST(LockResources, HighResolutionMarkIsTheWordOne) {
    const ResEntry* mark = Resources().Find(u"CEUX", u"HI_RES_AWARE");
    ASSERT_TRUE(mark);
    ASSERT_EQ(2u, mark->data.size());
    EXPECT_EQ(1, GetLe16(mark->data.data()));
}

TEST(LockResources, IconGroupHasNineImagesOfTheRequiredSizesAndDepths) {
    auto group = Resources().FindIconGroup(101);
    ASSERT_TRUE(group);
    std::multiset<std::tuple<int, int, int>> got, want;
    for (int size : {16, 32, 48})
        for (int bits : {4, 8, 32})
            want.insert({size, size, bits});
    for (const handset::IconGroupEntry& e : group->entries) {
        const std::string which = std::to_string(e.width) + "x" + std::to_string(e.bitCount);
        got.insert({e.width, e.height, e.bitCount});
        ASSERT_TRUE(e.image) << which;
        handset::IconImageInfo info;
        std::string error;
        ASSERT_TRUE(handset::ReadIconImage(e.image->data, &info, &error)) << which << ": " << error;
        EXPECT_EQ(std::make_tuple(e.width, e.height, e.bitCount),
                  std::make_tuple(info.width, info.height, info.bitCount))
            << which;
        EXPECT_EQ(e.bytesInRes, e.image->data.size()) << which;
        EXPECT_EQ(e.bitCount == 4 ? 16 : 0, e.colourCount) << which;
        EXPECT_EQ(1, e.planes) << which;
        // The drawing covers much of the square but not all of it.
        const unsigned char* mask = e.image->data.data() + e.image->data.size() - info.maskBytes;
        const size_t stride = info.maskBytes / info.height;
        int opaque = 0;
        for (int y = 0; y < info.height; ++y)
            for (int x = 0; x < info.width; ++x)
                opaque += !(mask[y * stride + x / 8] & (0x80 >> (x % 8)));
        double share = double(opaque) / (info.width * info.height);
        EXPECT_TRUE(share > 0.4 && share < 0.9) << which << ": " << share << " opaque";
    }
    EXPECT_EQ(want, got);
}
