// Runs one FillBlended case a given number of times over a 240x320 screen,
// for callgrind to count instructions per pixel (see callgrind_ipp.sh).
//   render_ipp CASE [CALLS]   CASE: veil | a200 | overlay | masked
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pixelview.h"

int main(int argc, char** argv) {
    const char* name = argc > 1 ? argv[1] : "veil";
    int calls = argc > 2 ? std::atoi(argv[2]) : 20;
    int alpha = 127, mode = 0;
    bool masked = false;
    if (std::strcmp(name, "a200") == 0) {
        alpha = 200;
    } else if (std::strcmp(name, "overlay") == 0) {
        alpha = 200;
        mode = 2;
    } else if (std::strcmp(name, "masked") == 0) {
        alpha = 200;
        masked = true;
    } else if (std::strcmp(name, "veil") != 0) {
        std::fprintf(stderr, "render_ipp: unknown case '%s'\n", name);
        return 2;
    }
    const int width = 240, height = 320;
    std::vector<WORD> pixels(width * height), mask(width * height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<WORD>(i * 40503u);
        mask[i] = (i / 8) % 3 == 0 ? 0x0000 : (i / 8) % 3 == 1 ? 0xFFFF : 0x8410;
    }
    PixelRect all = {0, 0, width, height};
    PixelView dst, maskView;
    InitPixelView(&dst, pixels.data(), width * 2, 0, 0, &all);
    InitPixelView(&maskView, mask.data(), width * 2, 0, 0, &all);
    for (int i = 0; i < calls; ++i)
        FillBlended(alpha, 0xFFFF, &dst, masked ? &maskView : nullptr, &all,
                    masked ? &all : nullptr, mode);
    std::printf("%s: %d calls x %d pixels\n", name, calls, width * height);
    return 0;
}
