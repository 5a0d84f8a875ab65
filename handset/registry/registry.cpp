// The registry's tree, its key handles and the driving half.
#include "registry/registry.h"

#include <algorithm>

#include "device/platform.h"

namespace handset {

namespace {

constexpr uintptr_t kFirstRoot = 0x80000000;

const char16_t* const kRootNames[4] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER",
                                       u"HKEY_LOCAL_MACHINE", u"HKEY_USERS"};

std::u16string Describe(HKEY root, std::u16string_view path) {
    std::u16string out = Registry::IsPredefined(root)
                             ? kRootNames[reinterpret_cast<uintptr_t>(root) - kFirstRoot]
                             : u"(not a root)";
    if (!path.empty()) out += u"\\" + std::u16string(path);
    return out;
}

} // namespace

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (towupper(a[i]) != towupper(b[i])) return false;
    return true;
}

// ---- Keys ----------------------------------------------------------------------

Registry::Key::~Key() {
    // Each subkey nothing else holds hands its own subkeys over before it
    // goes, so that it is freed empty: no destructor runs inside another, and
    // the stack stays flat however deep the tree. A subkey still held (by a
    // handle on a deleted key) keeps its subtree until its own end.
    std::vector<std::shared_ptr<Key>> pending = std::move(subkeys);
    while (!pending.empty()) {
        std::shared_ptr<Key> key = std::move(pending.back());
        pending.pop_back();
        if (key.use_count() != 1) continue;
        for (auto& sub : key->subkeys)
            pending.push_back(std::move(sub));
        key->subkeys.clear();
    }
}

std::shared_ptr<Registry::Key> Registry::Key::FindSubkey(std::u16string_view name) const {
    for (auto& k : subkeys)
        if (SameName(k->name, name)) return k;
    return nullptr;
}

Registry::NamedValue* Registry::Key::FindValue(std::u16string_view name) {
    for (auto& v : values)
        if (SameName(v.name, name)) return &v;
    return nullptr;
}

const Registry::NamedValue* Registry::Key::FindValue(std::u16string_view name) const {
    return const_cast<Key*>(this)->FindValue(name);
}

void Registry::Key::SetValue(std::u16string_view name, RegValue value) {
    if (NamedValue* v = FindValue(name))
        v->value = std::move(value);
    else
        values.push_back({std::u16string(name), std::move(value)});
}

