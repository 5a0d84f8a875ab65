// The device's registry: a tree of keys under the four predefined roots, the
// values of each key, and the key handles the processes hold open. The Reg*
// calls (calls.cpp) act on it for device code. Tests and scenarios read and
// write it through the driving half, and load and save it as .reg text
// (regfile.cpp), so that the handset can be given the settings of a phone.
#pragma once

#include <windows.h>

#include "device/area.h"
#include "device/handles.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace handset {

class Platform;

// An open key handle; predefined roots are not counted.
inline constexpr HandleKind kRegistryKey{"registry key", "registry keys"};

// A value as the registry holds it: its type and its bytes, as written.
struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RegValue&) const = default;
};

// Key and value names compare without regard to case; they keep the case
// they were created with.
bool SameName(std::u16string_view a, std::u16string_view b);

class Registry final : public Area {
  public:
    // Longest key name, in characters, the phone accepts.
    static constexpr size_t kMaxKeyName = 255;
    // Deepest key, in levels below its root: desktop Windows' limit of 512,
    // so that files exported there load. (Windows CE documents a limit of 16
    // levels; phone files stay far inside either.) A path that would make a
    // key deeper is refused by Create with ERROR_INVALID_PARAMETER, the answer
    // the handset gives for every path it cannot take: the desktop documents
    // its limit but not the error. The cap also bounds the stack and the
    // saved text (each section repeats its whole path).
    static constexpr size_t kMaxKeyDepth = 512;

    struct NamedValue {
        std::u16string name; // "" for the default value
        RegValue value;
    };

    struct Key {
        Key() = default;
        // Frees the subtree without recursion, however deep it is.
        ~Key();
        Key(const Key&) = delete;
        Key& operator=(const Key&) = delete;

        std::u16string name; // as created; the root's own name for a root
        std::u16string keyClass;
        Key* parent = nullptr; // null for a root, and once deleted
        bool deleted = false;
        std::vector<std::shared_ptr<Key>> subkeys; // in creation order
        std::vector<NamedValue> values;            // in creation order

        std::shared_ptr<Key> FindSubkey(std::u16string_view name) const;
        NamedValue* FindValue(std::u16string_view name);
        const NamedValue* FindValue(std::u16string_view name) const;
        // Replaces the data of a value that exists, where it stands.
        void SetValue(std::u16string_view name, RegValue value);
        bool DeleteValue(std::u16string_view name);
    };

    explicit Registry(Platform& platform);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // ---- Driving: for tests and scenarios --------------------------------
    // These neither count against a process nor consult the fault plan. root
    // is one of the four predefined keys and path names a key below it ("" is
    // the root itself); anything else is a fault of the caller and fatal.

    // Sets a value, making the key and the keys above it as needed.
    void SetValue(HKEY root, std::u16string_view path, std::u16string_view name, DWORD type,
                  std::vector<BYTE> data);
    void SetDword(HKEY root, std::u16string_view path, std::u16string_view name, DWORD value);
    // REG_SZ, stored with its terminator as the phone stores it.
    void SetString(HKEY root, std::u16string_view path, std::u16string_view name,
                   std::u16string_view text);
    // Makes the key and the keys above it; false when it already existed.
    bool CreateKey(HKEY root, std::u16string_view path);

    std::optional<RegValue> Get(HKEY root, std::u16string_view path,
                                std::u16string_view name) const;
    // A REG_DWORD of exactly four bytes, else nothing.
    std::optional<DWORD> GetDword(HKEY root, std::u16string_view path,
                                  std::u16string_view name) const;
    // A REG_SZ or REG_EXPAND_SZ up to its first terminator, else nothing.
    std::optional<std::u16string> GetString(HKEY root, std::u16string_view path,
                                            std::u16string_view name) const;
    bool KeyExists(HKEY root, std::u16string_view path) const;
    // The names of the subkeys and of the values, in enumeration order.
    std::vector<std::u16string> SubkeyNames(HKEY root, std::u16string_view path) const;
    std::vector<std::u16string> ValueNames(HKEY root, std::u16string_view path) const;

    // Deletes the key with its subkeys; false when there is none. Handles
    // still open on them answer ERROR_KEY_DELETED from then on.
    bool DeleteKey(HKEY root, std::u16string_view path);
    bool DeleteValue(HKEY root, std::u16string_view path, std::u16string_view name);

    // Key handles open on the whole device; Device::Held counts them per process.
    size_t OpenHandleCount() const;

    // ---- .reg text ----------------------------------------------------------
    // Loading is all or nothing: the whole text is parsed before anything
    // changes, and an error names the source and line ("phone.reg:12: ...").
    bool LoadRegText(std::string_view text, std::string_view source, std::string* error);
    bool LoadRegFile(const std::string& path, std::string* error);
    // The whole registry as REGEDIT4 text that loads back to the same tree.
    // A name holding a line break cannot be written; SaveRegText is fatal on
    // one, SaveRegFile reports it.
    std::string SaveRegText() const;
    bool SaveRegFile(const std::string& path, std::string* error) const;

    // ---- For the registry calls ----------------------------------------------

    static bool IsPredefined(HKEY h);
    Key& Root(HKEY predefined) const;

    // The key behind a predefined root or an open handle: ERROR_SUCCESS,
    // ERROR_INVALID_HANDLE or ERROR_KEY_DELETED.
    LONG Resolve(HKEY h, std::shared_ptr<Key>* key) const;
    // A new handle on the key, owned by the calling process.
    HKEY AddHandle(std::shared_ptr<Key> key);
    bool CloseHandle(HKEY h);

    // Walks a relative path ("" is `from` itself): ERROR_SUCCESS,
    // ERROR_FILE_NOT_FOUND, or ERROR_INVALID_PARAMETER for a malformed path
    // (an empty name, one longer than kMaxKeyName).
    LONG Find(const std::shared_ptr<Key>& from, std::u16string_view path,
              std::shared_ptr<Key>* found) const;
    // Walks the path making what is missing; *created tells whether the last
    // key is new. A new key takes the class given. ERROR_INVALID_PARAMETER,
    // with nothing made, for a malformed path or one that would make a key
    // deeper than kMaxKeyDepth.
    LONG Create(const std::shared_ptr<Key>& from, std::u16string_view path,
                std::u16string_view keyClass, std::shared_ptr<Key>* found, bool* created);
    // Takes the key out of the tree and marks it and its subkeys deleted.
    void Remove(Key& key);

    // "HKEY_LOCAL_MACHINE\Software\...", as the keys were created.
    static std::u16string PathOf(const Key& key);
    // Levels below its root: 0 for a root (and for a deleted key).
    static size_t DepthOf(const Key& key);

  private:
    std::shared_ptr<Key> RootShared(HKEY predefined) const;
    std::shared_ptr<Key> DriverFind(HKEY root, std::u16string_view path) const;
    std::shared_ptr<Key> DriverCreate(HKEY root, std::u16string_view path, bool* created);

    bool Serialize(std::string* out, std::string* error) const;

    std::shared_ptr<Key> roots_[4];
};

} // namespace handset
