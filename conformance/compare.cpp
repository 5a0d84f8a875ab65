// Compares the two transcripts of the conformance suite, the handset's and
// Wine's, against known_differences.txt, and where a third transcript gives
// the font's own answer (text widths at Tahoma's bitmap sizes), judges the
// handset by that instead of by Wine.
//
//   conformance_compare HANDSET WINE FONT KNOWN SUMMARY
//
// A known difference is a line "key | category: reason", where a * in the
// key stands for any run of characters; the categories are "ce" (a Windows CE
// rule the handset follows on purpose) and "wine" (where Wine is wrong, with
// the evidence). It fails on a difference not known, a known one that no
// longer differs, a key only one side has, and a malformed line (file:line).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Transcript = std::map<std::string, std::string>;

std::string Trim(std::string s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

bool ReadTranscript(const std::string& path, Transcript& t, std::vector<std::string>& errors) {
    std::ifstream in(path);
    if (!in) {
        errors.push_back(path + ": cannot be read");
        return false;
    }
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (Trim(line).empty()) continue;
        size_t eq = line.find(" = ");
        if (eq == std::string::npos) {
            errors.push_back(path + ":" + std::to_string(n) + ": not \"key = value\"");
            continue;
        }
        std::string key = line.substr(0, eq);
        if (!t.emplace(key, line.substr(eq + 3)).second)
            errors.push_back(path + ":" + std::to_string(n) + ": " + key + " observed twice");
    }
    return true;
}

struct Known {
    std::string pattern, category, reason, where;
    int matched = 0;
    bool Matches(const std::string& key) const { return Glob(pattern.c_str(), key.c_str()); }
    // '*' stands for any run of characters, everything else for itself.
    static bool Glob(const char* p, const char* k) {
        if (*p == 0) return *k == 0;
        if (*p == '*') return Glob(p + 1, k) || (*k != 0 && Glob(p, k + 1));
        return *p == *k && Glob(p + 1, k + 1);
    }
};

std::vector<Known> ReadKnown(const std::string& path, std::vector<std::string>& errors) {
    std::vector<Known> known;
    std::ifstream in(path);
    if (!in) errors.push_back(path + ": cannot be read");
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        std::string where = path + ":" + std::to_string(n);
        std::string text = Trim(line);
        if (text.empty() || text[0] == '#') continue;
        size_t bar = text.find('|');
        Known k;
        k.where = where;
        if (bar != std::string::npos) {
            k.pattern = Trim(text.substr(0, bar));
            std::string rest = Trim(text.substr(bar + 1));
            size_t colon = rest.find(':');
            if (colon != std::string::npos) {
                k.category = Trim(rest.substr(0, colon));
                k.reason = Trim(rest.substr(colon + 1));
            }
        }
        if (k.pattern.empty() || (k.category != "ce" && k.category != "wine") || k.reason.empty()) {
            errors.push_back(where + ": not \"key | ce: reason\" or \"key | wine: reason\"");
            continue;
        }
        known.push_back(k);
    }
    return known;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: conformance_compare HANDSET WINE FONT KNOWN SUMMARY\n";
        return 2;
    }
    std::vector<std::string> errors;
    Transcript handset, wine, font;
    ReadTranscript(argv[1], handset, errors);
    ReadTranscript(argv[2], wine, errors);
    ReadTranscript(argv[3], font, errors);
    std::vector<Known> known = ReadKnown(argv[4], errors);

    // Cases Wine cannot judge say so in its transcript: "area.case = handset only: ...".
    std::set<std::string> handsetOnly;
    for (const auto& [key, value] : wine)
        if (value.rfind("handset only", 0) == 0) handsetOnly.insert(key + ".");
    auto isHandsetOnly = [&](const std::string& key) {
        for (const std::string& prefix : handsetOnly)
            if (key.rfind(prefix, 0) == 0) return true;
        return false;
    };

    int compared = 0, agree = 0, onlyHandset = 0, byFont = 0, fontAgrees = 0, wineOffFont = 0;
    std::map<std::string, int> byCategory;
    for (const auto& [key, value] : handset) {
        if (isHandsetOnly(key)) {
            ++onlyHandset;
            continue;
        }
        if (auto f = font.find(key); f != font.end()) {
            ++byFont;
            if (f->second == value)
                ++fontAgrees;
            else
                errors.push_back(key + ": handset " + value + ", the font's bitmap " + f->second);
            auto w = wine.find(key);
            if (w != wine.end() && w->second != f->second) ++wineOffFont;
            continue;
        }
        auto w = wine.find(key);
        if (w == wine.end()) {
            errors.push_back(key + ": observed on the handset only");
            continue;
        }
        ++compared;
        Known* k = nullptr;
        for (Known& candidate : known)
            if (candidate.Matches(key)) {
                k = &candidate;
                break;
            }
        if (w->second == value) {
            ++agree;
            continue;
        }
        if (!k) {
            errors.push_back(key + ": handset " + value + ", Wine " + w->second);
            continue;
        }
        ++k->matched;
        ++byCategory[k->category];
    }
    for (const auto& [key, value] : wine)
        if (value.rfind("handset only", 0) != 0 && !handset.count(key))
            errors.push_back(key + ": observed on Wine only");
    for (const Known& k : known)
        if (k.matched == 0) errors.push_back(k.where + ": " + k.pattern + " no longer differs");

    std::ostringstream summary;
    summary << "conformance: " << handset.size() << " observations on the handset; " << compared
            << " compared with Wine: " << agree << " agree, " << compared - agree << " differ ("
            << byCategory["ce"] << " a Windows CE rule the handset follows, " << byCategory["wine"]
            << " Wine's own)";
    summary << "; " << byFont << " text widths judged by Tahoma's bitmap advances: " << fontAgrees
            << " agree (Wine's measure differs on " << wineOffFont << ")";
    summary << "; " << onlyHandset << " on the handset only (" << handsetOnly.size()
            << " cases Windows has no service for)\n";
    for (const Known& k : known)
        summary << "  " << k.category << ": " << k.pattern << " (" << k.matched << "): " << k.reason
                << "\n";
    std::cout << summary.str();
    if (std::ofstream out(argv[5]); out) out << summary.str();
    for (const std::string& e : errors)
        std::cout << "conformance: " << e << "\n";
    return errors.empty() ? 0 : 1;
}
