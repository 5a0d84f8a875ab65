// The CE C runtime's wide-string functions for the 16-bit WCHAR.
#include <windows.h>

#include <climits>
#include <cstring>

namespace {

// Decimal digits of the scripts a phone's contacts are likely to hold, as
// the phone's CRT classes them (GetStringTypeW's C1_DIGIT).
bool IsDigit(WCHAR c) {
    static const WCHAR kZeros[] = {0x0030, 0x0660, 0x06F0, 0x0966, 0x09E6, 0x0A66, 0x0AE6,
                                   0x0B66, 0x0BE6, 0x0C66, 0x0CE6, 0x0D66, 0x0E50, 0x0ED0,
                                   0x0F20, 0x1040, 0x17E0, 0x1810, 0xFF10};
    for (WCHAR zero : kZeros)
        if (c >= zero && c <= zero + 9) return true;
    return false;
}

bool IsUpper(WCHAR c) {
    return (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
           (c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F);
}

bool IsLower(WCHAR c) {
    return (c >= u'a' && c <= u'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7) ||
           (c >= 0x3B1 && c <= 0x3C9) || (c >= 0x430 && c <= 0x44F);
}

bool IsSpace(WCHAR c) {
    return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0x3000 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029;
}

bool IsControl(WCHAR c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

bool IsPunct(WCHAR c) {
    if (c < 0x80) return c > 0x20 && c < 0x7F && !IsDigit(c) && !IsUpper(c) && !IsLower(c);
    return (c >= 0xA1 && c <= 0xBF) || c == 0xD7 || c == 0xF7 || (c >= 0x2010 && c <= 0x2027) ||
           (c >= 0x2030 && c <= 0x205E);
}

WCHAR Lower(WCHAR c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F))
        return static_cast<WCHAR>(c + 0x20);
    return c;
}

WCHAR Upper(WCHAR c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
        return static_cast<WCHAR>(c - 0x20);
    return c;
}

int DigitValue(WCHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 99;
}

} // namespace

size_t wcslen(const WCHAR* s) {
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src) {
    WCHAR* d = dst;
    while ((*d++ = *src++)) {}
    return dst;
}

WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t count) {
    size_t i = 0;
    for (; i < count && src[i]; ++i)
        dst[i] = src[i];
    for (; i < count; ++i)
        dst[i] = 0; // pads, and leaves a full copy unterminated
    return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src) {
    wcscpy(dst + wcslen(dst), src);
    return dst;
}

WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t count) {
    WCHAR* d = dst + wcslen(dst);
    size_t i = 0;
    for (; i < count && src[i]; ++i)
        d[i] = src[i];
    d[i] = 0;
    return dst;
}

int wcscmp(const WCHAR* a, const WCHAR* b) {
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b ? 0 : (*a < *b ? -1 : 1);
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
        if (!a[i]) return 0;
    }
    return 0;
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        WCHAR x = Lower(a[i]), y = Lower(b[i]);
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
    return 0;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) {
    return _wcsnicmp(a, b, SIZE_MAX);
}

WCHAR* wcschr(const WCHAR* s, WCHAR c) {
    for (;; ++s) {
        if (*s == c) return const_cast<WCHAR*>(s);
        if (!*s) return nullptr;
    }
}

WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
    const WCHAR* found = nullptr;
    for (;; ++s) {
        if (*s == c) found = s;
        if (!*s) return const_cast<WCHAR*>(found);
    }
}

WCHAR* wcsstr(const WCHAR* s, const WCHAR* find) {
    size_t n = wcslen(find);
    if (n == 0) return const_cast<WCHAR*>(s);
    for (; *s; ++s)
        if (wcsncmp(s, find, n) == 0) return const_cast<WCHAR*>(s);
    return nullptr;
}

int iswctype(WCHAR c, int type) {
    int classes = 0;
    if (IsUpper(c)) classes |= _UPPER | 0x100;
    if (IsLower(c)) classes |= _LOWER | 0x100;
    if (IsDigit(c)) classes |= _DIGIT;
    if (IsSpace(c)) classes |= _SPACE;
    if (IsPunct(c)) classes |= _PUNCT;
    if (IsControl(c)) classes |= _CONTROL;
    if (c == u' ' || c == u'\t') classes |= _BLANK;
    if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))
        classes |= _HEX;
    return classes & type;
}

