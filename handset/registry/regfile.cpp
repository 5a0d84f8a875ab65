// .reg text: loading the registry from the files desktop and phone registry
// editors write, and saving it back.
//
// Text. A file is UTF-16LE when it starts with that byte-order mark, else
// UTF-8 (with or without its mark); bytes that are not UTF-8 are taken as
// Latin-1, as the old 8-bit exporters wrote it. Saving writes REGEDIT4 with
// its strings in UTF-8: phone settings hold names and text beyond any one
// code page, and UTF-8 keeps them all while staying plain ASCII for the rest.
// hex(N) data are the value's bytes as stored, UTF-16LE for the string types,
// under either header: the phone stores UTF-16, and bytes pass unchanged.
//
// Depth. A key path deeper than Registry::kMaxKeyDepth levels is refused
// with its line, as no registry can hold it; the cap also bounds saving,
// whose sections each repeat their whole path.
//
// Order. Saving writes the roots in a fixed order and, below each, the keys
// depth first and the values in enumeration (creation) order. Loading makes
// keys and values in file order, so a saved file loads back to the same tree
// in the same order and saves again to the same text.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/file.h"
#include "device/platform.h"
#include "registry/registry.h"

namespace handset {

namespace {

struct RootName {
    const char16_t* name;
    HKEY key;
};
// Also the order in which saving writes them.
const RootName kRoots[] = {{u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                           {u"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                           {u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                           {u"HKEY_USERS", HKEY_USERS}};

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// For messages: a piece of the line, cut when long.
std::string Quote(std::u16string_view s) {
    std::string text = Narrow(s.substr(0, 40));
    if (s.size() > 40) text += "...";
    return "'" + text + "'";
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// 1 to `digits` hex digits, the whole of s.
bool ParseHex(std::u16string_view s, size_t digits, DWORD* value) {
    if (s.empty() || s.size() > digits) return false;
    DWORD v = 0;
    for (char16_t c : s) {
        int d = HexDigit(c);
        if (d < 0) return false;
        v = v << 4 | DWORD(d);
    }
    *value = v;
    return true;
}

// One change the file asks for, in file order.
struct Op {
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue } kind;
    HKEY root;
    std::u16string path;
    std::u16string name;
    RegValue value;
};

class Parser {
  public:
    Parser(std::string_view source, std::vector<std::u16string> lines)
        : source_(source), lines_(std::move(lines)) {}

    bool Run(std::vector<Op>* ops, std::string* error);

  private:
    bool Fail(size_t line, const std::string& message) {
        error_ = std::string(source_) + ":" + std::to_string(line + 1) + ": " + message;
        return false;
    }
    bool Section(size_t line, std::u16string_view text);
    bool Value(size_t* line, std::u16string_view text);
    // A quoted string at s[*pos] ('"' there); *pos ends after the closing quote.
    bool QuotedString(size_t line, std::u16string_view s, size_t* pos, std::u16string* out);
    // Comma-separated bytes from `first` on, going on over lines ending in '\'.
    bool HexBytes(size_t* line, std::u16string_view first, std::vector<BYTE>* out);

    std::string_view source_;
    std::vector<std::u16string> lines_;
    std::string error_;
    std::vector<Op> ops_;

    enum class In { Nothing, Key, DeletedKey } in_ = In::Nothing;
    HKEY root_ = nullptr;
    std::u16string path_;
};

bool Parser::Run(std::vector<Op>* ops, std::string* error) {
    size_t line = 0;
    while (line < lines_.size() && Trim(lines_[line]).empty())
        ++line;
    if (line == lines_.size()) {
        Fail(0, "empty file: expected REGEDIT4");
        *error = error_;
        return false;
    }
    std::u16string_view header = Trim(lines_[line]);
    if (header != u"REGEDIT4" && header != u"Windows Registry Editor Version 5.00") {
        Fail(line, "not a registry file: expected REGEDIT4 or Windows Registry Editor "
                   "Version 5.00, found " +
                       Quote(header));
        *error = error_;
        return false;
    }
    for (++line; line < lines_.size(); ++line) {
        std::u16string_view text = Trim(lines_[line]);
        bool ok = true;
        if (text.empty() || text.front() == u';')
            continue;
        else if (text.front() == u'[')
            ok = Section(line, text);
        else if (text.front() == u'"' || text.front() == u'@')
            ok = Value(&line, text);
        else
            ok = Fail(line, "unexpected text " + Quote(text));
        if (!ok) {
            *error = error_;
            return false;
        }
    }
    *ops = std::move(ops_);
    return true;
}

bool Parser::Section(size_t line, std::u16string_view text) {
    if (text.back() != u']') return Fail(line, "missing ']' at the end of " + Quote(text));
    std::u16string_view inner = text.substr(1, text.size() - 2);
    bool remove = !inner.empty() && inner.front() == u'-';
    if (remove) inner.remove_prefix(1);
    size_t slash = inner.find(u'\\');
    std::u16string_view rootName = inner.substr(0, slash);
    std::u16string_view path =
        slash == std::u16string_view::npos ? std::u16string_view() : inner.substr(slash + 1);
    HKEY root = nullptr;
    for (const RootName& r : kRoots)
        if (SameName(rootName, r.name)) root = r.key;
    if (!root) return Fail(line, "unknown root key " + Quote(rootName));
    if (slash != std::u16string_view::npos) {
        size_t start = 0, depth = 0;
        for (;;) {
            size_t end = path.find(u'\\', start);
            std::u16string_view name = path.substr(
                start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start);
            if (name.empty()) return Fail(line, "empty key name in " + Quote(inner));
            if (name.size() > Registry::kMaxKeyName)
                return Fail(line, "key name longer than " + std::to_string(Registry::kMaxKeyName) +
                                      " characters: " + Quote(name));
            if (++depth > Registry::kMaxKeyDepth)
                return Fail(line, "key path deeper than " + std::to_string(Registry::kMaxKeyDepth) +
                                      " levels: " + Quote(inner));
            if (end == std::u16string_view::npos) break;
            start = end + 1;
        }
    }
    if (remove && path.empty()) return Fail(line, "a root key cannot be deleted");
    in_ = remove ? In::DeletedKey : In::Key;
    root_ = root;
    path_ = std::u16string(path);
    ops_.push_back({remove ? Op::DeleteKey : Op::CreateKey, root, path_, u"", {}});
    return true;
}

bool Parser::QuotedString(size_t line, std::u16string_view s, size_t* pos, std::u16string* out) {
    std::u16string text;
    for (size_t i = *pos + 1; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c == u'"') {
            *pos = i + 1;
            *out = std::move(text);
            return true;
        }
        if (c == u'\\') {
            if (i + 1 == s.size()) break;
            char16_t next = s[++i];
            if (next != u'\\' && next != u'"')
                return Fail(line, "unknown escape '\\" + Narrow(std::u16string(1, next)) +
                                      "' in a string");
            c = next;
        }
        text += c;
    }
    return Fail(line, "string without its closing quote: " + Quote(s.substr(*pos)));
}

bool Parser::Value(size_t* line, std::u16string_view text) {
    const size_t first = *line;
    if (in_ == In::Nothing) return Fail(first, "value outside of a key section");
    if (in_ == In::DeletedKey) return Fail(first, "value under a key that is being deleted");

    std::u16string name;
    size_t pos = 0;
    if (text.front() == u'@') {
        pos = 1;
    } else if (!QuotedString(first, text, &pos, &name)) {
        return false;
    }
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    if (pos == text.size() || text[pos] != u'=')
        return Fail(first, "expected '=' after the value name");
    std::u16string_view data = Trim(text.substr(pos + 1));

    Op op{Op::SetValue, root_, path_, name, {}};
    if (data.empty()) return Fail(first, "value without data");
    if (data.front() == u'"') {
        size_t end = 0;
        std::u16string s;
        if (!QuotedString(first, data, &end, &s)) return false;
        if (end != data.size())
            return Fail(first, "unexpected text after the string: " + Quote(data.substr(end)));
        op.value.type = REG_SZ;
        for (char16_t c : s) {
            op.value.data.push_back(BYTE(c));
            op.value.data.push_back(BYTE(c >> 8));
        }
        op.value.data.push_back(0);
        op.value.data.push_back(0);
    } else if (data == u"-") {
        op.kind = Op::DeleteValue;
    } else {
        size_t colon = data.find(u':');
        if (colon == std::u16string_view::npos) return Fail(first, "bad value data " + Quote(data));
        std::u16string_view kind = data.substr(0, colon);
        std::u16string_view rest = data.substr(colon + 1);
        if (SameName(kind, u"dword")) {
            DWORD v = 0;
            if (!ParseHex(Trim(rest), 8, &v))
                return Fail(first, "bad dword " + Quote(rest) + ": expected 1 to 8 hex digits");
            op.value.type = REG_DWORD;
            op.value.data = {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)};
        } else if (SameName(kind, u"hex") ||
                   (kind.size() > 5 && SameName(kind.substr(0, 4), u"hex(") &&
                    kind.back() == u')')) {
            op.value.type = REG_BINARY;
            if (kind.size() > 3 && !ParseHex(kind.substr(4, kind.size() - 5), 8, &op.value.type))
                return Fail(first,
                            "bad value type in " + Quote(kind) + ": expected hex(N), N in hex");
            if (!HexBytes(line, rest, &op.value.data)) return false;
        } else {
            return Fail(first, "unknown value type " + Quote(kind));
        }
    }
    ops_.push_back(std::move(op));
    return true;
}

bool Parser::HexBytes(size_t* line, std::u16string_view first, std::vector<BYTE>* out) {
    std::u16string_view piece = Trim(first);
    for (;;) {
        bool more = !piece.empty() && piece.back() == u'\\';
        if (more) piece = Trim(piece.substr(0, piece.size() - 1));
        size_t start = 0;
        while (start < piece.size()) {
            size_t comma = piece.find(u',', start);
            std::u16string_view token = Trim(piece.substr(start, comma == std::u16string_view::npos
                                                                     ? std::u16string_view::npos
                                                                     : comma - start));
            DWORD byte = 0;
            if (!ParseHex(token, 2, &byte))
                return Fail(*line, token.empty() ? "empty byte in hex data"
                                                 : "bad byte " + Quote(token) + " in hex data");
            out->push_back(BYTE(byte));
            if (comma == std::u16string_view::npos) break;
            start = comma + 1; // a comma may end the piece before its '\'
        }
        if (!more) return true;
        if (*line + 1 == lines_.size())
            return Fail(*line, "hex data continues past the end of the file");
        piece = Trim(lines_[++*line]);
    }
}

// The text of a file as lines, or what keeps it from being read as text.
bool Decode(std::string_view bytes, std::vector<std::u16string>* lines, std::string* problem) {
    std::u16string text;
    auto at = [](std::string_view b, size_t i) { return static_cast<unsigned char>(b[i]); };
    if (bytes.size() >= 2 && at(bytes, 0) == 0xFE && at(bytes, 1) == 0xFF) {
        *problem = "1: UTF-16 big-endian text is not supported; save it as UTF-16LE or UTF-8";
        return false;
    }
    if (bytes.size() >= 2 && at(bytes, 0) == 0xFF && at(bytes, 1) == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += char16_t(at(bytes, i) | at(bytes, i + 1) << 8);
        if (bytes.size() % 2 != 0) {
            size_t n = 1;
            for (char16_t c : text)
                n += c == u'\n';
            *problem = std::to_string(n) + ": UTF-16 text cut in the middle of a character";
            return false;
        }
    } else {
        if (bytes.size() >= 3 && at(bytes, 0) == 0xEF && at(bytes, 1) == 0xBB &&
            at(bytes, 2) == 0xBF)
            bytes.remove_prefix(3);
        text = Widen(bytes);
    }
    lines->clear();
    size_t start = 0;
    for (;;) {
        size_t end = text.find(u'\n', start);
        std::u16string line = text.substr(start, end == std::u16string::npos ? end : end - start);
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        if (line.find(u'\0') != std::u16string::npos) {
            *problem = std::to_string(lines->size() + 1) +
                       ": NUL character in the text (UTF-16 without its byte-order mark?)";
            return false;
        }
        lines->push_back(std::move(line));
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    // The break that ends the last line does not start another.
    if (lines->size() > 1 && lines->back().empty()) lines->pop_back();
    return true;
}

// ---- Writing -------------------------------------------------------------------

void AppendQuoted(std::u16string_view s, std::string* out) {
    std::u16string escaped;
    for (char16_t c : s) {
        if (c == u'\\' || c == u'"') escaped += u'\\';
        escaped += c;
    }
    // Whole, so that a surrogate pair becomes one UTF-8 sequence.
    *out += '"' + Narrow(escaped) + '"';
}

bool HasLineBreak(std::u16string_view s) {
    return s.find(u'\n') != std::u16string_view::npos || s.find(u'\r') != std::u16string_view::npos;
}

// The text of a REG_SZ that can be written as a quoted string: one
// terminator at the very end, no other NUL, no line break, no lone surrogate.
std::optional<std::u16string> PlainString(const RegValue& v) {
    const auto& d = v.data;
    if (v.type != REG_SZ || d.size() < 2 || d.size() % 2 != 0) return std::nullopt;
    std::u16string s;
    for (size_t i = 0; i < d.size(); i += 2)
        s += char16_t(d[i] | d[i + 1] << 8);
    if (s.back() != 0) return std::nullopt;
    s.pop_back();
    if (s.find(u'\0') != std::u16string::npos || HasLineBreak(s)) return std::nullopt;
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 1 == s.size() || s[i + 1] < 0xDC00 || s[i + 1] >= 0xE000) return std::nullopt;
            ++i;
        } else if (c >= 0xDC00 && c < 0xE000) {
            return std::nullopt;
        }
    }
    return s;
}

void AppendValue(const Registry::NamedValue& nv, std::string* out) {
    std::string line;
    if (nv.name.empty())
        line = "@";
    else
        AppendQuoted(nv.name, &line);
    line += '=';
    const RegValue& v = nv.value;
    char buf[32];
    if (auto s = PlainString(v)) {
        AppendQuoted(*s, &line);
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d = DWORD(v.data[0]) | DWORD(v.data[1]) << 8 | DWORD(v.data[2]) << 16 |
                  DWORD(v.data[3]) << 24;
        std::snprintf(buf, sizeof buf, "dword:%08x", d);
        line += buf;
    } else {
        if (v.type == REG_BINARY) {
            line += "hex:";
        } else {
            std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
            line += buf;
        }
        // Wrapped as the desktop editor wraps it, near 80 columns.
        for (size_t i = 0; i < v.data.size(); ++i) {
            std::snprintf(buf, sizeof buf, "%02x", v.data[i]);
            line += buf;
            if (i + 1 == v.data.size()) break;
            line += ',';
            if (line.size() > 76) {
                *out += line + "\\\r\n";
                line = "  ";
            }
        }
    }
    *out += line + "\r\n";
}

} // namespace

