// Timeline entries and their JSON form.
#include "device/timeline.h"

#include <cstdio>

#include "device/platform.h"

namespace handset {

std::string JsonQuote(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

Field::Field(std::string_view name, std::u16string_view value)
    : key(name), type(Type::Text), text(Narrow(value)) {}

std::string Field::ToString() const {
    switch (type) {
    case Type::Int:
        return std::to_string(i);
    case Type::Uint:
        return std::to_string(u);
    case Type::Text:
        break;
    }
    return text;
}

std::string Field::ToJson() const {
    return type == Type::Text ? JsonQuote(text) : ToString();
}

const Field* TimelineEntry::Find(std::string_view key) const {
    for (const Field& f : fields)
        if (f.key == key) return &f;
    return nullptr;
}

std::string TimelineEntry::Get(std::string_view key) const {
    const Field* f = Find(key);
    return f ? f->ToString() : "";
}

int64_t TimelineEntry::Number(std::string_view key) const {
    const Field* f = Find(key);
    if (!f || f->type == Field::Type::Text) return 0;
    return f->type == Field::Type::Int ? f->i : static_cast<int64_t>(f->u);
}

std::string TimelineEntry::ToJson() const {
    std::string out = "{\"t\": " + std::to_string(t) + ", \"pid\": " + std::to_string(pid) +
                      ", \"tid\": " + std::to_string(tid) + ", \"what\": " + JsonQuote(what);
    for (const Field& f : fields)
        out += ", " + JsonQuote(f.key) + ": " + f.ToJson();
    return out + "}";
}

void Timeline::Record(std::string what, std::vector<Field> fields) {
    // What the clock does is the clock's, whichever thread happened to move it.
    bool clock = device_.OnTheClock();
    entries_.push_back({device_.Now(), clock ? 0 : device_.CurrentPid(),
                        clock ? 0 : device_.CurrentTid(), std::move(what), std::move(fields)});
}

std::vector<const TimelineEntry*> Timeline::Find(std::string_view what) const {
    std::vector<const TimelineEntry*> found;
    for (const auto& e : entries_)
        if (e.what == what) found.push_back(&e);
    return found;
}

std::string Timeline::ToJsonLines() const {
    std::string out;
    for (const auto& e : entries_)
        out += e.ToJson() + "\n";
    return out;
}

} // namespace handset
