// Reading an installer description (.inf) and a Windows CE shortcut file.
// The whole file is split into sections first, so that a section may be
// named before it appears; then [DefaultInstall] is followed.
#include "shell/inf.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>

#include "common/text.h"

namespace handset {

namespace {

struct Line {
    int number;
    std::string text;
    std::string key; // as written, for a "key = value" line
};

struct Section {
    int line; // of its header
    std::vector<Line> lines;
};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Trimmed(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string_view::npos ? "" : std::string(s.substr(b, e - b + 1));
}

// The text before a ';' that is not inside quotes.
std::string WithoutComment(std::string_view s) {
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') quoted = !quoted;
        if (s[i] == ';' && !quoted) return std::string(s.substr(0, i));
    }
    return std::string(s);
}

// Comma-separated fields, each trimmed and unquoted ("" inside quotes is one
// quote). False when a quote is left open.
bool Fields(std::string_view s, std::vector<std::string>* out) {
    out->clear();
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i <= s.size(); ++i) {
        char c = i < s.size() ? s[i] : ',';
        if (c == '"') {
            if (quoted && i + 1 < s.size() && s[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == ',' && !quoted) {
            out->push_back(Trimmed(field));
            field.clear();
        } else {
            field += c;
        }
    }
    return !quoted;
}

bool Number(std::string_view s, DWORD* value) {
    std::string text(s);
    if (text.empty()) return false;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (*end != 0 || text[0] == '-' || v > 0xFFFFFFFFull) return false;
    *value = static_cast<DWORD>(v);
    return true;
}

// The folders the installer knows by number.
const std::map<std::string, std::string> kFolders = {
    {"ce1", "\\Program Files"},
    {"ce4", "\\Windows\\StartUp"},
    {"ce11", "\\Windows\\Start Menu\\Programs"},
};

class Reader {
  public:
    Reader(std::string_view fileName, std::string* error) : file_(fileName), error_(error) {}

    std::optional<InfInstall> Read(std::string_view text) {
        if (!Split(text) || !ReadVersion() || !ReadStrings() || !ReadDevice() || !ReadSources() ||
            !ReadDestinations())
            return std::nullopt;
        return Install();
    }

  private:
    bool Fail(int line, const std::string& message) {
        *error_ = file_ + ":" + std::to_string(line) + ": " + message;
        return false;
    }

    bool Split(std::string_view text) {
        Section* current = nullptr;
        int number = 0;
        while (!text.empty()) {
            size_t end = text.find('\n');
            std::string_view raw = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            ++number;
            std::string line = Trimmed(WithoutComment(raw));
            if (line.empty()) continue;
            if (line.front() == '[') {
                if (line.back() != ']' || line.size() < 3)
                    return Fail(number, "a section header is [name]");
                std::string name = Lower(Trimmed(line.substr(1, line.size() - 2)));
                if (sections_.count(name)) return Fail(number, "[" + name + "] again");
                current = &sections_[name];
                current->line = number;
                continue;
            }
            if (!current) return Fail(number, "a line before the first section");
            current->lines.push_back({number, line});
        }
        return true;
    }

    // "key = value" lines of a section, keys in lower case; each key once.
    bool Pairs(const std::string& name, std::map<std::string, Line>* out) {
        auto it = sections_.find(name);
        if (it == sections_.end()) return true;
        for (const Line& l : it->second.lines) {
            size_t eq = l.text.find('=');
            if (eq == std::string::npos) return Fail(l.number, "not \"key = value\"");
            std::string key = Lower(Trimmed(l.text.substr(0, eq)));
            if (key.empty()) return Fail(l.number, "no key before '='");
            if (out->count(key)) return Fail(l.number, key + " again");
            (*out)[key] = {l.number, Trimmed(l.text.substr(eq + 1)), Trimmed(l.text.substr(0, eq))};
        }
        return true;
    }

    // One value: unquoted, with %name% replaced.
    bool Value(const Line& l, std::string* out) {
        std::vector<std::string> f;
        if (!Fields(l.text, &f) || f.size() != 1) return Fail(l.number, "one value is expected");
        return Expand(l.number, f[0], out);
    }

    bool Expand(int line, const std::string& in, std::string* out, int depth = 0) {
        if (depth > 8) return Fail(line, "strings name each other without end");
        out->clear();
        for (size_t i = 0; i < in.size(); ++i) {
            if (in[i] != '%') {
                *out += in[i];
                continue;
            }
            size_t close = in.find('%', i + 1);
            if (close == std::string::npos) return Fail(line, "a '%' without its pair");
            std::string name = Lower(in.substr(i + 1, close - i - 1));
            i = close;
            if (auto f = kFolders.find(name); f != kFolders.end()) {
                *out += f->second;
            } else if (auto s = strings_.find(name); s != strings_.end()) {
                std::string expanded;
                if (!Expand(line, s->second, &expanded, depth + 1)) return false;
                *out += expanded;
            } else {
                return Fail(line, "%" + name + "% is neither a string nor a folder read here");
            }
        }
        return true;
    }

    bool ReadVersion() {
        std::map<std::string, Line> v;
        if (!Pairs("version", &v)) return false;
        if (!sections_.count("version")) return Fail(1, "no [Version] section");
        int at = sections_["version"].line;
        std::string signature, ce;
        if (!v.count("signature") || !Value(v["signature"], &signature))
            return error_->empty() ? Fail(at, "[Version] has no Signature") : false;
        if (Lower(signature) != "$windows nt$")
            return Fail(v["signature"].number, "Signature is \"$Windows NT$\"");
        if (!v.count("cesignature") || !Value(v["cesignature"], &ce))
            return error_->empty() ? Fail(at, "[Version] has no CESignature") : false;
        if (Lower(ce) != "$windows ce$")
            return Fail(v["cesignature"].number, "CESignature is \"$Windows CE$\"");
        for (const auto& [key, line] : v)
            if (key != "signature" && key != "cesignature" && key != "provider")
                return Fail(line.number, "[Version] " + key + " is not read here");
        return true;
    }

    bool ReadStrings() {
        for (const char* name : {"strings", "cestrings"}) {
            std::map<std::string, Line> v;
            if (!Pairs(name, &v)) return false;
            for (const auto& [key, line] : v) {
                std::vector<std::string> f;
                if (!Fields(line.text, &f) || f.size() != 1)
                    return Fail(line.number, "one value is expected");
                strings_[key] = f[0];
            }
        }
        return true;
    }

    bool ReadDevice() {
        std::map<std::string, Line> v;
        if (!Pairs("cedevice", &v)) return false;
        for (const auto& [key, line] : v) {
            if (key != "versionmin" && key != "versionmax")
                return Fail(line.number, "[CEDevice] " + key + " is not read here");
            char* end = nullptr;
            std::strtod(line.text.c_str(), &end);
            if (line.text.empty() || *end != 0)
                return Fail(line.number, key + " is a version number such as 4.20");
        }
        return true;
    }

    bool ReadSources() {
        std::map<std::string, Line> disks, files;
        if (!Pairs("sourcedisksnames", &disks) || !Pairs("sourcedisksfiles", &files)) return false;
        for (const auto& [name, line] : files) {
            DWORD disk;
            if (!Number(line.text, &disk) || !disks.count(std::to_string(disk)))
                return Fail(line.number, line.key + ": its disk is not in [SourceDisksNames]");
            sources_.insert(name);
        }
        return true;
    }

    bool ReadDestinations() {
        std::map<std::string, Line> v;
        if (!Pairs("destinationdirs", &v)) return false;
        for (const auto& [section, line] : v) {
            std::vector<std::string> f;
            if (!Fields(line.text, &f) || f.size() != 2 || f[0] != "0")
                return Fail(line.number, "a destination is \"0, folder\"");
            std::string folder;
            if (!Expand(line.number, f[1], &folder)) return false;
            if (folder.empty() || folder[0] != '\\')
                return Fail(line.number, "the folder \"" + folder + "\" is not a full path");
            destinations_[section] = folder;
        }
        return true;
    }

    bool Destination(const std::string& section, int line, std::string* folder) {
        auto it = destinations_.find(section);
        if (it == destinations_.end()) it = destinations_.find("defaultdestdir");
        if (it == destinations_.end())
            return Fail(line, "[" + section + "] has no folder in [DestinationDirs]");
        *folder = it->second;
        return true;
    }

    std::optional<InfInstall> Install() {
        std::map<std::string, Line> v;
        if (!Pairs("defaultinstall", &v)) return std::nullopt;
        if (!sections_.count("defaultinstall")) {
            Fail(1, "no [DefaultInstall] section");
            return std::nullopt;
        }
        for (const auto& [key, line] : v)
            if (key != "copyfiles" && key != "addreg" && key != "ceshortcuts") {
                Fail(line.number, "[DefaultInstall] " + line.key + " is not read here");
                return std::nullopt;
            }
        InfInstall out;
        // Copies first, so that shortcuts can name what was copied.
        for (const char* key : {"copyfiles", "addreg", "ceshortcuts"}) {
            auto it = v.find(key);
            if (it == v.end()) continue;
            std::vector<std::string> names;
            if (!Fields(it->second.text, &names)) {
                Fail(it->second.number, "a quote left open");
                return std::nullopt;
            }
            for (const std::string& raw : names) {
                std::string name = Lower(raw);
                if (!sections_.count(name)) {
                    Fail(it->second.number, "there is no section [" + raw + "]");
                    return std::nullopt;
                }
                bool ok = std::string(key) == "copyfiles" ? Copy(name, &out)
                          : std::string(key) == "addreg"  ? AddReg(name, &out)
                                                          : Shortcuts(name, &out);
                if (!ok) return std::nullopt;
            }
        }
        return out;
    }

    bool Copy(const std::string& section, InfInstall* out) {
        std::string folder;
        for (const Line& l : sections_[section].lines) {
            std::vector<std::string> f;
            if (!Fields(l.text, &f) || f.size() != 4 || !f[2].empty())
                return Fail(l.number, "a file to copy is \"name,source,,flags\"");
            std::string source = f[1].empty() ? f[0] : f[1];
            DWORD flags;
            if (!Number(f[3], &flags) || flags != 0)
                return Fail(l.number, "copy flags other than 0 are not read here");
            if (f[0] != source) return Fail(l.number, "a file copied under another name");
            if (!sources_.count(Lower(source)))
                return Fail(l.number, source + " is not in [SourceDisksFiles]");
            if (!Destination(section, l.number, &folder)) return false;
            out->files.push_back({source, Widen(folder)});
        }
        return true;
    }

    bool AddReg(const std::string& section, InfInstall* out) {
        for (const Line& l : sections_[section].lines) {
            std::vector<std::string> f;
            if (!Fields(l.text, &f) || f.size() != 5)
                return Fail(l.number, "a registry value is \"root,key,name,flags,data\"");
            InfInstall::RegistryValue r{};
            std::string root = Lower(f[0]);
            if (root == "hklm")
                r.root = HKEY_LOCAL_MACHINE;
            else if (root == "hkcu")
                r.root = HKEY_CURRENT_USER;
            else
                return Fail(l.number, "the root " + f[0] + " is not HKLM or HKCU");
            std::string key, name, data;
            if (!Expand(l.number, f[1], &key) || !Expand(l.number, f[2], &name) ||
                !Expand(l.number, f[4], &data))
                return false;
            if (key.empty()) return Fail(l.number, "no key");
            DWORD flags;
            if (!Number(f[3], &flags))
                return Fail(l.number, "the flags " + f[3] + " are no number");
            r.keepExisting = (flags & 0x2) != 0;
            switch (flags & ~DWORD(0x2)) {
            case 0x00000000:
                r.type = REG_SZ;
                r.text = Widen(data);
                break;
            case 0x00010001:
                r.type = REG_DWORD;
                if (!Number(data, &r.number))
                    return Fail(l.number, "the REG_DWORD data " + data + " is no 32-bit number");
                break;
            default:
                return Fail(l.number, "the flags " + f[3] +
                                          ": only 0x00000000 (REG_SZ) and 0x00010001 (REG_DWORD), "
                                          "with 0x00000002, are read here");
            }
            r.key = Widen(key);
            r.name = Widen(name);
            out->registry.push_back(r);
        }
        return true;
    }

    bool Shortcuts(const std::string& section, InfInstall* out) {
        for (const Line& l : sections_[section].lines) {
            std::vector<std::string> f;
            if (!Fields(l.text, &f) || f.size() < 3 || f.size() > 4)
                return Fail(l.number, "a shortcut is \"name,0,file[,folder]\"");
            if (f[1] != "0")
                return Fail(l.number, "only shortcuts to files (type 0) are read here");
            const InfInstall::File* target = nullptr;
            for (const InfInstall::File& file : out->files)
                if (Lower(file.source) == Lower(f[2])) target = &file;
            if (!target) return Fail(l.number, f[2] + " is not a copied file");
            std::string folder;
            if (f.size() == 4) {
                if (!Expand(l.number, f[3], &folder)) return false;
            } else if (!Destination(section, l.number, &folder)) {
                return false;
            }
            std::string name;
            if (!Expand(l.number, f[0], &name)) return false;
            out->shortcuts.push_back({Widen(folder), Widen(name), target->Path()});
        }
        return true;
    }

    std::string file_;
    std::string* error_;
    std::map<std::string, Section> sections_;
    std::map<std::string, std::string> strings_;
    std::map<std::string, std::string> destinations_;
    std::set<std::string> sources_;
};

} // namespace

std::u16string InfInstall::File::Path() const {
    return folder + u"\\" + Widen(source);
}

std::optional<InfInstall> ReadInf(std::string_view text, std::string_view fileName,
                                  std::string* error) {
    error->clear();
    return Reader(fileName, error).Read(text);
}

std::optional<ShortcutFile> ReadShortcut(std::string_view text, std::string_view fileName,
                                         std::string* error) {
    std::string where = std::string(fileName) + ":1: ";
    size_t hash = text.find('#');
    DWORD count;
    if (hash == std::string_view::npos || !Number(text.substr(0, hash), &count)) {
        *error = where + "a shortcut is \"N#command line\"";
        return std::nullopt;
    }
    std::string command(text.substr(hash + 1));
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r'))
        command.pop_back();
    if (command.size() != count) {
        *error = where + "the count " + std::to_string(count) + " is not the " +
                 std::to_string(command.size()) + " characters after '#'";
        return std::nullopt;
    }
    ShortcutFile out;
    size_t end;
    if (!command.empty() && command[0] == '"') {
        end = command.find('"', 1);
        if (end == std::string::npos) {
            *error = where + "a quote left open";
            return std::nullopt;
        }
        out.path = Widen(command.substr(1, end - 1));
        ++end;
    } else {
        end = command.find(' ');
        out.path = Widen(command.substr(0, end));
    }
    out.arguments = Widen(end < command.size() ? Trimmed(command.substr(end)) : "");
    return out;
}

} // namespace handset
