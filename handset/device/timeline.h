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

// One named field of an entry: a signed or unsigned number, or a text
// (held in UTF-8). JSON is made only when the timeline is written.
struct Field {
    enum class Type { Int, Uint, Text };
    Field(std::string_view name, int64_t value) : key(name), type(Type::Int), i(value) {}
    Field(std::string_view name, uint64_t value) : key(name), type(Type::Uint), u(value) {}
    Field(std::string_view name, int value) : Field(name, static_cast<int64_t>(value)) {}
    Field(std::string_view name, DWORD value) : Field(name, static_cast<uint64_t>(value)) {}
    Field(std::string_view name, std::string_view value)
        : key(name), type(Type::Text), text(value) {}
    Field(std::string_view name, const char* value) : Field(name, std::string_view(value)) {}
    Field(std::string_view name, std::u16string_view value);

    // The value as text: a number in decimal, a text as it is.
    std::string ToString() const;
    std::string ToJson() const;

    std::string key;
    Type type;
    int64_t i = 0;
    uint64_t u = 0;
    std::string text;
};

struct TimelineEntry {
    uint64_t t;
    DWORD pid;
    DWORD tid;
    std::string what;
    std::vector<Field> fields;

    const Field* Find(std::string_view key) const;
    // The field's value as text (a number in decimal), or "" when the entry
    // has none of that name.
    std::string Get(std::string_view key) const;
    // A number field's value; 0 when absent or a text.
    int64_t Number(std::string_view key) const;
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
