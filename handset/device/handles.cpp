// The handle table: entries, counts per process and kind, and the one
// routine that takes back what an ended process left.
#include "device/handles.h"

#include <algorithm>

namespace handset {

uintptr_t HandleTable::NewValue() {
    do
        next_ += 4;
    while (entries_.count(next_));
    return next_;
}

uintptr_t HandleTable::Add(const HandleKind& kind, DWORD owner, std::shared_ptr<void> object,
                           bool counted) {
    uintptr_t value = NewValue();
    AddAt(value, kind, owner, std::move(object), counted);
    return value;
}

bool HandleTable::AddAt(uintptr_t value, const HandleKind& kind, DWORD owner,
                        std::shared_ptr<void> object, bool counted) {
    auto [it, added] =
        entries_.try_emplace(value, HandleEntry{&kind, owner, std::move(object), counted, ++seq_});
    if (added) Count(it->second, +1);
    return added;
}

const HandleEntry* HandleTable::Find(uintptr_t value) const {
    auto it = entries_.find(value);
    return it == entries_.end() ? nullptr : &it->second;
}

const HandleEntry* HandleTable::Find(uintptr_t value, const HandleKind& kind) const {
    const HandleEntry* e = Find(value);
    return e && e->kind == &kind ? e : nullptr;
}

bool HandleTable::Remove(uintptr_t value, std::shared_ptr<void>* object) {
    auto it = entries_.find(value);
    if (it == entries_.end()) return false;
    Count(it->second, -1);
    // The object may go now; it outlives the entry, so that whatever its
    // destructor does finds the table consistent.
    std::shared_ptr<void> held = std::move(it->second.object);
    entries_.erase(it);
    if (object) *object = std::move(held);
    return true;
}

bool HandleTable::Remove(uintptr_t value, const HandleKind& kind, std::shared_ptr<void>* object) {
    return Find(value, kind) && Remove(value, object);
}

void HandleTable::Reclaim(Platform& platform, DWORD pid) {
    std::vector<std::pair<uint64_t, uintptr_t>> owned;
    for (auto& [value, e] : entries_)
        if (e.owner == pid) owned.push_back({e.seq, value});
    std::sort(owned.rbegin(), owned.rend());
    for (auto& [seq, value] : owned) {
        auto it = entries_.find(value);
        // A hook may have taken this one already, or put a new entry there.
        if (it == entries_.end() || it->second.seq != seq) continue;
        if (it->second.kind->reclaim) {
            HandleEntry entry = it->second; // the hook may remove the original
            entry.kind->reclaim(platform, value, entry);
        }
        it = entries_.find(value);
        if (it != entries_.end() && it->second.seq == seq) Remove(value);
    }
}

std::vector<uintptr_t> HandleTable::Owned(DWORD pid, const HandleKind& kind) const {
    std::vector<std::pair<uint64_t, uintptr_t>> owned;
    for (auto& [value, e] : entries_)
        if (e.owner == pid && e.kind == &kind) owned.push_back({e.seq, value});
    std::sort(owned.begin(), owned.end());
    std::vector<uintptr_t> values;
    for (auto& o : owned)
        values.push_back(o.second);
    return values;
}

int HandleTable::Held(DWORD pid, const HandleKind& kind) const {
    auto p = held_.find(pid);
    if (p == held_.end()) return 0;
    auto k = p->second.find(&kind);
    return k == p->second.end() ? 0 : k->second;
}

std::map<const HandleKind*, int> HandleTable::HeldBy(DWORD pid) const {
    auto p = held_.find(pid);
    return p == held_.end() ? std::map<const HandleKind*, int>{} : p->second;
}

size_t HandleTable::CountOf(const HandleKind& kind) const {
    size_t n = 0;
    for (auto& [value, e] : entries_)
        n += e.kind == &kind;
    return n;
}

void HandleTable::Count(const HandleEntry& e, int delta) {
    if (e.counted) held_[e.owner][e.kind] += delta;
}

std::string DescribeHeld(const std::map<const HandleKind*, int>& held) {
    // By name, so that the text does not depend on where kinds live in memory.
    std::vector<std::pair<std::string, int>> parts;
    for (auto& [kind, n] : held)
        if (n != 0) parts.push_back({n == 1 ? kind->name : kind->plural, n});
    std::sort(parts.begin(), parts.end());
    std::string out;
    for (auto& [name, n] : parts)
        out += (out.empty() ? "" : ", ") + std::to_string(n) + " " + name;
    return out.empty() ? "nothing" : out;
}

} // namespace handset