bool Registry::Key::DeleteValue(std::u16string_view name) {
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const NamedValue& v) { return SameName(v.name, name); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

// ---- The tree ------------------------------------------------------------------

Registry::Registry(Platform& platform) : Area(platform) {
    for (int i = 0; i < 4; ++i) {
        roots_[i] = std::make_shared<Key>();
        roots_[i]->name = kRootNames[i];
    }
}

Registry::~Registry() = default;

bool Registry::IsPredefined(HKEY h) {
    auto value = reinterpret_cast<uintptr_t>(h);
    return value >= kFirstRoot && value < kFirstRoot + 4;
}

std::shared_ptr<Registry::Key> Registry::RootShared(HKEY predefined) const {
    return roots_[reinterpret_cast<uintptr_t>(predefined) - kFirstRoot];
}

Registry::Key& Registry::Root(HKEY predefined) const {
    return *RootShared(predefined);
}

LONG Registry::Find(const std::shared_ptr<Key>& from, std::u16string_view path,
                    std::shared_ptr<Key>* found) const {
    std::shared_ptr<Key> key = from;
    bool missing = false;
    // The whole path is checked for form first: a malformed path is an
    // invalid parameter even where its first part is missing.
    size_t start = 0;
    while (!path.empty()) {
        size_t end = path.find(u'\\', start);
        std::u16string_view name = path.substr(
            start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start);
        if (name.empty() || name.size() > kMaxKeyName) return ERROR_INVALID_PARAMETER;
        if (!missing) {
            if (auto sub = key->FindSubkey(name))
                key = std::move(sub);
            else
                missing = true;
        }
        if (end == std::u16string_view::npos) break;
        start = end + 1;
    }
    if (missing) return ERROR_FILE_NOT_FOUND;
    *found = std::move(key);
    return ERROR_SUCCESS;
}

LONG Registry::Create(const std::shared_ptr<Key>& from, std::u16string_view path,
                      std::u16string_view keyClass, std::shared_ptr<Key>* found, bool* created) {
    std::shared_ptr<Key> probe;
    LONG form = Find(from, path, &probe);
    if (form == ERROR_SUCCESS) {
        *found = std::move(probe);
        *created = false;
        return ERROR_SUCCESS;
    }
    if (form != ERROR_FILE_NOT_FOUND) return form;
    size_t depth = DepthOf(*from) + 1 + std::count(path.begin(), path.end(), u'\\');
    if (depth > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
    // The path is well formed and its end is missing: make it.
    std::shared_ptr<Key> key = from;
    size_t start = 0;
    for (;;) {
        size_t end = path.find(u'\\', start);
        std::u16string_view name = path.substr(
            start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start);
        if (auto sub = key->FindSubkey(name)) {
            key = std::move(sub);
        } else {
            auto child = std::make_shared<Key>();
            child->name = std::u16string(name);
            child->parent = key.get();
            key->subkeys.push_back(child);
            key = child;
        }
        if (end == std::u16string_view::npos) break;
        start = end + 1;
    }
    key->keyClass = std::u16string(keyClass);
    *found = std::move(key);
    *created = true;
    return ERROR_SUCCESS;
}

void Registry::Remove(Key& key) {
    // The parent may have held the last reference; keep the key until it is marked.
    std::shared_ptr<Key> self;
    if (key.parent) {
        auto& siblings = key.parent->subkeys;
        for (auto it = siblings.begin(); it != siblings.end(); ++it)
            if (it->get() == &key) {
                self = *it;
                siblings.erase(it);
                break;
            }
    }
    // Marked all the way down, so that no handle reaches a live key through a
    // deleted one, and cut from the parent, which may go before its handles.
    std::vector<Key*> pending{&key};
    while (!pending.empty()) {
        Key* k = pending.back();
        pending.pop_back();
        k->deleted = true;
        k->parent = nullptr;
        for (auto& sub : k->subkeys)
            pending.push_back(sub.get());
    }
}

std::u16string Registry::PathOf(const Key& key) {
    std::vector<const Key*> chain;
    for (const Key* k = &key; k; k = k->parent)
        chain.push_back(k);
    std::u16string out;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!out.empty()) out += u'\\';
        out += (*it)->name;
    }
    return out;
}

size_t Registry::DepthOf(const Key& key) {
    size_t depth = 0;
    for (const Key* k = key.parent; k; k = k->parent)
        ++depth;
    return depth;
}

// ---- Handles -------------------------------------------------------------------

LONG Registry::Resolve(HKEY h, std::shared_ptr<Key>* key) const {
    if (IsPredefined(h)) {
        *key = RootShared(h);
        return ERROR_SUCCESS;
    }
    auto open = platform_.handles().Get<Key>(reinterpret_cast<uintptr_t>(h), kRegistryKey);
    if (!open) return ERROR_INVALID_HANDLE;
    if (open->deleted) return ERROR_KEY_DELETED;
    *key = std::move(open);
    return ERROR_SUCCESS;
}

// Key handles share the device's series of values with every other handle,
// apart from the predefined roots; a value is never given twice.
HKEY Registry::AddHandle(std::shared_ptr<Key> key) {
    return reinterpret_cast<HKEY>(
        platform_.handles().Add(kRegistryKey, platform_.CurrentPid(), std::move(key)));
}

bool Registry::CloseHandle(HKEY h) {
    return platform_.handles().Remove(reinterpret_cast<uintptr_t>(h), kRegistryKey);
}

size_t Registry::OpenHandleCount() const {
    return platform_.handles().CountOf(kRegistryKey);
}

// ---- Driving -------------------------------------------------------------------

std::shared_ptr<Registry::Key> Registry::DriverFind(HKEY root, std::u16string_view path) const {
    if (!IsPredefined(root)) Platform::Fatal("registry: the driver named a key that is not a root");
    std::shared_ptr<Key> key;
    LONG r = Find(RootShared(root), path, &key);
    if (r == ERROR_INVALID_PARAMETER)
        Platform::Fatal("registry: malformed key path " + Narrow(Describe(root, path)));
    return r == ERROR_SUCCESS ? key : nullptr;
}

