// UTF-8/UTF-16 conversion and trimming for the handset's own texts.
#include "common/text.h"

#include <cstdint>

namespace handset {

namespace {

bool IsBlank(char32_t c) {
    return c == ' ' || c == '\t';
}
bool IsLineBlank(char32_t c) {
    return IsBlank(c) || c == '\r' || c == '\n';
}

template <class View, class Pred> View TrimBy(View s, Pred blank) {
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string_view Trim(std::string_view s) {
    return TrimBy(s, IsBlank);
}
std::u16string_view Trim(std::u16string_view s) {
    return TrimBy(s, IsBlank);
}
std::string_view TrimLine(std::string_view s) {
    return TrimBy(s, IsLineBlank);
}
std::u16string_view TrimLine(std::u16string_view s) {
    return TrimBy(s, IsLineBlank);
}

std::string Narrow(std::u16string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

// The well-formed UTF-8 sequence at s[i]: its length and code point, or 0
// when the byte there starts none. Overlong forms and code points past
// U+10FFFF are not UTF-8; surrogates are left to the caller.
size_t Utf8Sequence(std::string_view s, size_t i, char32_t* code) {
    auto at = [&](size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
    unsigned b = at(i);
    if (b < 0x80) {
        *code = b;
        return 1;
    }
    size_t length;
    char32_t c;
    unsigned low = 0x80, high = 0xBF; // what the second byte may be
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, c = b & 0x0F;
        if (b == 0xE0) low = 0xA0; // below: overlong
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, c = b & 0x07;
        if (b == 0xF0) low = 0x90;  // below: overlong
        if (b == 0xF4) high = 0x8F; // above: past U+10FFFF
    } else {
        return 0; // a continuation byte, C0 and C1 (always overlong), F5 to FF
    }
    for (size_t k = 1; k < length; ++k) {
        unsigned t = at(i + k);
        if (t < (k == 1 ? low : 0x80u) || t > (k == 1 ? high : 0xBFu)) return 0;
        c = c << 6 | (t & 0x3F);
    }
    *code = c;
    return length;
}

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

// The length of the sequence at s[i] as Widen takes it, 0 for none. A
// surrogate's three bytes are taken only where Narrow would have written
// them, for a lone one: never a high one right before a low one, which
// would pair into a code point Narrow writes in four bytes.
size_t Sequence(std::string_view s, size_t i, char32_t* code) {
    size_t length = Utf8Sequence(s, i, code);
    if (length != 3 || !(IsHighSurrogate(*code) || IsLowSurrogate(*code))) return length;
    char32_t other = 0;
    bool pairs = IsHighSurrogate(*code)
                     ? Utf8Sequence(s, i + 3, &other) == 3 && IsLowSurrogate(other)
                     : i >= 3 && Utf8Sequence(s, i - 3, &other) == 3 && IsHighSurrogate(other);
    return pairs ? 0 : length;
}

} // namespace

std::u16string Widen(std::string_view s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        char32_t c = 0;
        size_t length = Sequence(s, i, &c);
        if (length == 0) {
            // Not UTF-8: this byte is Latin-1, as old exporters wrote it; the
            // next one is looked at afresh.
            out += static_cast<char16_t>(static_cast<unsigned char>(s[i]));
            ++i;
            continue;
        }
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::u16string FoldAscii(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

} // namespace handset