int iswdigit(WCHAR c) {
    return iswctype(c, _DIGIT);
}
int iswalpha(WCHAR c) {
    return iswctype(c, _ALPHA);
}
int iswspace(WCHAR c) {
    return iswctype(c, _SPACE);
}
int iswupper(WCHAR c) {
    return iswctype(c, _UPPER);
}
int iswlower(WCHAR c) {
    return iswctype(c, _LOWER);
}
WCHAR towlower(WCHAR c) {
    return Lower(c);
}
WCHAR towupper(WCHAR c) {
    return Upper(c);
}

unsigned long wcstoul(const WCHAR* s, WCHAR** end, int base) {
    const WCHAR* p = s;
    while (IsSpace(*p))
        ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
    if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') &&
        DigitValue(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = *p == u'0' ? 8 : 10;
    }
    unsigned long value = 0;
    const WCHAR* first = p;
    for (; DigitValue(*p) < base; ++p)
        value = value * base + DigitValue(*p);
    if (end) *end = const_cast<WCHAR*>(p == first ? s : p);
    return negative ? 0UL - value : value;
}

long wcstol(const WCHAR* s, WCHAR** end, int base) {
    return static_cast<long>(wcstoul(s, end, base));
}

int _wtoi(const WCHAR* s) {
    return static_cast<int>(wcstol(s, nullptr, 10));
}

// ---- Formatting ----------------------------------------------------------------

