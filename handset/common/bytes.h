// Little-endian encoding: how the phone lays out numbers in registry data,
// resources and wave files.
#pragma once

#include <cstdint>
#include <vector>

namespace handset {

inline uint16_t GetLe16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t GetLe32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void PutLe16(std::vector<unsigned char>& out, uint16_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}
inline void PutLe32(std::vector<unsigned char>& out, uint32_t v) {
    PutLe16(out, static_cast<uint16_t>(v));
    PutLe16(out, static_cast<uint16_t>(v >> 16));
}

} // namespace handset
