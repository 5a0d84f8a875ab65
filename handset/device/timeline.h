// The timeline: what happened on the device and when, in virtual time, for
// tests to read and scenarios to write out as JSON lines.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace handset {

class Platform;

// One named field of an entry, held as its JSON text.
struct Field {
    Field(std::string_view name, int64_t value);
    Field(std::string_view name, uint64_t value);
    Field(std::string_view name, int value) : Field(name, static_cast<int64_t>(value)) {}
    Field(std::string_view name, DWORD value) : Field(name, static_cast<uint64_t>(value)) {}
    Field(std::string_view name, std::string_view text);
    Field(std::string_view name, const char* text) : Field(name, std::string_view(text)) {}
    Field(std::string_view name, std::u16string_view text);

    std::string key;
    std::string json;
};

struct TimelineEntry {
    uint64_t t;
    DWORD pid;
    DWORD tid;
    std::string what;
    std::vector<Field> fields;

    // The field's JSON text, or "" when the entry has none of that name.
    std::string Get(std::string_view key) const;
    std::string ToJson() const;
};

class Timeline {
  public:
    explicit Timeline(const Platform& device) : device_(device) {}
    void Record(std::string what, std::vector<Field> fields = {});

    const std::vector<TimelineEntry>& Entries() const { return entries_; }
    std::vector<const TimelineEntry*> Find(std::string_view what) const;
    size_t Count(std::string_view what) const { return Find(what).size(); }
    std::string ToJsonLines() const;
    void Clear() { entries_.clear(); }

  private:
    const Platform& device_;
    std::vector<TimelineEntry> entries_;
};

std::string JsonQuote(std::string_view text);

} // namespace handset
