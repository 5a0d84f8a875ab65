// The vCard reader: physical lines, logical lines, properties, cards, and
// the mapping of each card onto a contact record. vcard.h has the rules.
#include "pim/vcard.h"

#include <algorithm>
#include <array>
#include <optional>

#include "device/platform.h"

namespace handset {

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = Upper(c);
    return out;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A vCard's lines may keep their CR; blanks include line ends.
std::string_view Strip(std::string_view s) {
    return TrimLine(s);
}
std::u16string Strip(const std::u16string& s) {
    return std::u16string(TrimLine(std::u16string_view(s)));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

// ---- Lines -------------------------------------------------------------------

struct Line {
    std::string text;
    int number; // of its first physical line, from 1
};

// Physical lines, their ends (CRLF, LF or a lone CR) taken off.
std::vector<Line> PhysicalLines(std::string_view text) {
    std::vector<Line> lines;
    int number = 1;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        bool end = i == text.size();
        if (!end && text[i] != '\n' && text[i] != '\r') continue;
        // The text's last line end closes its last line; it opens no new one.
        if (!end || start < i)
            lines.push_back({std::string(text.substr(start, i - start)), number});
        if (end) break;
        if (text[i] == '\r') {
            // CR CR LF, as exporters that convert line ends twice write, is one end.
            size_t j = i;
            while (j + 1 < text.size() && text[j + 1] == '\r')
                ++j;
            if (j + 1 < text.size() && text[j + 1] == '\n') i = j + 1;
        }
        start = i + 1;
        ++number;
    }
    return lines;
}

// The ':' that ends a property's name and parameters: the first one outside
// double quotes, or failing that the first of all.
size_t FindColon(std::string_view line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return i;
    }
    return line.find(':');
}

// Splits at the separator outside double quotes.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"')
            quoted = !quoted;
        else if (s[i] == separator && !quoted) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

// ---- Properties ----------------------------------------------------------------

struct Param {
    std::string name; // upper case
    std::vector<std::string> values;
};

struct Property {
    std::string group;
    std::string name; // upper case
    std::vector<Param> params;
    std::string value; // as written: still encoded and escaped
    int line = 0;

    // The first value of the parameter, upper case; "" when absent.
    std::string ParamValue(std::string_view paramName) const {
        for (auto& p : params)
            if (p.name == paramName && !p.values.empty()) return UpperCase(Strip(p.values.front()));
        return "";
    }
    // Every TYPE, upper case: 3.0 lists and repeats, and 2.1 bare words.
    std::vector<std::string> Types() const {
        std::vector<std::string> types;
        for (auto& p : params)
            if (p.name == "TYPE")
                for (auto& v : p.values)
                    types.push_back(UpperCase(Strip(v)));
        return types;
    }
};

bool IsEncodingWord(std::string_view upper) {
    return upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "B" || upper == "8BIT" ||
           upper == "7BIT";
}

// Reads [group.]NAME[;param...] from the part of a line before its ':'.
Property ParseHead(std::string_view head) {
    Property p;
    auto pieces = SplitOutsideQuotes(head, ';');
    std::string_view name = Strip(pieces.front());
    if (size_t dot = name.rfind('.'); dot != std::string_view::npos) {
        p.group = std::string(name.substr(0, dot));
        name.remove_prefix(dot + 1);
    }
    p.name = UpperCase(name);
    for (size_t i = 1; i < pieces.size(); ++i) {
        std::string_view piece = Strip(pieces[i]);
        if (piece.empty()) continue;
        Param param;
        size_t eq = piece.find('=');
        if (eq == std::string_view::npos) {
            // 2.1 names a parameter by its value alone.
            std::string word = UpperCase(piece);
            param.name = IsEncodingWord(word) ? "ENCODING" : "TYPE";
            param.values.push_back(std::string(piece));
        } else {
            param.name = UpperCase(Strip(piece.substr(0, eq)));
            for (std::string_view v : SplitOutsideQuotes(piece.substr(eq + 1), ',')) {
                v = Strip(v);
                if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
                    v = v.substr(1, v.size() - 2);
                // A quoted list ("work,voice") is a list all the same.
                for (std::string_view item : SplitOutsideQuotes(v, ','))
                    param.values.push_back(std::string(Strip(item)));
            }
        }
        p.params.push_back(std::move(param));
    }
    return p;
}

