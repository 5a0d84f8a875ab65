// The programs' attached resources, and the copy of their string tables that
// LoadStringW's address form needs.
#include "res/resources.h"

#include <sys/mman.h>

#include <cstring>

#include "common/text.h"
#include "device/platform.h"

namespace handset {

// LoadStringW with a null buffer returns the string's address as an int, as
// on the phone's 32-bit processor. On a 64-bit host that only works for an
// address below 2 GB, so the module's string tables are copied there (Linux
// on x86-64 gives such memory with MAP_32BIT), read-only as the phone's are.
// Each block starts on a DWORD boundary, as in the .res, so that its strings
// stay WCHAR-aligned whatever the size of the block before.
struct Resources::LowCopy {
    unsigned char* base = nullptr;
    size_t size = 0;
    std::map<const ResEntry*, const unsigned char*> blocks;

    static size_t AlignUp4(size_t n) { return (n + 3) & ~size_t(3); }

    explicit LowCopy(const ResFile& file) {
        for (const ResEntry& e : file.entries())
            if (e.type.IsOrdinal() && e.type.ordinal() == kRtString)
                size += AlignUp4(e.data.size());
#if defined(__linux__) && defined(__x86_64__)
        if (size == 0) return;
        void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (p == MAP_FAILED) return;
        base = static_cast<unsigned char*>(p);
        size_t at = 0;
        for (const ResEntry& e : file.entries()) {
            if (!e.type.IsOrdinal() || e.type.ordinal() != kRtString) continue;
            std::memcpy(base + at, e.data.data(), e.data.size());
            blocks[&e] = base + at;
            at += AlignUp4(e.data.size());
        }
        mprotect(base, size, PROT_READ);
#endif
    }
    ~LowCopy() {
        if (base) munmap(base, size);
    }
    LowCopy(const LowCopy&) = delete;
    LowCopy& operator=(const LowCopy&) = delete;
};

Resources::Module::Module() = default;
Resources::Module::~Module() = default;

Resources::Resources(Platform& platform) : Area(platform) {}
Resources::~Resources() = default;

bool Resources::Attach(std::u16string_view exePath, std::span<const unsigned char> res,
                       std::string_view source, std::string* error) {
    HINSTANCE module = platform_.ProgramModule(exePath);
    if (!module) {
        *error = std::string(source) + ": no program is registered as " + Narrow(exePath);
        return false;
    }
    if (modules_.count(module)) {
        *error = std::string(source) + ": " + Narrow(exePath) + " has its resources already";
        return false;
    }
    ResFile file;
    if (!ResFile::Parse(res, source, &file, error)) return false;
    modules_[module].file = std::move(file);
    return true;
}

const ResFile* Resources::Find(HINSTANCE module) const {
    auto it = modules_.find(module);
    return it == modules_.end() ? nullptr : &it->second.file;
}

const char16_t* Resources::LowString(HINSTANCE module, uint32_t id) {
    auto it = modules_.find(module);
    if (it == modules_.end()) return nullptr;
    Module& m = it->second;
    auto text = m.file.String(id, language_);
    const ResEntry* block = m.file.Find(kRtString, uint16_t(id / 16 + 1), language_);
    if (!text || !block) return nullptr;
    if (!m.low) m.low = std::make_unique<LowCopy>(m.file);
    auto copy = m.low->blocks.find(block);
    if (copy == m.low->blocks.end()) return nullptr;
    const auto offset = reinterpret_cast<const unsigned char*>(text->data()) - block->data.data();
    return reinterpret_cast<const char16_t*>(copy->second + offset);
}

} // namespace handset