namespace {

struct Out {
    WCHAR* buf;
    size_t cap; // units that may be written, terminator included
    size_t len = 0;
    bool overflow = false;
    void Put(WCHAR c) {
        if (len + 1 < cap)
            buf[len++] = c;
        else
            overflow = true;
    }
};

void PutPadded(Out& out, const WCHAR* text, size_t n, int width, bool left, WCHAR pad) {
    int fill = width > static_cast<int>(n) ? width - static_cast<int>(n) : 0;
    if (!left)
        for (int i = 0; i < fill; ++i)
            out.Put(pad);
    for (size_t i = 0; i < n; ++i)
        out.Put(text[i]);
    if (left)
        for (int i = 0; i < fill; ++i)
            out.Put(u' ');
}

// The printf subset that wsprintfW knows: flags - 0 + space #, width,
// precision, the h and l sizes, and c C d i u x X s S p %.
size_t Format(Out& out, const WCHAR* f, va_list args) {
    while (*f) {
        if (*f != u'%') {
            out.Put(*f++);
            continue;
        }
        ++f;
        bool left = false, zero = false, plus = false, space = false, alt = false;
        for (;; ++f) {
            if (*f == u'-')
                left = true;
            else if (*f == u'0')
                zero = true;
            else if (*f == u'+')
                plus = true;
            else if (*f == u' ')
                space = true;
            else if (*f == u'#')
                alt = true;
            else
                break;
        }
        int width = 0;
        if (*f == u'*') {
            width = va_arg(args, int);
            ++f;
        } else {
            while (*f >= u'0' && *f <= u'9')
                width = width * 10 + (*f++ - u'0');
        }
        int precision = -1;
        if (*f == u'.') {
            ++f;
            precision = 0;
            if (*f == u'*') {
                precision = va_arg(args, int);
                ++f;
            } else {
                while (*f >= u'0' && *f <= u'9')
                    precision = precision * 10 + (*f++ - u'0');
            }
        }
        bool narrow = false, wide = false;
        if (*f == u'h')
            narrow = true, ++f;
        else if (*f == u'l')
            wide = true, ++f;
        WCHAR conv = *f ? *f++ : 0;
        WCHAR tmp[40];
        switch (conv) {
        case u'%':
            out.Put(u'%');
            break;
        case u'c':
        case u'C': {
            WCHAR c = static_cast<WCHAR>(va_arg(args, int));
            PutPadded(out, &c, 1, width, left, u' ');
            break;
        }
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'p': {
            unsigned long long v;
            bool negative = false;
            if (conv == u'p') {
                v = reinterpret_cast<uintptr_t>(va_arg(args, void*));
            } else if (conv == u'd' || conv == u'i') {
                long long s = va_arg(args, int); // l is 32-bit on the phone too
                if (narrow) s = static_cast<short>(s);
                negative = s < 0;
                v = negative ? 0ULL - static_cast<unsigned long long>(s) : s;
            } else {
                v = va_arg(args, unsigned int);
                if (narrow) v = static_cast<unsigned short>(v);
            }
            int base = (conv == u'x' || conv == u'X' || conv == u'p') ? 16 : 10;
            const char* digits = conv == u'X' ? "0123456789ABCDEF" : "0123456789abcdef";
            WCHAR rev[32];
            int n = 0;
            do {
                rev[n++] = static_cast<WCHAR>(digits[v % base]);
                v /= base;
            } while (v);
            if (conv == u'p')
                while (n < 8)
                    rev[n++] = u'0';
            while (n < precision)
                rev[n++] = u'0';
            int k = 0;
            if (negative)
                tmp[k++] = u'-';
            else if (plus && base == 10 && conv != u'u')
                tmp[k++] = u'+';
            else if (space && base == 10 && conv != u'u')
                tmp[k++] = u' ';
            if (alt && base == 16) {
                tmp[k++] = u'0';
                tmp[k++] = conv == u'X' ? u'X' : u'x';
            }
            int signLen = k;
            while (n)
                tmp[k++] = rev[--n];
            if (zero && !left && precision < 0 && width > k) {
                // Zero padding goes between the sign and the digits.
                PutPadded(out, tmp, signLen, 0, false, u' ');
                PutPadded(out, tmp + signLen, k - signLen, width - signLen, false, u'0');
            } else {
                PutPadded(out, tmp, k, width, left, u' ');
            }
            break;
        }
        case u's':
        case u'S': {
            // In the wide functions %s is a WCHAR string, %S and %hs narrow.
            bool isNarrow = conv == u'S' ? !wide : narrow;
            if (isNarrow) {
                const char* s = va_arg(args, const char*);
                if (!s) s = "(null)";
                size_t n = std::strlen(s);
                if (precision >= 0 && n > static_cast<size_t>(precision)) n = precision;
                int fill = width > static_cast<int>(n) ? width - static_cast<int>(n) : 0;
                if (!left)
                    for (int i = 0; i < fill; ++i)
                        out.Put(u' ');
                for (size_t i = 0; i < n; ++i)
                    out.Put(static_cast<unsigned char>(s[i]));
                if (left)
                    for (int i = 0; i < fill; ++i)
                        out.Put(u' ');
            } else {
                const WCHAR* s = va_arg(args, const WCHAR*);
                if (!s) s = u"(null)";
                size_t n = 0;
                while (s[n] && (precision < 0 || n < static_cast<size_t>(precision)))
                    ++n;
                PutPadded(out, s, n, width, left, u' ');
            }
            break;
        }
        default:
            // Unknown conversions are copied as they stand.
            out.Put(u'%');
            if (conv) out.Put(conv);
        }
    }
    if (out.cap) out.buf[out.len] = 0;
    return out.len;
}

} // namespace

int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args) {
    Out o{out, 1024};
    return static_cast<int>(Format(o, format, args));
}

int wsprintfW(LPWSTR out, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = wvsprintfW(out, format, args);
    va_end(args);
    return n;
}

int _vsnwprintf(WCHAR* out, size_t count, const WCHAR* format, va_list args) {
    // Format with room for count units and a terminator; the caller's buffer
    // gets the terminator only when the text is shorter than count.
    WCHAR* scratch = new WCHAR[count + 1];
    Out o{scratch, count + 1};
    size_t n = Format(o, format, args);
    std::memcpy(out, scratch, (n < count ? n + 1 : n) * sizeof(WCHAR));
    delete[] scratch;
    return o.overflow ? -1 : static_cast<int>(n);
}

int _snwprintf(WCHAR* out, size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(out, count, format, args);
    va_end(args);
    return n;
}

int swprintf(WCHAR* out, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    Out o{out, SIZE_MAX};
    int n = static_cast<int>(Format(o, format, args));
    va_end(args);
    return n;
}
