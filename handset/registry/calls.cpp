// The registry calls. Each returns its error code as its result, as the
// phone's do, and leaves the last error alone. Where the phone ignores an
// argument (access masks, security, last-write times) so does the handset.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "device/platform.h"
#include "device/relay.h"
#include "registry/registry.h"

using handset::Enter;
using handset::Platform;
using handset::Registry;
using handset::RegValue;
using KeyPtr = std::shared_ptr<Registry::Key>;

namespace {

Platform& Dev() {
    return Platform::Current();
}
Registry& Reg() {
    return Dev().Get<Registry>();
}

std::u16string_view Name(LPCWSTR s) {
    return s ? std::u16string_view(s) : std::u16string_view();
}

LONG Open(HKEY h, KeyPtr* key) {
    return Reg().Resolve(h, key);
}

// Copies a name and its terminator into a buffer of *chars characters;
// ERROR_MORE_DATA, with nothing written, when it does not fit.
LONG CopyName(std::u16string_view name, LPWSTR out, LPDWORD chars) {
    if (name.size() + 1 > *chars) return ERROR_MORE_DATA;
    std::copy(name.begin(), name.end(), out);
    out[name.size()] = 0;
    *chars = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Hands value data out as RegQueryValueExW does: the size alone without a
// buffer; ERROR_MORE_DATA and the size needed, the buffer untouched, when
// the buffer is too small.
LONG CopyData(const RegValue& v, LPDWORD type, LPBYTE data, LPDWORD bytes) {
    if (type) *type = v.type;
    DWORD size = static_cast<DWORD>(v.data.size());
    if (!bytes) return ERROR_SUCCESS;
    if (data && *bytes < size) {
        *bytes = size;
        return ERROR_MORE_DATA;
    }
    if (data && size) std::memcpy(data, v.data.data(), size);
    *bytes = size;
    return ERROR_SUCCESS;
}

} // namespace

HANDSET_API(LONG, RegOpenKeyExW,
            (HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM arg4, PHKEY phkResult),
            (hKey, lpSubKey, ulOptions, arg4, phkResult)) {
    if (auto e = Enter("RegOpenKeyExW")) return static_cast<LONG>(*e);
    if (ulOptions != 0 || !phkResult) return ERROR_INVALID_PARAMETER;
    KeyPtr from;
    if (LONG r = Open(hKey, &from)) return r;
    KeyPtr key;
    if (LONG r = Reg().Find(from, Name(lpSubKey), &key)) return r;
    *phkResult = Reg().AddHandle(std::move(key));
    return ERROR_SUCCESS;
}

HANDSET_API(LONG, RegCreateKeyExW,
            (HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
             REGSAM arg6, LPSECURITY_ATTRIBUTES arg7, PHKEY phkResult, LPDWORD lpdwDisposition),
            (hKey, lpSubKey, Reserved, lpClass, dwOptions, arg6, arg7, phkResult,
             lpdwDisposition)) {
    if (auto e = Enter("RegCreateKeyExW")) return static_cast<LONG>(*e);
    if (!lpSubKey || !phkResult || Reserved != 0) return ERROR_INVALID_PARAMETER;
    if (dwOptions & REG_OPTION_VOLATILE)
        handset::NotEmulated("RegCreateKeyExW", "dwOptions REG_OPTION_VOLATILE");
    if (dwOptions != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
    KeyPtr from;
    if (LONG r = Open(hKey, &from)) return r;
    KeyPtr key;
    bool created = false;
    if (LONG r = Reg().Create(from, lpSubKey, Name(lpClass), &key, &created)) return r;
    if (created) Dev().timeline().Record("registry.create", {{"key", Registry::PathOf(*key)}});
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = Reg().AddHandle(std::move(key));
    return ERROR_SUCCESS;
}

HANDSET_API(LONG, RegCloseKey, (HKEY hKey), (hKey)) {
    if (auto e = Enter("RegCloseKey")) return static_cast<LONG>(*e);
    if (Registry::IsPredefined(hKey)) return ERROR_SUCCESS;
    // A handle on a deleted key still closes.
    return Reg().CloseHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

HANDSET_API(LONG, RegQueryInfoKeyW,
            (HKEY hKey, LPWSTR lpClass, LPDWORD lpcbClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
             PFILETIME lpftLastWriteTime),
            (hKey, lpClass, lpcbClass, lpReserved, lpcSubKeys, lpcbMaxSubKeyLen, lpcbMaxClassLen,
             lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen, lpcbSecurityDescriptor,
             lpftLastWriteTime)) {
    if (auto e = Enter("RegQueryInfoKeyW")) return static_cast<LONG>(*e);
    if (lpReserved || (lpClass && !lpcbClass)) return ERROR_INVALID_PARAMETER;
    KeyPtr key;
    if (LONG r = Open(hKey, &key)) return r;

    // Lengths of names and classes are in characters without the
    // terminator; the value length is the longest data, in bytes.
    DWORD maxSubkey = 0, maxClass = 0, maxName = 0, maxData = 0;
    for (auto& k : key->subkeys) {
        maxSubkey = std::max<DWORD>(maxSubkey, static_cast<DWORD>(k->name.size()));
        maxClass = std::max<DWORD>(maxClass, static_cast<DWORD>(k->keyClass.size()));
    }
    for (auto& v : key->values) {
        maxName = std::max<DWORD>(maxName, static_cast<DWORD>(v.name.size()));
        maxData = std::max<DWORD>(maxData, static_cast<DWORD>(v.value.data.size()));
    }
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key->subkeys.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubkey;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = maxClass;
    if (lpcValues) *lpcValues = static_cast<DWORD>(key->values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;

    // The counts are given even when the class does not fit; the class
    // length then tells what it needs, without its terminator.
    if (lpcbClass) {
        DWORD need = static_cast<DWORD>(key->keyClass.size());
        if (lpClass) {
            if (CopyName(key->keyClass, lpClass, lpcbClass) != ERROR_SUCCESS) {
                *lpcbClass = need;
                return ERROR_MORE_DATA;
            }
        } else {
            *lpcbClass = need;
        }
    }
    return ERROR_SUCCESS;
}

HANDSET_API(LONG, RegQueryValueExW,
            (HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
             LPDWORD lpcbData),
            (hKey, lpValueName, lpReserved, lpType, lpData, lpcbData)) {
    if (auto e = Enter("RegQueryValueExW")) return static_cast<LONG>(*e);
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    KeyPtr key;
    if (LONG r = Open(hKey, &key)) return r;
    const Registry::NamedValue* v = key->FindValue(Name(lpValueName));
    if (!v) return ERROR_FILE_NOT_FOUND;
    return CopyData(v->value, lpType, lpData, lpcbData);
}

HANDSET_API(LONG, RegSetValueExW,
            (HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
             DWORD cbData),
            (hKey, lpValueName, Reserved, dwType, lpData, cbData)) {
    if (auto e = Enter("RegSetValueExW")) return static_cast<LONG>(*e);
    if (Reserved != 0 || (!lpData && cbData != 0)) return ERROR_INVALID_PARAMETER;
    KeyPtr key;
    if (LONG r = Open(hKey, &key)) return r;
    std::u16string_view name = Name(lpValueName);
    RegValue value{dwType, std::vector<BYTE>(lpData, lpData + cbData)};
    key->SetValue(name, value);

    std::vector<handset::Field> fields = {
        {"key", Registry::PathOf(*key)}, {"value", name}, {"type", dwType}, {"bytes", cbData}};
    if (dwType == REG_DWORD && cbData == 4) {
        DWORD d = DWORD(lpData[0]) | DWORD(lpData[1]) << 8 | DWORD(lpData[2]) << 16 |
                  DWORD(lpData[3]) << 24;
        fields.push_back({"dword", d});
    }
    Dev().timeline().Record("registry.write", std::move(fields));
    return ERROR_SUCCESS;
}

HANDSET_API(LONG, RegDeleteValueW, (HKEY hKey, LPCWSTR lpValueName), (hKey, lpValueName)) {
    if (auto e = Enter("RegDeleteValueW")) return static_cast<LONG>(*e);
    KeyPtr key;
    if (LONG r = Open(hKey, &key)) return r;
    std::u16string_view name = Name(lpValueName);
    if (!key->DeleteValue(name)) return ERROR_FILE_NOT_FOUND;
    Dev().timeline().Record("registry.delete", {{"key", Registry::PathOf(*key)}, {"value", name}});
    return ERROR_SUCCESS;
}

HANDSET_API(LONG, RegDeleteKeyW, (HKEY hKey, LPCWSTR lpSubKey), (hKey, lpSubKey)) {
    if (auto e = Enter("RegDeleteKeyW")) return static_cast<LONG>(*e);
    // The phone deletes a named subkey, with everything under it; never the
    // key the handle stands for.
    if (!lpSubKey || !*lpSubKey) return ERROR_INVALID_PARAMETER;
    KeyPtr from;
    if (LONG r = Open(hKey, &from)) return r;
    KeyPtr key;
    if (LONG r = Reg().Find(from, lpSubKey, &key)) return r;
    std::u16string path = Registry::PathOf(*key);
    Reg().Remove(*key);
    Dev().timeline().Record("registry.delete", {{"key", path}});
    return ERROR_SUCCESS;
}

HANDSET_API(LONG, RegEnumKeyExW,
            (HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcName, LPDWORD lpReserved,
             LPWSTR lpClass, LPDWORD lpcClass, PFILETIME lpftLastWriteTime),
            (hKey, dwIndex, lpName, lpcName, lpReserved, lpClass, lpcClass, lpftLastWriteTime)) {
    if (auto e = Enter("RegEnumKeyExW")) return static_cast<LONG>(*e);
    if (!lpName || !lpcName || lpReserved || (lpClass && !lpcClass)) return ERROR_INVALID_PARAMETER;
    KeyPtr key;
    if (LONG r = Open(hKey, &key)) return r;
    if (dwIndex >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const Registry::Key& sub = *key->subkeys[dwIndex];
    // Both must fit before either is written.
    if (sub.name.size() + 1 > *lpcName) return ERROR_MORE_DATA;
    if (lpClass && sub.keyClass.size() + 1 > *lpcClass) return ERROR_MORE_DATA;
    CopyName(sub.name, lpName, lpcName);
    if (lpClass) CopyName(sub.keyClass, lpClass, lpcClass);
    return ERROR_SUCCESS;
}

HANDSET_API(LONG, RegEnumValueW,
            (HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData),
            (hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData, lpcbData)) {
    if (auto e = Enter("RegEnumValueW")) return static_cast<LONG>(*e);
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    KeyPtr key;
    if (LONG r = Open(hKey, &key)) return r;
    if (dwIndex >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    const Registry::NamedValue& v = key->values[dwIndex];
    if (v.name.size() + 1 > *lpcchValueName) return ERROR_MORE_DATA;
    if (lpData && *lpcbData < v.value.data.size()) {
        // As RegQueryValueExW: the size needed, and nothing else written.
        *lpcbData = static_cast<DWORD>(v.value.data.size());
        return ERROR_MORE_DATA;
    }
    CopyName(v.name, lpValueName, lpcchValueName);
    return CopyData(v.value, lpType, lpData, lpcbData);
}
