// Test support: .res images written entry by entry, for the cases a
// resource compiler would not write.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "res/resfile.h"

namespace handset::testing {

using Bytes = std::vector<unsigned char>;

// Writes .res files entry by entry, as a resource compiler lays them out.
struct ResWriter {
    Bytes bytes;
    ResWriter() { Add(0, 0, 0, {}); }

    static void PutId(Bytes& out, const ResId& id) {
        if (id.IsOrdinal()) {
            handset::PutLe16(out, 0xFFFF);
            handset::PutLe16(out, id.ordinal());
            return;
        }
        for (char16_t c : id.name())
            handset::PutLe16(out, c);
        handset::PutLe16(out, 0);
    }
    // Returns the offset of the entry's header.
    size_t Add(const ResId& type, const ResId& name, uint16_t language, const Bytes& data) {
        Bytes ids;
        PutId(ids, type);
        PutId(ids, name);
        while (ids.size() % 4)
            ids.push_back(0);
        const size_t at = bytes.size();
        handset::PutLe32(bytes, uint32_t(data.size()));
        handset::PutLe32(bytes, uint32_t(8 + ids.size() + 16));
        bytes.insert(bytes.end(), ids.begin(), ids.end());
        handset::PutLe32(bytes, 0);      // DataVersion
        handset::PutLe16(bytes, 0x1030); // MemoryFlags
        handset::PutLe16(bytes, language);
        handset::PutLe32(bytes, 0); // Version
        handset::PutLe32(bytes, 0); // Characteristics
        bytes.insert(bytes.end(), data.begin(), data.end());
        while (bytes.size() % 4)
            bytes.push_back(0);
        return at;
    }
};

inline Bytes StringBlock(std::vector<std::u16string> strings) {
    strings.resize(16);
    Bytes out;
    for (const auto& s : strings) {
        handset::PutLe16(out, uint16_t(s.size()));
        for (char16_t c : s)
            handset::PutLe16(out, c);
    }
    return out;
}

} // namespace handset::testing
