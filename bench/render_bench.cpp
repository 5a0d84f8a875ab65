// Blend throughput on whole phone screens (240x320 and 480x640 RGB565), side
// by side with two references on the same buffers: memcpy of the screen
// (memory bandwidth) and pixman compositing the same solid colour OVER an
// r5g6b5 image. Items are pixels, so items_per_second reads as pixels/s.
//
// After the runs a summary prints each case in megapixels per second, its
// ratio to memcpy and to pixman at the same alpha, and the goals: the veil
// (alpha 127) at least 5x pixman and 1/4 of memcpy, alpha 200 at least 1.5x
// pixman.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "summary.h"
#include <pixman.h>

#include "pixelview.h"

namespace {

constexpr WORD White = 0xFFFF;

// One screen and a mask of the same size, shared by every case of its size.
struct Screen {
    int width, height;
    std::vector<WORD> pixels, copy, mask;

    Screen(int w, int h)
        : width(w), height(h), pixels(static_cast<size_t>(w) * h), copy(pixels.size()),
          mask(pixels.size()) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                size_t i = static_cast<size_t>(y) * w + x;
                // A mix of the three kinds of mask pixel in runs of eight,
                // as anti-aliased shapes have them.
                switch (((x >> 3) + y) % 3) {
                case 0:
                    mask[i] = 0x0000;
                    break;
                case 1:
                    mask[i] = 0xFFFF;
                    break;
                default:
                    mask[i] = static_cast<WORD>(((x * 7u + y * 13u) << 5) | 0x0821);
                    break;
                }
            }
        }
    }
    // Fresh, varied content before each case, so no case sees another's
    // converged result.
    void Refill() {
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<WORD>(i * 40503u);
    }
    size_t Pixels() const { return pixels.size(); }
};

Screen& ScreenOf(int width, int height) {
    static Screen small(240, 320), large(480, 640);
    return width == 240 ? small : large;
}

void FillBlendedCase(benchmark::State& state, int alpha, int mode, bool masked) {
    Screen& s = ScreenOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    s.Refill();
    PixelRect all = {0, 0, s.width, s.height};
    PixelView dst, mask;
    InitPixelView(&dst, s.pixels.data(), s.width * 2, 0, 0, &all);
    InitPixelView(&mask, s.mask.data(), s.width * 2, 0, 0, &all);
    for (auto _ : state) {
        FillBlended(alpha, White, &dst, masked ? &mask : nullptr, &all, masked ? &all : nullptr,
                    mode);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.Pixels()));
}

void Memcpy(benchmark::State& state) {
    Screen& s = ScreenOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    s.Refill();
    for (auto _ : state) {
        std::memcpy(s.copy.data(), s.pixels.data(), s.Pixels() * sizeof(WORD));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.Pixels()));
}

void PixmanOver(benchmark::State& state, int alpha) {
    Screen& s = ScreenOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    s.Refill();
    pixman_image_t* dst =
        pixman_image_create_bits(PIXMAN_r5g6b5, s.width, s.height,
                                 reinterpret_cast<uint32_t*>(s.pixels.data()), s.width * 2);
    // Premultiplied: white at alpha a is a in every channel.
    uint16_t a = static_cast<uint16_t>(alpha * 257);
    pixman_color_t colour = {a, a, a, a};
    pixman_image_t* solid = pixman_image_create_solid_fill(&colour);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, solid, nullptr, dst, 0, 0, 0, 0, 0, 0, s.width,
                                 s.height);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(solid);
    pixman_image_unref(dst);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.Pixels()));
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({240, 320})->Args({480, 640});
}