// Whether a logical line, as it grows, is QUOTED-PRINTABLE: FindColon's
// answer kept up to date by scanning only what was added, and the head
// parsed again only when that answer moves (at most twice: to the first
// colon, then to a later one outside quotes). Asking anew after each
// continuation would rescan the whole line each time, quadratic in a long
// folded value whose head leaves a quote open.
class QuotedPrintableWatch {
  public:
    bool Of(std::string_view line) {
        for (; scanned_ < line.size() && outside_ == npos; ++scanned_) {
            char c = line[scanned_];
            if (c == '"') {
                quoted_ = !quoted_;
            } else if (c == ':') {
                if (first_ == npos) first_ = scanned_;
                if (!quoted_) outside_ = scanned_;
            }
        }
        size_t colon = outside_ != npos ? outside_ : first_;
        if (colon != parsedAt_) {
            parsedAt_ = colon;
            qp_ = colon != npos &&
                  ParseHead(line.substr(0, colon)).ParamValue("ENCODING") == "QUOTED-PRINTABLE";
        }
        return qp_;
    }
    // The line lost its last character (a soft break's '='), which is
    // neither a quote nor a colon.
    void Dropped(size_t size) { scanned_ = std::min(scanned_, size); }

  private:
    static constexpr size_t npos = std::string_view::npos;
    size_t scanned_ = 0;
    bool quoted_ = false;
    size_t first_ = npos;   // the first ':' of all
    size_t outside_ = npos; // the first ':' outside double quotes
    size_t parsedAt_ = npos;
    bool qp_ = false;
};

// Logical lines: folded lines unfolded, 2.1 soft line breaks joined, blank
// lines left out.
std::vector<Line> LogicalLines(const std::vector<Line>& physical) {
    std::vector<Line> logical;
    bool open = false; // the last logical line may still continue
    QuotedPrintableWatch watch;
    for (const Line& line : physical) {
        if (open) {
            Line& last = logical.back();
            if (!last.text.empty() && last.text.back() == '=' && watch.Of(last.text)) {
                last.text.pop_back();
                watch.Dropped(last.text.size());
                last.text += line.text;
                continue;
            }
            if (!line.text.empty() && (line.text[0] == ' ' || line.text[0] == '\t')) {
                last.text.append(line.text, 1);
                continue;
            }
        }
        if (Strip(line.text).empty()) {
            open = false;
            continue;
        }
        logical.push_back(line);
        watch = QuotedPrintableWatch();
        open = true;
    }
    return logical;
}

// ---- Values ----------------------------------------------------------------------

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Upper(c);
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '=') {
            out += s[i];
            continue;
        }
        int hi = i + 1 < s.size() ? HexDigit(s[i + 1]) : -1;
        int lo = i + 2 < s.size() ? HexDigit(s[i + 2]) : -1;
        if (hi >= 0 && lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (i + 1 == s.size()) {
            // A soft break at the very end: nothing follows.
        } else {
            out += '='; // malformed: kept as written
        }
    }
    return out;
}

std::optional<std::string> DecodeBase64(std::string_view s) {
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    bool padding = false;
    for (char c : s) {
        if (IsBlank(c)) continue;
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else if (c == '=') {
            padding = true;
            continue;
        } else
            return std::nullopt;
        if (padding) return std::nullopt; // data after the padding
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>(bits >> 16);
            out += static_cast<char>(bits >> 8);
            out += static_cast<char>(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count == 1) return std::nullopt;
    if (count == 2) out += static_cast<char>(bits >> 4);
    if (count == 3) {
        out += static_cast<char>(bits >> 10);
        out += static_cast<char>(bits >> 2);
    }
    return out;
}

enum class Charset { Utf8, Latin1, Windows1252 };

std::optional<Charset> CharsetNamed(std::string_view upper) {
    if (upper.empty() || upper == "UTF-8" || upper == "UTF8" || upper == "US-ASCII" ||
        upper == "ASCII")
        return Charset::Utf8;
    if (upper == "ISO-8859-1" || upper == "ISO8859-1" || upper == "LATIN1" || upper == "LATIN-1")
        return Charset::Latin1;
    if (upper == "WINDOWS-1252" || upper == "CP1252") return Charset::Windows1252;
    return std::nullopt;
}

// windows-1252 at 0x80..0x9F; the rest is Latin-1. Its five holes stay as C1.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::u16string ToUtf16(std::string_view bytes, Charset charset) {
    if (charset == Charset::Utf8) return Widen(bytes);
    std::u16string out;
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        if (charset == Charset::Windows1252 && b >= 0x80 && b < 0xA0)
            out += kWindows1252High[b - 0x80];
        else
            out += static_cast<char16_t>(b);
    }
    return out;
}

