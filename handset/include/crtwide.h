// The Windows CE C runtime's wide-string functions, for the platform's 16-bit
// WCHAR. They overload the host's wchar_t functions, which stay untouched, and
// so keep C++ linkage where the phone's headers declare them extern "C".
#ifndef HANDSET_CRTWIDE_H
#define HANDSET_CRTWIDE_H

#include <stdarg.h>
// The host's own wide functions first, so that the C++ library's std:: names
// refer to them alone and the overloads below stay the platform's.
#include <cwchar>
#include "windef.h"

// Character classes of iswctype, as the phone's CRT numbers them.
#define _UPPER 0x1
#define _LOWER 0x2
#define _DIGIT 0x4
#define _SPACE 0x8
#define _PUNCT 0x10
#define _CONTROL 0x20
#define _BLANK 0x40
#define _HEX 0x80
#define _ALPHA (0x0100 | _UPPER | _LOWER)

// With a 16-bit wchar_t (the C++03 check) these are the host's own.
#if __cplusplus >= 201103L
size_t wcslen(const WCHAR* s);
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t count);
WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t count);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count);
WCHAR* wcschr(const WCHAR* s, WCHAR c);
WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
WCHAR* wcsstr(const WCHAR* s, const WCHAR* find);
#endif

// The CRT's own: no host has them.
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count);

int iswctype(WCHAR c, int type);
int iswdigit(WCHAR c);
int iswalpha(WCHAR c);
int iswspace(WCHAR c);
int iswupper(WCHAR c);
int iswlower(WCHAR c);
#if __cplusplus >= 201103L
WCHAR towlower(WCHAR c);
WCHAR towupper(WCHAR c);
long wcstol(const WCHAR* s, WCHAR** end, int base);
unsigned long wcstoul(const WCHAR* s, WCHAR** end, int base);
#endif
int _wtoi(const WCHAR* s);

// Formatting. wsprintfW writes at most 1024 units, terminator included, as
// on the phone; _snwprintf writes at most count units and returns -1 when
// the text did not fit (then without a terminator, as the CRT does).
int wsprintfW(LPWSTR out, LPCWSTR format, ...);
int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args);
int _snwprintf(WCHAR* out, size_t count, const WCHAR* format, ...);
int _vsnwprintf(WCHAR* out, size_t count, const WCHAR* format, va_list args);
int swprintf(WCHAR* out, const WCHAR* format, ...);

#define wsprintf wsprintfW
#define wvsprintf wvsprintfW

#endif
