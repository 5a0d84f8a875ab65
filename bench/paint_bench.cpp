// The lock window's paint and the lock picture's composition on the handset,
// through the GDI calls, at 240 x 320 (96 dpi) and 480 x 640 (192 dpi),
// beside a memcpy of the same frame as the baseline. A paint is what the
// lock window does every second: the composed picture copied to the window
// and the call time drawn over it (font made, metrics read, two DrawTextW,
// font deleted). The goal is a paint within 3 memcpys of its frame.
//
// After the runs a summary prints each case's time and its ratio to the
// memcpy of its size. Instructions per paint: bench/callgrind_paint.sh.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "summary.h"

#include "core/lock_state.h"
#include "device/device.h"
#include "gdi/gdi.h"
#include "render/frame_surface.h"
#include "window/lock_picture.h"

namespace {

struct Size {
    int width, height, dpi;
};
Size SizeOf(const benchmark::State& state) {
    return state.range(0) == 480 ? Size{480, 640, 192} : Size{240, 320, 96};
}

// A phone locked over a striped screen, its lock window's device context
// open on the whole screen. Platform calls come from the driver's context:
// none of them blocks.
struct Locked {
    handset::Device device;
    HDC window = nullptr;
    RECT client = {};

    explicit Locked(Size s) {
        device.Get<handset::Screen>().SetSize(s.width, s.height, s.dpi);
        handset::gdi::Surface screen = device.Get<handset::Screen>().Pixels();
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                screen.Row(y)[x] = static_cast<uint16_t>((x / 8 % 2) ? 0xFFFF : 0x0000);
        std::memcpy(g_lockState.callNumber, u"+44 20 7946 0958", 17 * sizeof(WCHAR));
        std::memcpy(g_lockState.callerName, u"Ann Smith", 10 * sizeof(WCHAR));
        g_lockState.callStartTick = GetTickCount() - 754000; // "12 min. 34 sec."
        CreateFrameSurface();
        CaptureScreen();
        ComposeLockPicture();
        window = device.Get<handset::Gdi>().OpenWindowDC(reinterpret_cast<HWND>(0x7000), {0, 0},
                                                         {{0, 0, s.width, s.height}});
        client = {0, 0, s.width, s.height};
    }
    ~Locked() {
        ReleaseDC(reinterpret_cast<HWND>(0x7000), window);
        ReleaseFrameSurface();
    }
};

void Memcpy(benchmark::State& state) {
    Size s = SizeOf(state);
    std::vector<uint16_t> from(size_t(s.width) * s.height, 0x7BEF), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(uint16_t));
        benchmark::ClobberMemory();
    }
}

void Paint(benchmark::State& state) {
    Locked phone(SizeOf(state));
    PaintLockPicture(phone.window, &phone.client); // the time's glyphs rendered once
    for (auto _ : state) {
        PaintLockPicture(phone.window, &phone.client);
        benchmark::ClobberMemory();
    }
}

void Compose(benchmark::State& state) {
    Locked phone(SizeOf(state));
    for (auto _ : state) {
        ComposeLockPicture();
        benchmark::ClobberMemory();
    }
}

BENCHMARK(Memcpy)->Arg(240)->Arg(480);
BENCHMARK(Paint)->Arg(240)->Arg(480);
BENCHMARK(Compose)->Arg(240)->Arg(480);

void PrintSummary(const std::map<std::string, double>& ns) {
    std::printf("\n  %-8s %-12s %12s %10s\n", "screen", "case", "ns", "/memcpy");
    for (const char* size : {"240", "480"}) {
        auto base = ns.find(std::string("Memcpy/") + size);
        if (base == ns.end() || base->second <= 0) continue;
        for (const char* name : {"Memcpy", "Paint", "Compose"}) {
            auto it = ns.find(std::string(name) + "/" + size);
            if (it == ns.end()) continue;
            std::printf("  %-8s %-12s %12.0f %10.2f\n",
                        std::string(size) == "240" ? "240x320" : "480x640", name, it->second,
                        it->second / base->second);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    return bench::RunWithSummary(
        argc, argv,
        [](const bench::Run& r) { return r.run_name.function_name + "/" + r.run_name.args; },
        bench::RealNanoseconds, PrintSummary);
}