std::shared_ptr<Registry::Key> Registry::DriverCreate(HKEY root, std::u16string_view path,
                                                      bool* created) {
    if (!IsPredefined(root)) Platform::Fatal("registry: the driver named a key that is not a root");
    std::shared_ptr<Key> key;
    if (Create(RootShared(root), path, u"", &key, created) != ERROR_SUCCESS) {
        size_t depth = 1 + std::count(path.begin(), path.end(), u'\\');
        if (depth > kMaxKeyDepth)
            Platform::Fatal("registry: a key path " + std::to_string(depth) +
                            " levels deep under " + Narrow(Describe(root, u"")) + "; keys go " +
                            std::to_string(kMaxKeyDepth) + " deep at most");
        Platform::Fatal("registry: malformed key path " + Narrow(Describe(root, path)));
    }
    return key;
}

void Registry::SetValue(HKEY root, std::u16string_view path, std::u16string_view name, DWORD type,
                        std::vector<BYTE> data) {
    bool created = false;
    DriverCreate(root, path, &created)->SetValue(name, {type, std::move(data)});
}

void Registry::SetDword(HKEY root, std::u16string_view path, std::u16string_view name,
                        DWORD value) {
    SetValue(root, path, name, REG_DWORD,
             {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)});
}

void Registry::SetString(HKEY root, std::u16string_view path, std::u16string_view name,
                         std::u16string_view text) {
    std::vector<BYTE> data;
    for (char16_t c : text) {
        data.push_back(BYTE(c));
        data.push_back(BYTE(c >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    SetValue(root, path, name, REG_SZ, std::move(data));
}

bool Registry::CreateKey(HKEY root, std::u16string_view path) {
    bool created = false;
    DriverCreate(root, path, &created);
    return created;
}

std::optional<RegValue> Registry::Get(HKEY root, std::u16string_view path,
                                      std::u16string_view name) const {
    auto key = DriverFind(root, path);
    if (!key) return std::nullopt;
    const NamedValue* v = key->FindValue(name);
    if (!v) return std::nullopt;
    return v->value;
}

std::optional<DWORD> Registry::GetDword(HKEY root, std::u16string_view path,
                                        std::u16string_view name) const {
    auto v = Get(root, path, name);
    if (!v || v->type != REG_DWORD || v->data.size() != 4) return std::nullopt;
    return DWORD(v->data[0]) | DWORD(v->data[1]) << 8 | DWORD(v->data[2]) << 16 |
           DWORD(v->data[3]) << 24;
}

std::optional<std::u16string> Registry::GetString(HKEY root, std::u16string_view path,
                                                  std::u16string_view name) const {
    auto v = Get(root, path, name);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i + 1 < v->data.size(); i += 2) {
        char16_t c = char16_t(v->data[i] | v->data[i + 1] << 8);
        if (c == 0) break;
        text += c;
    }
    return text;
}

bool Registry::KeyExists(HKEY root, std::u16string_view path) const {
    return DriverFind(root, path) != nullptr;
}

std::vector<std::u16string> Registry::SubkeyNames(HKEY root, std::u16string_view path) const {
    std::vector<std::u16string> names;
    if (auto key = DriverFind(root, path))
        for (auto& k : key->subkeys)
            names.push_back(k->name);
    return names;
}

std::vector<std::u16string> Registry::ValueNames(HKEY root, std::u16string_view path) const {
    std::vector<std::u16string> names;
    if (auto key = DriverFind(root, path))
        for (auto& v : key->values)
            names.push_back(v.name);
    return names;
}

bool Registry::DeleteKey(HKEY root, std::u16string_view path) {
    if (path.empty()) Platform::Fatal("registry: the driver tried to delete a root key");
    auto key = DriverFind(root, path);
    if (!key) return false;
    Remove(*key);
    return true;
}

bool Registry::DeleteValue(HKEY root, std::u16string_view path, std::u16string_view name) {
    auto key = DriverFind(root, path);
    return key && key->DeleteValue(name);
}

} // namespace handset