// ---- Registry ------------------------------------------------------------------

bool Registry::LoadRegText(std::string_view text, std::string_view source, std::string* error) {
    std::vector<std::u16string> lines;
    std::string problem;
    if (!Decode(text, &lines, &problem)) {
        if (error) *error = std::string(source) + ":" + problem;
        return false;
    }
    std::vector<Op> ops;
    std::string message;
    if (!Parser(source, std::move(lines)).Run(&ops, &message)) {
        if (error) *error = message;
        return false;
    }
    // Everything parsed: nothing below can fail.
    for (Op& op : ops) {
        std::shared_ptr<Key> key;
        bool created = false;
        switch (op.kind) {
        case Op::CreateKey:
            Create(RootShared(op.root), op.path, u"", &key, &created);
            break;
        case Op::DeleteKey:
            if (Find(RootShared(op.root), op.path, &key) == ERROR_SUCCESS) Remove(*key);
            break;
        case Op::SetValue:
            Create(RootShared(op.root), op.path, u"", &key, &created);
            key->SetValue(op.name, std::move(op.value));
            break;
        case Op::DeleteValue:
            if (Find(RootShared(op.root), op.path, &key) == ERROR_SUCCESS)
                key->DeleteValue(op.name);
            break;
        }
    }
    platform_.timeline().Record("registry.load", {{"source", source}, {"changes", ops.size()}});
    return true;
}