enum class Version { V21, V30, V40 };

// Splits at the separator where no backslash escapes it; the pieces keep
// their escapes.
std::vector<std::u16string> SplitUnescaped(const std::u16string& s, char16_t separator) {
    std::vector<std::u16string> parts(1);
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            parts.back() += s[i];
            parts.back() += s[++i];
        } else if (s[i] == separator) {
            parts.emplace_back();
        } else {
            parts.back() += s[i];
        }
    }
    return parts;
}

std::u16string Unescape(const std::u16string& s, Version version) {
    std::u16string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char16_t next = s[i + 1];
        if (version == Version::V21) {
            // 2.1 escapes only the separator; other backslashes are text.
            if (next == u';') ++i;
            out += s[i];
            continue;
        }
        ++i;
        if (next == u'n' || next == u'N')
            out += u"\r\n";
        else
            out += next;
    }
    return out;
}

// ---- Cards -----------------------------------------------------------------------

class CardMapper {
  public:
    CardMapper(std::string_view source, std::vector<std::string>* notes)
        : source_(source), notes_(notes) {}

    bool Map(const std::vector<Property>& props, ContactRecord* out, std::string* error);

  private:
    std::string Where(int line) const { return std::string(source_) + ":" + std::to_string(line); }
    void Note(const Property& p, const std::string& what) {
        notes_->push_back(Where(p.line) + ": " + what);
    }
    bool Fail(const Property& p, const std::string& what, std::string* error) const {
        *error = Where(p.line) + ": " + what;
        return false;
    }

    // The value decoded to text, escapes still in place.
    bool Decode(const Property& p, std::u16string* text, std::string* error) const;
    // The value split at each ';' no backslash escapes; escapes still in place.
    bool Components(const Property& p, std::vector<std::u16string>* parts,
                    std::string* error) const;
    bool Text(const Property& p, std::u16string* text, std::string* error) const;
    void PlaceNumber(const Property& p, std::u16string number, ContactRecord* c);

    std::string_view source_;
    std::vector<std::string>* notes_;
    Version version_ = Version::V30;
};

bool CardMapper::Decode(const Property& p, std::u16string* text, std::string* error) const {
    std::string encoding = p.ParamValue("ENCODING");
    std::string bytes;
    if (encoding == "QUOTED-PRINTABLE") {
        bytes = DecodeQuotedPrintable(p.value);
    } else if (encoding == "BASE64" || encoding == "B") {
        auto decoded = DecodeBase64(p.value);
        if (!decoded) return Fail(p, p.name + ": BASE64 value does not decode", error);
        bytes = std::move(*decoded);
    } else {
        bytes = p.value;
    }
    // The charset was checked when the property was read.
    *text = ToUtf16(bytes, *CharsetNamed(p.ParamValue("CHARSET")));
    return true;
}

bool CardMapper::Components(const Property& p, std::vector<std::u16string>* parts,
                            std::string* error) const {
    std::u16string text;
    if (!Decode(p, &text, error)) return false;
    parts->clear();
    for (auto& piece : SplitUnescaped(text, u';'))
        parts->push_back(piece);
    return true;
}

bool CardMapper::Text(const Property& p, std::u16string* text, std::string* error) const {
    std::u16string raw;
    if (!Decode(p, &raw, error)) return false;
    *text = Strip(Unescape(raw, version_));
    return true;
}

// Slots a number can take, in the order it takes them.
using Slot = std::u16string ContactRecord::*;

