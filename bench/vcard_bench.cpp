// vCard reading throughput on one card whose NOTE is a long quoted-printable
// value folded by 2.1 soft line breaks, at 40 KB, 400 KB and 4 MB, side by
// side with memcpy of the same bytes. Two heads: a plain one, and one that
// leaves a double quote open, which makes the reader look past the head for
// the colon that ends it.
//
// After the runs a summary prints each case in MB/s, its ratio to memcpy of
// the same size, and its throughput at 4 MB against 40 KB: a reader linear
// in the line's length keeps that near 1, a quadratic one loses a factor of
// about 100 per step.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "summary.h"

#include "pim/vcard.h"

namespace {

const char* const kHeads[] = {
    "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:",
    "NOTE;ENCODING=QUOTED-PRINTABLE;X-LABEL=\"open:",
};

// One 2.1 card of about `bytes` bytes, its NOTE in soft-broken lines of 20
// encoded characters, as short as exporters that break often write them.
std::string MakeCard(size_t bytes, const char* head) {
    std::string card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:"
                       "M=C3=BCller;J=C3=B6rg;;;\r\nTEL;CELL:+49 170 5550100\r\n";
    card += head;
    while (card.size() < bytes)
        card += "=4E=6F=74=C3=A9 text=\r\n";
    card += "end\r\nFN:J=C3=B6rg M=C3=BCller\r\nEND:VCARD\r\n";
    return card;
}

const std::string& CardOf(size_t bytes, int head) {
    static std::map<std::pair<size_t, int>, std::string> cards;
    auto& card = cards[{bytes, head}];
    if (card.empty()) card = MakeCard(bytes, kHeads[head]);
    return card;
}

void Read(benchmark::State& state, int head) {
    const std::string& card = CardOf(static_cast<size_t>(state.range(0)), head);
    for (auto _ : state) {
        handset::VcardResult result;
        std::string error;
        if (!handset::ParseVcards(card, "bench.vcf", &result, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(card.size()));
}

void Memcpy(benchmark::State& state) {
    const std::string& card = CardOf(static_cast<size_t>(state.range(0)), 0);
    std::vector<char> copy(card.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), card.data(), card.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(card.size()));
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(40 << 10)->Arg(400 << 10)->Arg(4 << 20)->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(Read, soft_breaks, 0)->Apply(Sizes);
BENCHMARK_CAPTURE(Read, open_quote, 1)->Apply(Sizes);
BENCHMARK(Memcpy)->Apply(Sizes);

// "Read/soft_breaks/40960" -> "soft_breaks/40960"; "Memcpy/40960" -> "memcpy/40960".
std::string Key(const std::string& name) {
    if (name.rfind("Read/", 0) == 0) return name.substr(std::strlen("Read/"));
    if (name.rfind("Memcpy/", 0) == 0) return "memcpy" + name.substr(std::strlen("Memcpy"));
    return name;
}

void PrintSummary(const std::map<std::string, double>& rates) {
    auto rate = [&](const std::string& key) {
        auto it = rates.find(key);
        return it == rates.end() ? 0.0 : it->second;
    };
    const char* sizes[] = {"40960", "409600", "4194304"};
    const char* labels[] = {"40 KB", "400 KB", "4 MB"};
    std::printf("\n  %-12s %-7s %10s %9s\n", "case", "size", "MB/s", "/memcpy");
    for (const char* c : {"soft_breaks", "open_quote"}) {
        for (int i = 0; i < 3; ++i) {
            double r = rate(std::string(c) + "/" + sizes[i]);
            double m = rate(std::string("memcpy/") + sizes[i]);
            if (r == 0 || m == 0) continue; // filtered out
            std::printf("  %-12s %-7s %10.1f %9.5f\n", c, labels[i], r / 1e6, r / m);
        }
        double small = rate(std::string(c) + "/40960"), large = rate(std::string(c) + "/4194304");
        if (small != 0 && large != 0)
            std::printf("  %-12s throughput at 4 MB / at 40 KB: %.2f\n", c, large / small);
    }
}

} // namespace

int main(int argc, char** argv) {
    return bench::RunWithSummary(
        argc, argv, [](const bench::Run& r) { return Key(r.run_name.str()); },
        bench::Counter("bytes_per_second"), PrintSummary);
}
