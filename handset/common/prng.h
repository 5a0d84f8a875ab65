// The project's own pseudo-random numbers: xoshiro256** seeded through
// SplitMix64, with its own range reduction, so that a seed gives the same
// numbers with every compiler and standard library. Header-only, so that
// tests of device code can use it without linking the handset.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace handset {

// SplitMix64: one 64-bit word per step; turns a single seed into a state.
class SplitMix64 {
  public:
    explicit SplitMix64(uint64_t seed) : x_(seed) {}
    uint64_t Next() {
        uint64_t z = (x_ += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return z ^ (z >> 31);
    }

  private:
    uint64_t x_;
};

// xoshiro256**: fast, small, and good enough for fault plans and test data.
class Prng {
  public:
    explicit Prng(uint64_t seed) {
        SplitMix64 mix(seed);
        for (uint64_t& word : s_)
            word = mix.Next();
    }
    // A given state, as published test vectors start from; not all zero.
    static Prng FromState(const std::array<uint64_t, 4>& state) {
        Prng p(0);
        p.s_ = state;
        return p;
    }

    uint64_t Next() {
        const uint64_t result = Rotl(s_[1] * 5, 7) * 9;
        const uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = Rotl(s_[3], 45);
        return result;
    }

    // Uniform in [0, n), n > 0: Lemire's multiply-shift, rejecting the few
    // products that would favour low values.
    uint64_t Below(uint64_t n) {
        if (n == 0) Misuse("Prng::Below(0): no number is below 0");
        unsigned __int128 m = static_cast<unsigned __int128>(Next()) * n;
        uint64_t low = static_cast<uint64_t>(m);
        if (low < n) {
            const uint64_t threshold = (0 - n) % n; // 2^64 mod n
            while (low < threshold) {
                m = static_cast<unsigned __int128>(Next()) * n;
                low = static_cast<uint64_t>(m);
            }
        }
        return static_cast<uint64_t>(m >> 64);
    }

    // Uniform in [lo, hi], both ends included.
    int64_t Between(int64_t lo, int64_t hi) {
        if (lo > hi) Misuse("Prng::Between: the low end is above the high end");
        const uint64_t span = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo) + 1;
        const uint64_t offset = span == 0 ? Next() : Below(span); // span 0: the whole range
        return static_cast<int64_t>(static_cast<uint64_t>(lo) + offset);
    }

    // True with probability p (0 never, 1 always), from the top 53 bits.
    bool Chance(double p) {
        if (p <= 0) return false;
        if (p >= 1) return true;
        return static_cast<double>(Next() >> 11) * 0x1.0p-53 < p;
    }

  private:
    static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    [[noreturn]] static void Misuse(const char* what) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }

    std::array<uint64_t, 4> s_;
};

} // namespace handset