std::vector<Slot> SlotsFor(const std::vector<std::string>& types) {
    auto has = [&](std::string_view t) {
        return std::find(types.begin(), types.end(), t) != types.end();
    };
    if (has("FAX")) {
        if (has("WORK")) return {&ContactRecord::businessFaxNumber};
        return {&ContactRecord::homeFaxNumber};
    }
    if (has("PAGER")) return {&ContactRecord::pagerNumber};
    if (has("CELL") || has("MOBILE")) return {&ContactRecord::mobileTelephoneNumber};
    if (has("CAR")) return {&ContactRecord::carTelephoneNumber};
    if (has("RADIO")) return {&ContactRecord::radioTelephoneNumber};
    if (has("WORK"))
        return {&ContactRecord::businessTelephoneNumber, &ContactRecord::business2TelephoneNumber};
    if (has("HOME"))
        return {&ContactRecord::homeTelephoneNumber, &ContactRecord::home2TelephoneNumber};
    // Types that say how one reaches the number, not where it is.
    static const std::array<std::string_view, 6> kHow = {"VOICE", "PREF",  "MSG",
                                                         "TEXT",  "VIDEO", "TEXTPHONE"};
    bool onlyHow = std::all_of(types.begin(), types.end(), [](const std::string& t) {
        return t.empty() || std::find(kHow.begin(), kHow.end(), t) != kHow.end();
    });
    if (onlyHow) return {&ContactRecord::homeTelephoneNumber, &ContactRecord::home2TelephoneNumber};
    return {&ContactRecord::radioTelephoneNumber};
}

void CardMapper::PlaceNumber(const Property& p, std::u16string number, ContactRecord* c) {
    // A tel: URI: the number, without the URI's own parameters (;ext=...).
    if (number.size() >= 4 && (number[0] == u't' || number[0] == u'T') &&
        (number[1] == u'e' || number[1] == u'E') && (number[2] == u'l' || number[2] == u'L') &&
        number[3] == u':') {
        number = number.substr(4);
        if (size_t semi = number.find(u';'); semi != std::u16string::npos) number.resize(semi);
    }
    if (number.empty()) return;
    std::vector<Slot> slots = SlotsFor(p.Types());
    if (std::find(slots.begin(), slots.end(), &ContactRecord::radioTelephoneNumber) == slots.end())
        slots.push_back(&ContactRecord::radioTelephoneNumber);
    for (Slot slot : slots) {
        if ((c->*slot).empty()) {
            c->*slot = std::move(number);
            return;
        }
    }
    Note(p, "TEL " + Narrow(number) + " not kept: every slot it can take is in use");
}

bool CardMapper::Map(const std::vector<Property>& props, ContactRecord* out, std::string* error) {
    version_ = Version::V30;
    for (const Property& p : props) {
        if (p.name != "VERSION") continue;
        std::string_view v = Strip(p.value);
        if (v == "2.1")
            version_ = Version::V21;
        else if (v == "3.0")
            version_ = Version::V30;
        else if (v == "4.0")
            version_ = Version::V40;
        else
            return Fail(p, "vCard version '" + std::string(v) + "' is not supported", error);
        break;
    }

    ContactRecord c;
    bool haveName = false, haveOrg = false;
    std::u16string formatted, fileAs;
    Slot emails[] = {&ContactRecord::email1Address, &ContactRecord::email2Address,
                     &ContactRecord::email3Address};
    auto single = [&](const Property& prop, std::u16string* dest, const std::u16string& text) {
        if (text.empty()) return;
        if (dest->empty())
            *dest = text;
        else
            Note(prop, prop.name + " after the first not kept");
    };

    for (const Property& p : props) {
        if (p.name == "N") {
            std::vector<std::u16string> parts;
            if (!Components(p, &parts, error)) return false;
            bool empty = std::all_of(parts.begin(), parts.end(),
                                     [](const std::u16string& s) { return Strip(s).empty(); });
            if (empty) continue;
            if (haveName) {
                Note(p, "N after the first not kept");
                continue;
            }
            haveName = true;
            Slot fields[] = {&ContactRecord::lastName, &ContactRecord::firstName,
                             &ContactRecord::middleName, &ContactRecord::title,
                             &ContactRecord::suffix};
            for (size_t i = 0; i < parts.size() && i < 5; ++i) {
                std::u16string joined;
                // 3.0 lists several values in one component.
                auto values = version_ == Version::V21 ? std::vector<std::u16string>{parts[i]}
                                                       : SplitUnescaped(parts[i], u',');
                std::u16string glue = i >= 3 ? u", " : u" ";
                for (auto& v : values) {
                    std::u16string t = Strip(Unescape(v, version_));
                    if (t.empty()) continue;
                    if (!joined.empty()) joined += glue;
                    joined += t;
                }
                c.*fields[i] = joined;
            }
        } else if (p.name == "FN" || p.name == "X-EVOLUTION-FILE-AS" || p.name == "TITLE") {
            std::u16string text;
            if (!Text(p, &text, error)) return false;
            std::u16string* dest = p.name == "FN"      ? &formatted
                                   : p.name == "TITLE" ? &c.jobTitle
                                                       : &fileAs;
            single(p, dest, text);
        } else if (p.name == "ORG") {
            std::vector<std::u16string> parts;
            if (!Components(p, &parts, error)) return false;
            std::u16string company = parts.size() > 0 ? Strip(Unescape(parts[0], version_)) : u"";
            std::u16string department =
                parts.size() > 1 ? Strip(Unescape(parts[1], version_)) : u"";
            if (company.empty() && department.empty()) continue;
            if (haveOrg) {
                Note(p, "ORG after the first not kept");
                continue;
            }
            haveOrg = true;
            c.companyName = company;
            c.department = department;
        } else if (p.name == "EMAIL") {
            std::u16string text;
            if (!Text(p, &text, error)) return false;
            if (text.empty()) continue;
            Slot* free = std::find_if(std::begin(emails), std::end(emails),
                                      [&](Slot s) { return (c.*s).empty(); });
            if (free == std::end(emails))
                Note(p, "EMAIL " + Narrow(text) + " not kept: a contact holds three addresses");
            else
                c.** free = text;
        } else if (p.name == "TEL") {
            std::u16string text;
            if (!Text(p, &text, error)) return false;
            PlaceNumber(p, std::move(text), &c);
        }
    }
    c.fileAs = !fileAs.empty() ? fileAs : formatted;
    *out = std::move(c);
    return true;
}

} // namespace

