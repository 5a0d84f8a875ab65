// icongen: a program icon as an .ico file, drawn here from shapes: a padlock
// in front of a phone.
//
//   icongen [--sizes 16,32,48] [--depths 4,8,32] OUTPUT.ico
//
// The defaults make the lock program's icon (16, 32 and 48 pixels, each at
// 4, 8 and 32 bits per pixel); the configuration program's is
// --sizes 16,32,64 --depths 8. Images are written size by size, each size in
// every depth.
//
// Each pixel is 8 x 8 samples of the drawing. 32-bit images keep the
// coverage as alpha; 4- and 8-bit images take the nearest colour of the
// standard 16-colour or 256-colour (16 + 6x6x6 cube + greys) palette for
// pixels at least half covered, and leave the rest to the AND mask.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "output.h"

namespace {

const char kTool[] = "icongen";

struct Rgb {
    int r, g, b;
};

// ---- The drawing, in a unit square (y grows downwards) -----------------------

double Length(double x, double y) {
    return std::sqrt(x * x + y * y);
}

// Signed distance to a rectangle with rounded corners: negative inside.
double RoundRect(double px, double py, double x0, double y0, double x1, double y1, double r) {
    double qx = std::fabs(px - (x0 + x1) / 2) - ((x1 - x0) / 2 - r);
    double qy = std::fabs(py - (y0 + y1) / 2) - ((y1 - y0) / 2 - r);
    return Length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
}

double Circle(double px, double py, double cx, double cy, double r) {
    return Length(px - cx, py - cy) - r;
}

// The padlock's shackle: an upper half circle of radius r around (cx, cy)
// with straight legs down to legEnd, stroked with the given half width.
double Shackle(double px, double py, double cx, double cy, double r, double legEnd, double half) {
    double d;
    if (py <= cy) {
        d = std::fabs(Length(px - cx, py - cy) - r);
    } else {
        double dy = std::max(py - legEnd, 0.0);
        d = std::min(Length(px - (cx - r), dy), Length(px - (cx + r), dy));
    }
    return d - half;
}

struct Layer {
    double (*distance)(double x, double y);
    Rgb fill;
    Rgb outline;
    bool outlined;
};

const Layer kLayers[] = {
    // the phone: body, screen, earpiece, button
    {[](double x, double y) { return RoundRect(x, y, 0.10, 0.03, 0.60, 0.97, 0.09); },
     {52, 64, 84},
     {20, 24, 32},
     true},
    {[](double x, double y) { return RoundRect(x, y, 0.16, 0.13, 0.54, 0.66, 0.03); },
     {150, 200, 240},
     {},
     false},
    {[](double x, double y) { return RoundRect(x, y, 0.27, 0.06, 0.43, 0.09, 0.015); },
     {120, 130, 150},
     {},
     false},
    {[](double x, double y) { return Circle(x, y, 0.35, 0.81, 0.05); }, {120, 130, 150}, {}, false},
    // the padlock: shackle, body, keyhole
    {[](double x, double y) { return Shackle(x, y, 0.685, 0.45, 0.15, 0.62, 0.045); },
     {200, 204, 212},
     {70, 74, 84},
     true},
    {[](double x, double y) { return RoundRect(x, y, 0.44, 0.50, 0.93, 0.95, 0.06); },
     {236, 188, 40},
     {128, 80, 0},
     true},
    {[](double x, double y) {
         return std::min(Circle(x, y, 0.685, 0.67, 0.055),
                         RoundRect(x, y, 0.665, 0.67, 0.705, 0.83, 0.01));
     },
     {60, 40, 0},
     {},
     false},
};

struct Pixel {
    Rgb colour;      // straight, not premultiplied
    double coverage; // 0 to 1
};

// The drawing at one size: the colour of the topmost layer under each
// sample, its outline one pixel wide.
std::vector<Pixel> Draw(int size) {
    const int n = 8;
    const double outline = 1.0 / size;
    std::vector<Pixel> pixels(size_t(size) * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int r = 0, g = 0, b = 0, covered = 0;
            for (int sy = 0; sy < n; ++sy) {
                for (int sx = 0; sx < n; ++sx) {
                    double px = (x + (sx + 0.5) / n) / size, py = (y + (sy + 0.5) / n) / size;
                    const Rgb* c = nullptr;
                    for (const Layer& l : kLayers) {
                        double d = l.distance(px, py);
                        if (d <= 0) c = l.outlined && d > -outline ? &l.outline : &l.fill;
                    }
                    if (!c) continue;
                    r += c->r, g += c->g, b += c->b, ++covered;
                }
            }
            Pixel& p = pixels[size_t(y) * size + x];
            p.coverage = double(covered) / (n * n);
            if (covered)
                p.colour = {r / covered, g / covered, b / covered};
            else
                p.colour = {0, 0, 0};
        }
    }
    return pixels;
}

// ---- Palettes ----------------------------------------------------------------

