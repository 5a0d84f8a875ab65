// PNG files: a 565 surface written and read back through libpng, 565 to 888
// by bit replication, and errors that name the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "gdi/png.h"

using namespace handset::gdi;
namespace fs = std::filesystem;

namespace {

fs::path TempDir() {
    fs::path dir = fs::temp_directory_path() / ("gdi_png_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

} // namespace

TEST(Png, SurfaceRoundTripsWithReplicatedBits) {
    struct Pixel {
        int line;
        uint16_t p;
        uint8_t r, g, b;
    } pixels[] = {
        {__LINE__, 0x0000, 0, 0, 0},   {__LINE__, 0xFFFF, 255, 255, 255},
        {__LINE__, 0xF800, 255, 0, 0}, {__LINE__, 0x07E0, 0, 255, 0},
        {__LINE__, 0x001F, 0, 0, 255}, {__LINE__, 0x8410, 132, 130, 132},
        {__LINE__, 0x0821, 8, 4, 8},   {__LINE__, 0x7BEF, 123, 125, 123},
    };
    // Three rows of the pixels in a wider buffer, so the pitch is not the
    // width.
    constexpr int Width = 8, Height = 3, PitchPixels = 11;
    std::vector<uint16_t> bits(PitchPixels * Height, 0xAAAA);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            bits[y * PitchPixels + x] = pixels[(x + y) % Width].p;
    Surface surface = Surface::Of(bits.data(), Width, Height, PitchPixels * 2);
    surface.clip = {0, 0, 1, 1}; // the whole surface is written all the same

    fs::path path = TempDir() / "round.png";
    std::string error;
    ASSERT_TRUE(WritePng(path.string(), surface, &error)) << error;
    Rgb888Image back;
    ASSERT_TRUE(ReadPng(path.string(), &back, &error)) << error;
    ASSERT_EQ(Width, back.width);
    ASSERT_EQ(Height, back.height);
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            const Pixel& want = pixels[(x + y) % Width];
            SCOPED_TRACE(want.line);
            const uint8_t* got = &back.rgb[(size_t(y) * Width + x) * 3];
            EXPECT_EQ(want.r, got[0]) << x << "," << y;
            EXPECT_EQ(want.g, got[1]) << x << "," << y;
            EXPECT_EQ(want.b, got[2]) << x << "," << y;
        }
    }
    fs::remove_all(path.parent_path());
}

TEST(Png, ErrorsNameTheFile) {
    fs::path dir = TempDir();
    std::ofstream(dir / "text.png") << "not a picture";
    uint16_t pixel = 0;
    Surface one = Surface::Of(&pixel, 1, 1, 2);
    Rgb888Image wrongSize;
    wrongSize.width = 2;
    wrongSize.height = 2;
    wrongSize.rgb.resize(3);
    struct Case {
        int line;
        bool write;
        fs::path path;
        const Rgb888Image* image; // else the surface
        std::string says;
    } cases[] = {
        {__LINE__, true, dir / "missing" / "a.png", nullptr, "No such file or directory"},
        {__LINE__, true, dir / "b.png", &wrongSize, "2 x 2 with 3 bytes"},
        {__LINE__, false, dir / "none.png", nullptr, "No such file or directory"},
        {__LINE__, false, dir / "text.png", nullptr, "cannot read PNG: Not a PNG file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string error;
        Rgb888Image image;
        bool ok = !c.write  ? ReadPng(c.path.string(), &image, &error)
                  : c.image ? WritePng(c.path.string(), *c.image, &error)
                            : WritePng(c.path.string(), one, &error);
        EXPECT_FALSE(ok);
        EXPECT_EQ(0u, error.rfind(c.path.string() + ": ", 0)) << error;
        EXPECT_NE(std::string::npos, error.find(c.says)) << error;
        if (c.write) {
            EXPECT_FALSE(fs::exists(c.path)) << "no file, not even a partial one";
        }
        EXPECT_FALSE(fs::exists(c.path.string() + ".part"));
    }
    fs::remove_all(dir);
}