bool Registry::LoadRegFile(const std::string& path, std::string* error) {
    std::string bytes;
    if (!ReadWholeFile(path, &bytes, error)) return false;
    return LoadRegText(bytes, path, error);
}

bool Registry::Serialize(std::string* out, std::string* error) const {
    std::string text = "REGEDIT4\r\n";
    for (const RootName& r : kRoots) {
        std::vector<const Key*> pending{&Root(r.key)};
        while (!pending.empty()) {
            const Key* key = pending.back();
            pending.pop_back();
            std::u16string path = PathOf(*key);
            if (HasLineBreak(key->name)) {
                *error = "a key name with a line break cannot be written: " + Narrow(path);
                return false;
            }
            // A root is written only for its own values; its keys name it anyway.
            if (key->parent || !key->values.empty()) {
                text += "\r\n[" + Narrow(path) + "]\r\n";
                for (const NamedValue& v : key->values) {
                    if (HasLineBreak(v.name)) {
                        *error =
                            "a value name with a line break cannot be written: " + Narrow(path) +
                            " " + Narrow(v.name);
                        return false;
                    }
                    AppendValue(v, &text);
                }
            }
            for (auto it = key->subkeys.rbegin(); it != key->subkeys.rend(); ++it)
                pending.push_back(it->get());
        }
    }
    *out = std::move(text);
    return true;
}

std::string Registry::SaveRegText() const {
    std::string text, error;
    if (!Serialize(&text, &error)) Platform::Fatal("registry: " + error);
    return text;
}

bool Registry::SaveRegFile(const std::string& path, std::string* error) const {
    std::string text, problem;
    if (!Serialize(&text, &problem)) {
        if (error) *error = path + ": " + problem;
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
        if (error) *error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace handset
