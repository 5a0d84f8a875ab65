// Text helpers the handset's areas share: UTF-8/UTF-16 conversion for the
// handset's own texts and for files it reads, ASCII case folding, and
// trimming of blanks.
#pragma once

#include <string>
#include <string_view>

namespace handset {

// UTF-16 to UTF-8. A lone surrogate is written as its three-byte form, so
// that what the handset writes it can read back.
std::string Narrow(std::u16string_view s);
// UTF-8 to UTF-16, strictly: overlong forms, code points past U+10FFFF and
// surrogates other than the lone ones Narrow writes are not UTF-8. Bytes that
// are not UTF-8 are read as Latin-1, each on its own, as old 8-bit exporters
// wrote them; so no byte but 00 gives U+0000.
std::u16string Widen(std::string_view s);

// A-Z turned to a-z and nothing else: the case rule of the phone's file and
// window names as the handset compares them.
std::u16string FoldAscii(std::u16string_view s);

// Blanks are spaces and tabs; TrimLine also takes CR and LF.
std::string_view Trim(std::string_view s);
std::u16string_view Trim(std::u16string_view s);
std::string_view TrimLine(std::string_view s);
std::u16string_view TrimLine(std::u16string_view s);

} // namespace handset
