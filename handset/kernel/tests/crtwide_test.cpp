// The CE wide-string runtime on 16-bit WCHAR.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace {
std::u16string S(const WCHAR* s) {
    return s;
}
} // namespace

TEST(CrtWide, CopyCompareAndSearch) {
    WCHAR buf[16];
    wcscpy(buf, u"abc");
    wcscat(buf, u"DEF");
    EXPECT_EQ(u"abcDEF", S(buf));
    EXPECT_EQ(6u, wcslen(buf));
    EXPECT_EQ(0, _wcsicmp(buf, u"ABCdef"));
    EXPECT_LT(wcscmp(u"abc", u"abd"), 0);
    EXPECT_EQ(u"DEF", S(wcschr(buf, u'D')));
    EXPECT_EQ(u"cDEF", S(wcsstr(buf, u"cD")));
    EXPECT_EQ(nullptr, wcschr(buf, u'z'));

    WCHAR pad[6] = {1, 1, 1, 1, 1, 1};
    wcsncpy(pad, u"ab", 5);
    EXPECT_EQ(0, pad[4]) << "wcsncpy pads with zeros";
    EXPECT_EQ(1, pad[5]) << "and writes no further";
}

TEST(CrtWide, DigitClassCoversTheDigitsOfOtherScripts) {
    struct Case {
        int line;
        WCHAR c;
        bool digit;
    } cases[] = {
        {__LINE__, u'0', true},  {__LINE__, u'9', true},    {__LINE__, u'a', false},
        {__LINE__, u'+', false}, {__LINE__, 0x0663, true},  {__LINE__, 0xFF15, true},
        {__LINE__, u' ', false}, {__LINE__, 0x00B2, false}, // superscript two is no decimal digit
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.digit, iswctype(c.c, _DIGIT) != 0) << "line " << c.line << " char " << int(c.c);
}

TEST(CrtWide, FormattingOfTheUsedConversions) {
    WCHAR out[64];
    struct Case {
        int line;
        std::u16string expected;
        int written;
    };
    Case cases[] = {
        {__LINE__, u"5 sec", wsprintfW(out, u"%d sec", 5)},
        {__LINE__, u"-12|  7|007|ff|FF", 0},
    };
    EXPECT_EQ(cases[0].expected, S(out)) << "line " << cases[0].line;
    EXPECT_EQ(5, cases[0].written);
    wsprintfW(out, u"%d|%3d|%03d|%x|%X", -12, 7, 7, 255, 255);
    EXPECT_EQ(cases[1].expected, S(out)) << "line " << cases[1].line;
    wsprintfW(out, u"%s and %-4s|%.2s", u"wide", u"ab", u"xyz");
    EXPECT_EQ(u"wide and ab  |xy", S(out));
    wsprintfW(out, u"%02d:%02d", 3, 9);
    EXPECT_EQ(u"03:09", S(out));
}

TEST(CrtWide, BoundedFormattingNeverWritesPastTheCount) {
    WCHAR out[8];
    for (auto& c : out)
        c = u'#';
    EXPECT_EQ(-1, _snwprintf(out, 4, u"%d", 123456));
    EXPECT_EQ(u'1', out[0]);
    EXPECT_EQ(u'4', out[3]);
    EXPECT_EQ(u'#', out[4]) << "nothing past the count";
    EXPECT_EQ(3, _snwprintf(out, 4, u"%d", 123));
    EXPECT_EQ(u"123", S(out));
}

TEST(CrtWide, NumbersParse) {
    WCHAR* end = nullptr;
    EXPECT_EQ(255, wcstol(u"0xff!", &end, 0));
    EXPECT_EQ(u'!', *end);
    EXPECT_EQ(-42, _wtoi(u"  -42abc"));
    EXPECT_EQ(8, wcstol(u"010", nullptr, 0));
}
