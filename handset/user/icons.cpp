// Icon images decoded for drawing.
#include "user/icons.h"

#include <algorithm>

#include "common/bytes.h"

namespace handset {

bool DecodeIconImage(std::span<const unsigned char> image, IconPixels* out, std::string* error) {
    IconImageInfo info;
    if (!ReadIconImage(image, &info, error)) return false;
    const unsigned char* p = image.data();
    const uint32_t header = GetLe32(p);
    const unsigned char* palette = p + header;
    const unsigned char* colour = palette + 4 * info.paletteColours;
    const unsigned char* mask = colour + info.colourBytes;
    const size_t colourStride = info.colourBytes / info.height;
    const size_t maskStride = info.maskBytes / info.height;
    IconPixels px;
    px.width = info.width;
    px.height = info.height;
    px.argb.resize(static_cast<size_t>(info.width) * info.height);
    bool anyAlpha = false;
    for (int y = 0; y < info.height; ++y) {
        // Rows are stored bottom-up.
        const unsigned char* row = colour + colourStride * (info.height - 1 - y);
        const unsigned char* maskRow = mask + maskStride * (info.height - 1 - y);
        for (int x = 0; x < info.width; ++x) {
            uint32_t rgb = 0, alpha = 255;
            auto fromPalette = [&](unsigned index) {
                if (index >= info.paletteColours) return uint32_t(0);
                const unsigned char* e = palette + 4 * index;
                return uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
            };
            switch (info.bitCount) {
            case 1:
                rgb = fromPalette(row[x / 8] >> (7 - x % 8) & 1);
                break;
            case 4:
                rgb = fromPalette(row[x / 2] >> (x % 2 ? 0 : 4) & 0xF);
                break;
            case 8:
                rgb = fromPalette(row[x]);
                break;
            case 16: { // 5-5-5
                unsigned v = GetLe16(row + 2 * x);
                unsigned r = v >> 10 & 0x1F, g = v >> 5 & 0x1F, b = v & 0x1F;
                rgb = (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | (b << 3 | b >> 2);
                break;
            }
            case 24:
                rgb = uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
                break;
            case 32:
                rgb = uint32_t(row[4 * x + 2]) << 16 | uint32_t(row[4 * x + 1]) << 8 | row[4 * x];
                alpha = row[4 * x + 3];
                anyAlpha = anyAlpha || alpha != 0;
                break;
            }
            bool transparent = maskRow[x / 8] >> (7 - x % 8) & 1;
            if (info.bitCount != 32) alpha = transparent ? 0 : 255;
            px.argb[static_cast<size_t>(y) * info.width + x] = alpha << 24 | rgb;
        }
    }
    // A 32-bit image without any alpha is drawn through its mask.
    if (info.bitCount == 32 && !anyAlpha)
        for (int y = 0; y < info.height; ++y) {
            const unsigned char* maskRow = mask + maskStride * (info.height - 1 - y);
            for (int x = 0; x < info.width; ++x) {
                uint32_t& v = px.argb[static_cast<size_t>(y) * info.width + x];
                bool transparent = maskRow[x / 8] >> (7 - x % 8) & 1;
                v = (transparent ? 0u : 255u) << 24 | (v & 0xFFFFFF);
            }
        }
    *out = std::move(px);
    return true;
}

bool LoadIconPixels(const ResFile& file, const ResId& group, int size, uint16_t language,
                    IconPixels* out, std::string* error) {
    auto found = file.FindIconGroup(group, language);
    if (!found || found->entries.empty()) {
        *error = "no icon group " + group.Describe();
        return false;
    }
    // The size first, then the depth, as the comment in icons.h orders them.
    auto sizeRank = [&](const IconGroupEntry& e) {
        if (e.width == size) return 0;
        if (e.width > size) return e.width - size;
        return 1000 + size - e.width;
    };
    auto depthRank = [](const IconGroupEntry& e) {
        return e.bitCount <= 16 ? 16 - e.bitCount : 100 + e.bitCount;
    };
    const IconGroupEntry* best = nullptr;
    for (const IconGroupEntry& e : found->entries) {
        if (!e.image) continue;
        if (!best || sizeRank(e) < sizeRank(*best) ||
            (sizeRank(e) == sizeRank(*best) && depthRank(e) < depthRank(*best)))
            best = &e;
    }
    if (!best) {
        *error = "icon group " + group.Describe() + " has no images";
        return false;
    }
    std::string why;
    if (!DecodeIconImage(best->image->data, out, &why)) {
        *error = "icon " + std::to_string(best->iconId) + ": " + why;
        return false;
    }
    return true;
}

} // namespace handset
