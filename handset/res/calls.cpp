// The resource functions over the programs' attached resources. As on the
// phone, a module handle cannot be null, LoadResource gives the data's
// address, and an HRSRC is the address of the resource's entry.
//
// Errors the documentation leaves open, as the handset answers them: a null
// handle or one that is no module is ERROR_INVALID_HANDLE; a module without
// resources ERROR_RESOURCE_DATA_NOT_FOUND; a type the module has none of
// ERROR_RESOURCE_TYPE_NOT_FOUND, a name it lacks ERROR_RESOURCE_NAME_NOT_FOUND;
// an HRSRC that is not one of the module's entries ERROR_INVALID_HANDLE.
#include <windows.h>

#include <algorithm>

#include "device/platform.h"
#include "device/relay.h"
#include "res/resources.h"

using handset::Enter;
using handset::Fail;
using handset::Platform;
using handset::ResEntry;
using handset::ResFile;
using handset::ResId;
using handset::Resources;

namespace {

Resources& Res() {
    return Platform::Current().Get<Resources>();
}

// The module's resources, or the error that says why there are none.
const ResFile* ModuleFile(HMODULE module, DWORD* error) {
    if (const ResFile* file = Res().Find(module)) return file;
    *error =
        Platform::Current().IsModule(module) ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_INVALID_HANDLE;
    return nullptr;
}

const ResEntry* EntryOf(const ResFile& file, HRSRC info) {
    const auto* entry = reinterpret_cast<const ResEntry*>(info);
    const auto& all = file.entries();
    for (const ResEntry& e : all)
        if (&e == entry) return entry;
    return nullptr;
}

} // namespace

HANDSET_API(HRSRC, FindResourceW, (HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType),
            (hModule, lpName, lpType)) {
    if (auto e = Enter("FindResourceW")) return Fail(*e, HRSRC(nullptr));
    DWORD error = 0;
    const ResFile* file = ModuleFile(hModule, &error);
    if (!file) return Fail(error, HRSRC(nullptr));
    const ResId type = ResId::FromPointer(lpType);
    const ResId name = ResId::FromPointer(lpName);
    if (const ResEntry* e = file->Find(type, name, Res().Language()))
        return reinterpret_cast<HRSRC>(const_cast<ResEntry*>(e));
    const bool typeKnown = std::any_of(file->entries().begin(), file->entries().end(),
                                       [&](const ResEntry& e) { return e.type.Matches(type); });
    return Fail(DWORD(typeKnown ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND),
                HRSRC(nullptr));
}

HANDSET_API(HGLOBAL, LoadResource, (HMODULE hModule, HRSRC hResInfo), (hModule, hResInfo)) {
    if (auto e = Enter("LoadResource")) return Fail(*e, HGLOBAL(nullptr));
    DWORD error = 0;
    const ResFile* file = ModuleFile(hModule, &error);
    if (!file) return Fail(error, HGLOBAL(nullptr));
    const ResEntry* entry = EntryOf(*file, hResInfo);
    if (!entry) return Fail(DWORD(ERROR_INVALID_HANDLE), HGLOBAL(nullptr));
    return const_cast<unsigned char*>(entry->data.data());
}

HANDSET_API(DWORD, SizeofResource, (HMODULE hModule, HRSRC hResInfo), (hModule, hResInfo)) {
    if (auto e = Enter("SizeofResource")) return Fail(*e, DWORD(0));
    DWORD error = 0;
    const ResFile* file = ModuleFile(hModule, &error);
    if (!file) return Fail(error, DWORD(0));
    const ResEntry* entry = EntryOf(*file, hResInfo);
    if (!entry) return Fail(DWORD(ERROR_INVALID_HANDLE), DWORD(0));
    return static_cast<DWORD>(entry->data.size());
}

// An empty string counts as missing, as in a string table an empty slot is
// no string. A buffer is left untouched when the string is missing.
HANDSET_API(int, LoadStringW, (HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax),
            (hInstance, uID, lpBuffer, cchBufferMax)) {
    if (auto e = Enter("LoadStringW")) return Fail(*e, 0);
    DWORD error = 0;
    const ResFile* file = ModuleFile(hInstance, &error);
    if (!file) return Fail(error, 0);
    if (lpBuffer && cchBufferMax <= 0) return Fail(DWORD(ERROR_INVALID_PARAMETER), 0);
    auto text = file->String(uID, Res().Language());
    if (!text || text->empty()) return Fail(DWORD(ERROR_RESOURCE_NAME_NOT_FOUND), 0);
    if (!lpBuffer) {
        const char16_t* low = Res().LowString(hInstance, uID);
        if (!low)
            handset::NotEmulated("LoadStringW",
                                 "lpBuffer NULL: this host gives no memory below 2 GB for the "
                                 "string's address");
        return static_cast<int>(reinterpret_cast<uintptr_t>(low));
    }
    const size_t n = std::min(text->size(), size_t(cchBufferMax - 1));
    std::copy_n(text->data(), n, lpBuffer);
    lpBuffer[n] = 0;
    return static_cast<int>(n);
}
