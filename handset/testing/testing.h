// What the handset's and the programs' tests repeat: texts for messages
// (narrow, hex, join), the last-error sentinel, and the check that a
// process holds nothing.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/device.h"
#include "res/resfile.h"

namespace handset::testing {

// UTF-16 as UTF-8, for comparing and printing.
inline std::string N(std::u16string_view s) {
    return Narrow(s);
}

// "0x8007000E"-style, eight digits.
std::string Hex(uint32_t value);
// "de ad be ef".
std::string Hex(const std::vector<unsigned char>& bytes);
// Each piece followed by the separator: {"a", "b"} gives "a\nb\n".
std::string Join(const std::vector<std::string>& pieces, std::string_view separator = "\n");

// Set as the last error before a call that must leave it alone, then
// expected after it.
inline constexpr DWORD kLastErrorSentinel = 0xDEADBEEF;

// A compiled .res image read through the handset's reader; a malformed one
// fails the test that asked, with the reader's error, and gives no entries.
handset::ResFile ParsedResources(std::span<const unsigned char> image, std::string_view source);

// Every kind the process holds (or held when it ended) is at zero; the
// failure lists what is left.
::testing::AssertionResult HoldsNothing(const Device& d, DWORD pid);
#define EXPECT_NOTHING_HELD(device, pid) EXPECT_TRUE(::handset::testing::HoldsNothing(device, pid))

} // namespace handset::testing
