// The cost of the lock window's one-second repaint text: "12:34" in Tahoma
// Bold at 32 pixels, centred on its line of a 240x320 RGB565 frame, with the
// glyph cache warm (every repaint after the first) and cold (FreeType loads
// and renders each glyph), beside a memcpy of the whole frame as the
// baseline. The paint case is what a repaint does: the frame copied back
// with CopyPixels, then the time drawn twice (white shadow, black text).
//
// After the runs a summary prints each case's time and its ratio to memcpy.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "summary.h"

#include "gdi/text.h"

using namespace handset::gdi;

namespace {

constexpr int Width = 240, Height = 320;
constexpr UINT TimeFormat = DT_CENTER | DT_VCENTER | DT_WORDBREAK;

struct Frame {
    std::vector<uint16_t> pixels = std::vector<uint16_t>(Width * Height, 0x7BEF);
    std::vector<uint16_t> copy = pixels;
    Surface surface = Surface::Of(pixels.data(), Width, Height, Width * 2);
    Surface still = Surface::Of(copy.data(), Width, Height, Width * 2);
};

const Font& TimeFont() {
    static FontLibrary fonts;
    static std::shared_ptr<const Font> font = [] {
        FontRequest request;
        request.height = -32;
        request.weight = 700;
        request.faceName = u"Tahoma";
        std::string error;
        auto f = fonts.Open(request, &error);
        if (!f) {
            std::fprintf(stderr, "text_bench: %s\n", error.c_str());
            std::exit(1);
        }
        return f;
    }();
    return *font;
}

void DrawTime(Frame& f, const TextStyle& style, int dx = 0) {
    RECT rect = {dx, 60 + dx, Width + dx, 60 + TimeFont().Metrics().height + dx};
    DrawFormatted(&f.surface, TimeFont(), u"12:34", &rect, TimeFormat, style);
}

TextStyle Transparent(COLORREF colour) {
    TextStyle style;
    style.opaque = false;
    style.textColor = colour;
    return style;
}

void Memcpy(benchmark::State& state) {
    Frame f;
    for (auto _ : state) {
        std::memcpy(f.copy.data(), f.pixels.data(), f.pixels.size() * sizeof(uint16_t));
        benchmark::ClobberMemory();
    }
}

void TimeWarm(benchmark::State& state) {
    Frame f;
    DrawTime(f, Transparent(0)); // fills the cache
    for (auto _ : state) {
        DrawTime(f, Transparent(0));
        benchmark::ClobberMemory();
    }
}

void TimeCold(benchmark::State& state) {
    Frame f;
    for (auto _ : state) {
        TimeFont().DropGlyphs();
        DrawTime(f, Transparent(0));
        benchmark::ClobberMemory();
    }
}

void Paint(benchmark::State& state) {
    Frame f;
    DrawTime(f, Transparent(0));
    for (auto _ : state) {
        CopyPixels(f.surface, 0, 0, Width, Height, f.still, 0, 0);
        DrawTime(f, Transparent(RGB(255, 255, 255)), 1);
        DrawTime(f, Transparent(0));
        benchmark::ClobberMemory();
    }
}

BENCHMARK(Memcpy);
BENCHMARK(TimeWarm);
BENCHMARK(TimeCold);
BENCHMARK(Paint);

void PrintSummary(const std::map<std::string, double>& ns) {
    auto memcpyNs = ns.find("Memcpy");
    if (memcpyNs == ns.end() || memcpyNs->second <= 0) {
        std::printf("\nmemcpy filtered out: no ratios\n");
        return;
    }
    std::printf("\n%dx%d frame, memcpy %.0f ns\n", Width, Height, memcpyNs->second);
    std::printf("  %-10s %12s %10s\n", "case", "ns", "/memcpy");
    for (const char* name : {"TimeWarm", "TimeCold", "Paint"}) {
        auto it = ns.find(name);
        if (it == ns.end()) continue;
        std::printf("  %-10s %12.0f %10.2f\n", name, it->second, it->second / memcpyNs->second);
    }
}

} // namespace

int main(int argc, char** argv) {
    return bench::RunWithSummary(
        argc, argv, [](const bench::Run& r) { return r.run_name.function_name; },
        bench::RealNanoseconds, PrintSummary);
}
