// Reading DIALOG and DIALOGEX templates, and dialog units in pixels.
#include "user/dialog_template.h"

#include <algorithm>
#include <cstdlib>

#include "common/bytes.h"

namespace handset {

namespace {

// Reads little-endian fields in order, remembering the first failure. It
// never stands past the end, so a failure names a byte of the template or
// its end.
class Reader {
  public:
    Reader(std::span<const unsigned char> bytes, std::string_view name, std::string* error)
        : bytes_(bytes), name_(name), error_(error) {}

    bool Ok() const { return ok_; }
    size_t At() const { return at_; }

    bool Fail(size_t at, const std::string& what) {
        if (ok_) *error_ = std::string(name_) + ": byte " + std::to_string(at) + ": " + what;
        ok_ = false;
        return false;
    }
    bool Need(size_t n, const char* what) {
        if (!ok_) return false;
        if (bytes_.size() - at_ < n)
            return Fail(at_, std::string(what) + " cut off (" + std::to_string(n) +
                                 " bytes needed, " + std::to_string(bytes_.size() - at_) +
                                 " left)");
        return true;
    }
    uint16_t Word(const char* what) {
        if (!Need(2, what)) return 0;
        at_ += 2;
        return GetLe16(bytes_.data() + at_ - 2);
    }
    uint32_t Dword(const char* what) {
        if (!Need(4, what)) return 0;
        at_ += 4;
        return GetLe32(bytes_.data() + at_ - 4);
    }
    short Short(const char* what) { return static_cast<short>(Word(what)); }
    uint8_t Byte(const char* what) {
        if (!Need(1, what)) return 0;
        return bytes_[at_++];
    }
    std::u16string String(const char* what) {
        size_t start = at_;
        std::u16string s;
        for (;;) {
            if (!ok_) return s;
            if (bytes_.size() - at_ < 2) {
                Fail(start, std::string(what) + " not ended before the end of the template");
                return s;
            }
            char16_t c = GetLe16(bytes_.data() + at_);
            at_ += 2;
            if (c == 0) return s;
            s.push_back(c);
        }
    }
    // WORD 0: none (ordinal 0); 0xFFFF: an ordinal; else a string.
    ResId StringOrOrdinal(const char* what) {
        if (!Need(2, what)) return {};
        uint16_t first = GetLe16(bytes_.data() + at_);
        if (first == 0) {
            at_ += 2;
            return {};
        }
        if (first == 0xFFFF) {
            at_ += 2;
            return ResId(Word(what));
        }
        return ResId(std::u16string_view(String(what)));
    }
    // Padding cut off by the end stops there.
    void AlignDword() { at_ = std::min((at_ + 3) & ~size_t(3), bytes_.size()); }
    std::vector<unsigned char> Bytes(size_t n, const char* what) {
        if (!Need(n, what)) return {};
        at_ += n;
        return {bytes_.begin() + static_cast<ptrdiff_t>(at_ - n),
                bytes_.begin() + static_cast<ptrdiff_t>(at_)};
    }

  private:
    std::span<const unsigned char> bytes_;
    std::string_view name_;
    std::string* error_;
    size_t at_ = 0;
    bool ok_ = true;
};

} // namespace

bool ParseDialogTemplate(std::span<const unsigned char> bytes, std::string_view name,
                         DialogTemplate* out, std::string* error) {
    Reader r(bytes, name, error);
    DialogTemplate t;
    uint16_t count = 0;
    if (bytes.size() >= 4 && GetLe16(bytes.data() + 2) == 0xFFFF) {
        t.extended = true;
        if (uint16_t version = r.Word("the version"); version != 1)
            return r.Fail(0, "an extended template of version " + std::to_string(version) +
                                 " (only 1 exists)");
        r.Word("the signature");
        t.helpId = r.Dword("the help id");
        t.exStyle = r.Dword("the extended style");
        t.style = r.Dword("the style");
    } else {
        t.style = r.Dword("the style");
        t.exStyle = r.Dword("the extended style");
    }
    count = r.Word("the item count");
    t.x = r.Short("the x");
    t.y = r.Short("the y");
    t.cx = r.Short("the width");
    t.cy = r.Short("the height");
    t.menu = r.StringOrOrdinal("the menu");
    t.cls = r.StringOrOrdinal("the class");
    t.title = r.String("the title");
    if (t.style & DS_SETFONT) {
        t.hasFont = true;
        t.pointSize = r.Word("the point size");
        if (t.extended) {
            t.weight = r.Word("the font weight");
            t.italic = r.Byte("the italic flag") != 0;
            r.Byte("the character set");
        }
        t.face = r.String("the font face");
    }
    for (uint16_t i = 0; i < count && r.Ok(); ++i) {
        r.AlignDword();
        DialogItem item;
        item.offset = static_cast<uint32_t>(r.At());
        std::string label = "item " + std::to_string(i + 1) + " of " + std::to_string(count);
        const char* what = label.c_str();
        if (t.extended) {
            item.helpId = r.Dword(what);
            item.exStyle = r.Dword(what);
            item.style = r.Dword(what);
        } else {
            item.style = r.Dword(what);
            item.exStyle = r.Dword(what);
        }
        item.x = r.Short(what);
        item.y = r.Short(what);
        item.cx = r.Short(what);
        item.cy = r.Short(what);
        item.id = t.extended ? r.Dword(what) : r.Word(what);
        item.cls = r.StringOrOrdinal(what);
        if (r.Ok() && item.cls.IsOrdinal() && item.cls.ordinal() == 0)
            return r.Fail(item.offset, label + " has no class");
        item.text = r.StringOrOrdinal(what);
        uint16_t extra = r.Word(what);
        item.data = r.Bytes(extra, "creation data");
        t.items.push_back(std::move(item));
    }
    if (!r.Ok()) return false;
    *out = std::move(t);
    return true;
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    long long product = static_cast<long long>(number) * numerator;
    bool negative = (product < 0) != (denominator < 0);
    long long a = std::llabs(product), d = std::llabs(static_cast<long long>(denominator));
    long long q = (a + d / 2) / d;
    return static_cast<int>(negative ? -q : q);
}

RECT DialogUnitsToPixels(const RECT& units, BaseUnits base) {
    return {MulDiv(units.left, base.cx, 4), MulDiv(units.top, base.cy, 8),
            MulDiv(units.right, base.cx, 4), MulDiv(units.bottom, base.cy, 8)};
}

} // namespace handset
