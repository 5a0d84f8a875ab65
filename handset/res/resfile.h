// A program's compiled resources: the standard 32-bit .res format (what
// windres and the phone's resource compiler write) read into entries, and the
// lookups the platform's resource functions stand on: FindResource by type
// and name, LoadString's string tables, icon groups and their images.
//
// Layout. A .res file is a row of entries, each a header and its data, each
// starting on a DWORD boundary:
//   DWORD  DataSize, HeaderSize
//   TYPE, NAME   each an ordinal (WORD 0xFFFF, WORD id) or a UTF-16 string
//                ending in 0
//   padding to a DWORD boundary
//   DWORD  DataVersion;  WORD MemoryFlags, LanguageId;  DWORD Version,
//          Characteristics
//   DataSize bytes of data, padded to a DWORD boundary
// The first entry is the empty one (sizes 0 and 32, type and name ordinal 0),
// which tells a 32-bit .res from a 16-bit one; it is not listed.
//
// The whole file is checked when it is read, so lookups cannot fail on bad
// data later. Refused, as "SOURCE: byte N: what" with N the offset that broke
// it: an empty file or one without the leading empty entry; a header cut off
// or whose HeaderSize is below 32, not a multiple of 4, past the end of the
// file or not the size of its fields; a type or name that is empty or not
// ended within the header; data or its padding past the end of the file; two
// entries of the same type, name and language; a string block whose 16
// counted strings do not fit its data; an icon group that is not one
// (reserved 0, type 1, its entries within the data) or names an RT_ICON the
// file lacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace handset {

// Resource type ordinals (RT_*), as winuser.h numbers them.
enum : uint16_t {
    kRtCursor = 1,
    kRtBitmap = 2,
    kRtIcon = 3,
    kRtMenu = 4,
    kRtDialog = 5,
    kRtString = 6,
    kRtRcData = 10,
    kRtGroupCursor = 12,
    kRtGroupIcon = 14,
    kRtVersion = 16,
};

inline constexpr uint16_t kLangNeutral = 0x0000;

// A resource type or name: an ordinal or a string.
class ResId {
  public:
    ResId() = default; // ordinal 0, which names nothing
    ResId(uint16_t ordinal) : ordinal_(ordinal) {}
    ResId(std::u16string_view name) : name_(name), isOrdinal_(false) {}
    // For literals (u"WAVE"); an array, so that ordinal 0 is not taken for a
    // null pointer.
    template <size_t N> ResId(const char16_t (&name)[N]) : ResId(std::u16string_view(name)) {}

    // As FindResource reads its LPCWSTR arguments: a pointer value below
    // 0x10000 is an ordinal (MAKEINTRESOURCE); a string "#123" is ordinal
    // 123; any other string is a name.
    static ResId FromPointer(const char16_t* p);

    bool IsOrdinal() const { return isOrdinal_; }
    uint16_t ordinal() const { return ordinal_; }
    const std::u16string& name() const { return name_; }

    // Same ordinal, or same name ignoring case, as FindResource compares.
    bool Matches(const ResId& other) const;
    // 131 or "WAVE", for messages.
    std::string Describe() const;

  private:
    uint16_t ordinal_ = 0;
    std::u16string name_;
    bool isOrdinal_ = true;
};

struct ResEntry {
    ResId type;
    ResId name;
    uint16_t language = 0;
    uint16_t memoryFlags = 0;
    uint32_t dataVersion = 0;
    uint32_t version = 0;
    uint32_t characteristics = 0;
    // In the ResFile's one buffer, DWORD-aligned; the address stays valid as
    // long as the ResFile, moves included. LoadResource hands it out.
    std::span<const unsigned char> data;
    uint32_t headerOffset = 0; // in the file, for messages
    uint32_t dataOffset = 0;
};

// One image of an icon group: a GRPICONDIRENTRY and the RT_ICON it names.
struct IconGroupEntry {
    int width = 0; // the directory's 0 means 256
    int height = 0;
    uint8_t colourCount = 0; // 0 for 256 colours or more
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t bytesInRes = 0;
    uint16_t iconId = 0;
    const ResEntry* image = nullptr; // the RT_ICON, in the same ResFile
};

struct IconGroup {
    const ResEntry* group = nullptr; // the RT_GROUP_ICON
    std::vector<IconGroupEntry> entries;
};

class ResFile {
  public:
    ResFile() = default;
    ResFile(ResFile&&) = default;
    ResFile& operator=(ResFile&&) = default;
    ResFile(const ResFile&) = delete;
    ResFile& operator=(const ResFile&) = delete;

    // Reads a whole .res image, copied into the ResFile's own buffer. On
    // false *error is "SOURCE: byte N: what" and *out is untouched; on true
    // *out is replaced.
    static bool Parse(std::span<const unsigned char> bytes, std::string_view source, ResFile* out,
                      std::string* error);
    static bool Load(const std::string& path, ResFile* out, std::string* error);

    // In file order, without the leading empty entry.
    const std::vector<ResEntry>& entries() const { return entries_; }

    // The entry of this type and name. When several languages have it: the
    // language asked for, else LANG_NEUTRAL, else one of the same primary
    // language, else the first in the file. Null when there is none.
    const ResEntry* Find(const ResId& type, const ResId& name,
                         uint16_t language = kLangNeutral) const;

    // String id of the string tables: the (id % 16)-th counted string of
    // block id / 16 + 1, viewed in place (not terminated; LoadString copies
    // it). Empty for an empty string; none when the block is missing.
    std::optional<std::u16string_view> String(uint32_t id, uint16_t language = kLangNeutral) const;

    // The icon group of this name with its images; none when there is none.
    std::optional<IconGroup> FindIconGroup(const ResId& name,
                                           uint16_t language = kLangNeutral) const;

  private:
    std::unique_ptr<unsigned char[]> buffer_;
    size_t size_ = 0;
    std::vector<ResEntry> entries_;
};

// What the BITMAPINFOHEADER of an icon image (an RT_ICON, or an image of an
// .ico file) says. Its height counts the colour bitmap and the AND mask;
// `height` here is the image's own.
struct IconImageInfo {
    int width = 0;
    int height = 0;
    uint16_t bitCount = 0;
    uint32_t paletteColours = 0;
    size_t colourBytes = 0; // the XOR bitmap, rows padded to 32 bits
    size_t maskBytes = 0;   // the AND mask, likewise
};

// False with "byte N: what" (N from the image's start) when the image is not
// an uncompressed bitmap icon of one plane at 1, 4, 8, 16, 24 or 32 bits
// (PNG images included) or its palette, bitmap and mask do not fit in it.
bool ReadIconImage(std::span<const unsigned char> image, IconImageInfo* out, std::string* error);

} // namespace handset
