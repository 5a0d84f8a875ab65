// UTF-8 decoding: which byte sequences are UTF-8, what the rest become, and
// that the handset reads back what it writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/text.h"

using handset::Narrow;
using handset::Widen;

namespace {

// "00C0 0080": the units, so that a failure shows each one.
std::string Units(std::u16string_view s) {
    std::string out;
    char buf[8];
    for (char16_t c : s) {
        std::snprintf(buf, sizeof buf, "%s%04X", out.empty() ? "" : " ", unsigned(c));
        out += buf;
    }
    return out;
}

} // namespace

TEST(Widen, DecodesStrictUtf8AndTakesEveryOtherByteAsLatin1) {
    struct Case {
        int line;
        std::string bytes;
        std::u16string want;
    } cases[] = {
        {__LINE__, "", u""},
        {__LINE__, "A~", u"A~"},
        {__LINE__, "\xC3\xA9", u"\u00E9"},
        {__LINE__, "\xDF\xBF", u"\u07FF"},
        {__LINE__, "\xE0\xA0\x80", u"\u0800"},
        {__LINE__, "\xE2\x82\xAC", u"\u20AC"},
        {__LINE__, "\xEF\xBF\xBF", u"\uFFFF"},
        {__LINE__, "\xF0\x90\x80\x80", u"\U00010000"},
        {__LINE__, "\xF0\x9F\x93\x9E", u"\U0001F4DE"},
        {__LINE__, "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        // Overlong forms: each byte Latin-1, so none of them hides a NUL or a ')'.
        {__LINE__, "\xC0\x80", u"\u00C0\u0080"},
        {__LINE__, "\xC0\xA9", u"\u00C0\u00A9"},
        {__LINE__, "\xC1\xBF", u"\u00C1\u00BF"},
        {__LINE__, "\xE0\x80\x80", u"\u00E0\u0080\u0080"},
        {__LINE__, "\xE0\x9F\xBF", u"\u00E0\u009F\u00BF"},
        {__LINE__, "\xF0\x8F\xBF\xBF", u"\u00F0\u008F\u00BF\u00BF"},
        // Past U+10FFFF.
        {__LINE__, "\xF4\x90\x80\x80", u"\u00F4\u0090\u0080\u0080"},
        {__LINE__, "\xF5\x80\x80\x80", u"\u00F5\u0080\u0080\u0080"},
        {__LINE__, "\xF7\xBF\xBF\xBF", u"\u00F7\u00BF\u00BF\u00BF"},
        {__LINE__, "\xFF\xFE", u"\u00FF\u00FE"},
        // Cut short or broken: the lead byte alone is Latin-1, the rest read afresh.
        {__LINE__, "caf\xE9", u"caf\u00E9"},
        {__LINE__, "\x80", u"\u0080"},
        {__LINE__, "\xE2\x82", u"\u00E2\u0082"},
        {__LINE__, "\xE2\x82\x41", u"\u00E2\u0082A"},
        {__LINE__, "\xC3\xC3\xA9", u"\u00C3\u00E9"},
        {__LINE__, "\xF0\x9F\x93\xC3\xA9", u"\u00F0\u009F\u0093\u00E9"},
        // Lone surrogates as Narrow writes them read back...
        {__LINE__, "\xED\xA0\x80", u"\xD800"},
        {__LINE__, "\xED\xBF\xBF", u"\xDFFF"},
        {__LINE__, "\xED\xB0\x80\xED\xA0\x80", u"\xDC00\xD800"},
        {__LINE__, "\xED\xA0\x80\xF0\x9F\x93\x9E", u"\xD800\xD83D\xDCDE"},
        // ...but a high one encoded before a low one is no writing of Narrow's.
        {__LINE__, "\xED\xA0\x80\xED\xB0\x80", u"\u00ED\u00A0\u0080\u00ED\u00B0\u0080"},
        {__LINE__, "\xED\x9F\xBF", u"\uD7FF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        EXPECT_EQ(Units(c.want), Units(Widen(c.bytes)));
    }
}

TEST(Widen, ReadsBackWhatNarrowWrites) {
    const std::u16string texts[] = {
        u"plain",          u"Gr\u00FC\u00DFe \u20AC \U0001F4DE",
        u"\xD800",         u"\xDC00",
        u"\xDC00\xD800",   u"\xD800\xD800\xDC00",
        u"a\xDBFFz\xDC00", u"\U0010FFFF\xD800",
    };
    for (const auto& text : texts)
        EXPECT_EQ(Units(text), Units(Widen(Narrow(text))));
}
