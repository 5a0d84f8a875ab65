// Shared test helpers.
#include "testing/testing.h"

#include <cstdio>

namespace handset::testing {

std::string Hex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
    return buffer;
}

std::string Hex(const std::vector<unsigned char>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string Join(const std::vector<std::string>& pieces, std::string_view separator) {
    std::string out;
    for (const std::string& p : pieces)
        (out += p) += separator;
    return out;
}

handset::ResFile ParsedResources(std::span<const unsigned char> image, std::string_view source) {
    handset::ResFile res;
    std::string error;
    if (!handset::ResFile::Parse(image, source, &res, &error)) ADD_FAILURE() << error;
    return res;
}

::testing::AssertionResult HoldsNothing(const Device& d, DWORD pid) {
    for (auto& [kind, n] : d.HeldBy(pid))
        if (n != 0)
            return ::testing::AssertionFailure()
                   << "process " << pid << " holds " << d.DescribeHeld(pid);
    return ::testing::AssertionSuccess();
}

} // namespace handset::testing
