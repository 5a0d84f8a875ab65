// Reading .res files and looking resources up in them.
#include "res/resfile.h"

#include <crtwide.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/bytes.h"
#include "common/file.h"
#include "common/text.h"

namespace handset {

// Strings are viewed in place as char16_t: the phone and this host are both
// little-endian.
static_assert(std::endian::native == std::endian::little);

namespace {

size_t AlignUp4(size_t n) {
    return (n + 3) & ~size_t(3);
}

class Reader {
  public:
    Reader(const unsigned char* bytes, size_t size, std::string_view source)
        : p_(bytes), size_(size), source_(source) {}

    bool Run(std::vector<ResEntry>* entries);
    const std::string& error() const { return error_; }

  private:
    bool Fail(size_t offset, const std::string& what) {
        error_ = std::string(source_) + ": byte " + std::to_string(offset) + ": " + what;
        return false;
    }
    bool ReadId(size_t* pos, size_t end, const char* what, ResId* id);
    bool CheckStringBlock(const ResEntry& e);
    bool CheckIconGroup(const ResEntry& e, const std::vector<ResEntry>& entries);

    const unsigned char* p_;
    size_t size_;
    std::string_view source_;
    std::string error_;
};

bool Reader::ReadId(size_t* pos, size_t end, const char* what, ResId* id) {
    const size_t at = *pos;
    if (end - at >= 2 && GetLe16(p_ + at) == 0xFFFF) {
        if (end - at < 4) return Fail(at, std::string(what) + " ordinal runs past the header");
        *id = ResId(GetLe16(p_ + at + 2));
        *pos = at + 4;
        return true;
    }
    std::u16string name;
    for (size_t q = at; end - q >= 2; q += 2) {
        char16_t c = GetLe16(p_ + q);
        if (c == 0) {
            if (name.empty()) return Fail(at, std::string(what) + " is an empty string");
            *id = ResId(name);
            *pos = q + 2;
            return true;
        }
        name += c;
    }
    return Fail(at, std::string(what) + " is not ended within the header");
}

bool Reader::Run(std::vector<ResEntry>* entries) {
    if (size_ == 0) return Fail(0, "empty file, not a .res");
    for (size_t h = 0; h < size_;) {
        if (size_ - h < 8)
            return Fail(h, "header cut off: " + std::to_string(size_ - h) +
                               " bytes left, 8 needed for its sizes");
        const uint32_t dataSize = GetLe32(p_ + h);
        const uint32_t headerSize = GetLe32(p_ + h + 4);
        const std::string hs = "header size " + std::to_string(headerSize);
        if (headerSize < 32) return Fail(h + 4, hs + " is below the smallest header, 32");
        if (headerSize % 4) return Fail(h + 4, hs + " is not a multiple of 4");
        if (headerSize > size_ - h)
            return Fail(h + 4, hs + " runs past the end of the file (" + std::to_string(size_ - h) +
                                   " bytes left)");
        const size_t end = h + headerSize;
        ResEntry e;
        size_t pos = h + 8;
        if (!ReadId(&pos, end, "type", &e.type) || !ReadId(&pos, end, "name", &e.name))
            return false;
        pos = AlignUp4(pos);
        if (pos + 16 != end)
            return Fail(h + 4, hs + " does not fit its fields, which take " +
                                   std::to_string(pos + 16 - h));
        e.dataVersion = GetLe32(p_ + pos);
        e.memoryFlags = GetLe16(p_ + pos + 4);
        e.language = GetLe16(p_ + pos + 6);
        e.version = GetLe32(p_ + pos + 8);
        e.characteristics = GetLe32(p_ + pos + 12);
        if (dataSize > size_ - end)
            return Fail(h, "data size " + std::to_string(dataSize) +
                               " runs past the end of the file (" + std::to_string(size_ - end) +
                               " bytes left)");
        const size_t dataEnd = end + dataSize;
        if (AlignUp4(dataEnd) > size_)
            return Fail(dataEnd, "the padding after the data runs past the end of the file");
        e.data = {p_ + end, dataSize};
        e.headerOffset = uint32_t(h);
        e.dataOffset = uint32_t(end);
        h = AlignUp4(dataEnd);

        const bool empty = e.type.IsOrdinal() && e.type.ordinal() == 0;
        if (e.headerOffset == 0) {
            if (!empty || !e.name.IsOrdinal() || e.name.ordinal() != 0 || dataSize != 0)
                return Fail(0, "not a 32-bit .res: it must begin with the empty entry");
            continue;
        }
        for (const ResEntry& other : *entries)
            if (other.type.Matches(e.type) && other.name.Matches(e.name) &&
                other.language == e.language)
                return Fail(e.headerOffset,
                            "a second " + e.type.Describe() + " " + e.name.Describe() +
                                " in language " + std::to_string(e.language) +
                                " (the first at byte " + std::to_string(other.headerOffset) + ")");
        entries->push_back(e);
    }
    for (const ResEntry& e : *entries) {
        if (!e.type.IsOrdinal()) continue;
        if (e.type.ordinal() == kRtString && !CheckStringBlock(e)) return false;
        if (e.type.ordinal() == kRtGroupIcon && !CheckIconGroup(e, *entries)) return false;
    }
    return true;
}

// 16 strings, each a WORD count of UTF-16 units and the units.
bool Reader::CheckStringBlock(const ResEntry& e) {
    size_t pos = 0;
    for (int i = 0; i < 16; ++i) {
        if (e.data.size() - pos < 2)
            return Fail(e.dataOffset + pos,
                        "string block ends after " + std::to_string(i) + " of its 16 strings");
        const size_t units = GetLe16(e.data.data() + pos);
        if ((e.data.size() - pos - 2) / 2 < units)
            return Fail(e.dataOffset + pos,
                        "string of " + std::to_string(units) + " characters runs past its block");
        pos += 2 + 2 * units;
    }
    return true;
}

// GRPICONDIR (reserved, type 1, count) and count GRPICONDIRENTRYs of 14 bytes,
// each naming an RT_ICON by its ordinal.
bool Reader::CheckIconGroup(const ResEntry& e, const std::vector<ResEntry>& entries) {
    const unsigned char* d = e.data.data();
    if (e.data.size() < 6) return Fail(e.dataOffset, "icon group shorter than its 6-byte head");
    if (GetLe16(d) != 0 || GetLe16(d + 2) != 1)
        return Fail(e.dataOffset, "icon group head is not reserved 0, type 1");
    const size_t count = GetLe16(d + 4);
    if ((e.data.size() - 6) / 14 < count)
        return Fail(e.dataOffset + 4,
                    "icon group of " + std::to_string(count) + " images runs past its data");
    for (size_t i = 0; i < count; ++i) {
        const size_t idAt = 6 + 14 * i + 12;
        const uint16_t id = GetLe16(d + idAt);
        bool found = std::any_of(entries.begin(), entries.end(), [&](const ResEntry& icon) {
            return icon.type.IsOrdinal() && icon.type.ordinal() == kRtIcon &&
                   icon.name.IsOrdinal() && icon.name.ordinal() == id;
        });
        if (!found)
            return Fail(e.dataOffset + idAt,
                        "icon group names RT_ICON " + std::to_string(id) + ", which is missing");
    }
    return true;
}

uint16_t PrimaryLanguage(uint16_t language) {
    return language & 0x3FF;
}

} // namespace

// ---- ResId ---------------------------------------------------------------------

ResId ResId::FromPointer(const char16_t* p) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(p);
    if (value >> 16 == 0) return ResId(uint16_t(value));
    std::u16string_view s(p);
    if (s.size() > 1 && s.size() <= 6 && s[0] == u'#' &&
        std::all_of(s.begin() + 1, s.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
        uint32_t n = 0;
        for (char16_t c : s.substr(1))
            n = n * 10 + (c - u'0');
        if (n <= 0xFFFF) return ResId(uint16_t(n));
    }
    return ResId(s);
}

bool ResId::Matches(const ResId& other) const {
    if (isOrdinal_ || other.isOrdinal_)
        return isOrdinal_ == other.isOrdinal_ && ordinal_ == other.ordinal_;
    if (name_.size() != other.name_.size()) return false;
    for (size_t i = 0; i < name_.size(); ++i)
        if (towupper(name_[i]) != towupper(other.name_[i])) return false;
    return true;
}

std::string ResId::Describe() const {
    return isOrdinal_ ? std::to_string(ordinal_) : "\"" + Narrow(name_) + "\"";
}

// ---- ResFile -------------------------------------------------------------------

bool ResFile::Parse(std::span<const unsigned char> bytes, std::string_view source, ResFile* out,
                    std::string* error) {
    ResFile file;
    // new[] aligns the buffer for any scalar, so DWORD-aligned offsets give
    // DWORD-aligned data.
    file.buffer_.reset(new unsigned char[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty()) std::memcpy(file.buffer_.get(), bytes.data(), bytes.size());
    file.size_ = bytes.size();
    Reader reader(file.buffer_.get(), file.size_, source);
    if (!reader.Run(&file.entries_)) {
        if (error) *error = reader.error();
        return false;
    }
    *out = std::move(file);
    return true;
}

bool ResFile::Load(const std::string& path, ResFile* out, std::string* error) {
    std::string bytes;
    if (!ReadWholeFile(path, &bytes, error)) return false;
    return Parse({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()}, path, out,
                 error);
}

const ResEntry* ResFile::Find(const ResId& type, const ResId& name, uint16_t language) const {
    const ResEntry* best = nullptr;
    int bestRank = 4;
    for (const ResEntry& e : entries_) {
        if (!e.type.Matches(type) || !e.name.Matches(name)) continue;
        int rank = e.language == language                                     ? 0
                   : e.language == kLangNeutral                               ? 1
                   : PrimaryLanguage(e.language) == PrimaryLanguage(language) ? 2
                                                                              : 3;
        if (rank < bestRank) best = &e, bestRank = rank;
    }
    return best;
}

std::optional<std::u16string_view> ResFile::String(uint32_t id, uint16_t language) const {
    if (id > 0xFFFF) return std::nullopt;
    const ResEntry* block = Find(kRtString, uint16_t(id / 16 + 1), language);
    if (!block) return std::nullopt;
    // Checked when read: all 16 strings lie within the block.
    const unsigned char* p = block->data.data();
    for (uint32_t i = 0; i < id % 16; ++i)
        p += 2 + 2 * GetLe16(p);
    return std::u16string_view(reinterpret_cast<const char16_t*>(p + 2), GetLe16(p));
}

std::optional<IconGroup> ResFile::FindIconGroup(const ResId& name, uint16_t language) const {
    const ResEntry* g = Find(kRtGroupIcon, name, language);
    if (!g) return std::nullopt;
    IconGroup group;
    group.group = g;
    const unsigned char* d = g->data.data();
    const size_t count = GetLe16(d + 4);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* at = d + 6 + 14 * i;
        IconGroupEntry entry;
        entry.width = at[0] ? at[0] : 256;
        entry.height = at[1] ? at[1] : 256;
        entry.colourCount = at[2];
        entry.planes = GetLe16(at + 4);
        entry.bitCount = GetLe16(at + 6);
        entry.bytesInRes = GetLe32(at + 8);
        entry.iconId = GetLe16(at + 12);
        // The image in the group's own language where there is one.
        entry.image = Find(kRtIcon, entry.iconId, g->language);
        group.entries.push_back(entry);
    }
    return group;
}

// ---- Icon images ---------------------------------------------------------------

bool ReadIconImage(std::span<const unsigned char> image, IconImageInfo* out, std::string* error) {
    auto fail = [&](size_t offset, const std::string& what) {
        if (error) *error = "byte " + std::to_string(offset) + ": " + what;
        return false;
    };
    const unsigned char* p = image.data();
    if (image.size() >= 8 && std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0)
        return fail(0, "a PNG image, not a bitmap");
    if (image.size() < 40)
        return fail(0, "image of " + std::to_string(image.size()) +
                           " bytes is shorter than a BITMAPINFOHEADER");
    const uint32_t headerSize = GetLe32(p);
    const int32_t width = int32_t(GetLe32(p + 4));
    const int32_t height = int32_t(GetLe32(p + 8));
    const uint16_t planes = GetLe16(p + 12);
    const uint16_t bits = GetLe16(p + 14);
    const uint32_t compression = GetLe32(p + 16);
    const uint32_t coloursUsed = GetLe32(p + 32);
    if (headerSize < 40 || headerSize > image.size())
        return fail(0,
                    "header size " + std::to_string(headerSize) + " is not a BITMAPINFOHEADER's");
    if (width <= 0 || width > 256) return fail(4, "width " + std::to_string(width));
    if (height <= 0 || height > 512 || height % 2)
        return fail(8, "height " + std::to_string(height) +
                           " is not twice an image's (colour bitmap and mask)");
    if (planes != 1) return fail(12, std::to_string(planes) + " planes");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return fail(14, std::to_string(bits) + " bits per pixel");
    if (compression != 0) return fail(16, "compression " + std::to_string(compression));
    if (coloursUsed > 256) return fail(32, std::to_string(coloursUsed) + " palette colours");

    IconImageInfo info;
    info.width = width;
    info.height = height / 2;
    info.bitCount = bits;
    info.paletteColours = coloursUsed ? coloursUsed : bits <= 8 ? 1u << bits : 0;
    info.colourBytes = size_t((width * bits + 31) / 32 * 4) * info.height;
    info.maskBytes = size_t((width + 31) / 32 * 4) * info.height;
    const size_t needed = headerSize + 4 * info.paletteColours + info.colourBytes + info.maskBytes;
    if (needed > image.size())
        return fail(image.size(), "palette, bitmap and mask need " + std::to_string(needed) +
                                      " bytes; the image ends here");
    *out = info;
    return true;
}

} // namespace handset
