// The handle table: every object a process holds through the platform
// (kernel handles, heap blocks, registry keys, line applications, COM
// objects and strings, GDI objects, windows, wave outputs) is one entry with
// its kind, owner and object. The table counts entries per process and kind,
// and at process exit takes back in one routine whatever the process left.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace handset {

class Platform;
struct HandleEntry;

// What a process can hold. Areas declare their kinds as
// `inline constexpr HandleKind kX{...}` in their headers; a kind is known by
// its address.
struct HandleKind {
    const char* name;   // "registry key"
    const char* plural; // "registry keys"
    // Called at process exit for each entry of this kind the process still
    // holds, newest first, before the entry goes; null: dropping the object
    // is enough. The hook may remove the entry itself.
    void (*reclaim)(Platform& platform, uintptr_t value, const HandleEntry& entry) = nullptr;
};

struct HandleEntry {
    const HandleKind* kind;
    DWORD owner;                  // process id; 0 for the driver
    std::shared_ptr<void> object; // whatever the area keeps for it
    bool counted;                 // against the owner, in its accounting
    uint64_t seq;                 // order of creation
};

class HandleTable {
  public:
    // A new handle value: device-wide, never given twice, never 0 and never
    // one of the pseudo-handles or predefined keys below 0x1000.
    uintptr_t NewValue();
    // An entry under a new value; the value.
    uintptr_t Add(const HandleKind& kind, DWORD owner, std::shared_ptr<void> object,
                  bool counted = true);
    // An entry under a value the area chose (a heap block's or a string's
    // address); false when that value is taken.
    bool AddAt(uintptr_t value, const HandleKind& kind, DWORD owner, std::shared_ptr<void> object,
               bool counted = true);

    // The entry, or null when there is none (of that kind).
    const HandleEntry* Find(uintptr_t value) const;
    const HandleEntry* Find(uintptr_t value, const HandleKind& kind) const;
    template <class T> std::shared_ptr<T> Get(uintptr_t value, const HandleKind& kind) const {
        const HandleEntry* e = Find(value, kind);
        return e ? std::static_pointer_cast<T>(e->object) : nullptr;
    }
    // Takes the entry out, and its count; false when there is no such entry
    // (of that kind). The object goes to *object when asked for, so that the
    // caller can finish with it after the entry is gone.
    bool Remove(uintptr_t value, std::shared_ptr<void>* object = nullptr);
    bool Remove(uintptr_t value, const HandleKind& kind, std::shared_ptr<void>* object = nullptr);

    // Everything the process holds, newest first: each kind's hook, then the
    // entry goes.
    void Reclaim(Platform& platform, DWORD pid);

    // Values the process holds of a kind, oldest first.
    std::vector<uintptr_t> Owned(DWORD pid, const HandleKind& kind) const;
    int Held(DWORD pid, const HandleKind& kind) const;
    // Kinds the process holds or held, with their counts.
    std::map<const HandleKind*, int> HeldBy(DWORD pid) const;

    // Entries of the kind on the whole device, whoever holds them.
    size_t CountOf(const HandleKind& kind) const;
    size_t Size() const { return entries_.size(); }
    // Whether the value is one NewValue() gives, rather than an address.
    bool IsSeriesValue(uintptr_t value) const { return value >= 0x1000 && value <= next_; }

  private:
    void Count(const HandleEntry& e, int delta);

    std::map<uintptr_t, HandleEntry> entries_;
    std::map<DWORD, std::map<const HandleKind*, int>> held_;
    uintptr_t next_ = 0x1000;
    uint64_t seq_ = 0;
};

// "2 kernel handles, 1 heap block", or "nothing".
std::string DescribeHeld(const std::map<const HandleKind*, int>& held);

} // namespace handset
