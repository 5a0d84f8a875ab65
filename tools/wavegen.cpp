// wavegen: the lock program's two signal sounds as RIFF/WAVE files.
//
//   wavegen chime OUTPUT.wav   WAVE 131: lock, unlock, start and stop
//   wavegen beep OUTPUT.wav    WAVE 133: interval elapsed
//
// Both are 16-bit mono PCM at 11025 samples/s, 8722 and 3452 samples long:
// the lengths the lock program's signal timing is built around. The chime is
// a bell struck twice (a falling minor third, 831 then 698 Hz, with decaying
// overtones); the beep a 700 Hz tone with soft edges. Only +, -, * and / are
// used on doubles (sine and exp are computed here, not by the C library), so
// every build on every machine writes the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "output.h"

namespace {

const char kTool[] = "wavegen";
constexpr int kRate = 11025;
constexpr double kPi = 3.14159265358979323846;

// sin(2 pi turns), by a Taylor series after reduction to [-pi, pi].
double SinTurns(double turns) {
    double x = 2 * kPi * (turns - std::floor(turns + 0.5));
    double x2 = x * x, term = x, sum = x;
    for (int n = 1; n <= 10; ++n) {
        term = -term * x2 / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

// e^x for x <= 0: the series at x / 1024, squared ten times.
double ExpNeg(double x) {
    double y = x / 1024, term = 1, sum = 1;
    for (int n = 1; n <= 12; ++n) {
        term = term * y / n;
        sum += term;
    }
    for (int i = 0; i < 10; ++i)
        sum *= sum;
    return sum;
}

// 0 -> 1 over the given time, as half a cosine period: no corner, no click.
double RaisedCosine(double t, double length) {
    if (t <= 0) return 0;
    if (t >= length) return 1;
    return 0.5 - 0.5 * SinTurns(0.25 + 0.5 * t / length);
}

struct Partial {
    double ratio, level, decay; // frequency ratio, level, time constant in s
};

// A bell's partials: the higher ones are weaker and die sooner.
const Partial kBell[] = {{1.0, 1.0, 0.16}, {2.0, 0.45, 0.09}, {3.0, 0.2, 0.06}, {4.2, 0.1, 0.04}};

std::vector<double> Chime() {
    const int samples = 8722; // 0.791 s
    struct Strike {
        double at, frequency;
    } strikes[] = {{0.0, 831.0}, {0.09, 698.0}};
    std::vector<double> out(samples, 0.0);
    for (int i = 0; i < samples; ++i) {
        double t = double(i) / kRate;
        for (const Strike& s : strikes) {
            double u = t - s.at;
            if (u < 0) continue;
            double attack = RaisedCosine(u, 0.0015);
            for (const Partial& p : kBell)
                out[i] +=
                    attack * p.level * ExpNeg(-u / p.decay) * SinTurns(s.frequency * p.ratio * u);
        }
        // The tail is faint by now; take it to silence for a clean end.
        out[i] *= 1 - RaisedCosine(t - (0.791 - 0.15), 0.15);
    }
    return out;
}

std::vector<double> Beep() {
    const int samples = 3452; // 0.313 s
    const double fade = 0.25; // s
    std::vector<double> out(samples, 0.0);
    for (int i = 0; i < samples; ++i) {
        double t = double(i) / kRate;
        if (t >= fade) break;
        double decay = (1 - t / fade) * (1 - t / fade);
        double tone = SinTurns(700.0 * t) + 0.15 * SinTurns(1400.0 * t);
        out[i] = RaisedCosine(t, 0.005) * decay * tone;
    }
    return out;
}

void PutLe16(std::string& out, uint16_t v) {
    out += char(v & 0xFF);
    out += char(v >> 8);
}
void PutLe32(std::string& out, uint32_t v) {
    PutLe16(out, uint16_t(v & 0xFFFF));
    PutLe16(out, uint16_t(v >> 16));
}

// A plain RIFF/WAVE image: "fmt " at offset 12, "data" at 36, samples from 44.
// The loudest sample is scaled to the given fraction of full scale.
std::string WaveFile(const std::vector<double>& sound, double peak) {
    double loudest = 0;
    for (double v : sound)
        loudest = std::max(loudest, std::fabs(v));
    const double scale = loudest > 0 ? peak * 32767 / loudest : 0;
    const uint32_t dataBytes = uint32_t(sound.size() * 2);

    std::string out = "RIFF";
    PutLe32(out, 36 + dataBytes);
    out += "WAVE";
    out += "fmt ";
    PutLe32(out, 16);
    PutLe16(out, 1); // PCM
    PutLe16(out, 1); // mono
    PutLe32(out, kRate);
    PutLe32(out, kRate * 2); // bytes per second
    PutLe16(out, 2);         // block align
    PutLe16(out, 16);        // bits per sample
    out += "data";
    PutLe32(out, dataBytes);
    for (double v : sound)
        PutLe16(out, uint16_t(int16_t(std::lround(v * scale))));
    return out;
}

int Usage() {
    std::fprintf(stderr, "usage: wavegen chime|beep OUTPUT.wav\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "wavegen: unknown option '%s'\n", arg.c_str());
            return Usage();
        }
        args.push_back(arg);
    }
    if (args.size() != 2) return Usage();
    std::string image;
    if (args[0] == "chime") {
        image = WaveFile(Chime(), 0.7);
    } else if (args[0] == "beep") {
        image = WaveFile(Beep(), 0.6);
    } else {
        std::fprintf(stderr, "wavegen: unknown sound '%s' (chime or beep)\n", args[0].c_str());
        return 2;
    }
    return tools::WriteOutput(kTool, args[1], image) ? 0 : 1;
}
