// For tests that run device code under a random fault plan: the seeds to run,
// and a trace that says how to rerun the seed that failed. Test code only.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "device/device.h"

namespace handset {

// TESSARIL_SEED=<decimal number> runs that seed alone; otherwise the defaults.
inline std::vector<uint64_t> SeedsToRun(std::initializer_list<uint64_t> defaults) {
    const char* chosen = std::getenv("TESSARIL_SEED");
    if (!chosen) return defaults;
    char* end = nullptr;
    errno = 0;
    unsigned long long seed = std::strtoull(chosen, &end, 10);
    if (*chosen < '0' || *chosen > '9' || *end != 0 || errno == ERANGE)
        Device::Fatal(std::string("TESSARIL_SEED: \"") + chosen +
                      "\" is not a seed; give a decimal number");
    return {seed};
}

// "seed 7; to rerun it alone: TESSARIL_SEED=7 <this program> --gtest_filter=<this test>"
inline std::string RerunWithSeed(uint64_t seed) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string program = n > 0 ? std::string(exe, static_cast<size_t>(n)) : "<the test program>";
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = test ? std::string(test->test_suite_name()) + "." + test->name() : "*";
    return "seed " + std::to_string(seed) +
           "; to rerun it alone: TESSARIL_SEED=" + std::to_string(seed) + " " + program +
           " --gtest_filter=" + filter;
}

} // namespace handset

// Every failure in the scope that follows names the seed and how to rerun it.
#define HANDSET_SEED_TRACE(seed) SCOPED_TRACE(::handset::RerunWithSeed(seed))