BENCHMARK_CAPTURE(FillBlendedCase, veil_a127, 127, 0, false)->Apply(Sizes);
BENCHMARK_CAPTURE(FillBlendedCase, paint_a200, 200, 0, false)->Apply(Sizes);
BENCHMARK_CAPTURE(FillBlendedCase, paint_a255, 255, 0, false)->Apply(Sizes);
BENCHMARK_CAPTURE(FillBlendedCase, overlay_a127, 127, 2, false)->Apply(Sizes);
BENCHMARK_CAPTURE(FillBlendedCase, overlay_a200, 200, 2, false)->Apply(Sizes);
BENCHMARK_CAPTURE(FillBlendedCase, masked_paint_a255, 255, 0, true)->Apply(Sizes);
BENCHMARK_CAPTURE(FillBlendedCase, masked_paint_a127, 127, 0, true)->Apply(Sizes);
BENCHMARK_CAPTURE(FillBlendedCase, masked_paint_a200, 200, 0, true)->Apply(Sizes);
BENCHMARK_CAPTURE(FillBlendedCase, masked_overlay_a255, 255, 2, true)->Apply(Sizes);
BENCHMARK_CAPTURE(FillBlendedCase, masked_overlay_a200, 200, 2, true)->Apply(Sizes);
BENCHMARK(Memcpy)->Apply(Sizes);
BENCHMARK_CAPTURE(PixmanOver, a127, 127)->Apply(Sizes);
BENCHMARK_CAPTURE(PixmanOver, a200, 200)->Apply(Sizes);

// "FillBlendedCase/veil_a127/240/320" -> "veil_a127/240/320", and
// likewise "pixman_a127/..." and "memcpy/...".
std::string Key(const std::string& name) {
    if (name.rfind("FillBlendedCase/", 0) == 0) return name.substr(std::strlen("FillBlendedCase/"));
    if (name.rfind("PixmanOver/", 0) == 0)
        return "pixman_" + name.substr(std::strlen("PixmanOver/"));
    if (name.rfind("Memcpy/", 0) == 0) return "memcpy" + name.substr(std::strlen("Memcpy"));
    return name;
}

void PrintSummary(const std::map<std::string, double>& rates) {
    auto rate = [&](const std::string& key) {
        auto it = rates.find(key);
        return it == rates.end() ? 0.0 : it->second;
    };
    const char* cases[] = {"veil_a127",          "paint_a200",        "paint_a255",
                           "overlay_a127",       "overlay_a200",      "masked_paint_a255",
                           "masked_paint_a127",  "masked_paint_a200", "masked_overlay_a255",
                           "masked_overlay_a200"};
    bool allMet = true, anyChecked = false;
    for (const char* size : {"/240/320", "/480/640"}) {
        double memcpyRate = rate(std::string("memcpy") + size);
        double pixman127 = rate(std::string("pixman_a127") + size);
        double pixman200 = rate(std::string("pixman_a200") + size);
        if (memcpyRate == 0 || pixman127 == 0 || pixman200 == 0)
            continue; // references filtered out
        anyChecked = true;
        std::printf("\n%s: memcpy %.0f MPix/s, pixman OVER a127 %.0f, a200 %.0f MPix/s\n", size + 1,
                    memcpyRate / 1e6, pixman127 / 1e6, pixman200 / 1e6);
        std::printf(
            "  %-22s %10s %9s %9s   (masked cases against unmasked pixman: a reference only)\n",
            "case", "MPix/s", "/memcpy", "/pixman");
        for (const char* c : cases) {
            double r = rate(std::string(c) + size);
            if (r == 0) continue;
            double pixman = std::strstr(c, "a200") ? pixman200 : pixman127;
            std::printf("  %-22s %10.0f %9.3f %9.2f\n", c, r / 1e6, r / memcpyRate, r / pixman);
        }
        double veil = rate(std::string("veil_a127") + size);
        double a200 = rate(std::string("paint_a200") + size);
        struct Goal {
            const char* what;
            bool met;
        } goals[] = {
            {"veil >= 5x pixman a127", veil >= 5 * pixman127},
            {"veil >= 1/4 memcpy", veil >= memcpyRate / 4},
            {"alpha 200 >= 1.5x pixman a200", a200 >= 1.5 * pixman200},
        };
        for (const Goal& g : goals) {
            std::printf("  goal %-32s %s\n", g.what, g.met ? "met" : "MISSED");
            allMet = allMet && g.met;
        }
    }
    if (!anyChecked)
        std::printf("\nmemcpy or pixman filtered out: no goals checked\n");
    else
        std::printf("\n%s\n", allMet ? "all goals met" : "some goals missed");
}

} // namespace

int main(int argc, char** argv) {
    return bench::RunWithSummary(
        argc, argv, [](const bench::Run& r) { return Key(r.run_name.str()); },
        bench::Counter("items_per_second"), PrintSummary);
}