const std::vector<Rgb>& Palette(int depth) {
    static const std::vector<Rgb> vga = {
        {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
        {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
        {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    static const std::vector<Rgb> full = [] {
        std::vector<Rgb> p = vga;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    p.push_back({r * 51, g * 51, b * 51});
        for (int i = 0; i < 24; ++i)
            p.push_back({8 + 10 * i, 8 + 10 * i, 8 + 10 * i});
        return p;
    }();
    return depth == 4 ? vga : full;
}

// The nearest entry; the first of equals. Entry 0 is black, which a
// transparent pixel's colour must be.
int Nearest(const std::vector<Rgb>& palette, Rgb c) {
    int best = 0, bestDistance = 1 << 30;
    for (size_t i = 0; i < palette.size(); ++i) {
        int dr = palette[i].r - c.r, dg = palette[i].g - c.g, db = palette[i].b - c.b;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) best = int(i), bestDistance = d;
    }
    return best;
}

// ---- The .ico layout -----------------------------------------------------------

void PutLe16(std::string& out, uint32_t v) {
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}
void PutLe32(std::string& out, uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

// One icon image: BITMAPINFOHEADER (height doubled for the two masks), the
// palette, the XOR (colour) bitmap and the AND (transparency) mask, both
// bottom-up with rows padded to 32 bits.
std::string IconImage(int size, int depth) {
    const std::vector<Pixel> pixels = Draw(size);
    const int colourStride = (size * depth + 31) / 32 * 4;
    const int maskStride = (size + 31) / 32 * 4;
    std::string colours(size_t(colourStride) * size, '\0');
    std::string mask(size_t(maskStride) * size, '\0');
    const std::vector<Rgb>* palette = depth <= 8 ? &Palette(depth) : nullptr;

    for (int y = 0; y < size; ++y) {
        const int row = size - 1 - y; // bottom-up
        for (int x = 0; x < size; ++x) {
            const Pixel& p = pixels[size_t(y) * size + x];
            bool transparent;
            char* at = &colours[size_t(row) * colourStride];
            if (palette) {
                transparent = p.coverage < 0.5;
                int index = transparent ? 0 : Nearest(*palette, p.colour);
                if (depth == 8)
                    at[x] = char(index);
                else
                    at[x / 2] = char(at[x / 2] | (x % 2 ? index : index << 4));
            } else {
                int alpha = int(std::lround(p.coverage * 255));
                transparent = alpha < 128;
                Rgb c = alpha ? p.colour : Rgb{0, 0, 0};
                at[x * 4 + 0] = char(c.b);
                at[x * 4 + 1] = char(c.g);
                at[x * 4 + 2] = char(c.r);
                at[x * 4 + 3] = char(alpha);
            }
            if (transparent) mask[size_t(row) * maskStride + x / 8] |= char(0x80 >> (x % 8));
        }
    }

    std::string out;
    PutLe32(out, 40); // biSize
    PutLe32(out, uint32_t(size));
    PutLe32(out, uint32_t(size * 2)); // colour bitmap and mask
    PutLe16(out, 1);                  // planes
    PutLe16(out, uint32_t(depth));
    PutLe32(out, 0); // BI_RGB
    PutLe32(out, uint32_t(colours.size() + mask.size()));
    PutLe32(out, 0); // pixels per metre
    PutLe32(out, 0);
    PutLe32(out, 0); // colours used: all of the palette
    PutLe32(out, 0);
    if (palette) {
        for (const Rgb& c : *palette) {
            out += char(c.b);
            out += char(c.g);
            out += char(c.r);
            out += '\0';
        }
    }
    return out + colours + mask;
}

// ICONDIR, one ICONDIRENTRY per image, then the images.
std::string IconFile(const std::vector<int>& sizes, const std::vector<int>& depths) {
    std::vector<std::pair<int, int>> formats;
    for (int s : sizes)
        for (int d : depths)
            formats.push_back({s, d});
    std::vector<std::string> images;
    for (auto [size, depth] : formats)
        images.push_back(IconImage(size, depth));

    std::string out;
    PutLe16(out, 0); // reserved
    PutLe16(out, 1); // icon
    PutLe16(out, uint32_t(formats.size()));
    uint32_t offset = uint32_t(6 + 16 * formats.size());
    for (size_t i = 0; i < formats.size(); ++i) {
        auto [size, depth] = formats[i];
        out += char(size == 256 ? 0 : size); // width, 0 for 256
        out += char(size == 256 ? 0 : size); // height
        out += char(depth == 4 ? 16 : 0);    // colour count, 0 for 256 or more
        out += '\0';
        PutLe16(out, 1); // planes
        PutLe16(out, uint32_t(depth));
        PutLe32(out, uint32_t(images[i].size()));
        PutLe32(out, offset);
        offset += uint32_t(images[i].size());
    }
    for (const std::string& image : images)
        out += image;
    return out;
}

// ---- Command line ------------------------------------------------------------

int Usage() {
    std::fprintf(stderr, "usage: icongen [--sizes 16,32,48] [--depths 4,8,32] OUTPUT.ico\n");
    return 2;
}

// "16,32,48" -> {16, 32, 48}; false on anything not in [low, high] or
// not allowed by the check.
bool ParseList(const std::string& text, int low, int high, bool (*allowed)(int),
               std::vector<int>* out) {
    out->clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        std::string item = text.substr(start, end - start);
        if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos ||
            item.size() > 3)
            return false;
        int v = std::stoi(item);
        if (v < low || v > high || !allowed(v)) return false;
        out->push_back(v);
        start = end + 1;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {16, 32, 48}, depths = {4, 8, 32};
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--sizes" || arg == "--depths") {
            if (i + 1 == argc) {
                std::fprintf(stderr, "icongen: %s needs a value\n", arg.c_str());
                return Usage();
            }
            std::string value = argv[++i];
            bool ok =
                arg == "--sizes"
                    ? ParseList(
                          value, 1, 256, [](int) { return true; }, &sizes)
                    : ParseList(
                          value, 4, 32, [](int d) { return d == 4 || d == 8 || d == 32; }, &depths);
            if (!ok) {
                std::fprintf(stderr, "icongen: bad %s '%s' (%s)\n", arg.c_str(), value.c_str(),
                             arg == "--sizes" ? "pixels from 1 to 256, comma-separated"
                                              : "4, 8 or 32, comma-separated");
                return 2;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "icongen: unknown option '%s'\n", arg.c_str());
            return Usage();
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1) return Usage();
    return tools::WriteOutput(kTool, files[0], IconFile(sizes, depths)) ? 0 : 1;
}