bool ParseVcards(std::string_view text, std::string_view sourceName, VcardResult* out,
                 std::string* error) {
    std::string source(sourceName);
    auto fail = [&](int line, const std::string& what) {
        *error = source + ":" + std::to_string(line) + ": " + what;
        return false;
    };

    if (text.size() >= 2 &&
        ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF') ||
         text[0] == '\0' || text[1] == '\0'))
        return fail(1, "UTF-16 text is not supported; save the file as UTF-8");
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    VcardResult result;
    CardMapper mapper(source, &result.notes);
    bool inCard = false;
    int beginLine = 0;
    std::vector<Property> props;

    for (const Line& line : LogicalLines(PhysicalLines(text))) {
        size_t colon = FindColon(line.text);
        std::optional<Property> prop;
        if (colon != std::string::npos) {
            prop = ParseHead(std::string_view(line.text).substr(0, colon));
            prop->value = line.text.substr(colon + 1);
            prop->line = line.number;
        }
        bool isBegin = prop && prop->name == "BEGIN" && EqualsNoCase(Strip(prop->value), "VCARD");
        bool isEnd = prop && prop->name == "END" && EqualsNoCase(Strip(prop->value), "VCARD");

        if (!inCard) {
            if (isBegin) {
                inCard = true;
                beginLine = line.number;
                props.clear();
                continue;
            }
            if (isEnd) return fail(line.number, "END:VCARD without BEGIN:VCARD");
            return fail(line.number, "text outside a card");
        }
        if (!prop) return fail(line.number, "no ':' in the line");
        if (prop->name.empty()) return fail(line.number, "a property without a name");
        if (isBegin)
            return fail(line.number, "BEGIN:VCARD inside the card begun at line " +
                                         std::to_string(beginLine) + " (its END:VCARD is missing)");
        if (isEnd) {
            ContactRecord contact;
            if (!mapper.Map(props, &contact, error)) return false;
            result.contacts.push_back(std::move(contact));
            inCard = false;
            continue;
        }
        std::string encoding = prop->ParamValue("ENCODING");
        if (!encoding.empty() && !IsEncodingWord(encoding))
            return fail(line.number, prop->name + ": unknown ENCODING '" + encoding + "'");
        std::string charset = prop->ParamValue("CHARSET");
        if (!CharsetNamed(charset))
            return fail(line.number, prop->name + ": unknown CHARSET '" + charset + "'");
        props.push_back(std::move(*prop));
    }
    if (inCard) return fail(beginLine, "card has no END:VCARD");
    if (result.contacts.empty()) {
        *error = source + ": no vCard in the text";
        return false;
    }
    *out = std::move(result);
    return true;
}

} // namespace handset
